// SPDX-License-Identifier: MIT
// The control sequences the renderer sends: colours (SGR) and cursor moves,
// each the shortest of the forms it knows. Built without the heap.
#pragma once

#include <string>
#include <string_view>

namespace term::escapes {

// A short control sequence.
class Sequence {
public:
    void add(char c) {
        if (size_ < capacity) // the moves and colours made here need far less
            bytes_[size_++] = c;
    }
    void add(std::string_view text);
    void addNumber(int n);
    void add(const Sequence& other) { add(other.view()); }
    int size() const { return size_; }
    std::string_view view() const { return {bytes_, static_cast<std::size_t>(size_)}; }

private:
    static constexpr int capacity = 48;
    // Only the first size_ bytes are ever read, so the rest are left unset:
    // a render makes many of these, and zeroing them makes it 40 % slower.
    // cppcheck-suppress uninitMemberVarPrivate
    char bytes_[capacity];
    int size_ = 0;
};

// The ANSI colour number 0..7 of console colour bits 0..2: the console
// counts 1 blue, 2 green, 4 red, the terminal 1 red, 2 green, 4 blue.
constexpr int ansiColor(int consoleColor) {
    return ((consoleColor & 1) << 2) | (consoleColor & 2) | ((consoleColor & 4) >> 2);
}

// The SGR parameter of an attribute's foreground (39 for the default grey,
// 30..37, 90..97) and background (49 for the default black, 40..47, 100..107).
int foregroundParameter(int attr);
int backgroundParameter(int attr);

// The shortest SGR that takes the terminal from attribute `from` (-1: not
// known) to `to`; attributes 0..255, textColor being the terminal's default
// colours.
// Empty when they are the same.
Sequence colourChange(int from, int to);

// The shortest sequence known here that moves the cursor from (fromX, fromY)
// to (toX, toY), all 0-based; fromX or fromY below 0 when not known, which
// leaves only the absolute move. Relative moves never leave the rows and
// columns between the two places, so they cannot scroll.
Sequence cursorMove(int fromX, int fromY, int toX, int toY);

} // namespace term::escapes
