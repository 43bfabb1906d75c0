// SPDX-License-Identifier: MIT
// --stats: what the kept matches add up to, for a person (a table) or for
// a script (--json), from the results log in the state folder.
#pragma once

#include <cstdio>
#include <string>

namespace history {

// Prints the figures to `out`, and to `errors` what went wrong with the
// log; the exit status.
int printStats(const std::string& folder, bool json, std::FILE* out, std::FILE* errors);

} // namespace history
