// SPDX-License-Identifier: MIT
// A page's connection to a server's room, as the server's tests drive it:
// the switch to a WebSocket at the room's path, then the game's messages in
// frames, every wait bounded.
#pragma once

#include <chrono>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "browser_client.hpp"
#include "loopback.hpp"
#include "net/join_code.hpp"
#include "net/message_decoder.hpp"
#include "net/protocol.hpp"

namespace {

constexpr const char* code = "7K3M-Q9XD";
constexpr int binaryFrame = 2;

inline std::string statusOf(const std::string& answer) {
    return answer.substr(0, answer.find("\r\n"));
}

inline net::JoinCode joinCode(const char* text) {
    net::JoinCode c;
    EXPECT_TRUE(net::parseJoinCode(text, c));
    return c;
}

struct RoomGuest {
    // `client`: the client a balancer names, "" for none.
    RoomGuest(int port, const std::string& target, const std::string& client = "")
        : fd(loopback::connectTo(port)) {
        std::string host = "127.0.0.1:" + std::to_string(port);
        std::string request = term::upgradeRequest(host, "http://" + host, target);
        if (!client.empty())
            request.insert(request.size() - 2, "X-Forwarded-For: " + client + "\r\n");
        loopback::sendAll(fd, request);
        char bytes[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = recv(fd, bytes, sizeof bytes, 0);
            if (n <= 0)
                return;
            head.append(bytes, static_cast<std::size_t>(n));
        }
        in = head.substr(head.find("\r\n\r\n") + 4);
        head.resize(head.find("\r\n\r\n"));
    }
    ~RoomGuest() { close(fd); }
    bool switched() const { return head.rfind("HTTP/1.1 101", 0) == 0; }
    std::string status() const { return statusOf(head); }
    // Greeted with `text`, welcomed and ready.
    bool seated(const char* text = code, net::Seat seat = net::Seat::Player) {
        greet(seat, text);
        if (!awaits(net::MessageType::Welcome))
            return false;
        ready();
        return true;
    }
    // Seated, and its match's first picture is in.
    bool plays(net::Seat seat = net::Seat::Player) {
        return seated(code, seat) && awaits(net::MessageType::Picture);
    }
    // Greeted with `text`, and refused: why; none when it is let in instead,
    // or the connection ends first.
    std::optional<net::Refusal> refusal(net::Seat seat, const char* text = code) {
        greet(seat, text);
        net::Message m;
        return awaits(net::MessageType::Refused, &m) ? std::optional(m.refusal) : std::nullopt;
    }
    // The longest wait between the server's messages over `ms`; -1 when
    // the connection ends first.
    long long longestGap(int ms) {
        using clock = std::chrono::steady_clock;
        auto until = clock::now() + std::chrono::milliseconds(ms);
        auto last = clock::now();
        long long longest = 0;
        net::Message m;
        while (clock::now() < until) {
            if (!next(m))
                return -1;
            auto now = clock::now();
            longest = std::max<long long>(
                longest, std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count());
            last = now;
        }
        return longest;
    }
    void send(const std::string& message) {
        loopback::sendAll(fd, term::clientFrame(binaryFrame, message));
        sentAt = std::chrono::steady_clock::now();
    }
    // A live guest is heard from every second, as the page is.
    void keepAlive() {
        if (std::chrono::steady_clock::now() - sentAt < std::chrono::milliseconds(500))
            return;
        std::string alive;
        net::appendKeepAlive(alive);
        send(alive);
    }
    void greet(net::Seat seat, const char* text = code) {
        std::string hello;
        net::appendHello(hello, seat, joinCode(text));
        send(hello);
    }
    void ready() {
        std::string message;
        net::appendReady(message, net::KeyMode::Kitty);
        send(message);
    }
    // The next message from the server; false when none comes in 5 s.
    bool next(net::Message& message) {
        for (keepAlive();; keepAlive()) {
            while (!payload.empty()) {
                std::size_t used = decoder.feed(
                    reinterpret_cast<const unsigned char*>(payload.data()), payload.size());
                payload.erase(0, used);
                if (decoder.failed())
                    return false;
                if (decoder.hasMessage()) {
                    message = decoder.message();
                    return true;
                }
            }
            std::vector<term::Frame> frames;
            if (!term::takeFrames(in, frames))
                return false;
            for (const term::Frame& f : frames)
                payload += f.payload;
            if (!payload.empty())
                continue;
            char bytes[4096];
            ssize_t n = recv(fd, bytes, sizeof bytes, 0);
            if (n <= 0)
                return false;
            in.append(bytes, static_cast<std::size_t>(n));
        }
    }
    // Reads until a message of `type`; false when the connection ends
    // first, or none has come in 10 s (keep-alives come meanwhile).
    bool awaits(net::MessageType type, net::Message* found = nullptr) {
        net::Message m;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until && next(m)) {
            if (m.type == type) {
                if (found != nullptr)
                    *found = m;
                return true;
            }
        }
        return false;
    }

    int fd;
    std::string head;
    std::string in;
    std::string payload;
    net::MessageDecoder decoder{net::Sender::Host};
    std::chrono::steady_clock::time_point sentAt;
};

} // namespace
