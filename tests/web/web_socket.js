// SPDX-License-Identifier: MIT
// The WebSocket by hand, for the tests that play either end of it without a
// library: a connection that gathers what comes in, the handshake's request
// and its accept, frames built as told (masked as a browser masks them
// unless told otherwise) and whole frames taken from the front of what came
// in.
'use strict';
const crypto = require('node:crypto');
const net = require('node:net');
const { page } = require('./page_load.js');

// A connection to `port` at `host`, from `localAddress` if given: what comes
// in gathers in `data` (its last `keep` bytes); `opened`, `closed` (to the
// time it closed) and `gone` say how it stands.
class Peer {
    constructor(port, host, localAddress, keep = Infinity) {
        this.data = Buffer.alloc(0);
        this.gone = false;
        this.socket = net.connect({ host, port, localAddress });
        this.socket.on('data', (d) => (this.data = Buffer.concat([this.data, d]).subarray(-keep)));
        this.socket.on('error', () => {}); // seen as the close that follows
        this.opened = new Promise((resolve) => this.socket.on('connect', resolve));
        this.closed = new Promise((resolve) => this.socket.on('close', () => resolve(Date.now())));
        this.closed.then(() => (this.gone = true));
    }

    write(bytes) {
        if (!this.gone) this.socket.write(bytes);
    }

    // The first answer of check(this) other than undefined, looking every
    // 20 ms; undefined after `ms`.
    async until(check, ms) {
        for (const deadline = Date.now() + ms; Date.now() < deadline; await new Promise((wake) => setTimeout(wake, 20))) {
            const found = check(this);
            if (found !== undefined) return found;
        }
        return undefined;
    }
}

const acceptOf = (key) => crypto.createHash('sha1').update(key + '258EAFA5-E914-47DA-95CA-C5AB0DC85B11').digest('base64');

// An upgrade to the game's WebSocket at `host` from `origin`; `extra` adds headers, or
// leaves one out with null; `path` is a server's room's.
function upgradeRequest(host, origin, key, extra = {}, path = page.playPath) {
    const headers = {
        Host: host, Origin: origin, Upgrade: 'websocket', Connection: 'Upgrade', 'Sec-WebSocket-Key': key,
        'Sec-WebSocket-Version': '13', ...extra,
    };
    const lines = Object.entries(headers).filter(([, v]) => v !== null).map(([k, v]) => `${k}: ${v}\r\n`);
    return `GET ${path} HTTP/1.1\r\n${lines.join('')}\r\n`;
}

// A frame; `length` may claim another length than the payload's.
function frame(payload, { opcode = 2, fin = true, rsv = 0, masked = true, length = payload.length } = {}) {
    const head = [(fin ? 0x80 : 0) | rsv | opcode];
    const maskBit = masked ? 0x80 : 0;
    if (length < 126) head.push(maskBit | length);
    else if (length < 65536) head.push(maskBit | 126, length >> 8, length & 255);
    else head.push(maskBit | 127, ...Buffer.from(BigInt(length).toString(16).padStart(16, '0'), 'hex'));
    const key = masked ? crypto.randomBytes(4) : [];
    const body = Buffer.from(payload).map((b, i) => (masked ? b ^ key[i % 4] : b));
    return Buffer.concat([Buffer.from(head), Buffer.from(key), body]);
}

// The whole frames at the front of `data`, unmasked, and what is left.
function takeFrames(data) {
    const frames = [];
    for (;;) {
        if (data.length < 2) return { frames, rest: data };
        const masked = (data[1] & 0x80) !== 0;
        let length = data[1] & 0x7f;
        let at = 2;
        if (length === 126) [length, at] = [data.length >= 4 ? data.readUInt16BE(2) : -1, 4];
        if (length === 127) [length, at] = [data.length >= 10 ? Number(data.readBigUInt64BE(2)) : -1, 10];
        const start = at + (masked ? 4 : 0);
        if (length < 0 || data.length < start + length) return { frames, rest: data };
        const mask = data.subarray(at, at + 4);
        const payload = data.subarray(start, start + length);
        frames.push({
            opcode: data[0] & 0x0f, fin: (data[0] & 0x80) !== 0, masked,
            payload: masked ? Buffer.from(payload.map((b, i) => b ^ mask[i % 4])) : payload,
        });
        data = data.subarray(start + length);
    }
}

module.exports = { Peer, acceptOf, upgradeRequest, frame, takeFrames };
