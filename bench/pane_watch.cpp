// SPDX-License-Identifier: MIT
// Watches a game in a tmux pane: its rate readout once a second, read half
// a second into each second of the monotonic clock (the game reports the
// second before just after it begins), and its CPU time and peak resident
// memory from its own accounting in /proc. Prints the figures table's rows.
// Usage: blockduel_pane_watch SOCKET PANE PID SECONDS SETTLE LABEL
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "display/layout.hpp"
#include "pacing.hpp"
#include "process_cpu.hpp"

namespace {

constexpr double cpuTargetPercent = 0.5;
constexpr double memoryTargetMiB = 4;
constexpr double pacingTargetPercent = 95;

long long nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1'000'000;
}

void sleepUntil(long long ms) {
    timespec at = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000};
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
}

// The pane's lines as the terminal shows them; empty if tmux did not answer.
std::vector<std::string> capture(const std::string& socket, const std::string& pane) {
    std::string command = "tmux -S '" + socket + "' capture-pane -p -t '" + pane + "' 2>/dev/null";
    std::vector<std::string> lines;
    FILE* tmux = popen(command.c_str(), "r");
    if (tmux == nullptr)
        return lines;
    char line[512];
    while (std::fgets(line, sizeof line, tmux) != nullptr)
        lines.emplace_back(line);
    pclose(tmux);
    return lines;
}

// The number of "<n>FPS" at the start of the line; -1 if there is none.
int rateOf(const std::string& line) {
    char* end = nullptr;
    long rate = std::strtol(line.c_str(), &end, 10);
    return end != line.c_str() && std::strncmp(end, "FPS", 3) == 0 ? static_cast<int>(rate) : -1;
}

// Peak resident memory in KiB (VmHWM); -1 once the process is gone.
long peakResidentKiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

struct Watch {
    std::vector<int> rates; // the readout of each second, -1 for none
    double cpu = 0;         // CPU seconds over the watch
    double wall = 0;        // seconds watched
    long peakKiB = -1;
    bool over = false; // the game ended while watched
};

bool watch(const std::string& socket, const std::string& pane, int pid, int seconds, Watch& w) {
    long long start = nowMs();
    double cpuBefore = cpuSeconds(pid);
    long long next = (start / 1000 + 1) * 1000 + 500;
    for (int s = 0; s < seconds && !w.over; ++s, next += 1000) {
        sleepUntil(next);
        std::vector<std::string> lines = capture(socket, pane);
        w.rates.push_back(lines.size() > rateRow ? rateOf(lines[rateRow]) : -1);
        for (const std::string& line : lines)
            w.over = w.over || line.find("Game Over") != std::string::npos;
    }
    double cpuAfter = cpuSeconds(pid);
    w.peakKiB = peakResidentKiB(pid);
    w.wall = static_cast<double>(nowMs() - start) / 1000.0;
    w.cpu = cpuAfter - cpuBefore;
    return cpuBefore >= 0 && cpuAfter >= 0 && w.peakKiB > 0;
}

void report(const Watch& w, int settle, const std::string& label) {
    std::printf("readouts (%s):", label.c_str());
    for (int rate : w.rates)
        std::printf(" %d", rate);
    std::printf("\n");
    int counted = 0;
    int inBand = 0;
    for (std::size_t s = static_cast<std::size_t>(settle); s < w.rates.size(); ++s) {
        ++counted;
        inBand += inRateBand(w.rates[s]) ? 1 : 0;
    }
    double cpuPercent = 100.0 * w.cpu / w.wall;
    double mib = static_cast<double>(w.peakKiB) / 1024.0;
    double share = counted > 0 ? 100.0 * inBand / counted : 0;
    std::printf("| CPU, %s | %.3f %% of a core (%.2f s in %.0f s) | < %.1f %% | %s |\n",
                label.c_str(), cpuPercent, w.cpu, w.wall, cpuTargetPercent,
                cpuPercent < cpuTargetPercent ? "met" : "MISSED");
    std::printf("| peak resident memory, %s | %.2f MiB | < %.0f MiB | %s |\n", label.c_str(), mib,
                memoryTargetMiB, mib < memoryTargetMiB ? "met" : "MISSED");
    std::printf("| pacing, seconds reading %d-%d after the first %d s, %s | %d of %d (%.0f %%) "
                "| >= %.0f %% | %s |\n",
                lowestRate, highestRate, settle, label.c_str(), inBand, counted, share,
                pacingTargetPercent, share >= pacingTargetPercent ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fputs("usage: blockduel_pane_watch SOCKET PANE PID SECONDS SETTLE LABEL\n", stderr);
        return 2;
    }
    int pid = std::atoi(argv[3]);
    int seconds = std::atoi(argv[4]);
    int settle = std::atoi(argv[5]);
    Watch w;
    if (!watch(argv[1], argv[2], pid, seconds, w)) {
        std::fprintf(stderr, "blockduel_pane_watch: process %d is gone\n", pid);
        return 1;
    }
    report(w, settle, argv[6]);
    if (w.over) {
        std::fputs("blockduel_pane_watch: the game ended while watched; the figures are short\n",
                   stderr);
        return 1;
    }
    return 0;
}
