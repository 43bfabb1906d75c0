// SPDX-License-Identifier: MIT
// Turns the bytes a terminal sends into key events. A pure unit: bytes and
// the time they arrived go in, events come out; no terminal, no clock.
// Knows the legacy encodings (CSI/SS3 arrows, plain bytes) and the kitty
// keyboard protocol (CSI ... u and CSI 1;mods:event A..D), focus reports and
// the replies to the start-up queries. Unknown or broken sequences are
// skipped whole; its state is bounded whatever arrives.
//
// How the ambiguous cases are read:
// - A plain byte (a letter, digit or punctuation key of input/key_table.hpp,
//   in either case) and a lone ESC are taps: KeyPress followed
//   at once by KeyRelease, since no release will ever follow them. Arrows
//   and kitty keys give the press alone; their release comes as its own event.
// - Where a key sits: the kitty protocol's base-layout key, when the
//   terminal sends one; otherwise the key counts as sitting where it does on
//   a US keyboard (a legacy 'z' is the key at Z).
// - Modifiers never change which game key it is: Shift, Ctrl or Alt held with
//   an arrow or a letter is still that key, as a keyboard-state query would
//   see it. Ctrl with a letter comes as a control byte (Ctrl+W as 23, Ctrl+A
//   as 1, Ctrl+S as 19, Ctrl+D as 4). Only Ctrl with C, Z or \ means
//   something else (Interrupt, Suspend, Quit).
// - A terminal sends the bytes of one key in one write, so the session says
//   where each read ends. ESC followed in the same read by a byte that starts
//   no sequence is that byte with Alt held (ESC w is Alt+W, so W), never
//   Escape: a thumb resting on Alt must not end the game. An ESC that ends
//   its read is the Escape key unless the next read, within the delay,
//   continues it as a sequence (a split CSI, SS3 or string): the other
//   player's autorepeat right after it cannot swallow it. ESC ESC in one read
//   is Alt+Escape: the second ESC waits for its own delay. ESC [ and ESC O
//   start CSI and SS3, so Alt+[ and Alt+Shift+O swallow the key that follows.
// - Bytes 3, 26, 28, CR and LF act wherever they arrive, also inside a
//   sequence, which they abandon: Ctrl-C always gets through. CAN (24)
//   abandons a sequence silently. A stray ESC abandons it and starts a new one.
// - CSI and SS3 end at a final byte 0x40..0x7E; one longer than 256 bytes, or
//   with intermediate or misplaced bytes, is skipped there. OSC, DCS, SOS, PM
//   and APC strings are skipped to BEL or ESC (ST is ESC \). Other C0 bytes
//   and bytes 0x80..0xFF (UTF-8 text, 8-bit controls) are ignored.
#pragma once

#include "input/key_state.hpp"

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
        Quit,             // Ctrl-\, as byte 28 or as a kitty key
        Enter,            // CR, LF or the kitty Enter key (press only)
        KittyFlags,       // reply to CSI ? u: the terminal speaks the protocol
        DeviceAttributes, // reply to CSI c (primary device attributes)
    };
    Kind kind;
    int key;          // for the three key kinds: a virtual-key code of game/keys.hpp;
                      // for KittyFlags: the flags the terminal reports; otherwise 0
    int position = 0; // for the key kinds: the code of the US key where it sits
};

// The key event of a key press, repeat or release, or of a lost focus
// (every key up); false for every other event.
bool keyEventOf(const InputEvent& event, KeyEvent& key);

struct Events;
// Hands the key events among `events` to `keys`, in order.
void applyKeyEvents(const Events& events, KeyState& keys);

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

    // The bytes of one read have all been added: an ESC that ends it came
    // alone, as the Escape key or as the start of a sequence split in two.
    void endOfRead();

private:
    enum class Mode : unsigned char { Ground, Escape, Sequence, String };
    // Parameters kept of a sequence: code;mods;text, each with its colon
    // parts (code:shifted:base, mods:event). Further ones are ignored.
    static constexpr int maxFields = 3;
    static constexpr int maxParts = 3;
    static constexpr int maxLength = 256;

    void ground(Events& out, unsigned char byte, long long nowMs);
    void afterEscape(Events& out, unsigned char byte, long long nowMs);
    void inSequence(Events& out, unsigned char byte, long long nowMs);
    void inString(unsigned char byte, long long nowMs);
    void startEscape(long long nowMs);
    void startSequence(bool ss3);
    void parameter(unsigned char byte);
    void finish(Events& out, unsigned char final) const;
    void kittyKey(Events& out) const;
    int value(int field, int part, int fallback) const;

    // Implementation state: fixed size, no heap.
    Mode mode_ = Mode::Ground;
    long long escapeAt_ = -1;  // when a pending lone ESC becomes Escape
    bool escapeAlone_ = false; // the pending ESC ended its read
    // The control sequence being read, parsed as it arrives.
    bool ss3_ = false;
    bool skip_ = false;        // broken, overlong or unknown: skipped at its end
    unsigned char marker_ = 0; // private marker ('?' in the query replies)
    int length_ = 0;           // bytes after the introducer, up to maxLength + 1
    int field_ = 0;
    int part_ = 0;
    int values_[maxFields][maxParts] = {}; // -1 where no digit came
};

} // namespace term
