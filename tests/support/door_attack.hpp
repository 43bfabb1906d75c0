// SPDX-License-Identifier: MIT
// Strangers at a host's door over loopback, for the process tests and the
// admission figures: connections held open without a word and reopened as
// soon as the host closes them, and wrong codes tried one after another as
// fast as the host answers. Each runs in a thread of its own from its
// construction to its destruction, with at most `count` sockets open.
#pragma once

#include <atomic>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

namespace term {

class DoorAttack {
public:
    enum class Kind {
        Hold,  // connect and say nothing; reconnect once closed
        Guess, // greet with a wrong code; once answered or closed, again
    };

    // `port` on 127.0.0.1, from the local address `from` (any of 127/8).
    DoorAttack(Kind kind, int port, int count, const char* from = "127.0.0.1");
    // The same from each of `from` in turn, one connection after another.
    DoorAttack(Kind kind, int port, int count, std::vector<std::string> from);
    ~DoorAttack();
    DoorAttack(const DoorAttack&) = delete;
    DoorAttack& operator=(const DoorAttack&) = delete;

    // Connections made, and (Guess) refusals of a wrong code received.
    long long connections() const { return connections_; }
    long long refusals() const { return refusals_; }

private:
    struct Stranger {
        int fd = -1;
        bool greeted = false;
    };

    void run();
    void refill(std::vector<Stranger>& strangers, std::vector<pollfd>& fds);
    void serve(Stranger& s, short revents);

    Kind kind_;
    int port_;
    int count_;
    std::vector<std::string> from_;
    std::size_t next_ = 0; // the address of the next connection
    std::atomic<bool> stop_{false};
    std::atomic<long long> connections_{0};
    std::atomic<long long> refusals_{0};
    std::thread thread_;
};

// `count` addresses of 127/8 from 127.`second`.0.1 on, for a crowd: Linux
// has all of them on its loopback.
std::vector<std::string> loopbackCrowd(int count, int second = 3);

} // namespace term
