// SPDX-License-Identifier: MIT
// Fuzzes the host's door with what strangers can make happen: connections
// opening from a few addresses, greeting with right or wrong codes, going,
// and time passing, the fuzz target playing the host as game_host.cpp does.
// It checks what must hold whatever comes: no more silent connections than
// slots once room is made, the door taking nobody while every slot is in
// its grace, few greetings waiting, nothing overdue once the host has acted,
// no more than five wrong codes from one address checked in any second
// (three at once, then after 250 and 500 ms), and a notice that fits its
// room.
//
// Input format: one event per byte, its low three bits the kind: open a
// connection (from the address of bits 3..5), greet from the silent
// connection of bits 3..7 (a right code when bit 7 is set), close the
// connection of bits 3..7, let bits 3..7 times 25 ms pass, or let them
// pass in seconds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "net/admission.hpp"

namespace {

using namespace net;

struct Host {
    Admission door;
    long long now = 0;
    int nextId = 0;
    std::vector<int> silent; // ids the host holds that have not greeted
    std::vector<int> waiting;
    std::vector<std::deque<long long>> wrongChecks = std::vector<std::deque<long long>>(8);
    std::vector<int> addressOf = {};

    static PeerAddress address(int n) {
        PeerAddress a;
        a.bytes[10] = a.bytes[11] = 0xFF;
        a.bytes[15] = static_cast<unsigned char>(n);
        a.text = "198.51.100." + std::to_string(n);
        return a;
    }

    void close(std::vector<int>& from, int id, bool turnedAway) {
        std::erase(from, id);
        door.gone(id, turnedAway, now);
    }

    void checkCode(int id, bool right) {
        door.checked(id, right, now);
        if (right)
            return;
        std::deque<long long>& times = wrongChecks[static_cast<std::size_t>(addressOf[id])];
        times.push_back(now);
        while (now - times.front() >= 1000)
            times.pop_front();
        check(times.size() <= Admission::freeTries + 2, "wrong codes checked too fast");
    }

    void open(int a) {
        if (!door.mayAccept(now))
            return;
        int id = nextId++;
        addressOf.push_back(a);
        silent.push_back(id);
        door.opened(id, address(a), now);
        for (int out = door.givesWay(now); out >= 0; out = door.givesWay(now)) {
            check(std::erase(silent, out) == 1, "a connection that is not silent gives way");
            door.gone(out, true, now);
        }
        check(static_cast<int>(silent.size()) <= Admission::greetingSlots,
              "more silent than slots");
    }

    void greet(std::size_t which, bool right) {
        if (silent.empty())
            return;
        int id = silent[which % silent.size()];
        std::erase(silent, id);
        switch (door.hello(id, now)) {
        case Verdict::Check: checkCode(id, right); break;
        case Verdict::Wait: waiting.push_back(id); break;
        case Verdict::Drop: break;
        }
        check(static_cast<int>(waiting.size()) <= Admission::maxWaiting, "too many waiting");
    }

    // What the host does whenever it serves: times up, turns taken.
    void act() {
        for (int id = door.expired(now); id >= 0; id = door.expired(now)) {
            check(std::erase(silent, id) == 1, "a connection expires that is not silent");
            door.gone(id, true, now);
        }
        for (int id = door.nextTurn(now); id >= 0; id = door.nextTurn(now)) {
            check(std::erase(waiting, id) == 1, "a turn for a connection that does not wait");
            checkCode(id, id % 3 == 0);
        }
        long long due = door.nextDue(now);
        check(due < 0 || due > now, "something overdue after the host acted");
        bool full = static_cast<int>(silent.size()) >= Admission::greetingSlots;
        check(door.mayAccept(now) || full, "the door closed with slots free");
        for (std::size_t width : {std::size_t{10}, std::size_t{46}, std::size_t{56}})
            check(door.notice(now, width).size() <= width, "a notice wider than its room");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Host host;
    for (size_t i = 0; i < size; ++i) {
        unsigned arg = data[i] >> 3;
        switch (data[i] & 7) {
        case 0:
        case 1: host.open(static_cast<int>(arg & 7)); break;
        case 2:
        case 3: host.greet(arg & 15, (arg & 16) != 0); break;
        case 4:
            if (!host.silent.empty())
                host.close(host.silent, host.silent[arg % host.silent.size()], false);
            else if (!host.waiting.empty())
                host.close(host.waiting, host.waiting[arg % host.waiting.size()], false);
            break;
        case 5:
        case 6: host.now += arg * 25LL; break;
        default: host.now += arg * 1000LL; break;
        }
        host.act();
    }
    return 0;
}
