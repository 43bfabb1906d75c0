// SPDX-License-Identifier: MIT
// A terminal reads a server's file (a kept match's recording) from an
// answer in any pieces: only a whole 200 of a bounded length is a file,
// and nothing past it is taken.
#include <gtest/gtest.h>

#include <string>

#include "net/file_answer.hpp"

namespace {

using net::FileAnswerReader;

std::string answer(const std::string& head, const std::string& body) {
    return head + "\r\n\r\n" + body;
}

// Feeds `text` cut at `cut` (and whole when `cut` is 0): the bytes taken,
// and the reader's end.
std::size_t feedCut(FileAnswerReader& reader, const std::string& text, std::size_t cut) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t taken = reader.feed(bytes, cut);
    if (!reader.done() && !reader.failed())
        taken += reader.feed(bytes + taken, text.size() - taken);
    return taken;
}

TEST(FileAnswer, AWholeFileReadsHoweverItIsCutAndNothingAfterIt) {
    std::string body("\xB1\xD7\x01\x00rest", 8);
    std::string text =
        answer("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 8",
               body) +
        "after";
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        FileAnswerReader reader(8);
        EXPECT_EQ(text.size() - 5, feedCut(reader, text, cut)) << "cut at " << cut;
        ASSERT_TRUE(reader.done()) << "cut at " << cut << ": " << reader.error();
        EXPECT_EQ(body, reader.body());
    }
    FileAnswerReader empty(8);
    feedCut(empty, answer("HTTP/1.1 200 OK\r\nContent-Length: 0", ""), 0);
    EXPECT_TRUE(empty.done());
}

TEST(FileAnswer, AnythingButABoundedWholeFileFails) {
    const struct {
        std::string text;
        const char* error;
        int status;
    } cases[] = {
        {answer("HTTP/1.1 404 Not Found\r\nContent-Length: 3", "404"), "the server answered 404",
         404},
        {answer("HTTP/1.1 200 OK", "abc"), "the server's answer gives no length", 200},
        {answer("HTTP/1.1 200 OK\r\nContent-Length: -1", ""), "gives no length", 200},
        {answer("HTTP/1.1 200 OK\r\nContent-Length: 1e3", ""), "gives no length", 200},
        {answer("HTTP/1.1 200 OK\r\nContent-Length: 9", ""), "larger than the game reads", 200},
        {answer("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999", ""), "no length", 200},
        {"SSH-2.0-OpenSSH\r\n\r\n", "does not read as HTTP", 0},
        {std::string(5000, 'x'), "does not read as HTTP", 0},
    };
    for (const auto& c : cases) {
        FileAnswerReader reader(8);
        feedCut(reader, c.text, 0);
        ASSERT_TRUE(reader.failed()) << c.text;
        EXPECT_NE(std::string::npos, reader.error().find(c.error)) << reader.error();
        EXPECT_EQ(c.status, reader.status()) << c.text;
        EXPECT_EQ(0U, reader.feed(reinterpret_cast<const unsigned char*>("x"), 1));
    }
    // A file that stops short is no file yet.
    FileAnswerReader reader(8);
    feedCut(reader, answer("HTTP/1.1 200 OK\r\nContent-Length: 4", "abc"), 0);
    EXPECT_FALSE(reader.done() || reader.failed());
}

} // namespace
