// SPDX-License-Identifier: MIT
// The door every byte for the terminal goes through, which a stop closes.
//
// A game may write only while its process group has the terminal's
// foreground. Checking that and then writing leaves a moment between the
// two: stopped there from outside (SIGSTOP, then `bg` or `kill -CONT`), the
// game would send that write from the background, over the shell. So the
// game writes through a descriptor of its own, a duplicate of the output,
// and the SIGCONT handler, which runs before a continued process takes one
// more step, points that descriptor at /dev/null. Whatever was about to be
// written when the stop came goes nowhere. The gate opens again only after
// a foreground check that began after the last continue, so no stop can
// fall between the check that opens it and a write through it.
#pragma once

namespace term {

class OutputGate {
public:
    OutputGate() = default;
    ~OutputGate();
    OutputGate(const OutputGate&) = delete;
    OutputGate& operator=(const OutputGate&) = delete;

    // Makes the gate for `outFd` and arms the SIGCONT handler with it; once
    // only, later calls do nothing. Without a duplicate or /dev/null the
    // writes go to `outFd` itself, checked but not guarded.
    void open(int outFd);

    // Opens the gate when the game's process group has the foreground of
    // `ttyFd` and keeps it open until the next continue: true then, and a
    // write to fd() reaches the terminal unless the game is stopped and
    // continued first. False in the background.
    bool openInForeground(int ttyFd);

    // The descriptor to write to.
    int fd() const { return gateFd_ >= 0 ? gateFd_ : outFd_; }

private:
    void close();

    int outFd_ = -1;
    int gateFd_ = -1;
    int nullFd_ = -1;
    unsigned openedAt_ = 0; // the continue count when the gate was last opened
};

} // namespace term
