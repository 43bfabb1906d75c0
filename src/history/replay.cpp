// SPDX-License-Identifier: MIT
#include "history/replay.hpp"

#include <utility>

#include "display/layout.hpp"
#include "game/keeping.hpp"
#include "game/keys.hpp"
#include "game/match.hpp"
#include "game/platform.hpp"
#include "game/recording.hpp"
#include "input/key_table.hpp"
#include "netplay/local.hpp"

namespace history {

namespace {

// The line's place: right of the frame rate, where nothing else of a match
// on this console is drawn.
constexpr int lineRow = rateRow;
// While paused, the console is brought up to date this often.
constexpr int pausedWaitMs = 50;

// Keys of this console, each counted on its press.
struct Press {
    int key;
    bool held = false;
    bool operator()() {
        bool down = keyPressed(key);
        bool press = down && !held;
        held = down;
        return press;
    }
};

struct Replay {
    Replay(Recording& played, std::string name, const Match& going)
        : recording(played), title(std::move(name)), match(&going) {}
    Recording& recording;
    std::string title;
    TapePlayer* player = nullptr;
    const Match* match = nullptr;
    int quarters = normalQuarters;
    bool paused = false;
    bool stepping = false; // one frame, then paused again
    int skipFrom = 0;      // skipping the rest of this round; 0 when not
    std::string shown;
    Press pause{vkSpace};
    Press step{vkRight};
    Press faster{keyTyping('=')};
    Press slower{keyTyping('-')};
    Press next{vkReturn};
    Press leave{vkEscape};
};

void showLine(Replay& r) {
    int round = r.match != nullptr ? r.match->round : 1;
    std::string line = std::string(lineColumn, ' ') +
                       replayLine(r.title, round, r.quarters, r.paused || r.stepping);
    if (line == r.shown)
        return;
    r.shown = line;
    localScreen().setNotices({{lineRow, line}});
}

void readControls(Replay& r) {
    if (r.leave())
        r.player->stop();
    if (r.pause())
        r.paused = !r.paused;
    if (r.faster() && r.quarters < fastestQuarters)
        r.quarters *= 2;
    if (r.slower() && r.quarters > slowestQuarters)
        r.quarters /= 2;
    if (r.next() && r.match != nullptr)
        r.skipFrom = r.match->round;
}

// Until Space again, Right for one frame, or Escape.
void holdWhilePaused(Replay& r) {
    r.stepping = false;
    while (r.paused && !r.player->ended()) {
        showLine(r);
        sleepMs(pausedWaitMs);
        endFrame();
        readControls(r);
        if (r.step()) {
            r.stepping = true;
            return;
        }
    }
}

// Every wait of the game's in the playback: the controls, then the wait at
// the chosen speed, or none while the rest of a round is skipped.
void waitInReplay(void* context, int ms) {
    Replay& r = *static_cast<Replay*>(context);
    readControls(r);
    if (r.stepping)
        r.paused = true;
    holdWhilePaused(r);
    if (r.skipFrom != 0 && r.match != nullptr && r.match->round != r.skipFrom)
        r.skipFrom = 0;
    showLine(r);
    if (r.skipFrom == 0)
        sleepMs(ms * normalQuarters / r.quarters);
}

} // namespace

void playRecording(Recording& recording, const std::string& title) {
    Match m{};
    Replay r{recording, title, m};
    TapePlayer player(recording.tape, waitInReplay, &r);
    r.player = &player;
    GameSetup setup = replayedSetup(recording.header);
    useReadTape(&player);
    seedGenerators(setup);
    playMatch(setup, m);
    useReadTape(nullptr);
}

} // namespace history
