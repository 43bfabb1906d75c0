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
const { acceptOf, frame, takeFrames } = require('./web_socket.js');

const { page } = require('./page_load.js');
const sleep = (ms) => new Promise((wake) => setTimeout(wake, ms));
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
        socket.on('data', (data) => this.read(data));
        socket.on('close', () => (this.closed = true));
        socket.on('error', () => (this.closed = true));
    }

    read(data) {
        const { frames, rest } = takeFrames(Buffer.concat([this.frames, data]));
        this.frames = rest;
        for (const f of frames) {
            if (f.opcode === 8) return (this.closed = true);
            if (f.opcode === 2) this.take(f.payload);
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
            this.socket.write(frame(bytes.slice(at, cut), { masked: false }));
            at = cut;
        }
    }

    // Waits until `ready()` holds, looking every 20 ms; fails after `ms`.
    async until(ready, what, ms = 20000) {
        for (const deadline = Date.now() + ms; !ready(); await sleep(20))
            if (Date.now() > deadline) throw new Error(`the stand-in host waited in vain for ${what}`);
    }

    // The guest's Key messages so far.
    keys() {
        return this.messages.filter((m) => m[0] === page.Type.Key);
    }

    close() {
        this.socket.end();
    }
}

// Serves `page` (with `placeholder` for the nonce) on 127.0.0.1; resolves
// to { port, connections (an array that fills), requests, connection(),
// close() }.
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
        socket.write(`HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: ${acceptOf(key)}\r\n\r\n`);
        host.connections.push(new Connection(socket, request.headers.origin));
    });
    return new Promise((resolve) => {
        server.listen(0, '127.0.0.1', () => {
            host.port = server.address().port;
            // The `count`th connection, once its guest has greeted.
            host.connection = async (count) => {
                for (const deadline = Date.now() + 20000; host.connections.length < count; await sleep(50))
                    if (Date.now() > deadline) throw new Error(`the page never opened connection ${count}`);
                const c = host.connections[count - 1];
                await c.until(() => c.messages.length >= 1, `the Hello on connection ${count}`);
                return c;
            };
            host.close = () => {
                for (const c of host.connections) c.socket.destroy();
                server.close();
            };
            resolve(host);
        });
    });
}

module.exports = { startHost };
