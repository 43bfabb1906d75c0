// SPDX-License-Identifier: MIT
#include "record/varint.hpp"

namespace record {

void appendNumber(std::string& out, std::uint64_t value) {
    while (value >= 0x80U) {
        out += static_cast<char>((value & 0x7FU) | 0x80U);
        value >>= 7U;
    }
    out += static_cast<char>(value);
}

void appendSigned(std::string& out, std::int64_t value) {
    // Zigzag: 0, -1, 1, -2 ... as 0, 1, 2, 3 ...
    auto bits = static_cast<std::uint64_t>(value);
    appendNumber(out, (bits << 1U) ^ (value < 0 ? ~std::uint64_t{0} : 0));
}

bool NumberReader::number(std::uint64_t& value) {
    std::uint64_t result = 0;
    for (std::size_t i = 0; at_ + i < in_.size(); ++i) {
        auto byte = static_cast<unsigned char>(in_[at_ + i]);
        unsigned shift = 7U * static_cast<unsigned>(i);
        // The tenth byte holds the 64th bit and nothing above it.
        if (i == 9 && byte > 1)
            return false;
        result |= static_cast<std::uint64_t>(byte & 0x7FU) << shift;
        if ((byte & 0x80U) == 0) {
            if (byte == 0 && i > 0)
                return false; // not the shortest form: one number, one way
            at_ += i + 1;
            value = result;
            return true;
        }
        if (i == 9)
            return false;
    }
    return false;
}

bool NumberReader::signedNumber(std::int64_t& value) {
    std::uint64_t bits = 0;
    if (!number(bits))
        return false;
    value = static_cast<std::int64_t>((bits >> 1U) ^ (~(bits & 1U) + 1U));
    return true;
}

bool NumberReader::bounded(int limit, int& value) {
    std::size_t start = at_;
    std::uint64_t read = 0;
    if (!number(read) || read > static_cast<std::uint64_t>(limit)) {
        at_ = start;
        return false;
    }
    value = static_cast<int>(read);
    return true;
}

bool NumberReader::bytes(std::size_t length, std::string_view& out) {
    if (length > in_.size() - at_)
        return false;
    out = in_.substr(at_, length);
    at_ += length;
    return true;
}

} // namespace record
