// SPDX-License-Identifier: MIT
// What a network guest's recording shows after each of its messages: the
// host's picture, and the round, which each Result ends.
#pragma once

#include "net/picture.hpp"
#include "record/heard.hpp"

namespace history {

// The picture and the round as the messages so far make them.
class HeardPicture {
public:
    void apply(const record::HeardMessage& message);
    const net::Picture& picture() const { return picture_; }
    // The round shown: the first, then the one after each that ended.
    int round() const { return round_; }

private:
    net::Picture picture_;
    int round_ = 1;
};

} // namespace history
