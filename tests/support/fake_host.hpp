// SPDX-License-Identifier: MIT
// A host that is not the game, for the tests and figures of what a guest
// does with one: it listens on 127.0.0.1, welcomes one guest as player two,
// sends it a whole picture and then floods it, in a thread of its own from
// its construction to its destruction, with messages the protocol allows
// one at a time, as fast as the socket takes them or at a given pace.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "net/message_decoder.hpp"
#include "netplay/guest_pace.hpp"

namespace term {

class FakeHost {
public:
    enum class Flood {
        Results,    // rounds' results, one after another
        Lies,       // results with figures no round has: round 999999, scores 10^9
        Deltas,     // changes that turn the picture back and forth
        KeepAlives, // nothing but keep-alives
    };
    // Pictures at three quarters of what a guest takes: as much as a game
    // could ever send, and more than one record holds in a few seconds.
    static constexpr long long nearBoundPace = netplay::pictureBytesPerSecond * 3 / 4;
    // `bytesPerSecond` 0: as fast as the guest's socket takes them.
    explicit FakeHost(Flood flood, long long bytesPerSecond = 0);
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // The code it welcomes (any other too: it checks none).
    static constexpr const char* code = "7K3M-Q9XD";

    bool welcomed() const { return welcomed_; }
    // When the guest's Escape came, on the steady clock in milliseconds; 0
    // before it has.
    long long escapeMs() const { return escapeMs_; }
    long long sentBytes() const { return sent_; }

    static long long nowMs();

private:
    void run();
    // One connection, until it closes; false when the guest only looked
    // for a game, and will come again.
    bool serve(int fd);
    // Reads what the guest sent; false once it is gone.
    bool hear(int fd, std::string& out);
    // More of the flood in `out`, up to what the pace allows by now.
    void flood(std::string& out, long long startMs);

    Flood kind_;
    long long bytesPerSecond_;
    int listener_ = -1;
    int port_ = 0;
    net::MessageDecoder decoder_{net::Sender::Guest};
    bool looked_ = false; // a greeting of another version: refused, to come again
    int round_ = 0;
    bool turned_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<bool> welcomed_{false};
    std::atomic<bool> gone_{false};
    std::atomic<long long> escapeMs_{0};
    std::atomic<long long> sent_{0};
    long long queuedTotal_ = 0;
    std::thread thread_;
};

} // namespace term
