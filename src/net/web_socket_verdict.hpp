// SPDX-License-Identifier: MIT
// What every WebSocket framing of the host shares: the longest message a
// browser may send, and why its connection ends, kept once it is known.
#pragma once

#include <cstddef>
#include <string>

#include "net/protocol.hpp"

namespace net {

class WebSocketVerdict {
public:
    // No message a browser sends, whole or in fragments, is longer.
    static constexpr std::size_t maxIncoming = std::size_t{2} * maxMessage;

    // Why the connection is to end; empty while it goes on. "closed" is the
    // browser's own close; anything else is a fault of the browser's.
    const std::string& problem() const { return problem_; }

protected:
    bool ended() const { return !problem_.empty(); }
    // The first reason stays: what followed it changes nothing.
    bool fail(const std::string& what) {
        if (problem_.empty())
            problem_ = what;
        return false;
    }

private:
    std::string problem_;
};

} // namespace net
