// SPDX-License-Identifier: MIT
// Figures of the network game, printed, never asserted.
//
// Bytes: a host session plays on pipes with the session's virtual clock (as
// the output figures do, seeds 1, 2, ...), player two joined over a socket
// pair; the bytes a second sent to the guest beside those its own terminal
// gets, in steady play and with both players moving every frame.
//
// Latency: a host plays on the real clock in a thread, over TCP on
// loopback; the guest's side (here a plain socket) sends player two's Left
// at random moments and times the move: into the host's screen buffer (the
// input phase that made it) and into the guest's picture (the first change
// of the right board that arrives after it). With --delay MS and --stall
// PERCENT a relay between them holds every chunk MS milliseconds each way
// and, for PERCENT of the chunks, 250 ms more with everything behind it, as
// a retransmission after a lost segment would. The host's frame rate too.
//
// The latency run first plays --settle seconds (16) unmeasured, while the
// pacing settles. Both runs play the game's own frames, with probes in its
// frame hook.
//
// Usage: blockduel_net_figures [seconds] [--settle S] [--delay MS] [--stall PERCENT]
//                              [--label TEXT]
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "display/layout.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "model/model.hpp"
#include "net/message_decoder.hpp"
#include "net/protocol.hpp"
#include "net/rate_limit.hpp"
#include "netplay/host.hpp"
#include "netplay/network.hpp"
#include "pacing.hpp"
#include "piped_session.hpp"
#include "platform/terminal/session.hpp"
#include "platform/terminal/tty.hpp"
#include "player_two.hpp"

namespace {

using namespace term;
using netplay::GameHost;

long long latencySettleMs = realSettleMs;
constexpr int stallMs = 250;       // a retransmission: the least timeout and a round trip
constexpr int settledDelayMs = 85; // about where the pacing settles on this machine

// The game of a host: player two's keys from the guest, and the picture
// sent to the guests once a frame's moves are drawn and at its end.
GameSetup hostedSetup(GameHost& host) {
    GameSetup setup;
    setup.remote[1] = host.playerTwoKeys();
    setup.frameHook = host.frameHook();
    return setup;
}

// Writes all of `bytes`, waiting while a non-blocking `fd` is full.
bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd room = {fd, POLLOUT, 0};
            poll(&room, 1, 10);
            continue;
        }
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A guest's key pressed and released, as the action it stands for.
std::string tap(Action action) {
    std::string bytes;
    net::appendKey(bytes, net::KeyKind::Press, static_cast<int>(action));
    net::appendKey(bytes, net::KeyKind::Release, static_cast<int>(action));
    return bytes;
}

// ---- Bytes ----

struct Bytes {
    long long ms = 0;
    long long guest = 0;
    long long terminal = 0;
    int frames = 0;
};

// A guest's presses may come at most GuestPace::keptPerSecond a second in
// real time, or the host drops them; a moving frame sends two, so the game,
// on its virtual clock, is held back to that pace in real time.
constexpr auto movingFramePace =
    std::chrono::milliseconds(2 * 1000 / net::GuestPace::keptPerSecond);

// One game with `seed`; both players turn every frame and move four frames
// left, then four right, when `moving`.
bool playForBytes(unsigned seed, bool moving, long long countedMs, Bytes& b) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return false;
    fcntl(pair[1], F_SETFL, O_NONBLOCK);
    PipedSession piped({.render = {true, true}, .virtualClock = true});
    TerminalSession& session = *piped.session;
    setCurrentSession(&session);
    GameHost host(session, joinCode(), noSocket);
    host.adopt(pair[0]);
    session.setExtension(&host);
    bool ok = piped.started && sendAll(pair[1], helloMessage() + readyMessage());
    for (int i = 0; ok && i < 1000 && !host.playerReady(); ++i)
        host.pumpNow();
    host.gameStarted();
    std::srand(seed);
    Game g;
    startGame(g, hostedSetup(host));
    SettlingClock clock;
    for (int frame = 0; ok && !clock.done(countedMs); ++frame) {
        long long frameMs = std::max(g.sleep_value, 0);
        if (moving) {
            std::this_thread::sleep_for(movingFramePace);
            ok = piped.type(frame % 8 < 4 ? "\x1b[A\x1b[D" : "\x1b[A\x1b[C") &&
                 sendAll(pair[1],
                         tap(Action::Turn) + tap(frame % 8 < 4 ? Action::Left : Action::Right));
            host.pumpNow();
        }
        if (!ok || !playFrame(g))
            break;
        long long terminal = piped.readOutput();
        long long guest = drainBytes(pair[1]);
        if (clock.add(frameMs)) {
            b.frames += 1;
            b.ms += frameMs;
            b.terminal += terminal;
            b.guest += guest;
        }
    }
    session.setExtension(nullptr);
    session.restoreTerminal();
    setCurrentSession(nullptr);
    host.finish(0);
    close(pair[1]);
    return ok;
}

bool bytesFigures(long long seconds) {
    for (bool moving : {false, true}) {
        Bytes b;
        for (unsigned seed = 1; b.ms < seconds * 1000; ++seed)
            if (seed > 100 || !playForBytes(seed, moving, seconds * 1000 - b.ms, b))
                return false;
        double s = static_cast<double>(b.ms) / 1000.0;
        double guest = static_cast<double>(b.guest) / s;
        double terminal = static_cast<double>(b.terminal) / s;
        std::printf("| to a guest, %s | %.1f bytes/s (%.1f a frame); the host's terminal %.1f "
                    "bytes/s (%.1f): %.2fx | <= 1x the terminal | %s |\n",
                    moving ? "both players moving every frame" : "steady play", guest,
                    static_cast<double>(b.guest) / b.frames, terminal,
                    static_cast<double>(b.terminal) / b.frames, guest / terminal,
                    guest <= terminal ? "met" : "MISSED");
    }
    return true;
}

// ---- Latency ----

// Chunks on their way, each with when it is due, in order.
using Chunks = std::deque<std::pair<long long, std::string>>;

// Holds every chunk `delayMs` each way, and a few `stallMs` more with all
// behind them, between a guest and the host.
struct Relay {
    int delayMs = 0;
    int stallPercent = 0;
    std::atomic<bool> stop{false};

    void run(int a, int b) const {
        std::mt19937 random(7);
        Chunks towardB;
        Chunks towardA;
        while (!stop) {
            pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
            poll(fds, 2, 1);
            long long now = monotonicMs();
            carry(fds[0], towardB, now, random);
            carry(fds[1], towardA, now, random);
            deliver(towardB, b, now);
            deliver(towardA, a, now);
        }
    }

    void carry(const pollfd& from, Chunks& queue, long long now, std::mt19937& random) const {
        if ((from.revents & POLLIN) == 0)
            return;
        char bytes[65536];
        ssize_t n = read(from.fd, bytes, sizeof bytes);
        if (n <= 0)
            return;
        long long due = now + delayMs;
        if (static_cast<int>(random() % 100) < stallPercent)
            due += stallMs;
        if (!queue.empty())
            due = std::max(due, queue.back().first); // in order, as TCP delivers
        queue.emplace_back(due, std::string(bytes, static_cast<std::size_t>(n)));
    }

    static void deliver(Chunks& queue, int to, long long now) {
        while (!queue.empty() && queue.front().first <= now) {
            sendAll(to, queue.front().second);
            queue.pop_front();
        }
    }
};

// What the host's thread saw: when each of player two's moves entered its
// screen buffer, and its frames.
struct HostSide {
    std::mutex lock;
    std::vector<long long> moves;
    int frames = 0;
    std::atomic<bool> stop{false};
};

// The host's frame hook with a probe before it: once a frame's moves are
// drawn, the time at which player two's piece stands in another column
// than at the last frame, inside the board. Gravity moves a piece down
// only, and a new one enters above the board, so that is a move of the
// input phase where it can be seen (a piece that has not entered the board
// yet moves unseen, and nothing goes to the guest).
struct MoveProbe {
    const Game* game = nullptr;
    FrameHook host;
    HostSide* seen = nullptr;
    int column = 0;

    static void beforeDelay(void* context) {
        auto& probe = *static_cast<MoveProbe*>(context);
        const Player& p = probe.game->p2;
        if (p.bx != probe.column && p.by >= 0) {
            std::lock_guard<std::mutex> hold(probe.seen->lock);
            probe.seen->moves.push_back(monotonicMs());
        }
        probe.column = p.bx;
        probe.host.beforeDelay(probe.host.context);
    }

    static void frameEnded(void* context) {
        const FrameHook& host = static_cast<MoveProbe*>(context)->host;
        host.frameEnded(host.context);
    }

    FrameHook hook() { return {beforeDelay, frameEnded, this}; }
};

void hostThread(NetSocket listener, TerminalSession& session, HostSide& seen) {
    setCurrentSession(&session);
    GameHost host(session, joinCode(), listener);
    session.setExtension(&host);
    while (!host.playerReady() && !seen.stop)
        session.sleepMs(5);
    host.gameStarted();
    for (unsigned seed = 1; !seen.stop; ++seed) {
        std::srand(seed);
        Game g;
        GameSetup setup = hostedSetup(host);
        MoveProbe probe{&g, setup.frameHook, &seen};
        setup.frameHook = probe.hook();
        startGame(g, setup);
        // Games with only these keys top out after about twenty seconds; each
        // new one starts at the delay the pacing settles at, not at 1 ms.
        if (seed > 1)
            g.sleep_value = settledDelayMs;
        while (!seen.stop && playFrame(g)) {
            std::lock_guard<std::mutex> hold(seen.lock);
            seen.frames += 1;
        }
    }
    session.setExtension(nullptr);
    session.restoreTerminal();
    setCurrentSession(nullptr);
    host.finish(0);
}

// Between the right board's walls, above its floor.
bool insideRightBoard(int x, int y) {
    int column = x - boardColumn[1];
    return column > 0 && column < mapWidth - 1 && y < floorRow;
}

// Whether a picture message changes a cell of the right board's well.
bool touchesRightBoard(const net::Message& m) {
    unsigned char attr = net::firstRunAttribute;
    net::Run run{};
    for (int at = 0; at < m.runsLength && net::nextRun(m.runs, m.runsLength, at, attr, run);)
        for (int i = run.first; i < run.first + run.count; ++i)
            if (insideRightBoard(i % pictureColumns, i / pictureColumns))
                return true;
    return false;
}

// The guest's side: keys sent, and changes of the right board received.
struct GuestSide {
    int fd;
    std::vector<long long> sent;
    std::vector<long long> arrivals;
    int framesSettled = -1;
};

// Reads what the host sent; false when it broke the protocol.
bool receive(GuestSide& guest, net::MessageDecoder& decoder) {
    pollfd ready = {guest.fd, POLLIN, 0};
    if (poll(&ready, 1, 1) <= 0)
        return true;
    unsigned char bytes[65536];
    ssize_t n = read(guest.fd, bytes, sizeof bytes);
    long long at = monotonicMs();
    const unsigned char* p = bytes;
    for (std::size_t left = n > 0 ? static_cast<std::size_t>(n) : 0; left > 0;) {
        std::size_t used = decoder.feed(p, left);
        if (decoder.failed())
            return false;
        p += used;
        left -= used;
        const net::Message& m = decoder.message();
        if (decoder.hasMessage() && m.type == net::MessageType::Delta && touchesRightBoard(m))
            guest.arrivals.push_back(at);
    }
    return true;
}

// After the settling, Left and Right by turns (so that the piece stays off
// the walls) at random moments; a keep-alive as often as a guest sends one.
bool playGuest(GuestSide& guest, HostSide& seen, long long seconds, int hostOutput) {
    std::mt19937 random(3);
    net::MessageDecoder decoder(net::Sender::Host);
    long long start = monotonicMs();
    long long nextKey = start + latencySettleMs;
    long long nextKeepAlive = start;
    while (monotonicMs() - start < latencySettleMs + seconds * 1000) {
        long long now = monotonicMs();
        if (now >= nextKey) {
            if (guest.framesSettled < 0) {
                std::lock_guard<std::mutex> hold(seen.lock);
                guest.framesSettled = seen.frames;
            }
            sendAll(guest.fd, tap(guest.sent.size() % 2 == 0 ? Action::Left : Action::Right));
            guest.sent.push_back(now);
            nextKey = now + 300 + static_cast<long long>(random() % 400);
        }
        if (now >= nextKeepAlive) {
            std::string keepAlive;
            net::appendKeepAlive(keepAlive);
            sendAll(guest.fd, keepAlive);
            nextKeepAlive = now + net::keepAliveMs;
        }
        drainBytes(hostOutput);
        if (!receive(guest, decoder))
            return false;
    }
    return true;
}

struct Latencies {
    std::vector<double> toBuffer;
    std::vector<double> toGuest;
};

// Each key that moved the piece: the first move in the host's buffer after
// it, and the first change of the right board at the guest after that.
Latencies match(const GuestSide& guest, const std::vector<long long>& moves) {
    Latencies l;
    for (std::size_t k = 0; k < guest.sent.size(); ++k) {
        long long key = guest.sent[k];
        auto move = std::lower_bound(moves.begin(), moves.end(), key);
        if (move == moves.end() || (k + 1 < guest.sent.size() && *move >= guest.sent[k + 1]))
            continue; // refused by a wall or the stack, or unseen above the board
        auto arrival = std::lower_bound(guest.arrivals.begin(), guest.arrivals.end(), *move);
        if (arrival == guest.arrivals.end())
            continue;
        l.toBuffer.push_back(static_cast<double>(*move - key));
        l.toGuest.push_back(static_cast<double>(*arrival - key));
    }
    return l;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

// On loopback the key reaches the host as it is sent; through the relay
// its time there is one delay later, and the move's way back another.
void report(const Latencies& l, double rate, int delayMs, bool impaired, const char* label) {
    constexpr double frameMs = 1000.0 / settledRate;
    auto row = [&](const char* into, const std::vector<double>& v, int ways) {
        double worst = percentile(v, 1.0);
        double target = frameMs + 2 + ways * delayMs;
        std::printf("| a guest's key to the move in %s, %s | median %.1f ms, 95th %.1f, worst "
                    "%.1f (%zu keys) | <= %.0f ms (%sa frame + 2) | %s |\n",
                    into, label, percentile(v, 0.5), percentile(v, 0.95), worst, v.size(), target,
                    ways == 0   ? ""
                    : ways == 1 ? "a delay + "
                                : "two delays + ",
                    impaired          ? "(figure)"
                    : worst <= target ? "met"
                                      : "MISSED");
    };
    row("the host's buffer", l.toBuffer, impaired ? 1 : 0);
    row("the guest's picture", l.toGuest, impaired ? 2 : 0);
    std::vector<double> added;
    for (std::size_t i = 0; i < l.toGuest.size(); ++i)
        added.push_back(l.toGuest[i] - l.toBuffer[i]);
    std::printf("| from the host's buffer to the guest's picture, %s | median %.1f ms, worst %.1f "
                "| (what the network adds) | |\n",
                label, percentile(added, 0.5), percentile(added, 1.0));
    std::printf("| the host's frame rate, %s | %.1f frames a second | %d to %d | %s |\n", label,
                rate, lowestRate, highestRate, inRateBand(rate) ? "met" : "MISSED");
}

bool latencyFigures(long long seconds, int delayMs, int stallPercent, const char* label) {
    int port = 0;
    std::string error;
    NetSocket listener = netListen({"127.0.0.1", 0}, port, error);
    PipedSession piped({.render = {true, true}});
    int pair[2];
    if (listener == noSocket || !piped.started || socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
        std::fprintf(stderr, "blockduel_net_figures: %s\n", error.c_str());
        return false;
    }
    HostSide seen;
    std::thread host(hostThread, listener, std::ref(*piped.session), std::ref(seen));
    auto toHost = static_cast<int>(netConnect({"127.0.0.1", port}, 2000, error));
    Relay relay{delayMs, stallPercent};
    std::thread relaying([&] { relay.run(pair[1], toHost); });
    GuestSide guest{pair[0], {}, {}};
    bool ok = sendAll(guest.fd, helloMessage() + readyMessage()) &&
              playGuest(guest, seen, seconds, piped.out[0]);
    seen.stop = true;
    relay.stop = true;
    relaying.join();
    host.join();
    std::lock_guard<std::mutex> hold(seen.lock);
    double rate = (seen.frames - guest.framesSettled) / static_cast<double>(seconds);
    if (ok)
        report(match(guest, seen.moves), rate, delayMs, delayMs > 0 || stallPercent > 0, label);
    for (int fd : {pair[0], pair[1], toHost})
        close(fd);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    long long seconds = 30;
    int delayMs = 0;
    int stallPercent = 0;
    std::string label = "loopback";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--delay") == 0 && i + 1 < argc)
            delayMs = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--stall") == 0 && i + 1 < argc)
            stallPercent = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--label") == 0 && i + 1 < argc)
            label = argv[++i];
        else if (std::strcmp(argv[i], "--settle") == 0 && i + 1 < argc)
            latencySettleMs = std::atoll(argv[++i]) * 1000;
        else
            seconds = std::atoll(argv[i]);
    }
    if (seconds <= 0) {
        std::fputs("usage: blockduel_net_figures [seconds] [--settle S] [--delay MS] "
                   "[--stall PERCENT] [--label TEXT]\n",
                   stderr);
        return 2;
    }
    if (delayMs == 0 && stallPercent == 0 && !bytesFigures(seconds))
        return 1;
    return latencyFigures(seconds, delayMs, stallPercent, label.c_str()) ? 0 : 1;
}
