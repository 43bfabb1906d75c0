// SPDX-License-Identifier: MIT
// A connection's reads, queue and writes.
#include "net_link.hpp"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "net_socket.hpp"

namespace term {

Link::Link(int fd, net::Sender from, long long nowMs)
    : fd_(fd), decoder_(from), openedMs_(nowMs), heardMs_(nowMs), sentMs_(nowMs) {}

Link::~Link() { close(); }

void Link::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void Link::fail(const std::string& what) {
    if (problem_.empty())
        problem_ = what;
    close();
}

long Link::readOnce(unsigned char* bytes, std::size_t size) {
    ssize_t n = read(fd_, bytes, size);
    if (n > 0)
        return n;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    fail(n == 0 ? "closed" : std::strerror(errno));
    return -1;
}

void Link::queue(const std::string& message, long long nowMs) {
    if (!isOpen())
        return;
    out_ += message;
    sendQueued(nowMs);
}

bool Link::sendQueued(long long nowMs) {
    while (isOpen() && queued() > 0) {
        long n = netio::sendSome(fd_, out_.data() + sent_, queued());
        if (n < 0) {
            fail(std::strerror(errno));
            return false;
        }
        if (n == 0)
            break;
        sent_ += static_cast<std::size_t>(n);
        sentMs_ = nowMs;
    }
    if (sent_ == out_.size()) {
        out_.clear();
        sent_ = 0;
    }
    return isOpen();
}

net::Picture pictureOf(const ScreenBuffer& screen) {
    static_assert(gameColumns == net::pictureColumns && gameRows == net::pictureRows);
    net::Picture picture;
    for (int y = 0; y < gameRows; ++y)
        for (int x = 0; x < gameColumns; ++x) {
            const Cell& c = screen.cell(x, y);
            picture[static_cast<std::size_t>(y) * gameColumns + static_cast<std::size_t>(x)] = {
                c.code, static_cast<unsigned char>(c.attr & 0xFF)};
        }
    return picture;
}

void paint(const net::Picture& picture, ScreenBuffer& screen) {
    for (int y = 0; y < gameRows; ++y)
        for (int x = 0; x < gameColumns; ++x) {
            const net::PictureCell& p =
                picture[static_cast<std::size_t>(y) * gameColumns + static_cast<std::size_t>(x)];
            if (screen.cell(x, y) == Cell{p.code, p.attr})
                continue;
            screen.gotoxy(x, y);
            screen.setColor(p.attr);
            screen.putChar(p.code);
        }
}

} // namespace term
