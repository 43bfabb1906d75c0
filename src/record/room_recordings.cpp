// SPDX-License-Identifier: MIT
#include "record/room_recordings.hpp"

#include <algorithm>

#include "net/protocol.hpp"
#include "net/room_road.hpp"
#include "record/keeper.hpp"

namespace record {

std::string roomTag(std::string_view room, int number) {
    std::string tag(room);
    tag += '.';
    tag += std::to_string(number);
    return tag;
}

int roomNumberOf(std::string_view fileName, std::string_view room) {
    std::string_view ending = recordingEnding;
    if (fileName.size() < ending.size() ||
        fileName.substr(fileName.size() - ending.size()) != ending)
        return 0;
    fileName.remove_suffix(ending.size());
    std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot < room.size() + 1)
        return 0;
    std::size_t roomAt = dot - room.size();
    if (fileName.substr(roomAt, room.size()) != room || fileName[roomAt - 1] != '.')
        return 0;
    return net::keptNumberOf(fileName.substr(dot + 1));
}

int nextRoomNumber(const std::vector<std::string>& fileNames, std::string_view room) {
    int highest = 0;
    for (const std::string& name : fileNames)
        highest = std::max(highest, roomNumberOf(name, room));
    return highest < net::maxKeptNumber ? highest + 1 : 0;
}

std::string roomRecordingName(const std::vector<std::string>& fileNames, std::string_view room,
                              int number) {
    for (const std::string& name : fileNames)
        if (number > 0 && roomNumberOf(name, room) == number)
            return name;
    return "";
}

} // namespace record
