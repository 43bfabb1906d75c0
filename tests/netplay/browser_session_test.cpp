// SPDX-License-Identifier: MIT
// Browsers at the host, in one process: the page and its policy, the
// switch to a WebSocket, and a browser that then joins as player two and
// plays the right board with held keys, or is refused as a terminal guest
// would be; malformed frames end its connection, well before the door's
// time for a greeting, and nothing else; pages that never read, over slow
// links and not at all; the page under every name of this machine and
// under no stranger's. Which requests are refused is for the answer's own
// tests and the attacks on the real host (tests/web/hostile_host).
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "browser_client.hpp"
#include "game/game.hpp"
#include "game/keys.hpp"
#include "in_process_host.hpp"
#include "net/address.hpp"
#include "net/protocol.hpp"
#include "netplay/browser_answer.hpp"
#include "netplay/host.hpp"
#include "pipe_terminal.hpp"
#include "wire.hpp"

namespace term {
namespace {

using netplay::GameHost;

// The name the host is given (--name), at the port it listens on.
constexpr const char* givenName = "192.168.1.20";
constexpr int port = 7416;
constexpr const char* hostName = "192.168.1.20:7416";
constexpr int binary = 2, textFrame = 1, closing = 8, ping = 9, pong = 10;

// A TCP connection over loopback whose two ends hold about `buffer` bytes
// each (a socket pair's would take the whole page at once); [0] the host's.
void loopbackPair(int buffer, int pair[2]) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int client = socket(AF_INET, SOCK_STREAM, 0);
    setsockopt(client, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    // Small segments, as over a real link: loopback's large ones would take
    // the whole page into the system's buffers in one write.
    int segment = 536;
    setsockopt(listener, IPPROTO_TCP, TCP_MAXSEG, &segment, sizeof segment);
    setsockopt(client, IPPROTO_TCP, TCP_MAXSEG, &segment, sizeof segment);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        connect(client, reinterpret_cast<sockaddr*>(&address), size) != 0)
        std::abort();
    pair[0] = accept(listener, nullptr, nullptr);
    close(listener);
    setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    pair[1] = client;
    if (pair[0] < 0)
        std::abort();
}

// The host on pipes, with the game ready to start once player two is in.
struct Hosting {
    Hosting() { host->answerTo(netplay::hostNamesHere(netAddressToJoin(""), givenName)); }

    void start() { at.start(setup, game); }

    // One frame, no sleep: what player two holds is there at the polls.
    int moveOfPlayerTwo() {
        int x = game.p2.bx;
        host->pumpNow();
        game.sleep_value = 0;
        EXPECT_TRUE(playFrame(game));
        return game.p2.bx - x;
    }

    PipeTerminal hostTerm;
    InProcessHost at{hostTerm};
    GameHost* host = at.host.get();
    GameSetup setup;
    Game game = {};
};

// One browser's connection, the host served while it waits.
struct Browser {
    // `buffer`: the bytes each socket's buffers hold, to stand for a slow
    // link; the system's own when 0.
    explicit Browser(GameHost& host, int buffer = 0) : host_(host) {
        int pair[2];
        if (buffer > 0)
            loopbackPair(buffer, pair);
        else if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
            std::abort();
        host.adopt(pair[0]);
        fd = pair[1];
    }
    ~Browser() { close(fd); }
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    // False once the host has closed the connection.
    bool send(const std::string& bytes) const {
        return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    // Serves the host and reads until `done`, the connection's close or `ms`.
    bool until(const std::function<bool()>& done, int ms = 4000) {
        for (long long end = monotonicMs() + ms; !done() && !closed && monotonicMs() < end;) {
            host_.pumpNow();
            pollfd ready = {fd, POLLIN, 0};
            if (poll(&ready, 1, 1) > 0)
                readSome(65536);
        }
        return done();
    }

    // Reads what has come, `most` bytes at the most, and notes whether the
    // host has closed the connection.
    void readSome(std::size_t most) {
        std::string bytes(most, '\0');
        ssize_t n = read(fd, bytes.data(), most);
        if (n > 0)
            raw.append(bytes, 0, static_cast<std::size_t>(n));
        closed = n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
    }

    // Serves the host and reads for `ms`, or until the connection's close.
    void waitMs(int ms) {
        until([] { return false; }, ms);
    }

    // The whole answer to a request that ends the connection, which it
    // must do well before the door would close a connection that has not
    // greeted.
    std::string answer(const std::string& request) {
        send(request);
        waitMs(net::helloLimitMs / 2);
        return raw;
    }

    // The switch to a WebSocket from the page's own origin; its answer's head.
    std::string upgrade() {
        send(upgradeRequest(hostName, "http://192.168.1.20:7416"));
        until([&] { return raw.find("\r\n\r\n") != std::string::npos; });
        std::size_t end = raw.find("\r\n\r\n");
        std::string head = raw.substr(0, end == std::string::npos ? raw.size() : end + 4);
        raw.erase(0, head.size());
        return head;
    }
    bool upgraded() { return upgrade().rfind("HTTP/1.1 101 ", 0) == 0; }

    void sendGame(const std::string& bytes) const { send(clientFrame(binary, bytes)); }
    // A key of player two's, pressed or let go, and time for the host to read it.
    void key(net::KeyKind kind, Action action) {
        sendGame(bytesOf(net::appendKey, kind, static_cast<int>(action)));
        waitMs(20);
    }

    // Frames and the game's messages in them, as they come.
    bool framesOk() {
        std::vector<Frame> got;
        bool ok = takeFrames(raw, got);
        for (const Frame& f : got) {
            frames.push_back(f);
            if (f.opcode == binary)
                heard.take(f.payload);
        }
        return ok && heard.ok();
    }

    bool waitFor(net::MessageType type) {
        return until([&] {
            framesOk();
            return heard.has(type);
        });
    }

    bool hasFrame(int opcode) {
        framesOk();
        return std::any_of(frames.begin(), frames.end(),
                           [opcode](const Frame& f) { return f.opcode == opcode; });
    }

    int fd = -1;
    bool closed = false;
    std::string raw;
    std::vector<Frame> frames;
    Heard heard;

private:
    GameHost& host_;
};

// The whole answer to a request on a connection of its own, which the
// host closes after it.
std::string answerTo(Hosting& h, const std::string& request) {
    Browser b(*h.host);
    std::string answer = b.answer(request);
    EXPECT_TRUE(b.closed) << "the connection closes after the answer to " << request;
    return answer;
}

// A request for `path` under the name `host`.
std::string get(const std::string& host, const std::string& path = "/") {
    return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
}
const std::string pageRequest = get(hostName);

const std::string playersHello =
    bytesOf(net::appendHello, net::Seat::Player, joinCode(), std::string_view{});

std::string nonceOf(const std::string& response) {
    std::string from = "script-src 'nonce-";
    std::size_t at = response.find(from);
    if (at == std::string::npos)
        return {};
    at += from.size();
    return response.substr(at, response.find('\'', at) - at);
}

// The page's body as the answer's Content-Length gives it; empty when
// the answer is not whole.
std::string wholeBody(const std::string& answer) {
    std::size_t end = answer.find("\r\n\r\n");
    std::string field = "Content-Length: ";
    std::size_t at = answer.find(field);
    if (end == std::string::npos || at == std::string::npos)
        return {};
    std::size_t length = std::strtoul(answer.c_str() + at + field.size(), nullptr, 10);
    std::string body = answer.substr(end + 4);
    return body.size() == length ? body : std::string();
}

// The page as it is built in, its nonce in its policy and in its style and
// script; what the policy says is the answer's own test's.
TEST(BrowserAtTheHost, GetsThePageUnderItsPolicyWithAFreshNonce) {
    Hosting h;
    std::string page = answerTo(h, pageRequest);
    ASSERT_TRUE(page.starts_with("HTTP/1.1 200 OK\r\n")) << page.substr(0, 200);
    std::string nonce = nonceOf(page);
    EXPECT_GE(nonce.size(), 22U) << "at least 128 bits";
    std::string body = wholeBody(page);
    EXPECT_EQ(body, page.substr(page.find("\r\n\r\n") + 4)) << "its Content-Length";
    std::size_t uses = 0;
    for (std::size_t at = body.find("nonce=\"" + nonce + "\""); at != std::string::npos;
         at = body.find("nonce=\"" + nonce + "\"", at + 1))
        ++uses;
    EXPECT_EQ(uses, 2U) << "the style and the script";
    EXPECT_EQ(body.find("{{NONCE}}"), std::string::npos);
    EXPECT_NE(page.find("style-src 'nonce-" + nonce + "'"), std::string::npos);
    std::string again = nonceOf(answerTo(h, pageRequest));
    EXPECT_NE(again, "");
    EXPECT_NE(again, nonce) << "every answer has its own nonce";
}

// The link of the host's notice, and every other address of this machine,
// open the page; a name a stranger pointed here does not, and counts as
// turned away. A path the host does not serve (a browser's own ask for an
// icon) is missing, and turns nobody away. A browser says nothing more
// until it is answered: bytes after its request end it unanswered.
TEST(BrowserAtTheHost, ServesThePageUnderThisMachinesNamesAlone) {
    Hosting h;
    std::vector<std::string> names = netLocalAddresses();
    EXPECT_NE(std::find(names.begin(), names.end(), "127.0.0.1"), names.end()) << "loopback too";
    names.push_back(netAddressToJoin(""));
    names.emplace_back("localhost");
    for (const std::string& name : names) {
        std::string address = net::formatEndpoint(name, port);
        EXPECT_TRUE(answerTo(h, get(address, "/?from=chat")).starts_with("HTTP/1.1 200 OK\r\n"))
            << address;
        EXPECT_TRUE(answerTo(h, get(address, "/favicon.ico")).starts_with("HTTP/1.1 404 "))
            << address;
    }
    EXPECT_EQ(0, h.host->admission().turnedAway());
    EXPECT_TRUE(net::namesThisHost("desk.lan:7416", netplay::hostNamesHere("desk.lan", "")))
        << "a notice that shows a name";
    std::string refused = answerTo(h, get("rebound.example:7416"));
    EXPECT_TRUE(refused.starts_with("HTTP/1.1 403 ")) << refused;
    EXPECT_EQ(1, h.host->admission().turnedAway());
    EXPECT_EQ(answerTo(h, get("h") + "more"), "") << "bytes after the request";
}

TEST(BrowserAtTheHost, JoinsAsPlayerTwoAndHoldsKeys) {
    Hosting h;
    Browser b(*h.host);
    std::string head = b.upgrade();
    ASSERT_EQ(head.rfind("HTTP/1.1 101 Switching Protocols\r\n", 0), 0U) << head;
    // The game's bytes in any chunking: the greeting across two frames.
    b.sendGame(playersHello.substr(0, 3));
    b.sendGame(playersHello.substr(3));
    ASSERT_TRUE(b.waitFor(net::MessageType::Welcome));
    EXPECT_EQ(b.heard.seat, net::Seat::Player);
    b.sendGame(bytesOf(net::appendReady, net::KeyMode::Kitty, "WASD"));
    ASSERT_TRUE(b.until([&] { return h.host->playerReady(); }));

    h.start();
    h.moveOfPlayerTwo(); // the first gravity step shows both pieces
    EXPECT_TRUE(b.waitFor(net::MessageType::Picture));
    b.key(net::KeyKind::Press, Action::Right);
    EXPECT_EQ(1, h.moveOfPlayerTwo());
    EXPECT_EQ(1, h.moveOfPlayerTwo()) << "still held";
    b.key(net::KeyKind::Release, Action::Right);
    EXPECT_EQ(0, h.moveOfPlayerTwo()) << "let go";
    EXPECT_FALSE(b.closed);
    EXPECT_TRUE(b.framesOk()) << "the host's frames are well formed";

    // A second browser finds the seat taken, as a terminal would.
    Browser second(*h.host);
    ASSERT_TRUE(second.upgraded());
    second.sendGame(playersHello);
    ASSERT_TRUE(second.waitFor(net::MessageType::Refused));
    EXPECT_EQ(second.heard.refusal, net::Refusal::SeatTaken);

    // The page's Escape and its close, read at once: the Escape still counts.
    b.send(clientFrame(binary, bytesOf(net::appendKey, net::KeyKind::Press,
                                       static_cast<int>(Action::Escape))) +
           clientFrame(closing, "\x03\xe8"));
    b.waitMs(net::helloLimitMs / 2);
    EXPECT_TRUE(b.closed);
    EXPECT_TRUE(b.hasFrame(closing)) << "the close is answered";
    EXPECT_EQ(h.host->goneNotice().rfind("Reloading the page joins again, code ", 0), 0U)
        << "a page has no command";
    h.game.sleep_value = 0;
    EXPECT_FALSE(playFrame(h.game)) << "player two's Escape ends the game";
}

// Each of these ends the browser's connection, and nothing else: a frame
// the framing refuses (which frames those are is the framing's own test's;
// the connection ends on any of them alike), bytes that are not the game's,
// and a close.
TEST(BrowserAtTheHost, MalformedFramesEndTheConnection) {
    Hosting h;
    const std::string attacks[] = {
        clientFrame(textFrame, "hello"),
        clientFrame(binary, std::string("\xff\xff\xff", 3)),
        clientFrame(closing, "\x03\xe8"),
    };
    for (std::size_t i = 0; i < std::size(attacks); ++i) {
        Browser b(*h.host);
        ASSERT_TRUE(b.upgraded());
        b.answer(attacks[i]); // well before the door would close a silent one
        EXPECT_TRUE(b.closed) << "attack " << i;
    }
    // A ping is answered, and the connection goes on.
    Browser pinging(*h.host);
    ASSERT_TRUE(pinging.upgraded());
    pinging.send(clientFrame(ping, "are you there"));
    EXPECT_TRUE(pinging.until([&] { return pinging.hasFrame(pong); }));
    EXPECT_FALSE(pinging.closed);
}

// A browser that pings and never reads the pongs is closed once they pile
// up, before the time it has to greet is out.
TEST(BrowserAtTheHost, APageThatPingsAndNeverReadsIsClosed) {
    Hosting h;
    Browser b(*h.host);
    ASSERT_TRUE(b.upgraded());
    std::string pings;
    for (int i = 0; i < 64; ++i)
        pings += clientFrame(ping, std::string(125, 'p'));
    long long start = monotonicMs();
    bool refused = false; // the host's side closed: our sends fail
    std::size_t sent = 0;
    while (!refused && monotonicMs() - start < net::helloLimitMs) {
        ssize_t n = ::send(b.fd, pings.data(), pings.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        refused = n < 0 && errno != EAGAIN && errno != EWOULDBLOCK;
        sent += n > 0 ? static_cast<std::size_t>(n) : 0;
        h.host->pumpNow();
    }
    EXPECT_TRUE(refused) << sent << " bytes of pings in " << monotonicMs() - start << " ms";
    // The pongs the host kept: what the two sockets' buffers hold, and the bound.
    EXPECT_LT(sent, std::size_t{1024} * 1024) << "the host kept far more than it should";
}

// The host served for `ms`, with nothing read from its connections.
void serveUnread(Hosting& h, int ms) {
    for (long long end = monotonicMs() + ms; monotonicMs() < end;) {
        h.host->pumpNow();
        poll(nullptr, 0, 5);
    }
}

// Over a link that takes a kilobyte every 100 ms the page takes seconds to go
// out; its connection stays while it does, and closes after it. One that is
// never read is still closed, after ten seconds in all.
TEST(BrowserAtTheHost, APageOverASlowLinkArrivesWholeAndOneNeverReadIsClosed) {
    Hosting h;
    Browser b(*h.host, 2048);
    Browser unread(*h.host, 2048);
    b.send(pageRequest);
    unread.send(pageRequest);
    long long start = monotonicMs();
    while (!b.closed && monotonicMs() - start < 20'000) {
        serveUnread(h, 100);
        b.readSome(1024);
    }
    long long took = monotonicMs() - start;
    EXPECT_TRUE(b.closed);
    EXPECT_GT(took, 3000) << "the link was not slow enough to tell";
    EXPECT_NE(wholeBody(b.raw).find("</html>"), std::string::npos)
        << b.raw.size() << " bytes in " << took
        << " ms: " << b.raw.substr(0, b.raw.find("\r\n\r\n"));
    serveUnread(h, static_cast<int>(start + 11'000 - monotonicMs()));
    unread.waitMs(2000); // what was sent, then the close
    EXPECT_TRUE(unread.closed);
    EXPECT_TRUE(wholeBody(unread.raw).empty()) << "the page should not have gone out whole";
}

} // namespace
} // namespace term
