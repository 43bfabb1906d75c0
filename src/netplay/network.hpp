// SPDX-License-Identifier: MIT
// What the network game needs from the system: TCP sockets that never
// block, a wait on them with a time limit, a monotonic clock and the
// system's randomness. Each platform implements these in files of its own
// (platform/terminal/network_posix.cpp, platform/win32/network.cpp), chosen
// by the build; the network game (netplay/) calls them from the game's
// single thread, and nothing else does.
//
// A game over the network calls netStart once, before anything else; then
// the host listens, the guest connects, and from then on both send and
// receive whatever the sockets take or hold now, waiting only in netWait
// (before the console is taken, and at the end) or in the back end's own
// waits, which watch the sockets with the keyboard (netplay/serving.hpp).
//
// None of these ends or stops the process, none waits longer than its time
// limit, and none raises a signal (a peer that goes away is a broken send,
// never SIGPIPE).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/address.hpp"
#include "net/admission.hpp"

// A socket as the system names it: a descriptor, or a Winsock SOCKET.
using NetSocket = std::intptr_t;
constexpr NetSocket noSocket = -1;

// Called once, before any other call. False, with `error` saying why, when
// the system's sockets cannot be used.
bool netStart(std::string& error);

// A listening socket on `where` (every interface when its host is empty,
// IPv6 and IPv4 together where the system allows); `port` is the port it
// listens on (the system's choice for 0). noSocket with `error` set.
NetSocket netListen(const net::Endpoint& where, int& port, std::string& error);

// The listening socket the service manager passed this process (systemd's
// socket activation: LISTEN_PID and LISTEN_FDS name it, from descriptor 3),
// set up as netListen sets up its own, so that a restart keeps the port
// and the connections waiting on it; noSocket when there is none.
NetSocket netInheritedListener();

// The system handles a wait on `socket` watches, at most two: the socket
// itself, and for a listener on IPv6 and IPv4 apart, the other one too.
int netHandles(NetSocket socket, NetSocket handles[2]);

// A connected socket to `where`, trying each of its addresses, within
// `timeoutMs` in all. noSocket with `error` set.
NetSocket netConnect(const net::Endpoint& where, int timeoutMs, std::string& error);

// What netAccept found.
enum class Accepted {
    Socket,    // a new connection
    None,      // nobody is waiting, or none more until the next netWait
    OutOfRoom, // the process or the system has no descriptor left for it
    Failed,    // anything else; `error` says what
};

// A new connection from a listening socket, set up as every socket here
// is, and where it comes from.
Accepted netAccept(NetSocket listener, NetSocket& socket, net::PeerAddress& from,
                   std::string& error);

// A socket connected some other way (one end of a socket pair, in tests
// and figures) set up as netAccept and netConnect set up theirs.
void netAdopt(NetSocket socket);

// Bytes sent, 0 when the socket takes nothing now, -1 when the connection
// is broken (`problem` says how).
long netSend(NetSocket socket, const char* data, std::size_t length, std::string& problem);

// Bytes read, 0 when nothing has come, -1 when the connection is gone:
// `problem` is "closed" when the peer closed it, else how it broke.
long netReceive(NetSocket socket, unsigned char* bytes, std::size_t size, std::string& problem);

// No more bytes go out; what is queued still does.
void netShutdownSend(NetSocket socket);
void netClose(NetSocket socket);

// One socket of a wait: what to wait for, and what came.
struct SocketWatch {
    NetSocket socket;
    bool write;    // wait for room to send as well as for bytes to read
    bool readable; // bytes, the peer's close or an error (a read says which)
    bool writable;
};

// Waits until a watched socket is ready or `timeoutMs` has passed (0: looks
// and returns); fills in readable and writable.
void netWait(SocketWatch* watches, int count, int timeoutMs);

// The address to show in the join command: the listening address itself,
// or for every interface the first one that is up and not loopback (IPv4
// before IPv6, link-local IPv6 last), else the host's name.
std::string netAddressToJoin(const std::string& listeningHost);

// The addresses of this machine's interfaces that are up, loopback too, as
// numeric text without a zone: those a browser may reach a host by that
// listens on every interface.
std::vector<std::string> netLocalAddresses();

// Fills `bytes` from the system's randomness; false if it has none.
bool netRandomBytes(unsigned char* bytes, std::size_t count);

// Milliseconds of a monotonic clock, never set back with the calendar.
long long netClockMs();
