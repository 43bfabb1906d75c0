// SPDX-License-Identifier: MIT
// What a guest takes from its host, at most: round results no more often
// than rounds can end and only with figures a round can have, and pictures
// no faster than any game draws them. A host past these is not the game
// (it floods, or it lies), and the guest ends the connection rather than
// spend its work, memory, disk and statistics on it.
#pragma once

#include <string>

#include "net/message_decoder.hpp"

namespace netplay {

// The bytes of pictures a host may send at once, and then each second. A
// game sends a guest a few hundred bytes a second of changes, and a whole
// picture (at most net::maxMessage) when it joins or has fallen behind; a
// guest that stalled finds at most what the sockets held (the host queues
// 16 KiB beyond its socket's 32 KiB). Both bounds are far beyond that.
constexpr long long pictureBurstBytes = 256LL * 1024;
constexpr long long pictureBytesPerSecond = 64LL * 1024;
// A round lasts at least its countdown, so results come no faster; one
// more may come early, behind one the network held back.
constexpr long long resultsEveryMs = 3000;
constexpr int resultsEarly = 1;

class HostPace {
public:
    // "" when `message`, come at `nowMs`, is one a host of the game sends;
    // else what is wrong with it, said of the host.
    std::string fault(const net::Message& message, long long nowMs);

private:
    std::string resultFault(const net::RoundOutcome& result, long long nowMs);

    long long startMs_ = -1;     // the first picture's time
    long long pictureBytes_ = 0; // all the pictures so far
    long long firstResultMs_ = -1;
    int results_ = 0;   // rounds ended so far
    int lastRound_ = 0; // the last one's number; 0 before any
    bool matchOver_ = false;
};

} // namespace netplay
