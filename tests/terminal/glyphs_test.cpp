// Glyphs: code page 437 as Unicode in a UTF-8 locale, ASCII stand-ins
// otherwise.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "screen.hpp"
#include "vterm_screen.hpp"

namespace {

using term::decodeUtf8;
using term::glyphOf;

char32_t unicodeOf(int code) { return decodeUtf8(glyphOf(static_cast<unsigned char>(code), true)); }

TEST(Glyphs, UpperHalfIsOneHundredTwentyEightDistinctNonAsciiCharacters) {
    std::set<char32_t> seen;
    for (int code = 128; code < 256; ++code) {
        char32_t c = unicodeOf(code);
        EXPECT_NE(c, 0xFFFDu) << "code " << code << " is not one well-formed UTF-8 character";
        EXPECT_GE(c, 0xA0u) << "code " << code << " maps to ASCII or a control character";
        seen.insert(c);
    }
    EXPECT_EQ(seen.size(), 128u);
}

TEST(Glyphs, ShadesBoxDrawingAndBlocksAreInTheirUnicodeBlocks) {
    EXPECT_EQ(unicodeOf(178), U'\u2593'); // the walls' dark shade
    EXPECT_EQ(unicodeOf(219), U'\u2588'); // the pieces' full block
    for (int code = 176; code <= 178; ++code)
        EXPECT_EQ(unicodeOf(code), U'\u2591' + (code - 176)); // light, medium, dark
    for (int code = 179; code <= 218; ++code) {
        EXPECT_GE(unicodeOf(code), U'\u2500') << code;
        EXPECT_LE(unicodeOf(code), U'\u257F') << code;
    }
    for (int code = 219; code <= 223; ++code) {
        EXPECT_GE(unicodeOf(code), U'\u2580') << code;
        EXPECT_LE(unicodeOf(code), U'\u259F') << code;
    }
}

TEST(Glyphs, AsciiAndControlCodesArePrintable) {
    for (int code = 32; code < 127; ++code) {
        EXPECT_EQ(unicodeOf(code), static_cast<char32_t>(code));
        EXPECT_EQ(std::string(glyphOf(code, false)), std::string(1, static_cast<char>(code)));
    }
    EXPECT_STREQ(glyphOf(0, true), " ");
    EXPECT_STREQ(glyphOf(0, false), " ");
    // The pictures the console shows for 1..31 and 127: printable, and all
    // different from each other and from the upper half.
    std::set<char32_t> seen;
    for (int code = 128; code < 256; ++code)
        seen.insert(unicodeOf(code));
    for (int code = 1; code < 32; ++code) {
        EXPECT_GE(unicodeOf(code), 0xA0u) << code;
        EXPECT_TRUE(seen.insert(unicodeOf(code)).second) << code;
    }
    EXPECT_TRUE(seen.insert(unicodeOf(127)).second);
    EXPECT_GE(unicodeOf(127), 0xA0u);
}

TEST(Glyphs, AsciiModeIsOnePrintableByteForEveryCode) {
    for (int code = 0; code < 256; ++code) {
        const char* g = glyphOf(static_cast<unsigned char>(code), false);
        ASSERT_EQ(std::strlen(g), 1u) << code;
        EXPECT_GE(g[0], 0x20) << code;
        EXPECT_LE(g[0], 0x7E) << code;
    }
}

TEST(Glyphs, AsciiBoardsStayLegible) {
    // Wall, piece and empty cell must look different from one another and
    // the pieces' glyph must not be confused with the shades around them.
    std::string wall = glyphOf(178, false);
    std::string piece = glyphOf(219, false);
    EXPECT_NE(wall, piece);
    EXPECT_NE(wall, " ");
    EXPECT_NE(piece, " ");
    for (int shade = 176; shade <= 178; ++shade)
        EXPECT_NE(std::string(glyphOf(shade, false)), piece);
    // The lines of the box drawing characters stay lines.
    EXPECT_STREQ(glyphOf(196, false), "-");
    EXPECT_STREQ(glyphOf(179, false), "|");
    EXPECT_STREQ(glyphOf(218, false), "+");
}

// The checks above lean on the test's decoder: it must refuse what is not
// one well-formed character.
TEST(Glyphs, Utf8DecoderRejectsMalformedInput) {
    EXPECT_EQ(decodeUtf8("\xE2\x96\x93"), U'\u2593');
    for (const char* bad : {"", "\xC0\x80", "\xE2\x96", "\xED\xA0\x80", "AB"})
        EXPECT_EQ(decodeUtf8(bad), 0xFFFDu) << bad;
}

} // namespace
