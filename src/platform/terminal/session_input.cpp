// SPDX-License-Identifier: MIT
// Reading the keyboard and waiting: the key polls of a frame, the frame's
// sleep, the replies to queries, the final wait for Enter, and output that
// the terminal does not take. Every wait watches the terminal and the
// signal pipe together, so keys and signals are handled as they come.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

#include "game/keys.hpp"
#include "platform/terminal/session.hpp"
#include "platform/terminal/signals.hpp"

namespace term {

namespace {

// Reads per drain: enough for any burst of keys, and the game goes on even
// when input never stops coming.
constexpr int maxReadsPerDrain = 16;
// The longest single poll, so a clock step cannot stall a wait for long.
constexpr long long maxPollMs = 1000;
// While a small window holds the game, how often it looks again.
constexpr long long heldCheckMs = 50;

bool readable(int fd) {
    pollfd ready = {fd, POLLIN, 0};
    return poll(&ready, 1, 0) > 0;
}

// The earlier of two times, either below 0 for none.
long long earliest(long long a, long long b) {
    if (a < 0 || (b >= 0 && b < a))
        return b;
    return a;
}

// How long one poll may wait, in milliseconds, for a wait that ends at
// `untilMs` while the decoder's ESC delay ends at `escapeMs` (either below
// 0 for none): up to the earlier of the two, -1 for no end.
int pollTimeout(long long now, long long untilMs, long long escapeMs) {
    long long next = untilMs;
    if (escapeMs >= 0 && (next < 0 || escapeMs < next))
        next = escapeMs;
    if (next < 0)
        return -1;
    return static_cast<int>(std::min(std::max(next - now, 0LL), maxPollMs));
}

} // namespace

bool TerminalSession::keyPressed(int virtualKey) {
    handleSignals(Wait::Keys);
    readReady(Wait::Keys);
    expireEscape(Wait::Keys);
    return keys_.poll(virtualKey);
}

void TerminalSession::sleepMs(int ms) {
    flush();
    ms = ms > 0 ? ms : 0;
    if (options_.virtualClock) {
        virtualMs_ += ms;
        ms = 0;
    }
    waitUntil(monotonicMs() + ms, Wait::Keys);
    // Escape still ends a game held by a small window: its poll comes next.
    while (options_.holdWhileTooSmall && renderer_.tooSmall() && !keys_.peek(vkEscape) &&
           !inputClosed_)
        waitUntil(monotonicMs() + heldCheckMs, Wait::Keys);
}

long long TerminalSession::clockSeconds() const {
    return (options_.virtualClock ? virtualMs_ : monotonicMs()) / 1000;
}

void TerminalSession::endFrame() {
    flush();
    handleSignals(Wait::Keys);
}

int TerminalSession::readChar() {
    // What was typed before the prompt shows is not an answer to it; what
    // is typed while a terminal that does not read holds the prompt back is.
    readReady(Wait::Drain);
    keys_.releaseAll();
    sawEnter_ = false;
    listening_ = Wait::Enter;
    flush();
    waitUntil(-1, Wait::Enter);
    return sawEnter_ ? '\n' : EOF;
}

bool TerminalSession::readReady(Wait wait) {
    bool any = false;
    for (int round = 0; round < maxReadsPerDrain && !inputClosed_; ++round) {
        if (!readable(options_.inFd))
            break;
        unsigned char bytes[256];
        ssize_t n = read(options_.inFd, bytes, sizeof bytes);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            // The other end is gone: no more keys, and no Enter to wait for.
            inputClosed_ = true;
            break;
        }
        long long now = monotonicMs();
        for (ssize_t i = 0; i < n; ++i)
            handleEvents(decoder_.add(bytes[i], now), wait);
        decoder_.endOfRead();
        any = true;
    }
    return any;
}

bool TerminalSession::waitOver(Wait wait) const {
    return ((wait == Wait::Reply || wait == Wait::Drain) && sawAttributes_) ||
           (wait == Wait::Enter && (sawEnter_ || inputClosed_)) ||
           (wait == Wait::Keys && extension_ != nullptr && extension_->endsWait());
}

void TerminalSession::waitUntil(long long untilMs, Wait wait) {
    listening_ = wait;
    for (;;) {
        handleSignals(wait);
        expireEscape(wait);
        if (waitOver(wait))
            return;
        long long now = monotonicMs();
        if (untilMs >= 0 && now >= untilMs)
            return;
        long long due =
            earliest(decoder_.deadline(), extension_ != nullptr ? extension_->due() : -1);
        int timeout = pollTimeout(now, untilMs, due);
        pollfd fds[2 + NetService::maxSockets];
        int count = 0;
        if (!inputClosed_)
            fds[count++] = {options_.inFd, POLLIN, 0};
        if (signals::wakeFd() >= 0)
            fds[count++] = {signals::wakeFd(), POLLIN, 0};
        SocketWatch sockets[NetService::maxSockets];
        int watched = watchSockets(sockets, fds + count);
        int all = count + watched;
        if (all == 0 && timeout < 0)
            return;
        int ready = poll(fds, static_cast<nfds_t>(all), timeout);
        serveSockets(sockets, fds + count, watched, ready > 0);
        if (ready <= 0)
            continue;
        signals::drainWake();
        if (!inputClosed_ && fds[0].revents != 0)
            readReady(wait);
    }
}

// The network game's sockets among the descriptors a wait polls.
int TerminalSession::watchSockets(SocketWatch* sockets, pollfd* fds) const {
    int watched = extension_ != nullptr ? extension_->watched(sockets, NetService::maxSockets) : 0;
    for (int i = 0; i < watched; ++i)
        fds[i] = {static_cast<int>(sockets[i].socket),
                  static_cast<short>(sockets[i].write ? POLLIN | POLLOUT : POLLIN), 0};
    return watched;
}

// After every poll, also one that found nothing: the game's connections
// are served, with what the poll found on them.
void TerminalSession::serveSockets(SocketWatch* sockets, const pollfd* fds, int watched,
                                   bool found) const {
    if (extension_ == nullptr)
        return;
    for (int i = 0; i < watched; ++i) {
        int events = found ? fds[i].revents : 0;
        sockets[i].readable = (events & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
        sockets[i].writable = (events & POLLOUT) != 0;
    }
    extension_->serve(sockets, watched);
}

// The terminal takes no output. Until it does, the keys are read while the
// terminal is in the game's modes (afterwards they are the shell's), and a
// signal or a key that ends the game ends it at once. Job control and
// repaints wait for the write to finish.
void TerminalSession::waitWritable() {
    bool reading = active_ && !inputClosed_;
    pollfd fds[3] = {{options_.outFd, POLLOUT, 0}};
    int count = 1;
    if (signals::wakeFd() >= 0)
        fds[count++] = {signals::wakeFd(), POLLIN, 0};
    if (reading)
        fds[count++] = {options_.inFd, POLLIN, 0};
    int timeout = reading ? pollTimeout(monotonicMs(), -1, decoder_.deadline()) : -1;
    poll(fds, static_cast<nfds_t>(count), timeout);
    signals::drainWake();
    endIfAsked();
    if (reading) {
        readReady(listening_);
        expireEscape(listening_);
    }
}

void TerminalSession::expireEscape(Wait wait) {
    long long due = decoder_.deadline();
    if (due < 0)
        return;
    long long now = monotonicMs();
    if (now >= due)
        handleEvents(decoder_.timeout(now), wait);
}

void TerminalSession::handleEvents(const Events& events, Wait wait) {
    for (int i = 0; i < events.count; ++i)
        handle(events.items[i], wait);
}

// Ctrl-C and Ctrl-\ end the game wherever they come. Ctrl-Z is noted, and
// acted on where the game may stop (handleSignals).
void TerminalSession::handle(const InputEvent& event, Wait wait) {
    switch (event.kind) {
    case InputEvent::Interrupt: die(SIGINT);
    case InputEvent::Quit: die(SIGQUIT);
    case InputEvent::Suspend: suspendWanted_ = true; break;
    case InputEvent::KittyFlags:
        if (!sawAttributes_)
            sawFlags_ = true;
        break;
    case InputEvent::DeviceAttributes: sawAttributes_ = true; break;
    case InputEvent::Enter:
        if (wait == Wait::Enter)
            sawEnter_ = true;
        if (wait == Wait::Keys) { // between the rounds of a match, Enter is a key
            handle({InputEvent::KeyPress, vkReturn}, wait);
            handle({InputEvent::KeyRelease, vkReturn}, wait);
        }
        break;
    default: {
        KeyEvent key{};
        if (!keyEventOf(event, key))
            break;
        if (wait == Wait::Keys || wait == Wait::Reply)
            keys_.apply(key);
        if (wait == Wait::Keys && extension_ != nullptr)
            extension_->keyEvent(key);
        break;
    }
    }
}

// Signals that end the game end it in every wait. Stopping and repainting
// wait for play or the prompt: not while the start-up query is out, whose
// answer would go to the shell, nor while the game hands the terminal back.
void TerminalSession::handleSignals(Wait wait) {
    endIfAsked();
    if (wait != Wait::Keys && wait != Wait::Enter)
        return;
    if (signals::take(SIGTSTP))
        suspendWanted_ = true;
    if (suspendWanted_) {
        suspendWanted_ = false;
        suspend();
    }
    if (signals::take(SIGCONT))
        continued();
    if (signals::take(SIGWINCH))
        windowChanged();
}

} // namespace term
