// SPDX-License-Identifier: MIT
// The page in a real, headless Chromium against the real host: the game runs
// `--host` in a tmux pane, whose join notice gives the page's link; a wrong
// code is refused on the page; with the link's code the page joins as player
// two, D held (a press, a wait, a release) takes the right board's piece to
// its wall on the host's terminal, D and S held together both act, a
// release stops the move; Escape on the page ends the match on the host.
// Nothing goes to any other address.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { Chromium } = require('./headless_chromium.js');
const { HostPane, sleep } = require('./host_pane.js');

const game = process.env.BLOCKDUEL_GAME;
const program = process.env.BLOCKDUEL_CHROMIUM;
const skip = game && program ? false : 'needs BLOCKDUEL_GAME and BLOCKDUEL_CHROMIUM, as ctest sets them';

const right = (screen) => HostPane.pieceColumn(screen, 30);
// The top row of the right board's piece.
const top = (screen) => screen.split('\n').slice(0, 13).findIndex((line) => [...line].slice(31, 49).includes('\u2588'));
const left = (screen) => HostPane.pieceColumn(screen, 0);

test('the page in Chromium joins the real host', { skip, timeout: 180000 }, async () => {
    const host = new HostPane(game);
    const browser = new Chromium(program);
    try {
        const link = await host.link();
        assert.match(link, /^http:\/\/127\.0\.0\.1:\d+\/#7K3M-Q9XD$/);
        const origin = new URL(link).origin;
        await browser.open();

        // A wrong code: the host refuses it and the page says so.
        await browser.send('Page.navigate', { url: `${origin}/#AAAA-BBBB` });
        await browser.until("document.readyState === 'complete' && document.getElementById('code').value === 'AAAA-BBBB'");
        await browser.evaluate("document.getElementById('play').click()");
        await browser.until("document.getElementById('note').textContent.startsWith('Refused: the host refused the code AAAA-BBBB')");

        // The link as the host shows it: its code joins.
        await browser.send('Page.navigate', { url: 'about:blank' });
        await browser.send('Page.navigate', { url: link });
        await browser.until("document.readyState === 'complete' && document.getElementById('code').value === '7K3M-Q9XD'");
        await browser.evaluate("document.getElementById('play').click()");
        await host.until((s) => /Round 1 starts in/.test(s), 'the countdown');
        await host.until((s) => /Next:.*Next:/.test(s) && right(s) < 99 && !/starts in/.test(s), 'the round under way');
        await browser.until("document.getElementById('game').hidden === false");

        // D held: the right piece goes to its wall, the left one stays.
        const start = host.screen();
        await browser.key('keyDown', 'KeyD', 'd', 68);
        const atWall = await host.until((s) => {
            const column = right(s);
            return column < 99 && column > right(start) + 1 && s.split('\n').slice(0, 13).some((line) => [...line][48] === '\u2588') ? s : null;
        }, 'the right piece at its wall');
        await browser.key('keyUp', 'KeyD', 'd', 68);
        assert.equal(left(atWall), left(start), 'the left piece stayed');

        // A held, and let go as soon as it has moved the piece: the piece
        // moves no further, where a key still held would take it on to the
        // left wall within a few frames.
        const wall = right(atWall);
        await browser.key('keyDown', 'KeyA', 'a', 65);
        await host.until((s) => right(s) <= wall - 2, 'A moving the piece left');
        await browser.key('keyUp', 'KeyA', 'a', 65);
        const released = right(host.screen());
        assert.ok(released > 4, `the piece went too far to tell a release (at ${released})`);
        await sleep(800);
        const later = right(host.screen());
        assert.ok(later >= released - 2, `the piece moved on after A was let go: ${released} -> ${later}`);

        // A and S held together: the piece goes left and down, both keys acting.
        const before = host.screen();
        await browser.key('keyDown', 'KeyA', 'a', 65);
        await browser.key('keyDown', 'KeyS', 's', 83);
        await host.until((s) => right(s) <= right(before) - 2 && top(s) >= top(before) + 2,
            'A and S held together moving the piece left and down', 5000);
        await browser.key('keyUp', 'KeyS', 's', 83);
        await browser.key('keyUp', 'KeyA', 'a', 65);

        // Escape on the page ends the match for both.
        await browser.key('keyDown', 'Escape', 'Escape', 27);
        await host.until((s) => /^status \d+$/m.test(s), 'the game to end');
        assert.match(host.screen(), /Match over: 0-0\. Player two left\./);
        assert.match(host.screen(), /^status 0$/m);
        await browser.until("document.getElementById('status').textContent === 'You left the game.'");

        const requested = browser.events.filter((e) => e.method === 'Network.requestWillBeSent').map((e) => e.params.request.url);
        assert.ok(requested.every((url) => url.startsWith(`${origin}/`)), requested.join(' '));
        const sockets = browser.events.filter((e) => e.method === 'Network.webSocketCreated').map((e) => e.params.url);
        assert.deepEqual([...new Set(sockets)], [`ws://127.0.0.1:${new URL(link).port}/play`]);
        assert.deepEqual(browser.complaints(), []);
    } finally {
        await browser.close();
        host.close();
    }
});
