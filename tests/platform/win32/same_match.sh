#!/bin/sh
# SPDX-License-Identifier: MIT
# The same match on Windows as on Linux: a seed draws the same pieces and
# penalty cells on both, and a match kept on one plays back on the other to
# the same last picture.
# - blockduel_draws_check under Wine: the Windows build's first thousand
#   draws of a fixed seed fold into the digest the Linux build drew;
# - a demo of one round (the computer on both boards, --first-to 1, so that
#   it ends by itself) kept by the Windows game under Wine, on a
#   pseudo-terminal that Wine takes for a console, in a state folder of its
#   own through %LOCALAPPDATA%; at the same time one kept by the POSIX game
#   on a pseudo-terminal, through XDG_STATE_HOME;
# - each recording played back headless by blockduel_final_picture, the
#   Windows one under Wine and the POSIX one: the two must print the same
#   picture, hash and ending, the match won by one of the boards, and the
#   last round as the playback ended it the same as the game kept it.
# Usage: tests/platform/win32/same_match.sh [Windows build, default build/windows]
#                                    [POSIX build, default build/release]
set -eu

root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
posix=$(cd "${2:-$root/build/release}" && pwd)
tag=same-match
. "$root/tests/platform/win32/wine.sh"
for exe in "$posix/blockduel" "$posix/blockduel_final_picture"; do
    [ -x "$exe" ] || fail "no $exe; build $posix first"
done
for exe in blockduel_draws_check blockduel_final_picture; do
    [ -f "$build/$exe.exe" ] || fail "no $build/$exe.exe; build $build first"
done

# The first Wine program also creates the prefix, which takes a while.
timeout 120 wine "$build/blockduel_draws_check.exe" </dev/null 2>"$work/draws.err" ||
    fail "draws: $(cat "$work/draws.err")"
wineDone
say "draws: the Windows build's pieces and penalty cells are the Linux build's"

# A demo whose rounds end by themselves: beginners on both boards, gravity
# quickening; a round takes about two minutes.
demo="--demo --first-to 1 --level 1,1 --speed-up"
limit=420
# onTerminal NAME COMMAND: the command on a pseudo-terminal of 80x25, its
# output in $work/NAME.tty; the time limit's process in $work/NAME.pid.
onTerminal() {
    TERM=xterm-256color timeout $limit script -qec "stty cols 80 rows 25; $2" /dev/null \
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
[ "$status" = 0 ] || fail "the Windows demo exits $status within $limit s"
wineDone
wait "$posixGame" || true
[ "$(cat "$work/posix.status")" = 0 ] || fail "the POSIX demo exits $(cat "$work/posix.status")"
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
    timeout 60 wine "$build/blockduel_final_picture.exe" "$(winepath -w "$rec" 2>/dev/null)" \
        </dev/null >"$work/$1.crlf" 2>"$work/$1.err" ||
        fail "the Windows tool on the $1 recording: $(cat "$work/$1.err")"
    tr -d '\r' <"$work/$1.crlf" >"$work/$1.windows"
    wineDone
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
