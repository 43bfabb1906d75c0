// The renderer's exact output for small changes: what it sends, and above
// all what it leaves out.
#include <gtest/gtest.h>

#include <string>

#include "screen.hpp"

namespace {

using term::gameColumns;
using term::gameRows;
using term::Renderer;
using term::RenderOptions;
using term::ScreenBuffer;

constexpr char clear[] = "\x1b[m\x1b[H\x1b[2J";

// A renderer on an 80x24 terminal that already shows the blank buffer.
struct RendererTest : testing::Test {
    explicit RendererTest(RenderOptions options = {}) : renderer(options) {
        renderer.resize(80, 24);
        frame();
    }
    std::string frame() {
        std::string out;
        renderer.render(screen, out);
        return out;
    }
    void put(int x, int y, int code, short attr = 7) {
        screen.gotoxy(x, y);
        screen.setColor(attr);
        screen.putChar(code);
    }
    ScreenBuffer screen;
    Renderer renderer;
};

TEST_F(RendererTest, FirstRenderClearsAndABlankBufferNeedsNothingMore) {
    Renderer fresh({});
    std::string out;
    fresh.render(screen, out);
    EXPECT_EQ(out, clear);
}

TEST_F(RendererTest, NothingChangedSendsNothing) {
    EXPECT_EQ(frame(), "");
    put(5, 5, 'x');
    frame();
    EXPECT_EQ(frame(), "");
    // Writing the same code and attribute again changes nothing either.
    put(5, 5, 'x');
    EXPECT_EQ(frame(), "");
}

TEST_F(RendererTest, OneChangedCellIsOneMoveAndOneGlyph) {
    put(10, 5, 'X');
    EXPECT_EQ(frame(), "\x1b[6;11HX");
}

TEST_F(RendererTest, NextCellOfARowNeedsNoMoveAndSameAttributeNoSgr) {
    screen.gotoxy(10, 5);
    screen.setColor(11);
    screen.putChar(219);
    screen.putChar(219);
    screen.putChar(178);
    EXPECT_EQ(frame(), "\x1b[6;11H\x1b[96m\u2588\u2588\u2593");
}

TEST_F(RendererTest, CursorAndColourAreRememberedBetweenRenders) {
    put(3, 2, 219, 11);
    EXPECT_EQ(frame(), "\x1b[3;4H\x1b[96m\u2588");
    put(4, 2, 219, 11);
    EXPECT_EQ(frame(), "\u2588");
    put(5, 2, 219, 12);
    EXPECT_EQ(frame(), "\x1b[91m\u2588");
    put(6, 2, 'a', 7);
    EXPECT_EQ(frame(), "\x1b[ma");
}

TEST_F(RendererTest, ShortGapIsRewrittenLongGapIsSkipped) {
    put(10, 5, 'A');
    put(12, 5, 'B');
    EXPECT_EQ(frame(), "\x1b[6;11HA B");
    put(20, 5, 'C');
    put(40, 5, 'D');
    EXPECT_EQ(frame(), "\x1b[7CC\x1b[19CD");
}

TEST_F(RendererTest, GapInAnotherColourIsMovedOver) {
    put(11, 5, 219, 12);
    frame();
    put(10, 5, 'A', 11);
    put(12, 5, 'B', 11);
    EXPECT_EQ(frame(), "\b\b\x1b[96mA\x1b[CB");
}

TEST_F(RendererTest, NextRowStartsWithCarriageReturnAndLineFeed) {
    put(50, 3, 'A');
    put(0, 4, 'B');
    EXPECT_EQ(frame(), "\x1b[4;51HA\r\nB");
}

TEST_F(RendererTest, AfterTheLastColumnTheCursorIsNotTrusted) {
    renderer.resize(gameColumns, gameRows);
    frame();
    put(gameColumns - 1, 3, 'A');
    put(0, 4, 'B');
    EXPECT_EQ(frame(), "\x1b[4;56HA\x1b[5HB");
}

TEST_F(RendererTest, CodeZeroShowsAsASpace) {
    put(7, 7, 0, 11); // over a blank: nothing to show
    EXPECT_EQ(frame(), "");
    put(7, 7, 'Z', 11);
    frame();
    put(7, 7, 0, 11);
    EXPECT_EQ(frame(), "\b ");
    EXPECT_EQ(screen.charAt(7, 7), 0);
}

TEST_F(RendererTest, ABlanksForegroundIsNotSent) {
    put(9, 9, ' ', 12);
    EXPECT_EQ(frame(), "");
    put(9, 9, ' ', 0x1C); // a background shows, the foreground still does not
    EXPECT_EQ(frame(), "\x1b[10;10H\x1b[44m ");
}

TEST_F(RendererTest, InvalidateRepaintsEverythingFromAClear) {
    put(0, 0, 'A', 11);
    put(55, 20, 'B', 12);
    frame();
    renderer.invalidate();
    EXPECT_EQ(frame(), std::string(clear) + "\x1b[96mA\x1b[21;56H\x1b[91mB");
    EXPECT_EQ(frame(), "");
}

TEST_F(RendererTest, TooSmallShowsOneNoticeNamingBothSizes) {
    put(2, 2, 'A');
    frame();
    renderer.resize(40, 15);
    EXPECT_EQ(frame(), std::string(clear) + "Too small: 40x15, needs 56x21");
    EXPECT_EQ(frame(), "");
    put(3, 3, 'B'); // the game goes on meanwhile
    EXPECT_EQ(frame(), "");
    renderer.resize(20, 30); // narrower than the notice: cut, never wrapped
    EXPECT_EQ(frame(), std::string(clear) + "Too small: 20x30, ne");
    renderer.resize(80, 24);
    EXPECT_EQ(frame(), std::string(clear) + "\x1b[3;3HA\x1b[BB");
}

TEST_F(RendererTest, ResizingToTheSameSizeChangesNothing) {
    put(2, 2, 'A');
    frame();
    renderer.resize(80, 24);
    EXPECT_EQ(frame(), "");
}

// No colour: only resets, never a colour SGR, whatever the attributes.
struct NoColourTest : RendererTest {
    NoColourTest() : RendererTest(RenderOptions{true, false}) {}
};

TEST_F(NoColourTest, SendsNoColour) {
    for (short attr : {7, 11, 12, 0x4E, 0xFF, 0})
        put(attr % 50, 1 + attr % 19, 219, attr);
    std::string out = frame();
    renderer.invalidate();
    out += frame();
    std::string final;
    renderer.renderFinal(screen, final);
    for (const std::string& bytes : {out, final}) {
        for (std::size_t at = bytes.find("\x1b["); at != std::string::npos;
             at = bytes.find("\x1b[", at + 1)) {
            std::size_t end = bytes.find_first_of("@ABCDEFGHJKm", at + 2);
            ASSERT_NE(end, std::string::npos);
            if (bytes[end] == 'm') {
                EXPECT_EQ(bytes.substr(at + 2, end - at - 2), "") << "a colour SGR at " << at;
            }
        }
    }
    EXPECT_NE(out.find("\u2588"), std::string::npos);
}

struct AsciiTest : RendererTest {
    AsciiTest() : RendererTest(RenderOptions{false, true}) {}
};

TEST_F(AsciiTest, StaysSevenBit) {
    for (int code = 0; code < 256; ++code)
        put(code % gameColumns, code / gameColumns, code, static_cast<short>(code));
    std::string out = frame();
    std::string final;
    renderer.renderFinal(screen, final);
    for (const std::string& bytes : {out, final})
        for (char c : bytes)
            ASSERT_EQ(static_cast<unsigned char>(c) & 0x80, 0);
    EXPECT_GT(out.size(), 256u);
}

TEST_F(AsciiTest, CodesWithTheSameStandInAreNotRewritten) {
    put(4, 4, 219);
    EXPECT_EQ(frame(), "\x1b[5;5H#");
    put(4, 4, '#');
    EXPECT_EQ(frame(), "");
}

TEST(RenderFinal, PlainLinesWithColoursTrimmed) {
    ScreenBuffer s;
    s.gotoxy(0, 0);
    s.write("ab  ");
    s.gotoxy(3, 2);
    s.setColor(11);
    s.putChar(219);
    s.putChar(' ');
    s.gotoxy(0, 3);
    s.putChar(0);
    std::string out;
    Renderer({}).renderFinal(s, out);
    EXPECT_EQ(out, "ab\n\n   \x1b[96m\u2588\x1b[m\n");

    out.clear();
    Renderer({false, false}).renderFinal(s, out);
    EXPECT_EQ(out, "ab\n\n   #\n");
}

TEST(RenderFinal, AVisibleBackgroundIsNotTrimmedAndEmptyBufferGivesNothing) {
    ScreenBuffer s;
    std::string out;
    Renderer({}).renderFinal(s, out);
    EXPECT_EQ(out, "");
    s.gotoxy(2, 0);
    s.setColor(0x47);
    s.putChar(' ');
    Renderer({}).renderFinal(s, out);
    EXPECT_EQ(out, "  \x1b[41m \x1b[m\n");
}

TEST(RenderFinal, AllTwentyOneRowsWhenTheLastIsUsed) {
    ScreenBuffer s;
    s.gotoxy(0, gameRows - 1);
    s.write("end");
    std::string out;
    Renderer({}).renderFinal(s, out);
    EXPECT_EQ(out, std::string(gameRows - 1, '\n') + "end\n");
}

} // namespace
