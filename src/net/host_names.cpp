// SPDX-License-Identifier: MIT
// Host headers read strictly: a browser writes a name as it looked it up,
// lowercase, and an address in its canonical form, so anything looser is
// no browser's and needs no match.
#include "net/host_names.hpp"

#include <algorithm>

namespace net {

namespace {

constexpr int maxPort = 65535;
constexpr std::size_t maxPortDigits = 5;

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

bool isAddress6Char(char c) {
    return (c >= 'a' && c <= 'f') || (c >= '0' && c <= '9') || c == ':' || c == '.';
}

// 1 to 65535 in digits alone; -1 for anything else.
int portOf(std::string_view digits) {
    if (digits.empty() || digits.size() > maxPortDigits ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
        return -1;
    int port = 0;
    for (char c : digits)
        port = port * 10 + (c - '0');
    return port >= 1 && port <= maxPort ? port : -1;
}

} // namespace

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return out;
}

bool parseHostAndPort(std::string_view text, HostAndPort& out) {
    std::string lower = lowered(text);
    std::string_view rest = lower;
    std::string_view host;
    bool bracketed = !rest.empty() && rest.front() == '[';
    if (bracketed) {
        std::size_t close = rest.find(']');
        if (close == std::string_view::npos)
            return false;
        host = rest.substr(1, close - 1);
        rest.remove_prefix(close + 1);
        if (host.find(':') == std::string_view::npos ||
            !std::all_of(host.begin(), host.end(), isAddress6Char))
            return false;
    } else {
        host = rest.substr(0, rest.find(':'));
        rest.remove_prefix(host.size());
        if (!std::all_of(host.begin(), host.end(), isNameChar))
            return false;
    }
    int port = -1;
    if (!rest.empty()) {
        port = rest.front() == ':' ? portOf(rest.substr(1)) : -1;
        if (port < 0)
            return false;
    }
    if (host.empty())
        return false;
    out = {std::string(host), port};
    return true;
}

HostNames hostNamesOf(const std::vector<std::string>& addresses, std::string_view given) {
    HostNames names = {"localhost"};
    for (const std::string& address : addresses)
        if (!address.empty())
            names.push_back(lowered(address.substr(0, address.find('%'))));
    HostAndPort named;
    if (!given.empty() && parseHostAndPort(given, named))
        names.push_back(named.host);
    return names;
}

bool namesThisHost(std::string_view header, const HostNames& names) {
    HostAndPort asked;
    if (!parseHostAndPort(header, asked))
        return false;
    return std::find(names.begin(), names.end(), asked.host) != names.end() ||
           std::find(names.begin(), names.end(), anyHostName) != names.end();
}

} // namespace net
