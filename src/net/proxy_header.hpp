// SPDX-License-Identifier: MIT
// The PROXY protocol's header, which a balancer (HAProxy, nginx, a cloud's
// load balancer) sends first on each connection it passes on, so that the
// server learns whom the connection is from: version 1, a line of text
// ("PROXY TCP4 203.0.113.7 192.0.2.1 51000 7416\r\n", 107 bytes at most),
// or version 2, a 16-byte binary head and its addresses. Read from bytes
// in any chunking, bounded and strict: a header that is neither, one cut
// short at its bound, an address that does not parse or a length beyond
// what version 2 allows fails, and nothing after the header is taken. A
// LOCAL header (the balancer's own health check) or UNKNOWN family names
// nobody: the connection stands for itself.
#pragma once

#include <cstddef>
#include <string>

#include "net/admission.hpp"

namespace net {

class ProxyHeaderReader {
public:
    static constexpr std::size_t maxV1 = 107;
    // Version 2's head, and the most of what follows it that is read: the
    // addresses and any extensions (TLVs) a balancer adds, which are skipped.
    static constexpr std::size_t v2Head = 16;
    static constexpr std::size_t maxV2Body = 1024;

    // Takes bytes up to the header's end; how many it took.
    std::size_t feed(const unsigned char* bytes, std::size_t count);
    bool done() const { return state_ == State::Done; }
    bool failed() const { return state_ == State::Failed; }
    // Once done(): whether the header names the client, and whom.
    bool named() const { return named_; }
    const PeerAddress& client() const { return client_; }
    // Once failed(): what was wrong, in a few words.
    const std::string& error() const { return error_; }

private:
    enum class State { Start, V1, V2, Done, Failed };
    std::size_t takeV1(const unsigned char* bytes, std::size_t count);
    std::size_t takeV2(const unsigned char* bytes, std::size_t count);
    void endV1();
    void endV2();
    void fail(const char* what);

    State state_ = State::Start;
    std::string held_;
    std::size_t v2Length_ = 0;
    bool named_ = false;
    PeerAddress client_;
    std::string error_;
};

} // namespace net
