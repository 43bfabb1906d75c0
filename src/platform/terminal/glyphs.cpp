// SPDX-License-Identifier: MIT
// How the console's OEM code page 437 codes look on a terminal: as the
// Unicode characters of the code page in a UTF-8 locale, or as ASCII
// stand-ins chosen so that the boards stay legible (walls of ':', pieces of
// '#') where only ASCII can be shown.
#include <array>

#include "platform/terminal/glyphs.hpp"

#include "display/layout.hpp"
#include "model/model.hpp"
#include "platform/terminal/utf8.hpp"

namespace term {

namespace {

// Code 0 shows as a space, 1..31 and 127 as the code page's pictures (what
// the console shows for them when they are put into a cell), 32..126 as
// themselves.
constexpr char32_t lowPictures[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, // 0..7
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C, // 8..15
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8, // 16..23
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC, // 24..31
};
constexpr char32_t house = 0x2302; // 127

// clang-format off
constexpr char32_t upperHalf[128] = {
    // 128: accented letters and currency
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    // 176: shades and box drawing; 178 the walls' dark shade
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    // 208: more box drawing, then blocks; 219 the pieces' full block
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    // 224: Greek letters and mathematics; 255 a no-break space
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// One printable ASCII byte for each code outside 32..126.
constexpr char lowStandIns[33] = " oo*****#o#oodd*><|!PS-|^v><L-^v";
constexpr char houseStandIn = '^';
constexpr char upperStandIns[129] =
    "CueaaaaceeeiiiAA" "EaAooouuyOUcLYPf" "aiounNao?--%%!<>" // 128..175
    ".%:|++++++|+++++" "++++-++++++++=++" "+++++++++++#_[]^" // 176..223
    "aBGpSsutFOWd8fen" "=+><()/~o..vn2# ";                    // 224..255
// clang-format on

constexpr char32_t codePoint(int code) {
    if (code < 32)
        return lowPictures[code];
    if (code == 127)
        return house;
    if (code < 128)
        return static_cast<char32_t>(code);
    return upperHalf[code - 128];
}

constexpr char asciiStandIn(int code) {
    if (code < 32)
        return lowStandIns[code];
    if (code == 127)
        return houseStandIn;
    if (code < 128)
        return static_cast<char>(code);
    return upperStandIns[code - 128];
}

constexpr auto utf8Glyphs = [] {
    std::array<Utf8, 256> table{};
    for (int code = 0; code < 256; ++code)
        table[code] = encodeUtf8(codePoint(code));
    return table;
}();

constexpr auto asciiGlyphs = [] {
    std::array<std::array<char, 2>, 256> table{};
    for (int code = 0; code < 256; ++code)
        table[code] = {asciiStandIn(code), '\0'};
    return table;
}();

static_assert(sizeof lowStandIns == 33 && sizeof upperStandIns == 129);
static_assert(codePoint(177) == 0x2592 && codePoint(178) == 0x2593 && codePoint(219) == 0x2588);

} // namespace

unsigned char shownCode(unsigned char code, short attr, bool color) {
    constexpr unsigned char mediumShade = 177;
    bool playerTwos = (attr & 0x0F) == playerTwoColor;
    return !color && code == cellSolid && playerTwos ? mediumShade : code;
}

const char* glyphOf(unsigned char code, bool utf8) {
    return utf8 ? utf8Glyphs[code].data() : asciiGlyphs[code].data();
}

} // namespace term
