#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The game end to end in a real terminal, tmux: `tmux_e2e.sh GAME CASE`. Each
# case drives an interactive bash in a pane of a tmux server of its own and
# reads the pane back. Every wait is for a marker, with a time limit.
set -euo pipefail
# Character counts and substrings of the pane's lines are in characters.
export LC_ALL=C.UTF-8

game=$(realpath "$1")
case=$2
work=$(mktemp -d)
socket="$work/tmux.sock"
pane=e2e
wall='▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓'

tm() { tmux -S "$socket" -f /dev/null "$@"; }
trap 'tm kill-server 2>/dev/null || true; rm -rf "$work"' EXIT

fail() { echo "FAIL ($case): $*" >&2; tm capture-pane -p -t "$pane" >&2 2>/dev/null; exit 1; }
screen() { tm capture-pane -p -t "$pane"; }
row() { screen | sed -n "$(($1 + 1))p"; } # 0-based
flag() { tm display -p -t "$pane" "#{$1}"; }
type_line() { tm send-keys -t "$pane" -l "$1" && tm send-keys -t "$pane" Enter; }

# wait_until COMMAND WHAT: until the command succeeds, for up to 15 s.
wait_until() {
    local deadline=$((SECONDS + 15))
    until eval "$1"; do [ "$SECONDS" -lt "$deadline" ] || fail "$2"; sleep 0.05; done
}

# wait_for REGEX WHAT: until the pane shows REGEX.
wait_for() { wait_until "screen | grep -Eq -- '$1'" "no $2 (waited for /$1/)"; }

# press KEY REGEX WHAT: sends the key to the pane, then waits for REGEX.
press() { tm send-keys -t "$pane" "$1" && wait_for "$2" "$3"; }

# tap_until KEYS COMMAND WHAT: sends the keys to the pane until the command succeeds.
tap_until() { wait_until "tm send-keys -t $pane $1 && $2" "$3"; }

# A pane as a user has it: interactive bash, job control, UTF-8; no core files.
start_pane() {
    tm new-session -d -s "$pane" -x "$1" -y "$2" \
        "env -u TMUX LC_ALL=C.UTF-8 XDG_STATE_HOME='$work/state' PS1='e2e\$ ' bash --norc --noprofile -i"
    wait_for '^e2e\$' "shell prompt"
    type_line "cd '$work'; ulimit -c 0"
}

# Starts the game with the arguments $1 after recording the terminal modes.
start_game() {
    rm -f "$work/pid" "$work/after"
    type_line "stty -g > before; sh -c 'echo \$\$ > pid; exec \"\$0\" $1' '$game'"
    wait_until "[ -s '$work/pid' ]" "the game did not start"
}

# A pane of 80x24 and the game in it with the options given, until both
# boards show.
run_game() {
    start_pane 80 24
    start_game "$*"
    wait_for 'Next:.*Next:' "game picture"
}

# Once the game has ended: exit status $1, normal screen, cursor shown and the
# modes as before; and the last line $2 (a regular expression), if given, on
# the normal screen. Bash puts its own modes back after a job that a signal
# ended or stopped, so only a normal end can be checked here; the pty tests
# check the other ways out without a shell in between.
expect_given_back() {
    wait_until "! kill -0 $(cat "$work/pid") 2>/dev/null" "the game did not end"
    type_line 'echo $? > status; stty -g > after'
    wait_until "[ -s '$work/after' ]" "no modes recorded after the game"
    [ "$(cat "$work/status")" = "$1" ] || fail "exit status $(cat "$work/status"), not $1"
    [ "$(flag alternate_on)$(flag cursor_flag)" = 01 ] || fail "screen or cursor not given back"
    cmp -s "$work/before" "$work/after" || fail "terminal modes differ after the game"
    [ -z "${2-}" ] || screen | grep -Eq -- "$2" || fail "not on the normal screen: $2"
}

# Board $1's playing rows (13 lines of 18 cells) as the pane shows them.
board_rows() {
    local line
    screen | head -13 | while IFS= read -r line; do echo "${line:$(($1 + 1)):18}"; done
}

# The leftmost column of a piece's blocks inside the board at column $1; 99: none.
piece_column() {
    local leftmost=99 inside before
    while IFS= read -r inside; do
        before=${inside%%█*}
        [ "${#before}" -lt "${#inside}" ] && [ "${#before}" -lt "$leftmost" ] && leftmost=${#before}
    done < <(board_rows "$1")
    echo "$leftmost"
}

# What only a real terminal and an interactive shell show: bash's own job
# control around the game, a window resized by the emulator, keys as tmux
# sends them, and the final picture left on the normal screen. (The pty
# tests check every way out on the terminal's modes themselves.)
case_play() {
    run_game

    # Ctrl-Z leaves the alternate screen while the game is stopped; fg repaints.
    press C-z 'Stopped' "job stopped"
    [ "$(flag alternate_on)" = 0 ] || fail "still on the alternate screen while stopped"
    type_line "fg"
    wait_for 'Score: 0 +Score: 0' "picture repainted after fg"

    # A window too small shows the size notice; grown back, the picture returns.
    tm resize-window -t e2e -x 40 -y 15
    wait_for '^Too small: 40x15, needs 56x21' "size notice"
    tm resize-window -t e2e -x 80 -y 24
    wait_for "^$wall +$wall" "floors repainted"

    # Left and A move both players' pieces to the left wall, where pieces
    # come only by moving: a new piece showing up is no move.
    tap_until 'Left a' '[ "$(piece_column 0)$(piece_column 30)" = 00 ]' \
        "pieces did not move to the left wall"

    press Escape '^Kilepeshez nyomjon ENTER-t' "final prompt"
    tm send-keys -t e2e Enter
    expect_given_back 0
    screen | grep -q 'Next:.*Next:' || fail "final picture not left on the normal screen"
}

# Board $1 shows the computer's play: points, which only cleared rows give,
# or a cell in its bottom row right of column 7, where pieces left alone
# never come to rest (they land in columns 3 to 6).
played() {
    local bottom score
    bottom=$(board_rows "$1" | tail -1) score=$(row 15)
    [[ "${bottom:7}" == *█* ]] || [ "${score:$1:8}" != "Score: 0" ]
}

# Board $1's lowest four rows and its score line: what locks and clears change.
stack() {
    local score
    board_rows "$1" | tail -4
    score=$(row 15)
    echo "${score:$1:12}"
}

stacks_changed() { [ "$(stack 0)" != "$before_left" ] && [ "$(stack 30)" != "$before_right" ]; }

# The computer plays both boards by itself: it steers pieces to rest where
# they would not fall alone, on both boards, and goes on locking them;
# Escape ends the match at once.
case_demo() {
    run_game --demo --level 5
    wait_until 'played 0 && played 30' "pieces steered to rest on both boards"
    before_left=$(stack 0) before_right=$(stack 30)
    wait_until 'stacks_changed' "more pieces locked on both boards"
    tm send-keys -t e2e Escape
    expect_given_back 0 '^Match over: 0-0\.'
}

# A match of two people at one keyboard: its first seconds at the steady
# pace; P pauses it, nothing moving, and P goes on after a countdown; player
# two drops every piece and tops out first; the round goes to player one,
# Enter starts a round on fresh boards, and Escape leaves with the tally.
case_match() {
    run_game --match
    wait_for '^P pauses\.' "play under way"
    # The round starts at the steady pace, about 11 frames a second, not in
    # the rush of the game without options (25 to 47 at first).
    local until=$((SECONDS + 3)) rate
    while [ "$SECONDS" -lt "$until" ]; do
        rate=$(row 18)
        if [[ "$rate" =~ ^([0-9]+)FPS ]] && [ "${BASH_REMATCH[1]}" -gt 14 ]; then
            fail "the round started in a rush: $rate"
        fi
        sleep 0.2
    done
    press p '^Paused\. P resumes, Escape leaves\.' "the pause"
    local held
    held=$(screen | head -15)
    sleep 1
    [ "$(screen | head -15)" = "$held" ] || fail "the boards moved while paused"
    press p '^Resumes in [1-3]' "the countdown after the pause"
    wait_for '^P pauses\.' "play again"
    tap_until 's s s s' 'screen | grep -q "^Game Over"' "no top-out"
    wait_for '^Game Over . Player one wins this round\. Match: 1-0' "the round's result"
    wait_for '^Enter: next round\. Escape: leave\.' "what comes next"
    tm send-keys -t e2e Enter
    wait_until '! screen | grep -q "Game Over"' "no fresh round after Enter"
    tm send-keys -t e2e Escape
    expect_given_back 0 '^Match over: 1-0\.'
}

# Keys of one's own: player one on I J L K moves with J (to the left wall)
# and not with the arrows; the legend below the boards says so.
case_keys() {
    run_game --match --keys one=i,j,l,k
    wait_for '^Left: I J L K . Right: W A D S . P pauses . Esc leaves' "the key legend"
    local before
    before=$(piece_column 0)
    tm send-keys -t e2e Left Left Left Left Left Left Left Left
    tap_until d "[ \"\$(piece_column 30)\" != $(piece_column 30) ]" \
        "player two's D did not move the right piece"
    [ "$(piece_column 0)" = "$before" ] || fail "the arrows moved player one's piece"
    tap_until j '[ "$(piece_column 0)" = 0 ]' \
        "player one's J did not move the left piece to its wall"
    tm send-keys -t e2e Escape
    expect_given_back 0
}

# The boards and the lines below them as the game left them on the normal
# screen, wherever the shell's lines above put them.
final_picture() { screen | sed -n '/Next:.*Next:/,$p' | head -18; }

# The last match kept, of kind $1 (computer, join), replayed on a clear
# screen; its legend does not name P, which does nothing in a replay.
start_replay() {
    type_line clear
    start_game "--replay last"
    wait_for "Replay: $1 [0-9:]+, round 1, 1x" "the replay's line"
    ! screen | grep -q 'P pauses' || fail "the replay names P: $(screen)"
}

# The replay, once ended, left the game's own final picture, $1.
replay_ends_on() {
    expect_given_back 0
    [ "$(final_picture)" = "$1" ] ||
        fail "the replay ended on another picture: $(diff <(echo "$1") <(final_picture))"
}

# A match against the computer is kept: the player drops every piece and
# loses the one round the match takes; --stats counts it, and --replay last,
# paused with Space and sped up with + meanwhile, plays it to the same
# final picture.
case_kept() {
    run_game --computer --first-to 1
    tap_until 'Down Down Down Down' 'screen | grep -q "^Game Over"' "no top-out"
    wait_for '^You lose the match 0-1' "the match's end"
    expect_given_back 0
    local played
    played=$(final_picture)
    type_line "'$game' --stats > stats; echo \$? > stats.status"
    wait_until "[ -s '$work/stats.status' ]" "--stats did not finish"
    [ "$(cat "$work/stats.status")" = 0 ] || fail "--stats failed: $(cat "$work/stats")"
    grep -Eq -- '^--computer +3 +1 +0 +1 +1 +0 +1 ' "$work/stats" ||
        fail "--stats does not show the match lost at level 3: $(cat "$work/stats")"
    start_replay computer
    wait_for '^Space pause, → step, \+ - speed, Enter skips, Esc leaves' "the replay's keys"
    press Space 'Replay: .*, 1x paused' "the replay paused"
    press + 'Replay: .*, 2x paused' "the replay sped up while paused"
    sleep 0.3 # a key typed again at once reads as one held without the kitty protocol
    press + 'Replay: .*, 4x paused' "the replay sped up again"
    tm send-keys -t e2e Space
    replay_ends_on "$played"
}

# Host and guest in two sessions of one tmux server, each shell in a folder
# of its own: the same countdown on both, the guest's F (its own key for
# left) moves only the right piece, the host's Left the left one (each to
# its wall, where pieces come only by moving), Escape from the guest ends
# the match for both, each with the same boards and the tally in its own
# words; the guest's replay ends on its own last picture.
case_network() {
    local guest_dir=$work/guest port
    # What follows, on the guest's pane in the guest's folder.
    guest() { pane=guest work=$guest_dir "$@"; }
    mkdir "$guest_dir"
    start_pane 80 24
    guest start_pane 80 24
    start_game "--host 127.0.0.1:0 --code 7K3M-Q9XD"
    wait_for '--join 127\.0\.0\.1:[0-9]+$' "the command that joins"
    wait_for '^  7K3M-Q9XD$' "the code on a line of its own"
    port=$(screen | sed -n 's/.*--join 127\.0\.0\.1:\([0-9]*\).*/\1/p')
    guest start_game "--join 127.0.0.1:$port --keys two=t,f,h,g"
    guest wait_for '^Join code \(the host shows it\):' "the question for the code"
    guest type_line "7k3m q9xd"
    guest wait_for '^Round 1 starts in' "the guest's countdown"
    wait_for '^Round 1 starts in' "the host's countdown"
    wait_for 'Next:.*Next:' "the host's picture"
    guest wait_for 'Next:.*Next:' "the guest's picture"

    wait_until 'tm send-keys -t guest f && [ "$(piece_column 30)" = 0 ]' \
        "the guest's F did not move the right piece to its wall"
    [ "$(piece_column 0)" != 0 ] || fail "the guest's F moved the left piece"
    tap_until Left '[ "$(piece_column 0)" = 0 ]' \
        "the host's Left did not move the left piece to its wall"

    tm send-keys -t guest Escape
    guest expect_given_back 0 '^Match over: 0-0\. You left\.'
    expect_given_back 0 '^Match over: 0-0\. Player two left\.'
    boards() { tm capture-pane -p -t "$1" | grep -A7 'Next:.*Next:'; }
    [ "$(boards e2e)" = "$(boards guest)" ] || fail "the guest's final boards are not the host's"

    # The guest kept the match from what the host sent it: its replay, sped
    # up, ends on the guest's own final picture, in the guest's words.
    pane=guest work=$guest_dir
    local shown
    shown=$(final_picture)
    # The countdown's key legend, as the host sent it, names P.
    start_replay join
    press + 'Replay: .*, 2x' "the guest's replay sped up"
    replay_ends_on "$shown"
}

# The game refuses what it cannot play on, with a message and status 1: a
# window too small, and input that is no terminal.
case_start_up() {
    start_pane 40 15
    type_line "'$game'; echo status=\$?"
    wait_for '^status=1$' "exit status 1"
    screen | tr -d '\n' | grep -q 'the terminal is 40x15' || fail "no size message"
    local status=0
    TERM=xterm "$game" </dev/null >"$work/out" 2>"$work/err" || status=$?
    [ "$status" = 1 ] && grep -q 'must be a terminal' "$work/err" && [ ! -s "$work/out" ] ||
        fail "stdin not a terminal: status $status, message '$(cat "$work/err")'"
}

"case_${case//-/_}"
echo "ok: $case"
