// SPDX-License-Identifier: MIT
// The session on pipes.
#include "piped_session.hpp"

#include <fcntl.h>
#include <unistd.h>

#include "terminal_answers.hpp"

namespace term {

long long drainBytes(int fd, std::string* into) {
    long long total = 0;
    char bytes[65536];
    for (ssize_t n; (n = read(fd, bytes, sizeof bytes)) > 0;) {
        total += n;
        if (into != nullptr)
            into->append(bytes, static_cast<std::size_t>(n));
    }
    return total;
}

PipedSession::PipedSession(SessionOptions options, bool kitty) {
    bool piped = pipe(in) == 0 && pipe(out) == 0;
    if (piped)
        fcntl(out[0], F_SETFL, O_NONBLOCK);
    options.inFd = in[0];
    options.outFd = out[1];
    session = std::make_unique<TerminalSession>(options);
    bool answered = kitty ? type(answers::kittyFlags) && type(answers::attributes)
                          : type(answers::legacyAttributes);
    started = piped && answered && session->start();
}

PipedSession::~PipedSession() {
    session.reset();
    for (int fd : {in[0], in[1], out[0], out[1]})
        if (fd >= 0)
            close(fd);
}

bool PipedSession::type(std::string_view bytes) const {
    return write(in[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

} // namespace term
