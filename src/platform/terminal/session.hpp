// SPDX-License-Identifier: MIT
// One game's hold on a terminal, made of three parts: the terminal itself
// (modes, screens, job control, giving it back), input and waits, and the
// presentation (buffer, renderer, notices). The session puts them together
// and is what the game's console and platform calls and the network game
// talk to. It works on any pair of descriptors, so tests drive it through a
// pty or pipes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "game/local.hpp"
#include "netplay/serving.hpp"
#include "platform/terminal/input_waits.hpp"
#include "platform/terminal/presentation.hpp"
#include "platform/terminal/terminal.hpp"

namespace term {

struct SessionOptions {
    int inFd = 0;
    int outFd = 1;
    RenderOptions render;
    // How long the start waits for the replies to the keyboard query.
    int queryTimeoutMs = 1000;
    // The size assumed when the terminal reports none.
    int fallbackColumns = usualColumns;
    int fallbackRows = usualRows;
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
    // A terminal with the kitty keyboard protocol is asked where keys sit
    // (their base-layout keys); the game without options reads keys only
    // by what they type, and asks the terminal for what it always did.
    bool keyPlaces = true;
};

class TerminalSession : public LocalScreen, private WaitOwner {
public:
    explicit TerminalSession(const SessionOptions& options);

    // The terminal taken (Terminal::take) at its size. False when its raw
    // modes cannot be set; a terminal that cannot be written to ends the
    // game with a message.
    bool start();

    // The normal end: the terminal given back and the final picture printed
    // on the normal screen.
    void finish();

    // Gives the terminal back as it was found, without waiting for a
    // terminal that does not read; does nothing when it already is.
    void restoreTerminal() { terminal_.giveBack(false); }
    // What the terminal says once given back when Ctrl-C or a signal ends
    // the game; empty for nothing.
    void setFarewell(std::string text) { terminal_.setFarewell(std::move(text)); }

    ScreenBuffer& screen() { return presentation_.screen(); }
    bool kitty() const { return terminal_.kitty(); }
    const WriteCounters& counters() const { return terminal_.counters(); }
    void flush() { presentation_.flush(); }
    // Takes the terminal's size as given and repaints.
    void resize(int columns, int rows) { presentation_.resize(columns, rows); }

    // The platform calls of the frame loop.
    bool keyPressed(int virtualKey) { return input_.keyPressed(virtualKey); }
    void sleepMs(int ms);
    long long clockSeconds() const;
    void endFrame();
    int readChar();

    // What the waits serve besides the terminal (the network game's
    // connections); nullptr for nothing.
    void setExtension(NetService* extension) { input_.setService(extension); }

    // The session as the network game's host and guest see it.
    ScreenBuffer& buffer() override { return presentation_.screen(); }
    void setNotices(std::vector<NoticeLine> lines) override;
    void show() override { flush(); }
    void setNames(std::string_view boardOne, std::string_view boardTwo) override {
        presentation_.setNames(boardOne, boardTwo);
    }

private:
    void actOnSignals(Wait wait) override;
    void endIfAsked() override { terminal_.endIfAsked(); }
    [[noreturn]] void endBy(int signo) override { terminal_.die(signo); }

    SessionOptions options_;
    InputWaits input_;
    Terminal terminal_;
    Presentation presentation_;
    long long virtualMs_ = 0; // the virtual clock, when the options ask for one
};

// The session the console and platform calls of the game go to.
void setCurrentSession(TerminalSession* session);
TerminalSession* currentSession();

} // namespace term
