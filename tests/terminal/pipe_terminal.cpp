// SPDX-License-Identifier: MIT
// A session on pipes; see the header.
#include "pipe_terminal.hpp"

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace term {

PipeTerminal::PipeTerminal(bool kitty, RenderOptions render) {
    if (pipe(in) != 0 || pipe(out) != 0)
        std::abort();
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    session = std::make_unique<TerminalSession>(
        SessionOptions{.inFd = in[0], .outFd = out[1], .render = render});
    type(kitty ? "\x1b[?0u\x1b[?62;22c" : "\x1b[?1;2c");
    if (!session->start())
        std::abort();
}

PipeTerminal::~PipeTerminal() {
    session.reset();
    for (int fd : {in[0], in[1], out[0], out[1]})
        if (fd >= 0)
            close(fd);
}

void PipeTerminal::type(std::string_view bytes) const {
    if (write(in[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
}

void PipeTerminal::show() {
    char bytes[65536];
    for (ssize_t n; (n = read(out[0], bytes, sizeof bytes)) > 0;)
        vt.feed(std::string_view(bytes, static_cast<std::size_t>(n)));
}

} // namespace term
