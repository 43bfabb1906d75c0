// SPDX-License-Identifier: MIT
// Prints messages as this game's own encoder writes them, for the page's
// tests to read against: a host's stream (a Picture and a Delta made by
// the picture's own runs, a KeepAlive, the Result of round 3 won by board
// two by 1234 points and 5 rows to 70000 and 300 in 4000 frames, 381
// seconds, the left board the computer's at level 9, the match over and
// won by board two; End) with the pictures that
// applying its runs gives, and a guest's messages (Hello, Ready, keys).
// And how the terminal shows a cell: each code's glyph, each console
// colour's SGR parameter. One JSON object on standard output; the page's
// tests run this program.
#include <cstdio>
#include <string>

#include "net/picture.hpp"
#include "net/protocol.hpp"
#include "platform/terminal/escapes.hpp"
#include "platform/terminal/glyphs.hpp"

namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

// The cells as hex: each cell's code, then each cell's attribute.
std::string cellsOf(const net::Picture& picture) {
    std::string codes;
    std::string attrs;
    for (const net::PictureCell& cell : picture) {
        codes += static_cast<char>(cell.code);
        attrs += static_cast<char>(cell.attr);
    }
    return hex(codes + attrs);
}

// Every code and attribute somewhere, in stretches of one attribute (which
// the runs keep) and of many, with blanks of both kinds between; the first
// in the default attribute, which the first run keeps.
net::Picture busyPicture(int seed) {
    net::Picture picture;
    for (int i = 0; i < net::pictureCells; ++i) {
        int stretch = (i / 7 + seed) % 5;
        auto code = static_cast<unsigned char>((i * 37 + seed) & 0xFF);
        auto attr =
            static_cast<unsigned char>(stretch == 0 ? i & 0xFF : (i / 7 * 29 + seed) & 0xFF);
        if (stretch == 3)
            code = (i & 1) != 0 ? ' ' : 0;
        if (stretch != 4)
            picture[static_cast<std::size_t>(i)] = net::PictureCell{code, attr};
    }
    picture[0] = net::PictureCell{'B', textColor};
    return picture;
}

// Each of `count` texts, `text(i)`, one after the other with a space between.
template <typename Text> std::string spaced(int count, Text text) {
    std::string all;
    for (int i = 0; i < count; ++i)
        all.append(i > 0 ? " " : "").append(text(i));
    return all;
}

void field(const char* name, const std::string& value, bool last = false) {
    std::printf("  \"%s\": \"%s\"%s\n", name, value.c_str(), last ? "" : ",");
}

} // namespace

int main() {
    const net::Picture blank{};
    net::Picture first = busyPicture(0);
    net::Picture second = busyPicture(3);
    second[0] = net::PictureCell{219, 0x4C};                     // a run at the very first cell
    second[net::pictureCells - 1] = net::PictureCell{178, 0x1E}; // and at the last

    std::string host; // after the Welcome, whose version the page checks apart
    std::string runs;
    net::appendChanges(blank, first, runs);
    net::appendRuns(host, net::MessageType::Picture, runs);
    net::Picture shown{};
    net::applyRuns(reinterpret_cast<const unsigned char*>(runs.data()),
                   static_cast<int>(runs.size()), shown);
    std::string afterPicture = cellsOf(shown);
    runs.clear();
    net::appendChanges(shown, second, runs);
    net::appendRuns(host, net::MessageType::Delta, runs);
    net::applyRuns(reinterpret_cast<const unsigned char*>(runs.data()),
                   static_cast<int>(runs.size()), shown);
    net::appendKeepAlive(host);
    net::appendNames(host, "J\xc3\xb6rg", "");
    net::appendResult(host, net::RoundOutcome{.round = 3,
                                              .winner = 1,
                                              .score = {1234, 70000},
                                              .rows = {5, 300},
                                              .frames = 4000,
                                              .seconds = 381,
                                              .level = {9, 0},
                                              .matchOver = true,
                                              .champion = 1});
    net::appendEnd(host);

    std::string hello;
    net::appendHello(hello, net::Seat::Watcher,
                     net::JoinCode{{'7', 'K', '3', 'M', 'Q', '9', 'X', 'D'}}, "J\xc3\xb6rg M.");
    std::string ready;
    net::appendReady(ready, net::KeyMode::Kitty, "\x18 \x1b \x1a \x19 or W A D S");
    std::string keys;
    for (net::KeyKind kind : {net::KeyKind::Press, net::KeyKind::Repeat, net::KeyKind::Release})
        net::appendKey(keys, kind, 3);
    net::appendKey(keys, net::KeyKind::ReleaseAll, 0);
    net::appendKeepAlive(keys);

    std::printf("{\n");
    field("host", hex(host));
    field("afterPicture", afterPicture);
    field("afterDelta", cellsOf(shown));
    field("hello", hex(hello));
    field("ready", hex(ready));
    field("keys", hex(keys));
    // Every code's glyph in UTF-8, as hex; the foreground's SGR parameter of
    // each console colour.
    auto glyph = [](int code) {
        return hex(term::glyphOf(static_cast<unsigned char>(code), true));
    };
    auto colour = [](int c) { return std::to_string(term::escapes::foregroundParameter(c)); };
    field("glyphs", spaced(256, glyph));
    field("colours", spaced(16, colour), true);
    std::printf("}\n");
    return 0;
}
