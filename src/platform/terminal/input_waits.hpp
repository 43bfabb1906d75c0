// SPDX-License-Identifier: MIT
// Input and waits: the terminal's bytes decoded into key events and the
// key state, and every wait of the game (a frame's delay, the answer to a
// query, the final Enter, output that the terminal does not take) on the
// event loop (loop/event_loop.hpp), with the terminal, the signal pipe and
// the network game's sockets as its file events and the next thing due as
// its timer, so that keys, signals and connections are served as they come. What the keys
// read in a wait are for follows from what the wait is for; what signals
// and the keys that end the game do is up to whoever holds the terminal.
#pragma once

#include <poll.h>

#include "input/key_state.hpp"
#include "loop/event_loop.hpp"
#include "netplay/serving.hpp"
#include "platform/terminal/input_decoder.hpp"
#include "platform/terminal/network_posix.hpp"

namespace term {

// What a wait is for, which says what the keys that come are for:
// the game's keys during play (and while the start-up query is answered,
// so that an early Escape counts), Enter at the prompt, the answer to the
// start-up query, or nothing but the end of what the terminal still
// sends before the game hands it back.
enum class Wait { Keys, Enter, Reply, Drain };

// What the waits hand to whoever holds the terminal.
class WaitOwner {
public:
    // At every turn of a wait, and at every key poll: the signals that end
    // the game end it, and the others are acted on where `wait` allows.
    virtual void actOnSignals(Wait wait) = 0;
    // Only the signals that end the game: a write is under way.
    virtual void endIfAsked() = 0;
    // Ctrl-C or Ctrl-\ typed: the game ends as by that signal.
    [[noreturn]] virtual void endBy(int signo) = 0;

protected:
    ~WaitOwner() = default;
};

class InputWaits {
public:
    InputWaits(int inFd, int answerTimeoutMs, WaitOwner& owner);

    // The key poll of a frame: signals acted on, what came read, a lone
    // ESC whose delay is over taken as Escape.
    bool keyPressed(int virtualKey);

    // Waits for input, a signal, the decoder's ESC delay or the sockets
    // until `untilMs` (-1: until the wait is over), acting on all of it.
    void waitUntil(long long untilMs, Wait wait);

    // The final prompt. What was typed before it shows is not an answer to
    // it; what is typed while a terminal that does not read holds it back
    // is. True for Enter, false when input ended.
    void expectEnter();
    bool awaitEnter();

    // A query that the terminal answers with its device attributes: the
    // earlier answers forgotten before it is sent, then the answer awaited
    // for at most the answer time. True when the kitty flags came first.
    void expectAnswer();
    bool awaitAnswer(Wait wait);

    // The terminal on `outFd` takes no output: waits until it does, a
    // signal arrives or input comes. Keys are read as the last wait says
    // when `reading` (the terminal is in the game's modes; afterwards they
    // are the shell's).
    void awaitWritable(int outFd, bool reading);

    // What the keys read while output waits are for, until a wait says.
    void listenFor(Wait wait) { listening_ = wait; }

    // Ctrl-Z was typed since the last call.
    bool takeSuspend();

    void reportReleases() { keys_.setReportsReleases(true); }
    void releaseKeys() { keys_.releaseAll(); }
    // Escape waits for its poll, or no key will come again.
    bool escapeOrEnd() const;

    // What the waits serve besides the terminal; nullptr for nothing.
    void setService(NetService* service) { service_ = service; }

private:
    // What a turn of the loop found besides the sockets.
    struct Found {
        bool input = false;
        bool wake = false;
    };
    // The file events and the timer of a wait's turn, as the loop's hook
    // sets them before each sleep, and what came on them.
    static void beforeTurn(loop::EventLoop& loop, void* self);
    static void inputCame(loop::EventLoop& loop, loop::Handle fd, unsigned mask, void* self);
    static void wakeCame(loop::EventLoop& loop, loop::Handle fd, unsigned mask, void* self);
    static void socketCame(loop::EventLoop& loop, loop::Handle fd, unsigned mask, void* record);
    void watchSockets();
    void armDue(long long now);
    long long nextDue() const;
    // Reads what is ready, without waiting.
    void readReady(Wait wait);
    bool waitOver(Wait wait) const;
    void expireEscape(Wait wait);
    void handleEvents(const Events& events, Wait wait);
    void handle(const InputEvent& event, Wait wait);

    int inFd_;
    int answerTimeoutMs_;
    WaitOwner& owner_;
    InputDecoder decoder_;
    KeyState keys_;
    NetService* service_ = nullptr;
    // The waits' loop: the terminal, the signal pipe, and each of the
    // sockets' descriptors (a listener on every address may be two).
    static constexpr int maxFiles = 2 + pollFdsFor(NetService::maxSockets);
    loop::EventLoop loop_{maxFiles};
    loop::TimerId due_ = loop::noTimer;
    Found found_;
    SocketWatch sockets_[NetService::maxSockets] = {};
    int watched_ = 0;
    pollfd socketFds_[pollFdsFor(NetService::maxSockets)] = {};
    int socketFdCount_ = 0;
    bool inputClosed_ = false;
    bool suspendWanted_ = false;  // Ctrl-Z typed, not acted on yet
    Wait listening_ = Wait::Keys; // what keys read while output waits are for
    bool sawFlags_ = false;       // the answer to a query
    bool sawAttributes_ = false;
    bool sawEnter_ = false;
};

} // namespace term
