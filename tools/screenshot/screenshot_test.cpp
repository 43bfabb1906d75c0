// SPDX-License-Identifier: MIT
// The picture's two parts: the player who follows a plan, and the SVG
// writer over a real libvterm screen.
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vterm.h>

#include "pilot.hpp"
#include "svg.hpp"

namespace {

constexpr shot::KeyBytes keys = {"T", "L", "R", "D"};

Player pieceAt(int column, int row) {
    Player p{};
    p.bx = column;
    p.by = row;
    return p;
}

// Turns wait for even frames and come first; then the moves towards the
// column, then the drop until a new piece enters, which takes the next
// placement; after the plan, nothing.
TEST(Pilot, TurnsThenMovesThenDropsEachPieceAsPlanned) {
    const shot::Placement plan[] = {{1, 0}, {0, 4}};
    shot::Pilot pilot(plan, keys);
    std::string pressed;
    Player p = pieceAt(2, -3);
    pressed += pilot.keysFor(p, 1) + ".";
    pressed += pilot.keysFor(p, 2) + ".";
    pressed += pilot.keysFor(p, 3) + ".";
    p.bx = 1;
    pressed += pilot.keysFor(p, 4) + ".";
    p.bx = 0;
    pressed += pilot.keysFor(p, 5) + ".";
    p.by = 11;
    pressed += pilot.keysFor(p, 6) + ".";
    EXPECT_EQ(pressed, ".T.L.L.D.D.");
    EXPECT_EQ(pilot.placed(), 1);

    Player next = pieceAt(2, -3);
    EXPECT_EQ(pilot.keysFor(next, 7), "R");
    EXPECT_EQ(pilot.placed(), 2);
    next.bx = 4;
    next.by = -2;
    EXPECT_EQ(pilot.keysFor(next, 8), "D");
    EXPECT_EQ(pilot.keysFor(pieceAt(2, -3), 9), "") << "the plan is done";
}

class Svg : public testing::Test {
protected:
    Svg() : vt_(vterm_new(2, 6)) {
        vterm_set_utf8(vt_, 1);
        vterm_screen_reset(vterm_obtain_screen(vt_), 1);
    }
    ~Svg() override { vterm_free(vt_); }

    std::string picture(std::string_view bytes) {
        vterm_input_write(vt_, bytes.data(), bytes.size());
        return shot::screenToSvg(vterm_obtain_screen(vt_), 6, 2);
    }

    VTerm* vt_;
};

// Runs of one colour on the cell grid, broken by blanks and colour
// changes; glyphs in UTF-8, markup escaped, the console's colours.
TEST_F(Svg, WritesEachRunOfOneColourOnItsCells) {
    // Cyan dark shade and full block, a red '#', markup; a blue blank and an x.
    std::string svg = picture("\x1b[96m\u2593\u2588\x1b[91m#\x1b[0m <&\r\n"
                              "\x1b[44m \x1b[0mx");
    EXPECT_NE(svg.find("width=\"80\" height=\"60\""), std::string::npos) << svg;
    EXPECT_NE(svg.find("<text x=\"0 10\" y=\"16\" fill=\"#55ffff\">\u2593\u2588</text>"),
              std::string::npos)
        << svg;
    EXPECT_NE(svg.find("<text x=\"20\" y=\"16\" fill=\"#ff5555\">#</text>"), std::string::npos)
        << svg;
    EXPECT_NE(svg.find("<text x=\"40 50\" y=\"16\" fill=\"#aaaaaa\">&lt;&amp;</text>"),
              std::string::npos)
        << svg;
    EXPECT_NE(svg.find("<rect x=\"0\" y=\"20\" width=\"10\" height=\"20\" fill=\"#0000aa\"/>"),
              std::string::npos)
        << svg;
    EXPECT_NE(svg.find("<text x=\"10\" y=\"36\" fill=\"#aaaaaa\">x</text>"), std::string::npos)
        << svg;
    EXPECT_EQ(svg.find("> <"), std::string::npos) << "blanks are left out: " << svg;
}

} // namespace
