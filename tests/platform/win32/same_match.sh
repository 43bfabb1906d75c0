#!/bin/sh
# SPDX-License-Identifier: MIT
# The same match on Windows as on Linux: a seed draws the same pieces and
# penalty cells on both (blockduel_draws_check), and a demo of one round
# kept by each build, on a pseudo-terminal that Wine takes for a console,
# plays back on both (blockduel_final_picture) to the same picture, hash
# and ending: the match won, and its last round as the game kept it.
# Usage: tests/platform/win32/same_match.sh [Windows build, default build/windows]
#                                    [POSIX build, default build/release]
set -eu

root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
posix=$(cd "${2:-$root/build/release}" && pwd)
tag=same-match
. "$root/tests/platform/win32/wine.sh"
built "$posix/blockduel" "$posix/blockduel_final_picture" "$build/blockduel_draws_check.exe" \
    "$build/blockduel_final_picture.exe"
underWine 120 draws "$build/blockduel_draws_check.exe"
say "draws: the Windows build's pieces and penalty cells are the Linux build's"

# A demo whose rounds end by themselves: beginners on both boards, gravity
# quickening; a round takes about two minutes.
demo="--demo --first-to 1 --level 1,1 --speed-up"
demoSeconds=420
# onTerminal NAME COMMAND: the command on a pseudo-terminal of 80x25, its
# output in $work/NAME.tty; the time limit's process in $work/NAME.pid.
onTerminal() {
    TERM=xterm-256color timeout $demoSeconds script -qec "stty cols 80 rows 25; $2" /dev/null \
        </dev/null >"$work/$1.tty" 2>&1 &
    echo $! >"$work/$1.pid"
    wait $!
}

mkdir "$work/posix-state" "$work/windows-state"
XDG_STATE_HOME="$work/posix-state" inBackground "$work/posix.status" \
    onTerminal posix "'$posix/blockduel' $demo"
posixGame=$!
# shellcheck disable=SC2016 # expanded when the trap runs
cleanup='[ ! -s "$work/posix.pid" ] || kill "$(cat "$work/posix.pid")" 2>/dev/null'

# cmd sets the folder for the game: Wine puts its own %LOCALAPPDATA% in
# place of one from the environment it is started with.
cat >"$work/keep.bat" <<EOF
@set LOCALAPPDATA=$(winepath -w "$work/windows-state" 2>/dev/null)
@"$(winepath -w "$build/blockduel.exe" 2>/dev/null)" $demo
EOF
status=0
onTerminal windows "wine cmd /c '$(winepath -w "$work/keep.bat" 2>/dev/null)'" || status=$?
[ "$status" = 0 ] || fail "the Windows demo exits $status within $demoSeconds s"
wineDone
wait "$posixGame" || true
endsWith "$work/posix.status" 0 "the POSIX demo"
say "kept: a demo of one round by each build, in $(($(date +%s) - started)) s so far"

# recordingIn STATE: the one recording the game kept there, as $rec.
recordingIn() {
    set -- "$1"/blockduel/recordings/*.rec
    if [ $# != 1 ] || [ ! -f "$1" ]; then fail "not one recording in $(dirname "$1"): $*"; fi
    rec=$1
}

# playedOnBoth NAME STATE: the recording played back by both builds' tools.
playedOnBoth() {
    recordingIn "$2"
    "$posix/blockduel_final_picture" "$rec" >"$work/$1.posix" 2>"$work/$1.err" ||
        fail "the POSIX tool on the $1 recording: $(cat "$work/$1.err")"
    underWine 60 "the Windows tool on the $1 recording" "$build/blockduel_final_picture.exe" \
        "$(winepath -w "$rec" 2>/dev/null)"
    tr -d '\r' <"$work/out" >"$work/$1.windows"
    cmp -s "$work/$1.posix" "$work/$1.windows" ||
        fail "the $1 recording ends otherwise on the two builds:
$(diff "$work/$1.posix" "$work/$1.windows")"
    if ! grep -q '^Player \(one\|two\) wins the match [01]-[01] *$' "$work/$1.posix" ||
        ! grep -q '^round 1, tally [01]-[01], champion [01]$' "$work/$1.posix"; then
        fail "the $1 recording does not end with its round won:
$(cat "$work/$1.posix")"
    fi
    played=$(sed -n 's/^played //p' "$work/$1.posix")
    kept=$(sed -n 's/^kept //p' "$work/$1.posix")
    if [ -z "$played" ] || [ "$played" != "$kept" ]; then
        fail "the $1 recording's playback ends its round as $played, the game kept $kept"
    fi
    say "the $1 recording on both builds: $(grep '^cells ' "$work/$1.posix"), $played"
}
playedOnBoth windows "$work/windows-state"
playedOnBoth posix "$work/posix-state"
say "passed in $(($(date +%s) - started)) s"
