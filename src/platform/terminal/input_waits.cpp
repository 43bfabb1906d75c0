// SPDX-License-Identifier: MIT
// Reading the keyboard and waiting. Every wait is turns of an event loop
// that watches the terminal and the signal pipe together, so keys and
// signals are handled as they come.
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
// The longest single turn, so a clock step cannot stall a wait for long.
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

// How long one turn may wait, in milliseconds, for a wait that ends at
// `untilMs` while something else is due at `dueMs` (either below 0 for
// none): up to the end of the wait and one poll's longest, -1 for no end.
// The loop's timer ends it at what is due.
int turnLimit(long long now, long long untilMs, long long dueMs) {
    if (untilMs < 0)
        return dueMs < 0 ? -1 : static_cast<int>(maxPollMs);
    return static_cast<int>(std::min(std::max(untilMs - now, 0LL), maxPollMs));
}

} // namespace

InputWaits::InputWaits(int inFd, int answerTimeoutMs, WaitOwner& owner)
    : inFd_(inFd), answerTimeoutMs_(answerTimeoutMs), owner_(owner) {
    loop_.setBeforeSleep(beforeTurn, this);
}

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

// Every wait looks at least once, so that a wait whose time is already up
// (a frame that ran long, a short wait that the process was preempted in)
// still reads the keys and serves the connections that are ready.
void InputWaits::waitUntil(long long untilMs, Wait wait) {
    listening_ = wait;
    for (bool looked = false;; looked = true) {
        owner_.actOnSignals(wait);
        expireEscape(wait);
        if (waitOver(wait))
            return;
        long long now = monotonicMs();
        if (untilMs >= 0 && now >= untilMs && looked)
            return;
        found_ = {};
        // Nothing to wait on and no end: the wait could never end.
        if (loop_.processEvents(turnLimit(now, untilMs, nextDue())) == loop::EventLoop::cannotWait)
            return;
        // After every turn, also one that found nothing, the game's
        // connections are served with what it found on them (the records
        // start empty each turn and hold only what came).
        if (service_ != nullptr) {
            socketsFound(sockets_, watched_, socketFds_, true);
            service_->serve(sockets_, watched_);
        }
        if (found_.wake)
            signals::drainWake();
        if (found_.input && !inputClosed_)
            readReady(wait);
    }
}

// Before each sleep of a wait: the terminal while it is open, the signal
// pipe, the sockets the game watches now and its next deadline.
void InputWaits::beforeTurn(loop::EventLoop& loop, void* self) {
    auto& waits = *static_cast<InputWaits*>(self);
    if (waits.inputClosed_)
        loop.removeFile(waits.inFd_);
    else
        loop.addFile(waits.inFd_, loop::readable, inputCame, self);
    if (signals::wakeFd() >= 0)
        loop.addFile(signals::wakeFd(), loop::readable, wakeCame, self);
    waits.watchSockets();
    waits.armDue(loop.nowMs());
}

void InputWaits::inputCame(loop::EventLoop& /*loop*/, loop::Handle /*fd*/, unsigned /*mask*/,
                           void* self) {
    static_cast<InputWaits*>(self)->found_.input = true;
}

void InputWaits::wakeCame(loop::EventLoop& /*loop*/, loop::Handle /*fd*/, unsigned /*mask*/,
                          void* self) {
    static_cast<InputWaits*>(self)->found_.wake = true;
}

// What came on a socket's descriptor goes to its record, as poll would
// have it, for socketsFound; `record` is that descriptor's.
void InputWaits::socketCame(loop::EventLoop& /*loop*/, loop::Handle /*fd*/, unsigned mask,
                            void* record) {
    auto& fd = *static_cast<pollfd*>(record);
    if ((mask & loop::readable) != 0)
        fd.revents = static_cast<short>(fd.revents | POLLIN);
    if ((mask & loop::writable) != 0)
        fd.revents = static_cast<short>(fd.revents | POLLOUT);
}

// The sockets change between turns (connections come and go): last turn's
// descriptors are let go and this turn's watched, each with its record.
void InputWaits::watchSockets() {
    for (int i = 0; i < socketFdCount_; ++i)
        loop_.removeFile(socketFds_[i].fd);
    watched_ = service_ != nullptr ? service_->watched(sockets_, NetService::maxSockets) : 0;
    socketFdCount_ = socketPollFds(sockets_, watched_, socketFds_);
    for (int i = 0; i < socketFdCount_; ++i) {
        pollfd& fd = socketFds_[i];
        unsigned mask =
            (fd.events & POLLOUT) != 0 ? loop::readable | loop::writable : loop::readable;
        fd.revents = 0;
        loop_.addFile(fd.fd, mask, socketCame, &fd);
    }
}

void InputWaits::armDue(long long now) {
    loop_.cancelTimer(due_);
    due_ = loop::noTimer;
    long long due = nextDue();
    if (due >= 0)
        due_ = loop_.addTimer(due - now, loop::wakeOnly, nullptr);
}

// The decoder's ESC delay or the connections' next deadline, -1 for none.
long long InputWaits::nextDue() const {
    return earliest(decoder_.deadline(), service_ != nullptr ? service_->due() : -1);
}

namespace {

// Whatever comes ends the wait for output: the wait then looks at it all.
void anyCame(loop::EventLoop& /*loop*/, loop::Handle /*fd*/, unsigned /*mask*/, void* /*none*/) {}

} // namespace

// A signal or a key that ends the game ends it at once; job control and
// repaints wait for the write to finish. One turn of a loop of its own,
// without the sockets: they wait for the terminal, as the game does.
void InputWaits::awaitWritable(int outFd, bool reading) {
    reading = reading && !inputClosed_;
    loop::EventLoop loop(3);
    loop.addFile(outFd, loop::writable, anyCame, nullptr);
    if (signals::wakeFd() >= 0)
        loop.addFile(signals::wakeFd(), loop::readable, anyCame, nullptr);
    if (reading)
        loop.addFile(inFd_, loop::readable, anyCame, nullptr);
    long long due = reading ? decoder_.deadline() : -1;
    long long now = monotonicMs();
    if (due >= 0)
        loop.addTimer(due - now, loop::wakeOnly, nullptr);
    loop.processEvents(turnLimit(now, -1, due));
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
