// SPDX-License-Identifier: MIT
// How the terminal shows the console's character codes.
#pragma once

namespace term {

// The glyph of an OEM code as UTF-8 (utf8) or as an ASCII stand-in.
// Code 0 is a space in both. In UTF-8, 1..31 and 127 are the code page's
// pictures (U+263A, ..., U+2302) and 128..255 its letters, box drawing,
// shades and blocks; in ASCII every code is one printable byte.
const char* glyphOf(unsigned char code, bool utf8);

} // namespace term
