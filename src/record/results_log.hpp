// SPDX-License-Identifier: MIT
// Reading the results log back, for the statistics and for what a round
// against the computer may add to its result line. Nothing in it is
// trusted: every record and every field is checked. A log that does not
// read whole (a record torn by a crash, a changed byte, a line of a version
// this game does not know) is set aside under a new name, so that nothing
// of it is lost, and a log of the lines that do read takes its place; a
// warning says so, once. The new log is written before the old one moves:
// when the disk cannot take it, the old one stays, and is read the same
// way next time.
#pragma once

#include <string>
#include <vector>

#include "record/results.hpp"

namespace record {

struct ResultsRead {
    std::vector<ResultEntry> entries;
    std::string warning; // "" when the log read whole, or there was none
};

ResultsRead readResults(const std::string& folder);

} // namespace record
