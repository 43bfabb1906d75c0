// SPDX-License-Identifier: MIT
// A room's kept match played back in a real, headless Chromium, against
// `blockduel --serve --state DIR`: a page plays the computer in a room, a
// second page of the room's link watches, and the player leaves with
// Escape. Both are offered the match's replay link; opened, it plays the
// kept file (fast, by the replay's own keys) to its end, where the grid is
// the watcher's last picture, cell for cell and colour for colour. Nothing
// goes to any other address.
'use strict';
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const test = require('node:test');
const { Chromium } = require('./headless_chromium.js');

const { BLOCKDUEL_GAME: game, BLOCKDUEL_CHROMIUM: program } = process.env;
const skip = game && program ? false : 'needs BLOCKDUEL_GAME and BLOCKDUEL_CHROMIUM, as ctest sets them';

// Resolves to the port the server's start line names.
function portOf(server) {
    let log = '';
    return new Promise((resolve, reject) => {
        server.stderr.on('data', (d) => {
            const found = (log += d).match(/event=start .*port=(\d+)/);
            if (found) resolve(Number(found[1]));
        });
        server.on('exit', () => reject(new Error(`the server ended: ${log}`)));
    });
}

const statusIs = (text) => `document.getElementById('status')?.textContent === ${JSON.stringify(text)}`;
// Every cell of the grid: its classes (its colours) and its character.
const cells = "[...document.querySelectorAll('#screen span')].map((s) => s.className + ' ' + s.textContent)";
// Pieces landed on the computer's board (the left well), a few of them.
const landed = `[...document.querySelectorAll('#screen > div')].slice(7, 13)
    .flatMap((row) => [...row.textContent].slice(1, 19)).filter((c) => c === '\u2588').length >= 8`;

test("a room's match, kept, plays back from the link the page gives at its end", { skip, timeout: 240000 }, async () => {
    const state = fs.mkdtempSync(path.join(os.tmpdir(), 'blockduel-replay-'));
    const server = spawn(game, ['--serve', '127.0.0.1:0', '--state', state], { stdio: ['ignore', 'ignore', 'pipe'] });
    const browser = new Chromium(program);
    try {
        const origin = `http://127.0.0.1:${await portOf(server)}`;
        const player = await browser.open();
        await player.send('Page.navigate', { url: `${origin}/` });
        await player.until("document.readyState === 'complete' && document.getElementById('rooms')?.hidden === false");
        await player.click('computer');
        await player.until("document.getElementById('status')?.textContent.startsWith('Playing')");
        const link = await player.evaluate('location.href');
        const room = new URL(link).pathname;

        // The link's seats are held, so a second page watches.
        const watcher = await browser.open();
        await watcher.send('Page.navigate', { url: link });
        await watcher.until(statusIs('Watching: Escape leaves.'));
        await watcher.until(landed, 60000);

        await player.press('Escape');
        await player.until(statusIs('You left the game.'));
        await watcher.until(statusIs('The game is over.'));
        const last = await watcher.evaluate(cells);
        const offered = "document.getElementById('rewatch').hidden ? '' : document.getElementById('rewatch').getAttribute('href')";
        await player.until(`(${offered}).startsWith('${room}/replay/')`, 5000);
        const replay = await player.evaluate(offered);
        assert.match(replay, /^\/r\/[a-z2-9]{12}\/replay\/[1-9][0-9]*$/);
        await watcher.until(`(${offered}) === '${replay}'`, 5000);
        assert.equal(await player.evaluate("document.getElementById('rewatch').textContent"), 'Watch this match again');
        assert.equal(fs.readdirSync(path.join(state, 'recordings')).length, 1);

        // The replay: no join form, the keys said, eight times as fast.
        await player.click('rewatch');
        await player.until(`location.pathname === '${replay}' && document.getElementById('status')?.textContent.startsWith('Replay: 1x. Space pauses')`);
        assert.equal(await player.evaluate("document.getElementById('join').hidden && !document.getElementById('replayPads').hidden"), true);
        for (let k = 0; k < 3; ++k) await player.key('keyDown', 'Equal', '=', 187);
        await player.until("document.getElementById('status').textContent.startsWith('Replay: 8x')");
        await player.until(statusIs('The end of the match.'), 120000);
        assert.deepEqual(await player.evaluate(cells), last);
        assert.equal(await player.evaluate("document.getElementById('replayPads').hidden"), true);

        const requested = browser.addresses('Network.requestWillBeSent');
        assert.ok(requested.includes(`${origin}${replay}.rec`), requested.join(' '));
        assert.ok(requested.every((u) => u.startsWith(`${origin}/`)), requested.join(' '));
        assert.deepEqual(browser.complaints(), []);
    } finally {
        await browser.close();
        server.kill('SIGTERM');
        await new Promise((resolve) => (server.exitCode !== null ? resolve() : server.on('exit', resolve)));
        fs.rmSync(state, { recursive: true, force: true });
    }
});
