// SPDX-License-Identifier: MIT
// The terminal itself, as one game holds it: its modes, the alternate
// screen with the cursor hidden and focus reports on, the kitty keyboard
// flags, job control, and giving it back as it was found on every way out,
// a crash too. Everything the game sends goes through here: a terminal that
// does not read is waited for while keys and signals are still acted on,
// and one that cannot be written to ends the game. It works on any pair of
// descriptors; on ones that are not a terminal it leaves the modes alone.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/terminal/input_waits.hpp"
#include "platform/terminal/output_gate.hpp"
#include "platform/terminal/tty.hpp"

namespace term {

// The moments at which a stop from outside matters most: just before each
// write() to the terminal, once the output gate is open, the last moment
// at which a stop could let a write through; and between the loop's look
// at the signals that end the game and its look at job control, where a
// stop followed by `kill %1` must still end it. The game has no hook; a
// test build stops itself there on purpose.
enum class StopPoint { BeforeWrite, BeforeJobControl };
extern void (*atStopPoint)(StopPoint);

// Figures for tests and measurements.
struct WriteCounters {
    long long writes = 0; // write() rounds that sent what the game had to send
};

class Terminal {
public:
    // The waits of the keyboard query, of the flags' end and of writes
    // that the terminal does not take are `input`'s.
    // `keyPlaces`: ask a kitty terminal where keys sit, too.
    Terminal(int inFd, int outFd, bool keyPlaces, InputWaits& input);

    // Raw modes, alternate screen, cleared, cursor hidden, the keyboard
    // query, kitty flags pushed where the terminal has them, focus reports
    // on. False when the raw modes cannot be set.
    bool take();

    // The normal end: the terminal given back, then `picture` on the
    // normal screen.
    void finish(const std::string& picture);

    // Gives the terminal back as it was found, waiting for a terminal that
    // does not read or not; does nothing when it already is.
    void giveBack(bool waitForTerminal);

    // Sends `bytes` while the game has the terminal in the foreground; ends
    // the game when they cannot be written.
    void send(const std::string& bytes);

    // Ends the game when a signal that ends it has arrived.
    void endIfAsked();
    // The terminal given back, then the farewell, then the end by `signo`'s
    // default action.
    [[noreturn]] void die(int signo);
    // What die() says on the terminal once it is given back; empty for nothing.
    void setFarewell(std::string text) { farewell_ = std::move(text); }

    // Ctrl-Z, SIGTSTP and SIGCONT. True when the terminal was given back
    // and taken again: the shell had the keys' releases and may have
    // written over the screen.
    bool actOnJobControl();

    // Columns and rows, as windowSize() has them.
    bool size(int& columns, int& rows) const { return windowSize(outFd_, columns, rows); }
    bool active() const { return active_; }
    bool kitty() const { return kitty_; }
    const WriteCounters& counters() const { return counters_; }

private:
    void enter(bool pushKitty);
    void leave(bool waitForTerminal);
    void queryKeyboard();
    void popKeyboardFlags(bool waitForTerminal);
    void armCrashRestore();
    // How a write went: all of it to the terminal, the rest left unsent
    // because the game no longer has the foreground, or failed (errno).
    enum class Written { Whole, Left, Failed };
    Written writeOut(std::string_view bytes, bool waitForTerminal);
    [[noreturn]] void writeFailed();
    void suspend();
    void stopUntilForeground();
    bool continued();

    int inFd_;
    int outFd_;
    const char* kittyPush_; // the kitty flags this game pushes
    InputWaits& input_;
    TtyModes modes_;
    NonBlockingOutput nonBlocking_;
    OutputGate gate_;
    WriteCounters counters_;
    bool active_ = false;   // the terminal is in the game's modes
    bool onScreen_ = false; // the alternate screen is on, and the rest of the screen modes
    bool kitty_ = false;    // the terminal speaks the kitty keyboard protocol
    bool pushed_ = false;   // kitty flags pushed and not yet popped
    std::string farewell_;
};

} // namespace term
