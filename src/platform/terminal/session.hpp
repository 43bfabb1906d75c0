// SPDX-License-Identifier: MIT
// One game's hold on a terminal: the modes, the alternate screen, the
// keyboard protocol, the screen buffer the game draws into and the
// renderer that brings the terminal up to date, the keys and the waits.
// It works on any pair of descriptors, so tests drive it through a pty or
// pipes; on descriptors that are not a terminal it leaves the modes alone.
#pragma once

#include <string>

#include "input_decoder.hpp"
#include "key_state.hpp"
#include "screen.hpp"
#include "tty.hpp"

namespace term {

struct SessionOptions {
    int inFd = 0;
    int outFd = 1;
    RenderOptions render;
    // How long the start waits for the replies to the keyboard query.
    int queryTimeoutMs = 1000;
    // The size assumed when the terminal reports none.
    int fallbackColumns = 80;
    int fallbackRows = 24;
    // The frame loop's clock. The real one waits out each frame's delay on
    // the terminal's input. A virtual one moves only by the delays, as on a
    // machine where a frame takes no time: the picture still goes out and
    // the keys still come in at every delay, without waiting. The
    // screenshot tool and the output figures play on it, so that their
    // readouts come out the same in every run.
    bool virtualClock = false;
};

// Figures for tests and measurements.
struct SessionCounters {
    long long writes = 0; // write() rounds that sent a flush
    long long bytes = 0;  // bytes of all flushes
};

class TerminalSession {
public:
    explicit TerminalSession(const SessionOptions& options);

    // Raw modes, alternate screen, cleared, cursor hidden, the keyboard
    // query, kitty flags pushed where the terminal has them, focus reports
    // on. False, with the terminal given back, when the terminal cannot be
    // written to.
    bool start();

    // The normal end: the terminal given back and the final picture printed
    // on the normal screen.
    void finish();

    // Gives the terminal back as it was found; does nothing when it already is.
    void restoreTerminal();

    ScreenBuffer& screen() { return screen_; }
    bool kitty() const { return kitty_; }
    const SessionCounters& counters() const { return counters_; }

    // Sends what changed in the buffer since the last flush; nothing when
    // nothing did.
    void flush();

    // The platform calls of the frame loop.
    bool keyPressed(int virtualKey);
    void sleepMs(int ms);
    long long clockSeconds() const;
    void endFrame();
    int readChar();

    // Takes the terminal's size as given and repaints.
    void resize(int columns, int rows);

private:
    enum class Wait { Keys, Enter, Reply };

    // Re-reads the terminal's size and repaints (after SIGWINCH).
    void windowChanged();
    void enterTerminal(bool pushKitty);
    void leaveTerminal(bool fence);
    void queryKeyboard();
    void armCrashRestore();
    void send(const std::string& bytes);
    void writeFailed();
    [[noreturn]] void die(int signo);
    void suspend();
    void continued();

    // Reads what is ready, without waiting; true if anything was read.
    bool readReady(Wait wait);
    // Waits for input, a signal or the decoder's deadline, up to `untilMs`.
    void waitUntil(long long untilMs, Wait wait);
    // The reply or the Enter that the wait is for has come.
    bool waitOver(Wait wait) const;
    void handle(const InputEvent& event, Wait wait);
    void handleEvents(const Events& events, Wait wait);
    void handleSignals();
    void expireEscape(Wait wait);

    SessionOptions options_;
    TtyModes modes_;
    ScreenBuffer screen_;
    Renderer renderer_;
    InputDecoder decoder_;
    KeyState keys_;
    std::string out_;
    SessionCounters counters_;
    bool active_ = false; // the terminal is in the game's modes
    bool kitty_ = false;  // the terminal speaks the kitty keyboard protocol
    bool pushed_ = false; // kitty flags pushed and not yet popped
    bool inputClosed_ = false;
    bool sawFlags_ = false; // reply state of the keyboard query
    bool sawAttributes_ = false;
    bool sawEnter_ = false;
    long long virtualMs_ = 0; // the virtual clock, when the options ask for one
};

// The session the console and platform calls of the game go to.
void setCurrentSession(TerminalSession* session);
TerminalSession* currentSession();

} // namespace term
