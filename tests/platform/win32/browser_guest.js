// SPDX-License-Identifier: MIT
// A browser's side against a host, by hand and without a browser, for the
// Windows host under Wine: the page over HTTP, then the game's WebSocket
// from the page's own origin, the greeting with the link's code, Ready in
// two fragments with a ping between them (the host answers the ping), and
// the host's pictures. It then stays, saying Keep-Alive, until the file
// LEAVE appears, and closes: the host must answer with its closing frame.
// Usage: node browser_guest.js LINK LEAVE; "joined" on standard output once
// the game is under way; exits 1 with the reason on anything else.
'use strict';
const fs = require('node:fs');
const crypto = require('node:crypto');
const { page } = require('../../web/page_load.js');
const { Peer, acceptOf, frame, takeFrames, upgradeRequest } = require('../../web/web_socket.js');

const [link, leave] = process.argv.slice(2);
const url = new URL(link);
const code = page.parseJoinCode(decodeURIComponent(url.hash.slice(1)));
const T = page.Type;
const stepMs = 30000;

function fail(why) {
    process.stderr.write(`browser guest: ${why}\n`);
    process.exit(1);
}
if (!code) fail(`no join code in ${link}`);

// A connection to the host; until(c, check, what) waits for check to find
// what it looks for there, and fails after `ms`.
function connect() {
    const c = new Peer(Number(url.port), url.hostname);
    c.socket.on('error', (e) => fail(`the connection: ${e.message}`));
    return c;
}
const until = async (c, check, what, ms = stepMs) => (await c.until(check, ms)) ?? fail(`no ${what} in ${ms / 1000} s`);

// The host's whole frames at the front of `c.data`, taken from it.
function hostFrames(c) {
    const { frames, rest } = takeFrames(c.data);
    c.data = rest;
    if (frames.some((f) => f.masked)) fail('the host masked a frame');
    return frames;
}

async function getPage() {
    const c = connect();
    c.socket.write(`GET / HTTP/1.1\r\nHost: ${url.host}\r\nAccept: text/html\r\n\r\n`);
    const text = await until(c, (k) => (k.gone ? k.data.toString('utf8') : undefined), 'page');
    if (!/^HTTP\/1\.1 200 /.test(text)) fail(`the page's answer: ${text.split('\r\n')[0]}`);
    if (!/<html[\s>]/i.test(text) || !text.includes('<script')) fail('no page with its script');
    console.log(`the page: ${text.length} bytes`);
}

async function upgrade(c) {
    const key = crypto.randomBytes(16).toString('base64');
    c.socket.write(upgradeRequest(url.host, url.origin, key));
    const head = await until(c, (k) => {
        const end = k.data.indexOf('\r\n\r\n');
        if (end < 0) return k.gone ? fail('the host closed before switching') : undefined;
        const h = k.data.subarray(0, end).toString('latin1');
        k.data = k.data.subarray(end + 4);
        return h;
    }, 'switch to the WebSocket');
    const accept = acceptOf(key);
    if (!/^HTTP\/1\.1 101 /.test(head)) fail(`the switch: ${head.split('\r\n')[0]}`);
    const answer = head.split('\r\n').find((line) => /^sec-websocket-accept:/i.test(line));
    if (answer?.replace(/^[^:]*:\s*/, '') !== accept) fail(`a wrong Sec-WebSocket-Accept: ${answer}`);
}

async function play() {
    const c = connect();
    await upgrade(c);
    const decoder = new page.Decoder();
    const messages = [];
    const pongs = [];
    let closing = null;
    const read = (k) => {
        for (const f of hostFrames(k)) {
            if (f.opcode === 2) decoder.feed(new Uint8Array(f.payload), (m) => messages.push(m));
            else if (f.opcode === 10) pongs.push(f.payload.toString('latin1'));
            else if (f.opcode === 8) closing = f;
            else fail(`a frame of kind ${f.opcode} from the host`);
        }
        if (decoder.error) fail(`the host's messages: ${decoder.error}`);
    };
    const seen = (what, test, ms = stepMs) => until(c, (k) => {
        read(k);
        return test() ? true : (k.gone ? fail(`the host closed before ${what}`) : undefined);
    }, what, ms);

    c.socket.write(frame(page.encodeHello(page.Seat.Player, code)));
    await seen('Welcome', () => messages.some((m) => m.type === T.Welcome && m.seat === page.Seat.Player));
    const ready = Buffer.from(page.encodeReady(page.legend));
    const half = ready.length >> 1;
    c.socket.write(Buffer.concat([frame(ready.subarray(0, half), { fin: false }), frame(Buffer.from('wine'), { opcode: 9 }),
        frame(ready.subarray(half), { opcode: 0 })]));
    await seen('the pong', () => pongs.includes('wine'));
    await seen('a picture', () => messages.some((m) => m.type === T.Picture));
    console.log('joined');

    const keepAlive = setInterval(() => c.socket.write(frame(page.encodeKeepAlive())), page.keepAliveMs);
    await seen('word to leave', () => fs.existsSync(leave), 10 * stepMs);
    clearInterval(keepAlive);
    c.socket.write(frame([0x03, 0xe8], { opcode: 8 }));
    await seen('the closing frame', () => closing !== null);
    console.log('closed');
    c.socket.destroy();
}

(async () => {
    await getPage();
    await play();
    process.exit(0);
})().catch((e) => fail(e.stack || String(e)));
