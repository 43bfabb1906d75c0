// SPDX-License-Identifier: MIT
// The terminal's output gate; see the header.
#include "platform/terminal/output_gate.hpp"

#include <cerrno>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

#include "platform/terminal/signals.hpp"
#include "platform/terminal/tty.hpp"

namespace term {

OutputGate::~OutputGate() { close(); }

void OutputGate::open(int outFd) {
    if (outFd_ >= 0)
        return;
    outFd_ = outFd;
    openedAt_ = signals::continues();
    gateFd_ = fcntl(outFd, F_DUPFD_CLOEXEC, 3);
    nullFd_ = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (gateFd_ < 0 || nullFd_ < 0) {
        close();
        outFd_ = outFd;
        return;
    }
    signals::armOutputGate(gateFd_, nullFd_);
}

// The handler is disarmed before the descriptors go, so that it never
// points a number that the system has handed out again at /dev/null.
void OutputGate::close() {
    if (gateFd_ >= 0 || nullFd_ >= 0)
        signals::disarmOutputGate();
    for (int* owned : {&gateFd_, &nullFd_}) {
        if (*owned >= 0)
            ::close(*owned);
        *owned = -1;
    }
    outFd_ = -1;
}

// The count is read before the foreground check and again after the gate
// is open: a continue anywhere in between changes it and the check is made
// again, and one after the second read has closed the gate by itself.
bool OutputGate::openInForeground(int ttyFd) {
    for (;;) {
        unsigned seen = signals::continues();
        if (!inForeground(ttyFd))
            return false;
        if (gateFd_ >= 0 && openedAt_ != seen) {
            if (dup2(outFd_, gateFd_) < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            fcntl(gateFd_, F_SETFD, FD_CLOEXEC);
            openedAt_ = seen;
        }
        if (signals::continues() == seen)
            return true;
    }
}

} // namespace term
