// SPDX-License-Identifier: MIT
#include "record/results.hpp"

#include "model/model.hpp"
#include "net/player_name.hpp"
#include "record/varint.hpp"

namespace record {

namespace {

constexpr long long maxFrames = 1LL << 40;
// The setup's yes-or-no fields, a bit each. A field added later takes the
// next bit: headers written before it have it clear, and read as they were
// played, without a new format version.
constexpr unsigned setupFlagBits = 8;
constexpr int setupFlags = 1 << setupFlagBits;

void appendFlags(std::string& out, std::initializer_list<bool> flags) {
    unsigned bits = 0;
    unsigned bit = 1;
    for (bool flag : flags) {
        bits |= flag ? bit : 0U;
        bit <<= 1U;
    }
    appendNumber(out, bits);
}

void appendText(std::string& out, const std::string& text) {
    appendNumber(out, text.size());
    out += text;
}

bool readText(NumberReader& in, int limit, std::string& text) {
    int length = 0;
    std::string_view bytes;
    if (!in.bounded(limit, length) || !in.bytes(static_cast<std::size_t>(length), bytes))
        return false;
    text.assign(bytes);
    return true;
}

bool readLong(NumberReader& in, long long limit, long long& value) {
    std::uint64_t read = 0;
    if (!in.number(read) || read > static_cast<std::uint64_t>(limit))
        return false;
    value = static_cast<long long>(read);
    return true;
}

// A board's number, or -1 (written as 0, the boards as 1 and 2).
bool readBoard(NumberReader& in, int& board) {
    if (!in.bounded(2, board))
        return false;
    board -= 1;
    return true;
}

void appendBoard(std::string& out, int board) {
    appendNumber(out, static_cast<std::uint64_t>(board < 0 || board > 1 ? 0 : board + 1));
}

void appendSetup(std::string& out, const MatchSetup& s) {
    appendNumber(out, formatVersion);
    appendText(out, s.programVersion.substr(0, maxVersionText));
    appendNumber(out, static_cast<std::uint64_t>(s.startedUnix < 0 ? 0 : s.startedUnix));
    appendNumber(out, s.matchId);
    appendNumber(out, static_cast<std::uint64_t>(s.mode));
    appendFlags(out, {s.computer[0], s.computer[1], s.countdown, s.pause, s.noColor, s.remote[0],
                      s.remote[1], s.speedUp});
    for (int level : s.level)
        appendNumber(out, static_cast<std::uint64_t>(level < 0 ? 0 : level));
    appendNumber(out, s.seed);
    appendNumber(out, static_cast<std::uint64_t>(s.viewer));
    appendNumber(out, static_cast<std::uint64_t>(s.firstTo < 0 ? 0 : s.firstTo));
    for (const std::string& legend : s.legend)
        appendText(out, legend.substr(0, maxLegend));
    for (const auto& board : s.keys)
        for (int key : board)
            appendNumber(out, static_cast<std::uint64_t>(key < 0 || key > maxKeyCode ? 0 : key));
    for (const std::string& name : s.names)
        appendText(out, net::checkPlayerName(name) == nullptr ? name : "");
}

// A name read is untrusted as any other: one that is no name is refused.
bool readNames(NumberReader& in, int version, MatchSetup& s) {
    if (version < firstNamesVersion)
        return true;
    for (std::string& name : s.names)
        if (!readText(in, net::maxPlayerNameBytes, name) || net::checkPlayerName(name) != nullptr)
            return false;
    return true;
}

bool readSetup(NumberReader& in, MatchSetup& s, int& version) {
    int mode = 0;
    int flags = 0;
    std::uint64_t seed = 0;
    std::uint64_t id = 0;
    long long started = 0;
    bool read = in.bounded(formatVersion, version) && readableFormat(version) &&
                readText(in, maxVersionText, s.programVersion) &&
                readLong(in, 1LL << 40, started) && in.number(id) && id <= 0xFFFFFFFFU &&
                in.bounded(playModes, mode) && mode >= 1 && in.bounded(setupFlags - 1, flags) &&
                in.bounded(maxLevel, s.level[0]) && in.bounded(maxLevel, s.level[1]) &&
                in.number(seed) && seed <= 0xFFFFFFFFU && in.bounded(viewers - 1, s.viewer) &&
                in.bounded(maxRound, s.firstTo) && readText(in, maxLegend, s.legend[0]) &&
                readText(in, maxLegend, s.legend[1]);
    for (auto& board : s.keys)
        for (int& key : board)
            read = read && in.bounded(maxKeyCode, key);
    if (!read || !readNames(in, version, s))
        return false;
    s.startedUnix = started;
    s.matchId = static_cast<std::uint32_t>(id);
    s.mode = static_cast<PlayMode>(mode);
    s.seed = static_cast<std::uint32_t>(seed);
    s.libraryPieces = version < firstOwnPiecesVersion;
    bool* flagged[] = {&s.computer[0], &s.computer[1], &s.countdown, &s.pause,
                       &s.noColor,     &s.remote[0],   &s.remote[1], &s.speedUp};
    for (unsigned bit = 0; bit < setupFlagBits; ++bit)
        *flagged[bit] = ((static_cast<unsigned>(flags) >> bit) & 1U) != 0;
    return true;
}

void appendRound(std::string& out, const RoundResult& r) {
    appendNumber(out, static_cast<std::uint64_t>(r.round));
    appendBoard(out, r.winner);
    for (int board = 0; board < 2; ++board) {
        appendNumber(out, static_cast<std::uint64_t>(r.score[board]));
        appendNumber(out, static_cast<std::uint64_t>(r.rows[board]));
    }
    appendNumber(out, static_cast<std::uint64_t>(r.frames));
    appendNumber(out, static_cast<std::uint64_t>(r.seconds));
}

bool readRound(NumberReader& in, RoundResult& r) {
    bool read = in.bounded(maxRound, r.round) && readBoard(in, r.winner);
    for (int board = 0; board < 2 && read; ++board)
        read = in.bounded(maxScore, r.score[board]) && in.bounded(maxScore, r.rows[board]);
    return read && readLong(in, maxFrames, r.frames) && readLong(in, maxRoundSeconds, r.seconds);
}

// The whole payload, and nothing after it.
template <typename T, typename Read>
std::optional<T> decodeWhole(std::string_view payload, Read read) {
    NumberReader in(payload);
    T value{};
    if (!read(in, value) || !in.atEnd())
        return std::nullopt;
    return value;
}

} // namespace

std::string encodeSetup(const MatchSetup& setup) {
    std::string out;
    appendSetup(out, setup);
    return out;
}

std::string encodeRound(const RoundResult& round) {
    std::string out;
    appendRound(out, round);
    return out;
}

std::string encodeEntry(const ResultEntry& entry) {
    std::string out;
    appendSetup(out, entry.match);
    appendRound(out, entry.round);
    appendBoard(out, entry.you);
    appendNumber(out, entry.matchOver ? 1U : 0U);
    appendBoard(out, entry.champion);
    appendNumber(out, entry.rowsFigured ? 1U : 0U);
    return out;
}

std::optional<int> versionOf(std::string_view payload) {
    NumberReader in(payload);
    std::uint64_t version = 0;
    if (!in.number(version) || version > 1'000'000)
        return std::nullopt;
    return static_cast<int>(version);
}

bool readableFormat(int version) {
    return version >= oldestFormatVersion && version <= formatVersion;
}

std::optional<MatchSetup> decodeSetup(std::string_view payload) {
    return decodeWhole<MatchSetup>(payload, [](NumberReader& in, MatchSetup& s) {
        int version = 0;
        return readSetup(in, s, version);
    });
}

std::optional<RoundResult> decodeRound(std::string_view payload) {
    return decodeWhole<RoundResult>(payload, readRound);
}

std::optional<ResultEntry> decodeEntry(std::string_view payload) {
    return decodeWhole<ResultEntry>(payload, [](NumberReader& in, ResultEntry& e) {
        int version = 0;
        int over = 0;
        int figured = 1;
        if (!readSetup(in, e.match, version) || !readRound(in, e.round) || !readBoard(in, e.you) ||
            !in.bounded(1, over) || !readBoard(in, e.champion) ||
            (version > oldestFormatVersion && !in.bounded(1, figured)))
            return false;
        e.matchOver = over == 1;
        e.rowsFigured = figured == 1;
        // Format 1 wrote the score in the rows' place.
        for (int board = 0; board < 2 && e.rowsFigured; ++board)
            e.round.rows[board] = e.round.score[board] / rowScore;
        return true;
    });
}

} // namespace record
