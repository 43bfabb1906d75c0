// SPDX-License-Identifier: MIT
// Fuzzes the WebSocket framing of a browser's connection (wslay, as the
// host drives it) with what a browser, or anyone on the port after the
// switch, could send.
//
// The input's first byte is the size of the pieces (1 to 256) in which the
// second framing gets the rest; the first gets it all at once. Both must
// unwrap the same payload and agree on whether the connection goes on; no
// payload is longer than what came, and what the host answers by itself
// (pongs, the closing frame) is no longer either, give or take one short
// closing frame.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/web_socket_framing.hpp"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "web socket framing: %s\n", what);
        std::abort();
    }
}

// The bytes of a closing frame with its status code and no reason.
constexpr std::size_t shortClose = 4;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    std::size_t piece = std::size_t{data[0]} + 1;
    const uint8_t* bytes = data + 1;
    std::size_t count = size - 1;

    net::WebSocketFraming whole;
    std::string payload;
    std::string out;
    bool wholeOk = whole.unwrap(bytes, count, payload, out);
    check(payload.size() <= count, "no more payload than bytes");
    check(out.size() <= count + shortClose, "answers no longer than what came");
    check(wholeOk == whole.problem().empty(), "a problem named once it ends");

    net::WebSocketFraming pieces;
    std::string payload2;
    std::string out2;
    bool piecesOk = true;
    for (std::size_t at = 0; at < count && piecesOk; at += piece) {
        std::size_t n = count - at < piece ? count - at : piece;
        piecesOk = pieces.unwrap(bytes + at, n, payload2, out2);
    }
    check(piecesOk == wholeOk, "the same verdict in any pieces");
    check(payload2 == payload, "the same payload in any pieces");
    if (wholeOk) {
        std::string frame;
        whole.wrap(payload.substr(0, 200), frame);
        check(frame.size() >= 2 && static_cast<unsigned char>(frame[0]) == 0x82,
              "a binary frame, whole");
    }
    return 0;
}
