// SPDX-License-Identifier: MIT
// The server's pure parts: its log lines, its metrics and its own answers.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "net/http_request.hpp"
#include "server/answers.hpp"
#include "server/counts.hpp"
#include "server/log_line.hpp"
#include "server/room.hpp"

namespace {

using server::logValue;

TEST(LogLine, ValuesFromOutsideCannotForgeALineOrAField) {
    struct Case {
        std::string value;
        std::string shown;
    } const cases[] = {
        {"127.0.0.1:7416", "127.0.0.1:7416"},
        {"[::1]:80", "[::1]:80"},
        {"", "\"\""},
        {"two words", "\"two words\""},
        {"a=b", "\"a=b\""},
        {"say \"hi\" \\ bye", "\"say \\\"hi\\\" \\\\ bye\""},
        {"x\nlevel=error event=forged", "\"x\\nlevel=error event=forged\""},
        {"tab\there", "\"tab\\there\""},
        {std::string("nul\0bell\a", 9), "\"nul\\x00bell\\x07\""},
        {"caf\xc3\xa9", "\"caf\\xc3\\xa9\""},
        {std::string(server::maxLogValue + 1, 'a'),
         std::string(1, '"').append(server::maxLogValue, 'a').append("...\"")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shown, logValue(c.value)) << c.value;
}

TEST(LogLine, IsOneLineOfKeysAndValuesWithTheTimeInUtc) {
    std::string line = server::logLine(1'796'731'200'250, "warn", "refused",
                                       {{"connections", "12"}, {"reason", "too\nslow"}});
    EXPECT_EQ("time=2026-12-08T12:00:00.250Z level=warn event=refused connections=12 "
              "reason=\"too\\nslow\"\n",
              line);
}

TEST(Metrics, EverySampleHasItsHelpAndTypeAndTheCountsValue) {
    // Each count set apart from the others, and the sample that shows it.
    struct Sample {
        long long server::Counts::*count;
        const char* name;
        long long value;
    } const shown[] = {
        {&server::Counts::rooms, "rooms", 3},
        {&server::Counts::players, "players", 5},
        {&server::Counts::watchers, "watchers", 7},
        {&server::Counts::matchesEnded, "matches_ended_total", 11},
        {&server::Counts::connectionsRefused, "connections_refused_total", 13},
        {&server::Counts::lateFrames, "late_frames_total", 17},
    };
    server::Counts counts;
    for (const Sample& s : shown)
        counts.*s.count = s.value;
    std::string text = server::metricsText(counts, true);
    std::map<std::string, std::string> samples;
    std::set<std::string> described;
    std::istringstream in(text);
    std::string line;
    const std::regex comment("# (HELP|TYPE) blockduel_([a-z_]+) .+");
    const std::regex sample("blockduel_([a-z_]+) (-?[0-9]+)");
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, comment)) {
            described.insert(m[1].str() + m[2].str());
            continue;
        }
        ASSERT_TRUE(std::regex_match(line, m, sample)) << line;
        EXPECT_TRUE(described.count("HELP" + m[1].str()) == 1 &&
                    described.count("TYPE" + m[1].str()) == 1)
            << m[1] << " comes without its HELP and TYPE";
        samples[m[1]] = m[2];
    }
    for (const Sample& s : shown)
        EXPECT_EQ(std::to_string(s.value), samples[s.name]) << s.name;
    EXPECT_EQ("1", samples["draining"]);
}

net::HttpRequest requestOf(const std::string& head) {
    net::HttpRequestReader reader;
    reader.feed(reinterpret_cast<const unsigned char*>(head.data()), head.size());
    EXPECT_TRUE(reader.done()) << head;
    return reader.request();
}

TEST(ServerAnswers, HealthAndMetricsUnderAnyNameAndNothingElse) {
    struct Case {
        const char* head;
        bool draining;
        const char* starts;
        const char* holds;
    } const cases[] = {
        {"GET /healthz HTTP/1.1\r\nHost: lb.example\r\n\r\n", false, "HTTP/1.1 200 OK", "\r\nok\n"},
        {"GET /healthz?probe=1 HTTP/1.1\r\nHost: a\r\n\r\n", false, "HTTP/1.1 200 OK", "ok\n"},
        {"GET /healthz HTTP/1.1\r\nHost: a\r\n\r\n", true, "HTTP/1.1 503 Service Unavailable",
         "draining\n"},
        {"GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n", false, "HTTP/1.1 200 OK",
         "Content-Type: text/plain; version=0.0.4\r\n"},
        {"GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n", true, "HTTP/1.1 200 OK",
         "blockduel_draining 1"},
        {"GET /healthz/ HTTP/1.1\r\nHost: a\r\n\r\n", false, "HTTP/1.1 404 Not Found", ""},
        {"GET /nowhere HTTP/1.1\r\nHost: a\r\n\r\n", false, "HTTP/1.1 404 Not Found", ""},
        {"POST /healthz HTTP/1.1\r\nHost: a\r\n\r\n", false, "HTTP/1.1 405 Method Not Allowed",
         "Allow: GET\r\n"},
    };
    for (const Case& c : cases) {
        std::string got =
            server::answerServerRequest(requestOf(c.head), server::Counts{}, c.draining).response;
        EXPECT_EQ(0U, got.rfind(c.starts, 0)) << c.head << got;
        EXPECT_NE(std::string::npos, got.find(c.holds)) << c.head << got;
        EXPECT_NE(std::string::npos, got.find("Connection: close\r\n")) << c.head;
    }
}

// Rooms that start together (a quick match's pair, a flood of links) draw
// pieces of their own: their seeds differ within one millisecond.
TEST(RoomSeeds, RoomsStartedAtOnceDrawTheirOwnPieces) {
    std::set<unsigned> seeds;
    for (int i = 0; i < 64; ++i)
        seeds.insert(server::roomSeed());
    EXPECT_EQ(64U, seeds.size());
    EXPECT_EQ(0U, seeds.count(0U));
}

} // namespace
