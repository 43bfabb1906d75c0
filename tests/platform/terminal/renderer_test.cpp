// SPDX-License-Identifier: MIT
// The renderer's exact output for small changes: what it sends, and above
// all what it leaves out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/terminal/renderer.hpp"

namespace {

using namespace term;

constexpr char clear[] = "\x1b[m\x1b[H\x1b[2J";

struct Put {
    int x, y, code;
    short attr;
};

struct Step {
    std::vector<Put> puts;
    std::string sent;                    // what the render after them sends
    int columns = 80, rows = 24;         // the terminal's size for that render
    std::vector<const char*> names = {}; // both boards' names given before it, if any
};

// One renderer through a run of changes, each render building on the last.
TEST(Renderer, SendsOnlyWhatChangedInTheShortestForm) {
    std::string wide; // 14 characters two columns wide: all but the last fit board two
    for (int i = 0; i < 14; ++i)
        wide += "\u4e00";
    const Step steps[] = {
        {{}, clear, pictureColumns, pictureRows}, // a blank buffer needs nothing past the clear
        // After a write in the terminal's last column the cursor is not
        // trusted; on a wider one it is. A new size repaints from the buffer.
        {{{55, 3, 'A', 7}, {54, 4, 'B', 7}}, "\x1b[4;56HA\x1b[5;55HB", pictureColumns, pictureRows},
        {{}, std::string(clear) + "\x1b[4;56HA\x1b[B\b\bB"},
        {{}, ""},                           // nothing changed, nothing sent
        {{{10, 5, 'X', 7}}, "\x1b[6;11HX"}, // one cell: one move, one glyph
        {{{10, 5, 'X', 7}}, ""},            // the same code and attribute again
        {{{11, 5, 219, 11}, {12, 5, 219, 11}, {13, 5, 178, 11}}, // no move, one SGR
         "\x1b[96m\u2588\u2588\u2593"},
        {{{14, 5, 219, 12}}, "\x1b[91m\u2588"},                     // bright red
        {{{15, 5, 'b', 1}, {16, 5, 'r', 4}}, "\x1b[34mb\x1b[31mr"}, // blue and red swapped
        {{{17, 5, ' ', 0x1C}}, "\x1b[44m "},   // a blank's foreground is not sent
        {{{20, 5, 'C', 7}}, "\x1b[2C\x1b[mC"}, // moves over a gap in another colour
        {{{23, 5, 'D', 7}}, "  D"},            // rewrites a short one
        {{{24, 5, 'E', 7}, {0, 6, 'F', 7}}, "E\r\nF"},
        {{{1, 6, 0, 7}}, ""}, // code 0 shows as a space
        {{{0, 6, 0, 7}}, "\b "},
        // The row below the picture: erased and each name under its board,
        // cut between characters where the next board's wall or the
        // picture's edge would be; with no names, erased.
        {{}, "\x1b[22H\x1b[KAnn\x1b[22;31H\u00c5sa", 80, 24, {"Ann", "\u00c5sa"}},
        {{},
         "\x1b[22H\x1b[K\x1b[22;31H" + wide.substr(0, wide.size() - 3),
         80,
         24,
         {"", wide.c_str()}},
        {{}, "\x1b[22H\x1b[K", 80, 24, {"", ""}},
        {{}, std::string(clear) + "Too small: 40x15, needs 56x21", 40, 15},
        {{{3, 3, 'Z', 7}}, "", 40, 15}, // the game goes on behind the notice
        {{}, std::string(clear) + "Too small: 20x30, ne", 20, 30}, // cut, never wrapped
    };
    ScreenBuffer screen;
    Renderer renderer({});
    for (const Step& step : steps) {
        for (const Put& p : step.puts) {
            screen.gotoxy(p.x, p.y);
            screen.setColor(p.attr);
            screen.putChar(p.code);
        }
        renderer.resize(step.columns, step.rows);
        if (!step.names.empty())
            renderer.setNames(step.names[0], step.names[1]);
        std::string out;
        renderer.render(screen, out);
        EXPECT_EQ(out, step.sent) << "step " << &step - steps;
    }
}

// Without colour each board's pieces keep a pattern of their own: player
// one's full blocks, player two's medium shade; walls and other codes as
// they are, in Unicode and in ASCII alike.
TEST(Renderer, WithoutColourPlayerTwosPiecesArePatterned) {
    struct Row {
        RenderOptions options;
        const char* sent;
    };
    const Row rows[] = {
        {{true, false}, "\u2588\u2592\u2593\u2592"},
        {{false, false}, "#%:%"},
        {{true, true}, "\x1b[96m\u2588\x1b[91m\u2588\u2593\x1b[44m\u2588\x1b[m"},
    };
    for (const Row& row : rows) {
        ScreenBuffer s;
        s.setColor(11);
        s.putChar(219);
        s.setColor(12);
        s.putChar(219);
        s.putChar(178);
        s.setColor(0x1C); // player two's colour on another background
        s.putChar(219);
        std::string out;
        Renderer(row.options).renderFinal(s, out);
        EXPECT_EQ(out, std::string(row.sent) + "\n") << row.options.utf8 << row.options.color;
    }
}

// The picture left on the normal screen at exit: plain lines, trailing
// blanks trimmed unless a background shows, colours reset at each end.
TEST(Renderer, FinalPictureIsPlainTrimmedLines) {
    ScreenBuffer s;
    std::string out;
    Renderer({}).renderFinal(s, out);
    EXPECT_EQ(out, "");
    s.write("ab  \n\n   ");
    s.setColor(11);
    s.write("\xDB \n  ");
    s.setColor(0x47);
    s.write(" ");
    Renderer({}).renderFinal(s, out);
    EXPECT_EQ(out, "ab\n\n   \x1b[96m\u2588\x1b[m\n  \x1b[41m \x1b[m\n");
}

} // namespace
