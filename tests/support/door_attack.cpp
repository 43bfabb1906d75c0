// SPDX-License-Identifier: MIT
// The strangers' thread: non-blocking sockets in one poll.
#include "door_attack.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "descriptor_room.hpp"
#include "net/message_decoder.hpp"
#include "net/protocol.hpp"
#include "netplay/network.hpp"

namespace term {

namespace {

// A wrong code that never matches a code of the tests or the figures,
// whose codes all have letters.
net::JoinCode wrongCode(long long n) {
    net::JoinCode code = {};
    std::string digits = std::to_string(10'000'000 + n % 90'000'000);
    for (int i = 0; i < net::joinCodeLength; ++i)
        code.symbols[i] = digits[static_cast<std::size_t>(i)];
    return code;
}

// Non-blocking, and never SIGPIPE from a host that has closed.
int open(int port, const std::string& from) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    netAdopt(fd);
    sockaddr_in local = {AF_INET, 0, {}, {}};
    inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    sockaddr_in to = {AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS)) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

DoorAttack::DoorAttack(Kind kind, int port, int count, const char* from)
    : DoorAttack(kind, port, count, std::vector<std::string>{from}) {}

DoorAttack::DoorAttack(Kind kind, int port, int count, std::vector<std::string> from)
    : kind_(kind), port_(port), count_(count), from_(std::move(from)), thread_([this] { run(); }) {}

std::vector<std::string> loopbackCrowd(int count, int second) {
    std::vector<std::string> addresses;
    addresses.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        addresses.push_back("127." + std::to_string(second) + "." + std::to_string((i + 1) / 256) +
                            "." + std::to_string((i + 1) % 256));
    return addresses;
}

DoorAttack::~DoorAttack() {
    stop_ = true;
    thread_.join();
}

// Opens what is closed; the events each stranger waits for.
void DoorAttack::refill(std::vector<Stranger>& strangers, std::vector<pollfd>& fds) {
    for (std::size_t i = 0; i < strangers.size(); ++i) {
        Stranger& s = strangers[i];
        if (s.fd < 0) {
            s = {open(port_, from_[next_++ % from_.size()]), false};
            connections_ += s.fd >= 0 ? 1 : 0;
        }
        bool greets = kind_ == Kind::Guess && !s.greeted;
        fds[i] = {s.fd, static_cast<short>(POLLIN | (greets ? POLLOUT : 0)), 0};
    }
}

// A guesser greets once connected; either kind closes once the host has
// closed (a guesser once answered: the next read finds the end).
void DoorAttack::serve(Stranger& s, short revents) {
    if ((revents & POLLOUT) != 0 && (revents & POLLERR) == 0 && !s.greeted) {
        std::string hello;
        net::appendHello(hello, net::Seat::Player, wrongCode(connections_));
        std::string problem;
        s.greeted = netSend(s.fd, hello.data(), hello.size(), problem) > 0;
    }
    if ((revents & (POLLIN | POLLHUP | POLLERR)) == 0)
        return;
    unsigned char bytes[64];
    ssize_t n = recv(s.fd, bytes, sizeof bytes, 0);
    if (n > 0 && bytes[0] == static_cast<unsigned char>(net::MessageType::Refused))
        refusals_ += 1;
    if (n > 0 || (n < 0 && errno == EAGAIN))
        return;
    close(s.fd);
    s.fd = -1;
}

void DoorAttack::run() {
    makeRoomForDescriptors(count_);
    std::vector<Stranger> strangers(static_cast<std::size_t>(count_));
    std::vector<pollfd> fds(strangers.size());
    while (!stop_) {
        refill(strangers, fds);
        if (poll(fds.data(), fds.size(), 1) <= 0)
            continue;
        for (std::size_t i = 0; i < strangers.size(); ++i)
            if (strangers[i].fd >= 0 && fds[i].revents != 0)
                serve(strangers[i], fds[i].revents);
    }
    for (const Stranger& s : strangers)
        if (s.fd >= 0)
            close(s.fd);
}

} // namespace term
