// SPDX-License-Identifier: MIT
// Three servers behind a real HAProxy, which routes by the room in the path
// with consistent hashing (as doc/server.md configures it): one set of
// links, each room's page and game on the server that holds it, rooms
// spread over all three; a server killed loses its own rooms only (their
// players' connections end), its health check takes it out and new rooms
// open on the others; a match ended plays back from the server that kept it.
'use strict';
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const test = require('node:test');
const { Peer, acceptOf, upgradeRequest, frame, takeFrames } = require('../web/web_socket.js');
const { page } = require('../web/page_load.js');

const { BLOCKDUEL_GAME: game, BLOCKDUEL_HAPROXY: haproxy } = process.env;
const skip = game && haproxy ? false : 'needs BLOCKDUEL_GAME and BLOCKDUEL_HAPROXY, as ctest sets them';
const code = '7K3MQ9XD';
const key = 'dGhlIHNhbXBsZSBub25jZQ==';
const sleep = (ms) => new Promise((wake) => setTimeout(wake, ms));

// A server on a port of its choosing, its log gathered, what it keeps in
// a folder of its own, gone at the end.
function serve() {
    const kept = fs.mkdtempSync(path.join(os.tmpdir(), 'blockduel-server-'));
    process.on('exit', () => fs.rmSync(kept, { recursive: true, force: true }));
    const child = spawn(game, ['--serve', '127.0.0.1:0', '--trust', '127.0.0.1', '--state', kept], { stdio: ['ignore', 'ignore', 'pipe'] });
    const s = { child, log: '' };
    child.stderr.on('data', (d) => (s.log += d));
    s.port = new Promise((resolve) => child.stderr.on('data', () => {
        const found = s.log.match(/event=start .*port=(\d+)/);
        if (found) resolve(Number(found[1]));
    }));
    return s;
}

async function freePort() {
    const probe = net.createServer().listen(0, '127.0.0.1');
    await new Promise((resolve) => probe.on('listening', resolve));
    const { port } = probe.address();
    await new Promise((resolve) => probe.close(resolve));
    return port;
}

// The balancer's configuration, as doc/server.md gives it, with the
// server that answered named in each answer for the test to read.
function config(port, ports) {
    return `global
    maxconn 1000
defaults
    mode http
    timeout connect 2s
    timeout client 30s
    timeout server 30s
    timeout tunnel 1h
frontend blockduel
    bind 127.0.0.1:${port}
    option forwardfor
    http-response set-header X-Served-By %s
    default_backend rooms
backend rooms
    balance uri depth 2
    hash-type consistent
    option httpchk
    http-check send meth GET uri /healthz ver HTTP/1.1 hdr Host blockduel
    http-check expect status 200
    default-server inter 300ms fall 2 rise 1
${ports.map((p, i) => `    server s${i} 127.0.0.1:${p} check`).join('\n')}
`;
}

// One request's whole answer through the balancer.
async function fetchHead(port, target) {
    const peer = new Peer(port, '127.0.0.1');
    await Promise.race([peer.opened, peer.closed]);
    peer.write(`GET ${target} HTTP/1.1\r\nHost: 127.0.0.1:${port}\r\nConnection: close\r\n\r\n`);
    await peer.closed;
    return peer.data.toString('latin1');
}

const servedBy = (head) => head.match(/^x-served-by: (s\d+)\s*$/im)?.[1];

// A page's game in room `name` through the balancer: switched, greeted,
// ready, from `client`; the messages it is sent gather in `messages`.
async function player(port, name, client) {
    const host = `127.0.0.1:${port}`;
    const peer = new Peer(port, '127.0.0.1');
    await peer.opened;
    // Each a person of their own, as the balancer's X-Forwarded-For names them.
    peer.write(upgradeRequest(host, `http://${host}`, key, { 'X-Forwarded-For': client }, `/r/${name}/play?computer=1`));
    const head = await peer.until((p) => {
        const end = p.data.indexOf('\r\n\r\n');
        return end < 0 ? undefined : p.data.subarray(0, end).toString('latin1');
    }, 5000);
    // The balancer writes header names in lowercase.
    assert.ok(head?.startsWith('HTTP/1.1 101') && head.toLowerCase().includes(`sec-websocket-accept: ${acceptOf(key).toLowerCase()}`), head);
    peer.data = peer.data.subarray(peer.data.indexOf('\r\n\r\n') + 4);
    peer.messages = [];
    const decoder = new page.Decoder();
    peer.read = () => {
        const { frames, rest } = takeFrames(peer.data);
        peer.data = rest;
        for (const f of frames) decoder.feed(f.payload, (m) => peer.messages.push(m));
    };
    peer.write(frame(page.encodeHello(page.Seat.Player, code)));
    const welcomed = await peer.until((p) => (p.read(), p.messages.some((m) => m.type === page.Type.Welcome) || undefined), 5000);
    assert.ok(welcomed, `room ${name} welcomed its player`);
    peer.write(frame(page.encodeReady(page.legend)));
    peer.server = servedBy(head);
    return peer;
}

// Room names as pages draw them.
const roomName = (i) => `room${String(i).padStart(4, '0')}x${process.pid}`;

test('three servers behind HAProxy serve one set of links and lose only their own rooms', { skip, timeout: 120000 }, async () => {
    const servers = [serve(), serve(), serve()];
    const ports = await Promise.all(servers.map((s) => s.port));
    const work = fs.mkdtempSync(path.join(os.tmpdir(), 'blockduel-haproxy-'));
    const port = await freePort();
    fs.writeFileSync(path.join(work, 'haproxy.cfg'), config(port, ports));
    const balancer = spawn(haproxy, ['-f', path.join(work, 'haproxy.cfg'), '-db'], { stdio: ['ignore', 'ignore', 'pipe'] });
    let balancerSaid = '';
    balancer.stderr.on('data', (d) => (balancerSaid += d));
    const players = [];
    try {
        // The balancer up, and every server in it.
        for (let i = 0; i < 100 && !(await fetchHead(port, '/healthz').catch(() => '')).includes('200 OK'); ++i) await sleep(100);
        await sleep(1000);

        // Rooms spread over the servers; each room's page and game reach
        // the server that opened it.
        for (let i = 0; i < 12; ++i) {
            const name = roomName(i);
            const pageHead = await fetchHead(port, `/r/${name}?computer=1`);
            assert.match(pageHead, /^HTTP\/1\.1 200 OK/);
            const p = await player(port, name, `10.1.0.${i}`);
            assert.equal(p.server, servedBy(pageHead), `room ${name}'s page and game on one server`);
            const holder = servers.findIndex((s) => s.log.includes(`event=room_opened room=${name} `));
            assert.equal(`s${holder}`, p.server, `room ${name} opened where the balancer sent it`);
            assert.match(servers[holder].log, new RegExp(`room=${name} level=1 first_to=0 client=10\\.1\\.0\\.${i}\\b`));
            p.name = name;
            players.push(p);
        }
        const holders = new Set(players.map((p) => p.server));
        assert.ok(holders.size >= 2, `rooms spread: ${[...holders]}`);

        // One server killed: its players' connections end; the others play on.
        const killed = players[0].server;
        servers[Number(killed.slice(1))].child.kill('SIGKILL');
        const lost = players.filter((p) => p.server === killed);
        const kept = players.filter((p) => p.server !== killed);
        for (const p of lost) assert.ok(await p.until((q) => q.gone || undefined, 5000), `room ${p.name}'s player told it ended`);
        for (const p of kept) {
            const before = p.messages.length;
            assert.ok(await p.until((q) => (q.read(), q.messages.length > before + 5 || undefined), 5000), `room ${p.name} plays on`);
            assert.equal(p.gone, false);
        }

        // A match ended is kept where it was played: its replay link, and
        // the recording it plays, reach that server through the balancer.
        const leaver = kept[0];
        leaver.write(frame(page.encodeKey(page.KeyKind.Press, page.Action.Escape)));
        const told = await leaver.until((q) => (q.read(), q.messages.find((m) => m.type === page.Type.Kept)), 5000);
        assert.ok(told, `room ${leaver.name} said where it keeps its match`);
        const replay = `/r/${leaver.name}/replay/${told.kept}`;
        for (const target of [replay, `${replay}.rec`]) {
            const answer = await fetchHead(port, target);
            assert.match(answer, /^HTTP\/1\.1 200 OK/, target);
            assert.equal(servedBy(answer), leaver.server, `${target} from the server that kept it`);
        }

        // Its health check takes it out: new rooms open on the others.
        await sleep(1500);
        for (let i = 12; i < 20; ++i) {
            const p = await player(port, roomName(i), `10.1.0.${i}`);
            assert.notEqual(p.server, killed, `room ${roomName(i)} opened on a live server`);
            players.push(p);
        }
    } finally {
        for (const p of players) p.socket.destroy();
        balancer.kill('SIGTERM');
        for (const s of servers) s.child.kill('SIGTERM');
        await Promise.all([balancer, ...servers.map((s) => s.child)].map((c) => new Promise((resolve) => (c.exitCode !== null || c.signalCode !== null ? resolve() : c.on('exit', resolve)))));
        fs.rmSync(work, { recursive: true, force: true });
    }
    assert.doesNotMatch(balancerSaid, /\[ALERT\]/);
});
