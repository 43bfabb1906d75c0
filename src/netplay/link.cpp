// SPDX-License-Identifier: MIT
// A connection's reads, queue and writes.
#include "netplay/link.hpp"

#include <cstring>
#include <string>

#include "net/web_socket_frames_own.hpp"
#include "net/web_socket_framing.hpp"

namespace netplay {

namespace {

// An HTTP request starts with its method, in capitals; the game's greeting
// with its type, 1.
bool startsRequest(unsigned char first) { return first >= 'A' && first <= 'Z'; }

} // namespace

void Link::FramingDeleter::operator()(net::WebSocketFraming* framing) const { delete framing; }
void Link::FramingDeleter::operator()(net::OwnWebSocketFraming* framing) const { delete framing; }

void Link::acceptBrowsers() { sniffing_ = true; }

void Link::queueRaw(const std::string& bytes, long long nowMs) {
    if (!isOpen())
        return;
    out_ += bytes;
    sendQueued(nowMs);
}

void Link::startWebSocket() {
    http_.reset();
    framing_.reset(new net::WebSocketFraming);
}

void Link::askWebSocket(const std::string& request, const std::string& accept,
                        std::uint64_t maskSeed, long long nowMs) {
    answer_ = std::make_unique<net::HttpRequestReader>(net::HttpHead::Response);
    accept_ = accept;
    maskSeed_ = maskSeed;
    queueRaw(request, nowMs);
}

// A server says nothing before its answer, and a 101 without the accept
// that answers this key is no switch: only then do frames go either way.
bool Link::readAnswer(const unsigned char*& bytes, std::size_t& count) {
    std::size_t used = answer_->feed(bytes, count);
    bytes += used;
    count -= used;
    if (answer_->failed()) {
        framingFailed_ = true;
        fail("the server's answer is no HTTP: " + answer_->error());
        return false;
    }
    if (!answer_->done())
        return true;
    answerStatus_ = answer_->status();
    const net::HttpRequest& head = answer_->request();
    bool switched = answerStatus_ == 101 && head.header("sec-websocket-accept") == accept_;
    answer_.reset();
    if (!switched) {
        fail("the server answered " + std::to_string(answerStatus_));
        return false;
    }
    clientFraming_.reset(new net::OwnWebSocketFraming(maskSeed_));
    std::string held = std::move(held_);
    held_.clear();
    if (!held.empty())
        queue(held, heardMs_);
    return true;
}

template <typename Framing>
void Link::unframe(Framing& framing, const unsigned char*& bytes, std::size_t& count) {
    payload_.clear();
    std::size_t before = out_.size();
    bool ok = framing.unwrap(bytes, count, payload_, out_);
    if (!ok && framing.problem() != "closed")
        framingFailed_ = true;
    if (!ok)
        ending_ = framing.problem();
    if (out_.size() > before) // a pong, or the closing frame
        sendQueued(heardMs_);
    if (out_.size() > before && queued() > mostUnreadAnswers && ending_.empty()) {
        framingFailed_ = true;
        ending_ = "the browser does not read";
    }
    bytes = reinterpret_cast<const unsigned char*>(payload_.data());
    count = payload_.size();
}

bool Link::unwrap(const unsigned char*& bytes, std::size_t& count) {
    if (answer_ && !readAnswer(bytes, count))
        return false;
    if (sniffing_ && count > 0) {
        sniffing_ = false;
        if (startsRequest(bytes[0]))
            http_ = std::make_unique<net::HttpRequestReader>();
    }
    if (http_) {
        std::size_t used = http_->feed(bytes, count);
        // A browser says nothing more until it is answered.
        if (used < count && http_->done()) {
            framingFailed_ = true;
            fail("bytes after the request");
        }
        count = 0;
        return isOpen();
    }
    if (framing_)
        unframe(*framing_, bytes, count);
    else if (clientFraming_)
        unframe(*clientFraming_, bytes, count);
    return true;
}

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
    if (!primed_.empty()) {
        std::size_t n = std::min(size, primed_.size());
        std::memcpy(bytes, primed_.data(), n);
        primed_.erase(0, n);
        return static_cast<long>(n);
    }
    std::string why;
    long n = netReceive(socket_, bytes, size, why);
    if (n < 0)
        fail(why);
    return n;
}

void Link::queue(const std::string& message, long long nowMs) {
    if (!isOpen())
        return;
    if (answer_) {
        held_ += message;
        return;
    }
    if (framing_)
        framing_->wrap(message, out_);
    else if (clientFraming_)
        clientFraming_->wrap(message, out_);
    else
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
