// SPDX-License-Identifier: MIT
// Messages for a window of a known width: a terminal breaks a line that is
// too long wherever the edge falls, mid-word; these break it between words.
#pragma once

#include <string>

// `text` with each run of spaces where a line would pass `width` columns
// turned into a line break. A word longer than a line stands alone on
// lines of its own, whole (the window breaks it, as it must); line breaks
// already in the text are kept. A width below 1 leaves the text as it is.
// Counts bytes: the messages it is for are ASCII.
std::string wrapWords(const std::string& text, int width);
