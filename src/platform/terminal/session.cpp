// SPDX-License-Identifier: MIT
// The session: the platform calls of the frame loop, each made of what the
// terminal, the input and the presentation do, and the signals acted on
// where the game may stop or repaint.
#include "platform/terminal/session.hpp"

#include <csignal>
#include <cstdio>
#include <utility>

#include "platform/terminal/signals.hpp"

namespace term {

namespace {

// While a small window holds the game, how often it looks again.
constexpr long long heldCheckMs = 50;

TerminalSession* current = nullptr;

} // namespace

void setCurrentSession(TerminalSession* session) { current = session; }
TerminalSession* currentSession() { return current; }

TerminalSession::TerminalSession(const SessionOptions& options)
    : options_(options), input_(options.inFd, options.queryTimeoutMs, *this),
      terminal_(options.inFd, options.outFd, options.keyPlaces, input_),
      presentation_(options.render, terminal_) {}

bool TerminalSession::start() {
    int columns = options_.fallbackColumns;
    int rows = options_.fallbackRows;
    terminal_.size(columns, rows);
    presentation_.resize(columns, rows); // sends nothing: the terminal is not taken yet
    return terminal_.take();
}

void TerminalSession::finish() {
    presentation_.flush();
    terminal_.finish(presentation_.finalPicture());
}

void TerminalSession::setNotices(std::vector<NoticeLine> lines) {
    presentation_.setNotices(std::move(lines));
}

void TerminalSession::sleepMs(int ms) {
    presentation_.flush();
    ms = ms > 0 ? ms : 0;
    if (options_.virtualClock) {
        virtualMs_ += ms;
        ms = 0;
    }
    input_.waitUntil(monotonicMs() + ms, Wait::Keys);
    // Escape still ends a game held by a small window: its poll comes next.
    while (options_.holdWhileTooSmall && presentation_.tooSmall() && !input_.escapeOrEnd())
        input_.waitUntil(monotonicMs() + heldCheckMs, Wait::Keys);
}

long long TerminalSession::clockSeconds() const {
    return (options_.virtualClock ? virtualMs_ : monotonicMs()) / 1000;
}

void TerminalSession::endFrame() {
    presentation_.flush();
    actOnSignals(Wait::Keys);
}

int TerminalSession::readChar() {
    input_.expectEnter();
    presentation_.flush();
    return input_.awaitEnter() ? '\n' : EOF;
}

// Signals that end the game end it in every wait. Stopping and repainting
// wait for play or the prompt: not while the start-up query is out, whose
// answer would go to the shell, nor while the game hands the terminal back.
void TerminalSession::actOnSignals(Wait wait) {
    terminal_.endIfAsked();
    if (wait != Wait::Keys && wait != Wait::Enter)
        return;
    if (atStopPoint != nullptr)
        atStopPoint(StopPoint::BeforeJobControl);
    if (terminal_.actOnJobControl()) {
        input_.releaseKeys(); // their releases went to the shell
        presentation_.repaint();
    }
    if (signals::take(SIGWINCH))
        presentation_.repaint();
}

} // namespace term
