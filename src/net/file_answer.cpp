// SPDX-License-Identifier: MIT
#include "net/file_answer.hpp"

#include <algorithm>
#include <utility>

namespace net {

std::size_t FileAnswerReader::feed(const unsigned char* bytes, std::size_t count) {
    std::size_t taken = 0;
    if (state_ == State::Head) {
        taken = head_.feed(bytes, count);
        if (head_.failed())
            fail("the server's answer does not read as HTTP: " + head_.error());
        else if (head_.done())
            headRead();
    }
    if (state_ == State::Body) {
        std::size_t take = std::min(count - taken, length_ - body_.size());
        body_.append(reinterpret_cast<const char*>(bytes) + taken, take);
        taken += take;
        if (body_.size() == length_)
            state_ = State::Done;
    }
    return taken;
}

// The length in digits only, within the limit, before any byte of it is held.
void FileAnswerReader::headRead() {
    if (head_.status() != 200) {
        fail("the server answered " + std::to_string(head_.status()));
        return;
    }
    std::string_view length = head_.request().header("content-length");
    bool digits =
        !length.empty() && length.size() <= 12 &&
        std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) {
        fail("the server's answer gives no length");
        return;
    }
    length_ = static_cast<std::size_t>(std::stoull(std::string(length)));
    if (length_ > limit_) {
        fail("the server's file is larger than the game reads");
        return;
    }
    body_.reserve(length_);
    state_ = length_ == 0 ? State::Done : State::Body;
}

void FileAnswerReader::fail(std::string what) {
    state_ = State::Failed;
    error_ = std::move(what);
}

} // namespace net
