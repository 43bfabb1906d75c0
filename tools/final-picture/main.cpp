// SPDX-License-Identifier: MIT
// Plays a kept match back headless, as fast as it goes, and prints its
// last picture: the cells as text (the dark shade as '#', the full block
// as '@', any other code outside printable ASCII as '?'), a line with a
// hash of every cell's code and colour, how the match ended, and its last
// round as the playback ended it beside the same round as the recording
// kept it when the match was played: the two agree when the playback is
// true to the match (for one that ended in or with a round). Built for
// Linux and for Windows, so that the Wine check can require a match kept
// on one system to end in the same picture when played on the other.
// No console and no clock: the tape answers every read, and a key of this
// keyboard is never pressed.
//
// Usage: blockduel_final_picture FILE. Exits 0 with the picture, 1 when the
// file cannot be read or played (a network guest's holds no tape), 2 on a
// wrong command line; says on standard error when the recording ends
// before its match did.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "display/layout.hpp"
#include "fnv1a.hpp"
#include "game/keeping.hpp"
#include "game/match.hpp"
#include "game/reads.hpp"
#include "game/recording.hpp"
#include "history/recording_file.hpp"
#include "record/disk.hpp"
#include "record/log_records.hpp"
#include "record/results.hpp"
#include "text/printable.hpp"

namespace {

// The outside of a playback that nobody watches: the tape answers for it.
class NobodyHere final : public Outside {
public:
    bool keyPressed(int /*virtualKey*/) override { return false; }
    long long clockSeconds() override { return 0; }
};

// A match takes a step at each frame's end and at each wait: about 22 a
// second in play, 20 while it holds still. A tape's run may stand for 2^40
// answers, so a file of a few bytes could ask for years of play: past a
// week at 40 steps a second it is refused rather than played for hours.
constexpr long long stepLimit = 40LL * 60 * 60 * 24 * 7;

char shown(unsigned char code) {
    if (code == 178)
        return '#';
    if (code == 219)
        return '@';
    return code >= 32 && code < 127 ? static_cast<char>(code) : '?';
}

void printPicture(const ScreenBuffer& screen) {
    Fnv1a hash;
    for (int y = 0; y < pictureRows; ++y) {
        std::string row;
        for (int x = 0; x < pictureColumns; ++x) {
            const Cell& cell = screen.cell(x, y);
            row += shown(cell.code);
            hash.fold(cell.code);
            hash.fold(static_cast<unsigned short>(cell.attr));
        }
        std::printf("%s\n", row.c_str());
    }
    std::printf("cells %016llx\n", static_cast<unsigned long long>(hash.value()));
}

// The round that the recording's last round's end keeps.
std::optional<record::RoundResult> keptLastRound(std::string_view bytes) {
    std::optional<record::RoundResult> last;
    for (const record::Record& r : record::readRecords(bytes, history::recordingRecords).records)
        if (r.kind == record::RecordKind::RoundEnd)
            last = record::decodeRound(r.payload);
    return last;
}

void printRound(const char* as, const record::RoundResult& r) {
    std::printf("%s round %d: winner %d, scores %d-%d, rows %d-%d, frames %lld, seconds %lld\n", as,
                r.round, r.winner, r.score[0], r.score[1], r.rows[0], r.rows[1], r.frames,
                r.seconds);
}

int complain(const std::string& message) {
    std::fprintf(stderr, "blockduel_final_picture: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: blockduel_final_picture RECORDING\n");
        return 2;
    }
    std::string path = argv[1];
    std::string bytes;
    std::string error;
    if (!disk::readWhole(path, record::maxFileBytes, bytes, error, disk::NamedBy::User))
        return complain(error);
    history::Recording recording;
    std::string problem = history::readRecording(bytes, recording);
    if (!problem.empty())
        return complain("cannot play " + printablePath(path) + ": " + problem);
    if (recording.header.mode == record::PlayMode::Guest)
        return complain(printablePath(path) + " is a network guest's: it holds its host's "
                                              "pictures, not a tape to play");
    TapePlayer player(recording.tape);
    GameSetup setup = replayedSetup(recording.header);
    seedGenerators(setup);
    NobodyHere nobody;
    SteppedMatch match(setup, nobody, &player);
    long long steps = 0;
    while (match.advance().kind != MatchStep::Kind::Over)
        if (++steps > stepLimit)
            return complain(printablePath(path) + " asks for more steps than a match can take");
    printPicture(match.screen());
    const Match& ended = match.match();
    std::printf("round %d, tally %d-%d, champion %d\n", ended.round, ended.wins[0], ended.wins[1],
                ended.champion);
    printRound("played", ended.result);
    if (std::optional<record::RoundResult> kept = keptLastRound(bytes))
        printRound("kept", *kept);
    if (recording.cutShort || !recording.ended || player.ended())
        std::fprintf(stderr, "blockduel_final_picture: %s ends before its match did\n",
                     printablePath(path).c_str());
    return 0;
}
