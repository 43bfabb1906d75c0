// Which keys a poll reports: held keys in kitty mode, latched arrivals in
// legacy mode, and what focus-out and a mode switch release.
#include <string_view>

#include <gtest/gtest.h>

#include "game/keys.hpp"
#include "input_decoder.hpp"
#include "key_state.hpp"

namespace {

using term::InputEvent;
using term::KeyState;

void press(KeyState& keys, int key) { keys.apply({InputEvent::KeyPress, key}); }
void repeat(KeyState& keys, int key) { keys.apply({InputEvent::KeyRepeat, key}); }
void release(KeyState& keys, int key) { keys.apply({InputEvent::KeyRelease, key}); }

KeyState kittyKeys() {
    KeyState keys;
    keys.setKitty(true);
    return keys;
}

TEST(KittyKeyState, TwoKeysHeldTogetherWhileOnlyTheLatestRepeats) {
    KeyState keys = kittyKeys();
    press(keys, vkA);
    EXPECT_TRUE(keys.poll(vkA));
    press(keys, vkLeft);
    for (int frame = 0; frame < 5; ++frame) {
        repeat(keys, vkLeft); // A has stopped repeating but is still down
        EXPECT_TRUE(keys.poll(vkLeft)) << frame;
        EXPECT_TRUE(keys.poll(vkA)) << frame;
    }
    release(keys, vkLeft);
    EXPECT_FALSE(keys.poll(vkLeft));
    EXPECT_TRUE(keys.poll(vkA));
    release(keys, vkA);
    EXPECT_FALSE(keys.poll(vkA));
    EXPECT_FALSE(keys.poll(vkW));
}

TEST(KittyKeyState, PressAndReleaseBetweenPollsCountOnce) {
    KeyState keys = kittyKeys();
    press(keys, vkW);
    release(keys, vkW);
    press(keys, vkW);
    release(keys, vkW);
    EXPECT_TRUE(keys.poll(vkW));
    EXPECT_FALSE(keys.poll(vkW));
    // Polled while down, released before the next poll: nothing more owed.
    press(keys, vkS);
    EXPECT_TRUE(keys.poll(vkS));
    release(keys, vkS);
    EXPECT_FALSE(keys.poll(vkS));
}

TEST(KittyKeyState, RepeatOfAKeyNotMarkedDownHoldsIt) {
    // Its press came before focus came back; the repeat shows it is down.
    KeyState keys = kittyKeys();
    repeat(keys, vkD);
    EXPECT_TRUE(keys.poll(vkD));
    EXPECT_TRUE(keys.poll(vkD));
    release(keys, vkD);
    EXPECT_FALSE(keys.poll(vkD));
}

TEST(LegacyKeyState, ArrivalLatchesUntilThatKeysNextPoll) {
    KeyState keys;
    press(keys, vkA);
    release(keys, vkA); // plain bytes come as taps; the latch stays
    press(keys, vkA);
    press(keys, vkW);
    EXPECT_TRUE(keys.poll(vkA));
    EXPECT_FALSE(keys.poll(vkA));
    EXPECT_TRUE(keys.poll(vkW)); // polling A took nothing from W
    EXPECT_FALSE(keys.poll(vkW));
    // Autorepeat keeps a held key arriving, so it counts at every poll.
    for (int frame = 0; frame < 3; ++frame) {
        press(keys, vkUp);
        EXPECT_TRUE(keys.poll(vkUp)) << frame;
    }
    EXPECT_FALSE(keys.poll(vkUp));
}

TEST(KeyStateFocus, FocusOutReleasesEveryKeyAndClearsLatches) {
    for (bool kitty : {false, true}) {
        KeyState keys;
        keys.setKitty(kitty);
        press(keys, vkA);
        press(keys, vkLeft);
        press(keys, vkEscape);
        keys.apply({InputEvent::FocusOut, 0});
        for (int key : {vkA, vkLeft, vkEscape})
            EXPECT_FALSE(keys.poll(key)) << "kitty " << kitty << " key " << key;
        keys.apply({InputEvent::FocusIn, 0});
        press(keys, vkA);
        EXPECT_TRUE(keys.poll(vkA));
    }
}

TEST(KeyStateSwitch, LeavingKittyModeReleasesHeldKeysButKeepsWhatIsOwed) {
    KeyState keys = kittyKeys();
    press(keys, vkA);
    press(keys, vkD);
    EXPECT_TRUE(keys.poll(vkD));
    keys.setKitty(false); // no release will come any more
    EXPECT_TRUE(keys.poll(vkA)); // its press is still owed once
    EXPECT_FALSE(keys.poll(vkA));
    EXPECT_FALSE(keys.poll(vkD));
}

TEST(KeyStateBounds, KeysOutsideTheTableAreIgnored) {
    KeyState keys = kittyKeys();
    for (int key : {-1, 256, 100000}) {
        press(keys, key);
        EXPECT_FALSE(keys.poll(key));
    }
    keys.apply({InputEvent::Interrupt, 0});
    keys.apply({InputEvent::KittyFlags, 11});
    EXPECT_FALSE(keys.poll(0));
    EXPECT_FALSE(keys.poll(11));
}

// The two units together, as the session drives them: Left and A held at
// once in a kitty terminal, where only A, pressed last, repeats.
TEST(KeyStateFromBytes, KittyTerminalHoldingLeftAndA) {
    term::InputDecoder decoder;
    KeyState keys = kittyKeys();
    auto feed = [&](std::string_view bytes) {
        for (char c : bytes) {
            term::Events events = decoder.add(static_cast<unsigned char>(c), 0);
            for (int i = 0; i < events.count; ++i)
                keys.apply(events.items[i]);
        }
    };
    feed("\x1b[D\x1b[97u");
    for (int frame = 0; frame < 4; ++frame) {
        EXPECT_TRUE(keys.poll(vkLeft)) << frame;
        EXPECT_TRUE(keys.poll(vkA)) << frame;
        feed("\x1b[97;1:2u");
    }
    feed("\x1b[1;1:3D");
    EXPECT_FALSE(keys.poll(vkLeft));
    EXPECT_TRUE(keys.poll(vkA));
    feed("\x1b[97;1:3u");
    EXPECT_FALSE(keys.poll(vkA));
}

} // namespace
