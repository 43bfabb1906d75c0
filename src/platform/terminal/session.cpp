// SPDX-License-Identifier: MIT
// Taking the terminal, giving it back, and sending the picture.
#include "platform/terminal/session.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "platform/terminal/signals.hpp"

namespace term {

namespace {

// Alternate screen, cursor hidden, plain attributes, cleared.
constexpr const char* enterScreen = "\x1b[?1049h\x1b[?25l\x1b[0m\x1b[H\x1b[2J";
constexpr const char* focusOn = "\x1b[?1004h";
// Kitty keyboard flags 1|2|8: disambiguate, report press, repeat and
// release, report every key as an escape code.
constexpr const char* kittyPush = "\x1b[>11u";
constexpr const char* kittyPop = "\x1b[<u";
// Asks for the kitty flags, then for the primary device attributes, which
// every terminal answers: a flags reply first means the protocol is there.
constexpr const char* keyboardQuery = "\x1b[?u\x1b[c";
// The flags off, then the device attributes query, whose answer marks the
// end of what the terminal sent under the protocol.
constexpr const char* kittyPopThenQuery = "\x1b[<u\x1b[c";
// Focus reports off, attributes reset, cursor shown, normal screen.
constexpr const char* leaveScreen = "\x1b[?1004l\x1b[0m\x1b[?25h\x1b[?1049l";

TerminalSession* current = nullptr;

// Sleeps until a signal arrives, for at most `ms`.
void waitForSignal(int ms) {
    pollfd wake = {signals::wakeFd(), POLLIN, 0};
    poll(&wake, wake.fd >= 0 ? 1 : 0, ms);
    signals::drainWake();
}

} // namespace

void setCurrentSession(TerminalSession* session) { current = session; }
TerminalSession* currentSession() { return current; }

TerminalSession::TerminalSession(const SessionOptions& options)
    : options_(options), renderer_(options.render) {}

bool TerminalSession::start() {
    modes_.save(options_.inFd);
    int columns = options_.fallbackColumns;
    int rows = options_.fallbackRows;
    windowSize(options_.outFd, columns, rows);
    renderer_.resize(columns, rows);
    if (modes_.saved() && !modes_.enterRaw())
        return false;
    enterTerminal(false);
    queryKeyboard();
    if (kitty_) {
        send(kittyPush);
        pushed_ = true;
        keys_.setReportsReleases(true);
        armCrashRestore();
    }
    return true;
}

void TerminalSession::finish() {
    if (!active_)
        return;
    flush();
    leaveTerminal(true);
    std::string picture;
    renderer_.renderFinal(screen_, picture);
    // The game is over; a terminal that is gone by now loses only the picture.
    writeOut(picture, true);
    nonBlocking_.restore();
}

void TerminalSession::restoreTerminal() { giveBack(false); }

void TerminalSession::enterTerminal(bool pushKitty) {
    if (modes_.saved())
        modes_.enterRaw();
    nonBlocking_.set(options_.outFd);
    active_ = true;
    onScreen_ = true;
    listening_ = Wait::Keys;
    std::string bytes = enterScreen;
    if (pushKitty)
        bytes += kittyPush;
    bytes += focusOn;
    pushed_ = pushKitty;
    armCrashRestore();
    send(bytes);
    renderer_.invalidate();
}

// The crash handler can only write bytes prepared beforehand.
void TerminalSession::armCrashRestore() {
    std::string bytes = pushed_ ? kittyPop : "";
    bytes += leaveScreen;
    signals::CrashRestore restore;
    restore.outFd = options_.outFd;
    restore.bytes = bytes.data();
    restore.length = static_cast<int>(bytes.size());
    restore.ttyFd = modes_.saved() ? options_.inFd : -1;
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
void TerminalSession::leaveTerminal(bool waitForTerminal) {
    if (!active_)
        return;
    signals::disarmCrashRestore();
    if (inForeground(options_.inFd)) {
        listening_ = Wait::Drain;
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
void TerminalSession::popKeyboardFlags(bool waitForTerminal) {
    if (!pushed_)
        return;
    pushed_ = false;
    sawAttributes_ = false;
    if (writeOut(kittyPopThenQuery, waitForTerminal))
        waitUntil(monotonicMs() + options_.queryTimeoutMs, Wait::Drain);
}

// The terminal as found and the output descriptor's flags as found.
void TerminalSession::giveBack(bool waitForTerminal) {
    leaveTerminal(waitForTerminal);
    nonBlocking_.restore();
}

void TerminalSession::queryKeyboard() {
    sawFlags_ = false;
    sawAttributes_ = false;
    send(keyboardQuery);
    waitUntil(monotonicMs() + options_.queryTimeoutMs, Wait::Reply);
    kitty_ = sawFlags_;
}

void TerminalSession::flush() {
    if (!active_)
        return;
    out_.clear();
    renderer_.render(notices_.empty() ? screen_ : withNotices(screen_, notices_), out_);
    if (!out_.empty())
        send(out_);
}

// A game stopped from outside and continued in the background (`bg`,
// `kill %1`) may finish the frame it was stopped in before it sees the
// signal; the terminal is the shell's then, and the repaint on `fg` sends
// everything anyway. The check is made just before the write, so that a
// stop during the frame's rendering cannot slip between the two.
void TerminalSession::send(const std::string& bytes) {
    if (!inForeground(options_.inFd))
        return;
    if (!writeOut(bytes, true))
        writeFailed();
    counters_.writes += 1;
    counters_.bytes += static_cast<long long>(bytes.size());
}

// All of `bytes`, or false with errno set. The descriptor does not block:
// a terminal that takes nothing now is waited for, while keys and signals
// are still acted on, or given up on at once.
bool TerminalSession::writeOut(std::string_view bytes, bool waitForTerminal) {
    while (!bytes.empty()) {
        ssize_t n = write(options_.outFd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            endIfAsked();
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitForTerminal) {
            waitWritable();
        } else {
            if (n == 0)
                errno = EIO;
            return false;
        }
    }
    return true;
}

// A terminal that cannot be written to cannot show the game: end it.
void TerminalSession::writeFailed() {
    int error = errno;
    giveBack(false);
    std::fprintf(stderr, "blockduel: cannot write to the terminal: %s\n", std::strerror(error));
    std::exit(1);
}

void TerminalSession::die(int signo) {
    giveBack(false);
    signals::dieBy(signo);
}

void TerminalSession::endIfAsked() {
    if (int signo = signals::takeEnding())
        die(signo);
}

// Ctrl-Z or SIGTSTP: give the terminal back, stop, and take it again once
// continued in the foreground, with the keys released (their releases went
// to the shell) and everything repainted.
void TerminalSession::suspend() {
    bool wasPushed = pushed_;
    giveBack(true);
    stopUntilForeground();
    enterTerminal(wasPushed);
    keys_.releaseAll();
    windowChanged();
}

// Stops, and returns once continued with the terminal ours again. A game
// continued in the background (`bg`, or `kill -CONT` while the shell has
// the terminal) leaves it to the shell and stops again until `fg`. A signal
// that ends the game, sent while it was stopped (`kill %1`), ends it here.
void TerminalSession::stopUntilForeground() {
    for (;;) {
        signals::stopSelf();
        bool stopped = signals::take(SIGCONT);
        endIfAsked();
        if (inForeground(options_.inFd))
            break;
        // A game whose process group the system will not stop (the shell is
        // gone) waits for a signal instead of spinning.
        if (!stopped)
            waitForSignal(1000);
    }
    signals::take(SIGTSTP);
    signals::take(SIGCONT);
    suspendWanted_ = false;
}

// Continued after a stop that was not ours (SIGSTOP): the terminal is still
// in the game's modes, but the shell may have reset them and written over
// the screen. In the background, the terminal is the shell's until `fg`.
void TerminalSession::continued() {
    if (!active_)
        return;
    if (!inForeground(options_.inFd))
        stopUntilForeground();
    if (modes_.saved())
        modes_.enterRaw();
    nonBlocking_.set(options_.outFd);
    send(std::string(enterScreen) + focusOn);
    keys_.releaseAll();
    windowChanged();
}

void TerminalSession::windowChanged() {
    int columns = 0;
    int rows = 0;
    if (windowSize(options_.outFd, columns, rows))
        resize(columns, rows);
    else
        flush();
}

void TerminalSession::resize(int columns, int rows) {
    renderer_.resize(columns, rows);
    // The next render clears and repaints everything, also at an unchanged size.
    renderer_.invalidate();
    flush();
}

} // namespace term
