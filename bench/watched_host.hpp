// SPDX-License-Identifier: MIT
// A game started as the host for the door's figures, whichever system it
// runs on: the port its join notice shows, its CPU time, and the rate
// readouts seen once a second.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

class WatchedHost {
public:
    WatchedHost() = default;
    virtual ~WatchedHost() = default;
    WatchedHost(const WatchedHost&) = delete;
    WatchedHost& operator=(const WatchedHost&) = delete;

    // The port its notice shows; 0 if none came in time.
    virtual int port() = 0;
    // The host's user and system time so far, in seconds.
    virtual double cpuSeconds() const = 0;
    // What else the host's system spends for it (Wine's server), in
    // seconds; negative where nothing does.
    virtual double helperSeconds() const { return -1; }
    // The frame rate readouts sampled since the last call.
    virtual std::vector<int> takeRates() = 0;
};

// The port in a row that shows the join command for loopback; 0 for none.
inline int joinPortIn(const std::string& row) {
    static const std::string command = "--join 127.0.0.1:";
    std::size_t at = row.find(command);
    return at == std::string::npos ? 0 : std::atoi(row.c_str() + at + command.size());
}

// The rate readout's row as a number, or -1 when it shows none.
inline int rateIn(const std::string& row) {
    return row.find("FPS") == std::string::npos ? -1 : std::atoi(row.c_str());
}
