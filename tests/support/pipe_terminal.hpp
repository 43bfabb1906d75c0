// SPDX-License-Identifier: MIT
// A session on pipes with libvterm showing what it was sent: the session's
// own tests and both sides of the network game's tests in one process play
// on it.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

#include "piped_session.hpp"
#include "vterm_screen.hpp"

namespace term {

struct PipeTerminal : PipedSession {
    explicit PipeTerminal(bool kitty = false, RenderOptions render = {true, true})
        : PipedSession({.render = render}, kitty) {
        if (!started)
            std::abort();
    }

    void type(std::string_view bytes) const {
        if (!PipedSession::type(bytes))
            std::abort();
    }

    // Feeds the emulator what the session has sent so far.
    void show() {
        std::string bytes;
        readOutput(&bytes);
        vt.feed(bytes);
    }

    // Pipes report no size: the session takes the usual one.
    VtermScreen vt{usualColumns, usualRows};
};

} // namespace term
