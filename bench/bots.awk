# SPDX-License-Identifier: MIT
# A recorded key script for two bots, for bench/figures.sh: one line of
# tmux key names for every tenth of a second, both players' keys together.
#   awk -v seed=1 -v lines=650 -f bench/bots.awk
# The bots cannot see the board, so each steers by the walls: it turns its
# piece a random number of times, pushes it against a wall, moves it a
# random number of columns back, drops it two rows and rests three seconds,
# then starts again, on the same piece or the next. That spreads the pieces
# over the board, so a game mostly outlasts a minute, and each bot presses
# about five keys a second.
BEGIN {
    split("Up w", turn, " ")
    split("Left a", left, " ")
    split("Right d", right, " ")
    split("Down s", drop, " ")
    srand(seed)
    for (n = 0; n < lines; n++) {
        line = ""
        for (p = 1; p <= 2; p++) {
            if (head[p] == tail[p])
                plan(p)
            key = queue[p, head[p]++]
            if (key != "")
                line = line (line == "" ? "" : " ") key
        }
        print line
    }
}

function add(p, key) { queue[p, tail[p]++] = key }

function plan(p,    turns, shift, fromLeft, i) {
    turns = int(rand() * 4)
    shift = int(rand() * 16)
    fromLeft = rand() < 0.5
    for (i = 0; i < turns; i++) {
        add(p, turn[p])
        add(p, "") # the game turns a piece in every second frame at most
    }
    for (i = 0; i < 17; i++)
        add(p, fromLeft ? left[p] : right[p])
    for (i = 0; i < shift; i++)
        add(p, fromLeft ? right[p] : left[p])
    for (i = 0; i < 2; i++)
        add(p, drop[p])
    for (i = 0; i < 30; i++)
        add(p, "")
}
