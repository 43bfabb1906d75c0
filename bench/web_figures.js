// SPDX-License-Identifier: MIT
// The browser page's figures against the real host in tmux, with headless
// Chromium: the page's size; the bytes a second a browser watcher and a
// terminal watcher are sent in the same match (both through a relay that
// counts them); a browser key's press to the move in the host's picture
// and back in the page; the host's frame rate with browser watchers in
// every watcher's seat. Printed as rows of the figures table; nothing is
// asserted.
// Usage: node bench/web_figures.js GAME CHROMIUM [SECONDS] [PRESSES]
'use strict';
const http = require('node:http');
const net = require('node:net');
const path = require('node:path');
const web = path.join(__dirname, '..', 'tests', 'web');
const { Chromium } = require(path.join(web, 'headless_chromium.js'));
const { HostPane, sleep } = require(path.join(web, 'host_pane.js'));

const [game, program, secondsArg, pressesArg] = process.argv.slice(2);
const seconds = Number(secondsArg ?? 30);
const presses = Number(pressesArg ?? 200);
const code = '7K3M-Q9XD';
const watcherSeats = 4; // as many as the host takes

// A relay on loopback to the host that counts what the host sends each
// connection through it.
function relay(port) {
    const counted = [];
    const server = net.createServer((guest) => {
        const entry = { bytes: 0, kind: null };
        counted.push(entry);
        const upstream = net.connect({ host: '127.0.0.1', port });
        upstream.on('data', (d) => (entry.bytes += d.length));
        // Who it is, by what it says first: the page's WebSocket, the page's
        // own request, or a terminal's greeting.
        guest.once('data', (d) => {
            const first = d.toString('latin1');
            entry.kind = first.startsWith('GET /play ') ? 'browser' : first.startsWith('GET ') ? 'page' : 'terminal';
        });
        guest.pipe(upstream).pipe(guest);
        for (const s of [guest, upstream]) s.on('error', () => { guest.destroy(); upstream.destroy(); });
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve({ server, counted, port: server.address().port })));
}

function pageSize(origin) {
    return new Promise((resolve, reject) => {
        http.get(`${origin}/`, (res) => {
            let body = 0;
            res.on('data', (d) => (body += d.length));
            res.on('end', () => resolve(body));
        }).on('error', reject);
    });
}

async function join(tab, link, button) {
    await tab.send('Page.navigate', { url: link });
    await tab.until("document.readyState === 'complete' && document.getElementById('code').value !== ''");
    await tab.evaluate(`document.getElementById('${button}').click()`);
    await tab.until("document.getElementById('game').hidden === false");
}

const underWay = (s) => /Next:.*Next:/.test(s) && !/starts in|Game Over|ready/.test(s);
const right = (lines) => HostPane.pieceColumn(lines.join('\n'), 30);

// Starts the next round when the last one is over: Enter on both sides.
async function nextRound(host, player) {
    if (underWay(host.screen())) return;
    await host.until((s) => /Game Over/.test(s), 'the round over', 60000);
    await player.key('keyDown', 'Enter', 'Enter', 13);
    await player.key('keyUp', 'Enter', 'Enter', 13);
    host.type('Enter');
    await host.until(underWay, 'the next round', 30000);
}

// Bytes a second to a browser watcher and to a terminal watcher, both
// through the relay, over `seconds` of the same play.
async function bytesFigures(host, browser, link, game) {
    const counting = await relay(Number(new URL(link).port));
    const viaRelay = link.replace(/:\d+\//, `:${counting.port}/`);
    const watcher = await browser.open();
    await join(watcher, viaRelay, 'watch');
    const terminal = new HostPane(game, [], { columns: 80, rows: 24 });
    terminal.tmux('respawn-pane', '-k', '-t', 'host', `env LC_ALL=C.UTF-8 BLOCKDUEL_CODE=${code} '${game}' --watch 127.0.0.1:${counting.port}`);
    await terminal.until((s) => /Next:.*Next:/.test(s), 'the terminal watcher\'s picture');
    await sleep(2000);
    const start = counting.counted.map((c) => c.bytes);
    await sleep(seconds * 1000);
    const sent = (kind) => counting.counted.reduce((sum, c, i) => sum + (c.kind === kind ? c.bytes - (start[i] ?? 0) : 0), 0);
    const figures = { browser: sent('browser') / seconds, terminal: sent('terminal') / seconds };
    terminal.close();
    await watcher.send('Page.navigate', { url: 'about:blank' }); // its seat free again
    await host.until((s) => !/watching/.test(s), 'the watchers gone');
    counting.server.close();
    return figures;
}

// A press of A or D on the page, towards the middle; the times to the move
// on the host's terminal and back in the page.
async function onePress(host, player) {
    const pageRows = () => player.rows();
    const before = right(await pageRows());
    if (before === 99) return null;
    const [code, key, keyCode, step] = before > 8 ? ['KeyA', 'a', 65, -1] : ['KeyD', 'd', 68, 1];
    const pressed = Date.now();
    await player.key('keyDown', code, key, keyCode);
    let hostMs = null;
    let pageMs = null;
    while ((hostMs === null || pageMs === null) && Date.now() - pressed < 2000) {
        if (hostMs === null && right(host.screen().split('\n')) === before + step) hostMs = Date.now() - pressed;
        if (pageMs === null && right(await pageRows()) === before + step) pageMs = Date.now() - pressed;
    }
    await player.key('keyUp', code, key, keyCode);
    return hostMs === null || pageMs === null ? null : { hostMs, pageMs };
}

async function pressFigures(host, player) {
    const times = [];
    for (let tries = 0; times.length < presses && tries < presses * 3; ++tries) {
        await nextRound(host, player);
        const t = await onePress(host, player);
        if (t !== null && underWay(host.screen())) times.push(t);
        await sleep(100);
    }
    return times;
}

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

// The host's rate readout, once a second for `seconds`.
async function rates(host) {
    const seen = [];
    for (let s = 0; s < seconds; ++s) {
        await sleep(1000);
        const rate = HostPane.rate(host.screen());
        if (rate !== null && underWay(host.screen())) seen.push(rate);
    }
    return seen;
}

async function main() {
    if (!game || !program) throw new Error('usage: node bench/web_figures.js GAME CHROMIUM [SECONDS] [PRESSES]');
    const host = new HostPane(game, ['--code', code]);
    const browser = new Chromium(program);
    try {
        const link = await host.link();
        const size = await pageSize(new URL(link).origin);
        const player = await browser.open();
        await join(player, link, 'play');
        await host.until(underWay, 'the round under way');
        const bytes = await bytesFigures(host, browser, link, game);
        const times = await pressFigures(host, player);
        const watchers = [];
        for (let i = 0; i < watcherSeats; ++i) watchers.push(await browser.open());
        for (const w of watchers) await join(w, link, 'watch');
        await nextRound(host, player);
        await sleep(2000); // the readout counts whole seconds: past the joins
        const seen = await rates(host);

        const hosts = times.map((t) => t.hostMs);
        const pages = times.map((t) => t.pageMs);
        console.log(`| the browser page | ${size} bytes | | |`);
        console.log(`| to a browser watcher and a terminal watcher, same play | ${bytes.browser.toFixed(1)} and ${bytes.terminal.toFixed(1)} bytes/s: ${(bytes.browser / bytes.terminal).toFixed(2)}x | | |`);
        console.log(`| a browser key to the move on the host's terminal | median ${median(hosts)} ms, worst ${Math.max(...hosts)} (${times.length} presses) | | |`);
        console.log(`| a browser key to the move back in the page | median ${median(pages)} ms, worst ${Math.max(...pages)} | | |`);
        console.log(`| the host's frame rate, ${watcherSeats} browser watchers | ${seen.length ? Math.min(...seen) : '-'} to ${seen.length ? Math.max(...seen) : '-'} frames a second (${seen.length} s) | 10 to 12 | ${seen.every((r) => r >= 10 && r <= 12) ? 'met' : 'missed'} |`);
        host.type('Escape');
    } finally {
        await browser.close();
        host.close();
    }
}

main().catch((e) => {
    console.error(e.stack);
    process.exit(1);
});
