// SPDX-License-Identifier: MIT
#include "record/checksum.hpp"

#include <array>

namespace record {

namespace {

constexpr std::uint32_t polynomial = 0xEDB88320U; // reflected 0x04C11DB7

constexpr std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> entries = {};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1U) != 0 ? polynomial ^ (c >> 1U) : c >> 1U;
        entries[n] = c;
    }
    return entries;
}

constexpr std::array<std::uint32_t, 256> table = makeTable();

} // namespace

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t c = 0xFFFFFFFFU;
    for (char ch : bytes)
        c = table[(c ^ static_cast<unsigned char>(ch)) & 0xFFU] ^ (c >> 8U);
    return c ^ 0xFFFFFFFFU;
}

} // namespace record
