// SPDX-License-Identifier: MIT
#include "server/counts.hpp"

namespace server {

namespace {

struct Metric {
    const char* name;
    const char* type;
    const char* help;
    long long Counts::*value;
};

constexpr Metric metrics[] = {
    {"rooms", "gauge", "Rooms open now.", &Counts::rooms},
    {"players", "gauge", "Players in a seat now.", &Counts::players},
    {"watchers", "gauge", "Watchers now.", &Counts::watchers},
    {"connections", "gauge", "Connections open now.", &Counts::connections},
    {"matches_ended_total", "counter", "Matches played to their end.", &Counts::matchesEnded},
    {"connections_refused_total", "counter",
     "Connections turned away: over a limit, unreadable or too slow.", &Counts::connectionsRefused},
    {"late_frames_total", "counter", "Frames that ended over 10 ms after they were due.",
     &Counts::lateFrames},
    {"requests_total", "counter", "Requests read and answered.", &Counts::requests},
};

void sample(std::string& out, const char* name, const char* type, const char* help,
            long long value) {
    out += "# HELP blockduel_";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE blockduel_";
    out += name;
    out += ' ';
    out += type;
    out += "\nblockduel_";
    out += name;
    out += ' ';
    out += std::to_string(value);
    out += '\n';
}

} // namespace

std::string metricsText(const Counts& counts, bool draining) {
    std::string out;
    for (const Metric& m : metrics)
        sample(out, m.name, m.type, m.help, counts.*m.value);
    sample(out, "draining", "gauge", "1 while the server drains for its stop, else 0.",
           draining ? 1 : 0);
    return out;
}

} // namespace server
