// SPDX-License-Identifier: MIT
// A session on pipes, with the test as its terminal and libvterm showing
// what it was sent: the session's own tests and both sides of the network
// game's tests in one process play on it.
#pragma once

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <unistd.h>

#include "platform/terminal/session.hpp"
#include "vterm_screen.hpp"

namespace term {

struct PipeTerminal {
    // Started, with the terminal's answer to the keyboard query there before
    // the question: pipes have no echo, so it waits in the pipe.
    explicit PipeTerminal(bool kitty = false, RenderOptions render = {true, true}) {
        if (pipe(in) != 0 || pipe(out) != 0)
            std::abort();
        fcntl(out[0], F_SETFL, O_NONBLOCK);
        session = std::make_unique<TerminalSession>(
            SessionOptions{.inFd = in[0], .outFd = out[1], .render = render});
        type(kitty ? "\x1b[?0u\x1b[?62;22c" : "\x1b[?1;2c");
        if (!session->start())
            std::abort();
    }

    ~PipeTerminal() {
        session.reset();
        for (int fd : {in[0], in[1], out[0], out[1]})
            if (fd >= 0)
                close(fd);
    }

    PipeTerminal(const PipeTerminal&) = delete;
    PipeTerminal& operator=(const PipeTerminal&) = delete;

    void type(std::string_view bytes) const {
        if (write(in[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
    }

    // Feeds the emulator what the session has sent so far.
    void show() {
        char bytes[65536];
        for (ssize_t n; (n = read(out[0], bytes, sizeof bytes)) > 0;)
            vt.feed(std::string_view(bytes, static_cast<std::size_t>(n)));
    }

    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    std::unique_ptr<TerminalSession> session;
    VtermScreen vt{80, 24};
};

} // namespace term
