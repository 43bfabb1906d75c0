// SPDX-License-Identifier: MIT
#include "net/ip_address.hpp"

#include <algorithm>
#include <array>
#include <cstdio>

namespace net {

namespace {

constexpr int mappedAt = 10; // where ::ffff: ends and the IPv4 bytes begin, less 2

bool parseIpv4(std::string_view text, unsigned char* out) {
    for (int part = 0; part < 4; ++part) {
        std::size_t digits = 0;
        int value = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' && digits < 4) {
            value = value * 10 + (text[digits] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[0] == '0'))
            return false;
        out[part] = static_cast<unsigned char>(value);
        text.remove_prefix(digits);
        if (part < 3) {
            if (text.empty() || text[0] != '.')
                return false;
            text.remove_prefix(1);
        }
    }
    return text.empty();
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The groups of one side of "::" (or of the whole address), IPv4 in the
// last two when `tail` allows it; how many groups, -1 when malformed.
int parseGroups(std::string_view text, std::array<unsigned, 8>& groups, bool tail) {
    int n = 0;
    while (!text.empty()) {
        std::size_t end = text.find(':');
        std::string_view group = text.substr(0, end);
        bool last = end == std::string_view::npos;
        bool dotted = std::any_of(group.begin(), group.end(), [](char c) { return c == '.'; });
        if (last && tail && dotted) {
            unsigned char v4[4];
            if (n > 6 || !parseIpv4(group, v4))
                return -1;
            groups[static_cast<std::size_t>(n++)] = v4[0] << 8U | v4[1];
            groups[static_cast<std::size_t>(n++)] = v4[2] << 8U | v4[3];
            return n;
        }
        if (group.empty() || group.size() > 4 || n == 8)
            return -1;
        unsigned value = 0;
        for (char c : group) {
            if (hexValue(c) < 0)
                return -1;
            value = value << 4U | static_cast<unsigned>(hexValue(c));
        }
        groups[static_cast<std::size_t>(n++)] = value;
        if (last)
            break;
        text.remove_prefix(end + 1);
        if (text.empty())
            return -1; // a trailing single colon
    }
    return n;
}

bool parseIpv6(std::string_view text, unsigned char* out) {
    std::array<unsigned, 8> head{};
    std::array<unsigned, 8> tail{};
    std::size_t gap = text.find("::");
    int before = 0;
    int after = 0;
    if (gap == std::string_view::npos) {
        before = parseGroups(text, head, true);
        if (before != 8)
            return false;
    } else {
        std::string_view rest = text.substr(gap + 2);
        if (rest.find("::") != std::string_view::npos)
            return false;
        before = gap == 0 ? 0 : parseGroups(text.substr(0, gap), head, false);
        after = rest.empty() ? 0 : parseGroups(rest, tail, true);
        if (before < 0 || after < 0 || before + after > 7)
            return false;
    }
    std::array<unsigned, 8> groups{};
    for (int i = 0; i < before; ++i)
        groups[static_cast<std::size_t>(i)] = head[static_cast<std::size_t>(i)];
    auto firstAfter = static_cast<std::size_t>(8 - after);
    for (std::size_t i = 0; i < static_cast<std::size_t>(after); ++i)
        groups[firstAfter + i] = tail[i];
    for (std::size_t i = 0; i < 8; ++i) {
        out[2 * i] = static_cast<unsigned char>(groups[i] >> 8U);
        out[2 * i + 1] = static_cast<unsigned char>(groups[i] & 0xFFU);
    }
    return true;
}

bool mapped(const PeerAddress& a) {
    for (int i = 0; i < mappedAt; ++i)
        if (a.bytes[static_cast<std::size_t>(i)] != 0)
            return false;
    return a.bytes[mappedAt] == 0xFF && a.bytes[mappedAt + 1] == 0xFF;
}

} // namespace

bool parseIpAddress(std::string_view text, PeerAddress& address) {
    PeerAddress parsed;
    if (text.find(':') == std::string_view::npos) {
        parsed.bytes[mappedAt] = parsed.bytes[mappedAt + 1] = 0xFF;
        if (!parseIpv4(text, parsed.bytes.data() + mappedAt + 2))
            return false;
    } else if (!parseIpv6(text, parsed.bytes.data())) {
        return false;
    }
    parsed.text = formatIpAddress(parsed);
    address = parsed;
    return true;
}

std::string formatIpAddress(const PeerAddress& address) {
    const auto& b = address.bytes;
    char text[48];
    if (mapped(address)) {
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[12], b[13], b[14], b[15]);
        return text;
    }
    unsigned groups[8];
    for (std::size_t i = 0; i < 8; ++i)
        groups[i] = static_cast<unsigned>(b[2 * i]) << 8U | b[2 * i + 1];
    int bestAt = -1;
    int bestLength = 1; // a lone zero group is not shortened
    for (int i = 0; i < 8;) {
        int length = 0;
        while (i + length < 8 && groups[i + length] == 0)
            ++length;
        if (length > bestLength) {
            bestAt = i;
            bestLength = length;
        }
        i += length > 0 ? length : 1;
    }
    std::string out;
    for (int i = 0; i < 8; ++i) {
        if (i == bestAt) {
            out += "::";
            i += bestLength - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':')
            out += ':';
        std::snprintf(text, sizeof text, "%x", groups[i]);
        out += text;
    }
    return out;
}

} // namespace net
