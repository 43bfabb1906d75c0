// SPDX-License-Identifier: MIT
// The event loop: timers on a fake clock whose wait only moves it; file
// events on socket pairs, on the system's set (epoll) and on its poll
// alike; a fake set that writes down what the loop tells it; the heap and
// the file table against plain references; the terminal's wait at the
// network game's deadline.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "loop/event_loop.hpp"
#include "platform/terminal/input_waits.hpp"
#include "platform/terminal/tty.hpp"

namespace {

using loop::EventLoop;
using loop::Handle;
using loop::PollItem;
using loop::SetChange;
using loop::TimerId;

constexpr long long start = 1000;

// A clock that only the waits move: each by what it was asked to wait,
// plus what the test says it oversleeps.
struct FakeSystem {
    long long now = start;
    long long oversleep = 0;
    std::vector<int> waits;

    static int poll(PollItem* items, int count, int timeoutMs, void* context) {
        auto& fake = *static_cast<FakeSystem*>(context);
        fake.waits.push_back(timeoutMs);
        for (int i = 0; i < count; ++i)
            items[i].readable = items[i].writable = false;
        if (timeoutMs > 0)
            fake.now += timeoutMs + fake.oversleep;
        return 0;
    }
    static long long clock(void* context) { return static_cast<FakeSystem*>(context)->now; }
    EventLoop::System system() { return {poll, clock, this}; }
};

// The (name, time) of each timer's call, in order.
using Log = std::vector<std::pair<int, long long>>;

// A timer's context: its name, what it asks for after each call, and the
// log of calls that every timer of a test shares.
struct Fire {
    int name;
    long long again;
    Log* log;
    std::vector<TimerId> cancels; // cancelled from its call
    int callsLeft = 1 << 30;
};

long long fire(EventLoop& loop, TimerId /*id*/, void* context) {
    auto& f = *static_cast<Fire*>(context);
    f.log->emplace_back(f.name, loop.nowMs() - start);
    for (TimerId other : f.cancels)
        EXPECT_TRUE(loop.cancelTimer(other));
    return --f.callsLeft > 0 ? f.again : loop::noMore;
}

void runOut(EventLoop& loop) {
    for (int turn = 0; turn < 1000 && loop.timers() > 0; ++turn)
        loop.processEvents(-1);
}

// A loop on the fake clock, and the log its timers share.
struct Timers {
    FakeSystem fake;
    EventLoop loop{4, fake.system()};
    Log log;
};
struct EventLoopTimers : ::testing::Test, Timers {};
using EventLoopHook = EventLoopTimers;

struct OrderCase {
    std::vector<long long> delays; // of timers 0, 1, ... armed in that order
    std::vector<int> order;        // the order they fire in
    std::vector<int> waits;        // what each turn's wait is asked for
};

TEST_F(EventLoopTimers, FireInDueOrderAtTheirTimeAndTheWaitEndsAtTheNext) {
    const std::vector<OrderCase> cases = {
        {{30, 10, 20}, {1, 2, 0}, {10, 10, 10}},
        // Due together: in the order armed, in one turn.
        {{5, 5, 0, 5}, {2, 0, 1, 3}, {0, 5}},
        {{-4, 0}, {0, 1}, {0}},
        {{100}, {0}, {100}},
    };
    for (const OrderCase& c : cases) {
        Timers t;
        std::vector<Fire> fires;
        fires.reserve(c.delays.size()); // the loop keeps their addresses
        Log expected;
        for (std::size_t i = 0; i < c.delays.size(); ++i) {
            fires.push_back({static_cast<int>(i), loop::noMore, &t.log, {}});
            t.loop.addTimer(c.delays[i], fire, &fires.back());
        }
        for (int i : c.order)
            expected.emplace_back(i, std::max(c.delays[static_cast<std::size_t>(i)], 0LL));
        runOut(t.loop);
        EXPECT_EQ(t.log, expected);
        EXPECT_EQ(t.fake.waits, c.waits);
    }
}

struct RepeatCase {
    long long oversleep;
    std::vector<long long> times; // of the first calls
};

// Again counts from when the timer was due, so a loop a little late keeps
// the rate, and one later than a period skips instead of bursting.
TEST_F(EventLoopTimers, RepeatFromWhenDueAndSkipWhenAPeriodLate) {
    const std::vector<RepeatCase> cases = {
        {0, {91, 182, 273, 364}},
        {30, {121, 212, 303, 394}},
        {100, {191, 382, 573, 764}},
    };
    for (const RepeatCase& c : cases) {
        Timers t;
        t.fake.oversleep = c.oversleep;
        Fire f{0, 91, &t.log, {}, static_cast<int>(c.times.size())};
        TimerId id = t.loop.addTimer(91, fire, &f);
        runOut(t.loop);
        std::vector<long long> times(t.log.size());
        std::transform(t.log.begin(), t.log.end(), times.begin(),
                       [](const Log::value_type& entry) { return entry.second; });
        EXPECT_EQ(times, c.times) << "oversleeping " << c.oversleep;
        EXPECT_FALSE(t.loop.cancelTimer(id)) << "a timer done with is no longer armed";
    }
}

// A timer that cancels itself and asks again is not called again; one
// that cancels another due in the same turn keeps it from being called;
// and a stale id cancels nothing, not even the timer in its old slot.
TEST_F(EventLoopTimers, CancelledFromInsideACall) {
    Fire a{0, 10, &log, {}};
    Fire b{1, 10, &log, {}};
    Fire c{2, loop::noMore, &log, {}};
    TimerId ida = loop.addTimer(10, fire, &a);
    TimerId idb = loop.addTimer(10, fire, &b);
    TimerId idc = loop.addTimer(10, fire, &c);
    a.cancels.push_back(ida);
    a.cancels.push_back(idb);
    runOut(loop);
    EXPECT_EQ(log, (Log{{0, 10}, {2, 10}}));
    EXPECT_FALSE(loop.cancelTimer(ida));
    // The next timer takes the room of the one released last, c's.
    Fire d{3, loop::noMore, &log, {}};
    TimerId idd = loop.addTimer(5, fire, &d);
    EXPECT_NE(idd, idc);
    EXPECT_FALSE(loop.cancelTimer(idc));
    runOut(loop);
    ASSERT_EQ(log.size(), 3U);
    EXPECT_EQ(log.back(), std::make_pair(3, 15LL));
}

// Many timers armed and cancelled at random fire exactly as a sorted list
// of the ones left says: the heap keeps its order through removals from
// its middle.
TEST_F(EventLoopTimers, ManyArmedAndCancelledFireAsASortedListSays) {
    std::mt19937 random(11);
    constexpr int count = 3000;
    std::vector<Fire> fires;
    fires.reserve(count);
    std::vector<TimerId> ids;
    std::vector<std::pair<long long, int>> expected;
    for (int i = 0; i < count; ++i) {
        auto delay = static_cast<long long>(random() % 500);
        fires.push_back({i, loop::noMore, &log, {}});
        ids.push_back(loop.addTimer(delay, fire, &fires.back()));
        expected.emplace_back(delay, i);
    }
    for (int i = 0; i < count; i += 1 + static_cast<int>(random() % 3)) {
        EXPECT_TRUE(loop.cancelTimer(ids[static_cast<std::size_t>(i)]));
        expected[static_cast<std::size_t>(i)].second = -1;
    }
    std::erase_if(expected, [](const auto& e) { return e.second < 0; });
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    runOut(loop);
    ASSERT_EQ(log.size(), expected.size());
    for (std::size_t i = 0; i < log.size(); ++i)
        ASSERT_EQ(log[i], std::make_pair(expected[i].second, expected[i].first)) << i;
}

// The hook runs first in every turn, so what it arms bounds that turn's wait.
TEST_F(EventLoopHook, RunsOncePerTurnBeforeTheWait) {
    struct Count {
        int calls = 0;
    } count;
    loop.setBeforeSleep(
        [](EventLoop& l, void* context) {
            static_cast<Count*>(context)->calls += 1;
            l.addTimer(
                7, [](EventLoop&, TimerId, void*) { return loop::noMore; }, nullptr);
        },
        &count);
    for (int turn = 0; turn < 3; ++turn)
        loop.processEvents(50);
    EXPECT_EQ(count.calls, 3);
    EXPECT_EQ(fake.waits, (std::vector<int>{7, 7, 7}));
}

// A timer that asks again for no delay, or arms another, is called once a
// turn: a turn always ends.
TEST_F(EventLoopHook, ATimerReArmedForNoDelayWaitsForTheNextTurn) {
    Fire again{0, 0, &log, {}, 5};
    loop.addTimer(0, fire, &again);
    EXPECT_EQ(loop.processEvents(0), 1);
    EXPECT_EQ(loop.processEvents(0), 1);
    EXPECT_EQ(log.size(), 2U);
}

// With the system's clock and poll: a long limit still ends at a timer.
TEST_F(EventLoopHook, TheSystemsWaitEndsAtTheNextTimer) {
    EventLoop real;
    bool fired = false;
    real.addTimer(
        30,
        [](EventLoop&, TimerId, void* f) { return *static_cast<bool*>(f) = true, loop::noMore; },
        &fired);
    long long before = real.nowMs();
    while (!fired && real.nowMs() - before < 2000)
        real.processEvents(5000);
    EXPECT_TRUE(fired);
    EXPECT_GE(real.nowMs() - before, 30);
    EXPECT_LT(real.nowMs() - before, 2000) << "the wait went on past its timer";
}

// Socket pairs, each end's file event counting its calls; what a call does
// to the others is the case's.
struct Pairs {
    static constexpr int count = 3;
    int ends[count][2] = {};
    Pairs() {
        for (auto& end : ends)
            EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, end), 0);
    }
    ~Pairs() {
        for (auto& end : ends) {
            close(end[0]);
            close(end[1]);
        }
    }
    Pairs(const Pairs&) = delete;
    Pairs& operator=(const Pairs&) = delete;
    void send(int pair) const { EXPECT_EQ(write(ends[pair][1], "k", 1), 1); }
};

enum class Does { Nothing, RemovesNext, ReAddsNext, RemovesItself, AddsWrite };

struct Watcher {
    Handle handle;
    Does does = Does::Nothing; // in its first call only
    Watcher* next = nullptr;
    int calls = 0;
    unsigned lastMask = loop::noEvents;
};

void watched(EventLoop& loop, Handle handle, unsigned mask, void* context) {
    auto& w = *static_cast<Watcher*>(context);
    EXPECT_EQ(handle, w.handle);
    w.calls += 1;
    w.lastMask = mask;
    Does does = std::exchange(w.does, Does::Nothing);
    switch (does) {
    case Does::Nothing: break;
    case Does::RemovesNext: loop.removeFile(w.next->handle); break;
    case Does::ReAddsNext:
        loop.removeFile(w.next->handle);
        EXPECT_TRUE(loop.addFile(w.next->handle, loop::readable, watched, w.next));
        break;
    case Does::RemovesItself: loop.removeFile(handle); break;
    case Does::AddsWrite: loop.addFile(handle, loop::writable, watched, &w); break;
    }
}

struct FileCase {
    Does first;
    std::vector<int> callsAfterTwoTurns; // of the three watchers
    std::vector<unsigned> masksLeft;
};

// The file events' tests run on the platform's set and on its poll.
#ifdef __linux__
constexpr bool platformKeepsSet = true;
#else
constexpr bool platformKeepsSet = false;
#endif

struct EventLoopFiles : ::testing::TestWithParam<bool> {
    static EventLoop::System system() {
        return GetParam() ? EventLoop::platform() : EventLoop::platformPolled();
    }
    static bool keepsSet() { return GetParam() && platformKeepsSet; }
};
INSTANTIATE_TEST_SUITE_P(Waits, EventLoopFiles, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Set" : "Poll"; });

TEST_P(EventLoopFiles, ReadableAndRemovedOrAddedWhileATurnRuns) {
    const std::vector<FileCase> cases = {
        {Does::Nothing, {2, 2, 2}, {1, 1, 1}},
        // The next one's bytes came this turn, yet it is not called: it
        // was removed, or removed and added anew, before its turn.
        {Does::RemovesNext, {2, 0, 2}, {1, 0, 1}},
        {Does::ReAddsNext, {2, 1, 2}, {1, 1, 1}},
        {Does::RemovesItself, {1, 2, 2}, {0, 1, 1}},
        // Writable once the turn that added it is over, never within it.
        {Does::AddsWrite, {2, 2, 2}, {3, 1, 1}},
    };
    for (const FileCase& c : cases) {
        Pairs pairs;
        EventLoop loop(8, system());
        Watcher w[Pairs::count];
        for (int i = 0; i < Pairs::count; ++i) {
            w[i].handle = pairs.ends[i][0];
            w[i].next = &w[(i + 1) % Pairs::count];
            ASSERT_TRUE(loop.addFile(w[i].handle, loop::readable, watched, &w[i]));
            pairs.send(i);
        }
        EXPECT_EQ(loop.keepsSet(), keepsSet());
        w[0].does = c.first;
        int skipped = c.first == Does::RemovesNext || c.first == Does::ReAddsNext ? 1 : 0;
        EXPECT_EQ(loop.processEvents(1000), Pairs::count - skipped);
        loop.processEvents(1000);
        std::vector<int> calls;
        std::vector<unsigned> masks;
        for (const Watcher& each : w) {
            calls.push_back(each.calls);
            masks.push_back(loop.fileMask(each.handle));
        }
        EXPECT_EQ(calls, c.callsAfterTwoTurns) << static_cast<int>(c.first);
        EXPECT_EQ(masks, c.masksLeft) << static_cast<int>(c.first);
        EXPECT_EQ(w[0].lastMask, c.first == Does::AddsWrite ? 3U : 1U);
    }
}

// Room for a fixed number of handles: one more is refused and changes
// nothing, a handle already watched may widen its mask, and room freed is
// room again.
TEST_P(EventLoopFiles, TheBoundOnFileEvents) {
    Pairs pairs;
    EventLoop loop(2, system());
    Watcher w{pairs.ends[0][0]};
    EXPECT_TRUE(loop.addFile(pairs.ends[0][0], loop::readable, watched, &w));
    EXPECT_TRUE(loop.addFile(pairs.ends[1][0], loop::readable, watched, &w));
    EXPECT_FALSE(loop.addFile(pairs.ends[2][0], loop::readable, watched, &w));
    EXPECT_FALSE(loop.addFile(pairs.ends[2][0], loop::noEvents, watched, &w));
    EXPECT_EQ(loop.fileMask(pairs.ends[2][0]), loop::noEvents);
    EXPECT_TRUE(loop.addFile(pairs.ends[0][0], loop::writable, watched, &w));
    EXPECT_EQ(loop.fileMask(pairs.ends[0][0]), loop::readable | loop::writable);
    EXPECT_EQ(loop.files(), 2);
    loop.removeFile(pairs.ends[1][0], loop::readable);
    EXPECT_TRUE(loop.addFile(pairs.ends[2][0], loop::readable, watched, &w));
    // Only the first is writable, and only it was asked.
    EXPECT_EQ(loop.processEvents(0), 1);
    EXPECT_EQ(w.calls, 1);
    EXPECT_EQ(w.lastMask, loop::writable);
}

// An error or a hang-up ends what a handle waits for: a pipe's read end
// whose writer has gone (nothing to read), and a full pipe's write end
// whose reader has gone (no room either), which is readable when it is
// watched for that too.
TEST_P(EventLoopFiles, AnErrorOrAHangUpEndsWhatAHandleWaitsFor) {
    struct Case {
        bool writeEnd;
        unsigned watchedFor;
        unsigned came;
    };
    const std::vector<Case> cases = {
        {false, loop::readable, loop::readable},
        {true, loop::writable, loop::writable},
        {true, loop::readable | loop::writable, loop::readable},
    };
    for (const Case& c : cases) {
        int ends[2] = {};
        ASSERT_EQ(pipe(ends), 0);
        fcntl(ends[1], F_SETFL, O_NONBLOCK);
        char block[4096] = {};
        while (c.writeEnd && write(ends[1], block, sizeof block) > 0) {
        }
        int kept = ends[c.writeEnd ? 1 : 0];
        close(ends[c.writeEnd ? 0 : 1]);
        EventLoop loop(2, system());
        Watcher w{kept};
        ASSERT_TRUE(loop.addFile(kept, c.watchedFor, watched, &w));
        EXPECT_EQ(loop.processEvents(1000), 1) << c.writeEnd << c.watchedFor;
        EXPECT_EQ(w.lastMask, c.came) << c.writeEnd << c.watchedFor;
        close(kept);
    }
}

// A set that writes down what the loop tells it, hands back what the test
// says came, and refuses the handle it is told to.
struct FakeSet {
    struct Told {
        Handle handle;
        SetChange how;
        unsigned mask;
        bool operator==(const Told&) const = default;
    };
    std::vector<Told> told;
    std::vector<PollItem> ready; // for the next wait
    Handle refuses = -1;
    int polls = 0;
    bool closed = false;

    static FakeSet& of(void* self) { return *static_cast<FakeSet*>(self); }
    EventLoop::System system() {
        EventLoop::System s = {[](PollItem*, int, int, void* self) { return ++of(self).polls, 0; },
                               [](void*) { return start; }, this};
        s.openSet = [](int, void* self) { return self; };
        s.closeSet = [](void*, void* self) { of(self).closed = true; };
        s.changeSet = [](void*, const PollItem& item, SetChange how, void* self) {
            unsigned mask = (item.read ? loop::readable : 0U) | (item.write ? loop::writable : 0U);
            of(self).told.push_back({item.handle, how, mask});
            return item.handle != of(self).refuses;
        };
        s.waitSet = [](void*, PollItem* came, int, void* self) {
            std::copy(of(self).ready.begin(), of(self).ready.end(), came);
            return static_cast<int>(std::exchange(of(self).ready, {}).size());
        };
        return s;
    }
};

// Turn after turn on one loop, what each turn's adds and removes tell the
// set before its wait: only what changed, a handle removed and added again
// once, drops first.
TEST(EventLoopSet, IsToldOnlyOfWhatChanged) {
    constexpr unsigned r = loop::readable;
    constexpr unsigned w = loop::writable;
    struct Step {
        bool add;
        Handle handle;
        unsigned mask;
    };
    struct Turn {
        std::vector<Step> steps;
        std::vector<FakeSet::Told> told;
    };
    const std::vector<Turn> turns = {
        {{{true, 5, r}, {true, 6, r | w}, {true, 7, r}},
         {{5, SetChange::add, r}, {6, SetChange::add, r | w}, {7, SetChange::add, r}}},
        {{{true, 5, r}}, {}},                              // added again as it was
        {{{true, 5, w}}, {{5, SetChange::modify, r | w}}}, // widened
        {{{true, 7, w}, {false, 7, w}}, {}},               // widened and narrowed back
        {{{false, 6, r | w}, {true, 6, r | w}}, {{6, SetChange::modify, r | w}}},
        {{{false, 5, r | w}, {true, 5, w}}, {{5, SetChange::modify, w}}},
        {{{false, 6, w}}, {{6, SetChange::modify, r}}}, // narrowed
        // Gone for good; one added and removed within the turn is never told.
        {{{false, 7, r}, {true, 8, r}, {false, 8, r}}, {{7, SetChange::drop, 0}}},
        {{{false, 5, w}, {true, 5, r}, {false, 5, r}, {true, 5, r}}, {{5, SetChange::modify, r}}},
    };
    FakeSet set;
    EventLoop loop(8, set.system());
    auto proc = [](EventLoop&, Handle, unsigned, void*) {};
    for (std::size_t i = 0; i < turns.size(); ++i) {
        for (const Step& step : turns[i].steps) {
            if (step.add)
                loop.addFile(step.handle, step.mask, proc, nullptr);
            else
                loop.removeFile(step.handle, step.mask);
        }
        set.told.clear();
        loop.processEvents(0);
        EXPECT_EQ(set.told, turns[i].told) << "turn " << i;
    }
    EXPECT_TRUE(loop.keepsSet());
    EXPECT_EQ(set.polls, 0);
}

// What the set hands back is called by handle, with what is watched of it
// (a handle no longer watched, none); a handle the set refuses turns the
// loop to polling, that turn already, and the set is closed.
TEST(EventLoopSet, CallsWhatCameAndPollsOnceARefusal) {
    FakeSet set;
    EventLoop loop(8, set.system());
    Watcher six{6};
    loop.addFile(6, loop::readable, watched, &six);
    // cppcheck-suppress unreadVariable ; the loop reads the fake through its system
    set.ready = {{6, true, true, true, true}, {9, true, false, true, false}};
    EXPECT_EQ(loop.processEvents(0), 1);
    EXPECT_EQ(six.lastMask, loop::readable);
    // cppcheck-suppress unreadVariable ; as above
    set.refuses = 7;
    loop.addFile(7, loop::readable, watched, &six);
    loop.processEvents(0);
    EXPECT_FALSE(loop.keepsSet());
    EXPECT_TRUE(set.closed);
    EXPECT_EQ(set.polls, 1);
    set.told.clear();
    loop.addFile(8, loop::readable, watched, &six);
    loop.processEvents(0);
    EXPECT_TRUE(set.told.empty());
    EXPECT_EQ(set.polls, 2);
}

// On the system's set: a descriptor removed and closed, and its number
// given to a new one that is added, in the same turn or the next, has the
// new one's bytes called, and the loop keeps its set.
TEST(EventLoopSet, ADescriptorClosedAndItsNumberGivenAnewIsWatched) {
    if (!platformKeepsSet)
        GTEST_SKIP() << "this system keeps no set";
    for (bool sameTurn : {true, false}) {
        Pairs pairs;
        EventLoop loop(4);
        int number = pairs.ends[0][0];
        Watcher w{number};
        ASSERT_TRUE(loop.addFile(number, loop::readable, watched, &w));
        EXPECT_EQ(loop.processEvents(0), 0);
        loop.removeFile(number);
        close(number);
        if (!sameTurn) {
            EXPECT_EQ(loop.processEvents(0), 0);
        }
        ASSERT_EQ(dup2(pairs.ends[1][0], number), number); // the pair's end under the old number
        ASSERT_TRUE(loop.addFile(number, loop::readable, watched, &w));
        pairs.send(1);
        EXPECT_EQ(loop.processEvents(1000), 1) << sameTurn;
        EXPECT_EQ(w.calls, 1) << sameTurn;
        EXPECT_TRUE(loop.keepsSet()) << sameTurn;
    }
}

// The file table's hash index through much churn of handles that collide
// and wrap, against a map: every handle found as the map says.
TEST(EventLoopTable, TheIndexFindsEveryHandleThroughChurn) {
    constexpr int capacity = 64;
    loop::FileTable table(capacity);
    std::map<Handle, unsigned> reference;
    std::mt19937 random(5);
    auto proc = [](EventLoop&, Handle, unsigned, void*) {};
    for (int step = 0; step < 20000; ++step) {
        Handle handle = static_cast<Handle>(random() % 200) * 4;
        if (random() % 2 == 0) {
            bool room = static_cast<int>(reference.size()) < capacity || reference.contains(handle);
            EXPECT_EQ(table.add(handle, loop::readable, proc, nullptr), room);
            if (room)
                reference[handle] |= loop::readable;
        } else {
            table.remove(handle, loop::readable);
            reference.erase(handle);
        }
        ASSERT_EQ(table.count(), static_cast<int>(reference.size()));
    }
    for (Handle handle = 0; handle < 800; ++handle) {
        const loop::FileTable::File* file = table.find(handle);
        ASSERT_EQ(file != nullptr, reference.contains(handle)) << handle;
        EXPECT_TRUE(file == nullptr || file->handle == handle) << handle;
    }
}

// The terminal's waits, as a frame's delay uses them, with a service that
// is due well before the wait ends and watches nothing: it is served at
// its deadline, not only when the wait is over.
struct NoSignals : term::WaitOwner {
    void actOnSignals(term::Wait /*wait*/) override {}
    void endIfAsked() override {}
    [[noreturn]] void endBy(int /*signo*/) override { std::abort(); }
};

struct Deadline : NetService {
    long long dueAt = 0;
    long long servedAt = -1; // the first serve at or after dueAt
    int watched(SocketWatch* /*watches*/, int /*room*/) override { return 0; }
    void serve(const SocketWatch* /*watches*/, int /*count*/) override {
        long long now = term::monotonicMs();
        if (servedAt < 0 && now >= dueAt)
            servedAt = now;
    }
    long long due() const override { return servedAt < 0 ? dueAt : -1; }
    void keyEvent(const KeyEvent& /*event*/) override {}
};

TEST(EventLoopWaits, TheTerminalsWaitServesTheGameAtItsDeadline) {
    int keys[2] = {};
    ASSERT_EQ(pipe(keys), 0);
    NoSignals owner;
    term::InputWaits waits(keys[0], 100, owner);
    Deadline service;
    waits.setService(&service);
    long long began = term::monotonicMs();
    service.dueAt = began + 20;
    long long until = began + 400;
    waits.waitUntil(until, term::Wait::Keys);
    EXPECT_GE(service.servedAt, service.dueAt);
    EXPECT_LT(service.servedAt, until) << "served only when the wait was over";
    close(keys[0]);
    close(keys[1]);
}

} // namespace
