// SPDX-License-Identifier: MIT
// Key events from the console's input records.
#include "platform/win32/console_keys.hpp"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "game/keys.hpp"
#include "input/key_table.hpp"

namespace {

constexpr int keyCount = 256;
constexpr int maxRecords = 64;

// Which keys went down and have not come up since, to tell a repeat from
// a press and to drop the release of a key pressed before the game.
bool held[keyCount] = {};

} // namespace

void forgetHeldKeys() { std::fill(std::begin(held), std::end(held), false); }

namespace {

// The game's own code of a key: its virtual-key code, but for the keys
// whose code the layout does not tie to what they type (punctuation): the
// key that types what this one types without Shift.
int ownKey(int code) {
    bool punctuation = (code >= 0xBA && code <= 0xC0) || (code >= 0xDB && code <= 0xDF);
    if (!punctuation)
        return code;
    UINT typed = MapVirtualKeyW(static_cast<UINT>(code), MAPVK_VK_TO_CHAR) & 0x7FFFU;
    return typed < 0x80 ? keyTyping(static_cast<int>(typed)) : 0;
}

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
    // Where the key sits, by its scan code: the key there on a US keyboard.
    int position = keyAtScanCode(key.wVirtualScanCode);
    bool& down = held[code];
    if (!key.bKeyDown) {
        if (!down)
            return false;
        down = false;
        event = {KeyEvent::Release, ownKey(code), position};
        return true;
    }
    event = {down ? KeyEvent::Repeat : KeyEvent::Press, ownKey(code), position};
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

int layoutKeyCode(int key) {
    if (key >= positionBase) {
        int own = key - positionBase;
        if (own == vkUp || own == vkLeft || own == vkRight || own == vkDown)
            return own;
        int scan = scanCodeOf(own);
        return scan != 0
                   ? static_cast<int>(MapVirtualKeyW(static_cast<UINT>(scan), MAPVK_VSC_TO_VK))
                   : 0;
    }
    const BindableKey* entry = bindableKey(key);
    bool punctuation = entry != nullptr && entry->character != 0 &&
                       !(entry->character >= 'a' && entry->character <= 'z') &&
                       !(entry->character >= '0' && entry->character <= '9');
    if (!punctuation)
        return key;
    SHORT scanned = VkKeyScanW(static_cast<WCHAR>(entry->character));
    bool plain = scanned != -1 && (scanned >> 8) == 0; // typed without Shift, Ctrl or Alt
    return plain ? scanned & 0xFF : 0;
}
