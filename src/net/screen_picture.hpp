// SPDX-License-Identifier: MIT
// The game's picture between a screen buffer and the network: what a host
// sends of its buffer, what a guest or a replay makes of a picture it
// receives, and a notice written over one as a console shows it.
#pragma once

#include "display/notices.hpp"
#include "display/screen_buffer.hpp"
#include "net/picture.hpp"

namespace net {

// The picture of a screen buffer, and a buffer brought to a picture.
Picture pictureOf(const ScreenBuffer& screen);
void paint(const Picture& picture, ScreenBuffer& screen);

// A notice written into the cells of `picture` that are blank, as a
// console shows it over its buffer.
void paintNotice(const NoticeLine& line, Picture& picture);

} // namespace net
