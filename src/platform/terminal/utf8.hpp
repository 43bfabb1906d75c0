// SPDX-License-Identifier: MIT
// The one UTF-8 encoder: for the glyph tables, and for the tests and tools
// that turn what a terminal shows back into text.
#pragma once

#include <array>

namespace term {

// The bytes of one character, then a NUL.
using Utf8 = std::array<char, 5>;

// A code point above U+10FFFF or a surrogate has no UTF-8 form: it comes
// out as U+FFFD, the replacement character.
constexpr Utf8 encodeUtf8(char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    Utf8 bytes{};
    if (c < 0x80) {
        bytes[0] = static_cast<char>(c);
        return bytes;
    }
    int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;                      // continuation bytes
    bytes[0] = static_cast<char>((0xFF80U >> tail) | (c >> (6 * tail))); // lead: C0, E0 or F0
    for (int i = 1; i <= tail; ++i)
        bytes[i] = static_cast<char>(0x80U | ((c >> (6 * (tail - i))) & 0x3FU));
    return bytes;
}

static_assert(encodeUtf8(U'A')[0] == 'A' && encodeUtf8(U'A')[1] == '\0');
static_assert(encodeUtf8(0x2593)[0] == '\xE2' && encodeUtf8(0x2593)[1] == '\x96' &&
              encodeUtf8(0x2593)[2] == '\x93' && encodeUtf8(0x2593)[3] == '\0');
static_assert(encodeUtf8(0xE9)[0] == '\xC3' && encodeUtf8(0xE9)[1] == '\xA9');
static_assert(encodeUtf8(0x1F600)[0] == '\xF0' && encodeUtf8(0x1F600)[3] == '\x80');

} // namespace term
