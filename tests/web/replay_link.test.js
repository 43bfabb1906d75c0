// SPDX-License-Identifier: MIT
// What the page needs for a kept match's link: the number a server's room
// sends before its End, read and bounded as every message is; a page that
// leaves hearing the host out a moment for it; and the replay's path.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { page, hex, decode } = require('./page_load.js');

const T = page.Type;
const kept = (...bytes) => Uint8Array.from([T.Kept, bytes.length, ...bytes]);

const numbers = [
    ['the first', [0, 0, 0, 1], 1, null],
    ['the last', [0x3b, 0x9a, 0xca, 0x00], 1000000000, null],
    ['0', [0, 0, 0, 0], null, "a kept match's number out of bounds"],
    ['one past the last', [0x3b, 0x9a, 0xca, 0x01], null, "a kept match's number out of bounds"],
    ['the top bit', [0x80, 0, 0, 1], null, "a kept match's number out of bounds"],
    ['of three bytes', [0, 0, 1], null, 'a message of the wrong length'],
    ['of five bytes', [0, 0, 0, 0, 1], null, 'a message of the wrong length'],
];

for (const [name, bytes, number, error] of numbers) {
    test(`a kept number: ${name}`, () => {
        const message = kept(...bytes);
        for (let cut = 0; cut < message.length; ++cut) {
            const read = decode(message, cut > 0 ? [cut] : []);
            assert.deepEqual([read.messages.map((m) => m.kept), read.error], [number === null ? [] : [number], error], `cut at ${cut}`);
        }
    });
}

test("the type after the names is no message", () => {
    assert.equal(decode(Uint8Array.from([T.Names + 1, 0])).error, 'unknown message type');
});

// A session welcomed as `seat`, writing down what it does.
function welcomed(seat = page.Seat.Player) {
    const log = { sent: [], kept: [], closed: 0, stopped: [], painted: 0 };
    const s = new page.Session(seat, '7K3M7Q9X', 1000, {
        send: (bytes) => log.sent.push(hex(bytes)),
        welcomed: () => {},
        picture: () => {},
        paint: () => ++log.painted,
        stop: (why) => log.stopped.push(why),
        close: () => ++log.closed,
        kept: (n) => log.kept.push([n, s.state]),
    });
    s.opened(1000);
    s.receive(Uint8Array.from([T.Welcome, 2, page.protocolVersion, seat, T.Picture, 0]), 1010);
    return { s, log };
}
const end = Uint8Array.from([T.End, 0]);
const delta = Uint8Array.from([T.Delta, 3, 0x00, 0x30, 66]);

test('in play, the number is kept, and the End that follows closes', () => {
    const { s, log } = welcomed();
    s.receive(Uint8Array.from([...kept(0, 0, 0, 42), ...end]), 1100);
    assert.deepEqual([s.kept, log.kept, log.stopped, log.closed], [42, [[42, 'playing']], ['the game is over'], 1]);
});

// After Escape: what comes when, with how often the connection has been
// let go after each; then the number kept.
const grace = 1000 + page.leaveGraceMs;
const none = new Uint8Array(0);
const leavings = [
    ['the number, then the End', [[1100, kept(0, 0, 1, 0), 0], [1200, end, 1]], 256],
    ['the number and the End at once, after a picture', [[1100, Uint8Array.from([...delta, ...kept(0, 0, 0, 7), ...end]), 1]], 7],
    ['the End alone', [[1100, end, 1]], null],
    ['nothing: let go after the grace', [[grace - 1, none, 0], [grace, none, 1]], null],
    ['bytes that are no message', [[1100, Uint8Array.from([42, 0, ...kept(0, 0, 0, 1)]), 1]], null],
    ['the number after the grace, too late', [[grace, kept(0, 0, 0, 9), 1]], null],
];

for (const [name, heard, number] of leavings) {
    test(`after Escape, ${name}`, () => {
        const { s, log } = welcomed();
        s.down('Escape', false, 1000);
        assert.deepEqual([log.stopped, log.closed], [['you left the game'], 0], 'left at once, still hearing');
        for (const [ms, bytes, closed] of heard) {
            s.tick(ms);
            s.receive(bytes, ms);
            assert.equal(log.closed, closed, `at ${ms}`);
        }
        s.tick(5000);
        s.closed();
        // Nothing painted or sent after the Escape; let go once.
        assert.deepEqual([s.kept, log.closed, log.painted, log.sent.length], [number, 1, 0, 3]);
        assert.ok(log.kept.every(([, state]) => state === 'over'));
    });
}

test('a game that ends any other way hears nothing more and closes at once', () => {
    const { s, log } = welcomed();
    s.receive(Uint8Array.from([T.Delta, 0]), 1100);
    s.receive(kept(0, 0, 0, 1), 1200);
    assert.deepEqual([s.kept, log.closed], [null, 1]);
});

const paths = [
    ['/r/abcd/replay/1', 1],
    ['/r/quick/replay/1000000000', 1000000000],
    [`/r/${'A_b-9xyz'.repeat(4)}/replay/77`, 77],
    ['/r/abc/replay/1', null],
    [`/r/${'A_b-9xyz'.repeat(4)}q/replay/1`, null],
    ['/r/ab.d/replay/1', null],
    ['/r/abcd/replay/0', null],
    ['/r/abcd/replay/01', null],
    ['/r/abcd/replay/1000000001', null],
    ['/r/abcd/replay/99999999999', null],
    ['/r/abcd/replay/1/', 1],
    ['/r/abcd/replay/1//', null],
    ['/r/abcd/replay/1.rec', null],
    ['/r/abcd/replay/', null],
    ['/r/abcd', null],
    ['/x/r/abcd/replay/1', null],
];

test("a replay link's number, and only in a replay link", () => {
    assert.deepEqual(paths.map(([p]) => page.replayNumberOf(p)), paths.map(([, n]) => n));
});

test("a room's replay link, a quick match's too", () => {
    assert.deepEqual([page.replayPathOf('/r/k3mq7xd9abcd', 3), page.replayPathOf('/r/quick', 1000000000), page.replayPathOf('/r/room/', 2)],
        ['/r/k3mq7xd9abcd/replay/3', '/r/quick/replay/1000000000', '/r/room/replay/2']);
});
