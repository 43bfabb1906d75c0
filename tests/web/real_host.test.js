// SPDX-License-Identifier: MIT
// The page in a real, headless Chromium against the real host: the game runs
// `--host` in a tmux pane, whose join notice gives the page's link; a wrong
// code is refused on the page; with the link's code the page joins as player
// two, D held (a press, a wait, a release) takes the right board's piece to
// its wall on the host's terminal, D and S held together both act, a
// release stops the move; Escape on the page ends the match on the host.
// Nothing goes to any other address.
'use strict';
const assert = require('node:assert/strict');
const { HostPane, hostTest, sleep } = require('./host_pane.js');

const right = (screen) => HostPane.pieceColumn(screen, 30);
// The top row of the right board's piece.
const top = (screen) => screen.split('\n').slice(0, 13).findIndex((line) => [...line].slice(31, 49).includes('\u2588'));
const left = (screen) => HostPane.pieceColumn(screen, 0);

hostTest('the page in Chromium joins the real host', 180000, async ({ host, browser }) => {
    const link = await host.link();
    assert.match(link, /^http:\/\/127\.0\.0\.1:\d+\/#7K3M-Q9XD$/);
    const origin = new URL(link).origin;
    const tab = await browser.open();

    // A wrong code: the host refuses it and the page says so.
    await tab.load(`${origin}/#AAAA-BBBB`, 'AAAA-BBBB');
    await tab.click('play');
    await tab.until("document.getElementById('note').textContent.startsWith('Refused: the host refused the code AAAA-BBBB')");

    // The link as the host shows it: its code joins.
    await tab.send('Page.navigate', { url: 'about:blank' });
    await tab.join(link, 'play', '7K3M-Q9XD');
    await host.until((s) => /Round 1 starts in/.test(s), 'the countdown');
    await host.until((s) => HostPane.underWay(s) && right(s) < 99, 'the round under way');

    // D held: the right piece goes to its wall, the left one stays.
    const start = host.screen();
    await tab.key('keyDown', 'KeyD');
    const atWall = await host.until((s) => (right(s) < 99 && right(s) > right(start) + 1 && HostPane.atRightWall(s) ? s : null), 'the right piece at its wall');
    await tab.key('keyUp', 'KeyD');
    assert.equal(left(atWall), left(start), 'the left piece stayed');

    // A held, and let go as soon as it has moved the piece: the piece
    // moves no further, where a key still held would take it on to the
    // left wall within a few frames.
    const wall = right(atWall);
    await tab.key('keyDown', 'KeyA');
    await host.until((s) => right(s) <= wall - 2, 'A moving the piece left');
    await tab.key('keyUp', 'KeyA');
    const released = right(host.screen());
    assert.ok(released > 4, `the piece went too far to tell a release (at ${released})`);
    await sleep(800);
    const later = right(host.screen());
    assert.ok(later >= released - 2, `the piece moved on after A was let go: ${released} -> ${later}`);

    // A and S held together: the piece goes left and down, both keys acting.
    const before = host.screen();
    await tab.key('keyDown', 'KeyA');
    await tab.key('keyDown', 'KeyS');
    await host.until((s) => right(s) <= right(before) - 2 && top(s) >= top(before) + 2,
        'A and S held together moving the piece left and down', 5000);
    await tab.key('keyUp', 'KeyS');
    await tab.key('keyUp', 'KeyA');

    // Escape on the page ends the match for both.
    await tab.key('keyDown', 'Escape');
    await host.until((s) => /^status \d+$/m.test(s), 'the game to end');
    assert.match(host.screen(), /Match over: 0-0\. Player two left\./);
    assert.match(host.screen(), /^status 0$/m);
    await tab.until("document.getElementById('status').textContent === 'You left the game.'");

    const requested = browser.addresses('Network.requestWillBeSent');
    assert.ok(requested.every((url) => url.startsWith(`${origin}/`)), requested.join(' '));
    assert.deepEqual(browser.addresses('Network.webSocketCreated'), [`ws://127.0.0.1:${new URL(link).port}/play`]);
});
