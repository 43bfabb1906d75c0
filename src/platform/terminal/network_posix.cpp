// SPDX-License-Identifier: MIT
// The network game's sockets, addresses, waits, clock and randomness on a
// POSIX system: BSD sockets, every one non-blocking, and poll().

// The interfaces' flags (IFF_UP) and getentropy() come from BSD, and every
// system this runs on has them; glibc and musl show them only under
// _DEFAULT_SOURCE, macOS under _DARWIN_C_SOURCE, once POSIX alone is asked.
#define _DEFAULT_SOURCE 1  // NOLINT(bugprone-reserved-identifier): the C library's to read
#define _DARWIN_C_SOURCE 1 // NOLINT(bugprone-reserved-identifier)

#include "netplay/network.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>
#ifdef __APPLE__
#include <sys/random.h> // getentropy
#endif

#include "platform/terminal/network_posix.hpp"
#include "platform/terminal/tty.hpp"
#include "text/printable.hpp"

namespace {

constexpr int sendBufferBytes = 32 * 1024;
// The system's queue of connections not taken yet. Connections that find it
// full are dropped before anyone reads them, so it has room for a guest
// behind thousands held open by strangers. Not SOMAXCONN, which glibc
// makes 4096 but macOS's and musl's headers 128, whatever the kernel
// allows; the kernel cuts it to its own limit (Linux's net.core.somaxconn,
// 4096 by default; on macOS and the BSDs a sysctl, 128 unless raised).
constexpr int backlog = 4096;

// A listener on every address that is two sockets, IPv6 and IPv4, where
// the system's IPv6 sockets take no IPv4 (OpenBSD's never do). The network
// game knows it by the first; the waits poll both, and accepts take from
// each in turn, so that a crowd at one does not hold the other's guests out.
struct ListenerPair {
    int primary;
    int partner;
    bool partnerFirst;
};
std::vector<ListenerPair> pairs;
bool perFamily = false; // every-address listeners as OpenBSD has them, for tests

ListenerPair* pairOf(int fd) {
    for (ListenerPair& pair : pairs)
        if (pair.primary == fd)
            return &pair;
    return nullptr;
}

// Non-blocking, closed on exec, no Nagle delay, a send buffer of modest
// size so that a guest that stops reading cannot pile up stale pictures,
// and no SIGPIPE from it.
void configure(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    int size = sendBufferBytes;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
#ifdef SO_NOSIGPIPE
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

struct AddressList {
    addrinfo* first = nullptr;
    ~AddressList() {
        if (first != nullptr)
            freeaddrinfo(first);
    }
};

std::string describe(const net::Endpoint& where) {
    return net::formatEndpoint(where.host.empty() ? "*" : where.host, where.port);
}

int lookUp(const net::Endpoint& where, bool passive, AddressList& list, std::string& error) {
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = passive ? AI_PASSIVE : AI_ADDRCONFIG;
    std::string port = std::to_string(where.port);
    const char* host = where.host.empty() ? nullptr : where.host.c_str();
    int status = getaddrinfo(host, port.c_str(), &hints, &list.first);
    if (status == 0)
        return 0;
    // EAI_SYSTEM's own text is only "System error"; errno says which.
    error = "cannot find " + describe(where) + ": " +
            printable(status == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(status));
#ifdef BLOCKDUEL_STATIC
    // Linked statically, the C library cannot load the system's name
    // service modules (mDNS, systemd-resolved's, LDAP): a name that only
    // they know is not found.
    error += " (this build of blockduel is linked statically and looks names up in /etc/hosts "
             "and DNS only; the host's IP address works everywhere)";
#endif
    return status;
}

int boundPort(int fd) {
    sockaddr_storage address = {};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

int listenAt(const sockaddr* address, socklen_t length, int family) {
    int fd = socket(family, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (family == AF_INET6) {
        // Both IPv6 and IPv4 on the one socket where the system allows it.
        int v6only = perFamily ? 1 : 0;
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, sizeof v6only);
    }
    if (bind(fd, address, length) != 0 || listen(fd, backlog) != 0) {
        int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    configure(fd);
    return fd;
}

// Waits for a non-blocking connect to finish; 0 or the error.
int finishConnect(int fd, long long untilMs) {
    for (;;) {
        long long left = untilMs - term::monotonicMs();
        if (left <= 0)
            return ETIMEDOUT;
        pollfd ready = {fd, POLLOUT, 0};
        int n = poll(&ready, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0 ? ETIMEDOUT : errno;
        int error = 0;
        socklen_t size = sizeof error;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        return error;
    }
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

// How good an interface's address is to show: lower is better, -1 never.
int rank(const ifaddrs* entry) {
    if (entry->ifa_addr == nullptr || (entry->ifa_flags & IFF_UP) == 0 ||
        (entry->ifa_flags & IFF_LOOPBACK) != 0)
        return -1;
    if (entry->ifa_addr->sa_family == AF_INET)
        return 0;
    if (entry->ifa_addr->sa_family != AF_INET6)
        return -1;
    const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr)->sin6_addr;
    return IN6_IS_ADDR_LINKLOCAL(&a) ? -1 : 1;
}

int listenAny(int family, int port) {
    if (family == AF_INET6) {
        sockaddr_in6 any6 = {};
        any6.sin6_family = AF_INET6;
        any6.sin6_addr = in6addr_any;
        any6.sin6_port = htons(static_cast<uint16_t>(port));
        return listenAt(reinterpret_cast<sockaddr*>(&any6), sizeof any6, AF_INET6);
    }
    sockaddr_in any4 = {};
    any4.sin_family = AF_INET;
    any4.sin_addr.s_addr = htonl(INADDR_ANY);
    any4.sin_port = htons(static_cast<uint16_t>(port));
    return listenAt(reinterpret_cast<sockaddr*>(&any4), sizeof any4, AF_INET);
}

bool takesIPv4(int fd) {
    int v6only = 1;
    socklen_t size = sizeof v6only;
    return getsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, &size) == 0 && v6only == 0;
}

// Every interface: IPv6 with IPv4 on one socket, else an IPv4 socket beside
// it on the same port, else IPv4 alone. A port of the system's choice may
// be taken for IPv4 already; another is then tried.
int listenEverywhere(int port) {
    for (int tries = port == 0 ? 8 : 1; tries > 0; --tries) {
        int fd = listenAny(AF_INET6, port);
        if (fd < 0)
            return errno == EADDRINUSE ? -1 : listenAny(AF_INET, port);
        if (takesIPv4(fd))
            return fd;
        int partner = listenAny(AF_INET, boundPort(fd));
        if (partner >= 0) {
            pairs.push_back({fd, partner, false});
            return fd;
        }
        int saved = errno;
        close(fd);
        errno = saved;
        if (saved != EADDRINUSE)
            return -1;
    }
    return -1;
}

Accepted acceptFrom(int listener, NetSocket& socket, net::PeerAddress& from, std::string& error) {
    sockaddr_storage address = {};
    socklen_t length = sizeof address;
    int fd = accept(listener, reinterpret_cast<sockaddr*>(&address), &length);
    if (fd < 0) {
        error = printable(std::strerror(errno));
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Accepted::None;
        if (errno == ECONNABORTED || errno == EINTR || errno == EPROTO)
            return Accepted::Failed; // gone before it was taken
        return Accepted::OutOfRoom;  // out of descriptors or memory, or worse
    }
    configure(fd);
    socket = fd;
    from = {};
    if (address.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(address).sin6_addr;
        std::memcpy(from.bytes.data(), &a, 16);
    } else if (address.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(address).sin_addr;
        from.bytes[10] = from.bytes[11] = 0xFF;
        std::memcpy(from.bytes.data() + 12, &a, 4);
    }
    bool mapped = from.bytes[10] == 0xFF && from.bytes[11] == 0xFF &&
                  std::all_of(from.bytes.begin(), from.bytes.begin() + 10,
                              [](unsigned char b) { return b == 0; });
    char text[INET6_ADDRSTRLEN] = {};
    if (mapped) // IPv4, also when it came to a socket of both
        inet_ntop(AF_INET, from.bytes.data() + 12, text, sizeof text);
    else if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, from.bytes.data(), text, sizeof text);
    from.text = text[0] != '\0' ? text : "this machine";
    return Accepted::Socket;
}

} // namespace

bool netStart(std::string& /*error*/) { return true; }

NetSocket netListen(const net::Endpoint& where, int& port, std::string& error) {
    int fd = -1;
    if (where.host.empty()) {
        fd = listenEverywhere(where.port);
    } else {
        AddressList list;
        if (lookUp(where, true, list, error) != 0)
            return noSocket;
        for (addrinfo* a = list.first; a != nullptr && fd < 0; a = a->ai_next)
            fd = listenAt(a->ai_addr, a->ai_addrlen, a->ai_family);
    }
    if (fd < 0) {
        error = "cannot listen on " + describe(where) + ": " + printable(std::strerror(errno));
        return noSocket;
    }
    port = boundPort(fd);
    return fd;
}

// Only the first passed descriptor is taken: the server listens once. The
// variables go, so that no child takes them for its own.
NetSocket netInheritedListener() {
    constexpr int firstPassed = 3; // SD_LISTEN_FDS_START
    const char* pid = std::getenv("LISTEN_PID");
    const char* fds = std::getenv("LISTEN_FDS");
    bool ours = pid != nullptr && fds != nullptr && std::atol(pid) == static_cast<long>(getpid()) &&
                std::atoi(fds) >= 1;
    unsetenv("LISTEN_PID");
    unsetenv("LISTEN_FDS");
    unsetenv("LISTEN_FDNAMES");
    int type = 0;
    socklen_t length = sizeof type;
    if (!ours || getsockopt(firstPassed, SOL_SOCKET, SO_TYPE, &type, &length) != 0 ||
        type != SOCK_STREAM)
        return noSocket;
    fcntl(firstPassed, F_SETFL, fcntl(firstPassed, F_GETFL) | O_NONBLOCK);
    fcntl(firstPassed, F_SETFD, FD_CLOEXEC);
    return firstPassed;
}

int netHandles(NetSocket socket, NetSocket handles[2]) {
    handles[0] = socket;
    const ListenerPair* pair = pairOf(static_cast<int>(socket));
    if (pair == nullptr)
        return 1;
    handles[1] = pair->partner;
    return 2;
}

NetSocket netConnect(const net::Endpoint& where, int timeoutMs, std::string& error) {
    AddressList list;
    if (lookUp(where, false, list, error) != 0)
        return noSocket;
    long long until = term::monotonicMs() + timeoutMs;
    int failure = ECONNREFUSED;
    for (addrinfo* a = list.first; a != nullptr; a = a->ai_next) {
        int fd = socket(a->ai_family, SOCK_STREAM, 0);
        if (fd < 0) {
            failure = errno;
            continue;
        }
        configure(fd);
        int status = connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (status == EINPROGRESS)
            status = finishConnect(fd, until);
        if (status == 0)
            return fd;
        failure = status;
        close(fd);
    }
    error = "cannot connect to " + describe(where) + ": " + printable(std::strerror(failure));
    return noSocket;
}

Accepted netAccept(NetSocket listener, NetSocket& socket, net::PeerAddress& from,
                   std::string& error) {
    ListenerPair* pair = pairOf(static_cast<int>(listener));
    if (pair == nullptr)
        return acceptFrom(static_cast<int>(listener), socket, from, error);
    pair->partnerFirst = !pair->partnerFirst;
    int first = pair->partnerFirst ? pair->partner : pair->primary;
    int second = pair->partnerFirst ? pair->primary : pair->partner;
    Accepted taken = acceptFrom(first, socket, from, error);
    return taken == Accepted::None ? acceptFrom(second, socket, from, error) : taken;
}

std::string netAddressToJoin(const std::string& listeningHost) {
    bool every = listeningHost.empty() || listeningHost == "0.0.0.0" || listeningHost == "::";
    if (!every)
        return listeningHost;
    ifaddrs* all = nullptr;
    std::string best;
    if (getifaddrs(&all) == 0) {
        int bestRank = 99;
        for (ifaddrs* entry = all; entry != nullptr; entry = entry->ifa_next) {
            int r = rank(entry);
            if (r >= 0 && r < bestRank) {
                best = numeric(entry->ifa_addr);
                bestRank = r;
            }
        }
        freeifaddrs(all);
    }
    if (!best.empty())
        return best;
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 && name[0] != '\0' ? name : "localhost";
}

std::vector<std::string> netLocalAddresses() {
    std::vector<std::string> addresses;
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0)
        return addresses;
    for (ifaddrs* entry = all; entry != nullptr; entry = entry->ifa_next) {
        bool up = entry->ifa_addr != nullptr && (entry->ifa_flags & IFF_UP) != 0;
        int family = up ? entry->ifa_addr->sa_family : AF_UNSPEC;
        if (family == AF_INET || family == AF_INET6)
            addresses.push_back(numeric(entry->ifa_addr));
    }
    freeifaddrs(all);
    return addresses;
}

bool netRandomBytes(unsigned char* bytes, std::size_t count) {
    constexpr std::size_t most = 256; // what getentropy() takes at a time
    for (std::size_t at = 0; at < count; at += most)
        if (getentropy(bytes + at, std::min(most, count - at)) != 0)
            return false;
    return true;
}

long netSend(NetSocket socket, const char* data, std::size_t length, std::string& problem) {
#ifdef MSG_NOSIGNAL
    constexpr int flags = MSG_NOSIGNAL;
#else
    constexpr int flags = 0;
#endif
    ssize_t n = send(static_cast<int>(socket), data, length, flags);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    problem = printable(std::strerror(errno));
    return -1;
}

long netReceive(NetSocket socket, unsigned char* bytes, std::size_t size, std::string& problem) {
    ssize_t n = read(static_cast<int>(socket), bytes, size);
    if (n > 0)
        return n;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    problem = n == 0 ? "closed" : printable(std::strerror(errno));
    return -1;
}

void netAdopt(NetSocket socket) { configure(static_cast<int>(socket)); }

void netShutdownSend(NetSocket socket) { shutdown(static_cast<int>(socket), SHUT_WR); }

void netClose(NetSocket socket) {
    int fd = static_cast<int>(socket);
    if (ListenerPair* pair = pairOf(fd)) {
        close(pair->partner);
        std::erase_if(pairs, [fd](const ListenerPair& p) { return p.primary == fd; });
    }
    close(fd);
}

void netWait(SocketWatch* watches, int count, int timeoutMs) {
    constexpr int most = 256;
    pollfd fds[term::pollFdsFor(most)];
    int n = std::min(count, most);
    int polled = term::socketPollFds(watches, n, fds);
    // A signal (-1) found nothing: the caller looks again.
    term::socketsFound(watches, n, fds, poll(fds, static_cast<nfds_t>(polled), timeoutMs) > 0);
    for (int i = n; i < count; ++i)
        watches[i].readable = watches[i].writable = false;
}

namespace term {

int socketPollFds(const SocketWatch* watches, int count, pollfd* fds) {
    int n = 0;
    for (int i = 0; i < count; ++i) {
        int fd = static_cast<int>(watches[i].socket);
        auto events = static_cast<short>(watches[i].write ? POLLIN | POLLOUT : POLLIN);
        fds[n++] = {fd, events, 0};
        if (const ListenerPair* pair = pairOf(fd))
            fds[n++] = {pair->partner, events, 0};
    }
    return n;
}

void socketsFound(SocketWatch* watches, int count, const pollfd* fds, bool found) {
    int n = 0;
    for (int i = 0; i < count; ++i) {
        int events = fds[n++].revents;
        if (pairOf(static_cast<int>(watches[i].socket)) != nullptr)
            events |= fds[n++].revents;
        events = found ? events : 0;
        watches[i].readable = (events & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
        watches[i].writable = (events & POLLOUT) != 0;
    }
}

void listenPerFamily(bool apart) { perFamily = apart; }

} // namespace term

long long netClockMs() { return term::monotonicMs(); }
