// SPDX-License-Identifier: MIT
#include "net/forwarded_for.hpp"

#include <algorithm>

#include "net/http_request.hpp"
#include "net/ip_address.hpp"
#include "text/printable.hpp"

namespace net {

bool parseTrusted(std::string_view list, std::vector<PeerAddress>& trusted, std::string& why) {
    std::vector<PeerAddress> read;
    for (std::size_t at = 0; at <= list.size();) {
        std::size_t comma = std::min(list.find(',', at), list.size());
        std::string_view entry = trimmed(list.substr(at, comma - at));
        PeerAddress address;
        if (!parseIpAddress(entry, address)) {
            why = printable(entry);
            why.insert(why.begin(), '\'');
            why += "' is not a numeric IPv4 or IPv6 address";
            return false;
        }
        read.push_back(address);
        at = comma + 1;
    }
    trusted = std::move(read);
    return true;
}

bool isTrusted(const PeerAddress& address, const std::vector<PeerAddress>& trusted) {
    return std::any_of(trusted.begin(), trusted.end(),
                       [&](const PeerAddress& t) { return t.bytes == address.bytes; });
}

bool forwardedClient(std::string_view header, const std::vector<PeerAddress>& trusted,
                     PeerAddress& client) {
    while (!header.empty()) {
        std::size_t comma = header.rfind(',');
        std::size_t from = comma == std::string_view::npos ? 0 : comma + 1;
        PeerAddress entry;
        if (!parseIpAddress(trimmed(header.substr(from)), entry))
            return false;
        if (!isTrusted(entry, trusted)) {
            client = entry;
            return true;
        }
        header = comma == std::string_view::npos ? std::string_view{} : header.substr(0, comma);
    }
    return false;
}

} // namespace net
