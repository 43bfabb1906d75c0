// SPDX-License-Identifier: MIT
#include "server/replay_answer.hpp"

#include "net/room_road.hpp"
#include "net/web_answer.hpp"
#include "record/disk.hpp"
#include "record/keeper.hpp"
#include "record/log_records.hpp"
#include "record/room_recordings.hpp"

namespace server {

ReplayPath replayPathOf(std::string_view rest) {
    using net::recordingSuffix;
    if (rest.substr(0, net::replayPath.size()) != net::replayPath)
        return {};
    std::string_view number = rest.substr(net::replayPath.size());
    ReplayPath path;
    if (number.size() > recordingSuffix.size() &&
        number.substr(number.size() - recordingSuffix.size()) == recordingSuffix) {
        path.recording = true;
        number.remove_suffix(recordingSuffix.size());
    } else if (!number.empty() && number.back() == '/') {
        number.remove_suffix(1);
    }
    path.number = net::keptNumberOf(number);
    return path.number > 0 ? path : ReplayPath{};
}

std::string replayRecordingResponse(const std::string& folder, std::string_view room, int number,
                                    std::size_t& bytes) {
    bytes = 0;
    std::string notFound = net::httpResponse("404 Not Found", "", "text/plain; charset=utf-8",
                                             "404 Not Found: no such match is kept\n");
    if (folder.empty())
        return notFound;
    std::string recordings = folder + disk::folderSeparator() + record::recordingsFolder;
    std::string name = record::roomRecordingName(
        disk::filesIn(recordings, record::recordingPrefix, record::recordingEnding), room, number);
    std::string recording;
    std::string error;
    if (name.empty() || !disk::readWhole(recordings + disk::folderSeparator() + name,
                                         record::maxFileBytes, recording, error))
        return notFound;
    bytes = recording.size();
    return net::httpResponse("200 OK", "", "application/octet-stream", recording);
}

} // namespace server
