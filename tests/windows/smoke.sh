#!/bin/sh
# Runs the Windows build under Wine: the command line, the console probe,
# and one whole game in a detached 80x25 tmux pane. With no display Wine
# reports every key as up, so nobody steers and the game plays itself out
# until a stack reaches the top; the test reads the pane as it goes, then
# answers the final prompt with Enter and expects exit status 0.
# Usage: tests/windows/smoke.sh [build directory, default build/windows]
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
game=$build/blockduel.exe
probe=$build/blockduel_console_probe.exe
for exe in "$game" "$probe"; do
    [ -f "$exe" ] || { echo "smoke: $exe is missing; build the windows preset first" >&2; exit 1; }
done

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY TMUX
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
started=$(date +%s)

# Only this prefix's Wine server and this socket's tmux server are ours;
# both live in the scratch directory.
cleanup() {
    tmux -S "$work/tmux" kill-server 2>/dev/null || true
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

say() { echo "smoke: $*"; }

# The pane as text, with the dark shade as # and the full block as @ so
# that every cell is one byte and columns can be cut.
screen() { tmux -S "$work/tmux" capture-pane -p -t game | sed 's/▓/#/g; s/█/@/g'; }

showScreen() { tmux -S "$work/tmux" capture-pane -p -t game 2>/dev/null | sed 's/^/  | /' >&2 || true; }

fail() {
    echo "smoke: FAIL: $*" >&2
    showScreen
    exit 1
}

# text X Y WIDTH: the characters from column X of row Y of the last capture.
text() { sed -n "$(($2 + 1))p" "$work/screen" | cut -c "$(($1 + 1))-$(($1 + $3))"; }

# waitFor SECONDS WHAT COMMAND...: polls the command until it succeeds.
waitFor() {
    limit=$(($(date +%s) + $1))
    what=$2
    shift 2
    until "$@"; do
        [ "$(date +%s)" -lt "$limit" ] || fail "no $what within the time limit"
        sleep 0.5
    done
}

# wine ARGS...: exit status into $status, output into $work/out and err.
runWine() {
    status=0
    timeout 120 wine "$@" </dev/null >"$work/out" 2>"$work/err" || status=$?
}

checkCommandLine() {
    # The first run also creates the Wine prefix, which takes a while.
    runWine "$game" --version
    [ "$status" -eq 0 ] || fail "--version exits $status"
    grep -q '^blockduel [0-9]' "$work/out" || fail "--version prints: $(cat "$work/out")"
    runWine "$game" --help
    [ "$status" -eq 0 ] || fail "--help exits $status"
    if ! grep -q '^Usage: blockduel' "$work/out" || ! grep -q 'Escape' "$work/out"; then
        fail "--help prints: $(cat "$work/out")"
    fi
    runWine "$game" --bogus
    [ "$status" -eq 2 ] || fail "a bad argument exits $status"
    grep -q "unexpected argument '--bogus'" "$work/err" || fail "a bad argument prints: $(cat "$work/err")"
    runWine "$game"
    [ "$status" -eq 1 ] || fail "the game with output to a file exits $status"
    grep -q 'standard output is not a console' "$work/err" ||
        fail "the game with output to a file prints: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "the game wrote to a file: $(cat "$work/out")"
    say "command line: --version, --help, bad argument, output to a file"
}

# runInPane SESSION EXE: starts the program in a fresh 80x25 pane; its exit
# status lands in $work/status.
runInPane() {
    rm -f "$work/status"
    printf 'wine "%s" 2>"%s"\necho $? >"%s"\n' "$2" "$work/pane.err" "$work/status" >"$work/pane.sh"
    tmux -S "$work/tmux" new-session -d -s "$1" -x 80 -y 25 "sh '$work/pane.sh'"
}

exited() { [ -s "$work/status" ]; }

paneClosed() { ! tmux -S "$work/tmux" has-session -t "$1" 2>/dev/null; }

checkProbe() {
    runInPane probe "$probe"
    waitFor 60 "end of the console probe" exited
    waitFor 10 "close of the probe's pane" paneClosed probe
    [ "$(cat "$work/status")" = 0 ] || fail "console probe: $(cat "$work/pane.err")"
    say "console probe: glyphs 178 and 219 read back, attributes, line feed, code page restored"
}

# Walls in columns 0 and 19 of rows 0..12 and the floor across row 13,
# all drawn as the dark shade.
boardDrawn() {
    ox=$1
    for y in 0 1 2 3 4 5 6 7 8 9 10 11 12; do
        [ "$(text "$ox" "$y" 1)" = '#' ] && [ "$(text $((ox + 19)) "$y" 1)" = '#' ] || return 1
    done
    [ "$(text "$ox" 13 20)" = '####################' ]
}

bothBoardsDrawn() { screen >"$work/screen" && boardDrawn 0 && boardDrawn 30; }

# rowHasPiece OX Y: a solid cell inside the walls of that board row.
rowHasPiece() { text $(($1 + 1)) "$2" 18 | grep -q @; }

previewShown() {
    [ "$(text $(($1 + 21)) 0 5)" = Next: ] || return 1
    for y in 2 3 4 5 6; do
        text $(($1 + 21)) "$y" 5 | grep -q @ && return 0
    done
    return 1
}

# True once each board has shown a piece near its top and, later or at
# the same time, a piece on its floor: the pieces have fallen.
piecesFell() {
    screen >"$work/screen"
    for ox in 0 30; do
        for y in 0 1 2 3; do rowHasPiece "$ox" "$y" && touch "$work/top$ox"; done
        [ -f "$work/top$ox" ] && rowHasPiece "$ox" 12 && touch "$work/floor$ox"
    done
    [ -f "$work/floor0" ] && [ -f "$work/floor30" ] && previewShown 0 && previewShown 30
}

gameOver() { screen >"$work/screen" && [ "$(text 0 16 9)" = 'Game Over' ]; }

checkGame() {
    runInPane game "$game"
    size=$(tmux -S "$work/tmux" display -p -t game '#{pane_width}x#{pane_height}')
    [ "$size" = 80x25 ] || fail "the pane is $size, not 80x25"
    waitFor 60 "boards with walls and floor in the dark shade" bothBoardsDrawn
    say "both boards drawn, walls and floor as ▓"
    waitFor 120 "falling pieces and previews" piecesFell
    say "pieces fell to the floor on both boards; Next: previews shown"
    waitFor 240 '"Game Over" at column 0 of row 16' gameOver
    [ "$(text 0 17 26)" = 'Kilepeshez nyomjon ENTER-t' ] || fail "no prompt on row 17"
    bothBoardsDrawn || fail "the walls did not last the game"
    text 0 18 10 | grep -q '^[0-9][0-9]*FPS' || fail "no frame rate readout on row 18"
    say '"Game Over" at (0, 16), the prompt on row 17'
    exited && fail "the game ended before Enter was pressed"
    tmux -S "$work/tmux" send-keys -t game Enter
    waitFor 30 "exit after Enter" exited
    [ "$(cat "$work/status")" = 0 ] || fail "the game exits $(cat "$work/status") after Enter"
    say "Enter ends the game with status 0"
}

checkCommandLine
checkProbe
checkGame
timeout 60 "$wineserver" -w || fail "the Wine server did not finish"
say "passed in $(($(date +%s) - started)) s"
