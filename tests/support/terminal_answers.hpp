// SPDX-License-Identifier: MIT
// What a terminal answers to the game's keyboard query, for the tests, the
// figures and the tools that play its terminal: the kitty keyboard flags
// where it speaks the protocol, then its device attributes.
#pragma once

namespace term::answers {

constexpr char kittyFlags[] = "\x1b[?0u";
constexpr char attributes[] = "\x1b[?62;22c";     // a VT220-class terminal
constexpr char legacyAttributes[] = "\x1b[?1;2c"; // a VT100 with advanced video

} // namespace term::answers
