// SPDX-License-Identifier: MIT
#include "history/replay.hpp"

#include <utility>

#include "display/layout.hpp"
#include "game/keeping.hpp"
#include "game/keys.hpp"
#include "game/match.hpp"
#include "game/platform.hpp"
#include "game/recording.hpp"
#include "history/heard_replay.hpp"
#include "history/replay_keys.hpp"

namespace history {

namespace {

struct Replay {
    Replay(Recording& played, std::string name, const Match& going)
        : recording(played), title(std::move(name)), match(&going) {}
    Recording& recording;
    std::string title;
    TapePlayer* player = nullptr;
    const Match* match = nullptr;
    ReplayKeys keys;
    bool stepping = false; // one frame, then paused again
    int skipFrom = 0;      // skipping the rest of this round; 0 when not
    std::string shown;
};

void showLine(Replay& r) {
    int round = r.match != nullptr ? r.match->round : 1;
    showReplayLine(replayLine(r.title, round, r.keys.quarters, r.keys.paused || r.stepping),
                   r.shown);
}

void readControls(Replay& r) {
    ReplayKeys::Asked asked = r.keys.read();
    if (asked.leave)
        r.player->stop();
    if (asked.next && r.match != nullptr)
        r.skipFrom = r.match->round;
}

// Until Space again, Right for one frame, or Escape.
void holdWhilePaused(Replay& r) {
    r.stepping = false;
    while (r.keys.paused && !r.player->ended()) {
        showLine(r);
        sleepMs(pausedWaitMs);
        endFrame();
        readControls(r);
        if (r.keys.step()) {
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
        r.keys.paused = true;
    holdWhilePaused(r);
    if (r.skipFrom != 0 && r.match != nullptr && r.match->round != r.skipFrom)
        r.skipFrom = 0;
    showLine(r);
    if (r.skipFrom == 0)
        sleepMs(ms * normalQuarters / r.keys.quarters);
}

} // namespace

void playRecording(Recording& recording, const std::string& title) {
    if (recording.header.mode == record::PlayMode::Guest) {
        playHeard(recording.heard, title);
        return;
    }
    TapePlayer player(recording.tape);
    GameSetup setup = replayedSetup(recording.header);
    seedGenerators(setup);
    SteppedMatch match(setup, platformOutside(), &player);
    Replay r{recording, title, match.match()};
    r.player = &player;
    driveMatch(match, waitInReplay, &r);
}

} // namespace history
