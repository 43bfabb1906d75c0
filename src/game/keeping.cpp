// SPDX-License-Identifier: MIT
#include "game/keeping.hpp"

#include "game/match.hpp"
#include "record/results_log.hpp"

#include <algorithm>
#include <cstring>

namespace {

std::array<int, 4> keysOf(const Controls& c) { return {c.rotate, c.left, c.right, c.drop}; }

Controls controlsOf(const std::array<int, 4>& k) { return {k[0], k[1], k[2], k[3]}; }

// A player who was at another keyboard: in a playback the tape answers
// for them, so nothing is ever asked of this.
bool noAction(void* /*context*/, Action /*action*/) { return false; }

} // namespace

record::MatchSetup recordedSetup(const GameSetup& setup, record::PlayMode mode) {
    record::MatchSetup r;
    r.mode = mode;
    r.seed = setup.seed;
    r.viewer = static_cast<int>(setup.viewer);
    r.countdown = setup.countdown;
    r.pause = setup.pause;
    r.noColor = setup.noColor;
    r.firstTo = setup.firstTo;
    r.speedUp = setup.speedUp;
    for (int board = 0; board < 2; ++board) {
        r.computer[board] = setup.computer[board];
        r.remote[board] = setup.remote[board].pressed != nullptr;
        r.level[board] = setup.level[board];
        r.legend[board] = setup.legend[board];
        r.names[board] = setup.names[board];
        r.keys[board] = keysOf(setup.keys[board]);
    }
    return r;
}

GameSetup replayedSetup(const record::MatchSetup& r) {
    GameSetup setup;
    setup.match = true;
    setup.replayed = true;
    setup.seed = r.seed;
    setup.viewer = static_cast<Viewer>(std::clamp(r.viewer, 0, record::viewers - 1));
    setup.countdown = r.countdown;
    setup.pause = r.pause;
    setup.noColor = r.noColor;
    setup.firstTo = std::min(r.firstTo, maxFirstTo);
    setup.speedUp = r.speedUp;
    setup.libraryPieces = r.libraryPieces;
    for (int board = 0; board < 2; ++board) {
        setup.computer[board] = r.computer[board];
        if (r.remote[board] && !r.computer[board])
            setup.remote[board].pressed = noAction;
        setup.level[board] = std::clamp(r.level[board], computerMinLevel, computerMaxLevel);
        std::size_t length = std::min(r.legend[board].size(), std::size_t{maxLegendLength});
        std::memcpy(setup.legend[board], r.legend[board].data(), length);
        setup.legend[board][length] = '\0';
        setup.keys[board] = controlsOf(r.keys[board]);
        setup.names[board] = r.names[board];
    }
    return setup;
}

std::unique_ptr<record::MatchKeeper> keeperFor(const GameSetup& setup, const KeptAs& as) {
    record::MatchSetup header = recordedSetup(setup, as.mode);
    header.programVersion = as.version;
    header.startedUnix = as.startedUnix;
    header.matchId = setup.seed ^ (as.processId * 2654435761U);
    return std::make_unique<record::MatchKeeper>(as.folder, header, as.you, as.stamp, as.tag,
                                                 as.resultsLog);
}

std::unique_ptr<record::MatchKeeper> startKeeping(GameSetup& setup, const KeptAs& as,
                                                  std::string& warning) {
    warning = record::readResults(as.folder).warning;
    std::unique_ptr<record::MatchKeeper> keeper = keeperFor(setup, as);
    setup.keeper = keeper.get();
    return keeper;
}

// The keeper stops at the disk's first failure: the rounds it wrote before
// are whole, and counted; those from then on are lost, and the words say so.
std::string keepingWarning(const record::MatchKeeper& keeper, const std::string& logWarning) {
    if (keeper.warning().empty())
        return logWarning;
    std::string lost =
        "this match's recording stops where the disk failed, and only the rounds the disk took "
        "count: " +
        keeper.warning();
    return logWarning.empty() ? lost : logWarning + "; and " + lost;
}

std::string playKeptMatch(GameSetup setup, const KeptAs& as) {
    seedGenerators(setup);
    std::string warning;
    std::unique_ptr<record::MatchKeeper> keeper = startKeeping(setup, as, warning);
    runMatch(setup);
    return keepingWarning(*keeper, warning);
}
