// SPDX-License-Identifier: MIT
// The name's rule: the UTF-8 decoded strictly, then each character against
// the ranges no name may hold.
#include "net/player_name.hpp"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

namespace net {

namespace {

struct Range {
    std::uint32_t first;
    std::uint32_t last;
};

// Not shown, shown as nothing, or turning the text around.
constexpr Range unseen[] = {
    {0x00A0, 0x00A0}, {0x00AD, 0x00AD}, {0x034F, 0x034F},   {0x061C, 0x061C},   {0x115F, 0x1160},
    {0x1680, 0x1680}, {0x17B4, 0x17B5}, {0x180B, 0x180F},   {0x2000, 0x200F},   {0x2028, 0x202F},
    {0x205F, 0x206F}, {0x3000, 0x3000}, {0x3164, 0x3164},   {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},
    {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFFF}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

// Pictures and shapes rather than letters, characters of no script, and
// private ones.
constexpr Range pictures[] = {
    {0x2500, 0x27BF},   {0x2B00, 0x2BFF},   {0xE000, 0xF8FF},    {0xFDD0, 0xFDEF},
    {0x1F000, 0x1FAFF}, {0x40000, 0xDFFFF}, {0xF0000, 0x10FFFF},
};

// Marks that belong on the letter before them.
constexpr Range marks[] = {
    {0x0300, 0x036F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x20D0, 0x20FF}, {0xFE20, 0xFE2F},
};

template <std::size_t N> bool within(const Range (&ranges)[N], std::uint32_t c) {
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [c](const Range& r) { return c >= r.first && c <= r.last; });
}

// The character at `at`, moving `at` past it; -1 for bytes that are not
// UTF-8 in its shortest form, a surrogate or beyond U+10FFFF.
long nextCharacter(std::string_view text, std::size_t& at) {
    auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80)
        return lead;
    int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (more < 0 || lead > 0xF4 || text.size() - at < static_cast<std::size_t>(more))
        return -1;
    std::uint32_t c = lead & (0x3FU >> static_cast<unsigned>(more));
    for (int i = 0; i < more; ++i) {
        auto b = static_cast<unsigned char>(text[at++]);
        if ((b & 0xC0) != 0x80)
            return -1;
        c = c << 6U | (b & 0x3FU);
    }
    constexpr std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (c < least[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return -1;
    return static_cast<long>(c);
}

const char* characterFault(std::uint32_t c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return "has a control character";
    if (c == '<' || c == '>' || c == '&' || c == '"' || c == '\'')
        return "has one of < > & \" '";
    if (within(unseen, c))
        return "has a character that is not seen, or that turns the text around";
    if (within(pictures, c) || (c & 0xFFFEU) == 0xFFFEU)
        return "has a character that is no letter, digit or punctuation";
    return nullptr;
}

} // namespace

const char* checkPlayerName(std::string_view name) {
    static const std::string tooLong =
        "is longer than " + std::to_string(maxPlayerNameLength) + " characters";
    if (name.size() > static_cast<std::size_t>(maxPlayerNameBytes))
        return tooLong.c_str();
    int count = 0;
    for (std::size_t at = 0; at < name.size(); ++count) {
        long c = nextCharacter(name, at);
        if (c < 0)
            return "is not UTF-8 text";
        if (const char* fault = characterFault(static_cast<std::uint32_t>(c)))
            return fault;
        if (count == 0 && within(marks, static_cast<std::uint32_t>(c)))
            return "starts with a mark that belongs on a letter";
    }
    if (count > maxPlayerNameLength)
        return tooLong.c_str();
    if (name.starts_with(' ') || name.ends_with(' ') || name.find("  ") != std::string_view::npos)
        return "starts or ends with a space, or has two together";
    return nullptr;
}

} // namespace net
