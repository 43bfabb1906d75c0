#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the Windows build under Wine: the command line, the console probe, and
# one whole game in a detached 80x25 tmux pane. With no display Wine reports
# every key as up, so the game plays itself out until a stack reaches the top;
# then Enter must end it with exit status 0. Then the same for a demo at
# level 1, where the computer plays both boards: 2 to 3 minutes.
# Usage: tests/windows/smoke.sh [build directory, default build/windows]
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
game=$build/blockduel.exe
probe=$build/blockduel_console_probe.exe
if [ ! -f "$game" ] || [ ! -f "$probe" ]; then echo "smoke: build $build first" >&2; exit 1; fi

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY TMUX
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
started=$(date +%s)

# Only this prefix's Wine server and this socket's tmux server are ours.
tm() { tmux -S "$work/tmux" "$@"; }
trap 'set +e; tm kill-server 2>/dev/null; "$wineserver" -k 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

say() { echo "smoke: $*"; }

fail() {
    echo "smoke: FAIL: $*" >&2
    tm capture-pane -p -t game 2>/dev/null | sed 's/^/  | /' >&2 || true
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

# runInPane NAME EXE [ARGS]: the program in a fresh 80x25 pane, status in $work/NAME.status.
runInPane() {
    tm new-session -d -s "$1" -x 80 -y 25 "wine '$2' ${3:-} 2>'$work/$1.err'; echo \$? >'$work/$1.status'"
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

# The demo: pieces fall and lock on both boards until a stack reaches the top.
waitFor 10 "close of the game's pane" paneClosed game
rm -f "$work/game.status" "$work"/top* "$work"/floor*
runInPane game "$game" '--demo --level 1'
waitFor 120 "demo: pieces falling to the floor of both boards" piecesFell
waitFor 300 'demo: "Game Over"' gameOver
# Idle pieces land in board columns 3..6 only; the computer steers them wider.
for ox in 0 30; do [ "$(area $((ox + 8)) 0 11 13 | tr -cd @ | wc -c)" -ge 8 ] || fail "demo: board $ox"; done
tm send-keys -t game Enter
waitFor 30 "demo: exit after Enter" exited game
[ "$(cat "$work/game.status")" = 0 ] || fail "the demo exits $(cat "$work/game.status") after Enter"
timeout 60 "$wineserver" -w || fail "the Wine server did not finish"
say "passed in $(($(date +%s) - started)) s"
