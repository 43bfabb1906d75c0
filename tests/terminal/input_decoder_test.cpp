// The terminal's bytes as key events: legacy and kitty forms, the replies to
// the start-up queries, the ESC delay, and what is skipped.
#include <climits>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "game/keys.hpp"
#include "input_decoder.hpp"

namespace {

using namespace std::literals;
using term::InputDecoder;
using term::InputEvent;

std::string keyName(int key) {
    switch (key) {
    case vkLeft: return "Left";
    case vkRight: return "Right";
    case vkUp: return "Up";
    case vkDown: return "Down";
    case vkEscape: return "Escape";
    default: return std::string(1, static_cast<char>(key));
    }
}

// Events as text: "+A" press, "*A" repeat, "-A" release, others by name.
std::string describe(const InputEvent& e) {
    std::string text;
    switch (e.kind) {
    case InputEvent::KeyPress: text = "+"; break;
    case InputEvent::KeyRepeat: text = "*"; break;
    case InputEvent::KeyRelease: text = "-"; break;
    case InputEvent::FocusIn: return "FocusIn";
    case InputEvent::FocusOut: return "FocusOut";
    case InputEvent::Interrupt: return "Interrupt";
    case InputEvent::Suspend: return "Suspend";
    case InputEvent::Enter: return "Enter";
    case InputEvent::KittyFlags: return text.append("Flags:").append(std::to_string(e.key));
    case InputEvent::DeviceAttributes: return "Attributes";
    }
    return text.append(keyName(e.key));
}

class Decoder {
public:
    InputDecoder decoder;

    // All bytes arrive at the same moment, as from one read.
    std::string feed(std::string_view bytes, long long nowMs) {
        std::string text;
        for (char c : bytes)
            append(text, decoder.add(static_cast<unsigned char>(c), nowMs));
        return text;
    }
    std::string wait(long long nowMs) {
        std::string text;
        append(text, decoder.timeout(nowMs));
        return text;
    }

private:
    static void append(std::string& text, const term::Events& events) {
        for (int i = 0; i < events.count; ++i)
            text.append(text.empty() ? "" : " ").append(describe(events.items[i]));
    }
};

// What a fresh decoder makes of these bytes, all at once, with the ESC
// delay run out afterwards.
std::string decode(std::string_view bytes) {
    Decoder d;
    std::string text = d.feed(bytes, 1000);
    std::string late = d.wait(1000 + InputDecoder::escapeDelayMs);
    if (!text.empty() && !late.empty())
        text += ' ';
    return text.append(late);
}

TEST(LegacyKeys, ArrowsAsCsiAndSs3WithOrWithoutModifiers) {
    EXPECT_EQ("+Up +Down +Right +Left", decode("\x1b[A\x1b[B\x1b[C\x1b[D"));
    EXPECT_EQ("+Up +Down +Right +Left", decode("\x1bOA\x1bOB\x1bOC\x1bOD"));
    EXPECT_EQ("+Up +Left +Right", decode("\x1b[1;2A\x1b[1;5D\x1b[1;3C"));
    // Other keys' sequences are consumed whole and give nothing.
    EXPECT_EQ("", decode("\x1b[H\x1b[3~\x1bOP\x1b[15;2~\x1b[E"));
}

TEST(LegacyKeys, LettersInEitherCaseAreTaps) {
    EXPECT_EQ("+W -W +A -A +S -S +D -D", decode("wasd"));
    EXPECT_EQ("+W -W +A -A +S -S +D -D", decode("WASD"));
    EXPECT_EQ("", decode("qezx 19\x7f\t\x01\x13\xc3\xa9\xd1\x84"));
}

TEST(LegacyKeys, CtrlCCtrlZAndEnter) {
    EXPECT_EQ("Interrupt", decode("\x03"));
    EXPECT_EQ("Suspend", decode("\x1a"));
    EXPECT_EQ("Enter", decode("\r"));
    EXPECT_EQ("Enter", decode("\n"));
    EXPECT_EQ("Enter", decode("\x1bOM")); // keypad Enter in application mode
}

TEST(KittyKeys, PressRepeatAndRelease) {
    EXPECT_EQ("+A *A *A -A", decode("\x1b[97u\x1b[97;1:2u\x1b[97;1:2u\x1b[97;1:3u"));
    // An unmodified arrow press comes in the legacy form, the rest do not.
    EXPECT_EQ("+Left *Left -Left", decode("\x1b[D\x1b[1;1:2D\x1b[1;1:3D"));
    EXPECT_EQ("+Up -Up", decode("\x1b[1;1:1A\x1b[1;1:3A"));
    EXPECT_EQ("+Escape -Escape", decode("\x1b[27u\x1b[27;1:3u"));
    EXPECT_EQ("+W -S +D", decode("\x1b[119u\x1b[115;1:3u\x1b[100;1;100u"));
    EXPECT_EQ("+Left +Right +Up +Down", decode("\x1b[57417u\x1b[57418u\x1b[57419u\x1b[57420u"));
    // Event types the protocol does not have are skipped.
    EXPECT_EQ("", decode("\x1b[97;1:4u\x1b[97;1:0u\x1b[1;1:9D"));
}

TEST(KittyKeys, ShiftedLettersAndLockBits) {
    EXPECT_EQ("+W", decode("\x1b[119;2u"));
    EXPECT_EQ("+W", decode("\x1b[119:87;2u"));
    EXPECT_EQ("+W", decode("\x1b[87;2u"));
    // Caps Lock (64) and Num Lock (128) are masked off.
    EXPECT_EQ("+A *A -A", decode("\x1b[97;65u\x1b[97;129:2u\x1b[97;193:3u"));
    EXPECT_EQ("Interrupt", decode("\x1b[99;69u"));
    EXPECT_EQ("Suspend", decode("\x1b[122;197u"));
}

TEST(KittyKeys, ModifiersDoNotChangeTheGameKey) {
    EXPECT_EQ("+A", decode("\x1b[97;5u"));   // Ctrl
    EXPECT_EQ("+A", decode("\x1b[97;3u"));   // Alt
    EXPECT_EQ("+Left", decode("\x1b[1;5D")); // Ctrl+Left
    // A release always counts, whatever was pressed meanwhile.
    EXPECT_EQ("-Left -D", decode("\x1b[1;3:3D\x1b[100;6:3u"));
}

TEST(KittyKeys, CtrlCCtrlZAndEnterOnPressOnly) {
    EXPECT_EQ("Interrupt", decode("\x1b[99;5u\x1b[99;5:3u"));
    EXPECT_EQ("Interrupt", decode("\x1b[99;7u")); // with Alt too
    EXPECT_EQ("Suspend", decode("\x1b[122;5u\x1b[122;5:2u\x1b[122;5:3u"));
    EXPECT_EQ("", decode("\x1b[99u\x1b[122;2u")); // C and Z alone are no keys of the game
    EXPECT_EQ("Enter", decode("\x1b[13u\x1b[13;1:2u\x1b[13;1:3u"));
    EXPECT_EQ("Enter", decode("\x1b[13;2u"));
    EXPECT_EQ("Enter", decode("\x1b[57414u")); // keypad Enter
}

TEST(Replies, KittyFlagsAndDeviceAttributes) {
    EXPECT_EQ("Flags:11", decode("\x1b[?11u"));
    EXPECT_EQ("Flags:0", decode("\x1b[?0u"));
    EXPECT_EQ("Flags:0", decode("\x1b[?u"));
    EXPECT_EQ("Attributes", decode("\x1b[?62c"));
    EXPECT_EQ("Attributes", decode("\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c"));
    // Both replies in one read, as a terminal with the protocol answers.
    EXPECT_EQ("Flags:1 Attributes", decode("\x1b[?1u\x1b[?65;1;9c"));
    // Replies to questions not asked are not these.
    EXPECT_EQ("", decode("\x1b[>1;10;0c\x1b[>11u\x1b[=5u"));
}

TEST(Replies, FocusReports) {
    EXPECT_EQ("FocusIn", decode("\x1b[I"));
    EXPECT_EQ("FocusOut", decode("\x1b[O"));
    EXPECT_EQ("FocusOut FocusIn", decode("\x1b[O\x1b[I"));
    EXPECT_EQ("", decode("\x1b[2I\x1b[?O"));
}

TEST(EscapeDelay, LoneEscIsEscapeOnceTheDelayHasPassed) {
    Decoder d;
    EXPECT_EQ(-1, d.decoder.deadline());
    EXPECT_EQ("", d.feed("\x1b", 500));
    EXPECT_EQ(500 + InputDecoder::escapeDelayMs, d.decoder.deadline());
    EXPECT_EQ("", d.wait(529));
    EXPECT_EQ("+Escape -Escape", d.wait(530));
    EXPECT_EQ(-1, d.decoder.deadline());
    EXPECT_EQ("", d.wait(600));
}

TEST(EscapeDelay, ByteAfterTheDelayFindsTheEscapeDone) {
    // The delay ran out, but nobody asked: the late bytes still see it.
    Decoder d;
    d.feed("\x1b", 0);
    EXPECT_EQ("+Escape -Escape +W -W", d.feed("w", 30));
    d.feed("\x1b", 100);
    EXPECT_EQ("+Escape -Escape +Left", d.feed("\x1b[D", 200));
}

TEST(EscapeDelay, SequenceWithinTheDelayIsAltWithThatKey) {
    Decoder d;
    d.feed("\x1b", 0);
    EXPECT_EQ("+Left", d.feed("\x1b[D", 29));
    EXPECT_EQ(-1, d.decoder.deadline());
    EXPECT_EQ("", d.wait(1000));
    // ESC ESC is Alt+Escape: one Escape, after the second ESC's own delay.
    EXPECT_EQ("", d.feed("\x1b", 2000));
    EXPECT_EQ("", d.feed("\x1b", 2010));
    EXPECT_EQ("", d.wait(2030));
    EXPECT_EQ("+Escape -Escape", d.wait(2040));
}

TEST(EscapeDelay, AltWithALetterIsTheLetterNeverEscape) {
    EXPECT_EQ("+W -W", decode("\x1bw"));
    EXPECT_EQ("+A -A +A -A", decode("\x1b" "a\x1b" "a"));
    EXPECT_EQ("", decode("\x1bx\x1b\x7f\x1b\\"));
    EXPECT_EQ("Interrupt", decode("\x1b\x03"));
    EXPECT_EQ("Enter", decode("\x1b\r"));
}

TEST(EscapeDelay, TimesOutsideAMonotonicClockDoNotBreakIt) {
    Decoder d;
    d.feed("\x1b", LLONG_MAX);
    EXPECT_GT(d.decoder.deadline(), 0);
    EXPECT_EQ("+Escape -Escape", d.wait(LLONG_MAX));
    d.feed("\x1b", LLONG_MIN);
    EXPECT_EQ(InputDecoder::escapeDelayMs, d.decoder.deadline());
    EXPECT_EQ("+Escape -Escape", d.wait(100));
}

// Every sequence, cut anywhere, gives what it gives whole: within the delay
// after an ESC, and at any time where the cut does not follow an ESC (after
// one, the rest may come only within the delay: ESC \ split so far apart is
// an Escape and a backslash).
TEST(SplitReads, EverySequenceCutAtEveryPoint) {
    const char* sequences[] = {"\x1b[D", "\x1bOA", "\x1b[1;5C", "\x1b[97;1:3u", "\x1b[1;1:2D",
                               "\x1b[?11u", "\x1b[?64;1;2;6;9c", "\x1b[O", "\x1b[99;69u",
                               "\x1b]0;wasd\x07", "\x1b]0;x\x1b\\"};
    for (std::string_view s : sequences) {
        std::string whole = decode(s);
        for (size_t cut = 1; cut < s.size(); ++cut) {
            Decoder soon;
            std::string text = soon.feed(s.substr(0, cut), 0);
            text += soon.feed(s.substr(cut), InputDecoder::escapeDelayMs - 1);
            EXPECT_EQ(whole, text) << "cut at " << cut << " of " << testing::PrintToString(s);
            if (s[cut - 1] == '\x1b')
                continue;
            Decoder late;
            text = late.feed(s.substr(0, cut), 0);
            text += late.feed(s.substr(cut), 60000);
            EXPECT_EQ(whole, text) << "late cut at " << cut << " of " << testing::PrintToString(s);
        }
    }
}

TEST(Garbage, UnknownSequencesAreSkippedWhole) {
    EXPECT_EQ("+W -W", decode("\x1b[2J\x1b[38;5;196mw"));
    EXPECT_EQ("+W -W", decode("\x1b[ qw"));           // intermediate byte
    EXPECT_EQ("+W -W", decode("\x1b[1?Aw"));          // misplaced marker
    EXPECT_EQ("+W -W", decode("\x1b[1\xc3\xa9" "Aw")); // 8-bit bytes inside
    EXPECT_EQ("+W -W", decode("\x1b[99999999999999999999u" "w"));
    EXPECT_EQ("+W -W", decode("\x1b[;;;;;::::;;97u" "w"));
}

TEST(Garbage, OverlongSequenceIsSkippedToItsEnd) {
    std::string overlong = "\x1b[" + std::string(300, '1') + "A";
    EXPECT_EQ("+Left", decode(overlong + "\x1b[D"));
    std::string many = "\x1b[97";
    for (int i = 0; i < 40; ++i)
        many += ";1:1";
    EXPECT_EQ("+A", decode(many + "u")); // long, but not overlong
}

TEST(Garbage, StringsAreSkippedToBelOrSt) {
    EXPECT_EQ("+A -A", decode("\x1b]0;wasd title\x07" "a"));
    EXPECT_EQ("+A -A", decode("\x1bP1$rwasd\x1b\\a"));
    EXPECT_EQ("+A -A", decode("\x1b_Gwasd\x1b\\a\x1b^pm\x07\x1bXsos\x07"));
    // An arrow's ESC ends the string and starts itself.
    EXPECT_EQ("+Right", decode("\x1b]wasd\x1b[C"));
}

TEST(Garbage, StrayEscStartsANewSequence) {
    EXPECT_EQ("+Right", decode("\x1b[1;\x1b[C"));
    EXPECT_EQ("+Up", decode("\x1bO\x1bOA"));
    EXPECT_EQ("+Escape -Escape", decode("\x1b[97;1\x1b"));
}

TEST(Garbage, ControlBytesActInsideSequencesAndEndThem) {
    EXPECT_EQ("Interrupt +D -D", decode("\x1b[1;\x03" "D"));
    EXPECT_EQ("Suspend", decode("\x1b]title\x1a"));
    EXPECT_EQ("Enter", decode("\x1bP\r"));
    EXPECT_EQ("+D -D", decode("\x1b[1\x18" "D")); // CAN abandons it silently
    // Other controls inside a sequence are not part of it.
    EXPECT_EQ("+Left", decode("\x1b[\x00\x08\x7f" "D"sv));
}

} // namespace
