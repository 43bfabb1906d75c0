// SPDX-License-Identifier: MIT
// What a room keeps of its match, and how it is found again: the names of
// the server's recordings by room and number, the paths of replays, the
// recorder writing what a watcher is sent, and the answer with its file.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "history/recording_file.hpp"
#include "record/disk.hpp"
#include "record/keeper.hpp"
#include "record/room_recordings.hpp"
#include "scratch_folder.hpp"
#include "server/replay_answer.hpp"
#include "server/room_recorder.hpp"

namespace {

TEST(RoomRecordings, ANameTellsItsRoomAndNumberExactly) {
    const struct {
        const char* name;
        const char* room;
        int number;
    } cases[] = {
        {"match-20261209-101500-77.abcd.3.rec", "abcd", 3},
        {"match-20261209-101500-77.a-b_c.1000000000.rec", "a-b_c", 1000000000},
        {"match-20261209-101500-77.xabcd.3.rec", "abcd", 0}, // another room's
        {"match-20261209-101500-77.b-abcd.3.rec", "abcd", 0},
        {"match-20261209-101500-77.abcd.03.rec", "abcd", 0},
        {"match-20261209-101500-77.abcd.0.rec", "abcd", 0},
        {"match-20261209-101500-77.abcd.1000000001.rec", "abcd", 0},
        {"match-20261209-101500-77.abcd.3.rec.part", "abcd", 0},
        {"match-20261209-101500-77.rec", "abcd", 0}, // a match of no room
        {"abcd.3.rec", "abcd", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.number, record::roomNumberOf(c.name, c.room)) << c.name;
    std::vector<std::string> names = {"match-1-1.abcd.2.rec", "match-2-1.abcd.9.rec",
                                      "match-3-1.other.40.rec", "match-4-1.rec"};
    EXPECT_EQ(std::tuple(10, 41, 1, std::string("match-2-1.abcd.9.rec"), std::string()),
              std::tuple(record::nextRoomNumber(names, "abcd"),
                         record::nextRoomNumber(names, "other"),
                         record::nextRoomNumber(names, "none"),
                         record::roomRecordingName(names, "abcd", 9),
                         record::roomRecordingName(names, "abcd", 40)));
}

TEST(RoomRecordings, AReplaysPathNamesItsMatchAndWhetherItsFileIsAsked) {
    const struct {
        const char* rest;
        int number;
        bool recording;
    } cases[] = {
        {"/replay/3", 3, false},      {"/replay/3/", 3, false},
        {"/replay/12.rec", 12, true}, {"/replay/1000000000", 1000000000, false},
        {"/replay/0", 0, false},      {"/replay/03.rec", 0, false},
        {"/replay/.rec", 0, false},   {"/replay/3.rec/", 0, false},
        {"/replay/3x", 0, false},     {"/replay/", 0, false},
        {"/play", 0, false},          {"/replay/1000000001", 0, false},
    };
    for (const auto& c : cases) {
        server::ReplayPath path = server::replayPathOf(c.rest);
        EXPECT_EQ(std::tuple(c.number, c.number > 0 && c.recording),
                  std::tuple(path.number, path.recording))
            << c.rest;
    }
}

// A room's recorder in a scratch folder, as the server makes them.
struct Recorders : ScratchFolder {
    server::KeepingAs keeping() const {
        return [folder = scratch] {
            return KeptAs{record::PlayMode::Guest, -1, folder, 1765270000, 7, "test",
                          "20261209-094640"};
        };
    }
    std::string recordingsFolder() const { return scratch + "/" + record::recordingsFolder; }
};

net::Picture pictureWith(char c) {
    net::Picture p;
    p[0].code = static_cast<unsigned char>(c);
    return p;
}

// What a watcher is sent, kept: the whole picture, the changes, the
// round's result and the end, each read back as a guest's recording.
TEST_F(Recorders, ARoomKeepsWhatItsWatchersAreSentUnderItsNextNumber) {
    server::RoomRecorder recorder(keeping(), "abcd");
    ASSERT_EQ(1, recorder.start("Åsa", ""));
    recorder.picture(pictureWith('a'), false, 1000);
    recorder.picture(pictureWith('a'), false, 1090); // nothing changed: nothing kept
    recorder.picture(pictureWith('b'), false, 1180);
    net::RoundOutcome outcome;
    outcome.winner = 1;
    outcome.matchOver = true;
    outcome.champion = 1;
    recorder.result(outcome, 1200);
    recorder.picture(pictureWith('c'), true, 1300);
    EXPECT_EQ(1, recorder.kept()) << recorder.warning();

    std::size_t bytes = 0;
    std::string response = server::replayRecordingResponse(scratch, "abcd", 1, bytes);
    ASSERT_EQ(0U, response.rfind("HTTP/1.1 200 OK", 0)) << response;
    std::string file = response.substr(response.size() - bytes);
    history::Recording recording;
    ASSERT_EQ("", history::readRecording(file, recording));
    std::vector<record::HeardMessage> heard = history::heardMessages(recording);
    using T = net::MessageType;
    std::vector<std::tuple<T, long long>> seen;
    seen.reserve(heard.size());
    for (const auto& m : heard)
        seen.emplace_back(m.type, m.afterMs);
    EXPECT_EQ((std::vector<std::tuple<T, long long>>{
                  {T::Picture, 0}, {T::Delta, 180}, {T::Result, 20}, {T::Delta, 100}, {T::End, 0}}),
              seen);
    EXPECT_EQ(std::tuple(true, 1, false, "Åsa", ""),
              std::tuple(recording.ended, recording.rounds, recording.cutShort,
                         recording.header.names[0], recording.header.names[1]));

    // The room's next matches take the next numbers from their start on,
    // before a picture is kept; another room's is its first.
    server::RoomRecorder second(keeping(), "abcd");
    server::RoomRecorder third(keeping(), "abcd");
    server::RoomRecorder other(keeping(), "efgh");
    int numbers[] = {second.start(), third.start(), other.start()}; // in this order
    EXPECT_EQ(std::vector<int>({2, 3, 1}),
              std::vector<int>(std::begin(numbers), std::end(numbers)));
    for (auto [room, number] :
         {std::tuple("abcd", 4), std::tuple("efgh", 9), std::tuple("xyz9", 1)})
        EXPECT_EQ(
            0U,
            server::replayRecordingResponse(scratch, room, number, bytes).rfind("HTTP/1.1 404", 0))
            << room << number;
    EXPECT_EQ(0U, server::replayRecordingResponse("", "abcd", 1, bytes).rfind("HTTP/1.1 404", 0));
}

// Nothing kept, nothing said: no folder, or one the disk will not make.
TEST_F(Recorders, ARoomThatCannotKeepItsMatchNamesNone) {
    EXPECT_EQ(0, server::RoomRecorder({}, "abcd").start());
    std::string error;
    ASSERT_TRUE(disk::appendWhole(recordingsFolder(), "not a folder", error)) << error;
    server::RoomRecorder recorder(keeping(), "abcd");
    EXPECT_EQ(0, recorder.start());
    recorder.picture(pictureWith('a'), true, 0);
    EXPECT_EQ(0, recorder.kept());
    EXPECT_NE("", recorder.warning());
}

} // namespace
