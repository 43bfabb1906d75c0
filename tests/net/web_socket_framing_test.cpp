// SPDX-License-Identifier: MIT
// The WebSocket framing of a browser's connection, every case run against
// each framing the build has (the game's own always, wslay's where it is
// packaged): the game's bytes out of a browser's frames however they arrive,
// the framing's own answers, every frame that must end the connection, and
// the host's frames as a browser reads them.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "browser_client.hpp"
#include "net/web_socket_frames_own.hpp"
#include "net/web_socket_framing.hpp"

namespace {

using term::clientFrame;

constexpr int textFrame = 1, binary = 2, closing = 8, ping = 9, pong = 10;

// Each framing the build has, by its name in the tests' names.
#ifdef BLOCKDUEL_WSLAY
using Framings = ::testing::Types<net::OwnWebSocketFraming, net::WslayWebSocketFraming>;
#else
using Framings = ::testing::Types<net::OwnWebSocketFraming>;
#endif
struct FramingName {
    template <typename T> static std::string GetName(int /*index*/) {
        return std::is_same_v<T, net::OwnWebSocketFraming> ? "Own" : "Wslay";
    }
};

constexpr std::size_t maxIncoming = net::WebSocketVerdict::maxIncoming;

struct Unwrapped {
    bool ok = true;
    std::string payload;
    std::string out;
};

template <typename Framing> Unwrapped unwrap(Framing& f, const std::string& bytes) {
    Unwrapped u;
    u.ok = f.unwrap(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), u.payload,
                    u.out);
    return u;
}

std::vector<term::Frame> framesOf(std::string bytes) {
    std::vector<term::Frame> frames;
    EXPECT_TRUE(term::takeFrames(bytes, frames));
    EXPECT_EQ(bytes, "") << "whole frames only";
    return frames;
}

// A masked binary frame whose length `length` (its seven bits and what
// follows) is written by hand; the zero mask leaves `payload` as it is.
std::string handLengthFrame(std::string length, const std::string& payload) {
    length[0] = static_cast<char>(length[0] | 0x80);
    return "\x82" + length + std::string(4, '\0') + payload;
}

// cppcheck reads no gtest header, and its googletest library has no typed
// tests: to it each is a function template, whose body it checks.
#ifndef TYPED_TEST
#define TYPED_TEST(Suite, Name) template <typename TypeParam> void Suite##Name()
#endif
template <typename Framing> class WebSocketFramingTest : public ::testing::Test {};
TYPED_TEST_SUITE(WebSocketFramingTest, Framings, FramingName);

// Whole messages, one of them in fragments with a ping and a pong between
// them, however the stream is split: each message given once its last
// fragment is in and never a part of one before, the ping answered, the
// pong not.
TYPED_TEST(WebSocketFramingTest, UnwrapsWholeMessagesTheSameSplitAtEveryByte) {
    const std::string messages[] = {std::string("\x01\x0e") + "BLKD", "abcdefg",
                                    std::string(300, 'k'), "", "end"};
    std::string stream =
        clientFrame(binary, messages[0]) + clientFrame(binary, "abc", true, false) +
        clientFrame(ping, "are you there") + clientFrame(0, "de", true, false) +
        clientFrame(pong, "x") + clientFrame(0, "fg", true, false) + clientFrame(0, "") +
        clientFrame(binary, messages[2]) + clientFrame(binary, "") + clientFrame(binary, "end");
    std::set<std::string> whole = {""}; // what may have been given before any cut
    std::string all;
    for (const std::string& message : messages)
        whole.insert(all += message);
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        TypeParam f;
        Unwrapped first = unwrap(f, stream.substr(0, cut));
        Unwrapped second = unwrap(f, stream.substr(cut));
        ASSERT_TRUE(first.ok && second.ok) << cut;
        EXPECT_TRUE(whole.contains(first.payload)) << "a part of a message, cut at " << cut;
        EXPECT_EQ(first.payload + second.payload, all) << cut;
        auto answers = framesOf(first.out + second.out);
        ASSERT_EQ(answers.size(), 1U) << cut;
        EXPECT_EQ(answers[0].opcode, pong);
        EXPECT_EQ(answers[0].payload, "are you there");
    }
}

TYPED_TEST(WebSocketFramingTest, EndsOnEveryFrameItMustNotTake) {
    std::string rsv = clientFrame(binary, "x");
    rsv[0] = static_cast<char>(rsv[0] | 0x40);
    const std::string frames[] = {
        clientFrame(textFrame, "hello"),
        clientFrame(textFrame, "he", true, false),
        clientFrame(binary, "x", false), // a browser masks every frame
        clientFrame(binary, "", false),
        rsv,
        clientFrame(3, "x"),
        clientFrame(11, "x"),
        clientFrame(ping, std::string(126, 'p')),
        clientFrame(ping, "x", true, false), // a control frame in pieces
        clientFrame(0, "x"),                 // a continuation of nothing
        clientFrame(binary, "a", true, false) + clientFrame(binary, "b"),
        clientFrame(binary, "a", true, false) + clientFrame(textFrame, "b"),
        clientFrame(binary, std::string(maxIncoming + 1, 'x')),
        clientFrame(binary, std::string(maxIncoming, 'x'), true, false) + clientFrame(0, "x"),
        handLengthFrame(std::string("\x7e\x00\x7d", 3), std::string(125, 'x')),
        handLengthFrame(std::string("\x7f\x00\x00\x00\x00\x00\x00\xff\xff", 9),
                        std::string(65535, 'x')),
        handLengthFrame(std::string("\x7f\x80\x00\x00\x00\x00\x00\x00\x01", 9), "x"),
        handLengthFrame(std::string("\x7f\x00\x00\x00\x00\x00\x01\x00\x00", 9), "x"),
    };
    for (std::size_t i = 0; i < std::size(frames); ++i) {
        TypeParam f;
        Unwrapped u = unwrap(f, clientFrame(binary, "before") + frames[i]);
        EXPECT_FALSE(u.ok) << i;
        EXPECT_EQ(u.payload, "before") << i;
        EXPECT_FALSE(f.problem().empty()) << i;
        EXPECT_NE(f.problem(), "closed") << i;
        EXPECT_FALSE(unwrap(f, clientFrame(binary, "after")).ok) << "it stays ended: " << i;
    }
}

TYPED_TEST(WebSocketFramingTest, TakesTheLongestMessageInEachLengthForm) {
    TypeParam f;
    std::string longest(maxIncoming, 'x');
    Unwrapped u =
        unwrap(f, handLengthFrame("\x7d", std::string(125, 'a')) +
                      handLengthFrame(std::string("\x7e\x00\x7e", 3), std::string(126, 'b')) +
                      clientFrame(binary, longest));
    EXPECT_TRUE(u.ok) << f.problem();
    EXPECT_TRUE(u.payload == std::string(125, 'a') + std::string(126, 'b') + longest)
        << u.payload.size();
}

// A close ends the connection once it has begun, judged with its first
// payload byte (or its header, when it has none), whatever its reason: what
// came before it is kept, it is answered, and nothing more is wrapped.
TYPED_TEST(WebSocketFramingTest, EndsOnACloseOnceItHasBegunWhateverItsReason) {
    constexpr std::size_t header = 6; // a masked frame's, for a short payload
    for (const std::string& reason : {std::string(), std::string("\x03\xe8"),
                                      std::string("\x00\x01\xff", 3), std::string("\x03\xe8 bye")})
        for (std::size_t end = header; end <= header + reason.size(); ++end) {
            TypeParam f;
            std::string close = clientFrame(closing, reason);
            std::string after = end == close.size() ? clientFrame(binary, "after") : "";
            Unwrapped u = unwrap(f, clientFrame(binary, "last") + close.substr(0, end) + after);
            EXPECT_EQ(u.payload, "last") << "what came before the close is kept";
            bool begun = end > header || reason.empty();
            ASSERT_EQ(u.ok, !begun) << end << " bytes of a close";
            if (!begun)
                continue;
            EXPECT_EQ(f.problem(), "closed");
            auto answers = framesOf(u.out);
            ASSERT_EQ(answers.size(), 1U);
            EXPECT_EQ(answers[0].opcode, closing);
            std::string out;
            f.wrap("late", out);
            EXPECT_EQ(out, "") << "wraps nothing once ended";
        }
}

TYPED_TEST(WebSocketFramingTest, WrapsBinaryFramesABrowserReads) {
    TypeParam f;
    std::string out;
    f.wrap("\x06", out);
    f.wrap(std::string(200, 'p'), out);
    f.wrap(std::string(70000, 'q'), out);
    EXPECT_EQ(out.substr(0, 3), std::string("\x82\x01\x06", 3)) << "unmasked, whole";
    EXPECT_EQ(out.substr(3, 4), std::string("\x82\x7e\x00\xc8", 4)) << "the 16-bit form";
    auto frames = framesOf(out);
    ASSERT_EQ(frames.size(), 3U);
    for (const auto& frame : frames)
        EXPECT_EQ(frame.opcode, binary);
    EXPECT_EQ(frames[1].payload, std::string(200, 'p'));
    EXPECT_EQ(frames[2].payload, std::string(70000, 'q'));
}

// A terminal's connection to a server's room: its frames go masked, each
// with a mask of its own, and the server's come unmasked; a masked one from
// the server ends it, as an unmasked one from a browser ends the server's.
TYPED_TEST(WebSocketFramingTest, ATerminalsFramesPassBothWays) {
    TypeParam server;
    net::OwnWebSocketFraming terminal(0x1234);
    const std::vector<std::string> messages = {"\x06", std::string(200, 'p'),
                                               std::string(net::maxMessage, 'q')};
    std::string up;
    std::string down;
    std::string all;
    std::set<std::string> masks;
    for (const std::string& m : messages) {
        std::string frame;
        terminal.wrap(m, frame);
        ASSERT_NE(static_cast<unsigned char>(frame[1]) & 0x80U, 0U) << "masked";
        masks.insert(frame.substr(frame.size() - m.size() - 4, 4)); // just before the payload
        up += frame;
        server.wrap(m, down);
        all += m;
    }
    EXPECT_EQ(masks.size(), messages.size()) << "a mask for each frame";
    Unwrapped atServer = unwrap(server, up);
    EXPECT_TRUE(atServer.ok) << server.problem();
    EXPECT_TRUE(atServer.payload == all);
    Unwrapped atTerminal = unwrap(terminal, down);
    EXPECT_TRUE(atTerminal.ok);
    EXPECT_TRUE(atTerminal.payload == all);
    EXPECT_FALSE(unwrap(terminal, clientFrame(binary, "x")).ok);
    EXPECT_EQ(terminal.problem(), "the server sent a masked frame or reserved bits");
}

// The framing the host uses is one of these.
TEST(WebSocketFraming, IsOneOfTheFramingsTested) {
    net::WebSocketFraming f;
    std::string out;
    f.wrap("x", out);
    EXPECT_EQ(out, std::string("\x82\x01x", 3));
}

} // namespace
