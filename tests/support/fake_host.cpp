// SPDX-License-Identifier: MIT
#include "fake_host.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "game/keys.hpp"
#include "model/model.hpp"
#include "net/message_decoder.hpp"
#include "net/picture.hpp"
#include "net/protocol.hpp"

namespace term {

namespace {

// Taken whenever the socket has room for it, so that the flood never waits.
constexpr std::size_t floodBatchBytes = std::size_t{64} * 1024;

void nonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// A picture with every cell set, and so a change of the whole picture
// each way between it and a blank one.
const net::Picture& fullPicture() {
    static const net::Picture picture = [] {
        net::Picture p;
        for (std::size_t i = 0; i < p.size(); ++i)
            p[i] = {static_cast<unsigned char>('A' + i % 26),
                    static_cast<unsigned char>(i % 7 + 1)};
        return p;
    }();
    return picture;
}

} // namespace

long long FakeHost::nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

FakeHost::FakeHost(Flood flood, long long bytesPerSecond)
    : kind_(flood), bytesPerSecond_(bytesPerSecond) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in any = {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof any;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
        listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&any), &length) != 0)
        std::abort();
    port_ = ntohs(any.sin_port);
    nonBlocking(listener_);
    thread_ = std::thread([this] { run(); });
}

FakeHost::~FakeHost() {
    stop_ = true;
    thread_.join();
    close(listener_);
}

void FakeHost::run() {
    for (bool again = true; again && !stop_;) {
        pollfd p = {listener_, POLLIN, 0};
        poll(&p, 1, 10);
        int fd = accept(listener_, nullptr, nullptr);
        if (fd >= 0) {
            nonBlocking(fd);
            again = !serve(fd);
            close(fd);
        }
    }
}

bool FakeHost::serve(int fd) {
    std::string out;
    std::size_t at = 0;
    long long startMs = 0;
    decoder_ = net::MessageDecoder(net::Sender::Guest);
    looked_ = false;
    while (!stop_ && !gone_) {
        if (welcomed_ && out.size() - at < floodBatchBytes) {
            out.erase(0, at);
            at = 0;
            flood(out, startMs);
        }
        pollfd p = {fd, static_cast<short>(POLLIN | (out.size() > at ? POLLOUT : 0)), 0};
        poll(&p, 1, 5);
        bool wasWelcomed = welcomed_;
        bool open = hear(fd, out);
        if (!wasWelcomed && welcomed_)
            startMs = nowMs();
        ssize_t n = out.size() > at ? send(fd, out.data() + at, out.size() - at, MSG_NOSIGNAL) : 0;
        if (n > 0) {
            at += static_cast<std::size_t>(n);
            sent_ += n;
        }
        if (looked_ && at == out.size())
            return false;
        if (!open || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            gone_ = true;
    }
    return true;
}

// The guest's greeting is welcomed, whatever its code; its Ready is
// answered with the whole picture, and the flood starts.
bool FakeHost::hear(int fd, std::string& out) {
    unsigned char bytes[4096];
    ssize_t n = recv(fd, bytes, sizeof bytes, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
        return false;
    const unsigned char* p = bytes;
    for (std::size_t left = n > 0 ? static_cast<std::size_t>(n) : 0; left > 0;) {
        std::size_t used = decoder_.feed(p, left);
        if (decoder_.failed())
            return false;
        p += used;
        left -= used;
        if (!decoder_.hasMessage())
            continue;
        const net::Message& m = decoder_.message();
        if (m.type == net::MessageType::Hello && m.version != net::protocolVersion) {
            net::appendRefused(out, net::Refusal::OtherVersion);
            looked_ = true;
        } else if (m.type == net::MessageType::Hello) {
            net::appendWelcome(out, m.seat);
            net::appendNames(out, "", m.name.text());
        } else if (m.type == net::MessageType::Ready) {
            std::string runs;
            net::appendChanges(net::Picture{}, fullPicture(), runs);
            net::appendRuns(out, net::MessageType::Picture, runs);
            turned_ = true;
            welcomed_ = true;
        } else if (m.type == net::MessageType::Key && escapeMs_ == 0 &&
                   m.action == static_cast<int>(Action::Escape)) {
            escapeMs_ = nowMs();
        }
    }
    return true;
}

void FakeHost::flood(std::string& out, long long startMs) {
    long long allowed = bytesPerSecond_ > 0
                            ? (nowMs() - startMs) * bytesPerSecond_ / 1000
                            : queuedTotal_ + static_cast<long long>(floodBatchBytes);
    std::size_t before = out.size();
    while (queuedTotal_ + static_cast<long long>(out.size() - before) < allowed) {
        if (kind_ == Flood::Results || kind_ == Flood::Lies) {
            net::RoundOutcome r;
            r.round = kind_ == Flood::Lies ? 999'999 : ++round_;
            r.winner = round_ % 2;
            r.score[0] = kind_ == Flood::Lies ? 1'000'000'000 : 36;
            r.rows[0] = r.score[0] / rowScore;
            r.frames = kind_ == Flood::Lies ? 0xFFFFFFFFU : 400;
            r.seconds = kind_ == Flood::Lies ? 0xFFFFFFFFU : 36;
            net::appendResult(out, r);
        } else if (kind_ == Flood::Deltas) {
            std::string runs;
            net::appendChanges(turned_ ? fullPicture() : net::Picture{},
                               turned_ ? net::Picture{} : fullPicture(), runs);
            turned_ = !turned_;
            net::appendRuns(out, net::MessageType::Delta, runs);
        } else {
            net::appendKeepAlive(out);
        }
    }
    queuedTotal_ += static_cast<long long>(out.size() - before);
}

} // namespace term
