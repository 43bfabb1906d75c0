// SPDX-License-Identifier: MIT
// SHA-1, for the one thing the WebSocket handshake asks of it: proof that
// the server read the browser's key. Not for secrets: SHA-1 is broken as a
// signature, and nothing here relies on it as one.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace net {

using Sha1Digest = std::array<std::uint8_t, 20>;

Sha1Digest sha1(std::string_view bytes);

} // namespace net
