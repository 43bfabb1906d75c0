#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Measures the game and prints the figures table: bytes sent against the
# floor, time to the first picture, and, with two bots playing in tmux,
# CPU share, peak memory and the pacing, the last with the other core busy;
# then the same for a demo game, where the computer plays both boards; and
# the network host's door under attack, and the server's rooms in one
# thread, each in a table of its own.
# Missed targets are reported, not failed; a measurement that cannot be
# made fails.
#
# Usage: bench/figures.sh [BUILD_DIR]      (default build/release)
#   FIGURES_SECONDS  length of the output run and of each tmux run (60)
#   FIGURES_SETTLE   seconds of pacing left out at the start (15)
#   FIGURES_STARTS   starts timed (21)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
seconds=${FIGURES_SECONDS:-60}
settle=${FIGURES_SETTLE:-15}
starts=${FIGURES_STARTS:-21}
game=$(realpath "$build/blockduel")
tools=$build
work=$(mktemp -d)
# The games the figures start keep their matches here, not in the user's state folder.
export XDG_STATE_HOME="$work/state"
socket=$work/tmux.sock
helpers=()

tm() { tmux -S "$socket" -f /dev/null "$@"; }
stop_helpers() {
    for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null || true; done
    helpers=()
}
cleanup() {
    stop_helpers
    tm kill-server 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The bots' key script (see bots.awk): SEED LINES
write_bots() {
    awk -v seed="$1" -v lines="$2" -f bench/bots.awk >"$work/bots"
}

# Plays the key script into the pane, ten lines a second.
play_bots() {
    while read -r keys; do
        # shellcheck disable=SC2086 # one tmux key name per word
        [ -z "$keys" ] || tm send-keys -t bd $keys
        sleep 0.1
    done <"$work/bots"
}

# One game in a tmux pane with the bots, watched for $seconds: LABEL [busy].
# Random players can top out before the time is up: then again, with the
# next key script, up to three times.
tmux_run() {
    local attempt
    for attempt in 1 2 3; do
        write_bots "$attempt" $((seconds * 10 + 50))
        tmux_game "$@" >"$work/watch" && break
        echo "(the game ended early; again with another key script)"
        [ "$attempt" -lt 3 ] || return 1
    done
    cat "$work/watch"
    grep '^|' "$work/watch" >>"$work/rows"
}

# A demo game (--demo, level 3) in a tmux pane, watched for $seconds: no
# keys. Demo games last minutes, but one can end within the watch: then
# again, up to three times.
demo_run() {
    local attempt
    : >"$work/bots" # nobody at the keys
    for attempt in 1 2 3; do
        game_args=--demo tmux_game "$1" >"$work/watch" && break
        echo "(the demo ended early; again)"
        [ "$attempt" -lt 3 ] || return 1
    done
    cat "$work/watch"
    grep '^|' "$work/watch" >>"$work/rows"
}

tmux_game() {
    tm kill-server 2>/dev/null || true
    tm new-session -d -s bd -x 80 -y 24 "exec env LC_ALL=C.UTF-8 '$game' ${game_args:-}"
    local pid
    pid=$(tm display -p -t bd '#{pane_pid}')
    for _ in $(seq 100); do
        tm capture-pane -p -t bd | grep -q 'Next:.*Next:' && break
        sleep 0.05
    done
    if [ "${2:-}" = busy ]; then
        (while :; do :; done) &
        helpers+=($!)
    fi
    play_bots &
    helpers+=($!)
    local status=0
    "$tools/blockduel_pane_watch" "$socket" bd "$pid" "$seconds" "$settle" "$1" || status=$?
    stop_helpers
    tm kill-server
    return "$status"
}

# The network figures again with 50 ms delay each way and 2 % loss: tc netem
# on the loopback of a network namespace of our own where the kernel has it,
# else the figures program's relay, which delays and stalls in user space.
impaired_network() {
    local ns=blockduel-figures-$$
    if ip netns add "$ns" 2>/dev/null; then
        if ip netns exec "$ns" ip link set lo up &&
            ip netns exec "$ns" tc qdisc add dev lo root netem delay 50ms loss 2% 2>/dev/null; then
            ip netns exec "$ns" "$tools/blockduel_net_figures" "$seconds" --settle "$settle" \
                --label "netem, 50 ms each way, 2 % loss" | tee -a "$work/rows"
            ip netns del "$ns"
            return
        fi
        ip netns del "$ns"
    fi
    echo "(no tc netem here: the relay instead)"
    "$tools/blockduel_net_figures" "$seconds" --settle "$settle" --delay 50 --stall 2 \
        --label "relay, 50 ms each way, 2 % of chunks 250 ms late" | tee -a "$work/rows"
}

echo "== output into a pipe"
"$tools/blockduel_output_figures" "$seconds" | tee -a "$work/rows"
echo "== start-up on a pty answering at once"
"$tools/blockduel_startup_figures" "$game" "$starts" | tee -a "$work/rows"
echo "== the network game on loopback"
"$tools/blockduel_net_figures" "$seconds" --settle "$settle" | tee -a "$work/rows"
echo "== the network game, 50 ms delay and 2 % loss"
impaired_network
echo "== the browser page against the host, in headless Chromium"
chromium=$(command -v chromium || command -v chromium-browser || true)
if command -v node >/dev/null && [ -n "$chromium" ]; then
    # 200 presses in a full run; a short one only checks that all is made.
    node bench/web_figures.js "$game" "$chromium" $((seconds < 30 ? seconds : 30)) \
        $((seconds < 60 ? 10 : 200)) | tee -a "$work/rows"
else
    echo "(no node or chromium here: the browser's figures are left out)"
fi
echo "== the host's door under attack, on loopback"
"$tools/blockduel_admission_figures" "$game" --seconds $((seconds < 12 ? seconds : 12)) \
    --settle "$settle" | tee "$work/door"
echo "== a guest flooded by a fake host"
"$tools/blockduel_guest_flood_figures" 3 | tee "$work/flood"
echo "== kept matches"
"$tools/blockduel_recording_figures" | tee "$work/kept"
"$tools/blockduel_results_figures" | tee -a "$work/kept"
echo "== many matches in one thread"
"$tools/blockduel_many_matches_figures" $((seconds < 20 ? seconds : 20)) | tee "$work/many"
echo "== the server's rooms in one thread"
if [ "$seconds" -lt 20 ]; then
    # A short run only checks that rooms and their watchers are measured.
    "$tools/blockduel_server_figures" "$seconds" --settle 1 100 500 | tee "$work/rooms"
else
    "$tools/blockduel_server_figures" 20 | tee "$work/rooms"
fi
echo "== the event loop's timers"
"$tools/blockduel_loop_figures" "$((seconds < 3 ? 1 : 3))" | tee "$work/loop"
echo "== tmux, two bots"
tmux_run "two bots in tmux"
echo "== tmux, two bots, the other core busy"
tmux_run "two bots in tmux, other core busy" busy
echo "== tmux, a demo game (the computer on both boards)"
demo_run "demo game in tmux"

model=$(lscpu | sed -n 's/^Model name: *//p')
echo
echo "Figures on $model, $(nproc) cores; $build; runs of $seconds s:"
echo
echo "| what | figure | target | result |"
echo "|------|--------|--------|--------|"
grep '^|' "$work/rows"
echo
echo "The host's door under attack (each attack on a fresh host, after $settle s of play):"
echo
cat "$work/door"
echo
echo "Kept matches: a recording's bytes a minute; a round's end and --stats on this disk:"
echo
cat "$work/kept"
echo
echo "Many matches stepped side by side in one thread, on the real clock:"
echo
cat "$work/many"
echo
echo "The event loop: how late its timers fire, and what each call costs:"
echo
cat "$work/loop"
echo
echo "The server's rooms in one thread, each the computer against the computer with a browser watching:"
echo
cat "$work/rooms"
