// The terminal's side of a pty: a reader thread feeds the emulator and
// answers the queries; typing waits until the keys have arrived.
#include "fake_terminal.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace term {

namespace {

constexpr auto timeLimit = std::chrono::seconds(5);

constexpr std::string_view flagsQuery = "\x1b[?u";
constexpr std::string_view attributesQuery = "\x1b[c";
// What kitty answers: no flags set yet, then its device attributes.
constexpr std::string_view kittyFlagsReply = "\x1b[?0u";
constexpr std::string_view kittyAttributesReply = "\x1b[?62;22c";
// What tmux answers: it passes no flags query on, and says it is a VT100.
constexpr std::string_view tmuxAttributesReply = "\x1b[?1;2c";

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            std::abort();
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

template <typename Done> bool waitUntil(Done done) {
    auto limit = std::chrono::steady_clock::now() + timeLimit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

FakeTerminal::FakeTerminal(Kind kind, int columns, int rows)
    : kind_(kind), screen_(columns, rows) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        std::abort();
    slaveName_ = ptsname(master_);
    slave_ = open(slaveName_.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0)
        std::abort();
    // A game started in a child process keeps neither.
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    winsize size = {};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    ioctl(master_, TIOCSWINSZ, &size);
    reader_ = std::thread([this] { readLoop(); });
}

FakeTerminal::~FakeTerminal() {
    hangUp();
    close(slave_);
}

void FakeTerminal::hangUp() {
    if (master_ < 0)
        return;
    stop_ = true;
    reader_.join();
    close(master_);
    master_ = -1;
}

void FakeTerminal::readLoop() {
    char bytes[4096];
    while (!stop_) {
        pollfd ready = {master_, POLLIN, 0};
        if (poll(&ready, 1, 20) <= 0 || (ready.revents & POLLIN) == 0)
            continue;
        ssize_t n = read(master_, bytes, sizeof bytes);
        if (n <= 0)
            continue;
        std::lock_guard lock(mutex_);
        received_.append(bytes, static_cast<std::size_t>(n));
        screen_.feed(std::string_view(bytes, static_cast<std::size_t>(n)));
        answerQueries();
    }
}

// Answers each query once, in the order they came; types what waits for
// a marker once the marker is there.
void FakeTerminal::answerQueries() {
    for (;;) {
        std::size_t flags = received_.find(flagsQuery, scanned_);
        std::size_t attributes = received_.find(attributesQuery, scanned_);
        if (flags == std::string::npos && attributes == std::string::npos) {
            // A query split across reads is found from here next time.
            if (received_.size() > flagsQuery.size())
                scanned_ = std::max(scanned_, received_.size() - flagsQuery.size());
            break;
        }
        if (flags < attributes) {
            if (kind_ == Kind::Kitty)
                writeAll(master_, kittyFlagsReply);
            scanned_ = flags + flagsQuery.size();
        } else {
            writeAll(master_, kind_ == Kind::Kitty ? kittyAttributesReply : tmuxAttributesReply);
            scanned_ = attributes + attributesQuery.size();
        }
    }
    if (!typeMarker_.empty() && received_.find(typeMarker_, typeFrom_) != std::string::npos) {
        writeAll(master_, typeBytes_);
        typeMarker_.clear();
    }
}

void FakeTerminal::type(std::string_view bytes) {
    int before = 0;
    ioctl(slave_, FIONREAD, &before);
    writeAll(master_, bytes);
    int want = before + static_cast<int>(bytes.size());
    bool arrived = waitUntil([&] {
        int now = 0;
        ioctl(slave_, FIONREAD, &now);
        return now >= want;
    });
    if (!arrived)
        std::abort();
}

void FakeTerminal::send(std::string_view bytes) { writeAll(master_, bytes); }

void FakeTerminal::typeAfter(std::string_view marker, std::string_view bytes) {
    std::lock_guard lock(mutex_);
    typeMarker_ = marker;
    typeBytes_ = bytes;
    typeFrom_ = received_.size();
    answerQueries();
}

bool FakeTerminal::waitForBytes(long long count) {
    return waitUntil([&] {
        std::lock_guard lock(mutex_);
        return static_cast<long long>(received_.size()) >= count;
    });
}

bool FakeTerminal::waitFor(std::string_view marker) {
    return waitUntil([&] {
        std::lock_guard lock(mutex_);
        return received_.find(marker) != std::string::npos;
    });
}

bool FakeTerminal::waitForRow(int y, std::string_view text) {
    return waitUntil([&] {
        std::lock_guard lock(mutex_);
        return screen_.rowText(y).find(text) != std::string::npos;
    });
}

std::string FakeTerminal::output() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::string FakeTerminal::differences(const ScreenBuffer& screen, RenderOptions options) const {
    std::lock_guard lock(mutex_);
    return screen_.differences(screen, options);
}

std::string FakeTerminal::rowText(int y) const {
    std::lock_guard lock(mutex_);
    return screen_.rowText(y);
}

// As a terminal window does: its screen first, then the size that the
// game reads when SIGWINCH arrives, so the repaint lands on the new screen.
void FakeTerminal::resize(int columns, int rows) {
    {
        std::lock_guard lock(mutex_);
        screen_.resize(columns, rows);
    }
    winsize size = {};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    ioctl(master_, TIOCSWINSZ, &size);
}

bool sameModes(const termios& a, const termios& b) {
    for (int i = 0; i < NCCS; ++i)
        if (a.c_cc[i] != b.c_cc[i])
            return false;
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag;
}

} // namespace term
