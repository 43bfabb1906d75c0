// SPDX-License-Identifier: MIT
// The WebSocket framing of a browser's connection: the game's bytes out of
// a browser's frames however they arrive, wslay's own answers, every frame
// that must end the connection, and the host's frames as a browser reads
// them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser_client.hpp"
#include "net/web_socket_framing.hpp"

namespace {

using net::WebSocketFraming;
using term::clientFrame;

constexpr int textFrame = 1, binary = 2, closing = 8, ping = 9, pong = 10;

struct Unwrapped {
    bool ok = true;
    std::string payload;
    std::string out;
};

Unwrapped unwrap(WebSocketFraming& f, const std::string& bytes) {
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

TEST(WebSocketFraming, UnwrapsTheSameSplitAtEveryByte) {
    std::string stream = clientFrame(binary, "\x01\x0e"
                                             "BLKD") +
                         clientFrame(binary, std::string(300, 'k')) +
                         clientFrame(ping, "are you there") + clientFrame(binary, "end");
    std::string expected = std::string("\x01\x0e"
                                       "BLKD") +
                           std::string(300, 'k') + "end";
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        WebSocketFraming f;
        Unwrapped first = unwrap(f, stream.substr(0, cut));
        Unwrapped second = unwrap(f, stream.substr(cut));
        ASSERT_TRUE(first.ok && second.ok) << cut;
        EXPECT_EQ(first.payload + second.payload, expected) << cut;
        auto answers = framesOf(first.out + second.out);
        ASSERT_EQ(answers.size(), 1U) << cut;
        EXPECT_EQ(answers[0].opcode, pong);
        EXPECT_EQ(answers[0].payload, "are you there");
    }
}

TEST(WebSocketFraming, ReassemblesAFragmentedMessage) {
    WebSocketFraming f;
    Unwrapped u = unwrap(f, clientFrame(binary, "abc", true, false) + clientFrame(ping, "") +
                                clientFrame(0, "def", true, false) + clientFrame(0, "g"));
    EXPECT_TRUE(u.ok);
    EXPECT_EQ(u.payload, "abcdefg");
}

TEST(WebSocketFraming, EndsOnEveryFrameItMustNotTake) {
    std::string rsv = clientFrame(binary, "x");
    rsv[0] = static_cast<char>(rsv[0] | 0x40);
    std::string longPing = clientFrame(ping, std::string(126, 'p'));
    const std::string frames[] = {
        clientFrame(textFrame, "hello"),
        clientFrame(binary, "x", false), // a browser masks every frame
        rsv,
        clientFrame(3, "x"),
        longPing,
        clientFrame(ping, "x", true, false), // a control frame in pieces
        clientFrame(0, "x"),                 // a continuation of nothing
        clientFrame(binary, std::string(WebSocketFraming::maxIncoming + 1, 'x')),
        clientFrame(binary, std::string(WebSocketFraming::maxIncoming, 'x'), true, false) +
            clientFrame(0, "x"),
    };
    int i = 0;
    for (const std::string& frame : frames) {
        WebSocketFraming f;
        Unwrapped u = unwrap(f, clientFrame(binary, "before") + frame);
        EXPECT_FALSE(u.ok) << i;
        EXPECT_FALSE(f.problem().empty()) << i;
        EXPECT_NE(f.problem(), "closed") << i;
        EXPECT_FALSE(unwrap(f, clientFrame(binary, "after")).ok) << "it stays ended: " << i;
        ++i;
    }
}

TEST(WebSocketFraming, TakesTheLongestMessage) {
    WebSocketFraming f;
    std::string longest(WebSocketFraming::maxIncoming, 'x');
    Unwrapped u = unwrap(f, clientFrame(binary, longest));
    EXPECT_TRUE(u.ok);
    EXPECT_EQ(u.payload.size(), longest.size());
}

TEST(WebSocketFraming, AnswersACloseWithAClose) {
    WebSocketFraming f;
    Unwrapped u = unwrap(f, clientFrame(binary, "last") + clientFrame(closing, "\x03\xe8"));
    EXPECT_FALSE(u.ok);
    EXPECT_EQ(f.problem(), "closed");
    EXPECT_EQ(u.payload, "last") << "what came before the close is kept";
    auto answers = framesOf(u.out);
    ASSERT_EQ(answers.size(), 1U);
    EXPECT_EQ(answers[0].opcode, closing);
}

TEST(WebSocketFraming, WrapsBinaryFramesABrowserReads) {
    WebSocketFraming f;
    std::string out;
    f.wrap("\x06", out);
    f.wrap(std::string(200, 'p'), out);
    f.wrap(std::string(70000, 'q'), out);
    EXPECT_EQ(out.substr(0, 3), std::string("\x82\x01\x06", 3)) << "unmasked, whole";
    auto frames = framesOf(out);
    ASSERT_EQ(frames.size(), 3U);
    for (const auto& frame : frames)
        EXPECT_EQ(frame.opcode, binary);
    EXPECT_EQ(frames[1].payload, std::string(200, 'p'));
    EXPECT_EQ(frames[2].payload, std::string(70000, 'q'));
}

} // namespace
