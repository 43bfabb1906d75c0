// SPDX-License-Identifier: MIT
// What a command keeps of its match, on the in-memory back end and disk:
// nothing for the game without options; for a match, a recording that
// plays back as the match was played, pauses and all, and a line per round in the results
// log that adds up to the match's result.
#include "cli/game_setup.hpp"
#include "cli/match_keeping.hpp"

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "command_args.hpp"
#include "fixture.hpp"
#include "game/keeping.hpp"
#include "game/match.hpp"
#include "game/match_lines.hpp"
#include "game/recording.hpp"
#include "history/replay_line.hpp"
#include "memory_disk.hpp"
#include "netplay/pictures.hpp"
#include "record/log_records.hpp"
#include "record/results_log.hpp"
#include "record/stats.hpp"

namespace {

TEST(TimeStamp, IsTheUtcDateAndTime) {
    EXPECT_EQ(timeStamp(0), "19700101-000000");
    EXPECT_EQ(timeStamp(1796000000), "20261130-005320");
    EXPECT_EQ(timeStamp(951786061), "20000229-010101") << "a leap day";
    EXPECT_EQ(timeStamp(4102444799), "20991231-235959");
}

using KeptMatches = Fresh;

// The keeper as a back end's start makes it.
std::unique_ptr<record::MatchKeeper> keeperOf(Mode mode, const GameSetup& setup, unsigned process) {
    KeptAs as{playModeOf(mode), boardOfYou(mode),     "/state", 1796000000, process,
              programVersion(), timeStamp(1796000000)};
    return keeperFor(setup, as);
}

TEST_F(KeptMatches, EveryMatchIsKeptButTheGameWithoutOptions) {
    // Kept or not, and the board of this machine's player (none at one keyboard).
    const std::tuple<Mode, bool, int> modes[] = {{Mode::Local, false, 0}, {Mode::Computer, true, 0},
                                                 {Mode::Demo, true, -1},  {Mode::Match, true, -1},
                                                 {Mode::Host, true, 0},   {Mode::Join, true, 1},
                                                 {Mode::Watch, true, -1}};
    for (const auto& [mode, keeps, board] : modes)
        EXPECT_EQ(std::pair(keepsMatches(mode), boardOfYou(mode)), std::pair(keeps, board))
            << "mode " << static_cast<int>(mode);
    EXPECT_EQ(playModeOf(Mode::Match), record::PlayMode::Match);
    // Two games of one second and seed differ by their process.
    auto a = keeperOf(Mode::Computer, GameSetup{}, 1);
    auto b = keeperOf(Mode::Computer, GameSetup{}, 2);
    EXPECT_NE(a->recordingPath(), b->recordingPath());
    EXPECT_NE(a->recordingPath().find("match-20261130-005320-"), std::string::npos)
        << a->recordingPath();
}

// The screen after every frame.
std::vector<std::string> screensOf(const GameSetup& setup, bool (*keys)(int, int), Match& m,
                                   ReadTape* playback = nullptr) {
    mem::backend().keyScript = keys;
    std::vector<std::string> screens;
    mem::backend().onFrameEnd = [&](int) {
        std::string cells;
        for (int y = 0; y < pictureRows; ++y)
            cells += mem::rowText(y, 0, pictureColumns);
        screens.push_back(cells);
    };
    GameSetup seeded = setup;
    seedGenerators(seeded);
    playMatch(seeded, m, playback);
    return screens;
}

// A person who pauses now and then, and presses Enter for the next round.
bool person(int frame, int key) {
    if (key == vkP)
        return frame % 150 < 2;
    if (key == vkReturn)
        return frame % 40 == 0;
    return key != vkEscape && (frame / 6 + key) % 7 == 0;
}

bool nobody(int /*frame*/, int /*key*/) { return false; }

bool mashing(int frame, int key) { return (frame + key) % 2 == 0; }

// A screen of screensOf without what names the game's keys, which a replay
// leaves out: its keys are its own.
std::string withoutGameKeys(std::string cells) {
    auto row = [&](int y) {
        return cells.begin() + static_cast<std::ptrdiff_t>(y) * pictureColumns;
    };
    std::fill(row(legendRow), row(legendRow + 1), ' ');
    std::string prompt(row(promptRow), row(promptRow + 1));
    for (const std::string keys : {pauseHint, resumeHint})
        if (std::size_t at = prompt.find(keys); at != std::string::npos)
            prompt.replace(at, keys.size(), std::string(keys.size(), ' '));
    std::copy(prompt.begin(), prompt.end(), row(promptRow));
    return cells;
}

// The recording `keeper` wrote, played back on a fresh back end, against
// the screens the match showed.
void expectPlaysBack(const record::MatchKeeper& keeper, const std::vector<std::string>& recorded) {
    std::string bytes = mem::disk().files.at(keeper.recordingPath());
    record::ReadRecords read = record::readRecords(bytes);
    ASSERT_FALSE(read.records.empty());
    std::optional<record::MatchSetup> header = record::decodeSetup(read.records[0].payload);
    ASSERT_TRUE(header);
    record::TapeReader tape;
    for (const record::Record& r : read.records)
        ASSERT_TRUE(r.kind != record::RecordKind::TapeChunk || tape.add(r.payload));
    // On another clock, with the keyboard mashed: a playback reads neither.
    mem::reset();
    mem::backend().frameCostMs = 7;
    TapePlayer player(tape);
    Match again{};
    std::vector<std::string> played = screensOf(replayedSetup(*header), mashing, again, &player);
    ASSERT_EQ(played.size(), recorded.size());
    for (std::size_t frame = 0; frame < played.size(); ++frame)
        ASSERT_EQ(played[frame], withoutGameKeys(recorded[frame])) << "frame " << frame;
    EXPECT_TRUE(mem::disk().files.empty()) << "a playback keeps nothing";
}

// A match of `mode` as the command line `args` set it up, kept as it is
// played with `keys` at the keyboard.
struct KeptRun {
    std::unique_ptr<record::MatchKeeper> keeper;
    Match live{};
    std::vector<std::string> screens;
};

KeptRun playKept(Mode mode, std::vector<const char*> args, unsigned seed, bool (*keys)(int, int)) {
    GameSetup setup = gameSetupOf(optionsOf(std::move(args)));
    setup.seed = seed;
    KeptRun run;
    run.keeper = keeperOf(mode, setup, 7);
    setup.keeper = run.keeper.get();
    run.screens = screensOf(setup, keys, run.live);
    return run;
}

// What the results add up to against the computer at level 5.
record::Tally atLevelFive(const record::ResultsRead& results) {
    return record::addUp(results.entries, computerMaxLevel)
        .tallies.at({record::PlayMode::Computer, 5});
}

TEST_F(KeptMatches, AKeptMatchPlaysBackAndAddsUp) {
    KeptRun run =
        playKept(Mode::Computer, {"--computer", "--level", "5", "--first-to", "2"}, 1234, person);
    const Match& live = run.live;
    ASSERT_EQ(live.champion, 1);
    EXPECT_EQ(run.keeper->warning(), "");
    EXPECT_TRUE(std::any_of(run.screens.begin(), run.screens.end(), [](const std::string& s) {
        return s.find("Paused.") != s.npos;
    })) << "the person paused";

    // The results: each round once, the last one ending the match.
    record::ResultsRead results = record::readResults("/state");
    EXPECT_EQ(results.warning, "");
    ASSERT_EQ(results.entries.size(), static_cast<std::size_t>(live.wins[0] + live.wins[1]));
    EXPECT_TRUE(results.entries.back().matchOver);
    const record::Tally t = atLevelFive(results);
    EXPECT_EQ(std::tuple(t.matches, t.matchesLost, t.roundsLost), std::tuple(1, 1, 2));

    expectPlaysBack(*run.keeper, run.screens);
}

// A demo, the computer on both boards, plays back too.
TEST_F(KeptMatches, ADemoPlaysBack) {
    KeptRun run = playKept(Mode::Demo, {"--demo", "--level", "2,4", "--first-to", "2"}, 99, nobody);
    ASSERT_GE(run.live.champion, 0);
    // Its rounds clear rows, and each row is counted once, not as its score.
    long long rows = 0;
    for (const record::ResultEntry& e : record::readResults("/state").entries)
        for (int board = 0; board < 2; ++board) {
            EXPECT_EQ(e.round.rows[board] * rowScore, e.round.score[board]) << board;
            EXPECT_FALSE(e.rowsFigured);
            rows += e.round.rows[board];
        }
    EXPECT_GT(rows, 0);
    expectPlaysBack(*run.keeper, run.screens);
}

TEST_F(KeptMatches, AMatchLeftBetweenRoundsEndsOnceInTheResults) {
    // Nobody at the keys until the first round is lost, then Escape.
    KeptRun run = playKept(Mode::Computer, {"--computer", "--level", "5"}, 77, [](int, int key) {
        return key == vkEscape && mem::backend().frame > 0 &&
               mem::rowText(gameOverRow).find("Game Over") != std::string::npos;
    });
    record::ResultsRead results = record::readResults("/state");
    ASSERT_EQ(results.entries.size(), 2U);
    EXPECT_EQ(results.entries[0].round.winner, 1);
    EXPECT_FALSE(results.entries[0].matchOver);
    EXPECT_EQ(results.entries[1].round.winner, -1) << "the round after was never played";
    EXPECT_TRUE(results.entries[1].matchOver);
    const record::Tally t = atLevelFive(results);
    EXPECT_EQ(std::tuple(t.rounds, t.matchesLost), std::tuple(1, 1));
}

// A guest's replay shows the host's pictures without what names the game's
// keys: the countdown's legend, "P pauses." in play, P's part of a pause;
// the rest of the lines stays.
TEST_F(KeptMatches, AGuestsReplayLeavesOutTheGamesKeys) {
    GameSetup host{.remote = {RemoteKeys{}, RemoteKeys{[](void*, Action) { return false; }}},
                   .match = true,
                   .countdown = true,
                   .pause = true};
    struct Case {
        MatchPhase phase;
        const char* status;
    };
    for (const Case& c :
         {Case{MatchPhase::Countdown, "Round 1 starts in 3"}, Case{MatchPhase::Playing, ""},
          Case{MatchPhase::Paused, "Paused by you."}}) {
        Match m{};
        m.phase = c.phase;
        m.round = 1;
        m.countdown = 3;
        m.winner = -1;
        m.hold = Hold::Pause;
        m.holder = 1;
        net::Picture picture{};
        netplay::paintMatchLines(matchLines(m, host, Viewer::PlayerTwo), picture);
        history::leaveOutGameKeys(picture);
        auto row = [&](int y) {
            std::string text;
            const net::PictureCell* from =
                picture.data() + static_cast<std::ptrdiff_t>(y) * pictureColumns;
            for (const net::PictureCell* cell = from; cell != from + pictureColumns; ++cell)
                text += static_cast<char>(cell->code);
            return text.erase(text.find_last_not_of(' ') + 1);
        };
        EXPECT_EQ(c.status, row(promptRow)) << c.status;
        EXPECT_EQ("", row(legendRow)) << c.status;
        EXPECT_EQ(std::string(10, ' ') + "Round 1 \xfa Match: 0-0", row(gameOverRow)) << c.status;
    }
}

} // namespace
