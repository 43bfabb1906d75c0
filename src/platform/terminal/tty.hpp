// SPDX-License-Identifier: MIT
// Plain terminal plumbing: modes, size, writing everything, the clock.
#pragma once

#include <cstddef>
#include <termios.h>

namespace term {

// The terminal modes found at start and the raw modes the game plays in:
// no echo, no line editing, no signals from keys (Ctrl-C and Ctrl-Z arrive
// as input and the loop handles them), reads that never block.
class TtyModes {
public:
    // Saves the modes of `fd`; false when it is not a terminal.
    bool save(int fd);
    bool saved() const { return saved_; }
    const termios& original() const { return original_; }
    // Raw modes on; false when they cannot be set.
    bool enterRaw() const;
    // The modes as they were found. Input not read yet is discarded, so
    // what was typed during the game does not reach the shell.
    void restore() const;

private:
    int fd_ = -1;
    bool saved_ = false;
    termios original_ = {};
};

// Columns and rows of the terminal on `fd`; false when unknown (not a
// terminal, or a terminal that reports no size).
bool windowSize(int fd, int& columns, int& rows);

// Writes all of `data`, retrying short writes, interruptions and a full
// non-blocking descriptor. False with errno set on any other error.
bool writeAll(int fd, const char* data, std::size_t length);

// Milliseconds of the monotonic clock.
long long monotonicMs();

} // namespace term
