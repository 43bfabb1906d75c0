#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the Windows build under Wine: the command line, the console probe, and
# two whole games. The first runs in a detached 80x25 tmux pane, where with no
# display Wine reports every key as up, so the game plays itself out until a
# stack reaches the top; then Enter must end it with exit status 0. The second
# runs in a console window on a private Xvfb display, where xdotool holds keys
# for both players at once and presses Escape and Enter.
# Usage: tests/windows/smoke.sh [build directory, default build/windows]
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
game=$build/blockduel.exe
probe=$build/blockduel_console_probe.exe
reader=$build/blockduel_console_reader.exe
for exe in "$game" "$probe" "$reader"; do
    [ -f "$exe" ] || { echo "smoke: build $build first" >&2; exit 1; }
done
for tool in Xvfb xdotool; do
    command -v $tool >/dev/null || { echo "smoke: no $tool; run scripts/install-deps" >&2; exit 1; }
done

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY TMUX
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
started=$(date +%s)

# Only this prefix's Wine server and this socket's tmux server are ours.
tm() { tmux -S "$work/tmux" "$@"; }
xvfb=""
trap 'set +e; tm kill-server 2>/dev/null; "$wineserver" -k 2>/dev/null
      [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

say() { echo "smoke: $*"; }

fail() {
    echo "smoke: FAIL: $*" >&2
    tm capture-pane -p -t game 2>/dev/null | sed 's/^/  | /' >&2 || true
    # The console window's game: the reader's last read.
    [ ! -s "$work/reads" ] || tail -n 26 "$work/reads" | head -n 25 | sed 's/^/  | /' >&2
    exit 1
}

# waitFor SECONDS WHAT COMMAND...: polls the command until it succeeds.
waitFor() {
    limit=$(($(date +%s) + $1)) what=$2
    shift 2
    until "$@"; do
        [ "$(date +%s)" -lt "$limit" ] || fail "no $what within the time limit"
        sleep 0.5
    done
    say "seen: $what"
}

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
expectRun 0 out '^Usage: blockduel' --help
expectRun 2 err "unexpected argument '--bogus'" --bogus
expectRun 1 err 'standard output is not a console'
[ ! -s "$work/out" ] || fail "the game wrote to a file: $(cat "$work/out")"
say "command line: --version, --help, bad argument, output to a file"

# runInPane NAME EXE: the program in a fresh 80x25 pane, status in $work/NAME.status.
runInPane() {
    tm new-session -d -s "$1" -x 80 -y 25 "wine '$2' 2>'$work/$1.err'; echo \$? >'$work/$1.status'"
}
exited() { [ -s "$work/$1.status" ]; }
paneClosed() { ! tm has-session -t "$1" 2>/dev/null; }

runInPane probe "$probe"
waitFor 60 "end of the console probe" exited probe
waitFor 10 "close of its pane" paneClosed probe
[ "$(cat "$work/probe.status")" = 0 ] || fail "console probe: $(cat "$work/probe.err")"
say "console probe: glyphs 178 and 219 and colours read back, code page restored"

# The game's pane into $work/screen, ▓ as # and █ as @: one byte a cell.
capture() { tm capture-pane -p -t game | sed 's/▓/#/g; s/█/@/g' >"$work/screen"; }

# area X Y WIDTH [HEIGHT]: that rectangle of the last capture.
area() { sed -n "$(($2 + 1)),$(($2 + ${4:-1}))p" "$work/screen" | cut -c $(($1 + 1))-$(($1 + $3)); }

# Board OX: the walls (its columns 0 and 19) and the floor (its row 13) as ▓.
boardDrawn() {
    [ "$(area "$1" 0 20 14 | cut -c 1,20 | tr -d '\n')" = "$(printf '#%.0s' $(seq 28))" ] &&
        [ "$(area "$1" 13 20)" = '####################' ]
}

# True once each board has shown a piece near its top and, then or later,
# one on its floor, and both show a piece under "Next:" beside them.
piecesFell() {
    capture
    for ox in 0 30; do
        area $((ox + 1)) 0 18 4 | grep -q @ && touch "$work/top$ox"
        [ -f "$work/top$ox" ] && area $((ox + 1)) 12 18 | grep -q @ && touch "$work/floor$ox"
    done
    [ -f "$work/floor0" ] && [ -f "$work/floor30" ] && previewShown 0 && previewShown 30
}
previewShown() { [ "$(area $(($1 + 21)) 0 5)" = Next: ] && area $(($1 + 21)) 2 5 5 | grep -q @; }
bothBoardsDrawn() { capture && boardDrawn 0 && boardDrawn 30; }
gameOver() { capture && [ "$(area 0 16 9)" = 'Game Over' ]; }

runInPane game "$game"
waitFor 60 "both boards with walls and floor as ▓" bothBoardsDrawn
waitFor 120 "pieces falling to the floor of both boards; Next: previews" piecesFell
waitFor 240 '"Game Over" at (0, 16)' gameOver
[ "$(area 0 17 26)" = 'Kilepeshez nyomjon ENTER-t' ] || fail "no prompt on row 17"
! exited game || fail "the game ended before Enter was pressed"
tm send-keys -t game Enter
waitFor 30 "exit after Enter" exited game
[ "$(cat "$work/game.status")" = 0 ] || fail "the game exits $(cat "$work/game.status") after Enter"
timeout 60 "$wineserver" -w || fail "the Wine server did not finish"
say "self-played game: boards, falling pieces, previews, Game Over, prompt, Enter"

# The keyboard: the game in a console window that Wine draws on a private X
# display, where the key-state queries see what xdotool holds down.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
displayReady() {
    [ -s "$work/display" ] && return 0
    kill -0 "$xvfb" 2>/dev/null || fail "Xvfb ended: $(cat "$work/xvfb.log")"
    return 1
}
waitFor 30 "a free X display from Xvfb" displayReady
DISPLAY=:$(cat "$work/display")
export DISPLAY

(
    wine wineconsole "$game" 2>"$work/keys.err"
    echo $? >"$work/keys.status"
) &

# readConsole N: N reads of the game's console, 40 ms apart, into $work/reads,
# which keeps the last reads that worked for a failure to show.
readConsole() {
    timeout 20 wine "$reader" blockduel.exe "$1" 40 >"$work/read" 2>"$work/reader.err" &&
        mv "$work/read" "$work/reads"
}

# row READ Y: that row of that read (the first is 0), 80 characters.
row() { sed -n "$(($1 * 26 + $2 + 1))p" "$work/reads"; }

# atLeftWall OX: a read shows a piece cell in board OX's column 1, rows 0 to 12.
atLeftWall() {
    awk -v x=$(($1 + 2)) '$0 == "--" { r = 0; next }
        r++ < 13 && substr($0, x, 1) == "@" { found = 1 } END { exit !found }' "$work/reads"
}

findWindow() {
    ! exited keys || fail "the console window closed at once: $(cat "$work/keys.err")"
    window=$(xdotool search --name 'blockduel\.exe$' 2>/dev/null | head -n 1) && [ -n "$window" ]
}
floor=$(printf '#%.0s' $(seq 20))
floors="$floor          $floor"
boardsInWindow() { readConsole 1 && [ "$(row 0 13 | cut -c 1-50)" = "$floors" ]; }
bothAtLeftWalls() {
    readConsole 5 || return 1
    for ox in 0 30; do atLeftWall $ox && touch "$work/wall$ox"; done
    [ -f "$work/wall0" ] && [ -f "$work/wall30" ]
}
prompt=$(printf '%-80s' 'Kilepeshez nyomjon ENTER-t')
promptShown() {
    ! exited keys || fail "the game ended without waiting for Enter at the prompt"
    readConsole 1 && row 0 20 | grep -q '^Kilepeshez nyomjon ENTER-t'
}

waitFor 30 "the game's console window" findWindow
waitFor 30 "both boards in the console window" boardsInWindow
if atLeftWall 0 || atLeftWall 30; then fail "a piece at a left wall before any key"; fi
timeout 10 xdotool windowfocus --sync "$window" || fail "the console window does not take the focus"
xdotool keydown Left keydown a
waitFor 30 "pieces of both players at their left walls while Left and A are held" bothAtLeftWalls
xdotool keyup a keyup Left
# Typed during play, and no answer to the prompt to come: none of it may
# show after the prompt, and the Enter must not end the wait.
xdotool type --delay 30 xyz
xdotool key Return
sleep 0.5
xdotool key Escape
waitFor 30 "the prompt on row 20 after Escape" promptShown
sleep 1
readConsole 3 || fail "cannot read the console at the prompt: $(cat "$work/reader.err")"
for i in 0 1 2; do
    if [ "$(row $i 20)" != "$prompt" ] || [ -n "$(row $i 21 | tr -d ' ')" ]; then
        fail "more than the prompt on rows 20 and 21"
    fi
done
! exited keys || fail "the game ended before Enter was pressed at the prompt"
xdotool key Return
waitFor 30 "exit after Enter" exited keys
[ "$(cat "$work/keys.status")" = 0 ] || fail "the game exits $(cat "$work/keys.status") after Enter"
timeout 60 "$wineserver" -w || fail "the Wine server did not finish"
say "keys: Left and A held together, typing during play not echoed, Escape, Enter"
say "passed in $(($(date +%s) - started)) s"
