// SPDX-License-Identifier: MIT
// The game's picture as the network sends it: the 56 x 21 cells of the
// console's screen buffer, each a character code and an attribute, never
// terminal bytes, so that every guest draws it for its own terminal. The
// host sends runs of the cells that differ between the picture a guest was
// last sent and the current one; the guest applies them to its copy.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "net/protocol.hpp"

namespace net {

struct PictureCell {
    unsigned char code = ' ';
    unsigned char attr = textColor; // the console attribute's colours (bits 0..7)
    bool operator==(const PictureCell&) const = default;
};

// Row by row from the top left; a new picture is blank.
using Picture = std::array<PictureCell, pictureCells>;

// The cell at column x, row y (both within the picture).
inline PictureCell& cellAt(Picture& picture, int x, int y) {
    return picture[static_cast<std::size_t>(y) * pictureColumns + static_cast<std::size_t>(x)];
}

// Two cells look alike when they are the same, or both blank (code 32 or 0)
// on the same background: a blank's foreground cannot be seen.
bool looksAlike(PictureCell a, PictureCell b);
bool looksAlike(const Picture& a, const Picture& b);

// Appends to `runs` the runs that make `from` look like `to`: nothing when
// they already do. A run is of one attribute; blanks on its background join
// it whatever their foreground, and cells left alone between two changes
// are sent again when that is shorter than starting another run. Applied
// to `from`, the runs give a picture that looks like `to`, not always the
// same one: keep the result of applying them as what the other side has.
void appendChanges(const Picture& from, const Picture& to, std::string& runs);

// Applies runs that validRuns() accepted.
void applyRuns(const unsigned char* runs, int length, Picture& picture);

} // namespace net
