// SPDX-License-Identifier: MIT
// Taking the terminal, giving it back, and sending the picture.
#include "session.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "signals.hpp"

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
constexpr const char* attributesQuery = "\x1b[c";
// Focus reports off, attributes reset, cursor shown, normal screen.
constexpr const char* leaveScreen = "\x1b[?1004l\x1b[0m\x1b[?25h\x1b[?1049l";

// After the flags are popped, how long the end waits for the terminal to
// confirm it, so that key releases still under way do not reach the shell.
constexpr int fenceTimeoutMs = 200;

TerminalSession* current = nullptr;

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
        keys_.setKitty(true);
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
    writeAll(options_.outFd, picture.data(), picture.size());
}

void TerminalSession::restoreTerminal() { leaveTerminal(false); }

void TerminalSession::enterTerminal(bool pushKitty) {
    if (modes_.saved())
        modes_.enterRaw();
    active_ = true;
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
    signals::armCrashRestore(options_.outFd, modes_.saved() ? options_.inFd : -1, modes_.original(),
                             bytes.data(), static_cast<int>(bytes.size()));
}

void TerminalSession::leaveTerminal(bool fence) {
    if (!active_)
        return;
    signals::disarmCrashRestore();
    if (pushed_ && fence) {
        std::string pop = std::string(kittyPop) + attributesQuery;
        pushed_ = false;
        if (writeAll(options_.outFd, pop.data(), pop.size())) {
            sawAttributes_ = false;
            waitUntil(monotonicMs() + fenceTimeoutMs, Wait::Reply);
        }
    }
    std::string bytes = pushed_ ? kittyPop : "";
    bytes += leaveScreen;
    // Best effort: the terminal may be gone already.
    writeAll(options_.outFd, bytes.data(), bytes.size());
    modes_.restore();
    active_ = false;
    pushed_ = false;
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

void TerminalSession::send(const std::string& bytes) {
    if (!writeAll(options_.outFd, bytes.data(), bytes.size()))
        writeFailed();
    counters_.writes += 1;
    counters_.bytes += static_cast<long long>(bytes.size());
}

// A terminal that cannot be written to cannot show the game: end it.
void TerminalSession::writeFailed() {
    int error = errno;
    leaveTerminal(false);
    std::fprintf(stderr, "blockduel: cannot write to the terminal: %s\n", std::strerror(error));
    std::exit(1);
}

void TerminalSession::die(int signo) {
    leaveTerminal(false);
    signals::dieBy(signo);
}

// Ctrl-Z or SIGTSTP: give the terminal back, stop, and take it again once
// continued, with everything repainted.
void TerminalSession::suspend() {
    bool wasPushed = pushed_;
    leaveTerminal(false);
    signals::stopSelf();
    signals::take(SIGTSTP);
    signals::take(SIGCONT);
    enterTerminal(wasPushed);
    keys_.releaseAll();
    windowChanged();
}

// Continued after a stop that was not ours (SIGSTOP): the shell may have
// reset the modes and written over the screen.
void TerminalSession::continued() {
    if (!active_)
        return;
    if (modes_.saved())
        modes_.enterRaw();
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
