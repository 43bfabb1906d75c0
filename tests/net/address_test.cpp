// SPDX-License-Identifier: MIT
// Addresses as typed after --host, --join and --watch.
#include <gtest/gtest.h>

#include <string>

#include "net/address.hpp"

namespace {

using namespace net;

TEST(Address, ReadForListeningAndForConnecting) {
    struct Case {
        const char* text;
        bool listening;
        const char* host;
        int port;
        const char* problem; // part of the message; "" when accepted
    };
    const Case cases[] = {
        {"", true, "", 7416, ""},
        {":9000", true, "", 9000, ""},
        {":0", true, "", 0, ""}, // the system picks a port
        {"127.0.0.1:7416", true, "127.0.0.1", 7416, ""},
        {"127.0.0.1", true, "127.0.0.1", 7416, ""},
        {"[::1]:7000", true, "::1", 7000, ""},
        {"example.org", false, "example.org", 7416, ""},
        {"example.org:1", false, "example.org", 1, ""},
        {"box-2.local:65535", false, "box-2.local", 65535, ""},
        {"[::1]", false, "::1", 7416, ""},
        {"::1", false, "::1", 7416, ""},
        {"fe80::1%eth0", false, "fe80::1%eth0", 7416, ""},
        {"[fe80::1%eth0]:80", false, "fe80::1%eth0", 80, ""},
        {"[::ffff:127.0.0.1]:5", false, "::ffff:127.0.0.1", 5, ""},
        {"", false, "", 0, "address is missing"},
        {":7416", false, "", 0, "address is missing"},
        {"host:0", false, "", 0, "from 1 to 65535, not '0'"},
        {"host:65536", false, "", 0, "not '65536'"},
        {"host:123456", false, "", 0, "not '123456'"},
        {"host:", false, "", 0, "not ''"},
        {"host:-1", false, "", 0, "not '-1'"},
        {"host:+80", false, "", 0, "not '+80'"},
        {"host:80x", false, "", 0, "not '80x'"},
        {":99999", true, "", 0, "from 0 to 65535, not '99999'"},
        {"7416", true, "", 0, "for a port alone, write :7416"},
        {"7416", false, "", 0, "for a port alone"},
        {"[::1", false, "", 0, "no ']'"},
        {"[::1]7416", false, "", 0, "only ':PORT' may follow ']'"},
        {"[example.org]:1", false, "", 0, "is not an IPv6 address"},
        {"1:2:x", false, "", 0, "[ADDRESS]:PORT"},
        {"bad host:1", false, "", 0, "'bad host' is not a host name"},
        {"h\xc3\xa9:1", false, "", 0, "is not a host name"},
        {"fe80::1%:1", false, "", 0, "[ADDRESS]:PORT"},
    };
    for (const Case& c : cases) {
        Endpoint e;
        e.host = "untouched";
        std::string problem = parseEndpoint(c.text, c.listening, e);
        if (*c.problem == '\0') {
            EXPECT_EQ("", problem) << c.text;
            EXPECT_EQ(c.host, e.host) << c.text;
            EXPECT_EQ(c.port, e.port) << c.text;
        } else {
            EXPECT_NE(std::string::npos, problem.find(c.problem)) << c.text << ": " << problem;
            EXPECT_EQ("untouched", e.host) << c.text;
        }
    }
    Endpoint longName;
    EXPECT_NE("", parseEndpoint(std::string(254, 'a'), false, longName));
    EXPECT_EQ("", parseEndpoint(std::string(253, 'a'), false, longName));
}

TEST(Address, WrittenBackAsTyped) {
    EXPECT_EQ("192.168.1.20:7416", formatEndpoint("192.168.1.20", 7416));
    EXPECT_EQ("[fe80::1]:9", formatEndpoint("fe80::1", 9));
    EXPECT_EQ("box:1", formatEndpoint("box", 1));
}

} // namespace
