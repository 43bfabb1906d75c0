// SPDX-License-Identifier: MIT
// Text from outside the game (arguments, file names, paths, the system's
// error texts, addresses, environment variables) as a message may show it
// on a terminal: every message escapes such text with these where it puts
// it in, so that none can send the terminal a control sequence (a title
// change, a screen cleared) and none floods a line. What the game writes
// itself stays as it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// An argument echoed whole is hard to read beyond a line's width.
constexpr std::size_t longestShownArgument = 72;
// A path is shown longer, since its end names the file, but not without end.
constexpr std::size_t longestShownPath = 240;

// `text` with bytes that are not printable text (controls, C1 controls,
// broken UTF-8) as \xHH escapes and a backslash as two, so that an escape
// can be told from the text; cut after `longest` bytes of what is shown,
// never inside a character or an escape, with "..." for the rest.
std::string printable(std::string_view text, std::size_t longest = longestShownArgument);

// A path as printable() shows it, but with each backslash kept single: it
// separates the folders of a Windows path, and the path must read as typed.
std::string printablePath(std::string_view path);
