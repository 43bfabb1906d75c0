// SPDX-License-Identifier: MIT
// The pseudo-terminal calls are POSIX's XSI part, which a strict POSIX
// build (_POSIX_C_SOURCE alone) leaves out on glibc.
#ifndef _XOPEN_SOURCE
#define _XOPEN_SOURCE 700 // NOLINT(bugprone-reserved-identifier): the C library's to read
#endif

#include "pty_pair.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace term {

namespace {

bool closeOnExec(int fd) { return fcntl(fd, F_SETFD, FD_CLOEXEC) == 0; }

} // namespace

bool openPtyPair(PtyPair& pty, int columns, int rows) {
    pty = {};
    // Not O_CLOEXEC here: macOS's posix_openpt takes O_RDWR and O_NOCTTY only.
    pty.master = posix_openpt(O_RDWR | O_NOCTTY);
    const char* name = nullptr;
    if (pty.master >= 0 && closeOnExec(pty.master) && grantpt(pty.master) == 0 &&
        unlockpt(pty.master) == 0)
        name = ptsname(pty.master);
    if (name != nullptr) {
        pty.slaveName = name;
        pty.slave = open(name, O_RDWR | O_NOCTTY);
    }
    winsize size = {static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0, 0};
    if (pty.slave < 0 || !closeOnExec(pty.slave) || ioctl(pty.master, TIOCSWINSZ, &size) != 0) {
        closePtyPair(pty);
        return false;
    }
    return true;
}

void closePtyPair(PtyPair& pty) {
    for (int fd : {pty.master, pty.slave})
        if (fd >= 0)
            close(fd);
    pty = {};
}

bool pipeClosedOnExec(int fds[2]) {
    if (pipe(fds) != 0)
        return false;
    if (closeOnExec(fds[0]) && closeOnExec(fds[1]))
        return true;
    close(fds[0]);
    close(fds[1]);
    return false;
}

} // namespace term
