// SPDX-License-Identifier: MIT
// Taking the terminal, giving it back, writing to it, and job control.
#include "platform/terminal/terminal.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "platform/terminal/signals.hpp"
#include "text/printable.hpp"

namespace term {

namespace {

// Alternate screen, cursor hidden, plain attributes, cleared.
constexpr const char* enterScreen = "\x1b[?1049h\x1b[?25l\x1b[0m\x1b[H\x1b[2J";
constexpr const char* focusOn = "\x1b[?1004h";
// Kitty keyboard flags 1|2|8: disambiguate, report press, repeat and
// release, report every key as an escape code; and with 4, report alternate
// keys, whose base-layout key says where a key sits.
constexpr const char* kittyPush = "\x1b[>11u";
constexpr const char* kittyPushWithPlaces = "\x1b[>15u";
constexpr const char* kittyPop = "\x1b[<u";
// The primary device attributes query, which every terminal answers.
constexpr const char* attributesQuery = "\x1b[c";
// Asks for the kitty flags, then for the device attributes: a flags reply
// first means the protocol is there.
constexpr const char* flagsQuery = "\x1b[?u";
// Focus reports off, attributes reset, cursor shown, normal screen.
constexpr const char* leaveScreen = "\x1b[?1004l\x1b[0m\x1b[?25h\x1b[?1049l";

// How long a game that the system will not stop sleeps when no signal
// comes, before it looks at the terminal again.
constexpr int stoppedLookMs = 1000;

// Sleeps until a signal arrives, for at most `ms`.
void waitForSignal(int ms) {
    pollfd wake = {signals::wakeFd(), POLLIN, 0};
    poll(&wake, wake.fd >= 0 ? 1 : 0, ms);
    signals::drainWake();
}

} // namespace

void (*atStopPoint)(StopPoint) = nullptr;

Terminal::Terminal(int inFd, int outFd, bool keyPlaces, InputWaits& input)
    : inFd_(inFd), outFd_(outFd), kittyPush_(keyPlaces ? kittyPushWithPlaces : kittyPush),
      input_(input) {}

bool Terminal::take() {
    gate_.open(outFd_);
    modes_.save(inFd_);
    if (modes_.saved() && !modes_.enterRaw())
        return false;
    enter(false);
    queryKeyboard();
    if (kitty_) {
        send(kittyPush_);
        pushed_ = true;
        input_.reportReleases();
        armCrashRestore();
    }
    return true;
}

void Terminal::finish(const std::string& picture) {
    if (!active_)
        return;
    leave(true);
    // The game is over; a terminal that is gone by now loses only the picture.
    writeOut(picture, true);
    nonBlocking_.restore();
}

// The terminal as found and the output descriptor's flags as found.
void Terminal::giveBack(bool waitForTerminal) {
    leave(waitForTerminal);
    nonBlocking_.restore();
}

void Terminal::enter(bool pushKitty) {
    if (modes_.saved())
        modes_.enterRaw();
    nonBlocking_.set(outFd_);
    active_ = true;
    onScreen_ = true;
    input_.listenFor(Wait::Keys);
    std::string bytes = enterScreen;
    if (pushKitty)
        bytes += kittyPush_;
    bytes += focusOn;
    pushed_ = pushKitty;
    armCrashRestore();
    send(bytes);
}

// The crash handler can only write bytes prepared beforehand.
void Terminal::armCrashRestore() {
    std::string bytes = pushed_ ? kittyPop : "";
    bytes += leaveScreen;
    signals::CrashRestore restore;
    restore.outFd = outFd_;
    restore.bytes = bytes.data();
    restore.length = static_cast<int>(bytes.size());
    restore.ttyFd = modes_.saved() ? inFd_ : -1;
    restore.modes = modes_.original();
    restore.flagsFd = nonBlocking_.fd();
    restore.flags = nonBlocking_.original();
    signals::armCrashRestore(restore);
}

// The terminal's modes and screen as they were found. Waiting for the
// terminal to take the bytes is for the ways out that can afford it; the
// others send what it takes at once. A game that is no longer in the
// foreground leaves the terminal to the shell, which has put its own modes
// back. Each step is marked done before it is taken, so that a signal that
// ends the game during a wait here does not take it twice.
void Terminal::leave(bool waitForTerminal) {
    if (!active_)
        return;
    signals::disarmCrashRestore();
    if (inForeground(inFd_)) {
        input_.listenFor(Wait::Drain);
        popKeyboardFlags(waitForTerminal);
        if (onScreen_) {
            onScreen_ = false;
            writeOut(leaveScreen, waitForTerminal); // best effort: the terminal may be gone
        }
        modes_.restore();
    }
    active_ = false;
    pushed_ = false;
    onScreen_ = false;
}

// The flags come off while the alternate screen is still on, since each
// screen has a stack of its own. A query after them marks the end of what
// the terminal sent under the protocol: the releases of keys still held
// and the answer itself come before the shell has the keyboard, and are
// read here. A terminal that answered the start-up query in time answers
// this one in time too.
void Terminal::popKeyboardFlags(bool waitForTerminal) {
    if (!pushed_)
        return;
    pushed_ = false;
    input_.expectAnswer();
    if (writeOut(std::string(kittyPop) + attributesQuery, waitForTerminal) == Written::Whole)
        input_.awaitAnswer(Wait::Drain);
}

void Terminal::queryKeyboard() {
    input_.expectAnswer();
    send(std::string(flagsQuery) + attributesQuery);
    kitty_ = input_.awaitAnswer(Wait::Reply);
}

// A game stopped from outside and continued in the background (`bg`,
// `kill %1`) may finish the frame it was stopped in before it sees the
// signal; the terminal is the shell's then, and the repaint on `fg` sends
// everything anyway, so what is left is dropped.
void Terminal::send(const std::string& bytes) {
    Written written = writeOut(bytes, true);
    if (written == Written::Failed)
        writeFailed();
    if (written == Written::Whole)
        counters_.writes += 1;
}

// All of `bytes`, what was sent before the game lost the foreground, or
// Failed with errno set. Every write goes through the gate, opened just
// before it, so a stop at any moment in here sends nothing more. The
// descriptor does not block: a terminal that takes nothing now is waited
// for, while keys and signals are still acted on, or given up on at once.
Terminal::Written Terminal::writeOut(std::string_view bytes, bool waitForTerminal) {
    while (!bytes.empty()) {
        if (!gate_.openInForeground(inFd_))
            return Written::Left;
        if (atStopPoint != nullptr)
            atStopPoint(StopPoint::BeforeWrite);
        ssize_t n = write(gate_.fd(), bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            endIfAsked();
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitForTerminal) {
            input_.awaitWritable(outFd_, active_);
        } else {
            if (n == 0)
                errno = EIO;
            return Written::Failed;
        }
    }
    return Written::Whole;
}

// A terminal that cannot be written to cannot show the game: end it.
void Terminal::writeFailed() {
    int error = errno;
    giveBack(false);
    std::fprintf(stderr, "blockduel: cannot write to the terminal: %s\n",
                 printable(std::strerror(error)).c_str());
    std::exit(1);
}

// The farewell goes out while the output still does not block, so that a
// terminal that takes nothing cannot hold the end; and only from a game
// that had the terminal, in its modes, when the end came.
void Terminal::die(int signo) {
    bool had = active_;
    leave(false);
    if (had && !farewell_.empty())
        writeOut(farewell_, false);
    nonBlocking_.restore();
    signals::dieBy(signo);
}

void Terminal::endIfAsked() {
    if (int signo = signals::takeEnding())
        die(signo);
}

bool Terminal::actOnJobControl() {
    bool stop = signals::take(SIGTSTP);
    stop = input_.takeSuspend() || stop;
    if (stop)
        suspend();
    bool continuedHere = signals::take(SIGCONT) && continued();
    return stop || continuedHere;
}

// Ctrl-Z or SIGTSTP: give the terminal back, stop, and take it again once
// continued in the foreground.
void Terminal::suspend() {
    bool wasPushed = pushed_;
    giveBack(true);
    stopUntilForeground();
    enter(wasPushed);
}

// Stops, and returns once continued with the terminal ours again. A game
// continued in the background (`bg`, or `kill -CONT` while the shell has
// the terminal) leaves it to the shell and stops again until `fg`. A signal
// that ends the game, sent while it was stopped (`kill %1`), ends it here,
// before it would stop again: the game may have been stopped from outside
// just after its last look at those signals, and continued by the SIGCONT
// that follows `kill %1`'s signal. The stop answers every Ctrl-Z and
// SIGTSTP that came before it.
void Terminal::stopUntilForeground() {
    for (;;) {
        endIfAsked();
        signals::stopSelf();
        bool stopped = signals::take(SIGCONT);
        endIfAsked();
        if (inForeground(inFd_))
            break;
        // A game whose process group the system will not stop (the shell is
        // gone) waits for a signal instead of spinning.
        if (!stopped)
            waitForSignal(stoppedLookMs);
    }
    signals::take(SIGTSTP);
    signals::take(SIGCONT);
    input_.takeSuspend();
}

// Continued after a stop that was not ours (SIGSTOP): the terminal is still
// in the game's modes, but the shell may have reset them and written over
// the screen. In the background, the terminal is the shell's until `fg`.
// False when the game does not hold the terminal.
bool Terminal::continued() {
    if (!active_)
        return false;
    if (!inForeground(inFd_))
        stopUntilForeground();
    if (modes_.saved())
        modes_.enterRaw();
    nonBlocking_.set(outFd_);
    send(std::string(enterScreen) + focusOn);
    return true;
}

} // namespace term
