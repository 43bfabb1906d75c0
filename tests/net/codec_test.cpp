// SPDX-License-Identifier: MIT
// The messages: what the encoder writes, read back whole, split at every
// byte and one byte at a time; and broken messages, refused wherever they
// are cut, as soon as their first bytes show it, with the decoder taking
// nothing from the first fault on.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/keys.hpp"
#include "net/message_decoder.hpp"
#include "net/protocol.hpp"

namespace {

using namespace net;

JoinCode code(const char* text) {
    JoinCode c;
    EXPECT_TRUE(parseJoinCode(text, c)) << text;
    return c;
}

// What a decoder made of a stream: the messages, and the error if any.
struct Read {
    std::vector<Message> messages;
    std::vector<std::string> runs; // each message's runs, copied
    std::string error;
};

// Feeds `bytes` in pieces of `piece` bytes, each in as many calls as the
// decoder asks for. Pieces of every size from 1 to the whole cut a stream
// once at every byte, and one byte at a time.
Read decode(Sender from, const std::string& bytes, std::size_t piece) {
    MessageDecoder decoder(from);
    Read read;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t start = 0; start < bytes.size() && !decoder.failed(); start += piece) {
        std::size_t end = std::min(bytes.size(), start + piece);
        for (std::size_t at = start; at < end && !decoder.failed();) {
            std::size_t used = decoder.feed(data + at, end - at);
            EXPECT_LE(used, end - at);
            EXPECT_TRUE(used == 0 || !decoder.failed()) << "took bytes of a broken message";
            if (decoder.hasMessage()) {
                const Message& m = decoder.message();
                read.messages.push_back(m);
                read.runs.emplace_back(reinterpret_cast<const char*>(m.runs),
                                       static_cast<std::size_t>(m.runsLength));
            }
            at += used;
        }
    }
    if (decoder.failed()) {
        read.error = decoder.error();
        // Sticky: nothing more is taken, whatever comes.
        EXPECT_EQ(0U, decoder.feed(reinterpret_cast<const unsigned char*>("\x06\0"), 2));
        EXPECT_TRUE(decoder.failed());
    }
    return read;
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

// Every message a guest sends; the last, a Hello of another version, is
// read far enough to refuse it with a reason, whatever else it holds.
TEST(Codec, GuestMessagesReadBackWhateverTheCuts) {
    std::string stream;
    appendHello(stream, Seat::Watcher, code("7k3m-q9xd"));
    const std::string legend = "\x18 \x1b \x1a \x19 or W A D S";
    appendReady(stream, KeyMode::Kitty, legend);
    const std::pair<KeyKind, int> keys[] = {{KeyKind::Press, static_cast<int>(Action::Left)},
                                            {KeyKind::Repeat, static_cast<int>(Action::Turn)},
                                            {KeyKind::Release, static_cast<int>(Action::Enter)},
                                            {KeyKind::ReleaseAll, 0},
                                            {KeyKind::Press, static_cast<int>(Action::Pause)}};
    for (auto [kind, action] : keys)
        appendKey(stream, kind, action);
    appendKeepAlive(stream);
    ASSERT_EQ(2U + helloSize + 3 + legend.size() + 20 + 2, stream.size()); // five keys of 4 bytes
    stream += bytes({1, 9}) + "BLKD" + bytes({protocolVersion + 1, 1, 9, 9, 9});
    for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
        Read read = decode(Sender::Guest, stream, piece);
        ASSERT_EQ("", read.error);
        ASSERT_EQ(9U, read.messages.size());
        const Message& hello = read.messages[0];
        EXPECT_EQ(MessageType::Hello, hello.type);
        EXPECT_EQ(protocolVersion, hello.version);
        EXPECT_EQ(Seat::Watcher, hello.seat);
        EXPECT_EQ("7K3M-Q9XD", formatJoinCode(hello.code));
        EXPECT_EQ(KeyMode::Kitty, read.messages[1].keyMode);
        EXPECT_EQ(legend, read.messages[1].legend);
        for (std::size_t k = 0; k < std::size(keys); ++k) {
            EXPECT_EQ(keys[k].first, read.messages[2 + k].keyKind) << k;
            EXPECT_EQ(keys[k].second, read.messages[2 + k].action) << k;
        }
        EXPECT_EQ(MessageType::KeepAlive, read.messages[7].type);
        EXPECT_EQ(protocolVersion + 1, read.messages[8].version);
    }
}

// A round whose every field differs from the others, at the top of its bounds where it has one.
RoundOutcome outcome() {
    RoundOutcome r;
    r.round = maxResultRound;
    r.winner = 1;
    r.score[0] = 1234;
    r.score[1] = maxResultScore;
    r.rows[0] = 7;
    r.rows[1] = 300;
    r.frames = 0xFFFFFFFFU;
    r.seconds = 65537;
    r.level[0] = 0;
    r.level[1] = maxResultLevel;
    r.matchOver = true;
    r.champion = 0;
    return r;
}

void expectSame(const RoundOutcome& sent, const RoundOutcome& read) {
    EXPECT_EQ(sent.round, read.round);
    EXPECT_EQ(sent.winner, read.winner);
    for (int b = 0; b < 2; ++b) {
        EXPECT_EQ(sent.score[b], read.score[b]) << b;
        EXPECT_EQ(sent.rows[b], read.rows[b]) << b;
        EXPECT_EQ(sent.level[b], read.level[b]) << b;
    }
    EXPECT_EQ(sent.frames, read.frames);
    EXPECT_EQ(sent.seconds, read.seconds);
    EXPECT_EQ(sent.matchOver, read.matchOver);
    EXPECT_EQ(sent.champion, read.champion);
}

// Every message a host sends, whatever the cuts. Of the rounds, one left
// unfinished and one won read back as they were sent; numbers beyond their
// bounds go at the bound, and a champion only with the match's end.
TEST(Codec, HostMessagesReadBackWhateverTheCuts) {
    // Cell 0 in 11; cells 1174 and 1175 in 11 again (kept); cell 1175 in 7.
    std::string runs =
        bytes({0, 0, 11, 219}) + bytes({0x92, 0xD1, 'a', 'b'}) + bytes({0x92, 0xE0, 7, 'c'});
    RoundOutcome unfinished;
    unfinished.round = 3;
    unfinished.seconds = 12;
    RoundOutcome won = outcome();
    RoundOutcome beyond = outcome();
    beyond.round = maxResultRound + 5;
    beyond.score[0] = -4;
    beyond.level[1] = 250;
    beyond.matchOver = false;
    std::string stream;
    appendWelcome(stream, Seat::Player);
    appendRefused(stream, Refusal::SeatTaken);
    appendRuns(stream, MessageType::Picture, "");
    appendRuns(stream, MessageType::Delta, runs);
    appendEnd(stream);
    std::size_t results = stream.size();
    for (const RoundOutcome& r : {unfinished, won, beyond})
        appendResult(stream, r);
    ASSERT_EQ(3U * (2 + resultSize), stream.size() - results);
    for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
        Read read = decode(Sender::Host, stream, piece);
        ASSERT_EQ("", read.error);
        ASSERT_EQ(8U, read.messages.size());
        EXPECT_EQ(Seat::Player, read.messages[0].seat);
        EXPECT_EQ(protocolVersion, read.messages[0].version);
        EXPECT_EQ(Refusal::SeatTaken, read.messages[1].refusal);
        EXPECT_EQ(MessageType::Picture, read.messages[2].type);
        EXPECT_EQ("", read.runs[2]);
        EXPECT_EQ(MessageType::Delta, read.messages[3].type);
        EXPECT_EQ(runs, read.runs[3]);
        EXPECT_EQ(MessageType::End, read.messages[4].type);
        expectSame(unfinished, read.messages[5].result);
        expectSame(won, read.messages[6].result);
        const RoundOutcome& clamped = read.messages[7].result;
        EXPECT_EQ(maxResultRound, clamped.round);
        EXPECT_EQ(0, clamped.score[0]);
        EXPECT_EQ(maxResultLevel, clamped.level[1]);
        EXPECT_EQ(-1, clamped.champion) << "no champion while the match goes on";
    }
}

// A stream that stops where the fault shows is refused all the same: the
// header's first byte, or its length, is enough, so a stranger cannot make
// the host hold a long payload it will refuse.
// A Result of round 1, nobody's, with byte `at` of its payload set to `value`.
std::string result(int at, int value) {
    RoundOutcome r;
    std::string message;
    appendResult(message, r);
    message[2 + static_cast<std::size_t>(at)] = static_cast<char>(value);
    return message;
}

TEST(Codec, BrokenMessagesAreRefusedWhereverTheyAreCut) {
    std::string hello;
    appendHello(hello, Seat::Player, code("00000000"));
    const std::string greeting = bytes({1, 14}) + "BLKD" + bytes({protocolVersion});
    struct Case {
        Sender from;
        std::string stream;
        const char* error;
        std::size_t before; // messages read before the fault
    };
    const Case cases[] = {
        {Sender::Guest, bytes({0}), "unknown message type", 0},
        {Sender::Guest, bytes({12}), "unknown message type", 0},
        {Sender::Guest, bytes({10}), "a message this side does not take", 0},
        {Sender::Host, bytes({10, resultSize - 1}), "wrong length", 0},
        {Sender::Host, bytes({10, resultSize + 1}), "wrong length", 0},
        {Sender::Host, result(3, 0), "a round's result out of bounds", 0},     // round 0
        {Sender::Host, result(0, 0x10), "a round's result out of bounds", 0},  // round 2^28
        {Sender::Host, result(4, 3), "a round's result out of bounds", 0},     // winner 3
        {Sender::Host, result(5, 0x3C), "a round's result out of bounds", 0},  // score > 1e9
        {Sender::Host, result(17, 0x40), "a round's result out of bounds", 0}, // rows > 1e9
        {Sender::Host, result(30, 100), "a round's result out of bounds", 0},  // level 100
        {Sender::Host, result(31, 2), "a round's result out of bounds", 0},    // ending 2
        {Sender::Host, result(32, 1), "a round's result out of bounds", 0},    // champion, no end
        {Sender::Host, result(32, 3), "a round's result out of bounds", 0},    // champion 3
        {Sender::Guest, bytes({7}), "a message this side does not take", 0},
        {Sender::Host, bytes({5}), "a message this side does not take", 0},
        {Sender::Guest, bytes({6, 1}), "wrong length", 0},
        {Sender::Guest, bytes({5, 3}), "wrong length", 0},
        {Sender::Guest, bytes({1, 5}), "wrong length", 0},
        {Sender::Guest, bytes({1, 65}), "wrong length", 0},
        {Sender::Host, bytes({8, 0}), "wrong length", 0},
        {Sender::Host, bytes({8, 0xC0, 0x01}), "wrong length", 0}, // 8193 bytes
        {Sender::Host, bytes({7, 0xFF, 0x7F}), "wrong length", 0},
        {Sender::Host, bytes({7, 0x80, 0x7F}), "not in its shortest form", 0},
        {Sender::Host, bytes({7, 0x81, 0x80}), "more than two bytes", 0},
        {Sender::Guest, bytes({1, 14}) + "BLKX" + bytes({protocolVersion, 1}) + "00000000",
         "not a blockduel", 0},
        {Sender::Guest, bytes({1, 15}) + "BLKD" + bytes({protocolVersion, 1}) + "000000000",
         "wrong length", 0},
        {Sender::Guest, greeting + bytes({3}) + "00000000", "a greeting for no seat", 0},
        {Sender::Guest, greeting + bytes({1}) + "0000000O", "a join code with characters", 0},
        {Sender::Guest, hello + bytes({4, 1, 2}), "an unknown keyboard mode", 1},
        {Sender::Guest, hello + bytes({4, 3, 1, 'W', 0x07}), "a key legend that is no text", 1},
        {Sender::Guest, hello + bytes({4, 2, 0, 0x7F}), "a key legend that is no text", 1},
        {Sender::Guest, hello + bytes({4, 2 + maxLegendLength}), "wrong length", 1},
        {Sender::Guest, bytes({5, 2, 0, 0x25}), "a key event the game does not have", 0},
        {Sender::Guest, bytes({5, 2, 5, 0x25}), "a key event the game does not have", 0},
        {Sender::Guest, bytes({5, 2, 1, 'X'}), "a key event the game does not have", 0},
        {Sender::Guest, bytes({5, 2, 1, actionLimit}), "a key event the game does not have", 0},
        {Sender::Guest, bytes({5, 2, 1, 0}), "a key event the game does not have", 0},
        {Sender::Guest, bytes({5, 2, 4, 0x25}), "a key event the game does not have", 0},
        {Sender::Host, bytes({2, 2, protocolVersion, 0}), "a welcome to no seat", 0},
        {Sender::Host, bytes({2, 2, protocolVersion + 1, 1}), "a welcome of another version", 0},
        {Sender::Host, bytes({8, 2, 0, 0}), "runs of cells outside", 0},       // no attribute
        {Sender::Host, bytes({8, 3, 0, 0x11, 1}), "runs of cells outside", 0}, // kept, a code short
        {Sender::Host, bytes({8, 5, 0x92, 0xE1, 7, 1, 2}), "runs of cells outside", 0},
        {Sender::Host, bytes({9, 0, 6, 0, 0}), "unknown message type", 2},
    };
    for (const Case& c : cases) {
        for (std::size_t piece = 1; piece <= c.stream.size(); ++piece) {
            Read read = decode(c.from, c.stream, piece);
            EXPECT_NE(std::string::npos, read.error.find(c.error))
                << testing::PrintToString(c.stream) << " in pieces of " << piece << ": '"
                << read.error << "'";
            EXPECT_EQ(c.before, read.messages.size()) << testing::PrintToString(c.stream);
        }
    }
}

} // namespace
