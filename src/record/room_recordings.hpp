// SPDX-License-Identifier: MIT
// A server keeps each room's matches among its recordings, named as every
// kept match is (by the start, so that pruning takes the oldest first),
// with the room and the match's number in the room after it:
// match-STAMP-ID.ROOM.N.rec. A room's name has no dot, so the tail names
// the room and its number exactly, and a replay link (/r/ROOM/replay/N)
// finds its file by it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace record {

// The tag a room's match is kept under, after the stamp: "ROOM.N".
std::string roomTag(std::string_view room, int number);
// The number of the match a recording's file name keeps for `room`; 0
// when it keeps none of that room's (another room's, none of a room, or a
// number out of its bounds).
int roomNumberOf(std::string_view fileName, std::string_view room);
// The number the next match of `room` takes among `fileNames`: one past
// the highest kept, so that a pruned file's number is not given again
// while newer ones of the room are kept.
int nextRoomNumber(const std::vector<std::string>& fileNames, std::string_view room);
// Of `fileNames`, the one that keeps match `number` of `room`; "" when
// none does.
std::string roomRecordingName(const std::vector<std::string>& fileNames, std::string_view room,
                              int number);

} // namespace record
