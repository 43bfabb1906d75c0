// SPDX-License-Identifier: MIT
// The page in a real, headless Chromium, served as a host serves it (with
// its Content Security Policy and a fresh nonce) by a stand-in host that
// speaks the game's messages: the script and the style run under the
// policy, the code comes from the link, the picture arrives in odd pieces
// and shows, held keys go as presses and releases, losing focus lets them
// go, and the end, a refusal and a watcher's Escape read as they should.
// Nothing goes to any other address.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { execFileSync } = require('node:child_process');
const { page } = require('./page_load.js');
const { startHost } = require('./stand_in_host.js');
const { Chromium } = require('./headless_chromium.js');

const printer = process.env.BLOCKDUEL_WEB_PAGE_PRINTER;
const program = process.env.BLOCKDUEL_CHROMIUM;
const skip = printer && program ? false : 'needs BLOCKDUEL_WEB_PAGE_PRINTER and BLOCKDUEL_CHROMIUM, as ctest sets them';

const T = page.Type;
const A = page.Action;
const K = page.KeyKind;
const key = (kind, action) => [T.Key, 2, kind, action];

// A picture: "BLOCKDUEL" in yellow on blue at the top left (cells 0..8), a
// full block in light cyan at the second row's start (cell 56); then a
// delta that writes "!" after it (cell 57) in the default attribute.
const pictureRuns = [0x00, 0x08, 0x1e, ...Buffer.from('BLOCKDUEL'), 0x07, 0x00, 0x0b, 219];
const picture = [T.Picture, pictureRuns.length, ...pictureRuns];
const delta = [T.Delta, 3, 0x07, 0x30, 0x21];
// Where the page lies in its window: the window's width (wider when the
// page does not fit a phone's), whether the buttons are a finger's, what
// ends below it or beyond its right edge, and a cell's size in device pixels.
const layout = `(() => {
    const box = (s) => document.querySelector(s).getBoundingClientRect();
    const parts = ['#screen', '#status', '#pads > :last-child'];
    const cell = box('#screen span');
    return { width: innerWidth, coarse: matchMedia('(pointer: coarse)').matches, below: parts.filter((s) => box(s).bottom > innerHeight),
        right: parts.filter((s) => box(s).right > innerWidth), cell: [cell.width, cell.height].map((n) => n * devicePixelRatio) };
})()`;
const rowText = (y) => `[...document.querySelectorAll('#screen > div')[${y}].children].map((s) => s.textContent).join('')`;

test('the page in Chromium, against a stand-in host', { skip, timeout: 120000 }, async () => {
    const html = execFileSync(printer, { encoding: 'utf8' });
    const host = await startHost(html, '{{NONCE}}');
    const browser = new Chromium(program);
    try {
        const tab = await browser.open();
        const origin = `http://127.0.0.1:${host.port}`;
        await tab.send('Page.navigate', { url: `${origin}/#7k3m q9xd` });
        await tab.until("document.readyState === 'complete'");

        // The script ran (the grid is built) and the style applied, both
        // under the policy; the link's code is in the form.
        assert.equal(await tab.evaluate("document.querySelectorAll('#screen span').length"), page.cells);
        assert.equal(await tab.evaluate('getComputedStyle(document.documentElement).backgroundColor'), 'rgb(12, 12, 12)');
        assert.equal(await tab.evaluate("document.getElementById('code').value"), '7K3M-Q9XD');

        // Play: the Hello, then a welcome and a picture cut across messages.
        await tab.click('play');
        const player = await host.connection(1);
        assert.equal(player.origin, origin);
        assert.deepEqual(player.messages[0], [T.Hello, 15, 0x42, 0x4c, 0x4b, 0x44, page.protocolVersion, 1, ...Buffer.from('7K3MQ9XD'), 0]);
        const first = [T.Welcome, 2, page.protocolVersion, 1, ...picture];
        player.send(first, [1, 5, 9]);
        await player.until(() => player.messages.length >= 2, 'Ready');
        assert.deepEqual(player.messages[1], [...page.encodeReady(page.legend)]);
        await tab.until(`${rowText(0)}.startsWith('BLOCKDUEL ')`);
        player.send(delta);
        await tab.until(`${rowText(1)}.startsWith('\u2588!')`);
        assert.match(await tab.evaluate("document.querySelector('#screen span').className"), /^f14 b1$/);
        assert.equal(await tab.evaluate("getComputedStyle(document.querySelector('#screen span')).color"), 'rgb(249, 241, 165)');

        // D held, then S: both pressed; S let go, then D; P; then D held as
        // the page loses focus.
        await tab.key('keyDown', 'KeyD');
        await tab.key('keyDown', 'KeyS');
        await tab.key('keyUp', 'KeyS');
        await tab.key('keyUp', 'KeyD');
        await tab.press('KeyP');
        await tab.key('keyDown', 'ArrowLeft');
        await tab.evaluate("window.dispatchEvent(new Event('blur'))");
        const keys = [key(K.Press, A.Right), key(K.Press, A.Drop), key(K.Release, A.Drop), key(K.Release, A.Right),
            key(K.Press, A.Pause), key(K.Release, A.Pause), key(K.Press, A.Left), key(K.ReleaseAll, 0)];
        await player.until(() => player.keys().length >= keys.length, 'the keys');
        assert.deepEqual(player.keys(), keys);
        // A second without a key: a keep-alive.
        await player.until(() => player.messages.some((m) => m[0] === T.KeepAlive), 'a keep-alive');
        // On a phone (its touch buttons larger) and a laptop, at one and two
        // device pixels a pixel, the picture, the legend and the last button
        // are in sight, a cell is whole device pixels, and larger on the
        // laptop; then the Pause button pauses as P does.
        const cells = [];
        for (const deviceScaleFactor of [2, 1])
            for (const [width, height, mobile] of [[400, 800, true], [1000, 700, false]]) {
                await tab.send('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor, mobile });
                await tab.send('Emulation.setTouchEmulationEnabled', { enabled: mobile });
                await tab.send('Runtime.evaluate', { expression: 'new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))', awaitPromise: true });
                const seen = await tab.evaluate(layout);
                cells.push(seen.cell[0]);
                assert.deepEqual({ ...seen, cell: seen.cell.map((n) => n % 1) },
                    { width, coarse: mobile, below: [], right: [], cell: [0, 0] }, `${width}x${height} at ${deviceScaleFactor}`);
            }
        assert.ok(cells[0] < cells[1] && cells[2] < cells[3], `cells of ${cells} device pixels`);
        if (process.env.BLOCKDUEL_WEB_SCREENSHOT) {
            const { data } = await tab.send('Page.captureScreenshot', { format: 'png' });
            fs.writeFileSync(process.env.BLOCKDUEL_WEB_SCREENSHOT, Buffer.from(data, 'base64'));
        }
        await tap(tab, 'touchPause');
        await player.until(() => player.keys().length >= keys.length + 2, 'the Pause button');
        assert.deepEqual(player.keys().slice(keys.length), [key(K.Press, A.Pause), key(K.Release, A.Pause)]);

        // The end: the picture stays, the page says so and offers to join again.
        player.send([T.End, 0]);
        await tab.until("document.getElementById('status').textContent === 'The game is over.'");
        assert.equal(await tab.evaluate("document.getElementById('again').hidden"), false);
        assert.match(await tab.evaluate(rowText(0)), /^BLOCKDUEL /);

        // Join again joins, with the same code and seat; the Leave button
        // leaves as Escape does.
        await tab.click('again');
        const rejoined = await host.connection(2);
        assert.deepEqual(rejoined.messages[0], player.messages[0]);
        rejoined.send(first);
        await tab.until("document.getElementById('status').textContent.startsWith('Playing')");
        await tap(tab, 'touchLeave');
        await rejoined.until(() => rejoined.closed, 'the page to leave');
        assert.deepEqual(rejoined.keys(), [key(K.Press, A.Escape)]);
        await tab.until("document.getElementById('status').textContent === 'You left the game.'");

        // A wrong code, refused: the form says why and takes another try.
        await tab.click('again');
        const refused = await host.connection(3);
        refused.send([T.Refused, 1, 1]);
        await tab.until("document.getElementById('note').textContent.startsWith('Refused: the host refused the code 7K3M-Q9XD')");
        assert.equal(await tab.evaluate("document.getElementById('join').hidden"), false);

        // A watcher: the last game's picture stays until the welcome blanks
        // it; no keys go, and Escape leaves at once.
        await tab.click('watch');
        const watcher = await host.connection(4);
        assert.equal(watcher.messages[0][7], 2);
        watcher.send([T.Welcome, 2, page.protocolVersion, 2, ...picture]);
        await tab.until("document.getElementById('status').textContent === 'Watching: Escape leaves.'");
        await tab.until(`${rowText(0)}.startsWith('BLOCKDUEL ')`);
        await tab.key('keyDown', 'KeyD');
        await tab.key('keyDown', 'Escape');
        await watcher.until(() => watcher.closed, 'the watcher to leave');
        assert.deepEqual(watcher.keys(), []);
        await tab.until("document.getElementById('status').textContent === 'You left the game.'");

        // Nothing but the page itself was asked for, and nothing complained.
        assert.deepEqual(browser.addresses('Network.requestWillBeSent'), [`${origin}/`]);
        assert.deepEqual(browser.addresses('Network.webSocketCreated'), [`ws://127.0.0.1:${host.port}/play`]);
        assert.deepEqual(browser.complaints(), []);
        assert.deepEqual(host.requests, ['/']);
    } finally {
        await browser.close();
        host.close();
    }
});

// A press and a lift of the mouse on the touch button for `code`, where it
// stands two frames running: the cells refit a frame after the page's
// height changes, and the buttons move with them.
async function tap(tab, code) {
    const where = `new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => {
        const r = document.querySelector('[data-key=${code}]').getBoundingClientRect();
        done((r.x + r.width / 2) + ' ' + (r.y + r.height / 2));
    })))`;
    const look = async () => (await tab.send('Runtime.evaluate', { expression: where, awaitPromise: true, returnByValue: true })).result.value;
    let seen = await look();
    for (let tries = 0, last = ''; seen !== last && tries < 20; ++tries) [last, seen] = [seen, await look()];
    const at = seen.split(' ').map(Number);
    for (const type of ['mousePressed', 'mouseReleased'])
        await tab.send('Input.dispatchMouseEvent', { type, x: at[0], y: at[1], button: 'left', clickCount: 1 });
}
