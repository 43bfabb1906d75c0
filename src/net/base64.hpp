// SPDX-License-Identifier: MIT
// Base64 (RFC 4648, with padding), as HTTP headers carry bytes: the
// WebSocket key and its answer, and the page's nonce.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace net {

std::string base64(const unsigned char* bytes, std::size_t count);

// The bytes `text` stands for; nothing when it is not padded base64.
std::optional<std::string> fromBase64(std::string_view text);

} // namespace net
