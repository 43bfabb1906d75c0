// SPDX-License-Identifier: MIT
// Writing messages.
#include "net/protocol.hpp"

#include <algorithm>
#include <iterator>

#include "game/keys.hpp"

namespace net {

namespace {

void header(std::string& out, MessageType type, std::size_t length) {
    out += static_cast<char>(type);
    if (length >= 128)
        out += static_cast<char>(0x80 | (length >> 7 & 0x7F));
    out += static_cast<char>(length & 0x7F);
}

void withByte(std::string& out, MessageType type, unsigned char byte) {
    header(out, type, 1);
    out += static_cast<char>(byte);
}

// A name as its length's byte and its bytes.
void name(std::string& out, std::string_view text) {
    std::string_view cut = text.substr(0, maxPlayerNameBytes);
    out += static_cast<char>(cut.size());
    out += cut;
}

void hello(std::string& out, int version, Seat seat, const JoinCode& code,
           std::string_view player) {
    header(out, MessageType::Hello,
           helloSize + std::min<std::size_t>(player.size(), maxPlayerNameBytes));
    out.append(reinterpret_cast<const char*>(helloMagic), sizeof helloMagic);
    out += static_cast<char>(version);
    out += static_cast<char>(seat);
    out.append(code.symbols, joinCodeLength);
    name(out, player);
}

void number(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(value >> static_cast<unsigned>(shift) & 0xFFU);
}

std::uint32_t bounded(int value, int least, int most) {
    return static_cast<std::uint32_t>(std::clamp(value, least, most));
}

// A board as a byte: 0 for none, else 1 or 2.
char board(int which) { return static_cast<char>(which == 0 || which == 1 ? which + 1 : 0); }

} // namespace

void appendHello(std::string& out, Seat seat, const JoinCode& code, std::string_view name) {
    hello(out, protocolVersion, seat, code, name);
}

// No code of the guest's goes out: its symbols are '0's, which any code may have.
void appendProbe(std::string& out, Seat seat) {
    JoinCode none;
    std::fill(std::begin(none.symbols), std::end(none.symbols), '0');
    hello(out, 0, seat, none, {});
}

void appendWelcome(std::string& out, Seat seat) {
    header(out, MessageType::Welcome, 2);
    out += static_cast<char>(protocolVersion);
    out += static_cast<char>(seat);
}

void appendRefused(std::string& out, Refusal reason) {
    withByte(out, MessageType::Refused, static_cast<unsigned char>(reason));
}

void appendReady(std::string& out, KeyMode mode, const std::string& legend) {
    std::string shown = legend.substr(0, maxLegendLength);
    header(out, MessageType::Ready, 1 + shown.size());
    out += static_cast<char>(mode);
    out += shown;
}

void appendKey(std::string& out, KeyKind kind, int action) {
    header(out, MessageType::Key, 2);
    out += static_cast<char>(kind);
    out += static_cast<char>(action & 0xFF);
}

void appendKeepAlive(std::string& out) { header(out, MessageType::KeepAlive, 0); }

void appendEnd(std::string& out) { header(out, MessageType::End, 0); }

void appendResult(std::string& out, const RoundOutcome& outcome) {
    const RoundOutcome& r = outcome;
    header(out, MessageType::Result, resultSize);
    number(out, bounded(r.round, 1, maxResultRound));
    out += board(r.winner);
    for (int b = 0; b < 2; ++b) {
        number(out, bounded(r.score[b], 0, maxResultScore));
        number(out, bounded(r.rows[b], 0, maxResultScore));
    }
    number(out, r.frames);
    number(out, r.seconds);
    for (int level : r.level)
        out += static_cast<char>(bounded(level, 0, maxResultLevel));
    out += static_cast<char>(r.matchOver ? 1 : 0);
    out += r.matchOver ? board(r.champion) : '\0';
}

void appendKept(std::string& out, int kept) {
    header(out, MessageType::Kept, keptSize);
    number(out, bounded(kept, 1, maxKeptNumber));
}

void appendNames(std::string& out, std::string_view boardOne, std::string_view boardTwo) {
    std::string payload;
    name(payload, boardOne);
    name(payload, boardTwo);
    header(out, MessageType::Names, payload.size());
    out += payload;
}

void appendRuns(std::string& out, MessageType type, const std::string& runs) {
    header(out, type, runs.size());
    out += runs;
}

bool isAction(int number) {
    return number >= static_cast<int>(Action::Turn) && number < actionLimit;
}

} // namespace net
