// SPDX-License-Identifier: MIT
// Fuzzes the input decoder and the key state with what a terminal could
// send, and checks what must hold whatever arrives.
//
// The input is the terminal's bytes, all arriving in one read at the same
// moment, with one twist so that the fuzzer steers reads and the clock too:
// a NUL byte (fed to the decoder like any other) is followed by a gap byte
// g; the read ends there, and the clock moves on by g milliseconds below
// 200, or by (g - 199) seconds above, before the next read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_check.hpp"
#include "game/keys.hpp"
#include "input/key_state.hpp"
#include "input/key_table.hpp"
#include "platform/terminal/input_decoder.hpp"

namespace {

using term::Events;
using term::InputDecoder;
using term::InputEvent;

// Every code a poll may ask for: each bindable key and Escape, by what it
// types and by where it sits.
const std::vector<int>& gameKeys() {
    static const std::vector<int> keys = [] {
        std::vector<int> all = {vkEscape, atPosition(vkEscape)};
        for (const BindableKey& entry : bindableKeys()) {
            all.push_back(entry.key);
            all.push_back(atPosition(entry.key));
        }
        return all;
    }();
    return keys;
}

// A key of the table, or Escape; 0 where the event carries nothing of
// that kind (a key that types nothing the game knows, a place not known).
bool isGameKey(int key) {
    return key == 0 || key == vkEscape || key == vkSpace || bindableKey(key) != nullptr;
}

void checkEvents(const Events& events) {
    check(events.count >= 0 && events.count <= term::maxEventsPerStep, "event count out of range");
    for (int i = 0; i < events.count; ++i) {
        const InputEvent& e = events.items[i];
        check(e.kind <= InputEvent::DeviceAttributes, "unknown event kind");
        if (e.kind <= InputEvent::KeyRelease)
            check(isGameKey(e.key) && isGameKey(e.position) && (e.key != 0 || e.position != 0),
                  "key event for a key the game does not have");
        else if (e.kind == InputEvent::KittyFlags)
            check(e.key >= 0, "negative kitty flags");
        else
            check(e.key == 0, "key code on an event that is no key");
    }
}

bool same(const Events& a, const Events& b) {
    if (a.count != b.count)
        return false;
    for (int i = 0; i < a.count; ++i)
        if (a.items[i].kind != b.items[i].kind || a.items[i].key != b.items[i].key ||
            a.items[i].position != b.items[i].position)
            return false;
    return true;
}

// The decoder twice in step (it must be pure: the same bytes at the same
// times give the same events), and a key state in each mode fed from it.
struct Rig {
    InputDecoder decoder;
    InputDecoder twin;
    KeyState legacy;
    KeyState kitty;
    long long now = 1000000;

    Rig() { kitty.setReportsReleases(true); }

    void take(const Events& events, const Events& again) {
        checkEvents(events);
        check(same(events, again), "two decoders fed alike disagree");
        long long due = decoder.deadline();
        check(due == -1 || due > now, "deadline already passed after a step");
        for (int i = 0; i < events.count; ++i) {
            KeyEvent key{};
            if (term::keyEventOf(events.items[i], key)) {
                legacy.apply(key);
                kitty.apply(key);
            }
            if (events.items[i].kind == InputEvent::FocusOut)
                checkAllReleased();
        }
        checkPolls(legacy, false);
        checkPolls(kitty, true);
    }

    void add(unsigned char byte) { take(decoder.add(byte, now), twin.add(byte, now)); }

    void advance(unsigned char gap) {
        decoder.endOfRead();
        twin.endOfRead();
        now += gap < 200 ? gap : (gap - 199) * 1000LL;
        long long due = decoder.deadline();
        Events events = decoder.timeout(now);
        check(due == -1 || now >= due || events.count == 0, "timeout acted before the deadline");
        take(events, twin.timeout(now));
    }

    // Polling again with no event between never reports more; in legacy
    // mode the second poll finds the latch taken.
    static void checkPolls(KeyState& keys, bool kittyMode) {
        for (int key : gameKeys()) {
            bool first = keys.poll(key);
            bool second = keys.poll(key);
            check(first || !second, "a second poll found more than the first");
            check(kittyMode || !second, "a legacy latch survived its poll");
        }
    }

    void checkAllReleased() {
        for (int key : gameKeys())
            check(!legacy.poll(key) && !kitty.poll(key), "a key survived focus-out");
    }
};

bool has(const Events& events, InputEvent::Kind kind, int key = 0) {
    for (int i = 0; i < events.count; ++i)
        if (events.items[i].kind == kind && events.items[i].key == key)
            return true;
    return false;
}

// Whatever state the bytes left the decoder in, Ctrl-C and Ctrl-\ get
// through, an ESC alone in its read is Escape as soon as another key
// follows in a read of its own, and once the delay is over an arrow key
// decodes as itself.
void checkRecovery(const Rig& rig) {
    InputDecoder interrupted = rig.decoder;
    check(has(interrupted.add(3, rig.now), InputEvent::Interrupt), "Ctrl-C swallowed");
    InputDecoder quit = rig.decoder;
    check(has(quit.add(28, rig.now), InputEvent::Quit), "Ctrl-\\ swallowed");

    InputDecoder escaped = rig.decoder;
    escaped.endOfRead();
    Events events = escaped.add(0x1B, rig.now);
    escaped.endOfRead();
    checkEvents(events);
    events = escaped.add('a', rig.now + 1);
    check(has(events, InputEvent::KeyPress, vkEscape) && has(events, InputEvent::KeyPress, vkA),
          "an Escape followed by another key's read was lost");

    InputDecoder later = rig.decoder;
    long long then = rig.now + 1000;
    later.endOfRead();
    checkEvents(later.timeout(then));
    check(later.add(0x1B, then).count == 0 && later.add('[', then).count == 0,
          "an arrow's first bytes gave events");
    events = later.add('D', then);
    check(events.count == 1 && events.items[0].kind == InputEvent::KeyPress &&
              events.items[0].key == vkLeft,
          "an arrow after the input did not decode");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Rig rig;
    for (size_t i = 0; i < size; ++i) {
        rig.add(data[i]);
        if (data[i] == 0 && i + 1 < size)
            rig.advance(data[++i]);
    }
    checkRecovery(rig);
    return 0;
}
