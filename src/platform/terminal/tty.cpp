// SPDX-License-Identifier: MIT
// Terminal modes, size, writing and the clock.
#include "platform/terminal/tty.hpp"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace term {

bool TtyModes::save(int fd) {
    fd_ = fd;
    saved_ = tcgetattr(fd, &original_) == 0;
    return saved_;
}

bool TtyModes::enterRaw() const {
    if (!saved_)
        return false;
    termios raw = original_;
    raw.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    raw.c_cflag |= CS8;
    // The loop polls before it reads; a read returns at once with what is there.
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    while (tcsetattr(fd_, TCSANOW, &raw) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

void TtyModes::restore() const {
    if (!saved_)
        return;
    while (tcsetattr(fd_, TCSANOW, &original_) != 0 && errno == EINTR) {
    }
    tcflush(fd_, TCIFLUSH);
}

void NonBlockingOutput::set(int fd) {
    if (!set_) {
        original_ = fcntl(fd, F_GETFL);
        if (original_ < 0)
            return;
        fd_ = fd;
        set_ = true;
    }
    fcntl(fd_, F_SETFL, original_ | O_NONBLOCK);
}

void NonBlockingOutput::restore() {
    if (!set_)
        return;
    fcntl(fd_, F_SETFL, original_);
    set_ = false;
}

bool windowSize(int fd, int& columns, int& rows) {
    winsize size = {};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
        return false;
    columns = size.ws_col;
    rows = size.ws_row;
    return true;
}

bool inForeground(int fd) {
    pid_t foreground = tcgetpgrp(fd);
    return foreground < 0 || foreground == getpgrp();
}

long long monotonicMs() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace term
