// SPDX-License-Identifier: MIT
// A player's name: untrusted text (typed on a page or a command line, read
// from a guest's Hello or a host's Names), shown beside its board on every
// screen. At most maxPlayerNameLength characters of UTF-8: letters, digits,
// marks, single spaces and punctuation of any script. Refused: anything
// that is not text as written (controls, broken or overlong UTF-8,
// characters that are not shown or that turn text around, odd spaces),
// pictures rather than letters (emoji, box drawing, private characters),
// and the characters of markup (< > & " '), so that no page ever needs to
// escape a name. The empty name is no name.
#pragma once

#include <string_view>

namespace net {

constexpr int maxPlayerNameLength = 16; // characters (code points)
// No character takes more than four bytes of UTF-8.
constexpr int maxPlayerNameBytes = 4 * maxPlayerNameLength;

// Why `name` cannot be a player's name, as words that follow "the name";
// nullptr when it can.
const char* checkPlayerName(std::string_view name);

} // namespace net
