// Turns the bytes a terminal sends into key events. A pure unit: bytes and
// the time they arrived go in, events come out; no terminal, no clock.
// Knows the legacy encodings (CSI/SS3 arrows, plain bytes) and the kitty
// keyboard protocol (CSI ... u and CSI 1;mods:event A..D), focus reports and
// the replies to the start-up queries. Unknown or broken sequences are
// skipped whole; its state is bounded whatever arrives.
#pragma once

namespace term {

struct InputEvent {
    enum Kind : unsigned char {
        KeyPress,         // a key went down (kitty) or a key arrived (legacy)
        KeyRepeat,        // kitty: the held key repeats
        KeyRelease,       // kitty: the key went up
        FocusIn,          // CSI I
        FocusOut,         // CSI O
        Interrupt,        // Ctrl-C, as byte 3 or as a kitty key
        Suspend,          // Ctrl-Z, as byte 26 or as a kitty key
        Enter,            // CR, LF or the kitty Enter key (press only)
        KittyFlags,       // reply to CSI ? u: the terminal speaks the protocol
        DeviceAttributes, // reply to CSI c (primary device attributes)
    };
    Kind kind;
    int key; // for the three key kinds: a virtual-key code of game/keys.hpp
};

// At most this many events complete with one byte or one timeout.
constexpr int maxEventsPerStep = 4;

struct Events {
    InputEvent items[maxEventsPerStep];
    int count = 0;
};

class InputDecoder {
public:
    // A lone ESC is the Escape key once nothing follows within this time.
    static constexpr int escapeDelayMs = 30;

    // One byte that arrived at nowMs (milliseconds of any monotonic clock).
    Events add(unsigned char byte, long long nowMs);

    // No byte has arrived up to nowMs: a lone ESC becomes Escape once its
    // delay has passed.
    Events timeout(long long nowMs);

    // When timeout() has something to do, or -1 when nothing is pending.
    long long deadline() const;

private:
    // Implementation state: fixed size, no heap.
    unsigned char buffer_[64];
    int length_ = 0;
    bool overflow_ = false;
    long long escapeAt_ = -1;
    int state_ = 0;
};

} // namespace term
