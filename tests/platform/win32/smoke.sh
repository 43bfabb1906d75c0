#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the Windows build under Wine: the command line and the kept matches;
# the console probe on a pseudo-terminal, which Wine takes for a console; the
# sockets' share of a flood; then games in console windows on a private Xvfb
# display, where the key-state queries see what xdotool holds down: keys at
# the prompt, two at one keyboard, against the computer, and a demo.
# Usage: tests/platform/win32/smoke.sh [build directory, default build/windows]
set -eu

root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
tag=smoke
. "$root/tests/platform/win32/wine.sh"

# expectRun STATUS FILE PATTERN ARGS...: the game, with its output going to
# files out and err, must exit with STATUS and print PATTERN to FILE.
expectRun() {
    want=$1 file=$2 pattern=$3 status=0
    shift 3
    timeout 120 wine "$game" "$@" </dev/null >"$work/out" 2>"$work/err" || status=$?
    if [ "$status" -ne "$want" ] || ! grep -q -- "$pattern" "$work/$file"; then
        fail "blockduel $* exits $status, printing: $(cat "$work/out" "$work/err")"
    fi
}

# The first run also creates the Wine prefix, which takes a while.
expectRun 0 out '^blockduel [0-9]' --version
expectRun 2 err "unknown option '--bogus'" --bogus
expectRun 1 err 'standard output is not a console'
[ ! -s "$work/out" ] || fail "the game wrote to a file: $(cat "$work/out")"
say "command line: --version, bad argument, output to a file"

# The kept matches, in the Wine user's %LOCALAPPDATA% (Wine sets it for
# every program it starts): none yet; then a results log torn by a crash,
# as the POSIX build writes it (the same bytes on every system), set aside
# whole with a warning and its rounds counted.
appData=$(winepath -u "$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')" 2>/dev/null)
[ -d "$appData" ] || fail "no %LOCALAPPDATA% folder under Wine"
rm -rf "$appData/blockduel"
expectRun 0 out 'No matches recorded yet' --stats
expectRun 1 err 'no match has been kept yet' --replay last
mkdir -p "$appData/blockduel"
cp "$root/fuzz/corpus/record_reader/results-log-with-a-torn-record" "$appData/blockduel/results"
expectRun 0 err 'was damaged; it is kept as .*results.damaged-1' --stats
grep -q '^--computer *3 *1 ' "$work/out" || fail "--stats did not count the log: $(cat "$work/out")"
[ -f "$appData/blockduel/results.damaged-1" ] || fail "the damaged log was not set aside"
expectRun 0 out '^--computer *3 *1 ' --stats
[ ! -s "$work/err" ] || fail "the warning came twice: $(cat "$work/err")"
rm -rf "$appData/blockduel"
say "kept matches: none yet, a damaged results log set aside once and counted"

script -qec "timeout 60 wine '$check' probe 2>'$work/probe.err'" /dev/null </dev/null >/dev/null ||
    fail "console probe: $(cat "$work/probe.err")"
wineDone
say "console probe: glyphs 178 and 219 and colours read back, code page restored"

built "$build/blockduel_socket_check.exe"
underWine 60 "socket check" "$build/blockduel_socket_check.exe"
say "sockets: a flood of connections taken a share a wait, and all in the end"

startDisplay

# endsAtPrompt ROW: the prompt on that row with nothing after it, however
# long it waits, until Enter ends the game with status 0.
prompt=$(printf '%-80s' 'Kilepeshez nyomjon ENTER-t')
promptOn() { waiting && readConsole 1 && area 0 "$1" 80 | grep -q '^Kilepeshez nyomjon ENTER-t'; }
endsAtPrompt() {
    waitFor 30 "the prompt on row $1" promptOn "$1"
    sleep 1
    readConsole 1 || fail "cannot read the console at the prompt: $(cat "$work/reader.err")"
    [ "$(area 0 "$1" 80)" = "$prompt" ] || fail "more than the prompt on row $1"
    waiting
    xdotool key Return
    exitsWith 0 Enter
}

bothAtLeftWalls() {
    readConsole 5 || return 1
    for ox in 0 30; do atLeftWall $ox && touch "$work/wall$ox"; done
    [ -f "$work/wall0" ] && [ -f "$work/wall30" ]
}
gameOver() { waiting && readConsole 1 && [ "$(area 0 16 9)" = 'Game Over' ]; }

startGame
waitFor 30 "both boards and their previews in the console window" boardsShown
if atLeftWall 0 || atLeftWall 30; then fail "a piece at a left wall before any key"; fi
xdotool keydown Left keydown a
waitFor 30 "pieces of both players at their left walls while Left and A are held" bothAtLeftWalls
xdotool keyup a keyup Left
# Typed during play, and no answer to the prompt to come: none of it may
# show after the prompt, and the Enter must not end the wait.
xdotool type --delay 30 xyz
xdotool key Return
xdotool keydown Down
waitFor 120 '"Game Over" while Down is held' gameOver
xdotool keyup Down
endsAtPrompt 17
say "keys: Left and A held together, typing during play not echoed, Down to Game Over, Enter"

# A fresh round: no result on the line, only the round's number and the tally.
freshRound() { shows 10 16 'Round 2 ' && [ -z "$(area 0 16 10 | tr -d ' ')" ]; }

startGame --match
waitFor 30 "both boards of the match" boardsShown
xdotool keydown Down
waitFor 120 "player one losing the round" shows 12 16 'Player two wins this round. Match: 0-1'
xdotool keyup Down
waitFor 10 "what comes next" shows 0 17 'Enter: next round. Escape: leave.'
xdotool key Return
waitFor 30 "a fresh round after Enter" freshRound
leavesAtEscape Escape
say "match: Down to a lost round, its result and the tally, Enter, a fresh round, Escape"

startGame --computer
waitFor 30 "the person's and the computer's labels" shows 21 8 'You'
waitFor 10 "play after the countdown" shows 0 17 'P pauses.'
xdotool key p
waitFor 10 "the pause" shows 0 17 'Paused. P resumes, Escape leaves.'
leavesAtEscape Escape
say "computer: labels, P pauses, Escape"

# The demo: the computer plays both boards. Pieces left alone rest only in
# board columns 3..6; cells further right on both boards are its steering.
steered() { readConsole 1 && area 8 0 11 13 | grep -q @ && area 38 0 11 13 | grep -q @; }
startGame --demo --level 5
waitFor 60 "demo: pieces steered right of column 7 on both boards" steered
leavesAtEscape Escape
say "demo: the computer steering on both boards, Escape"
say "passed in $(($(date +%s) - started)) s"
