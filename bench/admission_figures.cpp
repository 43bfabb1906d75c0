// SPDX-License-Identifier: MIT
// The host's door under attack, printed, never asserted: for each attack
// on loopback, how long a right-code guest took to get in, the host's
// frame rate, and the wrong-code answers a second to one address.
//
// GAME runs as a host (--host 127.0.0.1:0) on a pty of 80 x 24 whose
// terminal answers at once; libvterm reads its picture, whose rate readout
// gives the frame rate, once a second. Player two, a plain socket, joins
// and keeps its connection alive while the pacing settles (`--settle`
// seconds, 16); then the attack starts, and every
// `--every` seconds player two drops and joins again: the time from its
// connect to the host's welcome. A join fails as `--join` does (the host
// closes without an answer, or gives none in 5 s); the guest then tries
// again a second later, as a person would, for at most 10 s in all. The
// attacks, all from this machine (tests/support/door_attack.hpp): 8, 16,
// 300 and 1000 connections held open without a word, each reopened as soon
// as the host closes it, from the guest's own address; then 5,000 from
// 127.0.0.3, and 5,000 from 1,000 addresses of 127.3/16, 5 each; wrong
// codes, one after another and 16 at a time, from 127.0.0.2 and from the
// guest's own address, then from crowds of 100 and 1,000 addresses of
// 127.3/16, 8 and 16 at a time; and a watcher with the right code, from
// 127.0.0.4, that sends keep-alives as fast as its socket takes them and
// joins again each time the host ends it. Each attack has a fresh host and runs `--seconds`
// seconds; the host's CPU is its user and system time over them, in
// percent of one core.
//
// With `--wine CHECK`, GAME is the Windows build's blockduel.exe, run under
// Wine in a console window, and CHECK its console reader (blockduel_console
// _check.exe) that reads the notice's port and the rate readout from the
// console once a second (bench/windows_admission.sh sets up Wine and a
// display for it). The CPU is then the game's process, with Wine's server
// beside it: it carries out the game's waits and console calls.
//
// Usage: blockduel_admission_figures GAME [--seconds S] [--every S] [--settle S]
//                                    [--label TEXT] [--only TEXT] [--wine CHECK]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "display/layout.hpp"
#include "door_attack.hpp"
#include "net/address.hpp"
#include "net/message_decoder.hpp"
#include "net/protocol.hpp"
#include "netplay/network.hpp"
#include "platform/terminal/tty.hpp"
#include "player_two.hpp"
#include "process_cpu.hpp"
#include "terminal_answers.hpp"
#include "vterm_screen.hpp"
#include "watched_host.hpp"
#include "wine_host.hpp"

namespace {

// What a non-blocking socket takes of `data` now; -1 when it is broken.
long sendSome(int fd, const char* data, std::size_t length) {
    std::string problem;
    return netSend(fd, data, length, problem);
}

using namespace term;

constexpr int columns = usualColumns;
constexpr int rows = usualRows;
constexpr int giveUpMs = 10'000; // one join, with its tries
constexpr int answerMs = 5000;   // as --join waits for the answer
constexpr int againMs = 1000;    // before the next try

// The host on its pty: its output read, its queries answered, its rate
// readout sampled once a second, in a thread of its own.
class HostPty : public WatchedHost {
public:
    explicit HostPty(const char* game) : screen_(columns, rows) {
        winsize size = {rows, columns, 0, 0};
        pid_ = forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            setenv("TERM", "xterm-256color", 1);
            setenv("LC_ALL", "C.UTF-8", 1);
            execl(game, game, "--host", "127.0.0.1:0", "--code", codeText,
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        thread_ = std::thread([this] { run(); });
    }

    ~HostPty() override {
        stop_ = true;
        thread_.join();
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        close(master_);
    }

    HostPty(const HostPty&) = delete;
    HostPty& operator=(const HostPty&) = delete;

    // Within 5 s.
    int port() override {
        for (long long until = monotonicMs() + 5000; monotonicMs() < until;) {
            {
                std::lock_guard<std::mutex> hold(lock_);
                for (int y = 0; y < rows; ++y) {
                    int shown = joinPortIn(screen_.rowText(y));
                    if (shown != 0)
                        return shown;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }

    double cpuSeconds() const override { return std::max(0.0, ::cpuSeconds(pid_)); }

    std::vector<int> takeRates() override {
        std::lock_guard<std::mutex> hold(lock_);
        return std::exchange(rates_, {});
    }

private:
    void run() {
        std::string output;
        long long nextSample = monotonicMs() + 1000;
        while (!stop_) {
            pollfd ready = {master_, POLLIN, 0};
            if (poll(&ready, 1, 20) > 0) {
                char bytes[65536];
                ssize_t n = read(master_, bytes, sizeof bytes);
                if (n <= 0)
                    return;
                std::string_view got(bytes, static_cast<std::size_t>(n));
                output.append(got);
                if (output.find("\x1b[c") != std::string::npos) {
                    output.clear();
                    if (write(master_, answers::attributes, sizeof answers::attributes - 1) < 0)
                        return;
                }
                if (output.size() > 16)
                    output.erase(0, output.size() - 16);
                std::lock_guard<std::mutex> hold(lock_);
                screen_.feed(got);
            }
            if (monotonicMs() >= nextSample) {
                nextSample += 1000;
                std::lock_guard<std::mutex> hold(lock_);
                int rate = rateIn(screen_.rowText(rateRow));
                if (rate >= 0)
                    rates_.push_back(rate);
            }
        }
    }

    VtermScreen screen_;
    int master_ = -1;
    pid_t pid_ = -1;
    std::mutex lock_;
    std::vector<int> rates_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Player two's connection: joined, kept alive, its pictures read and dropped.
struct Player {
    int fd = -1;
    long long keptMs = 0;
};

enum class Answer { Welcome, Refused, Closed, Silent };

// Greets on `fd` and waits for the answer until `untilMs`.
Answer greet(int fd, long long untilMs) {
    std::string greeting = helloMessage();
    if (sendSome(fd, greeting.data(), greeting.size()) != static_cast<long>(greeting.size()))
        return Answer::Closed;
    net::MessageDecoder decoder(net::Sender::Host);
    while (monotonicMs() < untilMs) {
        pollfd ready = {fd, POLLIN, 0};
        if (poll(&ready, 1, 10) <= 0)
            continue;
        unsigned char bytes[256];
        ssize_t n = read(fd, bytes, sizeof bytes);
        if (n <= 0)
            return Answer::Closed;
        decoder.feed(bytes, static_cast<std::size_t>(n));
        if (decoder.hasMessage())
            return decoder.message().type == net::MessageType::Welcome ? Answer::Welcome
                                                                       : Answer::Refused;
    }
    return Answer::Silent;
}

struct Join {
    long long ms = -1; // -1: not in within giveUpMs
    int tries = 0;
};

// Player two joins, trying again while the host closes without an answer.
Join join(int port, Player& player) {
    Join j;
    long long start = monotonicMs();
    long long until = start + giveUpMs;
    while (monotonicMs() < until) {
        j.tries += 1;
        std::string error;
        int left = static_cast<int>(until - monotonicMs());
        auto fd = static_cast<int>(netConnect({"127.0.0.1", port}, std::max(left, 1), error));
        if (fd < 0)
            continue;
        Answer a = greet(fd, std::min(until, monotonicMs() + answerMs));
        if (a == Answer::Welcome) {
            std::string word = readyMessage();
            sendSome(fd, word.data(), word.size());
            player = {fd, monotonicMs()};
            j.ms = monotonicMs() - start;
            return j;
        }
        close(fd);
        if (a == Answer::Refused)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(againMs));
    }
    return j;
}

// Reads and drops what the host sends player two for `ms`; a keep-alive as
// often as a guest sends one.
void keepAlive(Player& player, long long ms) {
    for (long long until = monotonicMs() + ms; monotonicMs() < until;) {
        if (player.fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        pollfd ready = {player.fd, POLLIN, 0};
        if (poll(&ready, 1, 10) > 0) {
            char bytes[65536];
            if (read(player.fd, bytes, sizeof bytes) <= 0) {
                close(player.fd);
                player.fd = -1;
            }
        }
        if (player.fd >= 0 && monotonicMs() - player.keptMs >= net::keepAliveMs) {
            std::string bytes;
            net::appendKeepAlive(bytes);
            sendSome(player.fd, bytes.data(), bytes.size());
            player.keptMs = monotonicMs();
        }
    }
}

// Another machine than the guest's, as a guest's flood comes from.
constexpr const char* flooderAddress = "127.0.0.4";

// A connection to `port` on 127.0.0.1 from `from`, once connected, set up
// as the game's sockets are; -1 when it cannot be made.
int connectFrom(const char* from, int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    netAdopt(fd);
    return fd;
}

// A watcher with the right code that floods the host with keep-alives,
// and joins again whenever the host ends it, in a thread of its own.
class KeepAliveFlood {
public:
    explicit KeepAliveFlood(int port) : port_(port), thread_([this] { run(); }) {}
    ~KeepAliveFlood() {
        stop_ = true;
        thread_.join();
    }
    KeepAliveFlood(const KeepAliveFlood&) = delete;
    KeepAliveFlood& operator=(const KeepAliveFlood&) = delete;

    long long joins() const { return joins_; }

private:
    void run() {
        std::string greeting;
        net::appendHello(greeting, net::Seat::Watcher, joinCode());
        net::appendReady(greeting, net::KeyMode::Autorepeat);
        std::string flood;
        for (int i = 0; i < 4096; ++i)
            net::appendKeepAlive(flood);
        while (!stop_) {
            int fd = connectFrom(flooderAddress, port_);
            if (fd < 0)
                continue;
            joins_ += sendSome(fd, greeting.data(), greeting.size()) > 0 ? 1 : 0;
            while (!stop_ && sendSome(fd, flood.data(), flood.size()) >= 0) {
                pollfd ready = {fd, POLLIN | POLLOUT, 0};
                poll(&ready, 1, 10);
                char bytes[65536];
                if ((ready.revents & POLLIN) != 0 && read(fd, bytes, sizeof bytes) == 0)
                    break;
            }
            close(fd);
        }
    }

    int port_;
    std::atomic<bool> stop_{false};
    std::atomic<long long> joins_{0};
    std::thread thread_;
};

struct Attack {
    const char* name;
    DoorAttack::Kind kind;
    int count; // 0: no attack
    const char* from;
    int crowd = 0;      // when not 0, from this many addresses of 127.3/16 instead
    bool flood = false; // a watcher's keep-alives instead
};

std::string joinsText(const std::vector<Join>& joins) {
    std::vector<long long> in;
    int tries = 0;
    for (const Join& j : joins) {
        tries += j.tries;
        if (j.ms >= 0)
            in.push_back(j.ms);
    }
    std::sort(in.begin(), in.end());
    char text[160];
    if (in.empty())
        std::snprintf(text, sizeof text, "none of %zu got in within %d s (%d tries)", joins.size(),
                      giveUpMs / 1000, tries);
    else
        std::snprintf(text, sizeof text, "%zu of %zu in: median %lld ms, worst %lld (%d tries)",
                      in.size(), joins.size(), in[in.size() / 2], in.back(), tries);
    return text;
}

std::string ratesText(const std::vector<int>& rates) {
    if (rates.empty())
        return "no readout";
    double sum = 0;
    for (int r : rates)
        sum += r;
    char text[80];
    std::snprintf(text, sizeof text, "%.1f (least %d)", sum / static_cast<double>(rates.size()),
                  *std::min_element(rates.begin(), rates.end()));
    return text;
}

struct Run {
    int seconds = 12;
    int everyS = 2;
    int settleS = 16;
    const char* label = "this build";
    const char* only = "";      // the attacks whose names hold this
    const char* wine = nullptr; // the Windows console reader, for a Windows GAME
};

std::unique_ptr<WatchedHost> startHost(const char* game, const Run& run) {
    if (run.wine != nullptr)
        return std::make_unique<WineHost>(game, run.wine);
    return std::make_unique<HostPty>(game);
}

// The host's share of a core over `elapsed` seconds, and its system's.
std::string cpuText(double cpu, double helper, double elapsed) {
    char text[80];
    int n = std::snprintf(text, sizeof text, "%.1f", cpu / elapsed * 100);
    if (helper >= 0 && n > 0)
        std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), " (+%.1f Wine's server)",
                      helper / elapsed * 100);
    return text;
}

bool measure(const char* game, const Attack& attack, const Run& run) {
    std::unique_ptr<WatchedHost> started = startHost(game, run);
    WatchedHost& host = *started;
    int port = host.port();
    if (port == 0) {
        std::fprintf(stderr, "blockduel_admission_figures: %s shows no port\n", game);
        return false;
    }
    Player player;
    if (join(port, player).ms < 0) {
        std::fprintf(stderr, "blockduel_admission_figures: player two cannot join\n");
        return false;
    }
    keepAlive(player, run.settleS * 1000LL);
    host.takeRates();
    std::unique_ptr<DoorAttack> strangers;
    if (attack.count > 0)
        strangers = std::make_unique<DoorAttack>(
            attack.kind, port, attack.count,
            attack.crowd > 0 ? loopbackCrowd(attack.crowd) : std::vector<std::string>{attack.from});
    std::unique_ptr<KeepAliveFlood> flood;
    if (attack.flood)
        flood = std::make_unique<KeepAliveFlood>(port);
    double cpuBefore = host.cpuSeconds();
    double helperBefore = host.helperSeconds();
    long long start = monotonicMs();
    std::vector<Join> joins;
    while (monotonicMs() - start < run.seconds * 1000LL) {
        keepAlive(player, run.everyS * 1000LL);
        if (player.fd >= 0)
            close(player.fd);
        player.fd = -1;
        keepAlive(player, 200);
        joins.push_back(join(port, player));
    }
    double elapsed = static_cast<double>(monotonicMs() - start) / 1000;
    double helper = host.helperSeconds();
    std::string cpu = cpuText(host.cpuSeconds() - cpuBefore,
                              helper < 0 ? helper : helper - helperBefore, elapsed);
    long long refusals = strangers ? strangers->refusals() : 0;
    long long connections = strangers ? strangers->connections() : 0;
    connections += flood ? flood->joins() : 0;
    strangers.reset();
    flood.reset();
    if (player.fd >= 0)
        close(player.fd);
    char answers[80] = "";
    if (attack.kind == DoorAttack::Kind::Guess && attack.count > 0)
        std::snprintf(answers, sizeof answers, "%.1f", static_cast<double>(refusals) / elapsed);
    std::printf("| %s, %s | %s | %s | %s | %s | %lld |\n", attack.name, run.label,
                joinsText(joins).c_str(), ratesText(host.takeRates()).c_str(), cpu.c_str(), answers,
                connections);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: blockduel_admission_figures GAME [--seconds S] [--every S] "
                   "[--settle S] [--label TEXT] [--only TEXT] [--wine CHECK]\n",
                   stderr);
        return 2;
    }
    Run run;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            run.seconds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--every") == 0)
            run.everyS = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--settle") == 0)
            run.settleS = std::max(0, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--label") == 0)
            run.label = argv[i + 1];
        else if (std::strcmp(argv[i], "--only") == 0)
            run.only = argv[i + 1];
        else if (std::strcmp(argv[i], "--wine") == 0)
            run.wine = argv[i + 1];
    }
    std::signal(SIGPIPE, SIG_IGN);
    // The hosts keep their matches in a folder of the run's own, not in the
    // user's state folder (unless the caller chose one).
    std::string state;
    if (std::getenv("XDG_STATE_HOME") == nullptr) {
        char folder[] = "/tmp/blockduel-door-figures-XXXXXX";
        if (mkdtemp(folder) != nullptr) {
            state = folder;
            setenv("XDG_STATE_HOME", folder, 1);
        }
    }
    using Kind = DoorAttack::Kind;
    const Attack attacks[] = {
        {"no attack", Kind::Hold, 0, "127.0.0.1"},
        {"8 held open and reopened", Kind::Hold, 8, "127.0.0.1"},
        {"16 held open and reopened", Kind::Hold, 16, "127.0.0.1"},
        {"300 held open and reopened", Kind::Hold, 300, "127.0.0.1"},
        {"1000 held open and reopened", Kind::Hold, 1000, "127.0.0.1"},
        {"5000 held open and reopened from 127.0.0.3", Kind::Hold, 5000, "127.0.0.3"},
        {"5000 held open and reopened from 1000 addresses", Kind::Hold, 5000, "", 1000},
        {"wrong codes from 127.0.0.2, one at a time", Kind::Guess, 1, "127.0.0.2"},
        {"wrong codes from 127.0.0.2, 16 at a time", Kind::Guess, 16, "127.0.0.2"},
        {"wrong codes from the guest's address, one at a time", Kind::Guess, 1, "127.0.0.1"},
        {"wrong codes from the guest's address, 16 at a time", Kind::Guess, 16, "127.0.0.1"},
        {"wrong codes from 100 addresses, 8 at a time", Kind::Guess, 8, "", 100},
        {"wrong codes from 100 addresses, 16 at a time", Kind::Guess, 16, "", 100},
        {"wrong codes from 1000 addresses, 8 at a time", Kind::Guess, 8, "", 1000},
        {"wrong codes from 1000 addresses, 16 at a time", Kind::Guess, 16, "", 1000},
        {"a watcher's flood of keep-alives, joining again", Kind::Hold, 0, "", 0, true},
    };
    std::puts("| attack | a right-code guest joining | host's frames a second | host's CPU, % "
              "of a core | wrong-code answers a second | the attack's connections |");
    std::puts("|---|---|---|---|---|---|");
    // A host that does not come up is given a second chance: Wine on a busy
    // machine now and then takes longer to start one than the wait allows.
    int status = 0;
    for (const Attack& attack : attacks)
        if (std::strstr(attack.name, run.only) != nullptr && !measure(argv[1], attack, run) &&
            !measure(argv[1], attack, run)) {
            status = 1;
            break;
        }
    if (!state.empty())
        std::filesystem::remove_all(state);
    return status;
}
