// SPDX-License-Identifier: MIT
// The renderer through a real terminal emulator: every code in every
// attribute, then a seeded random script of the game's console calls, with
// the terminal resized along the way; after every render the terminal shows
// the screen buffer, or the notice while it is too small.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>
#include <string>
#include <utility>

#include "vterm_screen.hpp"

namespace {

using namespace term;

// One of the console calls the game makes, at random: the odd write off the
// grid, line feeds, every code and attribute.
void randomEdit(std::mt19937& random, ScreenBuffer& s) {
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    static constexpr short usual[] = {7, 11, 12};
    switch (pick(6)) {
    case 0: s.gotoxy(pick(64) - 4, pick(28) - 4); break;
    case 1: s.setColor(pick(3) == 0 ? static_cast<short>(pick(256)) : usual[pick(3)]); break;
    case 2: s.write(pick(2) ? "Score: 18\n" : "\xB2\xDB\x01\x7F\n\n"); break;
    default: s.putChar(pick(3) == 0 ? pick(256) : 219);
    }
}

// By fifties of renders; {0, 0} is the terminal's own size. Bigger, too
// small (once narrower than the notice), exactly the game's, too short.
constexpr std::pair<int, int> sizes[] = {{0, 0},   {0, 0},   {120, 40}, {0, 0},   {40, 15},
                                         {20, 10}, {56, 21}, {0, 0},    {60, 20}, {0, 0}};

// With output processing on, the terminal gets CR LF for every LF.
std::string crlf(const std::string& bytes) {
    std::string out;
    for (char c : bytes)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// The renderer's options, the terminal's size and its output processing.
struct Mode {
    RenderOptions options;
    int columns, rows;
    bool onlcr;
};

TEST(RenderThroughVterm, ShowsTheBufferAcrossEditsResizesAndTheFinalPicture) {
    const Mode modes[] = {{{true, true}, 80, 24, false}, {{false, true}, 80, 24, true},
                          {{true, false}, 80, 24, true}, {{false, false}, 80, 24, false},
                          {{true, true}, 56, 21, true},  {{false, true}, 56, 21, false}};
    for (const Mode& m : modes) {
        SCOPED_TRACE(testing::Message() << "utf8 " << m.options.utf8 << ", colour "
                                        << m.options.color << ", " << m.columns << "x" << m.rows);
        std::mt19937 random(11);
        ScreenBuffer screen;
        for (int c = 0; c < pictureColumns * pictureRows; ++c) {
            screen.gotoxy(c % pictureColumns, c / pictureColumns);
            screen.setColor(static_cast<short>(c % 256));
            screen.putChar((c * 7) % 256);
        }
        Renderer renderer(m.options);
        renderer.setNames("Ann", "\xc3\x85sa"); // shown below the picture where there is room
        const std::string names =
            "Ann" + std::string(boardColumn[1] - 3, ' ') + (m.options.utf8 ? "\u00c5sa" : "?sa");
        VtermScreen vt(m.columns, m.rows);
        vt.feed("left over from the shell \x1b[1;41mwith colour\r\n\x1b[4mand more");
        std::string sent;
        for (int i = 0; i < 500; ++i) {
            auto [columns, rows] =
                sizes[i / 50].first ? sizes[i / 50] : std::pair{m.columns, m.rows};
            vt.resize(columns, rows);
            renderer.resize(columns, rows);
            std::string out;
            renderer.render(screen, out);
            vt.feed(m.onlcr ? crlf(out) : out);
            sent += out;
            if (columns >= pictureColumns && rows >= pictureRows) {
                ASSERT_EQ(vt.differences(screen, m.options), "") << "render " << i;
                EXPECT_EQ(rows > pictureRows ? names : "", vt.rowText(pictureRows)) << i;
            } else {
                std::string shown;
                for (int y = 0; y < rows; ++y)
                    shown += vt.rowText(y);
                ASSERT_EQ(shown, sizeNotice(columns, rows).substr(0, columns)) << "render " << i;
            }
            for (int edits = 0; edits < 4; ++edits)
                randomEdit(random, screen);
        }
        std::string final;
        renderer.renderFinal(screen, final);
        VtermScreen normal(m.columns, pictureRows + 2);
        normal.feed(crlf(final));
        EXPECT_EQ(normal.differences(screen, m.options), "");
        EXPECT_EQ(names, normal.rowText(pictureRows));
        sent += final;
        auto sevenBit = [](char c) { return (c & 0x80) == 0; };
        EXPECT_TRUE(m.options.utf8 || std::all_of(sent.begin(), sent.end(), sevenBit));
        // Without colour, every SGR is a bare reset.
        EXPECT_TRUE(m.options.color || !std::regex_search(sent, std::regex("\x1b\\[[0-9;]+m")));
    }
}

} // namespace
