// SPDX-License-Identifier: MIT
// Keeps a match as it is played: its recording, a file of its own that
// grows by a record at its start, every few seconds of a round and at each
// round's end, and one line per round in the results log, which the
// statistics are read from. A crash or a kill at any moment loses at most
// the seconds of the round in play since its last piece of tape; the
// results log only ever gains whole records. Whatever the disk does, the
// game plays on: the first failure becomes one warning and ends the
// match's recording, while each later round still goes to the results log
// if the disk takes it.
#pragma once

#include <string>
#include <vector>

#include "record/log_records.hpp"
#include "record/results.hpp"
#include "record/tape.hpp"

namespace record {

// The files in the state folder.
constexpr const char* resultsName = "results";
constexpr const char* recordingsFolder = "recordings";
constexpr const char* recordingPrefix = "match-";
constexpr const char* recordingEnding = ".rec";
// Recordings beyond the newest this many, or beyond this many bytes in
// all, are removed when a match starts; the results log never is.
constexpr int keptRecordings = 500;
constexpr long long keptRecordingBytes = 50LL * 1024 * 1024;
// How often a round's tape goes to disk, in frames: about five seconds
// at the steady pace.
constexpr int tapeEveryFrames = 55;

class MatchKeeper {
public:
    // Keeps the match `setup` describes in `folder` (nothing when ""), with
    // `you` the board of this machine's player (-1 for none). `stamp` names
    // the recording: the match's start as YYYYMMDD-HHMMSS, and after it
    // `tag` when given (a server's room and its number, which find it again).
    // Without `resultsLog` its rounds go to the recording alone: a server's
    // rooms keep no statistics, which would only ever grow.
    MatchKeeper(std::string folder, const MatchSetup& setup, int you, const std::string& stamp,
                const std::string& tag = "", bool resultsLog = true);

    // The tape the round's reads go to.
    TapeWriter& tape() { return tape_; }
    // Called after each frame of play: the tape goes to disk every
    // tapeEveryFrames.
    void framePlayed();
    // The round ended: the rest of its tape and its result in the
    // recording, and its line in the results log.
    void roundEnded(const RoundResult& round, bool matchOver, int champion);
    // A match whose pictures come from elsewhere (a network guest's) keeps
    // what it was sent instead of a tape, in stretches of at most
    // maxPayload bytes each, all of them in one append; and its rounds'
    // ends as it learns them: the stretches before it and the result in
    // the recording (one append), its line in the results log (another).
    using Stretches = std::vector<std::string>;
    void keepHeard(const Stretches& stretches);
    void roundResult(const RoundResult& round, bool matchOver, int champion,
                     const Stretches& stretches = {});

    // The recording's path; "" when nothing is kept.
    const std::string& recordingPath() const { return recording_; }
    // The first thing that went wrong, for one warning; "" when nothing did.
    const std::string& warning() const { return warning_; }

private:
    bool append(const std::string& path, RecordKind kind, const std::string& payload);
    // Adds a record to `bytes`, for one append of them all; false, and
    // nothing kept from then on, for a payload no record holds.
    bool add(std::string& bytes, RecordKind kind, const std::string& payload);
    bool addHeard(std::string& bytes, const Stretches& stretches);
    bool write(const std::string& path, const std::string& bytes);
    void noteFailure(const std::string& error);
    void pruneRecordings();

    std::string folder_;
    std::string recording_;
    MatchSetup setup_;
    int you_;
    TapeWriter tape_;
    int framesUntaken_ = 0; // frames on the tape since it last went to disk
    bool resultsLog_;
    std::string warning_;
};

} // namespace record
