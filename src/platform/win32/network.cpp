// SPDX-License-Identifier: MIT
// The network game's sockets, waits, clock and randomness on Windows:
// Winsock 2, every socket non-blocking, and WSAPoll.
#include "netplay/network.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/win32/accept_share.hpp"
#include "platform/win32/socket_errors.hpp"

namespace {

constexpr int sendBufferBytes = 32 * 1024;
// The system's queue of connections not taken yet: as long as it allows.
constexpr int backlog = SOMAXCONN;
// Connections taken between two waits (platform/win32/accept_share.hpp);
// until a share is set, as many as the host asks for.
int acceptShare = std::numeric_limits<int>::max();
int acceptsLeft = acceptShare;

SOCKET native(NetSocket socket) { return static_cast<SOCKET>(socket); }

std::string lastError() { return socketErrorText(WSAGetLastError()); }

// Non-blocking, no Nagle delay, and a send buffer of modest size so that
// a guest that stops reading cannot pile up stale pictures. (A socket goes
// only to a child process started to inherit handles, and the game starts
// none.)
void configure(SOCKET s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof noDelay);
    int size = sendBufferBytes;
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size), sizeof size);
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

bool lookUp(const net::Endpoint& where, bool passive, AddressList& list, std::string& error) {
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = passive ? AI_PASSIVE : AI_ADDRCONFIG;
    std::string port = std::to_string(where.port);
    const char* host = where.host.empty() ? nullptr : where.host.c_str();
    int status = getaddrinfo(host, port.c_str(), &hints, &list.first);
    if (status != 0)
        error = "cannot find " + describe(where) + ": " + socketErrorText(status);
    return status == 0;
}

int boundPort(SOCKET s) {
    sockaddr_storage address = {};
    int length = sizeof address;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

// A listening socket, or INVALID_SOCKET with the error left in
// WSAGetLastError(). Windows lets another program bind a port in use
// unless it is taken exclusively, which a server does.
SOCKET listenAt(const sockaddr* address, int length, int family) {
    SOCKET s = socket(family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return s;
    BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    if (family == AF_INET6) {
        DWORD off = 0; // both IPv6 and IPv4 on the one socket where the system allows it
        setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&off), sizeof off);
    }
    if (bind(s, address, length) != 0 || listen(s, backlog) != 0) {
        int saved = WSAGetLastError();
        closesocket(s);
        WSASetLastError(saved);
        return INVALID_SOCKET;
    }
    configure(s);
    return s;
}

SOCKET listenEverywhere(int port) {
    sockaddr_in6 any6 = {};
    any6.sin6_family = AF_INET6;
    any6.sin6_addr = in6addr_any;
    any6.sin6_port = htons(static_cast<u_short>(port));
    SOCKET s = listenAt(reinterpret_cast<sockaddr*>(&any6), sizeof any6, AF_INET6);
    if (s != INVALID_SOCKET || WSAGetLastError() == WSAEADDRINUSE)
        return s;
    sockaddr_in any4 = {};
    any4.sin_family = AF_INET;
    any4.sin_addr.s_addr = htonl(INADDR_ANY);
    any4.sin_port = htons(static_cast<u_short>(port));
    return listenAt(reinterpret_cast<sockaddr*>(&any4), sizeof any4, AF_INET);
}

// Waits for a non-blocking connect to finish; 0 or the error. Winsock
// reports a failed connect among the exceptions, not as writable.
int finishConnect(SOCKET s, long long untilMs) {
    long long left = untilMs - netClockMs();
    if (left <= 0)
        return WSAETIMEDOUT;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval limit = {static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
    int n = select(0, nullptr, &writable, &failed, &limit);
    if (n == 0)
        return WSAETIMEDOUT;
    if (n < 0)
        return WSAGetLastError();
    int error = 0;
    int size = sizeof error;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    return FD_ISSET(s, &failed) && error == 0 ? WSAECONNREFUSED : error;
}

// Where a connection comes from, as the door tells addresses apart:
// IPv4 as an IPv4-mapped IPv6 address, also when it came to a socket of both.
void peerOf(const sockaddr_storage& address, net::PeerAddress& from) {
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
    if (mapped)
        inet_ntop(AF_INET, from.bytes.data() + 12, text, sizeof text);
    else if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, from.bytes.data(), text, sizeof text);
    from.text = text[0] != '\0' ? text : "this machine";
}

} // namespace

void setAcceptShare(int connections) {
    acceptShare = std::max(connections, 1);
    acceptsLeft = acceptShare;
}

bool netStart(std::string& error) {
    WSADATA data;
    int status = WSAStartup(MAKEWORD(2, 2), &data);
    if (status != 0) {
        error = "cannot use the network: " + socketErrorText(status);
        return false;
    }
    return true;
}

NetSocket netListen(const net::Endpoint& where, int& port, std::string& error) {
    SOCKET s = INVALID_SOCKET;
    if (where.host.empty()) {
        s = listenEverywhere(where.port);
    } else {
        AddressList list;
        if (!lookUp(where, true, list, error))
            return noSocket;
        for (addrinfo* a = list.first; a != nullptr && s == INVALID_SOCKET; a = a->ai_next)
            s = listenAt(a->ai_addr, static_cast<int>(a->ai_addrlen), a->ai_family);
    }
    if (s == INVALID_SOCKET) {
        error = "cannot listen on " + describe(where) + ": " + lastError();
        return noSocket;
    }
    port = boundPort(s);
    return static_cast<NetSocket>(s);
}

// No service manager hands Windows programs a socket this way.
NetSocket netInheritedListener() { return noSocket; }

// A Windows listener is one socket for both families.
int netHandles(NetSocket socket, NetSocket handles[2]) {
    handles[0] = socket;
    return 1;
}

NetSocket netConnect(const net::Endpoint& where, int timeoutMs, std::string& error) {
    AddressList list;
    if (!lookUp(where, false, list, error))
        return noSocket;
    long long until = netClockMs() + timeoutMs;
    int failure = WSAECONNREFUSED;
    for (addrinfo* a = list.first; a != nullptr; a = a->ai_next) {
        SOCKET s = socket(a->ai_family, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) {
            failure = WSAGetLastError();
            continue;
        }
        configure(s);
        int status =
            connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 ? 0 : WSAGetLastError();
        if (status == WSAEWOULDBLOCK)
            status = finishConnect(s, until);
        if (status == 0)
            return static_cast<NetSocket>(s);
        failure = status;
        closesocket(s);
    }
    error = "cannot connect to " + describe(where) + ": " + socketErrorText(failure);
    return noSocket;
}

Accepted netAccept(NetSocket listener, NetSocket& socket, net::PeerAddress& from,
                   std::string& error) {
    if (acceptsLeft <= 0)
        return Accepted::None;
    sockaddr_storage address = {};
    int length = sizeof address;
    SOCKET s = accept(native(listener), reinterpret_cast<sockaddr*>(&address), &length);
    if (s == INVALID_SOCKET) {
        int code = WSAGetLastError();
        error = socketErrorText(code);
        if (code == WSAEWOULDBLOCK)
            return Accepted::None;
        if (code == WSAECONNRESET || code == WSAEINTR)
            return Accepted::Failed; // gone before it was taken
        return Accepted::OutOfRoom;  // out of sockets or buffers, or worse: the listener rests
    }
    acceptsLeft -= 1;
    configure(s);
    socket = static_cast<NetSocket>(s);
    peerOf(address, from);
    return Accepted::Socket;
}

void netAdopt(NetSocket socket) { configure(native(socket)); }

long netSend(NetSocket socket, const char* data, std::size_t length, std::string& problem) {
    int chunk = static_cast<int>(std::min<std::size_t>(length, 1 << 30));
    int n = send(native(socket), data, chunk, 0);
    if (n >= 0)
        return n;
    int code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK || code == WSAEINTR)
        return 0;
    problem = socketErrorText(code);
    return -1;
}

long netReceive(NetSocket socket, unsigned char* bytes, std::size_t size, std::string& problem) {
    int chunk = static_cast<int>(std::min<std::size_t>(size, 1 << 30));
    int n = recv(native(socket), reinterpret_cast<char*>(bytes), chunk, 0);
    if (n > 0)
        return n;
    int code = n < 0 ? WSAGetLastError() : 0;
    if (n < 0 && (code == WSAEWOULDBLOCK || code == WSAEINTR))
        return 0;
    problem = n == 0 ? "closed" : socketErrorText(code);
    return -1;
}

void netShutdownSend(NetSocket socket) { shutdown(native(socket), SD_SEND); }

void netClose(NetSocket socket) { closesocket(native(socket)); }

// WSAPoll cannot wait without a socket, and one that fails at once would
// leave the caller to spin: either way the time is slept instead.
void netWait(SocketWatch* watches, int count, int timeoutMs) {
    acceptsLeft = acceptShare;
    constexpr int most = 256;
    WSAPOLLFD fds[most];
    int n = std::min(count, most);
    for (int i = 0; i < n; ++i) {
        SHORT events = POLLRDNORM;
        if (watches[i].write)
            events = static_cast<SHORT>(events | POLLWRNORM);
        fds[i] = {native(watches[i].socket), events, 0};
    }
    int found = n > 0 ? WSAPoll(fds, static_cast<ULONG>(n), timeoutMs) : SOCKET_ERROR;
    if (found == SOCKET_ERROR) {
        n = 0;
        if (timeoutMs > 0)
            Sleep(static_cast<DWORD>(timeoutMs));
    }
    for (int i = 0; i < count; ++i) {
        int what = i < n ? fds[i].revents : 0;
        watches[i].readable = (what & (POLLRDNORM | POLLHUP | POLLERR | POLLNVAL)) != 0;
        watches[i].writable = (what & POLLWRNORM) != 0;
    }
}

bool netRandomBytes(unsigned char* bytes, std::size_t count) {
    for (std::size_t at = 0; at < count; at += 256) {
        auto size = static_cast<ULONG>(std::min<std::size_t>(256, count - at));
        if (!BCRYPT_SUCCESS(
                BCryptGenRandom(nullptr, bytes + at, size, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return false;
    }
    return true;
}

// The tick count runs from boot and is never set back with the calendar.
long long netClockMs() { return static_cast<long long>(GetTickCount64()); }
