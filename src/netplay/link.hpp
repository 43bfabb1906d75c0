// SPDX-License-Identifier: MIT
// One connection of the network game, either side: a non-blocking socket,
// the decoder of what comes in, the queue of what goes out, and the times
// that tell a silent peer from a live one. Nothing here waits: reads take
// what is there, writes send what the socket takes and keep the rest.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/http_request.hpp"
#include "net/message_decoder.hpp"
#include "netplay/network.hpp"

namespace net {
class WebSocketFraming;
class OwnWebSocketFraming;
} // namespace net

namespace netplay {

class Link {
public:
    // Takes `socket` over; `from` is who is at the other end.
    Link(NetSocket socket, net::Sender from, long long nowMs);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // The host's side: the first bytes tell the game's greeting from a
    // browser's request, whose head is then read whole and left for the host
    // to answer (httpArrived()); after the switch to a WebSocket, the game's
    // messages come and go in its frames and all else is as for a terminal.
    void acceptBrowsers();
    // Bytes read from the socket before it was handed over (a server's
    // front reads a request's head to route it): read first, as if they
    // had just arrived.
    void prime(std::string_view bytes) { primed_.assign(bytes); }
    bool httpArrived() const { return http_ && (http_->done() || http_->failed()); }
    // Once httpArrived(); null on a connection that is no browser's.
    const net::HttpRequestReader* http() const { return http_.get(); }
    // Queues bytes as they are: the answer to the request.
    void queueRaw(const std::string& bytes, long long nowMs);
    // After the answer that switches: frames from now on.
    void startWebSocket();
    bool isWebSocket() const { return framing_ != nullptr || clientFraming_ != nullptr; }

    // The terminal's side of a server's room: sends `request`, the switch
    // to a WebSocket whose key answers to `accept`, and holds what is
    // queued until the server's answer. The 101 with that accept switches
    // to frames; any other answer ends the link, and answerStatus() says
    // which it was (0 when there was none to read).
    void askWebSocket(const std::string& request, const std::string& accept, std::uint64_t maskSeed,
                      long long nowMs);
    int answerStatus() const { return answerStatus_; }

    NetSocket socket() const { return socket_; }
    bool isOpen() const { return socket_ != noSocket; }
    void close();

    // What a browser may leave unread of the framing's own answers (pongs)
    // before its connection is ended: a page that pings and never reads
    // gets no more of the host's memory.
    static constexpr std::size_t mostUnreadAnswers = std::size_t{64} * 1024;

    // Enough for any burst a peer sends, and the game goes on even when a
    // peer never stops sending.
    static constexpr std::size_t mostPerReceive = std::size_t{4} * 4096;

    // Reads what has arrived, at most `most` bytes, and hands each message
    // to `handle` until the link closes. False once the other side has
    // closed the connection, broken it or sent something malformed (the
    // link is closed then, and problem() says what happened).
    template <typename Handler>
    bool receive(long long nowMs, Handler&& handle, std::size_t most = mostPerReceive);

    // Adds a message to the queue and sends what the socket takes now.
    void queue(const std::string& message, long long nowMs);
    // Sends what the socket takes of the queue; false on a broken connection.
    bool sendQueued(long long nowMs);
    std::size_t queued() const { return out_.size() - sent_; }

    long long openedMs() const { return openedMs_; }
    long long heardMs() const { return heardMs_; }
    long long sentMs() const { return sentMs_; }
    // "closed" when the peer closed the connection, else what went wrong.
    const std::string& problem() const { return problem_; }
    // The other side sent something that is not the protocol.
    bool brokeProtocol() const { return decoder_.failed() || framingFailed_; }

private:
    // Reads once into `bytes`; the count, 0 for nothing now, -1 when gone.
    long readOnce(unsigned char* bytes, std::size_t size);
    void fail(const std::string& what);
    // Turns what was read into the game's bytes: a request's head is kept,
    // frames are unwrapped (into payload_). False once the link failed; a
    // frame that ends it leaves ending_ set, for after the bytes before it.
    bool unwrap(const unsigned char*& bytes, std::size_t& count);
    bool readingPaused() const { return httpArrived(); }
    // Reads the server's answer to askWebSocket(); false once it failed.
    bool readAnswer(const unsigned char*& bytes, std::size_t& count);
    template <typename Framing>
    void unframe(Framing& framing, const unsigned char*& bytes, std::size_t& count);

    struct FramingDeleter {
        void operator()(net::WebSocketFraming* framing) const;
        void operator()(net::OwnWebSocketFraming* framing) const;
    };

    NetSocket socket_;
    bool sniffing_ = false; // the first bytes decide
    std::unique_ptr<net::HttpRequestReader> http_;
    std::unique_ptr<net::WebSocketFraming, FramingDeleter> framing_;
    std::unique_ptr<net::OwnWebSocketFraming, FramingDeleter> clientFraming_;
    bool framingFailed_ = false;
    // The terminal's side, until the server answered: its answer, the
    // accept it must carry, what waits to go in frames.
    std::unique_ptr<net::HttpRequestReader> answer_;
    std::string accept_;
    std::uint64_t maskSeed_ = 0;
    std::string held_;
    int answerStatus_ = 0;
    std::string payload_;
    std::string ending_;
    net::MessageDecoder decoder_;
    std::string out_;
    std::size_t sent_ = 0;
    long long openedMs_;
    long long heardMs_;
    long long sentMs_;
    std::string problem_;
    std::string primed_;
};

template <typename Handler>
bool Link::receive(long long nowMs, Handler&& handle, std::size_t most) {
    for (std::size_t taken = 0; taken < most && isOpen() && !readingPaused();) {
        unsigned char bytes[4096];
        std::size_t asked = std::min(sizeof bytes, most - taken);
        long n = readOnce(bytes, asked);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        heardMs_ = nowMs;
        const unsigned char* p = bytes;
        auto left = static_cast<std::size_t>(n);
        if (!unwrap(p, left))
            return false;
        // What came before a frame that ends the connection is still read.
        while (left > 0 && isOpen()) {
            std::size_t used = decoder_.feed(p, left);
            if (decoder_.failed()) {
                fail(decoder_.error());
                return false;
            }
            p += used;
            left -= used;
            if (decoder_.hasMessage())
                handle(decoder_.message());
        }
        if (!ending_.empty()) {
            fail(ending_);
            return false;
        }
        taken += static_cast<std::size_t>(n);
        if (static_cast<std::size_t>(n) < asked)
            break;
    }
    return isOpen();
}

} // namespace netplay
