// SPDX-License-Identifier: MIT
// The page in a real, headless Chromium against `blockduel --serve`: the
// front page's choices open a room under a name and a code the page drew.
// Against the computer at the level chosen, the room's page joins at once
// as player two and the computer plays the left board; Escape leaves. A
// friend's room shows its link to send: the page that opens it plays the
// right board, each player's held keys move their own board (a browser
// that hides gamepads says so), and a third page watches. Two players at
// one page move their boards with their keys, then with two gamepads, one
// of which goes and lets its keys go. Nothing goes to any other address,
// and the code never leaves the page but inside the game's own greeting.
'use strict';
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const test = require('node:test');
const { Chromium } = require('./headless_chromium.js');
const { HostPane } = require('./host_pane.js');
const { page } = require('./page_load.js');

const { BLOCKDUEL_GAME: game, BLOCKDUEL_CHROMIUM: program } = process.env;
const skip = game && program ? false : 'needs BLOCKDUEL_GAME and BLOCKDUEL_CHROMIUM, as ctest sets them';

// The server on a port of the system's choosing, which its start line
// names; what it keeps goes to a folder of its own, gone at the end.
function startServer() {
    const kept = fs.mkdtempSync(path.join(os.tmpdir(), 'blockduel-server-'));
    process.on('exit', () => fs.rmSync(kept, { recursive: true, force: true }));
    const server = spawn(game, ['--serve', '127.0.0.1:0', '--state', kept], { stdio: ['ignore', 'ignore', 'pipe'] });
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

// The sound's notes a page makes from here on, and the person's first
// key, after which the page may sound (a watcher's A is no move).
async function countNotes(tab) {
    await tab.evaluate(`window.notes = [];
        const make = AudioContext.prototype.createOscillator;
        AudioContext.prototype.createOscillator = function () { return window.notes[window.notes.push(make.call(this)) - 1]; }`);
    await tab.press('KeyA');
}
const news = "document.getElementById('news').textContent";
const pitches = "window.notes.map((note) => note.frequency.value).join(' ')";
const sleep = (ms) => new Promise((wake) => setTimeout(wake, ms));

// Rounds against the computer, each soon lost by the page's player, whose
// pieces stack where they come, and the next begun by its Enter, until
// `done()` holds.
async function roundsUntil(tab, done, what) {
    for (const deadline = Date.now() + 120000; !(await done()); await sleep(100)) {
        assert.ok(Date.now() < deadline, `never ${what}`);
        if ((await tab.evaluate(news)).startsWith('You lost')) await tab.press('Enter');
    }
}

// A test against a fresh server and browser: `body({ origin, browser, log })`;
// nothing any page threw or logged as an error either.
function serverTest(name, body, timeout = 150000) {
    test(name, { skip, timeout }, async () => {
        const { server, port, log } = startServer();
        const browser = new Chromium(program);
        try {
            await body({ origin: `http://127.0.0.1:${await port}`, browser, log });
            assert.deepEqual(browser.complaints(), []);
        } finally {
            await browser.close();
            server.kill('SIGTERM');
            await new Promise((resolve) => (server.exitCode !== null ? resolve() : server.on('exit', resolve)));
        }
        assert.match(log(), /event=stop/);
    });
}

// The pages here navigate as they open rooms: each wait allows for that.
const until = (tab, expression, ms = 30000) => tab.until(expression, ms);
const untilScreen = (tab, holds, what, ms = 30000) => tab.untilRows(holds, what, ms);
const leftWall = (t) => HostPane.pieceColumn(t, 0) === 0;

// A round under way on both boards, each with its piece.
const playing = (t) => HostPane.underWay(t) && HostPane.pieceColumn(t, 0) < 99 && HostPane.pieceColumn(t, 30) < 99;

// A new tab at the front page (its rooms offered, no form to join), where
// it clicks the choice `id`, at `level` if given, with `name` typed if
// given; `script`, if given, runs in each of the tab's documents before the
// page's own.
async function choose(browser, origin, id, level, script, name) {
    const tab = await browser.open();
    if (script) await tab.send('Page.addScriptToEvaluateOnNewDocument', { source: script });
    await tab.send('Page.navigate', { url: `${origin}/` });
    await until(tab, "document.readyState === 'complete' && document.getElementById('rooms')?.hidden === false && document.getElementById('join').hidden");
    if (level) await tab.evaluate(`document.getElementById('level').value = '${level}'`);
    if (name) await tab.evaluate(`document.getElementById('playerName').value = ${JSON.stringify(name)}`);
    await tab.click(id);
    return tab;
}

serverTest('the front page opens a room where the page plays the computer', async ({ origin, browser, log }) => {
    const tab = await choose(browser, origin, 'computer', 5);
    await until(tab, "location.pathname.startsWith('/r/') && document.getElementById('game').hidden === false");
    const url = new URL(await tab.evaluate('location.href'));
    assert.match(url.pathname, /^\/r\/[a-z2-9]{12}$/);
    assert.equal(url.search, '?computer=5');
    assert.match(url.hash, /^#[0-9A-HJKMNP-TV-Z]{4}-[0-9A-HJKMNP-TV-Z]{4}$/);
    await until(tab, "document.getElementById('status').textContent.startsWith('Playing')");

    // Player one's left chosen as J in the Keys panel by a key press (D
    // refused: it moves right), and kept over a reload: the status and the
    // legend, shown while paused, name it, and J moves the page's board.
    const keyNote = "document.getElementById('keyNote').textContent";
    await tab.click('keys');
    await tab.evaluate("document.querySelectorAll('#keyMoves button')[1].click()");
    await tab.press('KeyD');
    assert.equal(await tab.evaluate(keyNote), 'D already moves right for player one. Press another, or Escape.');
    await tab.press('KeyJ');
    assert.match(await tab.evaluate(keyNote), /^Player one's left is J\./);
    await tab.send('Page.reload');
    await until(tab, "document.getElementById('status')?.textContent.startsWith('Playing: W J D S or the arrows;')");
    await untilScreen(tab, playing, 'the round under way after the reload');
    await tab.press('KeyP');
    await untilScreen(tab, (t) => t.includes('Paused') && t.includes('Keys: \u2191 \u2190 \u2192 \u2193 or W J D S'), 'J in the legend, paused');
    // P again once the host has seen P up at a frame since: a press in the
    // very frame the pause began is the same press to it.
    await sleep(300);
    await tab.press('KeyP');
    await untilScreen(tab, playing, 'the round under way again');
    await tab.key('keyDown', 'KeyJ');
    await untilScreen(tab, (t) => HostPane.pieceColumn(t, 30) === 0, "the page's piece at its left wall");
    await tab.key('keyUp', 'KeyJ');
    // The computer plays the left board: its pieces land there.
    await until(tab, computerPlays, 60000);

    // A watcher at the room's link is told the computer's clears by number
    // and hears each as the clear's three notes; muted, it hears nothing of
    // what comes next. The player is told of its loss, the watcher of the
    // computer's win.
    await countNotes(tab);
    const watcher = await browser.open();
    await watcher.send('Page.navigate', { url: url.href });
    await until(watcher, "document.getElementById('status')?.textContent === 'Watching: Escape leaves.'");
    await countNotes(watcher);
    const cleared = /^Player one cleared (1 row|[234] rows)\. A penalty cell came onto player two's board\.$/;
    await roundsUntil(tab, async () => cleared.test(await watcher.evaluate(news)), 'a clear told');
    const clear = await watcher.evaluate("blockduel.tones.clear.map(([hertz]) => hertz).join(' ')");
    assert.ok((await watcher.evaluate(pitches)).endsWith(clear), await watcher.evaluate(pitches));
    await watcher.click('mute');
    assert.equal(await watcher.evaluate("localStorage.getItem('blockduel.muted')"), 'true');
    const heard = await watcher.evaluate('window.notes.length');
    const told = await watcher.evaluate(news);
    await roundsUntil(tab, async () => /begun|cleared/.test(await watcher.evaluate(news)) && (await watcher.evaluate(news)) !== told, 'news after the mute');
    assert.equal(await watcher.evaluate('window.notes.length'), heard);
    await roundsUntil(tab, async () => /^You lost round \d+\.$/.test(await tab.evaluate(news)), 'a round lost');
    const round = (await tab.evaluate(news)).match(/\d+/)[0];
    await until(watcher, `${news} === 'Player one won round ${round}.'`);
    assert.ok((await tab.evaluate('window.notes.length')) > 0, 'the player heard its own board');

    // Colours easier to tell apart are kept over a reload, and hatch the
    // player's (player two's) pieces in another colour.
    await watcher.click('colours');
    assert.equal(await watcher.evaluate("localStorage.getItem('blockduel.colours')"), 'apart');
    await watcher.send('Page.reload');
    await until(watcher, "document.getElementById('status')?.textContent === 'Watching: Escape leaves.' && document.querySelector('#screen .k.f12') !== null");
    const look = "(({ color, backgroundImage }) => `${color} ${backgroundImage}`)(getComputedStyle(document.querySelector('#screen .k.f12')))";
    assert.match(await watcher.evaluate(look), /^rgb\(255, 140, 26\) repeating-linear-gradient/);
    assert.equal(await watcher.evaluate("document.getElementById('colours').getAttribute('aria-pressed')"), 'true');
    // Under forced colours the picture keeps its own, as an image would.
    await watcher.send('Emulation.setEmulatedMedia', { features: [{ name: 'forced-colors', value: 'active' }] });
    assert.match(await watcher.evaluate(look), /^rgb\(255, 140, 26\) repeating-linear-gradient/);

    await tab.press('Escape');
    await until(tab, "document.getElementById('status').textContent === 'You left the game.'");
    const requested = browser.addresses('Network.requestWillBeSent');
    assert.ok(requested.every((u) => u.startsWith(`${origin}/`) && !u.includes(url.hash.slice(1))), requested.join(' '));
    assert.deepEqual(browser.addresses('Network.webSocketCreated'), [`${origin.replace('http', 'ws')}${url.pathname}/play?computer=5`]);
    assert.match(log(), /event=room_opened room=[a-z2-9]{12} level=5 first_to=0 client=/);
}, 300000);

serverTest('a friend opens the link and each player holds keys on their own board', async ({ origin, browser }) => {
    // A name with markup is refused on the page, with why; one of any
    // script goes, and is kept for the next time.
    const opener = await choose(browser, origin, 'friend', undefined, undefined, 'Tom <b>');
    await until(opener, `document.getElementById('nameNote').textContent === 'That name has one of < > & " \\'.'`, 5000);
    assert.equal(await opener.evaluate('location.pathname'), '/');
    await opener.evaluate("document.getElementById('playerName').value = 'Åsa Ñ'");
    await opener.click('friend');
    await until(opener, "location.search === '?friend' && document.getElementById('share')?.hidden === false && document.getElementById('game').hidden === false");
    const link = await opener.evaluate("document.getElementById('link').value");
    assert.equal(link, await opener.evaluate('location.href'));

    // The friend's browser hides gamepads, as some do over plain http: once
    // one is plugged in, the page says why it does not play.
    const friend = await browser.open();
    await friend.send('Page.addScriptToEvaluateOnNewDocument', { source: `localStorage.setItem('blockduel.name', 'Bo');
        Object.defineProperty(window, 'isSecureContext', { value: false });
        Object.defineProperty(Navigator.prototype, 'getGamepads', { value: undefined });` });
    await friend.send('Page.navigate', { url: link });
    await until(friend, "document.getElementById('status')?.textContent.startsWith('Playing')");
    // Each board's name above it, on both pages.
    const names = "[...document.querySelectorAll('#names span')].map((s) => s.textContent).join('|') === 'Åsa Ñ|Bo'";
    await until(friend, names, 5000);
    await until(opener, names, 5000);
    const padNote = "document.getElementById('game').textContent.includes('Gamepads need this page over https or localhost.')";
    assert.equal(await friend.evaluate(padNote), false);
    await friend.evaluate("window.dispatchEvent(new Event('gamepadconnected'))");
    await until(friend, padNote, 5000);
    assert.equal(await opener.evaluate(padNote), false);
    await untilScreen(opener, playing, 'the round under way');

    // Each holds a key: the opener's piece (the left board) goes to its
    // left wall, the friend's (the right board) to its right wall, each
    // seen on the other's page.
    await opener.key('keyDown', 'KeyA');
    await friend.key('keyDown', 'KeyD');
    await untilScreen(friend, leftWall, "the opener's piece at its left wall");
    await untilScreen(opener, HostPane.atRightWall, "the friend's piece at its right wall");
    await opener.key('keyUp', 'KeyA');
    await friend.key('keyUp', 'KeyD');

    // A third page with the link: both seats are held, so it watches.
    const watcher = await browser.open();
    await watcher.send('Page.navigate', { url: link });
    await until(watcher, "document.getElementById('status')?.textContent === 'Watching: Escape leaves.'");

    await opener.press('Escape');
    await until(opener, "document.getElementById('status').textContent === 'You left the game.'");
    await until(friend, "document.getElementById('status').textContent === 'The game is over.'");
    assert.match((await friend.rows()).join('\n'), /Player one left/);
});

// Two gamepads in the standard mapping, whose buttons the test presses
// through `testPads`; a pad taken out of it is gone from getGamepads.
const fakePads = `window.testPads = [0, 1].map((index) => ({ index, connected: true, mapping: 'standard', axes: [0, 0, 0, 0],
    buttons: Array.from({ length: 17 }, () => ({ pressed: false, value: 0 })) }));
Object.defineProperty(Navigator.prototype, 'getGamepads', { configurable: true, value: () => window.testPads.slice() });`;
const pressPad = (tab, index, button, pressed) => tab.evaluate(`testPads[${index}] && (testPads[${index}].buttons[${button}].pressed = ${pressed})`);
// How many Key messages releasing `action` the page has sent, on any of its connections.
const releases = (browser, action) => browser.events.filter((e) => e.method === 'Network.webSocketFrameSent' &&
    e.params.response.payloadData === Buffer.from([5, 2, 3, action]).toString('base64')).length;
const pieceAt = (t, column) => t.split('\n').slice(0, 13).some((line) => [...line][column] === '\u2588');

serverTest('two players at one page hold their keys together, and their gamepads', async ({ origin, browser }) => {
    const tab = await choose(browser, origin, 'here', undefined, fakePads);
    await until(tab, "location.search === '?here' && document.getElementById('status')?.textContent.startsWith('Two players')");
    await untilScreen(tab, playing, 'the round under way');
    // A and Right held at once: each board's piece goes to its own wall.
    await tab.key('keyDown', 'KeyA');
    await tab.key('keyDown', 'ArrowRight');
    await untilScreen(tab, (t) => leftWall(t) && HostPane.atRightWall(t), 'both pieces at their walls');
    await tab.key('keyUp', 'KeyA');
    await tab.key('keyUp', 'ArrowRight');
    // Pad 1 pressed first plays the left board, pad 0 the right: each
    // holds its piece against the other wall.
    const { Left: left, Right: right } = page.Action;
    await pressPad(tab, 1, 15, true);
    await untilScreen(tab, (t) => pieceAt(t, 18), "the left board's piece at its right wall");
    await pressPad(tab, 0, 14, true);
    await untilScreen(tab, (t) => pieceAt(t, 18) && HostPane.pieceColumn(t, 30) === 0, "the right board's piece at its left wall");
    // Pad 0 goes while it holds Left: its Left is let go, pad 1's Right held.
    const before = [releases(browser, left), releases(browser, right)];
    await tab.evaluate('testPads[0] = null');
    await tab.poll(async () => releases(browser, left) === before[0] + 1, 'no release of Left after its pad went', 5000);
    assert.equal(releases(browser, right), before[1]);
    await pressPad(tab, 1, 15, false);
    await tab.poll(async () => releases(browser, right) === before[1] + 1, "no release of Right after pad 1's", 5000);
    await tab.press('Escape');
    await until(tab, "document.getElementById('status').textContent === 'You left the game.'");
    assert.equal(browser.addresses('Network.webSocketCreated').length, 1, 'one address, three connections');
});

serverTest('quick match pairs two pages', async ({ origin, browser }) => {
    const first = await choose(browser, origin, 'quick');
    await until(first, "location.pathname === '/r/quick' && document.getElementById('status')?.textContent.startsWith('Quick match')");
    await new Promise((wake) => setTimeout(wake, 500)); // its Ready on its way to the server
    const second = await choose(browser, origin, 'quick');
    await until(second, "document.getElementById('status')?.textContent.startsWith('Quick match')");
    // Paired, not each given the computer (which comes after 30 s): both
    // boards of one match, on both pages, well before then.
    await untilScreen(first, playing, 'the round under way', 15000);
    await untilScreen(second, playing, 'the round under way', 5000);
    await first.key('keyDown', 'KeyA');
    await untilScreen(second, leftWall, "the first page's piece at its wall, on the second's", 5000);
    await first.key('keyUp', 'KeyA');
    // Left, the match ends: the server stops without a round to wait for.
    await first.press('Escape');
    await until(second, "document.getElementById('status').textContent === 'The game is over.'");
});
