// SPDX-License-Identifier: MIT
// Base64 both ways; strict on the way in, since what comes in is a stranger's.
#include "net/base64.hpp"

namespace net {

namespace {

constexpr std::string_view alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int valueOf(char c) {
    std::size_t at = alphabet.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

} // namespace

std::string base64(const unsigned char* bytes, std::size_t count) {
    std::string out;
    out.reserve((count + 2) / 3 * 4);
    for (std::size_t i = 0; i < count; i += 3) {
        unsigned group = unsigned{bytes[i]} << 16;
        if (i + 1 < count)
            group |= unsigned{bytes[i + 1]} << 8;
        if (i + 2 < count)
            group |= bytes[i + 2];
        out += alphabet[(group >> 18) & 63];
        out += alphabet[(group >> 12) & 63];
        out += i + 1 < count ? alphabet[(group >> 6) & 63] : '=';
        out += i + 2 < count ? alphabet[group & 63] : '=';
    }
    return out;
}

std::optional<std::string> fromBase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        bool last = i + 4 == text.size();
        int pad = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (pad == 1 && text[i + 2] == '=')
            return std::nullopt; // "x=y=" is no padding
        unsigned group = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            int v = j >= 4 - static_cast<std::size_t>(pad) ? 0 : valueOf(text[i + j]);
            if (v < 0)
                return std::nullopt;
            group = group << 6 | static_cast<unsigned>(v);
        }
        out += static_cast<char>(group >> 16);
        if (pad < 2)
            out += static_cast<char>((group >> 8) & 255);
        if (pad < 1)
            out += static_cast<char>(group & 255);
    }
    return out;
}

} // namespace net
