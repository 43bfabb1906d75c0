// SPDX-License-Identifier: MIT
// The test's end of one connection of a host's part under test: a socket
// pair whose other end the part holds, set up as the game sets up its
// sockets. It reads what the host sent as a guest would, and never waits
// longer than a few milliseconds.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "in_process_host.hpp"
#include "netplay/door.hpp"
#include "netplay/network.hpp"
#include "wire.hpp"

class PeerEnd : public Heard {
public:
    PeerEnd();
    ~PeerEnd();
    PeerEnd(const PeerEnd&) = delete;
    PeerEnd& operator=(const PeerEnd&) = delete;

    // The host's end, for the part under test to take over.
    NetSocket hostSide() const { return hostSide_; }
    // Sends bytes as the guest; false when the host's end has closed.
    bool send(const std::string& data) const;
    // Reads and decodes what has come by now.
    void read();
    // What has come by now, oldest first; whether the host will send
    // nothing more.
    const std::vector<net::MessageType>& heard() {
        read();
        return types;
    }
    bool hasEnded() {
        read();
        return ended;
    }
    // Whether the host's end is closed for good (a refused connection's is
    // only shut for sending while it may still read why). It sends a
    // keep-alive to find out.
    bool hostClosed() const;

    std::size_t bytes = 0;
    bool ended = false; // the host will send nothing more

private:
    int fd_ = -1;
    NetSocket hostSide_ = noSocket;
};

// A guest's greeting and other messages.
inline std::string hello(net::Seat seat = net::Seat::Player, const char* code = term::testCode,
                         std::string_view name = {}) {
    return bytesOf(net::appendHello, seat, term::joinCode(code), name);
}
inline std::string ready() { return bytesOf(net::appendReady, net::KeyMode::Autorepeat, ""); }
inline std::string keepAlive() { return bytesOf(net::appendKeepAlive); }

// A door in front of `hall`, with the test's connections at it.
struct DoorAt {
    explicit DoorAt(netplay::Hall& hall);
    // A new connection taken at `now`.
    PeerEnd& connect(long long now);
    // A player coming with the right code at `now`, served.
    PeerEnd& comes(long long now);
    // One serve of the door at `now`, as the host's wait gives it.
    void serve(long long now) const;

    std::vector<std::unique_ptr<PeerEnd>> ends;
    std::unique_ptr<netplay::Door> door;
};
