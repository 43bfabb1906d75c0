// SPDX-License-Identifier: MIT
#include "history/stats_command.hpp"

#include "computer/level.hpp"
#include "record/results_log.hpp"
#include "record/stats.hpp"

namespace history {

int printStats(const std::string& folder, bool json, std::FILE* out, std::FILE* errors) {
    if (folder.empty()) {
        std::fputs("blockduel: no folder for the kept matches: set HOME or XDG_STATE_HOME\n",
                   errors);
        return 1;
    }
    record::ResultsRead read = record::readResults(folder);
    if (!read.warning.empty())
        std::fprintf(errors, "blockduel: %s\n", read.warning.c_str());
    record::Stats stats = record::addUp(read.entries, computerMaxLevel);
    std::string text = json ? record::statsJson(stats) : record::statsTable(stats);
    return std::fputs(text.c_str(), out) < 0 || std::fflush(out) != 0 ? 1 : 0;
}

} // namespace history
