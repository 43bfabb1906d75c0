// SPDX-License-Identifier: MIT
// Numbers in as few bytes as they need: seven bits a byte, low bits first,
// the top bit set on every byte but the last. Reading checks every length:
// a number that runs past the end or past 64 bits, or is not written in
// its shortest form, is refused.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace record {

void appendNumber(std::string& out, std::uint64_t value);
// A signed number, small ones of either sign in one byte.
void appendSigned(std::string& out, std::int64_t value);

// Reads what the appends wrote, from `in` at `at`, moving `at` past it.
// False, with `at` unmoved, when the bytes do not hold a whole number.
class NumberReader {
public:
    explicit NumberReader(std::string_view in) : in_(in) {}
    bool number(std::uint64_t& value);
    bool signedNumber(std::int64_t& value);
    // A number no greater than `limit`, as an int.
    bool bounded(int limit, int& value);
    // `length` raw bytes.
    bool bytes(std::size_t length, std::string_view& out);
    bool atEnd() const { return at_ == in_.size(); }
    std::size_t at() const { return at_; }

private:
    std::string_view in_;
    std::size_t at_ = 0;
};

} // namespace record
