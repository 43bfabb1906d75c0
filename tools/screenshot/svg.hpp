// SPDX-License-Identifier: MIT
// A terminal screen as an SVG picture: every cell's character in a
// monospace font on a fixed grid, in its colours.
#pragma once

#include <string>

struct VTermScreen;

namespace shot {

// The top-left `columns` x `rows` cells of a libvterm screen as an SVG
// document. Colours are those of a VGA text console: the default
// foreground grey, the default background black.
std::string screenToSvg(const VTermScreen* screen, int columns, int rows);

} // namespace shot
