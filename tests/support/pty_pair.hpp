// SPDX-License-Identifier: MIT
// A pseudo-terminal through POSIX's own calls (posix_openpt, grantpt,
// unlockpt, ptsname): openpty() is in another header and library on each
// system, <pty.h> and libutil on Linux, <util.h> on macOS, <libutil.h> on
// FreeBSD.
#pragma once

#include <string>

namespace term {

struct PtyPair {
    int master = -1;
    int slave = -1;        // opened without becoming anyone's controlling terminal
    std::string slaveName; // to open the slave side again
};

// A pty of `columns` x `rows`, both descriptors closed on exec. False when
// the system gives none; nothing is left open then.
bool openPtyPair(PtyPair& pty, int columns, int rows);

// Closes what is open.
void closePtyPair(PtyPair& pty);

// A pipe whose ends are closed on exec (pipe2() is not everywhere).
bool pipeClosedOnExec(int fds[2]);

} // namespace term
