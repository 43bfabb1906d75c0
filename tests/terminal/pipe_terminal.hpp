// SPDX-License-Identifier: MIT
// A session on pipes, with the test as its terminal and libvterm showing
// what it was sent: the session's own tests and both sides of the network
// game's tests in one process play on it.
#pragma once

#include <memory>
#include <string_view>

#include "session.hpp"
#include "vterm_screen.hpp"

namespace term {

struct PipeTerminal {
    // Started, with the terminal's answer to the keyboard query there before
    // the question: pipes have no echo, so it waits in the pipe.
    explicit PipeTerminal(bool kitty = false, RenderOptions render = {true, true});
    ~PipeTerminal();
    PipeTerminal(const PipeTerminal&) = delete;
    PipeTerminal& operator=(const PipeTerminal&) = delete;

    void type(std::string_view bytes) const;
    // Feeds the emulator what the session has sent so far.
    void show();

    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    std::unique_ptr<TerminalSession> session;
    VtermScreen vt{80, 24};
};

} // namespace term
