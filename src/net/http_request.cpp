// SPDX-License-Identifier: MIT
// Reading a request head line by line, one byte at a time, so that a head
// split anywhere reads the same as one that came whole.
#include "net/http_request.hpp"

#include <algorithm>

#include "net/host_names.hpp"

namespace net {

namespace {

// RFC 9110's token characters, the only ones a method or a header name has.
bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), isTokenChar);
}

// Visible ASCII and the space and tab between words; no other control byte.
bool isFieldChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return u == '\t' || (u >= 0x20 && u != 0x7f);
}

} // namespace

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string_view HttpRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (key == name)
            return value;
    return {};
}

bool HttpRequest::has(std::string_view name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [name](const auto& h) { return h.first == name; });
}

std::size_t HttpRequestReader::feed(const unsigned char* bytes, std::size_t count) {
    std::size_t used = 0;
    while (used < count && state_ == State::Reading) {
        if (taken_ == maxHead) {
            fail("the request's head is too long");
            break;
        }
        ++taken_;
        take(static_cast<char>(bytes[used++]));
    }
    return used;
}

void HttpRequestReader::take(char c) {
    if (sawCr_) {
        if (c != '\n')
            return fail("a carriage return without a line feed");
        sawCr_ = false;
        endOfLine();
    } else if (c == '\r') {
        sawCr_ = true;
    } else if (c == '\n') {
        fail("a line feed without a carriage return");
    } else if (!isFieldChar(c)) {
        fail("a control byte in the request");
    } else {
        line_ += c;
    }
}

void HttpRequestReader::endOfLine() {
    std::string line = std::move(line_);
    line_.clear();
    if (firstLine_) {
        firstLine_ = false;
        if (head_ == HttpHead::Request)
            requestLine(line);
        else
            statusLine(line);
    } else if (line.empty()) {
        if (head_ == HttpHead::Request && !request_.has("host"))
            return fail("no Host header");
        state_ = State::Done;
    } else {
        headerLine(line);
    }
}

void HttpRequestReader::requestLine(std::string_view line) {
    std::size_t first = line.find(' ');
    std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos)
        return fail("a request line that is not METHOD TARGET VERSION");
    std::string_view method = line.substr(0, first);
    std::string_view target = line.substr(first + 1, second - first - 1);
    std::string_view version = line.substr(second + 1);
    if (!isToken(method))
        return fail("a method that is no token");
    if (target.empty() || target.front() != '/' || target.find('\t') != std::string_view::npos)
        return fail("a target that is no path");
    if (version != "HTTP/1.1")
        return fail("a version other than HTTP/1.1");
    request_.method = method;
    request_.target = target;
}

// HTTP/1.1, three digits and a reason, which may hold spaces or be empty.
void HttpRequestReader::statusLine(std::string_view line) {
    constexpr std::string_view version = "HTTP/1.1 ";
    constexpr std::size_t digits = 3;
    bool shaped = line.substr(0, version.size()) == version &&
                  line.size() >= version.size() + digits &&
                  (line.size() == version.size() + digits || line[version.size() + digits] == ' ');
    if (!shaped)
        return fail("a status line that is not HTTP/1.1 CODE REASON");
    for (std::size_t i = 0; i < digits; ++i) {
        char c = line[version.size() + i];
        if (c < '0' || c > '9')
            return fail("a status code that is no number");
        status_ = status_ * 10 + (c - '0');
    }
}

void HttpRequestReader::headerLine(std::string_view line) {
    if (line.front() == ' ' || line.front() == '\t')
        return fail("a header folded onto another line");
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !isToken(line.substr(0, colon)))
        return fail("a header line that is not NAME: VALUE");
    if (request_.headers.size() >= maxHeaders)
        return fail("too many headers");
    std::string name = lowered(line.substr(0, colon));
    if (name == "host" && request_.has("host"))
        return fail("a second Host header");
    request_.headers.emplace_back(std::move(name), trimmed(line.substr(colon + 1)));
}

void HttpRequestReader::fail(const char* what) {
    state_ = State::Failed;
    error_ = what;
}

} // namespace net
