// SPDX-License-Identifier: MIT
// The event loop's timers at a server's scale, printed, never asserted:
// 10,000 timers, each re-armed every 91 ms (a match's frame at 11 a
// second) and doing almost nothing, spread evenly over the period. On the
// system's clock and poll for a few real seconds: how late the timers
// fire (median, 99th percentile, worst) and the process's CPU time per
// call, waits included. On a simulated clock whose wait only moves it:
// the loop's own cost per call, heap and all, with no system call.
//
// Usage: blockduel_loop_figures [SECONDS] [TIMERS]   (default 3 and 10,000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "loop/event_loop.hpp"

namespace {

constexpr long long periodMs = 91;

using Clock = std::chrono::steady_clock;

long long nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

double cpuSeconds() {
    timespec t = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// What every timer shares: the log of lateness, and whether to log it.
struct Run {
    std::vector<long long> lateUs;
    long long calls = 0;
    long long work = 0; // the trivial work, kept so that it is done
    bool real = false;
};

// A timer's own: when it is due next, as the loop re-arms it.
struct Timer {
    Run* run;
    long long dueMs;
};

long long tick(loop::EventLoop& loop, loop::TimerId /*id*/, void* context) {
    auto& t = *static_cast<Timer*>(context);
    Run& run = *t.run;
    run.calls += 1;
    run.work += t.dueMs & 7;
    long long now = loop.nowMs();
    // The loop's clock reads CLOCK_MONOTONIC in whole milliseconds, as
    // steady_clock does in microseconds: the timer was due at dueMs.000.
    if (run.real)
        run.lateUs.push_back(nowUs() - t.dueMs * 1000);
    // As the loop re-arms: from when it was due, from now when later.
    long long next = t.dueMs + periodMs;
    t.dueMs = next >= now ? next : now + periodMs;
    return periodMs;
}

// The simulated clock: each wait moves it by what was asked, at once.
struct Simulated {
    long long nowMs = 0;
    static int poll(loop::PollItem* /*items*/, int /*count*/, int timeoutMs, void* context) {
        static_cast<Simulated*>(context)->nowMs += std::max(timeoutMs, 0);
        return 0;
    }
    static long long clock(void* context) { return static_cast<Simulated*>(context)->nowMs; }
};

// Arms `count` timers spread over one period and turns the loop for
// `seconds` of its clock.
void play(loop::EventLoop& loop, Run& run, int count, double seconds) {
    std::vector<Timer> timers(static_cast<std::size_t>(count));
    long long start = loop.nowMs();
    for (int i = 0; i < count; ++i) {
        long long after = periodMs * i / count;
        timers[static_cast<std::size_t>(i)] = {&run, start + after};
        loop.addTimer(after, tick, &timers[static_cast<std::size_t>(i)]);
    }
    auto end = start + static_cast<long long>(seconds * 1000);
    while (loop.nowMs() < end)
        loop.processEvents(-1);
}

double at(const std::vector<long long>& sorted, double share) {
    auto i = static_cast<std::size_t>(share * static_cast<double>(sorted.size() - 1));
    return static_cast<double>(sorted[i]) / 1000;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::max(0.5, std::atof(argv[1])) : 3;
    int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10'000;
    std::printf("| %d timers every %lld ms | figure |\n|---|---|\n", count, periodMs);

    Run real;
    real.real = true;
    real.lateUs.reserve(static_cast<std::size_t>(seconds * 1000 / periodMs + 2) *
                        static_cast<std::size_t>(count));
    loop::EventLoop system;
    double cpu = cpuSeconds();
    play(system, real, count, seconds);
    cpu = cpuSeconds() - cpu;
    std::sort(real.lateUs.begin(), real.lateUs.end());
    std::printf("| late, %.1f s on this clock (%lld calls) | median %.2f ms, 99th %.2f ms, worst "
                "%.2f ms |\n",
                seconds, real.calls, at(real.lateUs, 0.5), at(real.lateUs, 0.99),
                at(real.lateUs, 1));
    std::printf("| CPU a call, waits included | %.2f us (%.1f %% of a core) |\n",
                cpu * 1e6 / static_cast<double>(real.calls), 100 * cpu / seconds);

    Simulated clock;
    Run simulated;
    loop::EventLoop fake(4, {Simulated::poll, Simulated::clock, &clock});
    double simulatedSeconds = 10 * seconds;
    long long began = nowUs();
    play(fake, simulated, count, simulatedSeconds);
    double took = static_cast<double>(nowUs() - began);
    std::printf("| the loop's own cost a call, %.0f simulated s (%lld calls) | %.3f us |\n",
                simulatedSeconds, simulated.calls, took / static_cast<double>(simulated.calls));
    return real.work + simulated.work < 0 ? 1 : 0;
}
