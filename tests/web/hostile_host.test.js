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
const test = require('node:test');
const assert = require('node:assert/strict');
const net = require('node:net');
const path = require('node:path');
const { Chromium } = require('./headless_chromium.js');
const { HostPane, sleep } = require('./host_pane.js');
const bd = require(path.join(__dirname, '..', '..', 'src', 'web', 'page.js'));

const game = process.env.BLOCKDUEL_GAME;
const program = process.env.BLOCKDUEL_CHROMIUM;
const skip = game && program ? false : 'needs BLOCKDUEL_GAME and BLOCKDUEL_CHROMIUM, as ctest sets them';
const code = '7K3M-Q9XD';
const symbols = code.replace('-', '');

// A connection of a stranger's: what it was sent, and when the host closed it.
class Stranger {
    constructor(port, from) {
        this.port = port;
        this.received = Buffer.alloc(0);
        this.socket = net.connect({ host: '127.0.0.1', port, localAddress: from });
        this.socket.on('data', (d) => (this.received = Buffer.concat([this.received, d]).subarray(-65536)));
        this.socket.on('error', () => {});
        this.opened = new Promise((resolve) => this.socket.on('connect', resolve));
        this.closed = new Promise((resolve) => this.socket.on('close', () => resolve(Date.now())));
        this.gone = false;
        this.closed.then(() => (this.gone = true));
    }

    write(bytes) {
        if (!this.gone) this.socket.write(bytes);
    }

    // Waits until what came in matches; false when the host closed first.
    async until(pattern, ms = 5000) {
        for (const deadline = Date.now() + ms; Date.now() < deadline; await sleep(20)) {
            if (pattern.test(this.received.toString('latin1'))) return true;
            if (this.gone) return false;
        }
        return false;
    }

    upgradeRequest(extra = {}) {
        const headers = {
            Host: `127.0.0.1:${this.port}`, Origin: `http://127.0.0.1:${this.port}`, Upgrade: 'websocket',
            Connection: 'Upgrade', 'Sec-WebSocket-Key': 'dGhlIHNhbXBsZSBub25jZQ==', 'Sec-WebSocket-Version': '13', ...extra,
        };
        const lines = Object.entries(headers).filter(([, v]) => v !== null).map(([k, v]) => `${k}: ${v}\r\n`);
        return `GET /play HTTP/1.1\r\n${lines.join('')}\r\n`;
    }

    async upgrade() {
        await this.opened;
        this.write(this.upgradeRequest());
        if (!(await this.until(/^HTTP\/1\.1 101 [^]*\r\n\r\n/))) throw new Error('the host did not switch to the WebSocket');
        this.received = Buffer.alloc(0);
    }
}

// A frame as a browser sends it (masked), or as told otherwise.
function frame(payload, { opcode = 2, fin = true, rsv = 0, masked = true, length = payload.length } = {}) {
    const head = [(fin ? 0x80 : 0) | rsv | opcode];
    const maskBit = masked ? 0x80 : 0;
    if (length < 126) head.push(maskBit | length);
    else if (length < 65536) head.push(maskBit | 126, length >> 8, length & 255);
    else head.push(maskBit | 127, ...Buffer.from(BigInt(length).toString(16).padStart(16, '0'), 'hex'));
    const key = [0x12, 0x34, 0x56, 0x78];
    const body = Buffer.from(payload).map((b, i) => (masked ? b ^ key[i % 4] : b));
    return Buffer.concat([Buffer.from(head), Buffer.from(masked ? key : []), body]);
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
    if (!(await s.until(/^\x82\x04\x02\x02/))) throw new Error('the watcher was not welcomed');
    s.write(frame(bd.encodeReady(bd.legend)));
}

// A frame the host must refuse ends its connection at once: well before
// the door would close a connection that never greeted (helloLimitMs).
const frameMs = 1500;

// Each attack: what it does once connected. The host must close it within `ms`.
const attacks = [
    { what: 'a head a byte at a time', ms: 4000, go: async (s) => {
        await s.opened;
        for (const byte of 'GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ' + 'a'.repeat(200)) {
            if (s.gone) return;
            s.write(byte);
            await sleep(100);
        }
    } },
    { what: 'a head of 64 KiB', ms: 3000, answer: /^HTTP\/1\.1 400 /, go: async (s) => {
        await s.opened;
        s.write(`GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: ${'a'.repeat(65536)}\r\n\r\n`);
    } },
    { what: 'an upgrade from another origin', ms: 3000, answer: /^HTTP\/1\.1 403 /, go: async (s) => {
        await s.opened;
        s.write(s.upgradeRequest({ Origin: 'http://attacker.example' }));
    } },
    { what: 'an upgrade without a key', ms: 3000, answer: /^HTTP\/1\.1 400 /, go: async (s) => {
        await s.opened;
        s.write(s.upgradeRequest({ 'Sec-WebSocket-Key': null }));
    } },
    { what: 'an unmasked frame', ms: frameMs, go: async (s) => { await s.upgrade(); s.write(frame([6, 0], { masked: false })); } },
    { what: 'a text frame', ms: frameMs, go: async (s) => { await s.upgrade(); s.write(frame(Buffer.from('hello'), { opcode: 1 })); } },
    { what: 'a reserved opcode', ms: frameMs, go: async (s) => { await s.upgrade(); s.write(frame([1, 2], { opcode: 3 })); } },
    { what: 'a reserved bit', ms: frameMs, go: async (s) => { await s.upgrade(); s.write(frame([6, 0], { rsv: 0x40 })); } },
    { what: 'a length of 2^62', ms: frameMs, go: async (s) => { await s.upgrade(); s.write(frame([1, 2, 3, 4], { length: 2 ** 62 })); } },
    { what: 'a ping of 126 bytes', ms: frameMs, go: async (s) => { await s.upgrade(); s.write(frame(Buffer.alloc(126), { opcode: 9 })); } },
    { what: 'a close', ms: frameMs, go: async (s) => { await s.upgrade(); s.write(frame([3, 232], { opcode: 8 })); } },
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

test('strangers at the web door are closed; a right-code page gets in', { skip, timeout: 240000 }, async (t) => {
    if (!(await hasAddress('127.0.1.1'))) return t.skip('the strangers need addresses of 127/8 besides 127.0.0.1');
    const host = new HostPane(game);
    const browser = new Chromium(program);
    try {
        const link = await host.link();
        const port = Number(new URL(link).port);
        const player = await browser.open();
        await player.send('Page.navigate', { url: link });
        await player.until("document.readyState === 'complete' && document.getElementById('code').value !== ''");
        await player.evaluate("document.getElementById('play').click()");
        await host.until((s) => /Next:.*Next:/.test(s) && !/starts in/.test(s), 'the round under way');
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
                bound: attack.ms, answer: answerOf(s.received), expected: attack.answer };
        });

        // Meanwhile a watcher's page with the right code.
        await sleep(1000);
        const watcher = await browser.open();
        await watcher.send('Page.navigate', { url: link });
        await watcher.until("document.readyState === 'complete' && document.getElementById('code').value !== ''");
        const clicked = Date.now();
        await watcher.evaluate("document.getElementById('watch').click()");
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
    } finally {
        await browser.close();
        host.close();
    }
});
