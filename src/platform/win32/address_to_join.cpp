// SPDX-License-Identifier: MIT
// The address a guest joins at, from this machine's adapters.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <iphlpapi.h>

#include <vector>

#include "netplay/network.hpp"

namespace {

// Enough for the adapters of most machines at the first call.
constexpr ULONG firstGuessBytes = 16 * 1024;
constexpr int tries = 3; // adapters may come between the calls

// How good an adapter's address is to show: lower is better, -1 never.
// IPv4 first, then IPv6; link-local IPv6 needs a zone a command cannot
// carry across machines.
int rank(const IP_ADAPTER_ADDRESSES& adapter, const sockaddr* address) {
    if (adapter.OperStatus != IfOperStatusUp || adapter.IfType == IF_TYPE_SOFTWARE_LOOPBACK)
        return -1;
    if (address->sa_family == AF_INET)
        return 0;
    if (address->sa_family != AF_INET6)
        return -1;
    const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    return IN6_IS_ADDR_LINKLOCAL(&a) || IN6_IS_ADDR_LOOPBACK(&a) ? -1 : 1;
}

std::string numeric(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                  sizeof text);
    else
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                  sizeof text);
    return text;
}

// The adapters' table, grown as the system asks; empty when it has none.
std::vector<unsigned char> adapterTable() {
    constexpr ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST |
                            GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_SKIP_FRIENDLY_NAME;
    ULONG size = firstGuessBytes;
    std::vector<unsigned char> table;
    for (int i = 0; i < tries; ++i) {
        table.resize(size);
        auto* first = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(table.data());
        ULONG status = GetAdaptersAddresses(AF_UNSPEC, flags, nullptr, first, &size);
        if (status == NO_ERROR)
            return table;
        if (status != ERROR_BUFFER_OVERFLOW)
            break;
    }
    return {};
}

// Each address of each adapter, as `visit(adapter, address)`.
template <typename Visit> void everyAddress(Visit visit) {
    std::vector<unsigned char> table = adapterTable();
    if (table.empty())
        return;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(table.data()); adapter != nullptr;
         adapter = adapter->Next)
        for (auto* u = adapter->FirstUnicastAddress; u != nullptr; u = u->Next)
            if (u->Address.lpSockaddr != nullptr)
                visit(*adapter, u->Address.lpSockaddr);
}

std::string bestAddress() {
    std::string best;
    int bestRank = 99;
    everyAddress([&](const IP_ADAPTER_ADDRESSES& adapter, const sockaddr* address) {
        int r = rank(adapter, address);
        if (r >= 0 && r < bestRank) {
            best = numeric(address);
            bestRank = r;
        }
    });
    return best;
}

} // namespace

std::vector<std::string> netLocalAddresses() {
    std::vector<std::string> addresses;
    everyAddress([&](const IP_ADAPTER_ADDRESSES& adapter, const sockaddr* address) {
        bool ip = address->sa_family == AF_INET || address->sa_family == AF_INET6;
        if (adapter.OperStatus == IfOperStatusUp && ip)
            addresses.push_back(numeric(address));
    });
    return addresses;
}

std::string netAddressToJoin(const std::string& listeningHost) {
    bool every = listeningHost.empty() || listeningHost == "0.0.0.0" || listeningHost == "::";
    if (!every)
        return listeningHost;
    std::string best = bestAddress();
    if (!best.empty())
        return best;
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 && name[0] != '\0' ? name : "localhost";
}
