// SPDX-License-Identifier: MIT
#include "text/printable.hpp"

namespace {

// The length of the UTF-8 sequence of a printable character at the start of
// `s`, or 0: controls, C1 controls, overlong forms, surrogates and broken
// or cut sequences are not printable.
std::size_t printableLength(std::string_view s) {
    auto first = static_cast<unsigned char>(s[0]);
    if (first >= 0x20 && first < 0x7F)
        return 1;
    std::size_t length = 0;
    if (first >= 0xC2 && first <= 0xDF)
        length = 2;
    else if (first >= 0xE0 && first <= 0xEF)
        length = 3;
    else if (first >= 0xF0 && first <= 0xF4)
        length = 4;
    if (length == 0 || length > s.size())
        return 0;
    unsigned code = first & (0x7FU >> length);
    for (std::size_t i = 1; i < length; ++i) {
        auto next = static_cast<unsigned char>(s[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3FU);
    }
    static constexpr unsigned least[] = {0, 0, 0xA0, 0x800, 0x10000};
    bool valid = code >= least[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    return valid ? length : 0;
}

std::string escaped(std::string_view text, std::size_t longest, bool doubleBackslash) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string shown;
    while (!text.empty()) {
        std::size_t length = printableLength(text);
        std::string piece;
        if (text[0] == '\\') {
            piece = doubleBackslash ? "\\\\" : "\\";
            length = 1;
        } else if (length > 0) {
            piece = text.substr(0, length);
        } else {
            auto byte = static_cast<unsigned char>(text[0]);
            piece = {'\\', 'x', hex[byte >> 4], hex[byte & 0x0F]};
            length = 1;
        }
        if (shown.size() + piece.size() > longest)
            return shown + "...";
        shown += piece;
        text.remove_prefix(length);
    }
    return shown;
}

} // namespace

std::string printable(std::string_view text, std::size_t longest) {
    return escaped(text, longest, true);
}

std::string printablePath(std::string_view path) { return escaped(path, longestShownPath, false); }
