#!/usr/bin/env bash
# End-to-end checks of the game in a real terminal: tmux. Each case starts
# its own tmux server on a socket of its own, drives an interactive bash in
# a pane with send-keys, reads the pane with capture-pane, and ends the
# server it started. Every wait is for a marker, with a time limit.
#
#   tmux_e2e.sh GAME CASE
set -euo pipefail
# Character counts and substrings of the pane's lines are in characters.
export LC_ALL=C.UTF-8

game=$(realpath "$1")
case=$2
work=$(mktemp -d)
socket="$work/tmux.sock"

tm() { tmux -S "$socket" -f /dev/null "$@"; }
cleanup() {
    tm kill-server 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL ($case): $*" >&2
    if [ -S "$socket" ]; then
        echo "--- pane:" >&2
        tm capture-pane -p -t e2e >&2 || true
    fi
    exit 1
}

# The pane, as a user has it: an interactive bash with job control, UTF-8.
start_pane() {
    local columns=$1 rows=$2
    LC_ALL=C.UTF-8 tm new-session -d -s e2e -x "$columns" -y "$rows" \
        "env -u TMUX LC_ALL=C.UTF-8 PS1='e2e\$ ' bash --norc --noprofile -i"
    wait_for '^e2e\$' "shell prompt"
    type_line "cd '$work'"
}

type_line() { tm send-keys -t e2e -l "$1" && tm send-keys -t e2e Enter; }

screen() { tm capture-pane -p -t e2e; }

# wait_for REGEX WHAT [SECONDS]: until the pane shows REGEX.
wait_for() {
    local deadline=$((SECONDS + ${3:-15}))
    until screen | grep -Eq -- "$1"; do
        [ "$SECONDS" -lt "$deadline" ] || fail "no $2 (waited for /$1/)"
        sleep 0.05
    done
}

# wait_until COMMAND WHAT: until the command succeeds.
wait_until() {
    local deadline=$((SECONDS + 15))
    until eval "$1"; do
        [ "$SECONDS" -lt "$deadline" ] || fail "$2"
        sleep 0.05
    done
}

pane_flag() { tm display -p -t e2e "#{$1}"; }

# The line of the pane at row $1 (0-based).
row() { screen | sed -n "$(($1 + 1))p"; }

# Runs the game in the pane after recording the terminal modes; the game's
# pid goes to $work/pid.
run_game() {
    type_line "stty -g > before; sh -c 'echo \$\$ > pid; exec \"\$0\"' '$game'"
    wait_until "[ -s '$work/pid' ]" "the game did not start"
    # Both boards are drawn once the second "Next:" label is up.
    wait_for 'Next:.*Next:' "game picture"
}

# Once the game has ended: its exit status and the modes, as the shell
# sees them. A game killed by SIGINT cuts the rest of its command line
# short, as it should, so this comes on a line of its own.
record_end() {
    wait_until "! kill -0 $(cat "$work/pid") 2>/dev/null" "the game did not end"
    type_line 'echo "status=$?"; stty -g > after'
}

# The terminal after the game: normal screen, cursor shown, modes as before.
expect_given_back() {
    record_end
    wait_for "^status=$1\$" "exit status $1"
    wait_until "[ -s '$work/after' ]" "no modes recorded after the game"
    [ "$(pane_flag alternate_on)" = 0 ] || fail "still on the alternate screen"
    [ "$(pane_flag cursor_flag)" = 1 ] || fail "cursor still hidden"
    cmp -s "$work/before" "$work/after" || fail "terminal modes differ after the game"
}

# Column of the leftmost block of a player's piece inside the walls of the
# board at column $1 (rows 0..12), or 99 when none is shown.
piece_column() {
    local leftmost=99 line inside before
    while IFS= read -r line; do
        inside=${line:$(($1 + 1)):18}
        before=${inside%%█*}
        if [ "${#before}" -lt "${#inside}" ] && [ "${#before}" -lt "$leftmost" ]; then
            leftmost=${#before}
        fi
    done < <(screen | head -13)
    echo "$leftmost"
}

case_layout_keys_and_exit() {
    start_pane 80 24
    run_game
    local top floor
    top=$(row 0)
    floor=$(row 13)
    # Walls at columns 0, 19, 30 and 49 of row 0; "Next:" at 21 and 51.
    [ "${top:0:1}" = "▓" ] && [ "${top:19:1}" = "▓" ] || fail "player one's walls: '$top'"
    [ "${top:30:1}" = "▓" ] && [ "${top:49:1}" = "▓" ] || fail "player two's walls: '$top'"
    [ "${top:21:5}" = "Next:" ] && [ "${top:51:5}" = "Next:" ] || fail "Next: labels: '$top'"
    [ "${floor:0:20}" = "▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓" ] && [ "${floor:30:20}" = "▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓" ] ||
        fail "floors: '$floor'"
    local score
    score=$(row 15)
    [ "${score:0:8}" = "Score: 0" ] && [ "${score:30:8}" = "Score: 0" ] || fail "score lines: '$score'"
    wait_for '^[0-9]+FPS' "rate readout on row 18"
    [[ "$(row 18)" =~ ^[0-9]+FPS ]] || fail "rate readout not on row 18"
    [[ "$(row 19)" =~ ^\ -?[0-9]+ ]] || fail "delay readout not at column 1 of row 19: '$(row 19)'"

    # Both pieces in view, then held keys move both players left.
    wait_until '[ "$(piece_column 0)" != 99 ] && [ "$(piece_column 30)" != 99 ]' "pieces not shown"
    local one two
    one=$(piece_column 0)
    two=$(piece_column 30)
    local deadline=$((SECONDS + 15))
    until [ "$(piece_column 0)" -lt "$one" ] && [ "$(piece_column 30)" -lt "$two" ]; do
        [ "$SECONDS" -lt "$deadline" ] || fail "pieces did not move left ($one, $two)"
        tm send-keys -t e2e Left a
        sleep 0.05
    done

    tm send-keys -t e2e Escape
    wait_for '^Kilepeshez nyomjon ENTER-t' "final prompt"
    tm send-keys -t e2e Enter
    expect_given_back 0
    # The final picture stays on the normal screen.
    screen | grep -q 'Next:.*Next:' || fail "final picture not left on the normal screen"
}

case_ctrl_c() {
    start_pane 80 24
    run_game
    tm send-keys -t e2e C-c
    expect_given_back 130
}

case_sigterm() {
    start_pane 80 24
    run_game
    kill -TERM "$(cat "$work/pid")"
    expect_given_back 143
}

case_suspend_and_resume() {
    start_pane 80 24
    run_game
    tm send-keys -t e2e C-z
    wait_for 'Stopped' "job stopped"
    [ "$(pane_flag alternate_on)" = 0 ] || fail "alternate screen kept while stopped"
    [ "$(pane_flag cursor_flag)" = 1 ] || fail "cursor hidden while stopped"
    type_line "stty -g > stopped"
    wait_until "[ -s '$work/stopped' ]" "no modes recorded while stopped"
    cmp -s "$work/before" "$work/stopped" || fail "terminal modes not given back while stopped"
    type_line "fg"
    wait_for 'Next:.*Next:' "game picture after fg"
    [ "$(pane_flag alternate_on)" = 1 ] || fail "alternate screen not taken again"
    wait_for 'Score: 0 +Score: 0' "score lines repainted"
    tm send-keys -t e2e Escape
    wait_for '^Kilepeshez nyomjon ENTER-t' "final prompt"
    tm send-keys -t e2e Enter
    expect_given_back 0
}

case_resize() {
    start_pane 80 24
    run_game
    tm resize-window -t e2e -x 40 -y 15
    wait_for '^Too small: 40x15, needs 56x21' "size notice"
    tm resize-window -t e2e -x 80 -y 24
    wait_for 'Next:.*Next:' "picture after growing back"
    screen | grep -q 'Too small' && fail "size notice left over"
    wait_for '^▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓ +▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓▓' "floors repainted"
    kill -TERM "$(cat "$work/pid")"
    expect_given_back 143
}

case_small_terminal() {
    start_pane 40 15
    type_line "stty -g > before; '$game'; echo \"status=\$?\"; stty -g > after"
    wait_for '^status=1$' "exit status 1"
    screen | tr -d '\n' | grep -q '40x15' || fail "message does not name the terminal's size"
    screen | tr -d '\n' | grep -q '56x21' || fail "message does not name the size needed"
    wait_until "[ -s '$work/after' ]" "no modes recorded after the game"
    cmp -s "$work/before" "$work/after" || fail "terminal modes changed"
    [ "$(pane_flag alternate_on)" = 0 ] || fail "alternate screen entered"
}

case_not_a_terminal() {
    local status=0
    TERM=xterm "$game" </dev/null >"$work/out" 2>"$work/err" || status=$?
    [ "$status" = 1 ] || fail "stdin not a terminal: status $status"
    grep -q 'must be a terminal' "$work/err" || fail "stdin not a terminal: no message"
    [ ! -s "$work/out" ] || fail "stdin not a terminal: wrote to standard output"
    status=0
    # `script` gives a real terminal; TERM=dumb must still refuse it.
    TERM=dumb script -qec "'$game'" /dev/null </dev/null >"$work/out" 2>&1 || status=$?
    [ "$status" = 1 ] || fail "TERM=dumb: status $status"
    grep -q 'TERM=dumb' "$work/out" || fail "TERM=dumb: no message"
}

"case_${case//-/_}"
echo "ok: $case"
