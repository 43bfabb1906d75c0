#!/bin/sh
# SPDX-License-Identifier: MIT
# Network games across platforms over loopback: the Windows build under Wine
# in a console window on a private Xvfb display (keys by xdotool, the
# console read by blockduel_console_check) against the POSIX build in a
# tmux pane (keys by send-keys, the pane read by capture-pane): a POSIX host
# and a Windows guest, a Windows host and a POSIX guest, and a Windows host
# and a browser (browser_guest.js, a browser's side by hand in node). The
# POSIX side's Escape is tests/e2e's.
# Usage: tests/platform/win32/network.sh [Windows build, default build/windows]
#                                 [POSIX build, default build/release]
set -eu

root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
posix=$(cd "${2:-$root/build/release}" && pwd)/blockduel
tag=network
. "$root/tests/platform/win32/wine.sh"
built "$posix"
need tmux node

code=7K3M-Q9XD
# Each POSIX game has a tmux server of its own.
servers=0
tm() { tmux -S "$work/tmux$servers.sock" -f /dev/null "$@"; }
# shellcheck disable=SC2016 # expanded when the trap runs
cleanup='for s in "$work"/tmux*.sock; do tmux -S "$s" kill-server 2>/dev/null; done'
showMore() {
    [ "$servers" = 0 ] || { echo "  the POSIX side:"; pane | sed 's/^/  : /'; }
    [ ! -s "$work/guest.out" ] || { echo "  the browser:"; sed 's/^/  > /' "$work/guest.out"; }
}

# The POSIX side: the game in a pane of 80x24, its exit status in
# $work/posix.status; the pane stays for its last picture.
startPosix() {
    rm -f "$work/posix.status"
    servers=$((servers + 1))
    tm new-session -d -s posix -x 80 -y 24 \
        "LC_ALL=C.UTF-8 '$posix' $*; echo \$? >'$work/posix.status'; exec sleep 600"
}
# The pane as the console reader shows a console: ▓ as #, █ as @.
pane() { tm capture-pane -p -t posix | sed 's/▓/#/g; s/█/@/g'; }
paneRead() { pane >"$work/pane"; }
paneHas() { paneRead && grep -q -- "$1" "$work/pane"; }
consoleHas() { waiting && readConsole 1 && grep -q -- "$1" "$work/reads"; }
bothHave() { paneHas "$1" && consoleHas "$1"; }

# Boards on both sides: the floors, and a piece under each "Next:".
paneBoards() { paneRead && grep -q "^$floor          $floor" "$work/pane"; }
boardsOnBoth() { paneBoards && boardsShown; }
# The boards' rows, 0 to 13, as each side shows them (the panels beside
# them say "You" on each side's own).
boardRows() { sed -n 1,14p "$1" | cut -c 1-20,31-50; }
sameBoards() {
    paneRead && readConsole 1 && boardRows "$work/pane" >"$work/pane.boards" &&
        boardRows "$work/reads" >"$work/console.boards"
    cmp -s "$work/pane.boards" "$work/console.boards" ||
        fail "the boards differ: $(diff "$work/pane.boards" "$work/console.boards")"
}
# A side's piece cells at board OX's column COLUMN.
paneAt() { paneRead && pieceIn "$1" "$2" "$work/pane"; }
consoleAt() { readConsole 3 && pieceIn "$1" "$2"; }

# holdWindows KEY WHAT CHECK...: holds KEY in the console window until the
# check succeeds, then lets it go.
holdWindows() {
    key=$1 what=$2
    shift 2
    xdotool keydown "$key"
    waitFor 60 "$what" "$@"
    xdotool keyup "$key"
}
# tapPosix KEY CHECK...: sends KEY to the pane until the check succeeds.
tapPosix() {
    key=$1
    shift
    tm send-keys -t posix "$key" && "$@"
}
# windowsTakes KEY OX COLUMN WHAT, posixTakes likewise: KEY held in the
# console window, or tapped in the pane, until the pane shows board OX's
# piece at COLUMN; then the console shows it there too.
windowsTakes() {
    holdWindows "$1" "$4" paneAt "$2" "$3"
    waitFor 10 "$4, on the console too" consoleAt "$2" "$3"
}
posixTakes() {
    waitFor 30 "$4" tapPosix "$1" paneAt "$2" "$3"
    waitFor 10 "$4, on the console too" consoleAt "$2" "$3"
}

roundOnBoth() {
    waitFor 30 "the countdown on both sides" bothHave 'Round 1 starts in'
    waitFor 30 "both boards on both sides" boardsOnBoth
}
# lostRoundThenEscape KEY SIDE LAST: the Windows side (the guest or the
# host) holds KEY until its board tops out: a loss on its console and a win
# in the pane, the same boards on both; each side's Enter starts a fresh
# round; its Escape ends the match for both, status 0, the pane's last line
# LAST.
freshOnBoth() { ! paneHas 'Game Over' && ! consoleHas 'Game Over' && paneHas 'Round 2 starts in'; }
lostRoundThenEscape() {
    holdWindows "$1" "the $2's board topped out" bothHave 'Game Over'
    waitFor 10 "the result on both sides" bothHave 'Enter: next round'
    { paneHas 'You win this round' && consoleHas 'You lose this round'; } || fail "the results"
    sameBoards
    say "the same boards on both sides after the round"
    tm send-keys -t posix Enter
    xdotool key Return
    waitFor 30 "a fresh round on both sides after each side's Enter" freshOnBoth
    leavesAtEscape "the $2's Escape"
    endsWith "$work/posix.status" 0 "the POSIX side"
    paneHas "$3" || fail "the POSIX side's last line: not $3"
}

underWine 120 "the game under Wine" "$game" --version
startDisplay
say "Wine ready after $(($(date +%s) - started)) s"

# A POSIX host and a Windows guest.
startPosix --host 127.0.0.1:0 --code $code --player Ada
waitFor 30 "the POSIX host's join command" paneHas '--join 127\.0\.0\.1:[0-9]'
port=$(sed -n 's/.*--join 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/pane" | head -n 1)

# A wrong code given with the command: the Windows guest says so and asks
# for the code, as a POSIX guest does.
wrong=2345-6789
startGame --join 127.0.0.1:"$port" --code $wrong --player Bo
waitFor 30 "the Windows guest's word on the wrong code" \
    consoleHas "^The host refused the code $wrong given with the command"
waitFor 30 "the Windows guest's question for the code" consoleHas '^Join code (the host shows it):'
xdotool type --delay 30 '7k3m q9xd'
xdotool key Return
roundOnBoth
# Each player's name under its board, below the picture.
waitFor 10 "the names under the boards on the console" consoleHas '^Ada \{27\}Bo'
windowsTakes a 30 1 "the guest's A taking the right piece to its left wall"
! paneAt 0 1 || fail "the guest's A moved the left piece"
# A guest that never sent releases would leave A held, and D could not win.
windowsTakes d 30 18 "the guest's D taking the right piece to its right wall"
posixTakes Left 0 1 "the host's Left taking the left piece to its left wall"
lostRoundThenEscape s guest 'Match over: 1-0. Player two left.'
say "POSIX host, Windows guest: names, countdown, keys, a round, Enter, Escape"

# A Windows host and a POSIX guest.
startGame --host 127.0.0.1:0 --code $code
waitFor 30 "the Windows host's join command" consoleHas '^ *blockduel --join 127\.0\.0\.1:[0-9]'
# The program named as a person types it on the machine that joins.
port=$(sed -n 's/^ *blockduel --join 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/reads" | head -n 1)
[ -n "$port" ] || fail "the join command does not name the program as a person types it"
startPosix --join 127.0.0.1:"$port" --code $code
roundOnBoth
posixTakes a 30 1 "the guest's A taking the right piece to its left wall"
! consoleAt 0 1 || fail "the guest's A moved the left piece"
windowsTakes Left 0 1 "the host's Left taking the left piece to its left wall"
lostRoundThenEscape Down host 'Match over: 0-1. Player one left.'
say "Windows host, POSIX guest: countdown, keys, a round, Enter, Escape"

# A Windows host and a browser.
startGame --host 127.0.0.1:0 --code $code
waitFor 30 "the Windows host's link for a browser" \
    consoleHas '^Or in a browser: http://127\.0\.0\.1:[0-9]*/#7K3M-Q9XD'
link=$(sed -n 's/^Or in a browser: \(http[^ ]*\).*/\1/p' "$work/reads" | head -n 1)
inBackground "$work/guest.status" node "$root/tests/platform/win32/browser_guest.js" "$link" "$work/leave" \
    >"$work/guest.out" 2>&1
guestSays() { grep -qs "^$1" "$work/guest.out" || { [ -s "$work/guest.status" ] && fail "the browser ended"; }; }
waitFor 60 "the page and the browser's join" guestSays joined
waitFor 30 "the countdown on the host's console" consoleHas 'Round 1 starts in'
waitFor 30 "both boards on the host's console" boardsShown
touch "$work/leave"
endsWith "$work/guest.status" 0 "the browser"
waitFor 30 "player two away on the host's console" consoleHas 'Player two is away'
leavesAtEscape "the host's Escape"
say "Windows host, browser: the link, the page, the WebSocket's game and its close"

say "passed in $(($(date +%s) - started)) s"
