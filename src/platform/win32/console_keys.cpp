// SPDX-License-Identifier: MIT
// Key events from the console's input records.
#include "platform/win32/console_keys.hpp"

#include <windows.h>

#include <algorithm>
#include <iterator>

namespace {

constexpr int keyCount = 256;
constexpr int maxRecords = 64;

// Which keys went down and have not come up since, to tell a repeat from
// a press and to drop the release of a key pressed before the game.
bool held[keyCount] = {};

} // namespace

void forgetHeldKeys() { std::fill(std::begin(held), std::end(held), false); }

namespace {

bool keyEventOf(const INPUT_RECORD& record, KeyEvent& event) {
    if (record.EventType == FOCUS_EVENT) {
        if (record.Event.FocusEvent.bSetFocus)
            return false;
        forgetHeldKeys();
        event = {KeyEvent::ReleaseAll, 0};
        return true;
    }
    if (record.EventType != KEY_EVENT)
        return false;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    int code = key.wVirtualKeyCode;
    if (code <= 0 || code >= keyCount)
        return false;
    bool& down = held[code];
    if (!key.bKeyDown) {
        if (!down)
            return false;
        down = false;
        event = {KeyEvent::Release, code};
        return true;
    }
    event = {down ? KeyEvent::Repeat : KeyEvent::Press, code};
    down = true;
    return true;
}

} // namespace

int readConsoleKeys(KeyEvent* events, int room) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD waiting = 0;
    if (room <= 0 || !GetNumberOfConsoleInputEvents(input, &waiting) || waiting == 0)
        return 0;
    INPUT_RECORD records[maxRecords];
    DWORD want = std::min<DWORD>(waiting, static_cast<DWORD>(std::min(room, maxRecords)));
    DWORD got = 0;
    if (!ReadConsoleInputW(input, records, want, &got))
        return 0;
    int count = 0;
    for (DWORD i = 0; i < got; ++i)
        if (keyEventOf(records[i], events[count]))
            ++count;
    return count;
}
