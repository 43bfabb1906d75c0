// SPDX-License-Identifier: MIT
// One connection's game as the page plays it, on a clock of the test's own:
// the greeting, the answers, the pictures, keep-alives, silence and leaving.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { page, hex } = require('./page_load.js');

const T = page.Type;
const code = '7K3M7Q9X';

// A session that writes down what it does; `sent` as hex messages.
function session(seat = page.Seat.Player) {
    const log = { sent: [], welcomed: 0, pictures: 0, painted: 0, heard: [], stopped: [] };
    const s = new page.Session(seat, code, 1000, {
        send: (bytes) => log.sent.push(hex(bytes)),
        welcomed: () => ++log.welcomed,
        picture: () => ++log.pictures,
        paint: () => ++log.painted,
        heard: (m) => log.heard.push(m.type),
        stop: (why, beforeWelcome) => log.stopped.push([why, beforeWelcome]),
    });
    return { s, log };
}

const welcome = (seat = 1) => Uint8Array.from([T.Welcome, 2, page.protocolVersion, seat]);
const picture = Uint8Array.from([T.Picture, 3, 0x00, 0x10, 65]);
const delta = Uint8Array.from([T.Delta, 3, 0x00, 0x30, 66]);

function welcomed(seat) {
    const w = session(seat);
    w.s.opened(1000);
    w.s.receive(welcome(seat), 1010);
    w.log.sent.length = 0;
    return w;
}

test('greets, and on its welcome says it is ready with true presses and its legend', () => {
    const { s, log } = session();
    s.opened(1000);
    assert.deepEqual(log.sent, [hex(page.encodeHello(1, code))]);
    s.receive(welcome(), 1010);
    assert.equal(log.welcomed, 1);
    assert.equal(s.state, 'playing');
    assert.equal(log.sent[1], hex(page.encodeReady(page.legend)));
    assert.equal(log.sent[1].slice(4, 6), '01'); // keys with presses and releases
});

// What ends the game, from bytes that come before the welcome or after it:
// why, and how many paints came first. Nothing after that is read.
const endings = [
    ['a refusal', false, [T.Refused, 1, 1], "refused: the host refused the code 7K3M-7Q9X; check the code the host's screen shows", 0],
    ['a picture for an answer', false, picture, 'that address is not a blockduel game', 0],
    ['an end for an answer', false, [T.End, 0], 'that address is not a blockduel game', 0],
    ["a watcher's welcome for an answer", false, welcome(2), 'that address is not a blockduel game', 0],
    ['a delta before a picture', true, delta, 'the host sent changes before a picture', 0],
    ['bytes that are no message', true, [T.Delta, 0], 'the host sent something this page cannot read: a message of the wrong length', 0],
    ['the end, the picture staying', true, [...picture, T.End, 0, ...delta], 'the game is over', 1],
];

for (const [name, afterWelcome, data, why, painted] of endings) {
    test(`ends on ${name}`, () => {
        const { s, log } = afterWelcome ? welcomed() : session();
        if (!afterWelcome) s.opened(1000);
        s.receive(Uint8Array.from(data), 1100);
        assert.deepEqual(log.stopped, [[why, !afterWelcome]]);
        assert.equal(log.painted, painted);
        s.receive(Uint8Array.from([...welcome(), ...picture]), 1200);
        s.closed();
        assert.deepEqual([log.stopped.length, log.welcomed, log.painted], [1, afterWelcome ? 1 : 0, painted]);
    });
}

test('a keep-alive before the answer is fine, and the answer waits 5 seconds', () => {
    const { s, log } = session();
    s.opened(1000);
    s.receive(Uint8Array.from([T.KeepAlive, 0]), 3000);
    s.tick(5999);
    assert.deepEqual(log.stopped, []);
    s.tick(6000);
    assert.deepEqual(log.stopped, [['the host did not answer in 5 seconds', true]]);
});

test('a picture then deltas are painted; a second welcome is out of turn', () => {
    const { s, log } = welcomed();
    s.receive(picture, 1100);
    s.receive(delta, 1200);
    assert.equal(log.pictures, 1);
    assert.equal(log.painted, 2);
    assert.deepEqual(log.heard, [T.Picture, T.Delta]); // each once its cells are in
    assert.equal(s.picture.codes[0], 65);
    assert.equal(s.picture.codes[1], 66);
    s.receive(welcome(), 1300);
    assert.deepEqual(log.stopped, [['the host sent a message out of turn', false]]);
});

test('a keep-alive after a second of saying nothing; silence for 5 seconds is a host gone', () => {
    const { s, log } = welcomed();
    s.tick(2009);
    assert.deepEqual(log.sent, []);
    s.tick(2010);
    assert.deepEqual(log.sent, ['0600']);
    s.down('KeyD', false, 2500);
    s.tick(3010); // a key is a word too
    assert.equal(log.sent.length, 2);
    s.tick(3500);
    assert.equal(log.sent.length, 3);
    s.receive(Uint8Array.from([T.KeepAlive, 0]), 4000);
    s.tick(8999);
    assert.deepEqual(log.stopped, []);
    s.tick(9000);
    assert.deepEqual(log.stopped, [['the host has not been heard from for 5 seconds', false]]);
});

test('a closed connection, before and after the welcome', () => {
    const before = session();
    before.s.opened(1000);
    before.s.closed();
    assert.equal(before.log.stopped[0][1], true);
    assert.match(before.log.stopped[0][0], /without an answer/);
    const after = welcomed();
    after.s.closed();
    assert.deepEqual(after.log.stopped, [['the host closed the connection', false]]);
});

test("a player's keys go as actions; Escape goes too, and leaves", () => {
    const { s, log } = welcomed();
    s.down('KeyD', false, 1100);
    s.down('KeyD', true, 1130);
    s.up('KeyD', 1200);
    s.down('KeyP', false, 1300);
    s.down('Escape', false, 1400);
    const A = page.Action;
    const K = page.KeyKind;
    assert.deepEqual(log.sent, [[K.Press, A.Right], [K.Repeat, A.Right], [K.Release, A.Right], [K.Press, A.Pause], [K.Press, A.Escape]].map(([k, a]) => hex(page.encodeKey(k, a))));
    assert.deepEqual(log.stopped, [['you left the game', false]]);
    s.down('KeyD', false, 1500);
    assert.equal(log.sent.length, 5);
});

test("a watcher's keys stay on the page, but its Escape leaves", () => {
    const { s, log } = welcomed(page.Seat.Watcher);
    s.down('KeyD', false, 1100);
    s.down('Enter', false, 1100);
    s.releaseAll(1200);
    assert.deepEqual(log.sent, []);
    s.down('Escape', false, 1300);
    assert.deepEqual(log.sent, []);
    assert.deepEqual(log.stopped, [['you left the game', false]]);
});
