// SPDX-License-Identifier: MIT
// Reading the keyboard and waiting. Every wait watches the terminal and the
// signal pipe together, so keys and signals are handled as they come.
#include "platform/terminal/input_waits.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>
#include <utility>

#include "game/keys.hpp"
#include "platform/terminal/network_posix.hpp"
#include "platform/terminal/signals.hpp"
#include "platform/terminal/tty.hpp"

namespace term {

namespace {

// Reads per drain: enough for any burst of keys, and the game goes on even
// when input never stops coming.
constexpr int maxReadsPerDrain = 16;
// The longest single poll, so a clock step cannot stall a wait for long.
constexpr long long maxPollMs = 1000;

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
// `untilMs` while something else is due at `dueMs` (either below 0 for
// none): up to the earlier of the two, -1 for no end.
int pollTimeout(long long now, long long untilMs, long long dueMs) {
    long long next = earliest(untilMs, dueMs);
    if (next < 0)
        return -1;
    return static_cast<int>(std::min(std::max(next - now, 0LL), maxPollMs));
}

} // namespace

InputWaits::InputWaits(int inFd, int answerTimeoutMs, WaitOwner& owner)
    : inFd_(inFd), answerTimeoutMs_(answerTimeoutMs), owner_(owner) {}

bool InputWaits::keyPressed(int virtualKey) {
    owner_.actOnSignals(Wait::Keys);
    readReady(Wait::Keys);
    expireEscape(Wait::Keys);
    return keys_.poll(virtualKey);
}

void InputWaits::expectEnter() {
    readReady(Wait::Drain);
    keys_.releaseAll();
    sawEnter_ = false;
    listening_ = Wait::Enter;
}

bool InputWaits::awaitEnter() {
    waitUntil(-1, Wait::Enter);
    return sawEnter_;
}

void InputWaits::expectAnswer() {
    sawFlags_ = false;
    sawAttributes_ = false;
}

bool InputWaits::awaitAnswer(Wait wait) {
    waitUntil(monotonicMs() + answerTimeoutMs_, wait);
    return sawFlags_;
}

bool InputWaits::takeSuspend() { return std::exchange(suspendWanted_, false); }

bool InputWaits::escapeOrEnd() const { return keys_.peek(vkEscape) || inputClosed_; }

void InputWaits::readReady(Wait wait) {
    for (int round = 0; round < maxReadsPerDrain && !inputClosed_; ++round) {
        if (!readable(inFd_))
            break;
        unsigned char bytes[256];
        ssize_t n = read(inFd_, bytes, sizeof bytes);
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
    }
}

bool InputWaits::waitOver(Wait wait) const {
    return ((wait == Wait::Reply || wait == Wait::Drain) && sawAttributes_) ||
           (wait == Wait::Enter && (sawEnter_ || inputClosed_)) ||
           (wait == Wait::Keys && service_ != nullptr && service_->endsWait());
}

// Every wait polls at least once, so that a wait whose time is already up
// (a frame that ran long, a short wait that the process was preempted in)
// still reads the keys and serves the connections that are ready.
void InputWaits::waitUntil(long long untilMs, Wait wait) {
    listening_ = wait;
    for (bool polled = false;; polled = true) {
        owner_.actOnSignals(wait);
        expireEscape(wait);
        if (waitOver(wait))
            return;
        long long now = monotonicMs();
        if (untilMs >= 0 && now >= untilMs && polled)
            return;
        long long due = earliest(decoder_.deadline(), service_ != nullptr ? service_->due() : -1);
        int timeout = pollTimeout(now, untilMs, due);
        pollfd fds[2 + pollFdsFor(NetService::maxSockets)];
        int count = 0;
        if (!inputClosed_)
            fds[count++] = {inFd_, POLLIN, 0};
        if (signals::wakeFd() >= 0)
            fds[count++] = {signals::wakeFd(), POLLIN, 0};
        SocketWatch sockets[NetService::maxSockets];
        int watched = service_ != nullptr ? service_->watched(sockets, NetService::maxSockets) : 0;
        int all = count + socketPollFds(sockets, watched, fds + count);
        if (all == 0 && timeout < 0)
            return;
        int ready = poll(fds, static_cast<nfds_t>(all), timeout);
        // After every poll, also one that found nothing, the game's
        // connections are served with what it found on them.
        if (service_ != nullptr) {
            socketsFound(sockets, watched, fds + count, ready > 0);
            service_->serve(sockets, watched);
        }
        if (ready <= 0)
            continue;
        signals::drainWake();
        if (!inputClosed_ && fds[0].revents != 0)
            readReady(wait);
    }
}

// A signal or a key that ends the game ends it at once; job control and
// repaints wait for the write to finish.
void InputWaits::awaitWritable(int outFd, bool reading) {
    reading = reading && !inputClosed_;
    pollfd fds[3] = {{outFd, POLLOUT, 0}};
    int count = 1;
    if (signals::wakeFd() >= 0)
        fds[count++] = {signals::wakeFd(), POLLIN, 0};
    if (reading)
        fds[count++] = {inFd_, POLLIN, 0};
    int timeout = reading ? pollTimeout(monotonicMs(), -1, decoder_.deadline()) : -1;
    poll(fds, static_cast<nfds_t>(count), timeout);
    signals::drainWake();
    owner_.endIfAsked();
    if (reading) {
        readReady(listening_);
        expireEscape(listening_);
    }
}

void InputWaits::expireEscape(Wait wait) {
    long long due = decoder_.deadline();
    if (due < 0)
        return;
    long long now = monotonicMs();
    if (now >= due)
        handleEvents(decoder_.timeout(now), wait);
}

void InputWaits::handleEvents(const Events& events, Wait wait) {
    for (int i = 0; i < events.count; ++i)
        handle(events.items[i], wait);
}

// Ctrl-C and Ctrl-\ end the game wherever they come. Ctrl-Z is noted, and
// acted on where the game may stop.
void InputWaits::handle(const InputEvent& event, Wait wait) {
    switch (event.kind) {
    case InputEvent::Interrupt:
    case InputEvent::Quit:
        owner_.endBy(event.kind == InputEvent::Interrupt ? SIGINT : SIGQUIT);
        break;
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
        if (wait == Wait::Keys && service_ != nullptr)
            service_->keyEvent(key);
        break;
    }
    }
}

} // namespace term
