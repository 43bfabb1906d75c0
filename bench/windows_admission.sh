#!/bin/sh
# SPDX-License-Identifier: MIT
# The door's figures against the Windows host: blockduel_admission_figures
# runs the Windows build under Wine, in a console window on a private Xvfb
# display and a Wine prefix of its own (as the Wine tests do), and reads
# its console with the Windows build's console reader.
# Usage: bench/windows_admission.sh [Windows build, default build/windows]
#            [the figures program, default build/release/blockduel_admission_figures]
#            [its options: --seconds S --settle S --only TEXT ...]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
figures=${2:-$root/build/release/blockduel_admission_figures}
[ $# -lt 2 ] || shift 2
[ $# -ne 1 ] || shift 1
tag=windows-door
. "$root/tests/platform/win32/wine.sh"
[ -x "$figures" ] || fail "no figures program at $figures; build it first"

# The first run creates the Wine prefix, which takes a while.
wine "$game" --version >/dev/null 2>&1 || fail "the game does not run under Wine"
wineDone
startDisplay
"$figures" "$game" --wine "$check" --label "Windows, Wine $(wine --version | sed 's/^wine-//')" "$@"
