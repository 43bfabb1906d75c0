// SPDX-License-Identifier: MIT
// The records of the game's files: whole ones read back, torn and damaged
// ones told apart, and the reading goes on behind damage.
#include "record/log_records.hpp"

#include <gtest/gtest.h>

#include "record/checksum.hpp"
#include "record/varint.hpp"

namespace record {
namespace {

TEST(Checksum, IsTheCrc32OfZlibAndPng) {
    EXPECT_EQ(crc32("123456789"), 0xCBF43926U);
    EXPECT_EQ(crc32(""), 0U);
}

TEST(Numbers, ReadBackAndRefuseWhatRunsPastTheEndOrSixtyFourBitsOrIsPadded) {
    std::string out;
    const std::uint64_t values[] = {0, 1, 127, 128, 300, 1ULL << 35, ~0ULL};
    for (std::uint64_t v : values)
        appendNumber(out, v);
    const std::int64_t signedValues[] = {0, -1, 1, -64, 64, INT64_MIN, INT64_MAX};
    for (std::int64_t v : signedValues)
        appendSigned(out, v);
    NumberReader in(out);
    for (std::uint64_t v : values) {
        std::uint64_t read = 0;
        ASSERT_TRUE(in.number(read));
        EXPECT_EQ(read, v);
    }
    for (std::int64_t v : signedValues) {
        std::int64_t read = 0;
        ASSERT_TRUE(in.signedNumber(read));
        EXPECT_EQ(read, v);
    }
    EXPECT_TRUE(in.atEnd());

    const std::pair<std::string, const char*> refused[] = {
        {"\x80\x80", "a number that runs past the end"},
        {std::string(10, '\xFF') + '\x01', "more than ten bytes"},
        {std::string(9, '\xFF') + '\x02', "a 65th bit"},
        {std::string("\x81\x00", 2), "1 in two bytes"},
    };
    for (const auto& [bytes, what] : refused) {
        std::uint64_t read = 0;
        NumberReader refusing(bytes);
        EXPECT_FALSE(refusing.number(read)) << what;
    }
    int bounded = 0;
    NumberReader big("\x80\x01"); // 128
    EXPECT_FALSE(big.bounded(127, bounded));
    EXPECT_TRUE(big.bounded(128, bounded));
    EXPECT_EQ(bounded, 128);
}

const std::pair<RecordKind, std::string> written[] = {
    {RecordKind::Header, "first"},
    {RecordKind::TapeChunk, std::string(300, 'x')}, // a two-byte length
    {RecordKind::RoundEnd, ""}};

std::string threeRecords() {
    std::string file;
    for (const auto& [kind, payload] : written)
        appendRecord(file, kind, payload);
    return file;
}

// A crash leaves the file cut anywhere: every record before the cut is read
// back as written, nothing is called damaged, and the cut is told.
TEST(Records, AFileCutAtAnyByteKeepsTheRecordsBeforeTheCut) {
    std::string file = threeRecords();
    std::size_t ends[3] = {};
    std::size_t whole = 0;
    for (std::size_t n = 0; n < 3; ++n) {
        whole += 2 + 1 + (n == 1 ? 2 : 1) + written[n].second.size() + 4;
        ends[n] = whole;
    }
    ASSERT_EQ(ends[2], file.size());
    for (std::size_t cut = 0; cut <= file.size(); ++cut) {
        ReadRecords read = readRecords(std::string_view(file).substr(0, cut));
        std::size_t expected = (cut >= ends[0]) + (cut >= ends[1]) + (cut >= ends[2]);
        ASSERT_EQ(read.records.size(), expected) << "cut at " << cut;
        for (std::size_t n = 0; n < expected; ++n) {
            EXPECT_EQ(read.records[n].kind, written[n].first) << "cut at " << cut;
            EXPECT_EQ(read.records[n].payload, written[n].second) << "cut at " << cut;
        }
        bool atBoundary = cut == 0 || cut == ends[0] || cut == ends[1] || cut == ends[2];
        EXPECT_EQ(read.cutShort, !atBoundary) << "cut at " << cut;
        EXPECT_EQ(read.damagedBytes, 0U) << "cut at " << cut;
    }
}

// A changed byte anywhere costs the record that holds it, no more: the
// records after it are found again.
TEST(Records, AChangedByteCostsOnlyItsOwnRecord) {
    std::string file = threeRecords();
    std::size_t firstEnd = 2 + 1 + 1 + 5 + 4;
    for (std::size_t at = 0; at < firstEnd; ++at) {
        std::string damaged = file;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x20);
        ReadRecords read = readRecords(damaged);
        ASSERT_EQ(read.records.size(), 2U) << "byte " << at;
        EXPECT_EQ(read.records[0].kind, RecordKind::TapeChunk);
        EXPECT_EQ(read.damagedBytes, firstEnd) << "byte " << at;
        EXPECT_FALSE(read.cutShort);
    }
}

// Two games appending at once, with a torn record of a third between them.
TEST(Records, ReadingGoesOnBehindATornRecord) {
    std::string torn;
    appendRecord(torn, RecordKind::Result, "torn by a crash");
    std::string file;
    appendRecord(file, RecordKind::Result, "one");
    file += torn.substr(0, torn.size() - 3);
    appendRecord(file, RecordKind::Result, "two");
    ReadRecords read = readRecords(file);
    ASSERT_EQ(read.records.size(), 2U);
    EXPECT_EQ(read.records[1].payload, "two");
    EXPECT_EQ(read.damagedBytes, torn.size() - 3);
    EXPECT_FALSE(read.cutShort);
}

TEST(Records, NothingOverItsBoundsIsTaken) {
    std::string big = "before";
    EXPECT_FALSE(appendRecord(big, RecordKind::TapeChunk, std::string(maxPayload + 1, 'y')));
    EXPECT_EQ(big, "before") << "a payload over the bound is refused, not cut to it";
    ASSERT_TRUE(appendRecord(big, RecordKind::TapeChunk, std::string(maxPayload, 'y')));
    ReadRecords read = readRecords(big);
    ASSERT_EQ(read.records.size(), 1U);
    EXPECT_EQ(read.records[0].payload.size(), maxPayload);

    // A length over the bound, with a checksum to match, is still refused.
    std::string checked;
    checked += static_cast<char>(RecordKind::TapeChunk);
    appendNumber(checked, maxPayload + 1);
    checked += std::string(maxPayload + 1, 'z');
    std::string forged = "\xB1\xD7" + checked;
    std::uint32_t crc = crc32(checked);
    for (int i = 0; i < 4; ++i)
        forged += static_cast<char>((crc >> (8 * i)) & 0xFF);
    read = readRecords(forged);
    EXPECT_TRUE(read.records.empty());
    EXPECT_EQ(read.damagedBytes, forged.size());
}

} // namespace
} // namespace record
