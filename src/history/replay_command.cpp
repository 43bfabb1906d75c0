// SPDX-License-Identifier: MIT
#include "history/replay_command.hpp"

#include "game/local.hpp"
#include "history/pieces_check.hpp"
#include "history/recording_file.hpp"
#include "history/replay.hpp"
#include "record/disk.hpp"
#include "record/log_records.hpp"
#include "record/stats.hpp"
#include "text/printable.hpp"

namespace history {

int replayCommand(const std::string& which, const std::string& folder) {
    std::string path = which == "last" ? lastRecording(folder) : which;
    if (path.empty()) {
        localComplain("no match has been kept yet, so there is no last one to play");
        return 1;
    }
    std::string bytes;
    std::string error;
    // "last" is the game's own file; any other the user named.
    disk::NamedBy namedBy = which == "last" ? disk::NamedBy::Game : disk::NamedBy::User;
    if (!disk::readWhole(path, record::maxFileBytes, bytes, error, namedBy)) {
        localComplain(error);
        return 1;
    }
    return replayBytes(bytes, printablePath(path));
}

int replayBytes(const std::string& bytes, const std::string& named) {
    Recording recording;
    std::string problem = readRecording(bytes, recording);
    if (problem.empty())
        problem = piecesProblem(recording);
    if (!problem.empty()) {
        localComplain("cannot play " + named + ": " + problem);
        return 1;
    }
    std::string console = localProblem(ConsoleUse::Network);
    if (!console.empty()) {
        localComplain(console);
        return 1;
    }
    if (!localTake(ConsoleUse::Network))
        return 1;
    localScreen().setNames(recording.header.names[0], recording.header.names[1]);
    playRecording(recording, matchTitle(recording.header));
    localFinish();
    if (recording.cutShort)
        localComplain("the recording " + named + " was cut short; it played up to where it ends");
    else if (!recording.ended)
        localComplain("the recording " + named +
                      " ends before its match did (the game was stopped, or is still playing "
                      "it); it played up to where it ends");
    return 0;
}

} // namespace history
