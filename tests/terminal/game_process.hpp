// SPDX-License-Identifier: MIT
// The game as a process on a pty of its own, for tests of whole programs:
// the test is its terminal (answering the keyboard query as a terminal
// without the kitty protocol does) and libvterm shows what it was sent.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "vterm_screen.hpp"

namespace term {

class GameProcess {
public:
    // Starts the game with `args` on an 80 x 24 pty.
    explicit GameProcess(const std::vector<std::string>& args);
    ~GameProcess(); // kills it if it still runs
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    void type(std::string_view bytes) const;
    // Reads what the game wrote so far into the emulator.
    void pump();
    // Pumps until some row shows `text` (or `row` does, when given), up
    // to `ms`; whether it did.
    bool waitFor(std::string_view text, int ms = 5000, int row = -1);
    // Pumps until row `y` shows exactly `text`, up to `ms`; whether it did.
    bool waitForRow(int y, std::string_view text, int ms = 5000);
    // The row's text; the whole screen, row by row.
    std::string row(int y) const { return vt_.rowText(y); }
    std::string screen() const;
    // Waits up to `ms` for the game to end: its exit status, 128 + the
    // signal's number if a signal ended it, -1 if it still runs.
    int waitExit(int ms = 5000);
    void kill(int signo) const;
    // Everything the game wrote.
    const std::string& output() const { return output_; }

private:
    template <typename Shown> bool waitUntil(int ms, Shown shown);

    pid_t pid_ = -1;
    int master_ = -1;
    int status_ = -1;
    bool answered_ = false;
    std::string output_;
    VtermScreen vt_{80, 24};
};

// The port in the host's notice ("--join 127.0.0.1:PORT"); 0 if none shows.
int portShown(const GameProcess& host);

} // namespace term
