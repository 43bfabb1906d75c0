// SPDX-License-Identifier: MIT
// A stand-in for the game's host, for the browser test: it serves the page
// as the program holds it, under the Content Security Policy a host sends
// and with a fresh nonce, and answers a WebSocket at /play, framing by hand
// (the test's own, smallest need: one unfragmented frame at a time). Each
// connection hands the test the guest's messages as they come; the test
// answers with bytes in whatever pieces it likes.
'use strict';
const http = require('node:http');
const crypto = require('node:crypto');

const webSocketGuid = '258EAFA5-E914-47DA-95CA-C5AB0DC85B11';
const policy = (nonce) =>
    `default-src 'none'; script-src 'nonce-${nonce}'; style-src 'nonce-${nonce}'; connect-src 'self'; ` +
    "img-src data:; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

// One WebSocket connection: reads the browser's frames into the guest's
// byte stream, and that into messages.
class Connection {
    constructor(socket, origin) {
        this.socket = socket;
        this.origin = origin;
        this.frames = Buffer.alloc(0);
        this.stream = Buffer.alloc(0);
        this.messages = [];
        this.closed = false;
        this.waiters = [];
        socket.on('data', (data) => this.read(data));
        socket.on('close', () => this.note(() => (this.closed = true)));
        socket.on('error', () => this.note(() => (this.closed = true)));
    }

    note(change) {
        change();
        for (const wake of this.waiters.splice(0)) wake();
    }

    read(data) {
        this.frames = Buffer.concat([this.frames, data]);
        for (;;) {
            const f = this.frames;
            if (f.length < 2) return;
            let length = f[1] & 0x7f;
            let at = 2;
            if (length === 126) [length, at] = [f.length >= 4 ? f.readUInt16BE(2) : -1, 4];
            if (length === 127) [length, at] = [f.length >= 10 ? Number(f.readBigUInt64BE(2)) : -1, 10];
            if (length < 0 || f.length < at + 4 + length) return;
            const mask = f.subarray(at, at + 4);
            const payload = Buffer.from(f.subarray(at + 4, at + 4 + length).map((b, i) => b ^ mask[i % 4]));
            this.frames = f.subarray(at + 4 + length);
            const opcode = f[0] & 0x0f;
            if (opcode === 8) return this.note(() => (this.closed = true));
            if (opcode === 2) this.note(() => this.take(payload));
        }
    }

    // The guest's messages: a type and a one-byte length are all a guest
    // needs.
    take(payload) {
        this.stream = Buffer.concat([this.stream, payload]);
        while (this.stream.length >= 2 && this.stream.length >= 2 + this.stream[1]) {
            this.messages.push([...this.stream.subarray(0, 2 + this.stream[1])]);
            this.stream = this.stream.subarray(2 + this.stream[1]);
        }
    }

    // Sends `bytes` as one binary WebSocket message per piece, cut at `cuts`.
    send(bytes, cuts = []) {
        let at = 0;
        for (const cut of [...cuts, bytes.length]) {
            const piece = Buffer.from(bytes.slice(at, cut));
            at = cut;
            const head = piece.length < 126 ? [0x82, piece.length] : [0x82, 126, piece.length >> 8, piece.length & 0xff];
            this.socket.write(Buffer.concat([Buffer.from(head), piece]));
        }
    }

    // Waits until `ready()` holds, as the guest's messages come; fails after
    // `ms`.
    async until(ready, what, ms = 20000) {
        const deadline = Date.now() + ms;
        while (!ready()) {
            const left = deadline - Date.now();
            if (left <= 0) throw new Error(`the stand-in host waited in vain for ${what}`);
            await new Promise((wake) => {
                this.waiters.push(wake);
                setTimeout(wake, Math.min(left, 200));
            });
        }
    }

    close() {
        this.socket.end();
    }
}

// Serves `page` (with `placeholder` for the nonce) on 127.0.0.1; resolves
// to { port, connections (an array that fills), requests, close() }.
function startHost(page, placeholder) {
    const host = { connections: [], requests: [] };
    const server = http.createServer((request, response) => {
        host.requests.push(request.url);
        if (request.url !== '/') {
            response.writeHead(404).end();
            return;
        }
        const nonce = crypto.randomBytes(16).toString('base64');
        response.writeHead(200, {
            'Content-Type': 'text/html; charset=utf-8',
            'Content-Security-Policy': policy(nonce),
            'Cache-Control': 'no-store',
            'X-Content-Type-Options': 'nosniff',
        });
        response.end(page.split(placeholder).join(nonce));
    });
    server.on('upgrade', (request, socket) => {
        const key = request.headers['sec-websocket-key'];
        if (request.url !== '/play' || !key) return socket.destroy();
        const accept = crypto.createHash('sha1').update(key + webSocketGuid).digest('base64');
        socket.write(`HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: ${accept}\r\n\r\n`);
        host.connections.push(new Connection(socket, request.headers.origin));
    });
    return new Promise((resolve) => {
        server.listen(0, '127.0.0.1', () => {
            host.port = server.address().port;
            host.close = () => {
                for (const c of host.connections) c.socket.destroy();
                server.close();
            };
            resolve(host);
        });
    });
}

module.exports = { startHost };
