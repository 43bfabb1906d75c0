// SPDX-License-Identifier: MIT
// Whether a kept match of an older version shows here the match that was
// played.
#pragma once

#include <string>

#include "history/recording_file.hpp"

namespace history {

// Why `recording` would show another match here than the one played, ""
// when it shows that one: a match kept before the game dealt its own
// pieces took them from the C library of the system that played it, and
// another system's library deals others. Its first round, played here
// without a console, must end as it ended there.
std::string piecesProblem(const Recording& recording);

} // namespace history
