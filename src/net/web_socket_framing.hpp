// SPDX-License-Identifier: MIT
// The WebSocket frames around the game's byte stream, the server's side:
// bytes that came in are unwrapped into the game's bytes, the game's
// messages wrapped into binary frames. It never touches a socket: both ways
// go through memory, so nothing here waits and the link keeps its own queue
// and bounds.
//
// What every framing does:
//   bool unwrap(bytes, count, payload, out): the payloads of binary
//     messages go to `payload`, the framing's own answers (a pong, the
//     closing frame) to `out`. False once the connection is to end: a text
//     message, a malformed or unmasked frame, one too long, or the
//     browser's close; problem() says which ("closed" for the close).
//   void wrap(message, out): `message` as one binary frame, appended.
//
// wslay frames where the system packages it; elsewhere (the Windows build,
// the static release) the game's own framing, which keeps the same rules
// and is held against wslay's by the same tests and a fuzzer.
#pragma once

#ifdef BLOCKDUEL_WSLAY
#include "net/web_socket_frames_wslay.hpp"
#else
#include "net/web_socket_frames_own.hpp"
#endif

namespace net {

#ifdef BLOCKDUEL_WSLAY
class WebSocketFraming final : public WslayWebSocketFraming {};
#else
class WebSocketFraming final : public OwnWebSocketFraming {};
#endif

} // namespace net
