# SPDX-License-Identifier: MIT
# shellcheck shell=sh
# What the Wine checks share, sourced with `.`: a Wine prefix and work
# folder of their own, cleaned up on exit; the Windows build's executables
# ($game, $check); waiting with a time limit; a private Xvfb display; the
# game in a console window there, whose exit status goes to $work/status;
# and the console reader's look at it.
# Before sourcing: `tag`, the name the messages begin with, and `build`,
# the Windows build folder.

# need TOOL...: each on the PATH; built FILE...: each built.
need() {
    for tool; do
        command -v "$tool" >/dev/null || { echo "$tag: no $tool; run scripts/install-deps" >&2; exit 1; }
    done
}
built() {
    for file; do
        [ -f "$file" ] || { echo "$tag: no $file; build it first" >&2; exit 1; }
    done
}
game=$build/blockduel.exe
check=$build/blockduel_console_check.exe
built "$game" "$check"
need Xvfb xdotool script

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
started=$(date +%s)

# Only this prefix's Wine server, this Xvfb and what the sourcing script
# adds to `cleanup` are ours.
xvfb=""
cleanup=":"
trap 'set +e; eval "$cleanup"; "$wineserver" -k 2>/dev/null
      [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM PIPE

say() { echo "$tag: $*"; }

# What a failure shows besides its message; the sourcing script may add to it.
showMore() { :; }
fail() {
    echo "$tag: FAIL: $*" >&2
    # The console window's game: the last read that worked.
    [ ! -s "$work/reads" ] || tail -n 26 "$work/reads" | head -n 25 | sed 's/^/  | /' >&2
    showMore >&2
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

# Wine's processes of a console without a display must end before the
# display comes, and each game's before the next.
wineDone() { timeout 60 "$wineserver" -w || fail "the Wine server did not finish"; }

# underWine SECONDS WHAT PROGRAM ARGS...: a Windows program run to its end
# without a console, its output in $work/out and $work/err. The first
# also creates the Wine prefix, which takes a while.
underWine() {
    seconds=$1 what=$2
    shift 2
    timeout "$seconds" wine "$@" </dev/null >"$work/out" 2>"$work/err" ||
        fail "$what: $(cat "$work/err" "$work/out")"
    wineDone
}

# endsWith FILE STATUS WHAT: what writes its exit status to FILE ends
# within 30 s, with STATUS.
endsWith() {
    waitFor 30 "the end of $3" [ -s "$1" ]
    [ "$(cat "$1")" = "$2" ] || fail "$3 exits $(cat "$1")"
}

startDisplay() {
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    waitFor 30 "a free X display from Xvfb" displayReady
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
}
displayReady() {
    [ -s "$work/display" ] && return 0
    kill -0 "$xvfb" 2>/dev/null || fail "Xvfb ended: $(cat "$work/xvfb.log")"
    return 1
}

# inBackground FILE COMMAND...: the command in the background; its exit
# status goes to FILE when it ends (set -e would end the subshell first).
inBackground() {
    statusFile=$1
    shift
    (
        status=0
        "$@" || status=$?
        echo $status >"$statusFile"
    ) &
}

exited() { [ -s "$work/status" ]; }
findWindow() {
    ! exited || fail "the console window closed at once: $(cat "$work/wine.err")"
    window=$(xdotool search --name 'blockduel\.exe$' 2>/dev/null | head -n 1) && [ -n "$window" ]
}

# startGame ARGS...: the game in a console window that Wine draws on the X
# display, with the focus; its exit status goes to $work/status.
startGame() {
    rm -f "$work/status" "$work/reads"
    inBackground "$work/status" wine wineconsole "$game" "$@" 2>"$work/wine.err"
    waitFor 30 "the game's console window" findWindow
    timeout 10 xdotool windowfocus --sync "$window" || fail "the console window does not take the focus"
}

# readConsole N: N reads of the game's console, 40 ms apart, into $work/reads,
# which keeps the last reads that worked for a failure to show.
readConsole() {
    timeout 20 wine "$check" read blockduel.exe "$1" >"$work/read" 2>"$work/reader.err" &&
        mv "$work/read" "$work/reads"
}

# area X Y WIDTH [HEIGHT]: that rectangle of the first read.
area() { sed -n "$(($2 + 1)),$(($2 + ${4:-1}))p" "$work/reads" | cut -c $(($1 + 1))-$(($1 + $3)); }

waiting() { ! exited || fail "the game ended while it should still run"; }
shows() { waiting && readConsole 1 && [ "$(area "$1" "$2" ${#3})" = "$3" ]; }

# exitsWith STATUS WHAT: the game in the window ends, with that status.
exitsWith() {
    endsWith "$work/status" "$1" "the game after $2"
    wineDone
}
# leavesAtEscape WHAT: Escape in the window ends the game at once, status 0.
leavesAtEscape() {
    xdotool key Escape
    exitsWith 0 "$1"
}

# Both boards' floors as ▓, and a piece under "Next:" beside each board.
floor=$(printf '#%.0s' $(seq 20))
previewShown() { [ "$(area $(($1 + 21)) 0 5)" = Next: ] && area $(($1 + 21)) 2 5 5 | grep -q @; }
boardsShown() {
    readConsole 1 && [ "$(area 0 13 50)" = "$floor          $floor" ] &&
        previewShown 0 && previewShown 30
}

# pieceIn OX COLUMN [FILE]: a read (of $work/reads unless given) shows a
# piece cell in that column of board OX, rows 0 to 12.
pieceIn() {
    awk -v x=$(($1 + $2 + 1)) '$0 == "--" { r = 0; next }
        r++ < 13 && substr($0, x, 1) == "@" { found = 1 } END { exit !found }' "${3:-$work/reads}"
}
atLeftWall() { pieceIn "$1" 1; }
