// SPDX-License-Identifier: MIT
// The page as the program holds it, checked for what its Content Security
// Policy and its promise of no other site need: no address of another
// site, no handler in an attribute, no style attribute, exactly one style
// and one script and each with the nonce's placeholder, and small.
#include <gtest/gtest.h>

#include <cstddef>
#include <regex>
#include <string>

#include "game/keys.hpp"
#include "net/protocol.hpp"
#include "web/page.hpp"

namespace web {
namespace {

// 96 KiB, with its rooms, replays, sound and pads.
constexpr std::size_t sizeLimit = std::size_t{96} * 1024;

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return out;
}

TEST(WebPage, IsSmallAndWhole) {
    std::string_view page = webPage();
    EXPECT_LT(page.size(), sizeLimit);
    EXPECT_EQ(0U, page.find("<!DOCTYPE html>"));
    EXPECT_NE(std::string_view::npos, page.find("</html>"));
    // Every part was put in its place.
    EXPECT_EQ(std::string_view::npos, page.find("@PAGE_"));
    EXPECT_NE(std::string_view::npos, page.find("class Decoder"));
    EXPECT_NE(std::string_view::npos, page.find("#screen"));
}

// No address of another site, nor a way to run text as script.
TEST(WebPage, NamesNoOtherSiteAndHasNoHandlerOrStyleAttributes) {
    std::string page = lower(webPage());
    for (const char* banned : {"http://", "https://", "//cdn", "@import", "url(",
                               "src=", "javascript:", "eval(", "new function"})
        EXPECT_EQ(0U, countOf(page, banned)) << banned;
    EXPECT_EQ(countOf(page, "<link"), countOf(page, "<link rel=\"icon\" href=\"data:"))
        << "no link but the icon, inline";
    std::smatch found;
    // An attribute whose name starts "on": onclick=, onload = ...
    EXPECT_FALSE(std::regex_search(page, found, std::regex(R"([\s"'/]on[a-z]+\s*=)")))
        << found.str();
    EXPECT_FALSE(std::regex_search(page, found, std::regex(R"([\s"']style\s*=)"))) << found.str();
}

TEST(WebPage, HasOneStyleAndOneScriptEachWithTheNonce) {
    std::string page(webPage());
    std::string nonce = "nonce=\"" + std::string(webPageNoncePlaceholder) + "\"";
    EXPECT_EQ(1U, countOf(lower(page), "<style"));
    EXPECT_EQ(1U, countOf(lower(page), "<script"));
    // Nothing inside them ends them early.
    EXPECT_EQ(1U, countOf(lower(page), "</style"));
    EXPECT_EQ(1U, countOf(lower(page), "</script"));
    EXPECT_EQ(1U, countOf(page, "<style " + nonce + ">"));
    EXPECT_EQ(1U, countOf(page, "<script " + nonce + ">"));
    EXPECT_EQ(2U, countOf(page, std::string(webPageNoncePlaceholder)));
}

// A number the page's script states as `const name = N;`, or a field of
// one of its tables, `name: N`; -1 when it states none.
int stated(const std::string& page, const std::string& name, bool field = false) {
    std::smatch found;
    std::regex pattern(field ? "[{ ]" + name + R"(: (\d+) ?[,}])"
                             : "const " + name + R"( = (\d+);)");
    return std::regex_search(page, found, pattern) ? std::stoi(found[1].str()) : -1;
}

template <typename Enum> constexpr int number(Enum value) { return static_cast<int>(value); }

// The script cannot include the game's headers, so it states the numbers
// it shares with them again; here they are held to the game's. Its
// protocol's version among them: a host of another version would refuse
// every browser.
TEST(WebPage, StatesTheProtocolsNumbersAsTheGameDoes) {
    std::string page(webPage());
    using net::KeyKind;
    using net::MessageType;
    using net::Seat;
    // clang-format off
    const std::pair<const char*, int> constants[] = {
        {"protocolVersion", net::protocolVersion}, {"maxHeaderSize", net::maxHeaderSize},
        {"maxPayload", net::maxPayload}, {"keepAliveMs", net::keepAliveMs},
        {"silenceLimitMs", net::silenceLimitMs}, {"maxLegendLength", maxLegendLength},
        {"columns", net::pictureColumns}, {"rows", net::pictureRows},
        {"keepAttribute", net::keepAttribute}, {"textColor", net::firstRunAttribute},
        {"kittyKeyMode", number(net::KeyMode::Kitty)},
    };
    const std::pair<const char*, int> fields[] = {
        {"Hello", number(MessageType::Hello)}, {"Welcome", number(MessageType::Welcome)},
        {"Refused", number(MessageType::Refused)}, {"Ready", number(MessageType::Ready)},
        {"Key", number(MessageType::Key)}, {"KeepAlive", number(MessageType::KeepAlive)},
        {"Picture", number(MessageType::Picture)}, {"Delta", number(MessageType::Delta)},
        {"End", number(MessageType::End)},
        {"Turn", number(Action::Turn)}, {"Left", number(Action::Left)},
        {"Right", number(Action::Right)}, {"Drop", number(Action::Drop)},
        {"Escape", number(Action::Escape)}, {"Enter", number(Action::Enter)},
        {"Press", number(KeyKind::Press)}, {"Repeat", number(KeyKind::Repeat)},
        {"Release", number(KeyKind::Release)}, {"ReleaseAll", number(KeyKind::ReleaseAll)},
        {"Player", number(Seat::Player)}, {"Watcher", number(Seat::Watcher)},
    };
    // clang-format on
    for (auto [name, value] : constants)
        EXPECT_EQ(value, stated(page, name)) << name;
    for (auto [name, value] : fields)
        EXPECT_EQ(value, stated(page, name, true)) << name;
}

} // namespace
} // namespace web
