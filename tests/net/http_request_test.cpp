// SPDX-License-Identifier: MIT
// The request head reader: a browser's head read the same however it is
// split, and every malformed head refused rather than half-read.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "net/http_request.hpp"

namespace {

using net::HttpRequestReader;

// A browser's head, but for a header name in capitals, a value padded with
// blanks, and an empty one.
const std::string browserHead = "GET /play HTTP/1.1\r\n"
                                "HOST:\t 192.168.1.20:7416 \t\r\n"
                                "X-Empty:\r\n"
                                "Connection: Upgrade\r\n"
                                "Upgrade: websocket\r\n"
                                "Origin: http://192.168.1.20:7416\r\n"
                                "Sec-WebSocket-Version: 13\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                "\r\n";

// Feeds `text` in pieces of `piece` bytes; how many bytes it took in all.
std::size_t feedInPieces(HttpRequestReader& reader, const std::string& text, std::size_t piece) {
    std::size_t taken = 0;
    for (std::size_t at = 0; at < text.size() && !reader.done() && !reader.failed(); at += piece) {
        std::size_t n = std::min(piece, text.size() - at);
        taken += reader.feed(reinterpret_cast<const unsigned char*>(text.data() + at), n);
    }
    return taken;
}

// Feeds `text` at once; how many bytes it took.
std::size_t feed(HttpRequestReader& reader, const std::string& text) {
    return reader.feed(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

// Failed with a reason, and it takes nothing more.
bool refuses(const std::string& head) {
    HttpRequestReader reader;
    feed(reader, head);
    return reader.failed() && !reader.done() && !reader.error().empty() && feed(reader, head) == 0;
}

// However the head is split, its names lowered and its values trimmed;
// what follows it, a WebSocket's first frame, is left to the caller.
TEST(HttpRequest, ReadsABrowsersHeadTheSameSplitAtEveryByte) {
    const std::vector<std::pair<std::string, std::string>> headers = {
        {"host", "192.168.1.20:7416"},
        {"x-empty", ""},
        {"connection", "Upgrade"},
        {"upgrade", "websocket"},
        {"origin", "http://192.168.1.20:7416"},
        {"sec-websocket-version", "13"},
        {"sec-websocket-key", "dGhlIHNhbXBsZSBub25jZQ=="}};
    for (std::size_t cut = 1; cut <= browserHead.size(); ++cut) {
        HttpRequestReader reader;
        EXPECT_EQ(feed(reader, browserHead.substr(0, cut)), cut);
        EXPECT_EQ(reader.done(), cut == browserHead.size()) << cut;
        EXPECT_EQ(feed(reader, browserHead.substr(cut) + "\x81\x85"), browserHead.size() - cut);
        ASSERT_TRUE(reader.done()) << "split at " << cut;
        const net::HttpRequest& r = reader.request();
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(r.target, "/play");
        EXPECT_EQ(r.headers, headers) << cut;
    }
    HttpRequestReader byteByByte;
    EXPECT_EQ(feedInPieces(byteByByte, browserHead, 1), browserHead.size());
    ASSERT_TRUE(byteByByte.done());
    const net::HttpRequest& r = byteByByte.request();
    EXPECT_EQ(r.header("sec-websocket-key"), "dGhlIHNhbXBsZSBub25jZQ==");
    EXPECT_TRUE(r.has("x-empty"));
    EXPECT_TRUE(r.header("cookie").empty());
    EXPECT_FALSE(r.has("cookie"));
}

// A server's answer, as a terminal reads it: the status line's code, no
// Host needed, and the first frame after it left to the caller.
TEST(HttpRequest, ReadsAServersAnswer) {
    const std::string answer = "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                               "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n";
    for (std::size_t cut = 1; cut <= answer.size(); ++cut) {
        HttpRequestReader reader(net::HttpHead::Response);
        feed(reader, answer.substr(0, cut));
        EXPECT_EQ(feed(reader, answer.substr(cut) + "\x82\x01"), answer.size() - cut);
        ASSERT_TRUE(reader.done()) << "split at " << cut;
        EXPECT_EQ(reader.status(), 101);
        EXPECT_EQ(reader.request().header("sec-websocket-accept"), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
    }
    const struct {
        const char* head;
        int status; // 0: refused
    } cases[] = {
        {"HTTP/1.1 404 Not Found\r\n\r\n", 404},  {"HTTP/1.1 204\r\n\r\n", 204},
        {"HTTP/1.0 101 Switching\r\n\r\n", 0},    {"HTTP/1.1 1x1 Switching\r\n\r\n", 0},
        {"HTTP/1.1 101Switching\r\n\r\n", 0},     {"HTTP/1.1 10\r\n\r\n", 0},
        {"GET / HTTP/1.1\r\nHost: a\r\n\r\n", 0},
    };
    for (const auto& c : cases) {
        HttpRequestReader reader(net::HttpHead::Response);
        feed(reader, c.head);
        EXPECT_EQ(reader.failed(), c.status == 0) << c.head;
        EXPECT_EQ(reader.done() ? reader.status() : 0, c.status) << c.head;
    }
}

TEST(HttpRequest, RefusesMalformedHeads) {
    std::string tooManyHeaders = "GET / HTTP/1.1\r\nHost: a\r\n";
    for (std::size_t i = 0; i < HttpRequestReader::maxHeaders; ++i)
        tooManyHeaders += "X: 1\r\n";
    const std::string heads[] = {
        "GET / HTTP/1.1\nHost: a\r\n\r\n",              // bare line feed
        "GET / HTTP/1.1\r\nHost: a\n\r\n",              // bare line feed in a header
        "GET / HTTP/1.1\rHost: a\r\n\r\n",              // bare carriage return
        "GET / HTTP/1.0\r\nHost: a\r\n\r\n",            // another version
        "GET / HTTP/2\r\nHost: a\r\n\r\n",              // another version
        "GET /\r\nHost: a\r\n\r\n",                     // no version
        "GET  / HTTP/1.1\r\nHost: a\r\n\r\n",           // two spaces
        "GET / HTTP/1.1 x\r\nHost: a\r\n\r\n",          // a fourth word
        "G(T / HTTP/1.1\r\nHost: a\r\n\r\n",            // a method that is no token
        "GET http://a/ HTTP/1.1\r\nHost: a\r\n\r\n",    // not a path
        "GET * HTTP/1.1\r\nHost: a\r\n\r\n",            // not a path
        "GET / HTTP/1.1\r\n\r\n",                       // no Host
        "GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", // two Hosts
        "GET / HTTP/1.1\r\nHost: a\r\n folded\r\n\r\n", // obsolete folding
        "GET / HTTP/1.1\r\nHost: a\r\nNo colon\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: a\r\n: empty name\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: a\r\nBad name: x\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: a\r\nX: a\x01z\r\n\r\n",                      // control byte
        "GET / HTTP/1.1\r\nHost: a\r\nX: a\x7fz\r\n\r\n",                      // DEL
        std::string("GET / HTTP/1.1\r\nHost: a\r\nX: a") + '\0' + "z\r\n\r\n", // NUL
        "\r\n",                                                                // no request line
        tooManyHeaders + "\r\n",
    };
    for (const std::string& head : heads)
        EXPECT_TRUE(refuses(head)) << testing::PrintToString(head);
}

TEST(HttpRequest, RefusesAHeadPastItsBound) {
    std::string head = "GET / HTTP/1.1\r\nHost: a\r\nX: ";
    head += std::string(HttpRequestReader::maxHead - head.size() - 4, 'x');
    head += "\r\n\r\n"; // exactly at the bound
    HttpRequestReader atBound;
    feedInPieces(atBound, head, 7);
    EXPECT_TRUE(atBound.done());
    head.insert(head.begin() + 30, 'y'); // a character: g++ 12 -O3 warns wrongly on a string
    HttpRequestReader over;
    feedInPieces(over, head, 7);
    EXPECT_TRUE(over.failed());
    // A head that never ends stops at the bound too, however it comes.
    HttpRequestReader endless;
    std::string line = "X: ";
    line.append(100, 'z').append("\r\n");
    std::string start = "GET / HTTP/1.1\r\nHost: a\r\n";
    feedInPieces(endless, start, 5);
    std::size_t fed = start.size();
    while (!endless.failed() && fed < 10 * HttpRequestReader::maxHead)
        fed += feedInPieces(endless, line, 1);
    EXPECT_TRUE(endless.failed());
    EXPECT_LE(fed, HttpRequestReader::maxHead);
}

} // namespace
