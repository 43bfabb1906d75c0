// SPDX-License-Identifier: MIT
// The messages: what the encoder writes, read back whole, split at every
// byte and one byte at a time; and broken messages, refused wherever they
// are cut, as soon as their first bytes show it, with the decoder taking
// nothing from the first fault on.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "game/keys.hpp"
#include "net/message_decoder.hpp"
#include "net/protocol.hpp"

namespace {

using namespace net;

JoinCode code(const char* text) {
    JoinCode c;
    EXPECT_TRUE(parseJoinCode(text, c)) << text;
    return c;
}

// What a decoder made of a stream: the messages, and the error if any.
struct Read {
    std::vector<Message> messages;
    std::vector<std::string> runs; // each message's runs, copied
    std::string error;
};

// Feeds `bytes` in pieces of `piece` bytes, each in as many calls as the
// decoder asks for. Pieces of every size from 1 to the whole cut a stream
// once at every byte, and one byte at a time.
Read decode(Sender from, const std::string& bytes, std::size_t piece) {
    MessageDecoder decoder(from);
    Read read;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t start = 0; start < bytes.size() && !decoder.failed(); start += piece) {
        std::size_t end = std::min(bytes.size(), start + piece);
        for (std::size_t at = start; at < end && !decoder.failed();) {
            std::size_t used = decoder.feed(data + at, end - at);
            EXPECT_LE(used, end - at);
            EXPECT_TRUE(used == 0 || !decoder.failed()) << "took bytes of a broken message";
            if (decoder.hasMessage()) {
                const Message& m = decoder.message();
                read.messages.push_back(m);
                read.runs.emplace_back(reinterpret_cast<const char*>(m.runs),
                                       static_cast<std::size_t>(m.runsLength));
            }
            at += used;
        }
    }
    if (decoder.failed()) {
        read.error = decoder.error();
        // Sticky: nothing more is taken, whatever comes.
        EXPECT_EQ(0U, decoder.feed(reinterpret_cast<const unsigned char*>("\x06\0"), 2));
        EXPECT_TRUE(decoder.failed());
    }
    return read;
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

// Every message a guest sends; the last, a Hello of another version, is
// read far enough to refuse it with a reason, whatever else it holds.
TEST(Codec, GuestMessagesReadBackWhateverTheCuts) {
    std::string stream;
    const std::string name = "J\xc3\xb6rg M.";
    appendHello(stream, Seat::Watcher, code("7k3m-q9xd"), name);
    const std::string legend = "\x18 \x1b \x1a \x19 or W A D S";
    appendReady(stream, KeyMode::Kitty, legend);
    const std::pair<KeyKind, int> keys[] = {{KeyKind::Press, static_cast<int>(Action::Left)},
                                            {KeyKind::Repeat, static_cast<int>(Action::Turn)},
                                            {KeyKind::Release, static_cast<int>(Action::Enter)},
                                            {KeyKind::ReleaseAll, 0},
                                            {KeyKind::Press, static_cast<int>(Action::Pause)}};
    for (auto [kind, action] : keys)
        appendKey(stream, kind, action);
    appendKeepAlive(stream);
    ASSERT_EQ(2U + helloSize + name.size() + 3 + legend.size() + 20 + 2, // five keys of 4 bytes
              stream.size());
    stream += bytes({1, 9}) + "BLKD" + bytes({protocolVersion + 1, 1, 9, 9, 9});
    for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
        Read read = decode(Sender::Guest, stream, piece);
        ASSERT_EQ("", read.error);
        ASSERT_EQ(9U, read.messages.size());
        const Message& hello = read.messages[0];
        EXPECT_EQ(MessageType::Hello, hello.type);
        EXPECT_EQ(protocolVersion, hello.version);
        EXPECT_EQ(Seat::Watcher, hello.seat);
        EXPECT_EQ("7K3M-Q9XD", formatJoinCode(hello.code));
        EXPECT_EQ(name, hello.name.text());
        EXPECT_EQ(KeyMode::Kitty, read.messages[1].keyMode);
        EXPECT_EQ(legend, read.messages[1].legend);
        for (std::size_t k = 0; k < std::size(keys); ++k) {
            EXPECT_EQ(keys[k].first, read.messages[2 + k].keyKind) << k;
            EXPECT_EQ(keys[k].second, read.messages[2 + k].action) << k;
        }
        EXPECT_EQ(MessageType::KeepAlive, read.messages[7].type);
        EXPECT_EQ(protocolVersion + 1, read.messages[8].version);
    }
}

// A round whose every field differs from the others, at the top of its bounds where it has one.
RoundOutcome outcome() {
    return {.round = maxResultRound,
            .winner = 1,
            .score = {1234, maxResultScore},
            .rows = {7, 300},
            .frames = 0xFFFFFFFFU,
            .seconds = 65537,
            .level = {0, maxResultLevel},
            .matchOver = true,
            .champion = 0};
}

// Every field of a round, to be compared at once.
auto fields(const RoundOutcome& r) {
    return std::tuple(r.round, r.winner, r.score[0], r.score[1], r.rows[0], r.rows[1], r.frames,
                      r.seconds, r.level[0], r.level[1], r.matchOver, r.champion);
}

// Every message a host sends, whatever the cuts. Of the rounds, one left
// unfinished and one won read back as they were sent; numbers beyond their
// bounds go at the bound, and a champion only with the match's end. A kept
// match's number is sent within its bounds too.
TEST(Codec, HostMessagesReadBackWhateverTheCuts) {
    // Cell 0 in 11; cells 1174 and 1175 in 11 again (kept); cell 1175 in 7.
    std::string runs =
        bytes({0, 0, 11, 219}) + bytes({0x92, 0xD1, 'a', 'b'}) + bytes({0x92, 0xE0, 7, 'c'});
    const RoundOutcome unfinished{.round = 3, .seconds = 12};
    RoundOutcome won = outcome();
    RoundOutcome beyond = outcome();
    beyond.round = maxResultRound + 5;
    beyond.score[0] = -4;
    beyond.level[1] = 250;
    beyond.matchOver = false;
    std::string stream;
    appendWelcome(stream, Seat::Player);
    appendRefused(stream, Refusal::SeatTaken);
    appendRuns(stream, MessageType::Picture, "");
    appendRuns(stream, MessageType::Delta, runs);
    for (int kept : {77, maxKeptNumber, 0})
        appendKept(stream, kept);
    const std::string longest(maxPlayerNameBytes, 'n');
    appendNames(stream, "", longest + "cut");
    appendNames(stream, "Ada", "");
    appendEnd(stream);
    std::size_t results = stream.size();
    for (const RoundOutcome& r : {unfinished, won, beyond})
        appendResult(stream, r);
    ASSERT_EQ(3U * (2 + resultSize), stream.size() - results);
    for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
        Read read = decode(Sender::Host, stream, piece);
        ASSERT_EQ("", read.error);
        ASSERT_EQ(13U, read.messages.size());
        EXPECT_EQ(Seat::Player, read.messages[0].seat);
        EXPECT_EQ(protocolVersion, read.messages[0].version);
        EXPECT_EQ(Refusal::SeatTaken, read.messages[1].refusal);
        EXPECT_EQ(MessageType::Picture, read.messages[2].type);
        EXPECT_EQ("", read.runs[2]);
        EXPECT_EQ(MessageType::Delta, read.messages[3].type);
        EXPECT_EQ(runs, read.runs[3]);
        EXPECT_EQ(77, read.messages[4].kept);
        EXPECT_EQ(maxKeptNumber, read.messages[5].kept);
        EXPECT_EQ(1, read.messages[6].kept) << "sent at the nearest bound";
        EXPECT_EQ("", read.messages[7].names[0].text());
        EXPECT_EQ(longest, read.messages[7].names[1].text()) << "cut at the bound";
        EXPECT_EQ("Ada", read.messages[8].names[0].text());
        EXPECT_EQ("", read.messages[8].names[1].text());
        EXPECT_EQ(MessageType::End, read.messages[9].type);
        EXPECT_EQ(fields(unfinished), fields(read.messages[10].result));
        EXPECT_EQ(fields(won), fields(read.messages[11].result));
        const RoundOutcome& clamped = read.messages[12].result;
        EXPECT_EQ(maxResultRound, clamped.round);
        EXPECT_EQ(0, clamped.score[0]);
        EXPECT_EQ(maxResultLevel, clamped.level[1]);
        EXPECT_EQ(-1, clamped.champion) << "no champion while the match goes on";
    }
}

// A stream that stops where the fault shows is refused all the same: the
// header's first byte, or its length, is enough, so a stranger cannot make
// the host hold a long payload it will refuse.
// A Result of round 1, nobody's, with byte `at` of its payload set to `value`.
std::string result(int at, int value) {
    RoundOutcome r;
    std::string message;
    appendResult(message, r);
    message[2 + static_cast<std::size_t>(at)] = static_cast<char>(value);
    return message;
}

TEST(Codec, BrokenMessagesAreRefusedWhereverTheyAreCut) {
    std::string hello;
    appendHello(hello, Seat::Player, code("00000000"));
    const std::string greeting = bytes({1, helloSize}) + "BLKD" + bytes({protocolVersion});
    // A Hello with the name "Ada" whose length byte says `length`.
    auto named = [](int length) {
        return bytes({1, helloSize + 3}) + "BLKD" + bytes({protocolVersion, 1}) + "00000000" +
               bytes({length}) + "Ada";
    };
    // Each fault and the streams that show it, all from one side.
    struct Case {
        Sender from;
        const char* error;
        std::size_t before; // messages read before the fault
        std::vector<std::string> streams;
    };
    // clang-format off
    const Case cases[] = {
        {Sender::Guest, "unknown message type", 0, {bytes({0}), bytes({13})}},
        {Sender::Host, "unknown message type", 2, {bytes({9, 0, 6, 0, 0})}},
        {Sender::Guest, "a message this side does not take", 0,
            {bytes({10}), bytes({7}), bytes({11}), bytes({12})}},
        {Sender::Host, "a message this side does not take", 0, {bytes({5})}},
        {Sender::Host, "wrong length", 0, {bytes({10, resultSize - 1}), bytes({10, resultSize + 1}),
            bytes({8, 0}), bytes({8, 0xC0, 0x01}) /* 8193 bytes */, bytes({7, 0xFF, 0x7F}),
            bytes({11, keptSize - 1}), bytes({11, keptSize + 1}), bytes({12, 1}),
            bytes({12, 0x80 | (maxNamesSize + 1) >> 7, (maxNamesSize + 1) & 0x7F})}},
        {Sender::Host, "names that do not fit", 0, {bytes({12, 2, 1, 0}), bytes({12, 3, 0, 0, 'x'}),
            bytes({12, 3, 2, 'x', 0}), bytes({12, 2 + maxPlayerNameBytes + 1, maxPlayerNameBytes + 1})
            + std::string(maxPlayerNameBytes + 1, 'x') + bytes({0})}},
        {Sender::Guest, "wrong length", 0, {bytes({6, 1}), bytes({5, 3}), bytes({1, 5}),
            bytes({1, maxHelloSize + 1}), named(4), named(2), named(maxPlayerNameBytes + 1),
            bytes({1, helloSize - 1}) + "BLKD" + bytes({protocolVersion, 1}) + "00000000"}},
        {Sender::Guest, "wrong length", 1, {hello + bytes({4, 2 + maxLegendLength})}},
        {Sender::Host, "a round's result out of bounds", 0, {
            result(3, 0),     // round 0
            result(0, 0x10),  // round 2^28
            result(4, 3),     // winner 3
            result(5, 0x3C),  // score > 1e9
            result(17, 0x40), // rows > 1e9
            result(30, 100),  // level 100
            result(31, 2),    // ending 2
            result(32, 1),    // champion, no end
            result(32, 3)}},  // champion 3
        {Sender::Host, "a kept match's number out of bounds", 0,
            {bytes({11, 4, 0, 0, 0, 0}), bytes({11, 4, 0x3B, 0x9A, 0xCA, 0x01})}}, // 0, 1e9 + 1
        {Sender::Host, "not in its shortest form", 0, {bytes({7, 0x80, 0x7F})}},
        {Sender::Host, "more than two bytes", 0, {bytes({7, 0x81, 0x80})}},
        {Sender::Guest, "not a blockduel", 0,
            {bytes({1, 14}) + "BLKX" + bytes({protocolVersion, 1}) + "00000000"}},
        {Sender::Guest, "a greeting for no seat", 0, {greeting + bytes({3}) + "00000000" + bytes({0})}},
        {Sender::Guest, "a join code with characters", 0,
            {greeting + bytes({1}) + "0000000O" + bytes({0})}},
        {Sender::Guest, "an unknown keyboard mode", 1, {hello + bytes({4, 1, 2})}},
        {Sender::Guest, "a key legend that is no text", 1,
            {hello + bytes({4, 3, 1, 'W', 0x07}), hello + bytes({4, 2, 0, 0x7F})}},
        {Sender::Guest, "a key event the game does not have", 0, {bytes({5, 2, 0, 0x25}),
            bytes({5, 2, 5, 0x25}), bytes({5, 2, 4, 0x25}), bytes({5, 2, 1, 'X'}),
            bytes({5, 2, 1, actionLimit}), bytes({5, 2, 1, 0})}},
        {Sender::Host, "a welcome to no seat", 0, {bytes({2, 2, protocolVersion, 0})}},
        {Sender::Host, "a welcome of another version", 0, {bytes({2, 2, protocolVersion + 1, 1})}},
        {Sender::Host, "runs of cells outside", 0, {
            bytes({8, 2, 0, 0}),                    // no attribute
            bytes({8, 3, 0, 0x11, 1}),              // kept, a code short
            bytes({8, 5, 0x92, 0xE1, 7, 1, 2})}},   // from a cell past the last
    };
    // clang-format on
    for (const Case& c : cases)
        for (const std::string& stream : c.streams)
            for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
                Read read = decode(c.from, stream, piece);
                EXPECT_NE(std::string::npos, read.error.find(c.error))
                    << testing::PrintToString(stream) << " in pieces of " << piece << ": '"
                    << read.error << "'";
                EXPECT_EQ(c.before, read.messages.size()) << testing::PrintToString(stream);
            }
}

} // namespace
