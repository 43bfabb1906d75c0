// SPDX-License-Identifier: MIT
// A server's answer to a terminal's GET for a file (a kept match's
// recording), read from bytes in any chunking: its head (http_request.hpp),
// a 200 with a Content-Length of at most the reader's limit, then exactly
// that many bytes. Anything else fails, with words that say what; nothing
// beyond the file's length is taken.
#pragma once

#include <cstddef>
#include <string>

#include "net/http_request.hpp"

namespace net {

class FileAnswerReader {
public:
    explicit FileAnswerReader(std::size_t limit) : limit_(limit) {}

    // Takes bytes up to the end of the file; how many it took.
    std::size_t feed(const unsigned char* bytes, std::size_t count);
    bool done() const { return state_ == State::Done; }
    bool failed() const { return state_ == State::Failed; }
    // Once done(): the file.
    const std::string& body() const { return body_; }
    // Once failed(): what was wrong.
    const std::string& error() const { return error_; }
    // The answer's status code, once its head was read (404: no such file).
    int status() const { return head_.done() ? head_.status() : 0; }

private:
    enum class State { Head, Body, Done, Failed };
    void headRead();
    void fail(std::string what);

    std::size_t limit_;
    State state_ = State::Head;
    HttpRequestReader head_{HttpHead::Response};
    std::size_t length_ = 0;
    std::string body_;
    std::string error_;
};

} // namespace net
