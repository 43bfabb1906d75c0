// SPDX-License-Identifier: MIT
// The terminal's bytes as key events; see the header for how the ambiguous
// cases are read.
#include "platform/terminal/input_decoder.hpp"

#include <climits>

#include "game/keys.hpp"
#include "input/key_table.hpp"

namespace term {

namespace {

constexpr unsigned char esc = 0x1B;
constexpr int absent = -1;
constexpr int maxValue = 9999999; // larger numbers are garbage; they saturate

// Kitty's modifier bits (the field is 1 + bits); Caps Lock and Num Lock
// are reported too and mean nothing here.
constexpr int modCtrl = 4;
constexpr int modLocks = 64 | 128;

// Kitty's key numbers besides plain characters.
constexpr int kittyEnter = 13;
constexpr int kittyEscape = 27;
constexpr int kittyKeypadEnter = 57414;
constexpr int kittyKeypadLeft = 57417; // then right, up, down

void push(Events& out, InputEvent::Kind kind, int key = 0, int position = 0) {
    if (out.count < maxEventsPerStep)
        out.items[out.count++] = InputEvent{kind, key, position};
}

// Without the kitty protocol nothing says where a key sits: it counts as
// sitting where it does on a US keyboard.
void tap(Events& out, int key) {
    push(out, InputEvent::KeyPress, key, key);
    push(out, InputEvent::KeyRelease, key, key);
}

// Event 1 is a press, 2 a repeat, 3 a release; anything else is unknown.
void keyEvent(Events& out, int event, int key, int position) {
    if ((key == 0 && position == 0) || event < 1 || event > 3)
        return;
    static constexpr InputEvent::Kind kinds[] = {InputEvent::KeyPress, InputEvent::KeyRepeat,
                                                 InputEvent::KeyRelease};
    push(out, kinds[event - 1], key, position);
}

int lowerCase(int code) { return code >= 'A' && code <= 'Z' ? code - 'A' + 'a' : code; }

// A byte without the kitty protocol: what a key types, or a letter with
// Ctrl held, which terminals send as its control byte (Ctrl+A is 1 ...
// Ctrl+Z is 26). Backspace and Tab send the bytes of Ctrl+H and Ctrl+I,
// and are no game keys. The space bar and + (the = key with Shift) are
// a replay's.
int legacyKey(unsigned char byte) {
    if (byte == '\b' || byte == '\t')
        return 0;
    if (byte == ' ')
        return vkSpace;
    if (byte == '+')
        return keyTyping('=');
    return keyTyping(byte >= 1 && byte <= 26 ? byte - 1 + 'a' : byte);
}

int arrowKey(unsigned char final) {
    switch (final) {
    case 'A': return vkUp;
    case 'B': return vkDown;
    case 'C': return vkRight;
    case 'D': return vkLeft;
    default: return 0;
    }
}

// A kitty key number as the game's code: Escape, an arrow on the keypad,
// or a key that types a character.
int kittyGameKey(int code) {
    static constexpr int keypadArrows[] = {vkLeft, vkRight, vkUp, vkDown};
    if (code == kittyEscape)
        return vkEscape;
    if (code >= kittyKeypadLeft && code < kittyKeypadLeft + 4)
        return keypadArrows[code - kittyKeypadLeft];
    if (code == ' ')
        return vkSpace;
    return code > 0 && code < 0x80 ? keyTyping(code) : 0;
}

// Bytes that act wherever they arrive and abandon any sequence under way.
bool abandonsSequence(unsigned char byte) {
    return byte == 3 || byte == 26 || byte == 28 || byte == '\r' || byte == '\n' || byte == 24;
}

void control(Events& out, unsigned char byte) {
    if (byte == 3)
        push(out, InputEvent::Interrupt);
    else if (byte == 26)
        push(out, InputEvent::Suspend);
    else if (byte == 28)
        push(out, InputEvent::Quit);
    else if (byte == '\r' || byte == '\n')
        push(out, InputEvent::Enter);
}

bool startsString(unsigned char byte) {
    return byte == ']' || byte == 'P' || byte == 'X' || byte == '^' || byte == '_';
}

// The bytes after ESC that make it the start of a sequence.
bool continuesEscape(unsigned char byte) {
    return byte == '[' || byte == 'O' || startsString(byte);
}

// Times are milliseconds of a monotonic clock; one outside what such a
// clock gives is pulled in, so that the deadline cannot overflow.
long long deadlineAfter(long long nowMs) {
    constexpr long long latest = LLONG_MAX - InputDecoder::escapeDelayMs;
    return (nowMs < 0 ? 0 : nowMs > latest ? latest : nowMs) + InputDecoder::escapeDelayMs;
}

} // namespace

bool keyEventOf(const InputEvent& event, KeyEvent& key) {
    switch (event.kind) {
    case InputEvent::KeyPress: key = {KeyEvent::Press, event.key, event.position}; return true;
    case InputEvent::KeyRepeat: key = {KeyEvent::Repeat, event.key, event.position}; return true;
    case InputEvent::KeyRelease: key = {KeyEvent::Release, event.key, event.position}; return true;
    case InputEvent::FocusOut: key = {KeyEvent::ReleaseAll, 0}; return true;
    default: return false;
    }
}

void applyKeyEvents(const Events& events, KeyState& keys) {
    KeyEvent key{};
    for (int i = 0; i < events.count; ++i)
        if (keyEventOf(events.items[i], key))
            keys.apply(key);
}

Events InputDecoder::add(unsigned char byte, long long nowMs) {
    // A delay that ran out before this byte came made its ESC the Escape key.
    Events out = timeout(nowMs);
    if (mode_ == Mode::Escape && escapeAlone_ && !continuesEscape(byte)) {
        // The ESC came alone and this later byte does not go on with it:
        // it was the Escape key, and this byte is a key of its own.
        tap(out, vkEscape);
        mode_ = Mode::Ground;
    }
    if (abandonsSequence(byte)) {
        mode_ = Mode::Ground;
        control(out, byte);
        return out;
    }
    switch (mode_) {
    case Mode::Ground: ground(out, byte, nowMs); break;
    case Mode::Escape: afterEscape(out, byte, nowMs); break;
    case Mode::Sequence: inSequence(out, byte, nowMs); break;
    case Mode::String: inString(byte, nowMs); break;
    }
    return out;
}

Events InputDecoder::timeout(long long nowMs) {
    Events out{};
    if (mode_ == Mode::Escape && nowMs >= escapeAt_) {
        tap(out, vkEscape);
        mode_ = Mode::Ground;
    }
    return out;
}

void InputDecoder::endOfRead() { escapeAlone_ = mode_ == Mode::Escape; }

long long InputDecoder::deadline() const { return mode_ == Mode::Escape ? escapeAt_ : -1; }

void InputDecoder::ground(Events& out, unsigned char byte, long long nowMs) {
    if (byte == esc)
        startEscape(nowMs);
    else if (int key = legacyKey(byte))
        tap(out, key);
}

void InputDecoder::afterEscape(Events& out, unsigned char byte, long long nowMs) {
    if (byte == '[' || byte == 'O') {
        startSequence(byte == 'O');
    } else if (startsString(byte)) {
        mode_ = Mode::String;
    } else {
        // Alt held with this key, sent with it: the ESC was only its prefix.
        mode_ = Mode::Ground;
        ground(out, byte, nowMs);
    }
}

void InputDecoder::inSequence(Events& out, unsigned char byte, long long nowMs) {
    if (byte == esc)
        return startEscape(nowMs);
    if (byte < 0x20 || byte == 0x7F)
        return; // other controls are not part of it
    if (length_ <= maxLength)
        ++length_;
    if (length_ > maxLength)
        skip_ = true;
    if (byte >= 0x40 && byte <= 0x7E) {
        finish(out, byte);
        mode_ = Mode::Ground;
    } else if (byte >= 0x30 && byte <= 0x3F) {
        parameter(byte);
    } else {
        skip_ = true; // intermediates (none of the sequences known here has them), 8-bit bytes
    }
}

void InputDecoder::inString(unsigned char byte, long long nowMs) {
    if (byte == 0x07)
        mode_ = Mode::Ground;
    else if (byte == esc)
        startEscape(nowMs); // ESC \ ends it; ESC anything else starts anew
}

void InputDecoder::startEscape(long long nowMs) {
    mode_ = Mode::Escape;
    escapeAt_ = deadlineAfter(nowMs);
    escapeAlone_ = false;
}

void InputDecoder::startSequence(bool ss3) {
    mode_ = Mode::Sequence;
    ss3_ = ss3;
    skip_ = false;
    marker_ = 0;
    length_ = 0;
    field_ = 0;
    part_ = 0;
    for (auto& field : values_)
        for (int& part : field)
            part = absent;
}

// Digits, ';' between fields, ':' between parts of a field, and a private
// marker ('<' '=' '>' '?') allowed only as the first byte.
void InputDecoder::parameter(unsigned char byte) {
    if (byte <= '9') {
        if (field_ < maxFields && part_ < maxParts) {
            int& v = values_[field_][part_];
            int digit = byte - '0';
            v = v == absent ? digit : v > (maxValue - digit) / 10 ? maxValue : v * 10 + digit;
        }
    } else if (byte == ';') {
        field_ = field_ < maxFields ? field_ + 1 : maxFields;
        part_ = 0;
    } else if (byte == ':') {
        part_ = part_ < maxParts ? part_ + 1 : maxParts;
    } else if (length_ == 1) {
        marker_ = byte;
    } else {
        skip_ = true;
    }
}

int InputDecoder::value(int field, int part, int fallback) const {
    int v = values_[field][part];
    return v == absent ? fallback : v;
}

void InputDecoder::finish(Events& out, unsigned char final) const {
    if (skip_)
        return;
    bool bare = field_ == 0 && part_ == 0 && values_[0][0] == absent;
    if (marker_ == '?') {
        if (final == 'u' && !ss3_)
            push(out, InputEvent::KittyFlags, value(0, 0, 0));
        else if (final == 'c' && !ss3_)
            push(out, InputEvent::DeviceAttributes);
    } else if (marker_ != 0) {
        return;
    } else if (int arrow = arrowKey(final)) {
        // Legacy CSI A, SS3 A, CSI 1;5A; kitty CSI 1;mods:event A.
        if (value(0, 0, 1) == 1)
            keyEvent(out, value(1, 1, 1), arrow, arrow);
    } else if (ss3_) {
        if (final == 'M' && bare) // Enter on the keypad in application mode
            push(out, InputEvent::Enter);
    } else if (final == 'u') {
        kittyKey(out);
    } else if ((final == 'I' || final == 'O') && bare) {
        push(out, final == 'I' ? InputEvent::FocusIn : InputEvent::FocusOut);
    }
}

// CSI code[:shifted[:base]] ; mods[:event] [; text] u. The base-layout
// key, sent where it differs from the code, is the key at that place on a
// US keyboard: where the key sits.
void InputDecoder::kittyKey(Events& out) const {
    int code = value(0, 0, 0);
    int mods = (value(1, 0, 1) - 1) & ~modLocks;
    int event = value(1, 1, 1);
    bool ctrl = mods >= 0 && (mods & modCtrl) != 0;
    InputEvent::Kind kind;
    if (ctrl && lowerCase(code) == 'c')
        kind = InputEvent::Interrupt;
    else if (ctrl && lowerCase(code) == 'z')
        kind = InputEvent::Suspend;
    else if (ctrl && code == '\\')
        kind = InputEvent::Quit;
    else if (code == kittyEnter || code == kittyKeypadEnter)
        kind = InputEvent::Enter;
    else {
        int key = kittyGameKey(code);
        int base = value(0, 2, 0);
        return keyEvent(out, event, key, base > 0 ? kittyGameKey(base) : key);
    }
    if (event == 1) // these act on the press; their repeats and release mean nothing
        push(out, kind);
}

} // namespace term
