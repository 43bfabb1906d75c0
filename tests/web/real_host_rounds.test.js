// SPDX-License-Identifier: MIT
// A match's rounds in a real, headless Chromium against the real host in
// tmux, with a player's page and a watcher's page in two tabs: the watcher
// sees the host's boards and follows the host's own moves; the player's
// page shows the countdown, tops out with S held and shows the result and
// the tally, as the watcher's does; Enter on the page and on the host's
// terminal starts the next round; Escape on the watcher's page leaves
// without ending the match, and the host's Escape ends it on the page.
'use strict';
const assert = require('node:assert/strict');
const { HostPane, hostTest, sleep } = require('./host_pane.js');

// The two boards, the same on the host's terminal and in a watcher's
// picture (the panel between them says "You" on the host's only).
const boards = (lines) => lines.slice(0, 14).map((line) => [...line.padEnd(50)].slice(0, 20).concat([...line.padEnd(50)].slice(30, 50)).join(''));
const left = (lines) => HostPane.pieceColumn(lines.join('\n'), 0);
const status = "document.getElementById('status').textContent";
const anyRow = (pattern) => `[...document.querySelectorAll('#screen > div')].some((r) => ${pattern}.test(r.textContent))`;

hostTest('a watcher and a player follow the rounds of a match', 240000, async ({ host, browser }) => {
    const link = await host.link();
    const watcher = await browser.open();
    const player = await browser.open();
    await watcher.join(link, 'watch', '7K3M-Q9XD');
    assert.equal(await watcher.evaluate(status), 'Watching: Escape leaves.');
    await player.join(link, 'play', '7K3M-Q9XD');

    // The countdown, on the player's page as on the host's terminal.
    await host.until((s) => /Round 1 starts in [23]/.test(s), 'the countdown');
    await player.until(anyRow(/Round 1 starts in [123]/));
    await host.until((s) => /1 watching/.test(s), 'the watcher counted');

    // The watcher's boards are the host's, and follow the host's keys.
    await host.until((s) => HostPane.underWay(s) && left(s.split('\n')) < 99, 'the round under way');
    const hostsBoards = (t) => JSON.stringify(boards(t.split('\n'))) === JSON.stringify(boards(host.screen().split('\n')));
    await watcher.untilRows(hostsBoards, "the host's boards", 10000);
    // One key a frame or so: keys a terminal sends at once may meet in one frame.
    const before = left(await watcher.rows());
    for (let k = 0; k < 3; ++k) {
        host.type('Right');
        await sleep(150);
    }
    await watcher.untilRows((t) => left(t.split('\n')) >= before + 2, `the host's piece move right from ${before}`, 10000);

    // S held on the player's page: the right board fills up and tops out.
    await player.key('keyDown', 'KeyS');
    await player.until(anyRow(/Game Over · You lose this round\. Match: 1-0/), 90000);
    await player.key('keyUp', 'KeyS');
    await host.until((s) => /Game Over · You win this round\. Match: 1-0/.test(s), 'the host\'s result');
    await watcher.until(anyRow(/Game Over · Player one wins this round\. Match: 1-0/));

    // Enter on the page, then on the host: the next round counts down.
    await player.press('Enter');
    await host.until((s) => /Player two is ready/.test(s), 'player two ready');
    host.type('Enter');
    await player.until(anyRow(/Round 2 starts in/));
    await watcher.until(anyRow(/Round 2 starts in/));

    // The watcher leaves; the match goes on without them.
    await watcher.press('Escape');
    await watcher.until(`${status} === 'You left the game.'`);
    await host.until((s) => !/watching/.test(s), 'the watcher gone');
    assert.equal(await player.evaluate(status), 'Playing: W A S D or the arrows; Enter starts the next round, P pauses, Escape leaves.');

    // The host's Escape ends the match on the page.
    host.type('Escape');
    await player.until(`${status} === 'The game is over.'`);
    await host.until((s) => /^status 0$/m.test(s), 'the game to end');
    assert.match(host.screen(), /Match over: 1-0/);
});
