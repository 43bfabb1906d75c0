// SPDX-License-Identifier: MIT
// What a server counts, for its operators: gauges of what it holds now and
// totals since it started, as /metrics gives them.
#pragma once

#include <string>

namespace server {

struct Counts {
    // Held now.
    long long rooms = 0;
    long long players = 0;
    long long watchers = 0;
    long long connections = 0;
    // Since the start.
    long long matchesEnded = 0;
    long long connectionsRefused = 0; // turned away: over a limit, unreadable, too slow
    long long lateFrames = 0;         // frames that ended over 10 ms after they were due
    long long requests = 0;           // heads read and answered
};

// The counts in the Prometheus text format (version 0.0.4): a HELP and a
// TYPE line before each sample, every name prefixed blockduel_.
std::string metricsText(const Counts& counts, bool draining);

} // namespace server
