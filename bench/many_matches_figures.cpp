// SPDX-License-Identifier: MIT
// Many matches in one thread: the CPU time of one match's frame stepped
// alone (median and 99th percentile), the memory one match holds, and how
// many matches one core steps at 11 frames a second with every frame on
// time. Every match is the computer against itself at levels 1 to 5 (the
// computer's planning is the heaviest work a frame has; two people's
// frames cost less), playing round after round; the loop steps each
// match whose frame is due, the earliest first, on the real clock.
// Usage: blockduel_many_matches_figures [SECONDS [MATCHES...]]
// (the seconds of each side-by-side run, 20; how many matches side by side)
#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <new>
#include <queue>
#include <thread>
#include <vector>

#include "game/match.hpp"
#include "loop/event_loop.hpp"
#include "memory_backend.hpp"
#include "server/loop_match.hpp"

// Every allocation counted, so that the memory a match holds is what the
// game asks for, whatever the C library's allocator adds.
namespace {
long long heldBytes = 0;
constexpr std::size_t sizeRoom = alignof(std::max_align_t);
} // namespace

void* operator new(std::size_t bytes) {
    void* block = std::malloc(bytes + sizeRoom);
    if (block == nullptr)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = bytes;
    heldBytes += static_cast<long long>(bytes);
    return static_cast<char*>(block) + sizeRoom;
}

void operator delete(void* held) noexcept {
    if (held == nullptr)
        return;
    void* block = static_cast<char*>(held) - sizeRoom;
    heldBytes -= static_cast<long long>(*static_cast<std::size_t*>(block));
    std::free(block);
}

void operator delete(void* held, std::size_t /*bytes*/) noexcept { operator delete(held); }

namespace {

using Clock = std::chrono::steady_clock;

long long nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

// A person at another keyboard, as a server's seat has one: now and then
// a move, a turn or a drop, and ready at once for the next round.
struct Person {
    unsigned state;
    static bool pressed(void* self, Action action) {
        auto& p = *static_cast<Person*>(self);
        p.state ^= p.state << 13U;
        p.state ^= p.state >> 17U;
        p.state ^= p.state << 5U;
        if (action == Action::Enter)
            return true;
        if (action == Action::Escape || action == Action::Pause)
            return false;
        return p.state % 16 == 0;
    }
};

enum class Kind { People, Computers };

// Two people at other keyboards, or the computer against itself at levels
// 1 to 5, round after round.
GameSetup matchOf(Kind kind, unsigned seed, std::array<Person, 2>& people) {
    GameSetup setup;
    setup.match = true;
    setup.seed = seed;
    for (int board = 0; board < 2; ++board) {
        if (kind == Kind::Computers) {
            setup.computer[board] = true;
            setup.level[board] = 1 + static_cast<int>(seed / (board == 0 ? 1 : 5) % 5);
        } else {
            auto& person = people[static_cast<std::size_t>(board)];
            person.state = seed * 2 + static_cast<unsigned>(board) + 1;
            setup.remote[board] = {Person::pressed, nullptr, &person};
        }
    }
    return setup;
}

struct OnLoop {
    OnLoop(Kind kind, unsigned seed) : match(matchOf(kind, seed, people), outside) {}
    std::array<Person, 2> people = {};
    UnattendedOutside outside;
    SteppedMatch match;
    long long dueMs = 0;
    long frames = 0;
};

void countFrame(void* self, const SteppedMatch& /*match*/) { ++static_cast<OnLoop*>(self)->frames; }

const char* nameOf(Kind kind) { return kind == Kind::People ? "people" : "computers"; }

double quantile(std::vector<double> v, double q) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

// CPU time of each frame of one match stepped alone on virtual time, its
// waits, countdowns and rests included, over `frames` frames.
void oneMatchAlone(Kind kind, long frames) {
    OnLoop m(kind, 3);
    std::vector<double> us;
    while (m.frames < frames) {
        long before = m.frames;
        long long started = nowUs();
        while (m.frames == before)
            advanceDue(m.match, m.outside, m.dueMs, m.dueMs, countFrame, &m);
        us.push_back(static_cast<double>(nowUs() - started));
    }
    double sum = 0;
    for (double u : us)
        sum += u;
    std::printf("| %s: one alone, CPU a frame (median, 99th, mean) | %.1f µs, %.1f µs, %.1f µs |\n",
                nameOf(kind), quantile(us, 0.5), quantile(us, 0.99),
                sum / static_cast<double>(us.size()));
}

// The heap one match holds once it plays, over `count` matches.
void memoryOfOne(Kind kind, int count) {
    long long before = heldBytes;
    std::vector<std::unique_ptr<OnLoop>> all;
    for (int i = 0; i < count; ++i) {
        all.push_back(std::make_unique<OnLoop>(kind, static_cast<unsigned>(i)));
        OnLoop& m = *all.back();
        advanceDue(m.match, m.outside, m.dueMs, 5'000, countFrame, &m);
    }
    long long after = heldBytes;
    std::printf("| %s: the heap one playing match holds | %.1f KiB |\n", nameOf(kind),
                static_cast<double>(after - before) / count / 1024.0);
}

// One match of many on the loop, and what its frames tell.
struct Watched {
    loop::EventLoop* loop;
    const server::LoopMatch* match = nullptr;
    std::vector<double>* lateMs;
    long long countFrom;
    long* frames;
    static void frameEnded(void* self, const SteppedMatch& m) {
        auto& w = *static_cast<Watched*>(self);
        long long now = w.loop->nowMs();
        if (m.over() || now < w.countFrom)
            return;
        ++*w.frames;
        w.lateMs->push_back(static_cast<double>(now - w.match->dueMs()));
    }
};

// `count` matches on one thread's event loop, each on its timer, for
// `seconds` of the real clock after a second to start and settle: how late
// their frames ended after they were due, and the process's CPU share.
void sideBySide(Kind kind, int count, int seconds) {
    loop::EventLoop loop;
    std::vector<double> lateMs;
    long frames = 0;
    long long started = loop.nowMs() + 1000;
    std::vector<std::unique_ptr<std::array<Person, 2>>> people;
    std::vector<std::unique_ptr<Watched>> watched;
    std::vector<std::unique_ptr<server::LoopMatch>> all;
    for (int i = 0; i < count; ++i) {
        people.push_back(std::make_unique<std::array<Person, 2>>());
        auto& two = *people.back();
        watched.push_back(
            std::make_unique<Watched>(Watched{&loop, nullptr, &lateMs, started, &frames}));
        all.push_back(std::make_unique<server::LoopMatch>(
            loop, matchOf(kind, static_cast<unsigned>(i), two), Watched::frameEnded,
            watched.back().get(), i % steadyDelayMs)); // as people come: spread over a frame
        watched.back()->match = all.back().get();
    }
    long long end = started + seconds * 1000LL;
    std::clock_t cpuAt = 0;
    bool counting = false;
    while (loop.nowMs() < end) {
        if (!counting && loop.nowMs() >= started) {
            counting = true;
            cpuAt = std::clock();
        }
        loop.processEvents(static_cast<int>(end - loop.nowMs()));
    }
    double cpu = static_cast<double>(std::clock() - cpuAt) / CLOCKS_PER_SEC;
    auto share = [&](double overMs) {
        auto n =
            std::count_if(lateMs.begin(), lateMs.end(), [&](double ms) { return ms > overMs; });
        return 100.0 * static_cast<double>(n) /
               static_cast<double>(std::max<std::size_t>(1, lateMs.size()));
    };
    std::printf("| %s, %d matches: frames a second | %.0f (%.1f a match) |\n", nameOf(kind), count,
                static_cast<double>(frames) / seconds,
                static_cast<double>(frames) / seconds / count);
    std::printf("| %s, %d matches: frames late (99th, max) | %.0f ms, %.0f ms |\n", nameOf(kind),
                count, quantile(lateMs, 0.99), quantile(lateMs, 1.0));
    std::printf("| %s, %d matches: frames over 10 ms late, a frame late | %.2f %%, %.2f %% |\n",
                nameOf(kind), count, share(10), share(steadyDelayMs));
    std::printf("| %s, %d matches: CPU | %.0f %% of one core |\n", nameOf(kind), count,
                100.0 * cpu / seconds);
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The unattended matches ask nothing of a platform; the in-memory back
    // end is linked for the core's calls all the same.
    mem::reset();
    int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i)
        counts.push_back(std::atoi(argv[i]));
    std::printf("| what | figure |\n");
    std::printf("|------|--------|\n");
    for (Kind kind : {Kind::People, Kind::Computers}) {
        oneMatchAlone(kind, argc > 1 ? 2000 : 20'000);
        memoryOfOne(kind, 1000);
        std::vector<int> shown = counts;
        if (shown.empty() && kind == Kind::People)
            shown = {1000, 10000, 20000};
        if (shown.empty())
            shown = {1000, 5000};
        for (int count : shown)
            sideBySide(kind, count, seconds);
    }
    return 0;
}
