// SPDX-License-Identifier: MIT
// The real game on a pty, started as a user starts it from a shell, with the
// test as both the terminal and the shell. A tiny shell, a forked session
// leader that owns the pty, puts the game in a process group of its own in
// the foreground, takes the terminal back when the game stops and hands it
// over again on `fg`, as a job-control shell does. Unlike a real shell it
// never puts back terminal modes of its own, so what the test finds on the
// pty is what the game left there. The test at the master side answers the
// game's queries as a terminal would, and libvterm shows what it was sent.
#pragma once

#include <csignal>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <termios.h>
#include <vector>

#include "vterm_screen.hpp"

#ifndef BLOCKDUEL_GAME
#error "BLOCKDUEL_GAME must name the game executable"
#endif

namespace term {

constexpr char prompt[] = "Kilepeshez nyomjon ENTER-t";

// How the game's run stands, as the shell's wait sees it.
struct Outcome {
    enum Kind { Running, Stopped, Exited, Killed } kind = Running;
    int value = 0; // the stop or kill signal, or the exit status

    static Outcome stopped(int signo) { return {Stopped, signo}; }
    static Outcome exited(int status) { return {Exited, status}; }
    static Outcome killed(int signo) { return {Killed, signo}; }
    bool operator==(const Outcome&) const = default;
};
void PrintTo(const Outcome& outcome, std::ostream* out);

// "SIGTERM", "SIGRTMIN+5".
std::string signalName(int signo);
// Every signal of this system's that ends a process unless caught: the
// shell's and the system's, crashes, and real-time ones where there are any.
std::vector<int> endingSignals();

// What the game wrote, its lines joined by spaces: a message broken between
// words at the terminal's width reads as one line again.
std::string joinedLines(const std::string& text);

// The state a terminal emulator keeps from the bytes it was sent: the modes
// the game sets and resets, and the kitty keyboard flags it pushes and pops,
// a stack for each screen.
struct TerminalState {
    bool alternateScreen = false;
    bool cursorHidden = false;
    bool focusReports = false;
    int kittyPushes[2] = {}; // main, alternate
    bool poppedTooMany = false;
    bool colours = false; // any SGR that sets a colour
};
TerminalState terminalState(std::string_view bytes);

struct PtyOptions {
    const char* program = BLOCKDUEL_GAME; // the game's executable
    std::vector<std::string> args = {};   // the game's command line
    int columns = 80;
    int rows = 24;
    bool kitty = true;                 // the terminal answers the keyboard query with its flags
    bool answerStartUp = true;         // answers the start-up query as soon as it comes
    int endReplyDelayMs = 0;           // how long the answer to a later query takes
    const char* onPop = "";            // sent once the flags come off (keys released in flight)
    bool noColor = false;              // NO_COLOR=1 in the game's environment
    std::vector<std::string> env = {}; // more of it, NAME=VALUE (no PATH unless given)
};

class GamePty {
public:
    explicit GamePty(PtyOptions options = {});
    ~GamePty(); // the shell kills the game if it still runs
    GamePty(const GamePty&) = delete;
    GamePty& operator=(const GamePty&) = delete;

    // Keys, as the terminal sends them.
    void type(std::string_view bytes) const;
    // Escape, then Enter at the prompt: the game's own end, with the keys as
    // this terminal sends them. False when no prompt came.
    bool escapeAndEnter();
    // Types `key` while the start-up query waits for its answer (which the
    // options must leave to the test), then answers it.
    bool typeDuringQuery(std::string_view key);
    void signal(int signo) const;
    // The shell's `fg`: the terminal to the game, then SIGCONT.
    void foreground() const;
    // The window changes size, as a user drags it.
    void resize(int columns, int rows) const;
    // The terminal goes away, as a closed window or a dropped link.
    void closeTerminal();
    // Fills the terminal's output queue, as a terminal that stops reading.
    void fillOutput() const;

    // The next stop or end, reading the terminal meanwhile unless told not
    // to; Running if none came within the time.
    Outcome waitOutcome(int ms = 5000, bool reading = true);
    // Reads the terminal until `done` holds; false after the time limit.
    bool waitUntil(const std::function<bool()>& done, int ms = 5000);
    // Until the game has written `marker` at or after `from`.
    bool waitForOutput(std::string_view marker, std::size_t from = 0);
    // Until the screen shows `text` on row `row`, or on any row.
    bool waitForText(std::string_view text, int row = -1);
    // Until both boards show, after `from` in the output.
    bool waitForPicture(std::size_t from = 0);
    // Reads the terminal for a while, answering what comes.
    void pump(int ms);

    // The screen's rows, each ended by a line feed; one row, without it.
    std::string screenText() const;
    std::string rowText(int row) const;
    // The leftmost column of a block inside the board whose left wall is at
    // `board`, in its falling piece's rows; -1 for none.
    int pieceColumn(int board = 0) const;

    bool modesAsBefore() const;
    int statusFlags() const; // of the file description the game shares with the shell
    int unreadInput() const; // bytes typed that nobody has read; they would go to the shell
    bool foregroundIsGame() const;

    pid_t pid = -1;
    std::string output; // everything the game wrote, as far as read
    int statusFlagsBefore = 0;

private:
    void readOutput(int ms);
    void readToEndOfOutput();
    void answer();

    PtyOptions options_;
    int master_ = -1;
    int slave_ = -1; // the test's own descriptor of the one the game uses
    std::string slaveName_;
    int commands_ = -1;
    int reports_ = -1;
    pid_t shell_ = -1;
    termios before_ = {};
    std::size_t answered_ = 0; // output scanned for queries up to here
    std::string due_;          // replies not sent yet
    long long dueAtMs_ = 0;
    VtermScreen screen_;
};

} // namespace term
