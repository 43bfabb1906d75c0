// SPDX-License-Identifier: MIT
// Addresses from outside in text, and the PROXY header a balancer sends:
// every form read as it is meant, every malformed one refused, the same
// split at every byte, and nothing after the header taken.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "net/forwarded_for.hpp"
#include "net/ip_address.hpp"
#include "net/proxy_header.hpp"

namespace {

TEST(IpAddress, ReadsEveryFormAndWritesTheShortest) {
    const std::pair<const char*, const char*> read[] = {
        {"203.0.113.7", "203.0.113.7"},
        {"::", "::"},
        {"::1", "::1"},
        {"2001:DB8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
        {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"},
        {"::ffff:192.0.2.1", "192.0.2.1"},
        {"64:ff9b::192.0.2.33", "64:ff9b::c000:221"},
        {"1:0:0:2:0:0:0:3", "1:0:0:2::3"},
    };
    for (const auto& [text, shown] : read) {
        net::PeerAddress a;
        EXPECT_TRUE(net::parseIpAddress(text, a)) << text;
        EXPECT_EQ(shown, a.text) << text;
    }
    for (const char* refused : {"", "1.2.3", "01.2.3.4", "256.1.1.1", "1.2.3.4.5", "1.2.3.4:80",
                                "[::1]", ":::", "1::2::3", "12345::", "g::", "1:2:3:4:5:6:7:8:9",
                                "1:2:3:4:5:6:7::8", "1:2:3:4:5:6:7:", "fe80::1%eth0"}) {
        net::PeerAddress a;
        a.text = "before";
        EXPECT_FALSE(net::parseIpAddress(refused, a)) << refused;
        EXPECT_EQ("before", a.text) << refused;
    }
}

std::string v2(unsigned char command, unsigned char family, const std::string& body) {
    std::string head("\r\n\r\n\0\r\nQUIT\n", 12);
    head += static_cast<char>(command);
    head += static_cast<char>(family);
    head += static_cast<char>(body.size() >> 8U);
    head += static_cast<char>(body.size() & 0xFFU);
    return head + body;
}

const std::string ipv4Block("\xcb\x00\x71\x07\xc0\x00\x02\x01\xc7\x38\x1c\xf0", 12);
const std::string ipv6Block = std::string("\x20\x01\x0d\xb8", 4) + std::string(11, '\0') + "\x07" +
                              std::string(16, '\0') + "\xc7\x38\x1c\xf0";

TEST(ProxyHeader, NamesTheClientSplitAtEveryByteAndLeavesWhatFollows) {
    struct Case {
        std::string header;
        const char* client; // "" for none named, nullptr for refused
    } const cases[] = {
        {"PROXY TCP4 203.0.113.7 192.0.2.1 51000 7416\r\n", "203.0.113.7"},
        {"PROXY TCP6 2001:db8::7 2001:db8::1 51000 7416\r\n", "2001:db8::7"},
        {"PROXY UNKNOWN ffff::1 whatever\r\n", ""},
        {"PROXY UNKNOWN\r\n", ""},
        {v2(0x21, 0x11, ipv4Block), "203.0.113.7"},
        {v2(0x21, 0x21, ipv6Block), "2001:db8::7"},
        {v2(0x21, 0x11, ipv4Block + std::string("\x04\x00\x02hi", 5)), "203.0.113.7"},
        {v2(0x20, 0x00, ""), ""},
        {v2(0x21, 0x00, ""), ""},
        {"GET / HTTP/1.1\r\n", nullptr},
        {"PROXY TCP4 1.2.3 192.0.2.1 1 2\r\n", nullptr},
        {"PROXY TCP4 2001:db8::7 192.0.2.1 1 2\r\n", nullptr},
        {"PROXY TCP6 203.0.113.7 2001:db8::1 1 2\r\n", nullptr},
        {"PROXY TCP4 203.0.113.7 192.0.2.1 65536 2\r\n", nullptr},
        {"PROXY TCP4 203.0.113.7 192.0.2.1 01 2\r\n", nullptr},
        {"PROXY TCP4 203.0.113.7  192.0.2.1 1 2\r\n", nullptr},
        {"PROXY TCP4 203.0.113.7 192.0.2.1 1 2\n", nullptr},
        {"PROXY UDP4 203.0.113.7 192.0.2.1 1 2\r\n", nullptr},
        {"PROXY " + std::string(net::ProxyHeaderReader::maxV1, 'x') + "\r\n", nullptr},
        {v2(0x11, 0x11, ipv4Block), nullptr},
        {v2(0x22, 0x11, ipv4Block), nullptr},
        {v2(0x21, 0x11, ipv4Block.substr(0, 11)), nullptr},
        {v2(0x21, 0x21, ipv4Block), nullptr},
        {v2(0x21, 0x11, std::string(net::ProxyHeaderReader::maxV2Body + 1, 'x')), nullptr},
    };
    const std::string after = "GET /healthz HTTP/1.1\r\n\r\n";
    for (const Case& c : cases) {
        std::string bytes = c.header + after;
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        for (std::size_t cut = 0; cut <= c.header.size(); ++cut) {
            net::ProxyHeaderReader reader;
            std::size_t taken = reader.feed(data, cut);
            if (!reader.failed())
                taken += reader.feed(data + taken, bytes.size() - taken);
            ASSERT_EQ(c.client == nullptr, reader.failed()) << c.header << " cut at " << cut;
            if (c.client == nullptr)
                continue;
            ASSERT_TRUE(reader.done()) << c.header;
            EXPECT_EQ(c.header.size(), taken) << c.header << " cut at " << cut;
            EXPECT_EQ(*c.client != '\0', reader.named()) << c.header;
            EXPECT_EQ(c.client, reader.named() ? reader.client().text : "") << c.header;
        }
    }
}

TEST(ForwardedFor, TheClientIsTheLastEntryNoTrustedBalancerWrote) {
    std::vector<net::PeerAddress> trusted;
    std::string why;
    ASSERT_TRUE(net::parseTrusted("10.0.0.5, 2001:db8::5", trusted, why)) << why;
    struct Case {
        const char* header;
        const char* client; // nullptr: nobody believed
    } const cases[] = {
        {"203.0.113.7", "203.0.113.7"},
        {"198.51.100.1, 203.0.113.7", "203.0.113.7"},
        {"203.0.113.7,10.0.0.5", "203.0.113.7"},
        {"forged, 203.0.113.7, 2001:DB8::5, 10.0.0.5", "203.0.113.7"},
        {"10.0.0.5", nullptr},
        {"", nullptr},
        {"203.0.113.7, nonsense", nullptr},
        {"203.0.113.7:4000", nullptr},
    };
    for (const Case& c : cases) {
        net::PeerAddress client;
        bool found = net::forwardedClient(c.header, trusted, client);
        EXPECT_EQ(c.client != nullptr, found) << c.header;
        EXPECT_EQ(c.client != nullptr ? c.client : "", found ? client.text : "") << c.header;
    }
    for (const char* bad : {"", "10.0.0.5,", "10.0.0.5, lb.example", "10.0.0.0/8"})
        EXPECT_FALSE(net::parseTrusted(bad, trusted, why)) << bad;
    EXPECT_EQ(2U, trusted.size()) << "a refused list leaves the list as it was";
}

} // namespace
