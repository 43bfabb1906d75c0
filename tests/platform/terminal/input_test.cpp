// SPDX-License-Identifier: MIT
// The terminal's bytes as key events (legacy and kitty keys, replies, the ESC
// delay, what is skipped), and which keys the game's polls find from them.
#include <climits>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "game/keys.hpp"
#include "input/key_state.hpp"
#include "input/key_table.hpp"
#include "platform/terminal/input_decoder.hpp"

namespace {

using term::InputDecoder;
using term::InputEvent;

void join(std::string& text, const std::string& word) {
    text.append(text.empty() ? "" : " ").append(word);
}

std::string keyName(int key) {
    static const std::map<int, std::string> names = {
        {vkEscape, "Esc"}, {vkSpace, "Space"}, {0, ""}};
    if (key >= positionBase)
        return std::string("@").append(keyName(key - positionBase));
    const BindableKey* entry = bindableKey(key);
    return names.contains(key) ? names.at(key) : entry != nullptr ? entry->label : "?";
}

// Events as text: "+A" press, "*A" repeat, "-A" release, others by name; a
// key that sits elsewhere than it would on a US keyboard with "@" and the
// US key that sits there ("+Z@W").
void append(std::string& text, const term::Events& events) {
    static const char* const kinds[] = {"+",        "*",         "-",         "FocusIn",
                                        "FocusOut", "Interrupt", "Suspend",   "Quit",
                                        "Enter",    "Flags:",    "Attributes"};
    for (int i = 0; i < events.count; ++i) {
        const InputEvent& e = events.items[i];
        std::string flags = e.kind == InputEvent::KittyFlags ? std::to_string(e.key) : "";
        std::string key = e.kind <= InputEvent::KeyRelease ? keyName(e.key) : flags;
        if (e.kind <= InputEvent::KeyRelease && e.position != e.key)
            key.append("@").append(keyName(e.position));
        join(text, kinds[e.kind] + key);
    }
}

// A fresh decoder's events for the bytes before the cut, read at 0, and the
// rest, read at gapMs, with the ESC delay run out at the end.
std::string decode(std::string_view bytes, size_t cut = 0, long long gapMs = 0) {
    InputDecoder decoder;
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == cut && cut > 0)
            decoder.endOfRead();
        append(text, decoder.add(static_cast<unsigned char>(bytes[i]), i < cut ? 0 : gapMs));
    }
    decoder.endOfRead();
    append(text, decoder.timeout(gapMs + InputDecoder::escapeDelayMs));
    return text;
}

// Bytes that arrive at once, and their events.
// clang-format off
const std::pair<std::string, std::string> cases[] = {
    // Legacy keys, Ctrl-C, Ctrl-Z and Enter; keys that no player can
    // choose (Home, Delete, F1, Shift+F5, Backspace, Tab, accented letters,
    // shifted punctuation but +, backquote, backslash) give nothing.
    {"\x1b[A\x1b[B\x1b[C\x1b[D\x1bOA\x1b[1;5D", "+Up +Down +Right +Left +Up +Left"},
    {"wAsD\x03\x1a\x1c\r\n\x1bOM",
     "+W -W +A -A +S -S +D -D Interrupt Suspend Quit Enter Enter Enter"},
    {"\x1b[H\x1b[3~\x1bOP\x1b[15;2~\x1b[3A\x7f\t\x08\xc3\xa9<?`\\", ""},
    // The space bar, and + as the key it is on: a replay's pause and speed.
    {" +\x1b[32u\x1b[32;1:3u", "+Space -Space += -= +Space -Space"},
    // Every other key a player may choose, legacy and kitty.
    {"qZ09,./;'[]-=\x02", "+Q -Q +Z -Z +0 -0 +9 -9 +, -, +. -. +/ -/ +; -; +' -' +[ -[ +] -] +- -- "
                          "+= -= +B -B"},
    {"\x1b[99u\x1b[99;0u\x1b[44u\x1b[61;1:3u\x1b[57;1:2u", "+C +C +, -= *9"},
    // Where a key sits, from the base-layout key: on a French keyboard the
    // key that types z sits where W does, and é where 2 does.
    {"\x1b[122::119u\x1b[122::119;1:3u\x1b[113::97;1:2u\x1b[233::50u\x1b[233::50;1:3u",
     "+Z@W -Z@W *Q@A +@2 -@2"},
    {"\x1b[90:90:119;2u\x1b[109::59u\x1b[44::109u", "+Z@W +M@; +,@M"},
    // Ctrl with a letter is a control byte: Ctrl+W is 23, and with Alt too.
    {"\x17\x01\x13\x04\x1b\x17", "+W -W +A -A +S -S +D -D +W -W"},
    // Kitty keys (unmodified arrow presses come legacy); modifiers and the lock
    // bits (64, 128) never change the key; Ctrl-C, Ctrl-Z and Enter act on a press.
    {"\x1b[97u\x1b[97;1:2u\x1b[97;1:3u\x1b[D\x1b[1;1:2D\x1b[1;1:3D", "+A *A -A +Left *Left -Left"},
    {"\x1b[27u\x1b[27;1:3u\x1b[119u\x1b[115;1:3u\x1b[100;1;100u", "+Esc -Esc +W -S +D"},
    {"\x1b[57417u\x1b[57420u\x1b[1;1:1A\x1b[97;1:4u\x1b[1;1:9D", "+Left +Down +Up"},
    {"\x1b[119;2u\x1b[119:87;2u\x1b[87;2u\x1b[97;5u\x1b[97;3u", "+W +W +W +A +A"},
    {"\x1b[97;65u\x1b[97;129:2u\x1b[97;193:3u\x1b[1;3:3D\x1b[100;6:3u", "+A *A -A -Left -D"},
    {"\x1b[99;5u\x1b[99;5:3u\x1b[67;69u\x1b[122;5u\x1b[122;5:2u", "Interrupt Interrupt Suspend"},
    {"\x1b[92;5u\x1b[92;5:3u\x1b[92u\x1b[92;7u", "Quit Quit"},
    {"\x1b[13u\x1b[13;1:2u\x1b[13;1:3u\x1b[13;2u\x1b[57414u", "Enter Enter Enter"},
    // Replies to the start-up queries and focus reports, not their look-alikes.
    {"\x1b[?11u\x1b[?u\x1b[?62c\x1b[>1;10;0c\x1b[>11u\x1b[=97u", "Flags:11 Flags:0 Attributes"},
    {"\x1b[O\x1b[I\x1b[2I\x1b[?O", "FocusOut FocusIn"},
    // ESC before a byte that starts no sequence is Alt with that key.
    {"\x1bw\x1b" "a\x1bx\x1b\x7f\x1b\\\x1b\x03\x1b\r", "+W -W +A -A +X -X Interrupt Enter"},
    // Garbage is skipped whole: unknown, broken and overlong sequences and
    // strings; a stray ESC starts anew; Ctrl-C, Ctrl-Z, Enter and CAN end it.
    {"\x1b[2J\x1b[38;5;196m\x1b[ q\x1b[1?u\x1b[1\xc3\xa9" "Aw", "+W -W"},
    {"\x1b[99999999999999999999u\x1b[;;;;;::::;;97uw", "+W -W"},
    {"\x1b[1;" + std::string(300, '1') + "A\x1b[D", "+Left"},
    {"\x1b[97" + std::string(160, ';') + "u", "+A"}, // long, but not overlong
    {"\x1b]0;wasd title\x07" "a\x1bP1$rwasd\x1b\\a", "+A -A +A -A"},
    {"\x1b_Gwasd\x1b\\\x1b^pm\x07\x1bXsos\x07\x1b]wasd\x1b[C", "+Right"},
    {"\x1b[1;\x1b[C\x1bO\x1bOA\x1b[97;1\x1b", "+Right +Up +Esc -Esc"},
    {"\x1b[1;\x03" "D\x1b]title\x1a\x1bP\r\x1b[1\x18" "D", "Interrupt +D -D Suspend Enter +D -D"},
    {"\x1b[1;\x1c" "D", "Quit +D -D"},
    {std::string("\x1b[\x00\x08\x7f" "D", 6), "+Left"}, // other controls are not part of it
};
// clang-format on

// Every key a player can choose, and its events: as the character it types
// without the kitty protocol (arrows as their sequences), and with it as its
// key number, where it sits coming from the base-layout key.
std::vector<std::pair<std::string, std::string>> everyKey() {
    static const std::map<int, std::string> arrows = {
        {vkUp, "\x1b[A"}, {vkDown, "\x1b[B"}, {vkRight, "\x1b[C"}, {vkLeft, "\x1b[D"}};
    std::vector<std::pair<std::string, std::string>> rows;
    for (const BindableKey& entry : bindableKeys()) {
        std::string name = entry.label;
        if (entry.character == 0) {
            rows.emplace_back(arrows.at(entry.key), "+" + name);
            continue;
        }
        std::string number = std::to_string(entry.character);
        std::string pressed = "+" + name;
        rows.emplace_back(std::string(1, entry.character), pressed.append(" -").append(name));
        rows.emplace_back("\x1b[" + number + "u", "+" + name);
        rows.emplace_back("\x1b[233::" + number + "u", "+@" + name);
    }
    return rows;
}

// Cut anywhere into two reads, the bytes give what they give whole if the
// rest comes within the delay. If it comes later, an ESC just before the cut
// was the Escape key, and the rest is read afresh; so it was too if the rest
// comes sooner but starts no sequence (a terminal sends Alt with a key in
// one write, so a key in a read of its own is a key of its own).
TEST(InputDecoder, DecodesEachInputWholeOrSplitAcrossReads) {
    std::vector<std::pair<std::string, std::string>> inputs = everyKey();
    inputs.insert(inputs.begin(), std::begin(cases), std::end(cases));
    for (const auto& [bytes, events] : inputs) {
        EXPECT_EQ(events, decode(bytes)) << testing::PrintToString(bytes);
        for (size_t cut = 1; cut < bytes.size(); ++cut) {
            std::string at = "cut " + std::to_string(cut) + " of " + testing::PrintToString(bytes);
            std::string late = decode(bytes.substr(0, cut));
            std::string tail = decode(bytes.substr(cut));
            late += tail.empty() || late.empty() ? tail : " " + tail;
            bool escapeBefore = bytes[cut - 1] == '\x1b';
            bool startsSequence = std::string_view("[O]PX^_").find(bytes[cut]) != std::string::npos;
            EXPECT_EQ(escapeBefore && !startsSequence ? late : events,
                      decode(bytes, cut, InputDecoder::escapeDelayMs - 1))
                << at;
            EXPECT_EQ(escapeBefore ? late : events, decode(bytes, cut, 60000)) << at;
        }
    }
}

// Player one holds Left or player two holds A, repeating 40 times a second,
// each repeat in a read of its own; Escape pressed at any moment between two
// repeats, even right after one, is the Escape key, and the repeats go on.
TEST(InputDecoder, EscapeIsNotLostWhileAnotherKeyRepeats) {
    const std::pair<std::string_view, int> held[] = {{"a", vkA}, {"\x1b[D", vkLeft}};
    for (const auto& [repeat, key] : held) {
        for (long long offset = 0; offset < 25; ++offset) {
            InputDecoder decoder;
            KeyState keys;
            auto apply = [&](const term::Events& events) { term::applyKeyEvents(events, keys); };
            // A read at a time, after the session has run out any ESC delay due before it.
            auto read = [&](long long at, std::string_view bytes) {
                if (decoder.deadline() >= 0 && decoder.deadline() <= at)
                    apply(decoder.timeout(decoder.deadline()));
                for (char c : bytes)
                    apply(decoder.add(static_cast<unsigned char>(c), at));
                decoder.endOfRead();
            };
            for (long long at = 0; at <= 200; at += 25) {
                read(at, repeat);
                if (at == 50)
                    read(at + offset, "\x1b");
            }
            apply(decoder.timeout(1000));
            std::string at = testing::PrintToString(std::string(repeat)) + " at " +
                             std::to_string(offset) + " ms";
            EXPECT_TRUE(keys.poll(vkEscape)) << at;
            EXPECT_TRUE(keys.poll(key)) << at;
        }
    }
}

TEST(InputDecoder, LoneEscIsEscapeOnceItsDelayHasPassed) {
    // Bytes (none: only the clock moves on) at a time, events, the deadline.
    const std::tuple<std::string_view, long long, const char*, long long> steps[] = {
        {"", 0, "", -1},
        {"\x1b", 500, "", 530},
        {"", 529, "", 530},
        {"", 530, "+Esc -Esc", -1},
        {"", 600, "", -1},
        // ESC ESC is Alt+Escape: one Escape, after the second ESC's own delay.
        {"\x1b", 1000, "", 1030},
        {"\x1b", 1010, "", 1040},
        {"", 1030, "", 1040},
        {"", 1040, "+Esc -Esc", -1},
        // Times outside what a monotonic clock gives do not overflow it.
        {"\x1b", LLONG_MAX, "", LLONG_MAX},
        {"", LLONG_MAX, "+Esc -Esc", -1},
        {"\x1b", LLONG_MIN, "", 30},
        {"", 100, "+Esc -Esc", -1},
    };
    InputDecoder decoder;
    for (const auto& [bytes, atMs, events, deadline] : steps) {
        std::string text;
        if (bytes.empty())
            append(text, decoder.timeout(atMs));
        for (char c : bytes)
            append(text, decoder.add(static_cast<unsigned char>(c), atMs));
        EXPECT_EQ(events, text) << "at " << atMs;
        EXPECT_EQ(deadline, decoder.deadline()) << "at " << atMs;
    }
}

// Feeds the bytes through a decoder to a key state; at each '|' the game
// polls every key of `polled` once, as in a frame. Returns what each frame's
// polls found.
std::string play(bool kitty, std::string_view bytes,
                 std::initializer_list<int> polled = {vkLeft, vkUp, vkRight, vkDown, vkA, vkD, vkS,
                                                      vkW, vkEscape}) {
    InputDecoder decoder;
    KeyState keys;
    keys.setReportsReleases(kitty);
    std::string found;
    for (char c : bytes) {
        term::Events events = decoder.add(static_cast<unsigned char>(c), 0);
        term::applyKeyEvents(events, keys);
        if (c != '|')
            continue;
        std::string frame;
        for (int key : polled)
            if (keys.poll(key))
                join(frame, keyName(key));
        found += frame + '|';
    }
    return found;
}

TEST(KeyState, PollsFindHeldKeysInKittyModeAndLatchedArrivalsOtherwise) {
    // The mode, the bytes with the frames' polls at '|', what each found.
    const std::tuple<bool, std::string_view, const char*> runs[] = {
        // Left and A held at once while only A, pressed last, repeats.
        {true, "\x1b[D|\x1b[97u|\x1b[97;1:2u||\x1b[1;1:3D|\x1b[97;1:3u|",
         "Left|Left A|Left A|Left A|A||"},
        // Pressed and released between two polls: counted once.
        {true, "\x1b[119u\x1b[119;1:3u\x1b[119u\x1b[119;1:3u||", "W||"},
        // A repeat shows a key down whose press came before focus did.
        {true, "\x1b[100;1:2u||\x1b[100;1:3u|", "D|D||"},
        // Ctrl-C and the replies press nothing (flags 65 is A's code).
        {true, "\x03\x1b[?65u|", "|"},
        // Legacy: an arrival counts at that key's next poll, once; autorepeat
        // keeps a held key arriving.
        {false, "aaw||\x1b[A|\x1b[A\x1b[A||", "A W||Up|Up||"},
        // Ctrl changes no game key, in either mode.
        {false, "\x17\x01|\x13\x04|", "A W|D S|"},
        {true, "\x1b[119;5u|\x1b[119;5:3u\x1b[1;5D|\x1b[1;5:3D|", "W|Left||"},
        // Focus-out releases every key and clears what arrived.
        {false, "a\x1b[D\x1b[27u\x1b[O|\x1b[Ia|", "|A|"},
        {true, "a\x1b[D\x1b[27u\x1b[O|\x1b[Ia|", "|A|"},
    };
    for (const auto& [kitty, bytes, found] : runs)
        EXPECT_EQ(found, play(kitty, bytes)) << testing::PrintToString(bytes);
}

// A key counts by what it types and, apart, by where it sits: on a French
// keyboard the key that types z sits where W does on a US one, so a player
// whose keys are the places of W A S D turns with it; without the kitty
// protocol a key counts as sitting where it does on a US keyboard.
TEST(KeyState, AKeyIsHeldByWhatItTypesAndByWhereItSits) {
    const std::tuple<bool, std::string_view, int, bool> polls[] = {
        {true, "\x1b[122::119u", atPosition(vkW), true},
        {true, "\x1b[122::119u", 'Z', true},
        {true, "\x1b[122::119u", vkW, false},
        {true, "\x1b[122::119u", atPosition('Z'), false},
        {true, "\x1b[122::119u\x1b[122::119;1:3u", atPosition(vkW), true}, // once
        {true, "\x1b[122::119u\x1b[O", atPosition(vkW), false},
        {true, "\x1b[119u", atPosition(vkW), true},
        {false, "w", vkW, true},
        {false, "w", atPosition(vkW), true},
        {false, "z", atPosition(vkW), false},
        {false, "z", atPosition('Z'), true},
    };
    for (const auto& [kitty, bytes, key, pressed] : polls)
        EXPECT_EQ((pressed ? keyName(key) : "") + "|", play(kitty, std::string(bytes) + "|", {key}))
            << testing::PrintToString(std::string(bytes)) << " polled for " << keyName(key);
}

} // namespace
