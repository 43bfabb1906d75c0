// SPDX-License-Identifier: MIT
// Keyboard, delay, clock and the final wait on Windows.
#include <windows.h>

#include <cstdio>

#include "game/platform.hpp"
#include "platform/win32/console_keys.hpp"
#include "platform/win32/console_session.hpp"
#include "platform/win32/serving_wait.hpp"

// The high bit means held now, the low bit pressed since the last query;
// either counts. The key is asked for by the virtual-key code it has in the
// console's layout now.
bool keyPressed(int virtualKey) {
    int code = layoutKeyCode(virtualKey);
    return code != 0 && GetAsyncKeyState(code) != 0;
}

// A game over the network serves its connections meanwhile.
void sleepMs(int ms) {
    if (served() != nullptr)
        serveFor(ms);
    else
        Sleep(static_cast<DWORD>(ms));
}

// The tick count runs from boot and is never set back with the calendar.
long long clockSeconds() { return static_cast<long long>(GetTickCount64() / 1000); }

// Every write has reached the console as it was made. A game over the
// network serves its connections once more, also when its frames have no
// delay left.
void endFrame() { serveFor(0); }

// What was typed during play is not an answer to the prompt: the key-state
// queries leave every key press in the console's input, where the line
// input would echo the letters after the prompt and take an Enter pressed
// in play as the answer. So that input goes before the wait; then the
// console's line input hands the character over once Enter is pressed.
int readChar() {
    discardTypedInput();
    return std::getchar();
}
