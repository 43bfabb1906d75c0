// SPDX-License-Identifier: MIT
// How the terminal shows the console's character codes.
#pragma once

namespace term {

// The glyph of an OEM code as UTF-8 (utf8) or as an ASCII stand-in.
// Code 0 is a space in both. In UTF-8, 1..31 and 127 are the code page's
// pictures (U+263A, ..., U+2302) and 128..255 its letters, box drawing,
// shades and blocks; in ASCII every code is one printable byte.
const char* glyphOf(unsigned char code, bool utf8);

// The code a cell shows as. Without colour both boards' pieces would be the
// same full blocks, so player two's solid cells show as the medium shade
// (U+2592, '%' in ASCII): each board keeps a pattern of its own. With colour
// every code shows as itself. Only the terminal's picture changes; the
// screen buffer the game reads back keeps the game's codes.
unsigned char shownCode(unsigned char code, short attr, bool color);

} // namespace term
