// SPDX-License-Identifier: MIT
// Matches on the in-memory back end: who wins a round and the tally, the
// wait for every player's Enter, the countdown, the pause, a player away
// and leaving.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/game_setup.hpp"
#include "command_args.hpp"
#include "display/layout.hpp"
#include "fixture.hpp"
#include "game/keys.hpp"
#include "game/match.hpp"
#include "game/match_lines.hpp"
#include "game/rhythm.hpp"

namespace {

// A player at another keyboard, as a host sees a guest: the actions it
// holds and whether it is there at all.
struct FakeRemote {
    std::set<Action> held;
    bool there = true;

    static bool pressed(void* self, Action action) {
        auto* r = static_cast<FakeRemote*>(self);
        return r->there && r->held.contains(action);
    }
    static bool present(void* self) { return static_cast<FakeRemote*>(self)->there; }
    RemoteKeys keys() { return {&FakeRemote::pressed, &FakeRemote::present, this}; }
};

class Matches : public Fresh {
protected:
    Match m{};
    // The rows of the result and the status, the first time each phase of
    // each round showed them.
    std::map<std::pair<int, MatchPhase>, std::pair<std::string, std::string>> seen;
    std::vector<std::string> statuses; // every status line shown, in order

    void record() {
        screen().onFrameEnd = [this](int) {
            noteStatus();
            seen.try_emplace({m.round, m.phase}, mem::rowText(16, 0, 56), statuses.back());
        };
    }
    // Notes the status row when it has changed.
    void noteStatus() {
        std::string shown = statusRow();
        if (statuses.empty() || statuses.back() != shown)
            statuses.push_back(shown);
    }
    static std::string trimmed(std::string s) {
        s.erase(s.find_last_not_of(' ') + 1);
        return s;
    }
    // The statuses shown from the first of `expected` on hold the rest of it, in order.
    void expectStatuses(const std::vector<std::string>& expected) const {
        auto from = std::find(statuses.begin(), statuses.end(), expected[0]);
        std::vector<std::string> got(
            from, from + std::min(statuses.end() - from, static_cast<long>(expected.size())));
        EXPECT_EQ(expected, got) << testing::PrintToString(statuses);
    }
    std::string tally() const {
        return std::to_string(m.wins[0]) + "-" + std::to_string(m.wins[1]);
    }
    static std::string statusRow() { return trimmed(mem::rowText(promptRow, 0, 56)); }
    std::string result(int round, MatchPhase phase) { return trimmed(seen[{round, phase}].first); }
    std::string status(int round, MatchPhase phase) { return trimmed(seen[{round, phase}].second); }
};

// Holding the soft drop stacks a board fast: the player who holds it tops
// out first and loses the round. Each round starts on a blank picture with
// fresh boards: nothing of the last round's stack, score or "Game Over" is
// left, and while it is played the round, the tally (player one's first)
// and the target show below the boards, which are named.
TEST_F(Matches, TheRoundGoesToTheBoardThatDidNotTopOutAndTheTallyCountsIt) {
    record();
    screen().keyScript = [this](int frame, int key) {
        if (m.phase == MatchPhase::Playing)
            return key == (m.round == 2 ? vkDown : vkS);
        if (m.phase == MatchPhase::RoundOver)
            return key == (m.round < 3 ? vkReturn : vkEscape) && frame % 7 == 0;
        return false;
    };
    bool checked = false;
    screen().onFrameEnd = [&, noted = screen().onFrameEnd](int frame) {
        noted(frame);
        if (m.round != 2 || checked)
            return;
        checked = true;
        EXPECT_EQ(0, mem::countCells(cellSolid, 11, 1, 4, 18, 12)) << "player one's board";
        EXPECT_EQ(0, mem::countCells(cellSolid, 12, 31, 4, 48, 12)) << "player two's board";
        EXPECT_EQ("Score: 0 ", mem::rowText(15, 30, 9));
        EXPECT_EQ(std::string(10, ' '), mem::rowText(16, 0, 10));
        EXPECT_EQ("Round 2 \xfa Match: 1-0 \xfa First to 3", trimmed(mem::rowText(16, 10, 46)));
        EXPECT_EQ("Player    ", mem::rowText(labelRow, 20, 10));
        EXPECT_EQ("two", trimmed(mem::rowText(labelRow + 1, 50, 6)));
    };
    playMatch(GameSetup{.match = true, .firstTo = 3}, m);
    EXPECT_TRUE(checked);
    const char* const won[] = {"one wins this round. Match: 1-0", "two wins this round. Match: 1-1",
                               "one wins this round. Match: 2-1"};
    for (int round = 1; round <= 3; ++round)
        EXPECT_EQ(std::string("Game Over \xfa Player ") + won[round - 1],
                  result(round, MatchPhase::RoundOver));
    EXPECT_EQ("Enter: next round. Escape: leave.", status(1, MatchPhase::RoundOver));
    EXPECT_EQ(MatchPhase::Over, m.phase);
    EXPECT_EQ("2-1", tally());
    EXPECT_EQ("Match over: 2-1.", statusRow());
    EXPECT_EQ(0, screen().readChars) << "a match ends without the final prompt";
}

// The line `viewer` reads of `m` on row `y`.
std::string lineSeen(const Match& m, const GameSetup& setup, Viewer viewer, int y) {
    MatchLines lines = matchLines(m, setup, viewer);
    for (int i = 0; i < lines.count; ++i)
        if (lines.line[i].y == y)
            return lines.line[i].text;
    return "";
}

// A person alone against the computer, as the host and as its guest, is
// told "You win" or "You lose"; everyone else is told which player won.
TEST(MatchLines, TheResultSpeaksToWhoeverLooks) {
    Match m{};
    m.phase = MatchPhase::RoundOver;
    m.round = 2;
    m.winner = 1;
    m.wins[0] = 1;
    m.wins[1] = 1;
    GameSetup alone{.computer = {false, true}, .match = true, .viewer = Viewer::PlayerOne};
    struct Case {
        Viewer viewer;
        const char* result;
        const char* label[2];
    };
    const Case cases[] = {
        {Viewer::PlayerOne, "\xfa You lose this round. Match: 1-1", {"You", "CPU 3"}},
        {Viewer::PlayerTwo, "\xfa You win this round. Match: 1-1", {"Player one", "You"}},
        {Viewer::Everyone, "\xfa Player two wins this round. Match: 1-1", {"Player one", "CPU 3"}},
        {Viewer::Watcher, "\xfa Player two wins this round. Match: 1-1", {"Player one", "CPU 3"}},
    };
    for (const Case& c : cases) {
        MatchLines lines = matchLines(m, alone, c.viewer);
        std::string label[2];
        for (int i = 0; i < lines.count; ++i) {
            const MatchLine& l = lines.line[i];
            if (l.y != labelRow && l.y != labelRow + 1)
                continue;
            std::string& named = label[l.x < 30 ? 0 : 1];
            named.append(named.empty() ? "" : " ").append(l.text);
        }
        EXPECT_EQ(c.result, lineSeen(m, alone, c.viewer, 16)) << static_cast<int>(c.viewer);
        EXPECT_EQ(c.label[0], label[0]) << static_cast<int>(c.viewer);
        EXPECT_EQ(c.label[1], label[1]) << static_cast<int>(c.viewer);
    }
}

// The row of the key legend as `viewer` sees `m`, arrows as ^ < > v.
std::string legendSeen(const Match& m, const GameSetup& setup, Viewer viewer) {
    std::string text = lineSeen(m, setup, viewer, legendRow);
    for (char& c : text)
        c = c == '\x18' ? '^' : c == '\x19' ? 'v' : c == '\x1a' ? '>' : c == '\x1b' ? '<' : c;
    return text;
}

// Before the first round and while paused by P, the players' keys show below
// the boards: each one's at a shared keyboard, a person's own alone or
// over the network (the guest's as it sent them), none to a watcher. At
// one keyboard they stay through the first round; over the network they
// give way once it is under way. Each player's keys are in the order of --keys: turn, left,
// right, drop.
TEST(MatchLines, TheKeyLegendShowsBeforeTheFirstRoundAndWhilePaused) {
    const std::string dot = " \xfa ";
    const std::string pause = dot + "P pauses" + dot + "Esc leaves";
    GameSetup match = gameSetupOf(optionsOf({"--match"}));
    GameSetup alone = gameSetupOf(optionsOf({"--computer"}));
    GameSetup chosen = gameSetupOf(optionsOf({"--match", "--keys", "one=i,j,l,k"}));
    FakeRemote guest;
    GameSetup host = gameSetupOf(optionsOf({"--host"}));
    host.remote[1] = guest.keys();
    std::snprintf(host.legend[1], sizeof host.legend[1], "%s", "Z Q D S or 8 4 6 5");
    GameSetup demo = gameSetupOf(optionsOf({"--demo"}));
    const std::string both = "Left: ^ < > v" + dot + "Right: W A D S" + pause;
    const std::string own = "Keys: ^ < > v or W A D S" + pause;
    const std::string guests = "Keys: Z Q D S or 8 4 6 5" + pause;
    struct Case {
        const GameSetup* setup;
        Viewer viewer;
        int round;
        MatchPhase phase;
        std::string legend;
    };
    const Case cases[] = {
        {&match, Viewer::Everyone, 1, MatchPhase::Playing, both},
        {&match, Viewer::Everyone, 1, MatchPhase::Countdown, both},
        {&match, Viewer::Everyone, 3, MatchPhase::Paused, both},
        {&match, Viewer::Everyone, 2, MatchPhase::Countdown, ""},
        {&match, Viewer::Everyone, 2, MatchPhase::Playing, ""},
        {&match, Viewer::Everyone, 1, MatchPhase::RoundOver, ""},
        {&chosen, Viewer::Everyone, 1, MatchPhase::Playing,
         "Left: I J L K" + dot + "Right: W A D S" + pause},
        {&alone, Viewer::PlayerOne, 1, MatchPhase::Playing, own},
        {&alone, Viewer::PlayerOne, 4, MatchPhase::Paused, own},
        {&host, Viewer::PlayerOne, 1, MatchPhase::Countdown, own},
        {&host, Viewer::PlayerTwo, 1, MatchPhase::Countdown, guests},
        {&host, Viewer::PlayerTwo, 2, MatchPhase::Paused, guests},
        {&host, Viewer::Watcher, 2, MatchPhase::Paused, ""},
        {&host, Viewer::PlayerOne, 1, MatchPhase::Playing, ""},
        {&host, Viewer::Watcher, 1, MatchPhase::Countdown, ""},
        {&demo, Viewer::Everyone, 1, MatchPhase::Countdown, "P pauses \xfa Esc leaves"},
        {&demo, Viewer::Everyone, 1, MatchPhase::Playing, "P pauses \xfa Esc leaves"},
    };
    for (const Case& c : cases) {
        Match m{};
        m.round = c.round;
        m.phase = c.phase;
        m.winner = -1;
        std::string seen = legendSeen(m, *c.setup, c.viewer);
        EXPECT_EQ(c.legend, seen) << static_cast<int>(c.viewer) << " round " << c.round;
        EXPECT_LE(seen.size(), static_cast<std::size_t>(pictureColumns));
    }
}

// Over the network a round starts when both players have pressed Enter,
// after the same countdown; a player who dropped is not ready.
TEST_F(Matches, TheNextRoundWaitsForBothPlayersAndCountsDown) {
    record();
    FakeRemote guest;
    GameSetup setup{.remote = {RemoteKeys{}, guest.keys()},
                    .match = true,
                    .viewer = Viewer::PlayerOne,
                    .countdown = true};
    int overAt = -1;
    int countdownAt = -1;
    long long countdownMs[2] = {-1, -1}; // the virtual clock when it began and ended
    screen().keyScript = [&](int frame, int key) {
        if (m.phase == MatchPhase::Playing && m.round == 1)
            return key == vkDown; // player one loses the first round
        if (m.phase == MatchPhase::Countdown && m.round == 2 && countdownAt < 0) {
            countdownAt = frame;
            countdownMs[0] = screen().nowMs;
        }
        if (m.phase == MatchPhase::Playing && m.round == 2) {
            if (countdownMs[1] < 0)
                countdownMs[1] = screen().nowMs;
            return key == vkEscape;
        }
        if (m.phase != MatchPhase::RoundOver)
            return false;
        if (overAt < 0)
            overAt = frame;
        int waited = frame - overAt;
        // The guest is ready first, then drops: no longer ready and shown
        // away, so the host's Enter does not start the round; it does once
        // the guest is back and has pressed Enter again.
        guest.held.clear();
        guest.there = waited < 15 || waited >= 60;
        if (waited == 10 || waited == 70)
            guest.held.insert(Action::Enter);
        return key == vkReturn && waited == 20;
    };
    playMatch(setup, m);
    EXPECT_EQ("Round 1 starts in 3", status(1, MatchPhase::Countdown));
    EXPECT_EQ("Game Over \xfa You lose this round. Match: 0-1", result(1, MatchPhase::RoundOver));
    expectStatuses({"Enter: next round. Escape: leave.",
                    "Player two is ready. Enter: next round. Escape: leave.",
                    "Player two is away. Enter: next round. Escape: leave.",
                    "Player two is away; they may join again.",
                    "Waiting for player two to press Enter.", "Round 2 starts in 3",
                    "Round 2 starts in 2", "Round 2 starts in 1"});
    EXPECT_EQ(overAt + 71, countdownAt) << "the round began at the guest's Enter, not before";
    EXPECT_NEAR(3000, countdownMs[1] - countdownMs[0], 100);
    EXPECT_EQ(2, m.round);
    EXPECT_EQ(0, m.leaver) << "the host pressed Escape";
    EXPECT_EQ("Match over: 0-1. You left.", statusRow());
    MatchLines theirs = matchLines(m, setup, Viewer::PlayerTwo);
    EXPECT_STREQ("Match over: 0-1. Player one left.", theirs.line[theirs.count - 1].text);
}

// A server's room has nobody at its keyboard: two remote players' own
// Enter starts their next round, and nothing waits for this keyboard's.
TEST_F(Matches, WithNobodyHereTheRemotePlayersAloneStartTheNextRound) {
    FakeRemote one;
    FakeRemote two;
    GameSetup setup{
        .remote = {one.keys(), two.keys()}, .match = true, .countdown = true, .nobodyHere = true};
    int overAt = -1;
    screen().keyScript = [&](int frame, int /*key*/) {
        one.held.clear();
        two.held.clear();
        if (m.phase == MatchPhase::Playing && m.round == 1)
            one.held.insert(Action::Drop); // player one loses the first round
        if (m.phase == MatchPhase::RoundOver && overAt < 0)
            overAt = frame;
        if (m.phase == MatchPhase::RoundOver && frame - overAt == 10)
            one.held.insert(Action::Enter);
        if (m.phase == MatchPhase::RoundOver && frame - overAt == 20)
            two.held.insert(Action::Enter);
        if ((m.phase == MatchPhase::Playing && m.round == 2) || frame > 5000)
            two.held.insert(Action::Escape);
        return false; // nothing at this keyboard, ever
    };
    playMatch(setup, m);
    EXPECT_EQ(2, m.round) << "the second round began at the players' Enter";
    EXPECT_EQ(1, m.wins[1]);
    EXPECT_EQ(1, m.leaver);
}

// A server that drains makes the round under way a match's last, and ends
// at once a match between rounds or held for a player who is away.
TEST_F(Matches, TheLastRoundEndsTheMatchWhereverItIsMadeSo) {
    enum class When { InRound, BetweenRounds, Away };
    for (When when : {When::InRound, When::BetweenRounds, When::Away}) {
        SCOPED_TRACE(static_cast<int>(when));
        m = Match{};
        FakeRemote guest;
        bool last = false;
        bool rested = false; // the rest between rounds was shown
        int frames = 0;
        GameSetup setup{.remote = {RemoteKeys{}, guest.keys()},
                        .match = true,
                        .nobodyHere = true,
                        .lastRound = &last};
        screen().keyScript = [&](int frame, int key) {
            frames = frame;
            rested = rested || m.phase == MatchPhase::RoundOver;
            if (m.phase == MatchPhase::Playing && when == When::InRound)
                last = true;
            if (m.phase == MatchPhase::RoundOver && when == When::BetweenRounds)
                last = true;
            if (m.phase == MatchPhase::Playing && when == When::Away && frame > 50)
                guest.there = false;
            if (m.phase == MatchPhase::Paused && when == When::Away)
                last = true;
            if (frame > 20'000) { // a match that never ends: the guest comes back to leave
                guest.there = true;
                guest.held.insert(Action::Escape);
            }
            return m.phase == MatchPhase::Playing && key == vkDown && when != When::Away;
        };
        playMatch(setup, m);
        EXPECT_LT(frames, 20'000) << "the match ended by itself";
        EXPECT_EQ(1, m.round);
        EXPECT_EQ(-1, m.leaver);
        EXPECT_EQ(when == When::BetweenRounds, rested) << "a last round goes straight to the end";
        EXPECT_EQ(when == When::Away ? "Match over: 0-0." : "Match over: 0-1.", statusRow());
    }
}

// Frames a round played in each of its first seconds, from its first frame.
std::vector<int> framesInFirstSeconds(const std::vector<long long>& endedAtMs, int seconds) {
    std::vector<int> frames(seconds, 0);
    for (long long at : endedAtMs) {
        long long second = (at - endedAtMs.front()) / 1000;
        if (second < seconds)
            ++frames[second];
    }
    return frames;
}

// Every round runs at the steady pace from its first frame: the first at
// the delay measured once, a later one at the delay the last settled on,
// here on a machine whose frames turned slow in the first round.
TEST_F(Matches, EveryRoundStartsAtTheSteadyPace) {
    std::map<int, std::vector<long long>> playedAt; // round: the clock at each frame's end
    screen().onFrameEnd = [this, &playedAt](int) {
        if (m.phase == MatchPhase::Playing)
            playedAt[m.round].push_back(screen().nowMs);
    };
    screen().keyScript = [this, &playedAt](int frame, int key) {
        if (m.phase == MatchPhase::RoundOver)
            return key == vkReturn && frame % 5 == 0;
        if (m.round == 1 && playedAt[1].size() == 40)
            screen().frameCostMs = 30;
        return m.round == 2 && playedAt[2].size() > 60 && key == vkEscape;
    };
    playMatch(gameSetupOf(optionsOf({"--match"})), m);
    ASSERT_EQ(2, m.round);
    ASSERT_GT(playedAt[1].size(), 250U) << "the first round is long enough to settle";
    for (int round = 1; round <= 2; ++round) {
        std::vector<int> frames = framesInFirstSeconds(playedAt[round], 3);
        for (int second = 0; second < 3; ++second)
            EXPECT_NEAR(framesPerSecond, frames[second], 1)
                << "round " << round << ", second " << second;
    }
}

// A demo plays on by itself: each round's result stays for a while with
// the seconds left, then the next round counts down, until Escape.
TEST_F(Matches, ADemoStartsItsNextRoundByItself) {
    record();
    long long restedFrom = -1;
    long long restedMs = -1;
    screen().keyScript = [&](int frame, int key) {
        if (frame > 50'000) // a demo that waits for a key would wait for ever
            return key == vkEscape;
        if (m.phase == MatchPhase::RoundOver && m.round == 1 && restedFrom < 0)
            restedFrom = screen().nowMs;
        if (m.phase == MatchPhase::Countdown && m.round == 2 && restedMs < 0)
            restedMs = screen().nowMs - restedFrom;
        return m.round == 3 && key == vkEscape;
    };
    playMatch(gameSetupOf(optionsOf({"--demo", "--level", "1"})), m);
    EXPECT_EQ(3, m.round);
    EXPECT_EQ(2, m.wins[0] + m.wins[1]);
    expectStatuses({"Next round in 5. Escape: leave.", "Next round in 4. Escape: leave.",
                    "Next round in 3. Escape: leave.", "Next round in 2. Escape: leave.",
                    "Next round in 1. Escape: leave.", "Round 2 starts in 3"});
    EXPECT_NEAR(1000 * demoRestSeconds, restedMs, 100);
}

// With --first-to the match ends by itself once a player has won that many
// rounds, and its last line names the winner, in each viewer's words.
TEST_F(Matches, AMatchToTwoRoundsEndsWithItsWinner) {
    record();
    GameSetup setup = gameSetupOf(optionsOf({"--match", "--first-to", "2"}));
    screen().keyScript = [this, &setup](int frame, int key) {
        if (m.phase == MatchPhase::Playing) // the one who drops loses
            return key == setup.keys[m.round == 2 ? 0 : 1].drop;
        if (m.phase == MatchPhase::RoundOver)
            return key == vkReturn && frame % 7 == 0;
        return frame > 50'000 && key == vkEscape; // a match that never ends
    };
    playMatch(setup, m);
    EXPECT_EQ(3, m.round);
    EXPECT_EQ("2-1", tally());
    EXPECT_EQ("Player one wins the match 2-1", statusRow());
    EXPECT_EQ("Game Over \xfa Player one wins this round. Match: 2-1",
              trimmed(mem::rowText(16, 0, 56)));
    const std::pair<Viewer, const char*> told[] = {
        {Viewer::PlayerOne, "You win the match 2-1"},
        {Viewer::PlayerTwo, "You lose the match 2-1"},
        {Viewer::Watcher, "Player one wins the match 2-1"},
    };
    for (const auto& [viewer, line] : told) {
        MatchLines lines = matchLines(m, setup, viewer);
        EXPECT_STREQ(line, lines.line[lines.count - 1].text) << static_cast<int>(viewer);
    }
}

// The round's clock, m:ss at the right of the delay readout's row, counts
// the seconds of play one by one from 0:00 and stands still while paused
// and while the round counts down to going on.
TEST_F(Matches, TheRoundsClockCountsPlayButNotThePause) {
    GameSetup setup = gameSetupOf(optionsOf({"--computer"}));
    long long playFrom = -1;
    long long pausedAt = -1;
    long long resumedAt = -1;
    std::vector<std::pair<long long, std::string>> shown; // each new reading, by play time
    screen().keyScript = [&](int frame, int key) {
        long long now = screen().nowMs;
        if (frame > 50'000) // the round ended before the pause was over
            return key == vkEscape;
        if (key == vkP && m.phase == MatchPhase::Playing && playFrom >= 0 && pausedAt < 0 &&
            now - playFrom >= 10'000)
            return (pausedAt = now) > 0;
        if (key == vkP && m.phase == MatchPhase::Paused && now - pausedAt >= 5'000)
            return (resumedAt = now) > 0;
        return key == vkEscape && resumedAt > 0 && now - resumedAt >= 6'000;
    };
    screen().onFrameEnd = [&](int) {
        if (m.phase != MatchPhase::Playing)
            return;
        if (playFrom < 0)
            playFrom = screen().nowMs;
        std::string clock = mem::rowText(delayRow, pictureColumns - 6, 6);
        if (shown.empty() || shown.back().second != clock)
            shown.emplace_back(screen().nowMs - playFrom, clock);
    };
    playMatch(setup, m);
    ASSERT_GT(resumedAt, 0) << "paused and resumed";
    int seconds = 0;
    for (const auto& [at, clock] : shown) {
        char reading[16];
        std::snprintf(reading, sizeof reading, "%3d:%02d", seconds / 60, seconds % 60);
        ASSERT_EQ(reading, clock) << "one second at a time, from 0:00";
        long long held = resumedAt - pausedAt + countdownSeconds * 1000LL;
        long long played = at - (at > pausedAt - playFrom ? held : 0);
        EXPECT_NEAR(seconds * 1000, played, 1000) << clock << ": a clock of play only";
        seconds += 1;
    }
    EXPECT_GE(seconds, 13);
}

// The whole picture, row by row.
std::string wholePicture() {
    std::string rows;
    for (int y = 0; y < pictureRows; ++y)
        rows += mem::rowText(y, 0, pictureColumns) + "\n";
    return rows;
}

// A host's match, player two's keys from `guest`.
GameSetup hostWith(FakeRemote& guest) {
    GameSetup setup = gameSetupOf(optionsOf({"--host"}));
    setup.remote[1] = guest.keys();
    setup.viewer = Viewer::PlayerOne;
    return setup;
}

// The keys of the pause test below: P after 100 frames of play, still held
// in the pause's first frames (no second press), P again after 150 frames
// of the pause (when, in `resumedAt`), Escape after 160 of play, or at
// frame 5000 if it never went on.
bool pauseTestKey(int frame, int key, MatchPhase phase, int playing, int pausedFor, long long nowMs,
                  long long& resumedAt) {
    if (frame > 5'000)
        return key == vkEscape;
    bool paused = phase == MatchPhase::Paused;
    if (key == vkP && phase == MatchPhase::Playing && pausedFor == 0)
        return playing >= 100;
    if (key == vkP && paused && pausedFor < 4)
        return true;
    if (key == vkP && paused && pausedFor >= 150)
        return (resumedAt = nowMs) > 0;
    return key == vkEscape && playing >= 160;
}

// P pauses every match at one keyboard, either player's P in a match of
// two: nothing moves and the legend shows; P again counts down and the
// round goes on. Held across polls, P counts once. (That the round's clock
// stands still meanwhile is the clock's own test, above.)
TEST_F(Matches, PPausesAndResumesEveryMatchAtOneKeyboard) {
    for (const char* mode : {"--match", "--computer", "--demo"}) {
        SCOPED_TRACE(mode);
        mem::reset();
        statuses.clear();
        int playing = 0;               // frames of play so far
        int pausedFor = 0;             // and of the pause
        long long resumedAt = -1;      // when P was pressed again
        long long playingAgainAt = -1; // the first frame of play after it
        std::set<std::string> heldPictures;
        screen().onFrameEnd = [&](int) {
            noteStatus();
            if (m.phase == MatchPhase::Paused && ++pausedFor > 0)
                heldPictures.insert(wholePicture());
            playing += m.phase == MatchPhase::Playing ? 1 : 0;
            if (m.phase == MatchPhase::Playing && pausedFor > 0 && playingAgainAt < 0)
                playingAgainAt = screen().nowMs;
        };
        screen().keyScript = [&](int frame, int key) {
            return pauseTestKey(frame, key, m.phase, playing, pausedFor, screen().nowMs, resumedAt);
        };
        playMatch(gameSetupOf(optionsOf({mode})), m);
        ASSERT_GT(playingAgainAt, 0) << "paused and went on";
        EXPECT_EQ(1U, heldPictures.size()) << "something moved while paused";
        EXPECT_NE(std::string::npos, heldPictures.begin()->find("P pauses \xfa Esc leaves"));
        expectStatuses({"Paused. P resumes, Escape leaves.", "Resumes in 3", "Resumes in 2",
                        "Resumes in 1", "P pauses."});
        EXPECT_NEAR(1000 * countdownSeconds, playingAgainAt - resumedAt, 100);
        EXPECT_GE(pausedFor, 150);
    }
}

// The presses of the remote pause test below, by its step and the frames
// into it: player two pauses, the host goes on, the host pauses, player two
// goes on; player two still holds Pause in the first frames of its pause.
bool guestHoldsPause(int step, bool playing, int stepFrames) {
    return (step == 0 && playing && stepFrames > 100) || (step == 1 && stepFrames < 3) ||
           (step == 3 && stepFrames == 40);
}
bool hostPressesP(int step, bool playing, int stepFrames) {
    return (step == 1 && stepFrames == 40) || (step == 2 && playing && stepFrames > 100);
}

// Player two's pause over the network holds the round for both, each told
// who paused in their own words; either player's P goes on. Held across
// polls, the remote pause counts once.
TEST_F(Matches, ARemotePlayersPauseHoldsTheRoundAndNamesThem) {
    FakeRemote guest;
    GameSetup setup = hostWith(guest);
    // What the host, player two and a watcher read, each time the host's
    // status changes, from the first pause on; of a countdown, its start.
    std::vector<std::vector<std::string>> told;
    // Player two pauses, the host goes on, the host pauses, player two goes
    // on: each step ends when the match is in the phase named here.
    const MatchPhase stepEnds[] = {MatchPhase::Paused, MatchPhase::Resuming, MatchPhase::Paused,
                                   MatchPhase::Resuming};
    int step = 0;
    int stepFrames = 0;
    int pausedFrames = 0; // the first pause, until the host's P
    screen().onFrameEnd = [&](int) {
        std::vector<std::string> now;
        for (Viewer viewer : {Viewer::PlayerOne, Viewer::PlayerTwo, Viewer::Watcher})
            now.push_back(lineSeen(m, setup, viewer, promptRow));
        bool counting = now[0].starts_with("Resumes in") && now[0] != "Resumes in 3";
        if (!counting && (told.empty() ? m.phase == MatchPhase::Paused : told.back() != now))
            told.push_back(now);
        bool ended = step < 4 && m.phase == stepEnds[step];
        pausedFrames = ended && step == 1 ? stepFrames : pausedFrames;
        step += ended ? 1 : 0;
        stepFrames = ended ? 0 : stepFrames + 1;
        guest.held.clear();
        if (guestHoldsPause(step, m.phase == MatchPhase::Playing, stepFrames))
            guest.held.insert(Action::Pause);
    };
    screen().keyScript = [&](int frame, int key) {
        if (frame > 5'000 || (step == 4 && m.phase == MatchPhase::Playing))
            return key == vkEscape;
        return key == vkP && hostPressesP(step, m.phase == MatchPhase::Playing, stepFrames);
    };
    playMatch(setup, m);
    EXPECT_EQ(4, step);
    EXPECT_GE(pausedFrames, 40) << "the guest's Pause, still held, went on";
    const std::vector<std::string> goOn = {"Resumes in 3", "Resumes in 3", "Resumes in 3"};
    const std::vector<std::string> play = {"P pauses.", "P pauses.",
                                           "Watching: your keys do nothing. Escape leaves."};
    const std::vector<std::vector<std::string>> expected = {
        {"Paused by player two. P resumes, Escape leaves.",
         "Paused by you. P resumes, Escape leaves.", "Paused by player two."},
        goOn,
        play,
        {"Paused by you. P resumes, Escape leaves.",
         "Paused by player one. P resumes, Escape leaves.", "Paused by player one."},
        goOn,
        play,
        {"Match over: 0-0. You left.", "Match over: 0-0. Player one left.",
         "Match over: 0-0. Player one left."},
    };
    EXPECT_EQ(expected, told);
}

// Past awayLimitSeconds, and only then, the host is told that Enter takes
// the round, and it does: the round goes to the one who stayed, and the
// next waits for the one away, who is named.
TEST_F(Matches, AfterTheAwayLimitEnterTakesTheRound) {
    FakeRemote guest;
    GameSetup setup = hostWith(guest);
    int playing = 0;
    long long awayAt = -1;
    long long toldAt = -1;
    long long takenAt = -1;
    screen().onFrameEnd = [&](int) {
        noteStatus();
        if (m.phase == MatchPhase::Playing && ++playing == 40) {
            guest.there = false;
            awayAt = screen().nowMs;
        }
        if (toldAt < 0 && statuses.back().find("Enter takes the round") != std::string::npos)
            toldAt = screen().nowMs;
        if (takenAt < 0 && m.phase == MatchPhase::RoundOver)
            takenAt = screen().nowMs;
    };
    screen().keyScript = [&](int frame, int key) {
        if (frame > 10'000)
            return key == vkEscape;
        if (key == vkReturn && m.phase == MatchPhase::Paused)
            return frame % 20 == 0; // the host keeps pressing Enter
        return key == vkEscape && m.phase == MatchPhase::RoundOver &&
               screen().nowMs > takenAt + 500;
    };
    playMatch(setup, m);
    ASSERT_GT(awayAt, 0);
    EXPECT_GE(toldAt - awayAt, 1000LL * awayLimitSeconds);
    EXPECT_LE(toldAt - awayAt, 1000LL * awayLimitSeconds + 1100);
    EXPECT_GE(takenAt, toldAt);
    EXPECT_LE(takenAt - toldAt, 20 * matchWaitMs + 100) << "the next Enter took it";
    expectStatuses({"Player two is away; they may join again.",
                    "Player two is away. Enter takes the round; Esc leaves.",
                    "Player two is away. Enter: next round. Escape: leave."});
    EXPECT_EQ("1-0", tally());
    EXPECT_EQ("\xfa You win this round. Match: 1-0", trimmed(mem::rowText(gameOverRow, 10, 46)));
}

// The game without a match keeps its own start: 1 ms of delay in its first
// frame, falling from there.
TEST_F(Matches, TheGameAloneStartsAtItsOwnDelay) {
    Game g;
    startGame(g, GameSetup{});
    long long before = screen().nowMs;
    ASSERT_TRUE(playFrame(g));
    EXPECT_EQ(1, screen().nowMs - before);
    EXPECT_EQ("0 ", mem::rowText(delayRow, 1, 2));
}

// The game without options has no pause: P changes nothing, frame for frame.
TEST_F(Matches, TheGameWithoutOptionsIgnoresP) {
    std::string pictures[2];
    long long clocks[2] = {};
    for (bool withP : {false, true}) {
        mem::reset();
        std::srand(7);
        if (withP)
            mem::holdKey(vkP, 20, 200);
        mem::holdKey(vkLeft, 30, 40);
        Game g;
        startGame(g, GameSetup{});
        for (int frame = 0; frame < 300 && playFrame(g); ++frame) {
        }
        pictures[withP ? 1 : 0] = wholePicture();
        clocks[withP ? 1 : 0] = screen().nowMs;
    }
    EXPECT_EQ(pictures[0], pictures[1]);
    EXPECT_EQ(clocks[0], clocks[1]);
}

} // namespace
