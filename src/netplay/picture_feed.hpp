// SPDX-License-Identifier: MIT
// What one guest was last sent of the game's picture, and the message that
// brings it up to date: the whole picture first, then only the cells that
// changed, with the game's end on the last one. Nothing goes after the end.
#pragma once

#include <string>

#include "net/picture.hpp"

namespace netplay {

class PictureFeed {
public:
    // The whole picture the first time, else the changes since the last;
    // "" when nothing changed and the game goes on, or once it has ended.
    std::string next(const net::Picture& picture, bool over);
    // The whole picture, whatever went before ("" once the game has ended).
    std::string whole(const net::Picture& picture, bool over);

    bool pictured() const { return pictured_; }
    bool ended() const { return ended_; }

private:
    net::Picture sent_;  // what the guest has
    net::Picture given_; // the picture it was last brought to: alike, not always the same
    bool pictured_ = false;
    bool ended_ = false;
};

} // namespace netplay
