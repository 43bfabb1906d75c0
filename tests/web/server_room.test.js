// SPDX-License-Identifier: MIT
// The page in a real, headless Chromium against `blockduel --serve`: the
// front page's choice opens a room of the computer at the level chosen,
// under a name and a code the page drew; the room's page joins it at once
// as player two and the computer plays the left board; Escape leaves.
// Nothing goes to any other address, and the code never leaves the page
// but inside the game's own greeting.
'use strict';
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const test = require('node:test');
const { Chromium } = require('./headless_chromium.js');

const { BLOCKDUEL_GAME: game, BLOCKDUEL_CHROMIUM: program } = process.env;
const skip = game && program ? false : 'needs BLOCKDUEL_GAME and BLOCKDUEL_CHROMIUM, as ctest sets them';

// The server on a port of the system's choosing, which its start line names.
function startServer() {
    const server = spawn(game, ['--serve', '127.0.0.1:0'], { stdio: ['ignore', 'ignore', 'pipe'] });
    let log = '';
    const port = new Promise((resolve, reject) => {
        server.stderr.on('data', (d) => {
            log += d;
            const found = log.match(/event=start .*port=(\d+)/);
            if (found) resolve(Number(found[1]));
        });
        server.on('exit', () => reject(new Error(`the server ended: ${log}`)));
    });
    return { server, port, log: () => log };
}

// Pieces landed across the left board's well, which takes the computer's
// moves: pieces left to fall where they spawn cover a third of it at most.
const computerPlays = `new Set([...document.querySelectorAll('#screen > div')].slice(7, 13)
    .flatMap((row) => [...row.textContent].slice(1, 19).flatMap((c, x) => (c === '\u2588' ? [x] : [])))).size >= 10`;

test('the front page opens a room where the page plays the computer', { skip, timeout: 120000 }, async () => {
    const { server, port, log } = startServer();
    const browser = new Chromium(program);
    try {
        const origin = `http://127.0.0.1:${await port}`;
        const tab = await browser.open();
        await tab.send('Page.navigate', { url: `${origin}/` });
        await tab.until("document.readyState === 'complete' && !document.getElementById('rooms').hidden && document.getElementById('join').hidden");
        await tab.evaluate("document.getElementById('level').value = '5'");
        await tab.click('computer');
        await tab.until("location.pathname.startsWith('/r/') && document.getElementById('game').hidden === false");
        const url = new URL(await tab.evaluate('location.href'));
        assert.match(url.pathname, /^\/r\/[a-z2-9]{12}$/);
        assert.equal(url.search, '?computer=5');
        assert.match(url.hash, /^#[0-9A-HJKMNP-TV-Z]{4}-[0-9A-HJKMNP-TV-Z]{4}$/);
        await tab.until("document.getElementById('status').textContent.startsWith('Playing')");
        // The computer plays the left board: its pieces land there.
        await tab.until(computerPlays, 60000);

        await tab.press('Escape');
        await tab.until("document.getElementById('status').textContent === 'You left the game.'");
        const requested = browser.addresses('Network.requestWillBeSent');
        assert.ok(requested.every((u) => u.startsWith(`${origin}/`) && !u.includes(url.hash.slice(1))), requested.join(' '));
        assert.deepEqual(browser.addresses('Network.webSocketCreated'), [`ws://127.0.0.1:${await port}${url.pathname}/play?computer=5`]);
        assert.deepEqual(browser.complaints(), []);
    } finally {
        await browser.close();
        server.kill('SIGTERM');
        await new Promise((resolve) => (server.exitCode !== null ? resolve() : server.on('exit', resolve)));
        assert.match(log(), /event=room_opened room=[a-z2-9]{12} level=5 first_to=0 client=/);
        assert.match(log(), /event=stop/);
    }
});
