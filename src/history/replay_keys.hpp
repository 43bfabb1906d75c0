// SPDX-License-Identifier: MIT
// The keys of a replay, read at this console between the pictures: Space
// pauses and resumes, + and - change the speed (a quarter to eight times),
// Right steps while paused, Enter asks for the next round, Escape leaves.
// Each key counts on its press.
#pragma once

#include <string>

#include "game/keys.hpp"
#include "history/replay_line.hpp"
#include "input/key_table.hpp"

namespace history {

// While paused, the console is brought up to date this often.
constexpr int pausedWaitMs = 50;
// What the keys below do, on the row where a match shows its own keys (a
// replay shows none of those, and a network guest's pictures come without
// them).
extern const char* const replayKeyLine;
// The replay's line, right of the frame rate, where nothing else of a match
// on this console is drawn, and the key line below the picture, when the
// line differs from `shown` (which it becomes).
void showReplayLine(const std::string& line, std::string& shown);
// Paints a network guest's picture on this console, its keys left out.
void paintHeardPicture(const net::Picture& picture);

class ReplayKeys {
public:
    // What was asked besides the pause and the speed, which the keys change
    // here.
    struct Asked {
        bool leave = false;
        bool next = false;
    };
    Asked read();
    // Right pressed since the last look.
    bool step() { return step_(); }

    int quarters = normalQuarters;
    bool paused = false;

private:
    struct Press {
        int key;
        bool held = false;
        bool operator()();
    };
    Press pause_{vkSpace};
    Press step_{vkRight};
    Press faster_{keyTyping('=')};
    Press slower_{keyTyping('-')};
    Press next_{vkReturn};
    Press leave_{vkEscape};
};

} // namespace history
