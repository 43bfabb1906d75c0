// SPDX-License-Identifier: MIT
// Strangers at the real host's web door, at process level: over HTTP a
// head sent a byte at a time, a head far past its bound, upgrades from
// another origin and without a key; over the WebSocket frames unmasked, of
// text, of a reserved opcode, with a reserved bit, of an impossible length,
// a ping too long and a close; empty frames as fast as the socket takes
// them before a greeting, and a watcher's keep-alives as fast after one;
// and a watcher that stops reading. Each comes from an address of its own
// (127.0.1.x) and each is closed by the host in bounded time, while a
// right-code watcher's page gets in within 5 s and the host's rate readout
// stays at the game's pace.
'use strict';
const assert = require('node:assert/strict');
const net = require('node:net');
const { HostPane, hostTest, sleep } = require('./host_pane.js');
const { page: bd } = require('./page_load.js');
const { Peer, frame, upgradeRequest } = require('./web_socket.js');

const code = '7K3M-Q9XD';
const symbols = code.replace('-', '');

// A connection of a stranger's: what it was sent (its last 64 KiB), and when
// the host closed it.
class Stranger extends Peer {
    constructor(port, from) {
        super(port, '127.0.0.1', from, 65536);
        this.port = port;
    }

    // Whether what came in matches within `ms`; false when the host closed first.
    async matches(pattern, ms = 5000) {
        const seen = await this.until((s) => (pattern.test(s.data.toString('latin1')) ? true : s.gone ? false : undefined), ms);
        return seen ?? false;
    }

    upgradeRequest(extra = {}) {
        return upgradeRequest(`127.0.0.1:${this.port}`, `http://127.0.0.1:${this.port}`, 'dGhlIHNhbXBsZSBub25jZQ==', extra);
    }

    async upgrade() {
        await this.opened;
        this.write(this.upgradeRequest());
        if (!(await this.matches(/^HTTP\/1\.1 101 [^]*\r\n\r\n/))) throw new Error('the host did not switch to the WebSocket');
        this.data = Buffer.alloc(0);
    }
}

// The host's status line, or how much it sent.
const answerOf = (bytes) => (/^HTTP\//.test(bytes.toString('latin1')) ? bytes.toString('latin1').split('\r\n')[0] : `${bytes.length} bytes`);

// Writes `burst` again and again as fast as the socket takes it, until the
// host closes the connection.
async function flood(s, burst) {
    while (!s.gone) {
        const drained = new Promise((resolve) => (s.socket.write(burst) ? setImmediate(resolve) : s.socket.once('drain', resolve)));
        await Promise.race([drained, s.closed]);
    }
}

// A watcher let in with the right code; resolves once it is welcomed.
async function watcherIn(s) {
    await s.upgrade();
    s.write(frame(bd.encodeHello(bd.Seat.Watcher, symbols)));
    if (!(await s.matches(/^\x82\x04\x02\x02/))) throw new Error('the watcher was not welcomed');
    s.write(frame(bd.encodeReady(bd.legend)));
}

// A frame the host must refuse ends its connection at once: well before
// the door would close a connection that never greeted (helloLimitMs).
const frameMs = 1500;

// Each attack: what it does once connected. The host must close it within `ms`.
// Most send one thing: once connected, or once switched to the WebSocket.
const sends = (what, ms, answer, bytes) => ({ what, ms, answer, go: async (s) => { await s.opened; s.write(bytes(s)); } });
const framed = (what, bytes) => ({ what, ms: frameMs, go: async (s) => { await s.upgrade(); s.write(bytes); } });
const attacks = [
    { what: 'a head a byte at a time', ms: 4000, go: async (s) => {
        await s.opened;
        for (const byte of 'GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ' + 'a'.repeat(200)) {
            if (s.gone) return;
            s.write(byte);
            await sleep(100);
        }
    } },
    sends('a head of 64 KiB', 3000, /^HTTP\/1\.1 400 /, () => `GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: ${'a'.repeat(65536)}\r\n\r\n`),
    sends('an upgrade from another origin', 3000, /^HTTP\/1\.1 403 /, (s) => s.upgradeRequest({ Origin: 'http://attacker.example' })),
    sends('an upgrade without a key', 3000, /^HTTP\/1\.1 400 /, (s) => s.upgradeRequest({ 'Sec-WebSocket-Key': null })),
    framed('an unmasked frame', frame([6, 0], { masked: false })),
    framed('a text frame', frame(Buffer.from('hello'), { opcode: 1 })),
    framed('a reserved opcode', frame([1, 2], { opcode: 3 })),
    framed('a reserved bit', frame([6, 0], { rsv: 0x40 })),
    framed('a length of 2^62', frame([1, 2, 3, 4], { length: 2 ** 62 })),
    framed('a ping of 126 bytes', frame(Buffer.alloc(126), { opcode: 9 })),
    framed('a close', frame([3, 232], { opcode: 8 })),
    { what: 'empty frames as fast as they go, before a greeting', ms: 4000, go: async (s) => {
        await s.upgrade();
        await flood(s, Buffer.concat(Array.from({ length: 512 }, () => frame([]))));
    } },
    { what: 'a watcher\'s keep-alives as fast as they go', ms: 4000, go: async (s) => {
        await watcherIn(s);
        await flood(s, Buffer.concat(Array.from({ length: 256 }, () => frame(bd.encodeKeepAlive()))));
    } },
    { what: 'a watcher that stops reading and sending', ms: 12000, go: async (s) => {
        await watcherIn(s);
        s.socket.pause();
        await sleep(8000); // past the host's five seconds of silence
        s.socket.resume(); // what is left to read, then the host's close
    } },
];

// Whether this machine has `address`: Linux has all of 127/8 on its
// loopback, macOS and the BSDs only 127.0.0.1 unless more are added.
const hasAddress = (address) =>
    new Promise((resolve) => {
        const server = net.createServer();
        server.once('error', () => resolve(false));
        server.listen(0, address, () => server.close(() => resolve(true)));
    });

hostTest('strangers at the web door are closed; a right-code page gets in', 240000, async ({ host, browser, t }) => {
    if (!(await hasAddress('127.0.1.1'))) return t.skip('the strangers need addresses of 127/8 besides 127.0.0.1');
    const link = await host.link();
    const port = Number(new URL(link).port);
    const player = await browser.open();
    await player.join(link, 'play');
    await host.until(HostPane.underWay, 'the round under way');
    // The readout counts whole seconds of play: the first is partial.
    await host.until((s) => HostPane.rate(s) >= 10, 'the game at its pace');

    const rates = [];
    let attacking = true;
    const readRates = (async () => {
        while (attacking) {
            const rate = HostPane.rate(host.screen());
            if (rate !== null) rates.push(rate);
            await sleep(1000);
        }
    })();
    const started = Date.now();
    const results = attacks.map(async (attack, i) => {
        const s = new Stranger(port, `127.0.1.${i + 1}`);
        const begun = Date.now();
        // An attack the host never ends stops at its bound and fails.
        const stopped = sleep(attack.ms + 2000).then(() => 'stopped');
        await Promise.race([attack.go(s), stopped]).catch((e) => (attack.failure = e.message));
        const bound = new Promise((resolve) => setTimeout(resolve, attack.ms + begun - Date.now() + 2000, null));
        const closedAt = await Promise.race([s.closed, bound]);
        s.socket.destroy();
        return { what: attack.what, failure: attack.failure, closedMs: closedAt && closedAt - begun,
            bound: attack.ms, answer: answerOf(s.data), expected: attack.answer };
    });

    // Meanwhile a watcher's page with the right code.
    await sleep(1000);
    const watcher = await browser.open();
    await watcher.load(link);
    const clicked = Date.now();
    await watcher.click('watch');
    await watcher.until("document.getElementById('game').hidden === false && /Next:/.test(document.getElementById('screen').textContent)", 20000);
    const joinedMs = Date.now() - clicked;

    const outcomes = await Promise.all(results);
    attacking = false;
    await readRates;
    const report = outcomes.map((o) => `${o.what}: ${o.failure ?? ''}closed after ${o.closedMs} ms, ${o.answer}`).join('\n');
    console.log(`${report}\nthe watcher got in after ${joinedMs} ms; the rate readout: ${rates.join(' ')}`);
    for (const o of outcomes) {
        assert.equal(o.failure, undefined, report);
        assert.ok(o.closedMs !== null && o.closedMs <= o.bound, `not closed in ${o.bound} ms:\n${report}`);
        if (o.expected) assert.match(o.answer, o.expected, report);
    }
    assert.ok(joinedMs <= 5000, `the right-code watcher took ${joinedMs} ms to get in`);
    assert.ok(rates.length >= 5 && rates.every((r) => r >= 9), `the rate readout under attack: ${rates.join(' ')}`);
    assert.ok(Date.now() - started < 60000);
    assert.match(host.screen(), /1 watching/);
});
