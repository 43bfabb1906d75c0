// SPDX-License-Identifier: MIT
// The server's rooms in one thread: how many rooms of the computer against
// the computer (levels 3 and 3), each watched by one browser, one core
// keeps at 11 frames a second with no more than one frame in 100 ending
// over Room::lateMs late. Each watcher is a socket pair: the room takes
// one end with a WebSocket upgrade, as the front hands it a page's; the
// figures serve the other end on the same loop, as the page would: the
// Hello and Ready after the switch, a KeepAlive each second, every byte
// read and counted. The rooms open one after another, as people come,
// over the seconds left out but the last; the measurement starts once all
// are open. So the CPU shown is the rooms' and their watchers' ends
// together, one process on one core. Rooms that all open within one frame
// march in step for a long while (their pieces fall and land, and their
// computers plan, in the same frames): --at-once measures that worst case.
// Usage: blockduel_server_figures [SECONDS [--settle S] [--poll] [--at-once] [ROOMS...]]
// (the seconds each count of rooms is measured, 20; left out first, 5;
// --poll: the loop polls every socket each turn even where the system
// keeps a set of them, to compare; --at-once: every room opens within one
// frame; the counts of rooms, rising; the rise stops at the first to miss
// the bar)
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "browser_client.hpp"
#include "loop/event_loop.hpp"
#include "net/join_code.hpp"
#include "net/protocol.hpp"
#include "netplay/network.hpp"
#include "pacing.hpp"
#include "server/room.hpp"

namespace {

constexpr int level = 3;
constexpr int targetRooms = 1000;
constexpr double barLateShare = 1.0; // % of frames over Room::lateMs late
constexpr const char* roomCode = "7K3M-Q9XD";
constexpr const char* hostName = "127.0.0.1:8080";
constexpr int binaryFrame = 2;
constexpr std::size_t headBound = 4096; // a 101 is far shorter
constexpr int roomEmptyMs = 600'000;    // no room ends while it is measured
// A step that takes this much longer than it was to take ends the rise.
constexpr double overBudget = 1.5;
constexpr int budgetSlackSeconds = 5;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The process's CPU time, user and system, and how often the system took
// the core from it: on a shared machine, what makes frames late at a
// share of a core that would keep them on time.
struct Usage {
    double cpuSeconds = 0;
    long long preempted = 0;
};

Usage usage() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {seconds(use.ru_utime) + seconds(use.ru_stime), use.ru_nivcsw};
}

// The machine's load average over the last minute; -1 when /proc cannot tell.
double loadAverage() {
    std::ifstream loadavg("/proc/loadavg");
    double load = -1;
    loadavg >> load;
    return load;
}

long long wallUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

long long threadCpuUs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1'000'000LL + t.tv_nsec / 1000;
}

// The process's resident bytes; -1 when /proc cannot tell.
long long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long long pages = 0;
    long long resident = -1;
    if (!(statm >> pages >> resident))
        return -1;
    return resident * sysconf(_SC_PAGESIZE);
}

net::JoinCode roomJoinCode() {
    net::JoinCode code;
    net::parseJoinCode(roomCode, code); // a code of the right form: it reads
    return code;
}

// The page's end of one room's connection, served on the rooms' loop.
struct Watcher {
    explicit Watcher(int socket) : fd(socket) {}
    ~Watcher() { close(fd); }
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    int fd;
    std::string head; // until the switch's answer has come
    bool switched = false;
    bool broken = false;
    long long bytes = 0;

    void send(const std::string& message) {
        std::string frame = term::clientFrame(binaryFrame, message);
        // A few bytes into an empty socket buffer: anything short of all
        // of them means the room has stopped reading.
        if (::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(frame.size()))
            broken = true;
    }
    void switchedOver() {
        switched = head.rfind("HTTP/1.1 101", 0) == 0;
        broken = broken || !switched;
        if (!switched)
            return;
        std::string greeting;
        net::appendHello(greeting, net::Seat::Watcher, roomJoinCode());
        send(greeting);
        std::string ready;
        net::appendReady(ready, net::KeyMode::Kitty);
        send(ready);
    }
    static void readable(loop::EventLoop& loop, loop::Handle /*handle*/, unsigned /*mask*/,
                         void* self) {
        auto& w = *static_cast<Watcher*>(self);
        static char in[1 << 16];
        ssize_t n = recv(w.fd, in, sizeof in, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (n <= 0) {
            w.broken = true;
            loop.removeFile(w.fd);
            return;
        }
        w.bytes += n;
        if (w.switched)
            return;
        w.head.append(in, static_cast<std::size_t>(n));
        if (w.head.find("\r\n\r\n") != std::string::npos)
            w.switchedOver();
        else if (w.head.size() > headBound)
            w.broken = true;
    }
    // A live page is heard from every second.
    static long long keepAlive(loop::EventLoop& /*loop*/, loop::TimerId /*id*/, void* self) {
        auto& w = *static_cast<Watcher*>(self);
        if (w.switched) {
            std::string alive;
            net::appendKeepAlive(alive);
            w.send(alive);
        }
        return net::keepAliveMs;
    }
};

// What one count of rooms measured.
struct Row {
    int rooms = 0;
    double rate = 0;      // frames a second a room
    double lateShare = 0; // % of frames over Room::lateMs late
    double cpuShare = 0;  // % of one core, in all
    double residentKiB = 0;
    double bytesRate = 0;        // a watcher's
    double preemptedRate = 0;    // the core taken from the process, times a second
    double busyTurnsRate = 0;    // turns of over Room::lateMs of work, a second
    double offCoreTurnsRate = 0; // turns the core was taken from for over Room::lateMs
    bool keptSet = false;        // the loop waited on the system's set, not poll
    bool held() const { return lateShare <= barLateShare; }
};

// The platform's wait, timed: a turn's time is its wait, its work and
// whatever time the system took the core for. The wait is the set's where
// the platform keeps one (unless --poll), or poll's.
struct TimedWait {
    explicit TimedWait(bool polled)
        : platform(polled ? loop::EventLoop::platformPolled() : loop::EventLoop::platform()) {}
    loop::EventLoop::System platform;
    long long waitedUs = 0;
    template <class Wait> int timed(Wait wait) {
        long long from = wallUs();
        int found = wait();
        waitedUs += wallUs() - from;
        return found;
    }
    static int poll(loop::PollItem* items, int count, int timeoutMs, void* self) {
        auto& t = *static_cast<TimedWait*>(self);
        return t.timed(
            [&] { return t.platform.poll(items, count, timeoutMs, t.platform.context); });
    }
    static int waitSet(void* set, loop::PollItem* ready, int timeoutMs, void* self) {
        auto& t = *static_cast<TimedWait*>(self);
        return t.timed(
            [&] { return t.platform.waitSet(set, ready, timeoutMs, t.platform.context); });
    }
    loop::EventLoop::System system() {
        loop::EventLoop::System waits = {
            poll, [](void* self) { return platformOf(self).clockMs(platformOf(self).context); },
            this};
        if (platform.openSet == nullptr)
            return waits;
        waits.openSet = [](int room, void* self) {
            return platformOf(self).openSet(room, platformOf(self).context);
        };
        waits.closeSet = [](void* set, void* self) {
            platformOf(self).closeSet(set, platformOf(self).context);
        };
        waits.changeSet = [](void* set, const loop::PollItem& item, loop::SetChange change,
                             void* self) {
            return platformOf(self).changeSet(set, item, change, platformOf(self).context);
        };
        waits.waitSet = waitSet;
        return waits;
    }
    static const loop::EventLoop::System& platformOf(void* self) {
        return static_cast<TimedWait*>(self)->platform;
    }
};

// The rooms of one step and their watchers, on one loop; the loop outlives them.
struct Step {
    Step(int count, bool polled) : wait(polled), loop(2 * count + 16, wait.system()) {}
    TimedWait wait;
    loop::EventLoop loop;
    std::vector<std::unique_ptr<Watcher>> watchers;
    std::vector<std::unique_ptr<server::Room>> rooms;
    int wanted = 0;
    bool failed = false;

    void open() {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
            std::fprintf(stderr, "socketpair: %s\n", std::strerror(errno));
            failed = true;
            return;
        }
        netAdopt(static_cast<NetSocket>(pair[0]));
        fcntl(pair[1], F_SETFL, fcntl(pair[1], F_GETFL) | O_NONBLOCK);
        watchers.push_back(std::make_unique<Watcher>(pair[1]));
        Watcher& w = *watchers.back();
        if (!loop.addFile(w.fd, loop::readable, Watcher::readable, &w)) {
            std::fprintf(stderr, "the loop has no room for a watcher\n");
            failed = true;
        }
        loop.addTimer(net::keepAliveMs, Watcher::keepAlive, &w);
        net::JoinCode code = roomJoinCode();
        std::string name = "figures" + std::to_string(rooms.size());
        rooms.push_back(std::make_unique<server::Room>(
            loop, name, server::RoomKind{level, level, 0}, roomEmptyMs, &code));
        net::PeerAddress from;
        from.text = "127.0.0.1";
        std::string host = hostName;
        rooms.back()->take(static_cast<NetSocket>(pair[0]), from,
                           term::upgradeRequest(host, "http://" + host, "/r/" + name + "/play"));
    }
    // Rooms open one after another over `openingMs`, at an even pace.
    long long openingMs = steadyDelayMs;
    static long long openSome(loop::EventLoop& /*loop*/, loop::TimerId /*id*/, void* self) {
        auto& s = *static_cast<Step*>(self);
        long long every = std::max(1LL, s.openingMs / s.wanted);
        long long each = (s.wanted * every + s.openingMs - 1) / s.openingMs;
        for (long long i = 0; i < each && static_cast<int>(s.rooms.size()) < s.wanted && !s.failed;
             ++i)
            s.open();
        return static_cast<int>(s.rooms.size()) < s.wanted && !s.failed ? every : loop::noMore;
    }
    // The loop's turns that took over Room::lateMs, apart by why: its own
    // work, or the core taken from it while it had work.
    long long busyTurns = 0;
    long long offCoreTurns = 0;
    void runFor(long long ms) {
        long long end = loop.nowMs() + ms;
        busyTurns = offCoreTurns = 0;
        constexpr long long longUs = server::Room::lateMs * 1000LL;
        while (loop.nowMs() < end) {
            long long wallFrom = wallUs();
            long long cpuFrom = threadCpuUs();
            wait.waitedUs = 0;
            loop.processEvents(static_cast<int>(end - loop.nowMs()));
            long long cpu = threadCpuUs() - cpuFrom;
            long long wall = wallUs() - wallFrom;
            busyTurns += cpu > longUs ? 1 : 0;
            offCoreTurns += wall - wait.waitedUs - cpu > longUs ? 1 : 0;
        }
    }
};

// `count` rooms measured for `seconds` after `settle` seconds: false when
// the measurement could not be made. The rooms open over all but the last
// second of `settle`, or all `atOnce` over one frame.
bool measure(int count, int seconds, int settle, bool polled, bool atOnce, Row& row) {
    malloc_trim(0); // the last step's rooms given back, so that the count starts clean
    long long residentBefore = residentBytes();
    Step step(count, polled);
    step.wanted = count;
    if (!atOnce)
        step.openingMs = std::max<long long>(steadyDelayMs, (settle - 1) * 1000LL);
    step.watchers.reserve(static_cast<std::size_t>(count));
    step.rooms.reserve(static_cast<std::size_t>(count));
    step.loop.addTimer(0, Step::openSome, &step);
    step.runFor(settle * 1000LL);
    if (static_cast<int>(step.rooms.size()) < count) {
        std::fprintf(stderr, "%d rooms: only %zu opened in the %d s left out\n", count,
                     step.rooms.size(), settle);
        return false;
    }
    for (auto& room : step.rooms) {
        room->takeFrames();
        room->takeLateFrames();
    }
    for (const auto& w : step.watchers)
        w->bytes = 0;
    Usage from = usage();
    step.runFor(seconds * 1000LL);
    Usage to = usage();
    double cpu = to.cpuSeconds - from.cpuSeconds;
    long long residentAfter = residentBytes();

    long long frames = 0;
    long long late = 0;
    long long bytes = 0;
    int watched = 0;
    int heard = 0;
    for (auto& room : step.rooms) {
        frames += room->takeFrames();
        late += room->takeLateFrames();
        watched += room->watchers() == 1 && room->playing() ? 1 : 0;
    }
    for (const auto& w : step.watchers) {
        bytes += w->bytes;
        heard += w->switched && !w->broken && w->bytes > 0 ? 1 : 0;
    }
    if (step.failed || watched < count || heard < count || residentBefore < 0 ||
        residentAfter < 0 || frames == 0) {
        std::fprintf(stderr,
                     "%d rooms: %d playing with their watcher, %d watchers heard from, %lld "
                     "frames%s\n",
                     count, watched, heard, frames, residentBefore < 0 ? ", no /proc" : "");
        return false;
    }
    double perRoom = static_cast<double>(count) * seconds;
    row.rooms = count;
    row.rate = static_cast<double>(frames) / perRoom;
    row.lateShare = 100.0 * static_cast<double>(late) / static_cast<double>(frames);
    row.cpuShare = 100.0 * cpu / seconds;
    row.residentKiB =
        static_cast<double>(residentAfter - residentBefore) / 1024.0 / static_cast<double>(count);
    row.bytesRate = static_cast<double>(bytes) / perRoom;
    row.preemptedRate = static_cast<double>(to.preempted - from.preempted) / seconds;
    row.busyTurnsRate = static_cast<double>(step.busyTurns) / seconds;
    row.offCoreTurnsRate = static_cast<double>(step.offCoreTurns) / seconds;
    row.keptSet = step.loop.keepsSet();
    return true;
}

// The descriptor limit raised as far as this process may; false when the
// largest count of rooms cannot have its sockets.
bool raiseDescriptors(int rooms) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
    // Two descriptors a room (its end and its watcher's) and the process's own.
    rlim_t needed = static_cast<rlim_t>(rooms) * 2 + 64;
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= needed)
        return true;
    std::fprintf(stderr, "%d rooms need %llu descriptors; this process may have %llu\n", rooms,
                 static_cast<unsigned long long>(needed),
                 static_cast<unsigned long long>(limit.rlim_cur));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int seconds = 20;
    int settle = 5;
    bool polled = false;
    bool atOnce = false;
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--settle") == 0 && i + 1 < argc)
            settle = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--poll") == 0)
            polled = true;
        else if (std::strcmp(argv[i], "--at-once") == 0)
            atOnce = true;
        else if (i == 1)
            seconds = std::atoi(argv[i]);
        else
            counts.push_back(std::atoi(argv[i]));
    }
    if (counts.empty())
        counts = {100, 250, 500, 1000, 1500, 2000};
    if (seconds < 1 || settle < 1 ||
        std::any_of(counts.begin(), counts.end(), [](int n) { return n < 1; })) {
        std::fputs("usage: blockduel_server_figures [SECONDS [--settle S] [--poll] [--at-once] "
                   "[ROOMS...]]\n",
                   stderr);
        return 2;
    }
    std::string error;
    if (!netStart(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!raiseDescriptors(*std::max_element(counts.begin(), counts.end())))
        return 1;

    std::printf("| rooms | frames a second a room | frames over %d ms late | CPU a room | CPU in "
                "all | memory a room | bytes a second a watcher | preempted a second | turns over "
                "%d ms a second: busy, off the core |\n",
                server::Room::lateMs, server::Room::lateMs);
    std::printf("|------:|------:|------:|------:|------:|------:|------:|------:|------:|\n");
    double loadBefore = loadAverage();
    int best = 0;
    Row row;
    for (int count : counts) {
        auto started = Clock::now();
        if (!measure(count, seconds, settle, polled, atOnce, row))
            return 1;
        std::printf(
            "| %d | %.2f | %.2f %% | %.3f %% | %.0f %% | %.0f KiB | %.0f | %.0f | %.1f, %.1f |\n",
            row.rooms, row.rate, row.lateShare, row.cpuShare / count, row.cpuShare, row.residentKiB,
            row.bytesRate, row.preemptedRate, row.busyTurnsRate, row.offCoreTurnsRate);
        if (!row.held())
            break;
        best = std::max(best, count);
        if (secondsSince(started) > overBudget * (seconds + settle) + budgetSlackSeconds) {
            std::printf("(%d rooms took %.0f s: no more rooms are tried)\n", count,
                        secondsSince(started));
            break;
        }
    }
    std::printf("\nThe most rooms one core kept with no more than 1 frame in 100 over %d ms "
                "late: %d (target %d rooms at %d frames a second)\n",
                server::Room::lateMs, best, targetRooms, settledRate);
    std::printf("The loop's wait: %s\n", row.keptSet ? "the system's set (epoll)" : "poll");
    std::printf("The machine's load average: %.1f before, %.1f after, on %ld cores\n", loadBefore,
                loadAverage(), sysconf(_SC_NPROCESSORS_ONLN));
    return 0;
}
