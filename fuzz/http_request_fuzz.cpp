// SPDX-License-Identifier: MIT
// Fuzzes the reader of a browser's request head, and the host's answer to
// what it reads, with what a stranger on the port could send.
//
// The input's first byte is the size of the pieces (1 to 256) in which the
// second reader gets the rest; the first reader gets it all at once. Both
// must read the same, within the head's bound, and every head read must
// answer with a whole response.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "net/http_request.hpp"
#include "net/web_answer.hpp"

namespace {

using net::HttpRequestReader;

bool isClean(const std::string& text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

void checkRequest(const net::HttpRequest& r) {
    check(!r.method.empty() && isClean(r.method), "a method");
    check(!r.target.empty() && r.target[0] == '/' && isClean(r.target), "a path");
    check(r.headers.size() <= HttpRequestReader::maxHeaders, "at most maxHeaders");
    check(r.has("host"), "a Host");
    for (const auto& [name, value] : r.headers) {
        check(!name.empty() && isClean(name) && isClean(value), "clean headers");
        for (char c : name)
            check(c < 'A' || c > 'Z', "names lowercased");
    }
}

std::string lowered(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// The page's own origin: this host, over HTTP or behind a TLS proxy.
bool ownOrigin(const net::HttpRequest& r) {
    std::string host = lowered(r.header("host"));
    std::string origin = lowered(r.header("origin"));
    return origin == "http://" + host || origin == "https://" + host;
}

// The names of the host the corpus's requests are made to.
const net::HostNames names = net::hostNamesOf({"127.0.0.1"}, "192.168.1.20");

std::string_view pathOf(const net::HttpRequest& r) {
    return std::string_view(r.target).substr(0, r.target.find('?'));
}

void checkAnswer(const net::HttpRequest& r) {
    net::WebAnswer a = net::answerWebRequest(r, names, "<p nonce=\"N\">", "N", "bm9uY2U=");
    if (a.kind == net::WebAnswerKind::Page || a.kind == net::WebAnswerKind::Upgrade)
        check(net::namesThisHost(r.header("host"), names), "nothing served to a stranger's name");
    check(a.response.rfind("HTTP/1.1 ", 0) == 0, "a status line");
    check(a.response.find("\r\n\r\n") != std::string::npos, "a whole head");
    if (a.kind == net::WebAnswerKind::Upgrade)
        check(r.method == "GET" && pathOf(r) == net::webSocketPath && ownOrigin(r),
              "an upgrade only for the page's own origin");
    if (a.kind == net::WebAnswerKind::Page)
        check(r.method == "GET" && pathOf(r) == net::webPagePath, "the page only at /");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    auto [piece, bytes, count] = cutInput(data, size);

    HttpRequestReader whole;
    std::size_t taken = whole.feed(bytes, count);
    check(taken <= count, "takes no more than it is given");
    check(taken <= HttpRequestReader::maxHead, "stops at the bound");
    check(!(whole.done() && whole.failed()), "done or failed, not both");
    if (!whole.done() && !whole.failed())
        check(taken == count, "takes everything until the head ends");

    HttpRequestReader pieces;
    std::size_t taken2 = 0;
    for (std::size_t at = 0; at < count && !pieces.done() && !pieces.failed(); at += piece) {
        std::size_t n = count - at < piece ? count - at : piece;
        std::size_t used = pieces.feed(bytes + at, n);
        taken2 += used;
        check(used == n || pieces.done() || pieces.failed(), "stops only at the end");
    }
    check(taken2 == taken, "the same bytes taken in any pieces");
    check(pieces.done() == whole.done() && pieces.failed() == whole.failed(),
          "the same verdict in any pieces");
    if (!whole.done())
        return 0;
    check(pieces.request().headers == whole.request().headers &&
              pieces.request().target == whole.request().target,
          "the same request in any pieces");
    checkRequest(whole.request());
    checkAnswer(whole.request());
    return 0;
}
