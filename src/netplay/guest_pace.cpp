// SPDX-License-Identifier: MIT
#include "netplay/guest_pace.hpp"

#include "netplay/round_outcome.hpp"

namespace netplay {

std::string HostPace::fault(const net::Message& message, long long nowMs) {
    switch (message.type) {
    case net::MessageType::Picture:
    case net::MessageType::Delta:
        startMs_ = startMs_ < 0 ? nowMs : startMs_;
        pictureBytes_ += message.runsLength;
        if (pictureBytes_ > pictureBurstBytes + (nowMs - startMs_) * pictureBytesPerSecond / 1000)
            return "the host sent pictures faster than any game draws them";
        return "";
    case net::MessageType::Result: return resultFault(message.result, nowMs);
    default: return "";
    }
}

// The match's last result may follow the one before at once (the match
// ended between rounds), and names that round or the next, unplayed; every
// other one names the round after the one before.
std::string HostPace::resultFault(const net::RoundOutcome& result, long long nowMs) {
    if (!plausible(result))
        return "the host sent a round's result that no round of the game can have";
    if (firstResultMs_ < 0)
        firstResultMs_ = nowMs;
    bool inTurn = !matchOver_ && (lastRound_ == 0 || result.round == lastRound_ + 1 ||
                                  (result.matchOver && result.round == lastRound_));
    if (!result.matchOver)
        results_ += 1;
    matchOver_ = result.matchOver;
    lastRound_ = result.round;
    long long mayHave = 1 + resultsEarly + (nowMs - firstResultMs_) / resultsEveryMs;
    if (!inTurn || results_ > mayHave)
        return "the host sent rounds' results out of turn or faster than rounds can end";
    return "";
}

} // namespace netplay
