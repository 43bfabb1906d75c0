// SPDX-License-Identifier: MIT
// Plain terminal plumbing: modes, size, writing everything, the clock.
#pragma once

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
    // The modes as they were found, at once: output still queued for a
    // terminal that does not read is not waited for. Input not read yet is
    // discarded, so what was typed during the game does not reach the shell.
    void restore() const;

private:
    int fd_ = -1;
    bool saved_ = false;
    termios original_ = {};
};

// Non-blocking writes to a descriptor while the game runs, so that a
// terminal that stops reading cannot hold the game inside write(). The
// flag belongs to the file description, which the shell and the game's
// other standard streams share, so the flags found are put back on every
// way out.
class NonBlockingOutput {
public:
    // Saves the flags found (once, until restored) and adds O_NONBLOCK.
    void set(int fd);
    // The flags as found; nothing when they are.
    void restore();
    int fd() const { return set_ ? fd_ : -1; }
    int original() const { return original_; }

private:
    int fd_ = -1;
    int original_ = 0;
    bool set_ = false;
};

// The usual size of a terminal, taken for one that reports none.
constexpr int usualColumns = 80;
constexpr int usualRows = 24;

// Columns and rows of the terminal on `fd`; false when unknown (not a
// terminal, or a terminal that reports no size).
bool windowSize(int fd, int& columns, int& rows);

// Whether the process may use the terminal on `fd` now: its process group
// is the terminal's foreground group, or `fd` is not its controlling
// terminal (a pty of a test, a pipe), which it then has to itself.
bool inForeground(int fd);

// Milliseconds of the monotonic clock.
long long monotonicMs();

} // namespace term
