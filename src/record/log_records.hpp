// SPDX-License-Identifier: MIT
// The records of the files the game keeps: recordings and the results log.
// A file only ever grows, by whole records appended at its end, so a crash
// can leave at most one record torn at the end, and two games appending to
// one file at the same moment each add whole records (one write each, in
// append mode).
//
// A record is two bytes of magic, its kind (a byte), the length of its
// payload (a number as varint.hpp writes it, at most maxPayload), the
// payload, and the CRC-32 of kind, length and payload (four bytes, low
// first). Reading checks all of it; a stretch that does not hold together
// is skipped up to the next record that does, and counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace record {

constexpr unsigned char recordMagic[2] = {0xB1, 0xD7};
constexpr std::size_t maxPayload = std::size_t{64} * 1024;
// A file larger than this is not read: nothing the game writes comes near.
constexpr std::size_t maxFileBytes = std::size_t{32} * 1024 * 1024;

enum class RecordKind : unsigned char {
    Header = 1,    // a recording's start: what was played, and how
    TapeChunk = 2, // the next stretch of a round's inputs
    RoundEnd = 3,  // a round's result; the round's tape is complete
    Result = 4,    // the results log: one round's result with its match
    Heard = 5,     // a network guest's recording: the next stretch of what its host sent
};

// Appends one whole record to `out`. A payload over maxPayload is refused
// (false, nothing appended): a record cut short would read back as a whole
// one that lies, so a writer with more splits it or gives up.
bool appendRecord(std::string& out, RecordKind kind, std::string_view payload);

struct Record {
    RecordKind kind;
    std::string_view payload; // into the bytes read
};

struct ReadRecords {
    std::vector<Record> records;  // the whole ones, in order
    std::size_t damagedBytes = 0; // skipped because they did not hold together
    bool cutShort = false;        // the bytes end inside a record
    bool tooMany = false;         // more than the reader's limit; the rest not read
};

// Every whole record in `bytes`, at most `limit` of them. A kind this
// version does not know is kept: the reader of the records decides.
ReadRecords readRecords(std::string_view bytes, std::size_t limit = SIZE_MAX);

} // namespace record
