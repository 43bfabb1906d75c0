// SPDX-License-Identifier: MIT
// The real host in a tmux pane of a server of its own, for the tests and
// tools that drive a browser against it: its screen as text, waits on what
// it shows, keys typed on its terminal, and the link its notice gives.
'use strict';
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');

const sleep = (ms) => new Promise((wake) => setTimeout(wake, ms));
const block = '\u2588';
const rateRow = 18; // as the game's layout puts it

class HostPane {
    // `game` is the program; `args` follow --host 127.0.0.1:0.
    constructor(game, args = ['--code', '7K3M-Q9XD'], size = { columns: 80, rows: 24 }) {
        this.work = fs.mkdtempSync(path.join(os.tmpdir(), 'blockduel-host-'));
        this.socket = path.join(this.work, 'tmux.sock');
        const quoted = args.map((a) => `'${a}'`).join(' ');
        // The pane stays after the game, with its last picture and its status.
        const command = `env LC_ALL=C.UTF-8 XDG_STATE_HOME='${this.work}/state' sh -c '"$0" "$@"; echo "status $?"; sleep 600' ` +
            `'${game}' --host 127.0.0.1:0 ${quoted}`;
        this.tmux('new-session', '-d', '-s', 'host', '-x', `${size.columns}`, '-y', `${size.rows}`, command);
        this.pid = Number(this.tmux('display', '-p', '-t', 'host', '#{pane_pid}').trim());
    }

    tmux(...args) {
        return execFileSync('tmux', ['-S', this.socket, '-f', '/dev/null', ...args], { encoding: 'utf8' });
    }

    screen() {
        return this.tmux('capture-pane', '-p', '-t', 'host');
    }

    // Keys as tmux names them: 'Enter', 'Left', 'Escape', 'a'.
    type(...keys) {
        this.tmux('send-keys', '-t', 'host', ...keys);
    }

    // Waits until `check` finds what it looks for on the screen; its answer.
    async until(check, what, ms = 20000) {
        const deadline = Date.now() + ms;
        for (;;) {
            const found = check(this.screen());
            if (found) return found;
            if (Date.now() > deadline) throw new Error(`the host never showed ${what}:\n${this.screen()}`);
            await sleep(50);
        }
    }

    // The browser's link from the waiting notice.
    link() {
        return this.until((s) => s.match(/Or in a browser: (http:\/\/127\.0\.0\.1:\d+\/#\S+)/)?.[1], 'the link');
    }

    // The leftmost column of the piece in the board whose frame starts at
    // `left`, in the first 13 rows; 99 when there is none.
    static pieceColumn(screen, left) {
        let leftmost = 99;
        for (const line of screen.split('\n').slice(0, 13)) {
            const at = [...line].slice(left + 1, left + 19).indexOf(block);
            if (at >= 0 && at < leftmost) leftmost = at;
        }
        return leftmost;
    }

    // Whether the right board's piece is against its right wall.
    static atRightWall(screen) {
        return screen.split('\n').slice(0, 13).some((line) => [...line][48] === block);
    }

    // A round under way: both boards with their next piece, no countdown, no pause.
    static underWay(screen) {
        return /Next:.*Next:/.test(screen) && !/starts in|Resumes in|Paused/.test(screen);
    }

    // The rate readout, "<n>FPS" at the start of its row; null while
    // there is none.
    static rate(screen) {
        const found = (screen.split('\n')[rateRow] ?? '').match(/^(\d+)FPS/);
        return found ? Number(found[1]) : null;
    }

    close() {
        try {
            this.tmux('kill-server');
        } catch {
            // gone already
        }
        fs.rmSync(this.work, { recursive: true, force: true });
    }
}

// A test of the page in headless Chromium against the real host in a pane,
// as ctest runs it (skipped without them): `body({ host, browser, t })`;
// nothing any page threw or logged as an error either.
function hostTest(name, timeout, body) {
    const test = require('node:test');
    const assert = require('node:assert/strict');
    const { Chromium } = require('./headless_chromium.js');
    const { BLOCKDUEL_GAME: game, BLOCKDUEL_CHROMIUM: program } = process.env;
    const skip = game && program ? false : 'needs BLOCKDUEL_GAME and BLOCKDUEL_CHROMIUM, as ctest sets them';
    test(name, { skip, timeout }, async (t) => {
        const host = new HostPane(game);
        const browser = new Chromium(program);
        try {
            await body({ host, browser, t });
            assert.deepEqual(browser.complaints(), []);
        } finally {
            await browser.close();
            host.close();
        }
    });
}

module.exports = { HostPane, hostTest, sleep, block };
