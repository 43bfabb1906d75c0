// SPDX-License-Identifier: MIT
#include "history/heard_picture.hpp"

namespace history {

void HeardPicture::apply(const record::HeardMessage& message) {
    const auto* runs = reinterpret_cast<const unsigned char*>(message.runs.data());
    int length = static_cast<int>(message.runs.size());
    switch (message.type) {
    case net::MessageType::Picture:
        picture_ = net::Picture{};
        net::applyRuns(runs, length, picture_);
        break;
    case net::MessageType::Delta: net::applyRuns(runs, length, picture_); break;
    case net::MessageType::Result:
        if (!message.result.matchOver)
            round_ = message.result.round + 1;
        break;
    default: break;
    }
}

} // namespace history
