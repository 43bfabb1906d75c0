// SPDX-License-Identifier: MIT
#include "netplay/picture_feed.hpp"

#include <cstring>

#include "net/protocol.hpp"

namespace netplay {

namespace {

// What the guest has once it has applied `runs`.
void applyRuns(const std::string& runs, net::Picture& picture) {
    net::applyRuns(reinterpret_cast<const unsigned char*>(runs.data()),
                   static_cast<int>(runs.size()), picture);
}

} // namespace

std::string PictureFeed::next(const net::Picture& picture, bool over) {
    if (ended_)
        return "";
    if (!pictured_)
        return whole(picture, over);
    // A frame that changed nothing a guest sees costs one compare, not the runs.
    std::string runs;
    static_assert(sizeof(net::Picture) == 2 * std::size_t{net::pictureCells},
                  "cells without padding");
    if (std::memcmp(picture.data(), given_.data(), sizeof(net::Picture)) != 0)
        net::appendChanges(sent_, picture, runs);
    given_ = picture;
    std::string message;
    if (!runs.empty())
        net::appendRuns(message, net::MessageType::Delta, runs);
    if (over)
        net::appendEnd(message);
    ended_ = over;
    applyRuns(runs, sent_);
    return message;
}

std::string PictureFeed::whole(const net::Picture& picture, bool over) {
    if (ended_)
        return "";
    std::string runs;
    net::appendChanges(net::Picture{}, picture, runs);
    std::string message;
    net::appendRuns(message, net::MessageType::Picture, runs);
    if (over)
        net::appendEnd(message);
    ended_ = over;
    sent_ = net::Picture{};
    applyRuns(runs, sent_);
    given_ = picture;
    pictured_ = true;
    return message;
}

} // namespace netplay
