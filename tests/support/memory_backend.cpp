// SPDX-License-Identifier: MIT
// The in-memory implementations of the console and platform headers.
#include "memory_backend.hpp"
#include "memory_disk.hpp"

#include <cstdarg>
#include <cstdio>

#include "display/console.hpp"
#include "display/print_text.hpp"
#include "game/keys.hpp"
#include "game/platform.hpp"

namespace mem {

namespace {

Backend instance;

void writeCell(Backend& b, unsigned char code) {
    if (b.cursorX >= 0 && b.cursorX < screenWidth && b.cursorY >= 0 && b.cursorY < screenHeight)
        b.screen[b.cursorY][b.cursorX] = Cell{code, b.attr};
    ++b.writes;
    ++b.cursorX;
}

} // namespace

Backend& backend() { return instance; }

void reset() {
    instance = Backend{};
    disk() = Disk{};
}

void holdKey(int key, int fromFrame, int toFrame) {
    auto& held = instance.heldKeys;
    if (static_cast<int>(held.size()) <= toFrame)
        held.resize(toFrame + 1);
    for (int f = fromFrame; f <= toFrame; ++f)
        held[f].insert(key);
}

std::string rowText(int y, int x, int width) {
    std::string text;
    for (int i = x; i < x + width && i < screenWidth; ++i)
        text += static_cast<char>(instance.screen[y][i].code);
    return text;
}

int countCells(unsigned char code, short attr, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (instance.screen[y][x].code == code && instance.screen[y][x].attr == attr)
                ++n;
    return n;
}

} // namespace mem

using mem::instance;

void gotoxy(int x, int y) {
    instance.cursorX = x;
    instance.cursorY = y;
}

unsigned char charAt(short x, short y) {
    if (x < 0 || x >= mem::screenWidth || y < 0 || y >= mem::screenHeight)
        return ' ';
    return instance.screen[y][x].code;
}

void setColor(short color) { instance.attr = color; }

void putChar(int code) { mem::writeCell(instance, static_cast<unsigned char>(code)); }

void print(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    PrintText t = formatPrint(format, args);
    va_end(args);
    for (const char* c = t.text; *c != '\0'; ++c) {
        if (*c == '\n') {
            instance.cursorX = 0;
            ++instance.cursorY;
        } else {
            mem::writeCell(instance, static_cast<unsigned char>(*c));
        }
    }
}

bool keyPressed(int virtualKey) {
    const auto& held = instance.heldKeys;
    return instance.keyScript ? instance.keyScript(instance.frame, virtualKey)
                              : instance.frame < static_cast<int>(held.size()) &&
                                    held[instance.frame].contains(virtualKey);
}

void endFrame() {
    if (instance.onFrameEnd)
        instance.onFrameEnd(instance.frame);
    instance.nowMs += instance.frameCostMs;
    ++instance.frame;
}

void sleepMs(int ms) {
    ++instance.sleeps;
    instance.nowMs += ms;
}

long long clockSeconds() { return instance.stalledAt.value_or(instance.nowMs / 1000); }

int readChar() {
    ++instance.readChars;
    return '\n';
}
