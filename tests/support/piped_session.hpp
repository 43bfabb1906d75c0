// SPDX-License-Identifier: MIT
// A terminal session on two pipes, with whoever made it as its terminal:
// keys typed into one, what the session sends read from the other. The
// session's tests, the figures that count its bytes and the screenshot
// tool play on it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/terminal/session.hpp"

namespace term {

// Reads what a non-blocking `fd` holds now, appended to `into` unless it is
// null; how many bytes that was.
long long drainBytes(int fd, std::string* into = nullptr);

struct PipedSession {
    // The session on the pipes (whatever descriptors `options` names) and
    // started, with the answer of a terminal with or without the kitty
    // protocol typed before the question: pipes have no echo, so it waits
    // in the pipe and the start does not.
    explicit PipedSession(SessionOptions options, bool kitty = false);
    // The pipes closed; the terminal is given back only if the user did.
    ~PipedSession();
    PipedSession(const PipedSession&) = delete;
    PipedSession& operator=(const PipedSession&) = delete;

    // Types `bytes` at the terminal; false when the pipe does not take all.
    bool type(std::string_view bytes) const;
    // What the session sent since the last read, as drainBytes() has it.
    long long readOutput(std::string* into = nullptr) const { return drainBytes(out[0], into); }

    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    std::unique_ptr<TerminalSession> session;
    bool started = false;
};

} // namespace term
