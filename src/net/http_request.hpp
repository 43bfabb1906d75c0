// SPDX-License-Identifier: MIT
// The head of an HTTP/1.1 request, as a browser sends it to the host for its
// page or for the game's WebSocket, read from bytes in any chunking. Bounded
// and strict: a head over maxHead bytes, a line not ended by CR LF, a header
// folded onto the next line, a control byte, a name that is no token, a
// second Host or a version other than 1.1 makes it fail, and nothing after
// the blank line that ends the head is taken.
//
// The same reader reads the head of a server's answer, for the terminal that
// asks a server for a WebSocket: its status line in place of the request
// line, and no Host.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace net {

struct HttpRequest {
    std::string method;
    std::string target;
    // Names lowercased, values with the spaces around them trimmed.
    std::vector<std::pair<std::string, std::string>> headers;

    // The value of the header `name` (lowercase); empty when absent.
    std::string_view header(std::string_view name) const;
    bool has(std::string_view name) const;
};

// `s` without the spaces and tabs around it, as HTTP trims a value.
std::string_view trimmed(std::string_view s);

// Which head a reader reads.
enum class HttpHead { Request, Response };

class HttpRequestReader {
public:
    static constexpr std::size_t maxHead = 4096;
    static constexpr std::size_t maxHeaders = 64;

    explicit HttpRequestReader(HttpHead head = HttpHead::Request) : head_(head) {}

    // Takes bytes up to the end of the head; how many it took. Bytes after
    // the head are left for the caller.
    std::size_t feed(const unsigned char* bytes, std::size_t count);

    bool done() const { return state_ == State::Done; }
    bool failed() const { return state_ == State::Failed; }
    // Once done().
    const HttpRequest& request() const { return request_; }
    // Once failed(): what was wrong, in a few words.
    const std::string& error() const { return error_; }
    // A response's status code (101, 404, ...), once done().
    int status() const { return status_; }

private:
    enum class State { Reading, Done, Failed };
    void take(char c);
    void endOfLine();
    void requestLine(std::string_view line);
    void statusLine(std::string_view line);
    void headerLine(std::string_view line);
    void fail(const char* what);

    HttpHead head_;
    int status_ = 0;
    State state_ = State::Reading;
    std::size_t taken_ = 0;
    std::string line_;
    bool sawCr_ = false;
    bool firstLine_ = true;
    HttpRequest request_;
    std::string error_;
};

} // namespace net
