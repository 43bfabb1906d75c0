// SPDX-License-Identifier: MIT
// The host's answers to a browser: the handshake's proof, the page under its
// policy with a fresh nonce, the refusals, and nothing under a name that is
// not this host's.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

const std::string version13 = "Sec-WebSocket-Version: 13\r\n";
const std::string pagesOrigin = "http://10.0.0.5:7416";

std::string upgradeHead(const std::string& origin, const std::string& extra = version13,
                        const std::string& host = "10.0.0.5:7416",
                        const std::string& target = "/play") {
    return "GET " + target + " HTTP/1.1\r\nHost: " + host +
           "\r\nConnection: keep-alive, Upgrade\r\nUpgrade: websocket\r\nOrigin: " + origin +
           "\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n" + extra + "\r\n";
}

std::string pageHead(const std::string& target, const std::string& host = "10.0.0.5:7416",
                     const std::string& method = "GET") {
    return method + " " + target + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
}

const std::string page = "<style nonce=\"{{NONCE}}\"></style><script nonce=\"{{NONCE}}\"></script>";

// A host listening on every interface at 7416, known behind a TLS proxy as
// play.example.org.
const net::HostNames names =
    net::hostNamesOf({"10.0.0.5", "::1", "fe80::1%eth0", "Desk"}, "play.example.org:443");

net::WebAnswer answer(const std::string& head,
                      const std::string& nonce = "bm9uY2U=", const net::HostNames& at = names) {
    return net::answerWebRequest(read(head), at, page, "{{NONCE}}", nonce);
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

// `head` with its first `what` replaced by `instead`.
std::string with(std::string head, const std::string& what, const std::string& instead) {
    head.replace(head.find(what), what.size(), instead);
    return head;
}

// The key proved as RFC 6455 shows it; the version the host takes told.
TEST(WebAnswer, UpgradesThePagesOwnOrigin) {
    net::WebAnswer a = answer(upgradeHead(pagesOrigin));
    ASSERT_EQ(a.kind, WebAnswerKind::Upgrade);
    EXPECT_EQ(a.response, "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                          "Connection: Upgrade\r\n"
                          "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n");
    EXPECT_NE(answer(upgradeHead(pagesOrigin, "")).response.find("Sec-WebSocket-Version: 13\r\n"),
              std::string::npos);
    EXPECT_EQ(net::badRequestResponse().rfind("HTTP/1.1 400 ", 0), 0U);
    EXPECT_NE(net::badRequestResponse().find("Connection: close"), std::string::npos);
}

// Each request is answered as its kind, with that kind's status. Behind a
// TLS proxy that keeps the Host header, the page's origin is HTTPS; every
// other origin, or none, is refused. A query, as chat apps and trackers add
// to a link, changes no path.
TEST(WebAnswer, AnswersEachRequestAsItsKind) {
    const std::string upgrade = upgradeHead(pagesOrigin);
    std::vector<std::pair<std::string, WebAnswerKind>> rows = {
        {upgradeHead("https://10.0.0.5:7416"), WebAnswerKind::Upgrade},
        {upgradeHead(pagesOrigin, version13, "10.0.0.5:7416", "/play?x=1"), WebAnswerKind::Upgrade},
        {with(upgrade, "Origin: " + pagesOrigin + "\r\n", ""), WebAnswerKind::Forbidden},
        {pageHead("/play?x=1"), WebAnswerKind::Forbidden},
        // No version or another, another protocol, no upgrade, keys too short or no base64.
        {upgradeHead(pagesOrigin, ""), WebAnswerKind::BadRequest},
        {upgradeHead(pagesOrigin, "Sec-WebSocket-Version: 8\r\n"), WebAnswerKind::BadRequest},
        {with(upgrade, "Upgrade: websocket", "Upgrade: h2c"), WebAnswerKind::BadRequest},
        {with(upgrade, "keep-alive, Upgrade", "keep-alive"), WebAnswerKind::BadRequest},
        {with(upgrade, "dGhlIHNhbXBsZSBub25jZQ==", "c2hvcnQ="), WebAnswerKind::BadRequest},
        {with(upgrade, "dGhlIHNhbXBsZSBub25jZQ==", "not base64 at all!!!!!!"),
         WebAnswerKind::BadRequest},
    };
    for (const char* other :
         {"http://evil.example", "https://evil.example", "http://10.0.0.5", "https://10.0.0.5:7417",
          "http://10.0.0.5:7417", "ws://10.0.0.5:7416", "null", ""})
        rows.emplace_back(upgradeHead(other), WebAnswerKind::Forbidden);
    for (const char* target : {"/?x=1", "/?", "/?utm_source=chat&a=/play"})
        rows.emplace_back(pageHead(target), WebAnswerKind::Page);
    for (const char* target : {"/favicon.ico", "/x?/", "/favicon.ico?x", "/play/", "//?x"})
        rows.emplace_back(pageHead(target), WebAnswerKind::NotFound);
    for (const char* method : {"POST", "HEAD", "PUT", "OPTIONS", "get"})
        rows.emplace_back(pageHead("/", "10.0.0.5:7416", method), WebAnswerKind::NotAllowed);
    const char* const statuses[] = {"200 ", "101 ", "400 ", "403 ", "404 ", "405 "};
    for (const auto& [head, kind] : rows) {
        net::WebAnswer a = answer(head);
        EXPECT_EQ(a.kind, kind) << head;
        std::string status = statuses[static_cast<int>(kind)];
        EXPECT_TRUE(a.response.starts_with("HTTP/1.1 " + status)) << head;
    }
}

TEST(WebAnswer, ServesThePageUnderItsPolicy) {
    net::WebAnswer a = answer(pageHead("/"), "QUJDREVGR0hJSktMTU5PUA==");
    ASSERT_EQ(a.kind, WebAnswerKind::Page);
    const std::string& r = a.response;
    EXPECT_EQ(r.rfind("HTTP/1.1 200 OK\r\n", 0), 0U);
    std::string head = r.substr(0, r.find("\r\n\r\n") + 2);
    std::string body = r.substr(head.size() + 2);
    const char* const policy =
        "Content-Security-Policy: default-src 'none'; script-src "
        "'nonce-QUJDREVGR0hJSktMTU5PUA=='; style-src 'nonce-QUJDREVGR0hJSktMTU5PUA=='; "
        "connect-src 'self'; img-src data:; base-uri 'none'; form-action 'none'; "
        "frame-ancestors 'none'";
    for (const char* field :
         {"Content-Type: text/html; charset=utf-8", policy, "Cache-Control: no-store",
          "X-Content-Type-Options: nosniff", "Connection: close"})
        EXPECT_NE(head.find(std::string("\r\n") + field + "\r\n"), std::string::npos) << field;
    EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(body, "<style nonce=\"QUJDREVGR0hJSktMTU5PUA==\"></style>"
                    "<script nonce=\"QUJDREVGR0hJSktMTU5PUA==\"></script>");
}

// A page of a stranger's site whose name now points here (or at the
// player's loopback) names that site: refused, page and upgrade alike, even
// with an Origin that agrees with it. Only the name counts: a tunnel or a
// proxy brings a browser in at a port of its own.
TEST(WebAnswer, AnswersOnlyUnderThisHostsNames) {
    auto expect = [&](const std::string& host, bool isOurs) {
        WebAnswerKind served = answer(pageHead("/", host)).kind;
        WebAnswerKind upgrade = answer(upgradeHead("http://" + host, version13, host)).kind;
        WebAnswerKind post = answer(pageHead("/", host, "POST")).kind;
        EXPECT_EQ(served, isOurs ? WebAnswerKind::Page : WebAnswerKind::Forbidden) << host;
        EXPECT_EQ(upgrade, isOurs ? WebAnswerKind::Upgrade : WebAnswerKind::Forbidden) << host;
        EXPECT_EQ(post, isOurs ? WebAnswerKind::NotAllowed : WebAnswerKind::Forbidden) << host;
    };
    for (const char* host : {"10.0.0.5:7416", "localhost:7416", "LocalHost:7416", "[::1]:7416",
                             "[fe80::1]:7416", "desk:7416", "play.example.org",
                             "play.example.org:443", "10.0.0.5:8000", "10.0.0.5", "[::1]"})
        expect(host, true);
    for (const char* host :
         {"evil.example:7416", "evil.example", "play.example.org.evil.example", "::1:7416",
          "10.0.0.5:", "10.0.0.5:7416.evil.example", "10.0.0.5.evil.example:7416",
          "localhost.:7416", "a@10.0.0.5:7416", "", "10.0.0.5:65536"})
        expect(host, false);
    EXPECT_EQ(answer(pageHead("/"), "bm9uY2U=", {}).kind, WebAnswerKind::Forbidden)
        << "no names, no answer";
}

} // namespace
