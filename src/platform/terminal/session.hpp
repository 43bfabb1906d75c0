// SPDX-License-Identifier: MIT
// One game's hold on a terminal: the modes, the alternate screen, the
// keyboard protocol, the screen buffer the game draws into and the
// renderer that brings the terminal up to date, the keys and the waits.
// It works on any pair of descriptors, so tests drive it through a pty or
// pipes; on descriptors that are not a terminal it leaves the modes alone.
#pragma once

#include <poll.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "display/notices.hpp"
#include "input/key_state.hpp"
#include "netplay/local.hpp"
#include "platform/terminal/input_decoder.hpp"
#include "platform/terminal/renderer.hpp"
#include "platform/terminal/tty.hpp"

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
    // A game played at this terminal alone holds still while the window is
    // too small to show it, rather than go on unseen; a host's game goes on
    // for its guests.
    bool holdWhileTooSmall = false;
};

// Figures for tests and measurements.
struct SessionCounters {
    long long writes = 0; // write() rounds that sent a flush
    long long bytes = 0;  // bytes of all flushes
};

class TerminalSession : public LocalScreen {
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

    // Gives the terminal back as it was found, without waiting for a
    // terminal that does not read; does nothing when it already is.
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

    // The network game's hooks: what the waits serve besides the terminal
    // (nullptr for nothing), and notices shown over the picture (none
    // when empty), sent with the next flush.
    void setExtension(NetService* extension) { extension_ = extension; }
    void setNotices(std::vector<NoticeLine> lines) override { notices_ = std::move(lines); }

    // The session as the network game's host and guest see it.
    ScreenBuffer& buffer() override { return screen_; }
    void show() override { flush(); }

private:
    // What a wait is for, which says what the keys that come are for:
    // the game's keys during play (and while the start-up query is answered,
    // so that an early Escape counts), Enter at the prompt, the answer to the
    // start-up query, or nothing but the end of what the terminal still
    // sends before the game hands it back.
    enum class Wait { Keys, Enter, Reply, Drain };

    // Re-reads the terminal's size and repaints (after SIGWINCH).
    void windowChanged();
    void enterTerminal(bool pushKitty);
    void leaveTerminal(bool waitForTerminal);
    void popKeyboardFlags(bool waitForTerminal);
    void giveBack(bool waitForTerminal);
    void queryKeyboard();
    void armCrashRestore();
    void send(const std::string& bytes);
    bool writeOut(std::string_view bytes, bool waitForTerminal);
    void writeFailed();
    [[noreturn]] void die(int signo);
    void endIfAsked();
    void suspend();
    void stopUntilForeground();
    void continued();

    // Reads what is ready, without waiting; true if anything was read.
    bool readReady(Wait wait);
    // Waits for input, a signal or the decoder's deadline, up to `untilMs`.
    void waitUntil(long long untilMs, Wait wait);
    int watchSockets(SocketWatch* sockets, pollfd* fds) const;
    void serveSockets(SocketWatch* sockets, const pollfd* fds, int watched, bool found) const;
    // Waits until the terminal takes output again, a signal arrives or input
    // comes, and acts on what came.
    void waitWritable();
    // The reply or the Enter that the wait is for has come.
    bool waitOver(Wait wait) const;
    void handle(const InputEvent& event, Wait wait);
    void handleEvents(const Events& events, Wait wait);
    void handleSignals(Wait wait);
    void expireEscape(Wait wait);

    SessionOptions options_;
    TtyModes modes_;
    NonBlockingOutput nonBlocking_;
    ScreenBuffer screen_;
    Renderer renderer_;
    InputDecoder decoder_;
    KeyState keys_;
    std::string out_;
    SessionCounters counters_;
    bool active_ = false;   // the terminal is in the game's modes
    bool onScreen_ = false; // the alternate screen is on, and the rest of the screen modes
    bool kitty_ = false;    // the terminal speaks the kitty keyboard protocol
    bool pushed_ = false;   // kitty flags pushed and not yet popped
    bool inputClosed_ = false;
    bool suspendWanted_ = false;  // Ctrl-Z or SIGTSTP, not acted on yet
    Wait listening_ = Wait::Keys; // what keys read while output waits are for
    bool sawFlags_ = false;       // reply state of the keyboard query
    bool sawAttributes_ = false;
    bool sawEnter_ = false;
    long long virtualMs_ = 0; // the virtual clock, when the options ask for one
    NetService* extension_ = nullptr;
    std::vector<NoticeLine> notices_;
};

// The session the console and platform calls of the game go to.
void setCurrentSession(TerminalSession* session);
TerminalSession* currentSession();

} // namespace term
