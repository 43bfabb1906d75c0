// SPDX-License-Identifier: MIT
// Fuzzes the WebSocket framing of a browser's connection with what a
// browser, or anyone on the port after the switch, could send, and holds
// the game's own framing against wslay's where the build has wslay: the
// framing the Windows host and the static release use must end, keep and
// answer exactly as the Linux host does.
//
// The input's first byte is the size of the pieces (1 to 256) the rest is
// fed in. The own framing reads it whole and in those pieces, wslay's in
// the same pieces. All must unwrap the same payload, agree on whether the
// connection goes on and on why it ends (the browser's close, text, or a
// fault); while it goes on, the two answer the same pongs. No payload is
// longer than what came, and what a framing answers by itself (pongs, the
// closing frame) is no longer either, give or take one short closing frame.
// The client's framing, a terminal's to a server's room, reads the same
// bytes whole and in pieces alike; its answers are masked, so at most three
// times as long.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_check.hpp"
#include "net/web_socket_frames_own.hpp"
#include "net/web_socket_framing.hpp"

namespace {

// The bytes of a closing frame with its status code and no reason, and a
// client's mask.
constexpr std::size_t shortClose = 4 + 4;

struct Run {
    bool ok = true;
    std::string payload;
    std::string out;
    std::string problem;
};

// Why a connection ended, as the host tells it apart.
int kind(const std::string& problem) {
    if (problem.empty())
        return 0;
    if (problem == "closed")
        return 1;
    return problem == "the browser sent text" ? 2 : 3;
}

template <typename Framing, typename... Made>
Run feed(const uint8_t* bytes, std::size_t count, std::size_t piece, Made... made) {
    Framing framing(made...);
    Run run;
    for (std::size_t at = 0; at < count && run.ok; at += piece) {
        std::size_t n = count - at < piece ? count - at : piece;
        run.ok = framing.unwrap(bytes + at, n, run.payload, run.out);
    }
    run.problem = framing.problem();
    check(run.ok == run.problem.empty(), "a problem named once it ends");
    check(run.payload.size() <= count, "no more payload than bytes");
    // A client's pong has a mask besides: an empty ping's two bytes are
    // answered with six.
    std::size_t grows = sizeof...(made) > 0 ? 3 : 1;
    check(run.out.size() <= grows * count + shortClose, "answers no longer than what came");
    if (run.ok) {
        std::string frame;
        framing.wrap(run.payload.substr(0, 200), frame);
        check(frame.size() >= 2 && static_cast<unsigned char>(frame[0]) == 0x82,
              "a binary frame, whole");
    }
    return run;
}

void same(const Run& a, const Run& b, const char* what) {
    if (a.ok != b.ok || kind(a.problem) != kind(b.problem) || a.payload != b.payload) {
        std::fprintf(stderr, "%s: ok %d/%d, '%s' / '%s', payload %zu/%zu bytes\n", what, a.ok, b.ok,
                     a.problem.c_str(), b.problem.c_str(), a.payload.size(), b.payload.size());
        check(false, "the same verdict and payload");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    auto [piece, bytes, count] = cutInput(data, size);

    Run whole = feed<net::OwnWebSocketFraming>(bytes, count, count == 0 ? 1 : count);
    Run pieces = feed<net::OwnWebSocketFraming>(bytes, count, piece);
    same(whole, pieces, "the own framing whole and in pieces");
    check(!whole.ok || whole.out == pieces.out, "the same pongs in any pieces");
#ifdef BLOCKDUEL_WSLAY
    Run wslay = feed<net::WslayWebSocketFraming>(bytes, count, piece);
    same(pieces, wslay, "the own framing and wslay's");
    check(!wslay.ok || wslay.out == pieces.out, "the same pongs as wslay's");
#endif
    // A terminal's side of a server's room reads what a server sends, the
    // same whole and in pieces.
    Run client = feed<net::OwnWebSocketFraming>(bytes, count, count == 0 ? 1 : count, 7U);
    Run clientPieces = feed<net::OwnWebSocketFraming>(bytes, count, piece, 7U);
    same(client, clientPieces, "a client's framing whole and in pieces");
    return 0;
}
