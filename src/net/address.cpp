// SPDX-License-Identifier: MIT
// Reading and writing HOST:PORT.
#include "net/address.hpp"

#include <algorithm>

#include "text/printable.hpp"

namespace net {

namespace {

constexpr std::size_t maxHostLength = 253; // the longest DNS name

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isNameChar(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.';
}
bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), isDigit);
}

// An IPv6 address: hex digits, colons and dots (for an IPv4 tail), and at
// least two colons; a zone after '%' (fe80::1%eth0) of name characters.
bool isIpv6(std::string_view s) {
    std::size_t zone = s.find('%');
    std::string_view address = s.substr(0, zone);
    if (zone != std::string_view::npos) {
        std::string_view name = s.substr(zone + 1);
        if (name.empty() || !std::all_of(name.begin(), name.end(), isNameChar))
            return false;
    }
    return std::count(address.begin(), address.end(), ':') >= 2 &&
           std::all_of(address.begin(), address.end(),
                       [](char c) { return isHex(c) || c == ':' || c == '.'; });
}

// A name or an IPv4 address: letters, digits, hyphens and dots.
bool isName(std::string_view s) {
    return !s.empty() && s.size() <= maxHostLength && std::all_of(s.begin(), s.end(), isNameChar);
}

// In quotes, as a message echoes what was typed.
std::string quoted(std::string_view s) {
    std::string text(1, '\'');
    text.append(printable(s));
    text += '\'';
    return text;
}

std::string readPort(std::string_view text, bool listening, int& port) {
    int least = listening ? 0 : 1;
    if (!allDigits(text) || text.size() > 5 || std::stoi(std::string(text)) > 65535 ||
        std::stoi(std::string(text)) < least)
        return "the port must be a number from " + std::to_string(least) + " to 65535, not " +
               quoted(text);
    port = std::stoi(std::string(text));
    return "";
}

} // namespace

std::string parseEndpoint(std::string_view text, bool listening, Endpoint& out) {
    Endpoint result;
    std::string_view host = text;
    std::string_view port;
    bool hasPort = false;
    if (!text.empty() && text[0] == '[') {
        std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return "no ']' after the IPv6 address in " + quoted(text);
        host = text.substr(1, close - 1);
        std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && rest[0] != ':')
            return "only ':PORT' may follow ']' in " + quoted(text);
        if (!isIpv6(host))
            return quoted(host) + " is not an IPv6 address";
        hasPort = !rest.empty();
        port = hasPort ? rest.substr(1) : rest;
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        std::size_t colon = text.find(':');
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        hasPort = true;
    } else if (std::count(text.begin(), text.end(), ':') > 1 && !isIpv6(text)) {
        return quoted(text) + " is not an address; write an IPv6 address with a port as "
                              "[ADDRESS]:PORT";
    }
    if (hasPort) {
        std::string problem = readPort(port, listening, result.port);
        if (!problem.empty())
            return problem;
    }
    bool bare = text.empty() || text[0] != '[';
    if (host.empty()) {
        if (!listening)
            return "the host's address is missing in " + quoted(text);
    } else if (bare && allDigits(host) && !hasPort) {
        return quoted(text) + " is not an address; for a port alone, write :" + printable(text);
    } else if (bare && !isName(host) && !isIpv6(host)) {
        return quoted(host) + " is not a host name or address";
    }
    result.host = std::string(host);
    out = result;
    return "";
}

std::string formatEndpoint(const std::string& host, int port) {
    bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

} // namespace net
