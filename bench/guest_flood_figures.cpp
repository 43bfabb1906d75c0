// SPDX-License-Identifier: MIT
// What a guest spends on a host that floods it: a real `blockduel --join`
// on a pty, under /usr/bin/time for its peak memory, joined to a fake host
// on loopback (tests/support/fake_host.hpp) that floods it for a few
// seconds. Printed for each flood: how the guest's run ended and how long
// it took, Escape's way to the host and the guest's exit when it was still
// there, its peak memory, and what --stats and its recording hold after.
//
// Usage: blockduel_guest_flood_figures [SECONDS]   (default 3 of flood)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "fake_host.hpp"
#include "game_pty.hpp"

namespace {

using term::FakeHost;
using term::GamePty;

struct Flood {
    const char* name;
    FakeHost::Flood kind;
    long long bytesPerSecond; // 0: as fast as the socket takes
};

std::string peakOf(const std::string& output) {
    std::size_t at = output.find("guest peak ");
    std::size_t from = at + 11;
    return at == std::string::npos ? "?" : output.substr(from, output.find(" KB", at) - from);
}

// What --stats says, as its JSON, and what the recordings take.
std::string keptIn(const std::string& state) {
    GamePty stats(
        {.args = {"--stats", "--json"}, .kitty = false, .env = {"XDG_STATE_HOME=" + state}});
    stats.waitOutcome();
    std::string json = term::joinedLines(stats.output);
    std::size_t from = json.find('{');
    json = from == std::string::npos ? "?" : json.substr(from, json.rfind('}') - from + 1);
    long long bytes = 0;
    std::error_code error;
    for (const auto& file :
         std::filesystem::directory_iterator(state + "/blockduel/recordings", error))
        bytes += static_cast<long long>(file.file_size());
    return "stats " + json + "; recordings " + std::to_string(bytes) + " bytes";
}

// `leave`: the keys that end the guest when it still plays, Escape or Ctrl-C.
void measure(const Flood& flood, int seconds, const std::string& state, const char* leave) {
    FakeHost host(flood.kind, flood.bytesPerSecond);
    GamePty guest({.program = "/usr/bin/time",
                   .args = {"-f", "guest peak %M KB", BLOCKDUEL_GAME, "--join", host.address(),
                            "--code", FakeHost::code},
                   .kitty = false,
                   .env = {"XDG_STATE_HOME=" + state}});
    guest.waitUntil([&] { return host.welcomed(); });
    long long start = FakeHost::nowMs();
    term::Outcome outcome = guest.waitOutcome(seconds * 1000);
    long long flooded = FakeHost::nowMs() - start;
    std::string how;
    if (outcome.kind == term::Outcome::Running) {
        bool escape = leave[0] == '\x1b';
        long long typed = FakeHost::nowMs();
        guest.type(leave);
        if (escape)
            guest.waitUntil([&] { return host.escapeMs() != 0; }, 10000);
        outcome = guest.waitOutcome(10000);
        long long left = FakeHost::nowMs() - typed;
        how = "still playing after " + std::to_string(flooded) + " ms; " +
              (escape ? "Escape at the host " +
                            std::to_string(host.escapeMs() == 0 ? -1 : host.escapeMs() - typed) +
                            " ms after it was typed, the guest gone "
                      : std::string("Ctrl-C typed, the guest gone ")) +
              std::to_string(left) + " ms after";
    } else {
        std::string said = term::joinedLines(guest.output);
        std::size_t at = said.find("blockduel: ");
        std::size_t end = std::min(said.find(" Command exited", at), said.find(" guest peak", at));
        how = "ended by itself " + std::to_string(flooded) + " ms into the flood: \"" +
              (at == std::string::npos ? std::string("?") : said.substr(at, end - at)) + "\"";
    }
    std::printf("%s\n  %s\n  host sent %lld bytes; guest peak memory %s KB\n  %s\n", flood.name,
                how.c_str(), host.sentBytes(), peakOf(guest.output).c_str(), keptIn(state).c_str());
}

} // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 3;
    const Flood floods[] = {
        {"Results as fast as the socket takes them, with figures a round can have",
         FakeHost::Flood::Results, 0},
        {"Results as fast as the socket takes them: round 999999, scores 10^9",
         FakeHost::Flood::Lies, 0},
        {"Deltas of the whole picture as fast as the socket takes them", FakeHost::Flood::Deltas,
         0},
        {"Deltas of the whole picture at 48 KiB a second, three quarters of the guest's bound",
         FakeHost::Flood::Deltas, FakeHost::nearBoundPace},
        {"keep-alives as fast as the socket takes them", FakeHost::Flood::KeepAlives, 0},
    };
    char pattern[] = "/tmp/blockduel-flood-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return 1;
    int n = 0;
    // Ctrl-C too where the guest plays on: floods a game could send.
    for (const Flood& flood : floods) {
        measure(flood, seconds, std::string(pattern) + "/" + std::to_string(++n), "\x1b");
        if (flood.kind == FakeHost::Flood::KeepAlives || flood.bytesPerSecond > 0)
            measure(flood, seconds, std::string(pattern) + "/" + std::to_string(++n), "\x03");
    }
    std::filesystem::remove_all(pattern);
    return 0;
}
