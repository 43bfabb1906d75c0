// SPDX-License-Identifier: MIT
// What the files say about a match: how it was played (a recording's
// header) and how each round ended. Writing and reading of each, as record
// payloads; reading checks every field against its bounds and refuses
// anything else, since nothing on disk is trusted.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace record {

// Recordings and the results log of a version outside these are refused.
// Format 1 kept each board's score as its rows as well: its rows are
// figured from the score when read (one row for each rowScore). Up to
// format 2 a match's pieces came from the C library of the system that
// played it, which deals other pieces on another system; from format 3
// from the game's own generator, the same everywhere. From format 4 the
// header names each board's player.
constexpr int formatVersion = 4;
constexpr int oldestFormatVersion = 1;
constexpr int firstOwnPiecesVersion = 3;
constexpr int firstNamesVersion = 4;
constexpr int maxVersionText = 32;
constexpr int maxLegend = 24; // a key legend's bytes, as the picture shows it
constexpr int maxLevel = 99;  // above every computer level there is
constexpr int maxScore = 1'000'000'000;
constexpr int maxRound = 1'000'000;
// A round longer than a day is no round of the game: the stack of a board
// nobody plays reaches the top within minutes, and no person plays one on
// for a day (pauses are not counted in it).
constexpr long long maxRoundSeconds = 24LL * 60 * 60;
constexpr int maxKeyCode = 1023; // above every key code there is

enum class PlayMode : unsigned char { Computer = 1, Demo, Match, Host, Guest };
constexpr int playModes = 5;

// Who reads the match's lines: everyone, player one, player two, a watcher.
constexpr int viewers = 4;

struct MatchSetup {
    std::string programVersion;
    long long startedUnix = 0; // seconds since 1970, by the calendar
    std::uint32_t matchId = 0; // with startedUnix, tells matches apart
    PlayMode mode = PlayMode::Computer;
    bool computer[2] = {false, false};
    bool remote[2] = {false, false}; // played from another keyboard
    int level[2] = {0, 0};
    std::uint32_t seed = 0;
    int viewer = 0;
    bool countdown = false;
    bool pause = false;
    bool noColor = false;
    int firstTo = 0;
    bool speedUp = false; // gravity quickened as each round went on
    // The pieces came from the system's C library (formats 1 and 2): only
    // that library deals them again. Never written: the version says it.
    bool libraryPieces = false;
    std::array<std::string, 2> legend;
    // Each board's player's name as net/player_name.hpp checks it; "" for
    // none, and in the formats before names.
    std::array<std::string, 2> names;
    // Each board's keys at this keyboard (turn, left, right, drop), as the
    // game polled them: a playback answers the same polls.
    std::array<std::array<int, 4>, 2> keys = {};
};

struct RoundResult {
    int round = 0;
    int winner = -1; // the board that won; -1 when the round ended unfinished
    int score[2] = {0, 0};
    int rows[2] = {0, 0};
    long long frames = 0;
    long long seconds = 0; // of play, pauses left out
};

// One line of the results log: a round, with its match.
struct ResultEntry {
    MatchSetup match;
    RoundResult round;
    int you = -1;             // the board of this machine's player; -1 for none (a demo)
    bool matchOver = false;   // the last round of the match
    int champion = -1;        // matchOver: the board that won the match, -1 for none
    bool rowsFigured = false; // the rows were figured from the score (kept in format 1)
};

std::string encodeSetup(const MatchSetup& setup);
std::string encodeRound(const RoundResult& round);
std::string encodeEntry(const ResultEntry& entry);

// What a header says of its version, before anything else is read: a
// recording of another version is refused by this, with its number.
std::optional<int> versionOf(std::string_view payload);
bool readableFormat(int version);
std::optional<MatchSetup> decodeSetup(std::string_view payload);
std::optional<RoundResult> decodeRound(std::string_view payload);
std::optional<ResultEntry> decodeEntry(std::string_view payload);

} // namespace record
