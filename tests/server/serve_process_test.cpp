// SPDX-License-Identifier: MIT
// `blockduel --serve` as a service manager runs it: no terminal, its log on
// standard error, its stop by SIGTERM, its socket its own or passed in.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "game/keys.hpp"
#include "loopback.hpp"
#include "room_guest.hpp"
#include "scratch_folder.hpp"

namespace {

// The server as a child process; `passed`, when not -1, is handed over as
// descriptor 3 with LISTEN_FDS and LISTEN_PID, as systemd hands it.
struct ServeProcess {
    explicit ServeProcess(int passed = -1) {
        int err[2];
        EXPECT_EQ(0, pipe(err));
        pid = fork();
        if (pid == 0) {
            dup2(err[1], STDERR_FILENO);
            if (passed >= 0) {
                dup2(passed, 3);
                setenv("LISTEN_FDS", "1", 1);
                setenv("LISTEN_PID", std::to_string(getpid()).c_str(), 1);
            }
            execl(BLOCKDUEL_GAME, "blockduel", "--serve", "127.0.0.1:0", "--state",
                  kept.path.c_str(), nullptr);
            _exit(127);
        }
        close(err[1]);
        errFd = err[0];
        fcntl(errFd, F_SETFL, O_NONBLOCK);
    }
    ~ServeProcess() {
        if (pid > 0 && status < 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(errFd);
    }
    // Reads the log until `pattern` matches a line; false after 5 s.
    bool logSays(const std::string& pattern, std::smatch* found = nullptr) {
        const std::regex wanted(pattern);
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            std::smatch m;
            if (std::regex_search(log, m, wanted)) {
                if (found != nullptr)
                    *found = m;
                return true;
            }
            if (std::chrono::steady_clock::now() > until)
                return false;
            pollfd p{errFd, POLLIN, 0};
            poll(&p, 1, 50);
            char bytes[1024];
            for (ssize_t n; (n = read(errFd, bytes, sizeof bytes)) > 0;)
                log.append(bytes, static_cast<std::size_t>(n));
        }
    }
    int port() {
        std::smatch m;
        return logSays("event=start .* port=([0-9]+)", &m) ? std::stoi(m[1]) : 0;
    }
    // The exit status, waiting up to `waitMs`; -1 when it has not ended.
    int exitStatus(int waitMs = 5000) {
        for (int i = 0; i < waitMs / 50 && status < 0; ++i) {
            int raw = 0;
            if (waitpid(pid, &raw, WNOHANG) == pid)
                status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return status;
    }

    TempFolder kept; // its state folder, made before it starts
    pid_t pid = -1;
    int errFd = -1;
    int status = -1;
    std::string log;
};

// A socket listening on a free port of loopback, as a socket unit holds
// one; -1 when there is none.
int listeningOnLoopback(int& port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        listen(fd, 16) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    port = ntohs(at.sin_port);
    return fd;
}

// On its own socket or the one a service manager passes.
TEST(Serve, AnswersItsHealthDrainsOnSigtermAndEndsWithStatusZero) {
    for (bool passed : {false, true}) {
        SCOPED_TRACE(passed ? "passed" : "its own");
        int port = 0;
        int listener = passed ? listeningOnLoopback(port) : -1;
        ASSERT_TRUE(!passed || listener >= 0);
        ServeProcess server(listener);
        if (passed)
            close(listener);
        ASSERT_TRUE(server.logSays(passed ? "event=start .*address=passed" : "event=start"))
            << server.log;
        port = passed ? port : server.port();
        EXPECT_EQ(0U, loopback::fetch(port, loopback::get("/healthz")).rfind("HTTP/1.1 200", 0));
        // A connection still open holds the drain, so that it can be seen.
        int open = loopback::connectTo(port);
        ASSERT_GE(open, 0);
        kill(server.pid, SIGTERM);
        ASSERT_TRUE(server.logSays("event=draining")) << server.log;
        EXPECT_EQ(0U, loopback::fetch(port, loopback::get("/healthz")).rfind("HTTP/1.1 503", 0));
        EXPECT_EQ(-1, server.exitStatus(300));
        close(open);
        EXPECT_EQ(0, server.exitStatus()) << server.log;
        EXPECT_TRUE(server.logSays("level=info event=stop requests=2\n")) << server.log;
    }
}

// SIGTERM with a match under way: the health check says it drains, no
// room opens, and the round plays to its end, the match's last; then the
// server ends with status 0, its players told where the match is kept.
TEST(Serve, DrainsAMatchUnderWayToTheEndOfItsRound) {
    ServeProcess server;
    int port = server.port();
    RoomGuest player(port, "/r/dr41nr00m/play?computer=1");
    ASSERT_TRUE(player.plays()) << player.status();
    kill(server.pid, SIGTERM);
    ASSERT_TRUE(server.logSays("event=draining connections=0 rooms=1")) << server.log;
    EXPECT_EQ(0U, loopback::fetch(port, loopback::get("/healthz")).rfind("HTTP/1.1 503", 0));
    EXPECT_EQ("HTTP/1.1 503 Service Unavailable",
              RoomGuest(port, "/r/l4ter00m/play?computer=1").status());
    EXPECT_EQ(-1, server.exitStatus(300)) << "the round plays on";
    // The player drops each piece at once, and tops out: the round's
    // result ends the match, and the room says where it keeps it.
    using T = net::MessageType;
    std::vector<T> told; // all but the pictures and keep-alives
    net::Message m;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < until && player.next(m) && m.type != T::End) {
        for (auto kind : {net::KeyKind::Press, net::KeyKind::Release}) {
            std::string key;
            net::appendKey(key, kind, static_cast<int>(Action::Drop));
            player.send(key);
        }
        if (m.type == T::Result || m.type == T::Kept)
            told.push_back(m.type);
        if (m.type == T::Result) {
            EXPECT_TRUE(m.result.matchOver) << "the round was the match's last";
        }
    }
    EXPECT_EQ(T::End, m.type);
    EXPECT_EQ(std::vector<T>({T::Result, T::Kept}), told);
    EXPECT_EQ(0, server.exitStatus()) << server.log;
    EXPECT_TRUE(server.logSays("event=match_ended room=dr41nr00m replay=1")) << server.log;
}

} // namespace
