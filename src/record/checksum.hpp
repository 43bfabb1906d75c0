// SPDX-License-Identifier: MIT
// The checksum that every record on disk carries, so that a record torn by
// a crash or changed by the disk is told from a whole one.
#pragma once

#include <cstdint>
#include <string_view>

namespace record {

// CRC-32 (the polynomial of zlib and PNG) of `bytes`.
std::uint32_t crc32(std::string_view bytes);

} // namespace record
