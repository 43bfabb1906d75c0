// SPDX-License-Identifier: MIT
// A connection's reads, queue and writes.
#include "netplay/link.hpp"

namespace netplay {

Link::Link(NetSocket socket, net::Sender from, long long nowMs)
    : socket_(socket), decoder_(from), openedMs_(nowMs), heardMs_(nowMs), sentMs_(nowMs) {}

Link::~Link() { close(); }

void Link::close() {
    if (socket_ != noSocket)
        netClose(socket_);
    socket_ = noSocket;
}

void Link::fail(const std::string& what) {
    if (problem_.empty())
        problem_ = what;
    close();
}

long Link::readOnce(unsigned char* bytes, std::size_t size) {
    std::string why;
    long n = netReceive(socket_, bytes, size, why);
    if (n < 0)
        fail(why);
    return n;
}

void Link::queue(const std::string& message, long long nowMs) {
    if (!isOpen())
        return;
    out_ += message;
    sendQueued(nowMs);
}

bool Link::sendQueued(long long nowMs) {
    while (isOpen() && queued() > 0) {
        std::string why;
        long n = netSend(socket_, out_.data() + sent_, queued(), why);
        if (n < 0) {
            fail(why);
            return false;
        }
        if (n == 0)
            break;
        sent_ += static_cast<std::size_t>(n);
        sentMs_ = nowMs;
    }
    if (sent_ == out_.size()) {
        out_.clear();
        sent_ = 0;
    }
    return isOpen();
}

} // namespace netplay
