// SPDX-License-Identifier: MIT
// The host's answers to a browser: the handshake's proof, the page under its
// policy with a fresh nonce, and the refusals.
#include <gtest/gtest.h>

#include <string>

#include "net/base64.hpp"
#include "net/http_request.hpp"
#include "net/sha1.hpp"
#include "net/web_answer.hpp"

namespace {

using net::WebAnswerKind;

std::string hex(const net::Sha1Digest& d) {
    std::string out;
    for (auto b : d) {
        const char* digits = "0123456789abcdef";
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

net::HttpRequest read(const std::string& head) {
    net::HttpRequestReader reader;
    reader.feed(reinterpret_cast<const unsigned char*>(head.data()), head.size());
    EXPECT_TRUE(reader.done()) << head;
    return reader.request();
}

std::string upgradeHead(const std::string& origin, const std::string& extra = {}) {
    return "GET /play HTTP/1.1\r\nHost: 10.0.0.5:7416\r\nConnection: keep-alive, Upgrade\r\n"
           "Upgrade: websocket\r\nOrigin: " +
           origin + "\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n" + extra + "\r\n";
}

const std::string page = "<style nonce=\"{{NONCE}}\"></style><script nonce=\"{{NONCE}}\"></script>";

net::WebAnswer answer(const std::string& head, const std::string& nonce = "bm9uY2U=") {
    return net::answerWebRequest(read(head), page, "{{NONCE}}", nonce);
}

TEST(Sha1, MatchesKnownDigests) {
    EXPECT_EQ(hex(net::sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hex(net::sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    // 56 bytes: the padding takes a second block.
    EXPECT_EQ(hex(net::sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(hex(net::sha1(std::string(1000000, 'a'))),
              "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Base64, BothWays) {
    const char* const texts[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
    const char* const coded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (int i = 0; i < 7; ++i) {
        std::string t = texts[i];
        EXPECT_EQ(net::base64(reinterpret_cast<const unsigned char*>(t.data()), t.size()),
                  coded[i]);
        EXPECT_EQ(net::fromBase64(coded[i]), t);
    }
    for (const char* bad : {"Zg=", "Z===", "Zg=a", "Z!==", "Zm9v=", "Zg==Zg==", "Zm 9"})
        EXPECT_FALSE(net::fromBase64(bad)) << bad;
}

TEST(WebAnswer, ProvesTheKeyAsRfc6455Shows) {
    EXPECT_EQ(net::webSocketAccept("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST(WebAnswer, UpgradesThePagesOwnOrigin) {
    // Behind a TLS proxy that keeps the Host header, the page's origin is HTTPS.
    EXPECT_EQ(answer(upgradeHead("https://10.0.0.5:7416", "Sec-WebSocket-Version: 13\r\n")).kind,
              WebAnswerKind::Upgrade);
    net::WebAnswer a = answer(upgradeHead("http://10.0.0.5:7416", "Sec-WebSocket-Version: 13\r\n"));
    ASSERT_EQ(a.kind, WebAnswerKind::Upgrade);
    EXPECT_EQ(a.response, "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                          "Connection: Upgrade\r\n"
                          "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n");
}

TEST(WebAnswer, RefusesEveryOtherOrigin) {
    const std::string v13 = "Sec-WebSocket-Version: 13\r\n";
    for (const char* origin :
         {"http://evil.example", "https://evil.example", "http://10.0.0.5", "https://10.0.0.5:7417",
          "http://10.0.0.5:7417", "ws://10.0.0.5:7416", "null", ""})
        EXPECT_EQ(answer(upgradeHead(origin, v13)).kind, WebAnswerKind::Forbidden) << origin;
    std::string noOrigin = "GET /play HTTP/1.1\r\nHost: a:1\r\nConnection: Upgrade\r\n"
                           "Upgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
                           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
    net::WebAnswer a = answer(noOrigin);
    EXPECT_EQ(a.kind, WebAnswerKind::Forbidden);
    EXPECT_EQ(a.response.rfind("HTTP/1.1 403 ", 0), 0U);
}

TEST(WebAnswer, RefusesABadUpgrade) {
    const std::string origin = "http://10.0.0.5:7416";
    EXPECT_EQ(answer(upgradeHead(origin)).kind, WebAnswerKind::BadRequest); // no version
    EXPECT_NE(answer(upgradeHead(origin)).response.find("Sec-WebSocket-Version: 13\r\n"),
              std::string::npos);
    EXPECT_EQ(answer(upgradeHead(origin, "Sec-WebSocket-Version: 8\r\n")).kind,
              WebAnswerKind::BadRequest);
    std::string head = upgradeHead(origin, "Sec-WebSocket-Version: 13\r\n");
    auto without = [&](const std::string& what, const std::string& instead) {
        std::string h = head;
        h.replace(h.find(what), what.size(), instead);
        return answer(h).kind;
    };
    EXPECT_EQ(without("Upgrade: websocket", "Upgrade: h2c"), WebAnswerKind::BadRequest);
    EXPECT_EQ(without("keep-alive, Upgrade", "keep-alive"), WebAnswerKind::BadRequest);
    EXPECT_EQ(without("dGhlIHNhbXBsZSBub25jZQ==", "c2hvcnQ="), WebAnswerKind::BadRequest);
    EXPECT_EQ(without("dGhlIHNhbXBsZSBub25jZQ==", "not base64 at all!!!!!!"),
              WebAnswerKind::BadRequest);
}

TEST(WebAnswer, ServesThePageUnderItsPolicy) {
    net::WebAnswer a = answer("GET / HTTP/1.1\r\nHost: h:1\r\n\r\n", "QUJDREVGR0hJSktMTU5PUA==");
    ASSERT_EQ(a.kind, WebAnswerKind::Page);
    const std::string& r = a.response;
    EXPECT_EQ(r.rfind("HTTP/1.1 200 OK\r\n", 0), 0U);
    std::string head = r.substr(0, r.find("\r\n\r\n") + 2);
    std::string body = r.substr(head.size() + 2);
    EXPECT_NE(head.find("\r\nContent-Type: text/html; charset=utf-8\r\n"), std::string::npos);
    EXPECT_NE(head.find("\r\nContent-Security-Policy: default-src 'none'; script-src "
                        "'nonce-QUJDREVGR0hJSktMTU5PUA=='; style-src "
                        "'nonce-QUJDREVGR0hJSktMTU5PUA=='; connect-src 'self'; img-src 'none'; "
                        "base-uri 'none'; form-action 'none'; frame-ancestors 'none'\r\n"),
              std::string::npos);
    EXPECT_NE(head.find("\r\nCache-Control: no-store\r\n"), std::string::npos);
    EXPECT_NE(head.find("\r\nX-Content-Type-Options: nosniff\r\n"), std::string::npos);
    EXPECT_NE(head.find("\r\nConnection: close\r\n"), std::string::npos);
    EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(body, "<style nonce=\"QUJDREVGR0hJSktMTU5PUA==\"></style>"
                    "<script nonce=\"QUJDREVGR0hJSktMTU5PUA==\"></script>");
}

TEST(WebAnswer, RefusesOtherPathsAndMethods) {
    net::WebAnswer missing = answer("GET /favicon.ico HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(missing.kind, WebAnswerKind::NotFound);
    EXPECT_EQ(missing.response.rfind("HTTP/1.1 404 ", 0), 0U);
    EXPECT_EQ(answer("GET /?x HTTP/1.1\r\nHost: h\r\n\r\n").kind, WebAnswerKind::NotFound);
    EXPECT_EQ(answer("GET /play/ HTTP/1.1\r\nHost: h\r\n\r\n").kind, WebAnswerKind::NotFound);
    for (const char* method : {"POST", "HEAD", "PUT", "OPTIONS", "get"}) {
        net::WebAnswer a = answer(std::string(method) + " / HTTP/1.1\r\nHost: h\r\n\r\n");
        EXPECT_EQ(a.kind, WebAnswerKind::NotAllowed) << method;
        EXPECT_EQ(a.response.rfind("HTTP/1.1 405 ", 0), 0U);
    }
    EXPECT_EQ(net::badRequestResponse().rfind("HTTP/1.1 400 ", 0), 0U);
    EXPECT_NE(net::badRequestResponse().find("Connection: close"), std::string::npos);
}

} // namespace
