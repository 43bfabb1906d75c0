// SPDX-License-Identifier: MIT
// The page's reading of what a host sends: the C++ encoder's own stream in
// every split, each message a host sends, and every way of being wrong
// that the game's own decoder refuses.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { page, bytes, hex, golden, decode } = require('./page_load.js');

const T = page.Type;
const made = golden();
const needsGolden = made === null ? 'needs BLOCKDUEL_WEB_GOLDEN, as ctest sets it' : false;

// A message's fields as text, to compare whole streams.
const shown = (m) => `${m.type}:${m.version ?? ''}:${m.seat ?? ''}:${m.refusal ?? ''}:${m.runs ? hex(m.runs) : ''}${m.names ? ':' + m.names.join('|') : ''}`;

test("the encoder's stream reads the same in every split", { skip: needsGolden }, () => {
    const stream = bytes(made.host);
    const whole = decode(stream);
    assert.equal(whole.error, null);
    assert.deepEqual(whole.messages.map((m) => m.type), [T.Picture, T.Delta, T.KeepAlive, T.Names, T.Result, T.End]);
    // As web_golden.cpp made it.
    assert.deepEqual(whole.messages[3].names, ['Jörg', '']);
    const r = whole.messages[4].result;
    assert.deepEqual([r.round, r.winner, r.score, r.rows, r.frames, r.seconds, r.level, r.matchOver, r.champion],
        [3, 1, [1234, 70000], [5, 300], 4000, 381, [9, 0], true, 1]);
    const expected = whole.messages.map(shown);
    for (let cut = 1; cut < stream.length; ++cut) {
        const two = decode(stream, [cut]);
        assert.equal(two.error, null, `cut at ${cut}`);
        assert.deepEqual(two.messages.map(shown), expected, `cut at ${cut}`);
    }
    const everyByte = decode(stream, Array.from({ length: stream.length - 1 }, (_, i) => i + 1));
    assert.deepEqual(everyByte.messages.map(shown), expected);
});

// Streams by hand: the messages each gives, and the fault that ends it.
const V = page.protocolVersion;
const streams = [
    ['a welcome, a refusal of any reason, keep-alives and the end', [2, 2, V, 2, 3, 1, 9, 3, 1, 200, 6, 0, 9, 0],
        [`2:${V}:2::`, '3:::9:', '3:::200:', '6::::', '9::::'], null],
    ['a picture of no runs', [7, 0], ['7::::'], null],
    // A name that is no name, or no UTF-8, is shown as none.
    ['names, and names that are none', [12, 6, 3, 65, 100, 97, 1, 0x3c, 12, 6, 2, 0xc0, 0xa1, 2, 0x20, 0x41],
        ['12:::::Ada|', '12:::::|'], null],
    ['nothing more after a fault', [6, 0, 42, 6, 0, 9, 0], ['6::::'], 'unknown message type'],
    ['a message before a fault later in the same piece', [9, 0, 8, 0], ['9::::'], 'a message of the wrong length'],
];

for (const [name, data, messages, error] of streams) {
    test(name, () => {
        const read = decode(Uint8Array.from(data));
        assert.deepEqual(read.messages.map(shown), messages);
        assert.equal(read.error, error);
    });
}

test('a picture of the longest, with a two-byte length', () => {
    // Runs may write a cell more than once: 454 runs of 16 cells, one of one
    // cell with its attribute, one of 14: 8192 bytes.
    const runs = [];
    for (let i = 0; i < 454; ++i) runs.push(...head(16 * (i % 70), 15, true), ...Array(16).fill(65));
    runs.push(...head(0, 0, false), 0x1e, 66, ...head(100, 13, true), ...Array(14).fill(67));
    assert.equal(runs.length, 8192);
    const read = decode(Uint8Array.from([7, 0x80 | (runs.length >> 7), runs.length & 0x7f, ...runs]));
    assert.equal(read.error, null);
    assert.equal(hex(read.messages[0].runs), hex(runs));
});

// Each of these closes the connection, as the game's own decoder would.
const malformed = [
    ['type 0', [0, 0], 'unknown message type'],
    ['type 13', [13, 0], 'unknown message type'],
    ['an empty Names', [12, 1, 0], 'a message of the wrong length'],
    ['Names cut short', [12, 2, 1, 0], 'names that do not fit their message'],
    ['Names with a byte over', [12, 3, 0, 0, 120], 'names that do not fit their message'],
    ['a name past its bound', [12, 67, 65, ...Array(65).fill(120), 0], 'names that do not fit their message'],
    ['a short Result', [10, 32, ...Array(32).fill(0)], 'a message of the wrong length'],
    ['a Result of round 0', [10, 33, ...Array(33).fill(0)], "a round's result out of bounds"],
    ['a Result won by board 3', [10, 33, ...result({ 4: 3 })], "a round's result out of bounds"],
    ['a Result of too high a score', [10, 33, ...result({ 13: 0x3c })], "a round's result out of bounds"],
    ['a Result of level 100', [10, 33, ...result({ 30: 100 })], "a round's result out of bounds"],
    ['a Result with a champion of no end', [10, 33, ...result({ 32: 1 })], "a round's result out of bounds"],
    ['type 255', [255, 0], 'unknown message type'],
    ['a Hello', [1, 14], 'a message this side does not take'],
    ['a Ready', [4, 1, 1], 'a message this side does not take'],
    ['a Key', [5, 2, 1, 1], 'a message this side does not take'],
    ['a short Welcome', [2, 1, 4], 'a message of the wrong length'],
    ['a long Welcome', [2, 3, 4, 1, 0], 'a message of the wrong length'],
    ['an empty Refused', [3, 0], 'a message of the wrong length'],
    ['a long Refused', [3, 2, 1, 1], 'a message of the wrong length'],
    ['a KeepAlive with a byte', [6, 1, 0], 'a message of the wrong length'],
    ['an End with a byte', [9, 1, 0], 'a message of the wrong length'],
    ['an empty Delta', [8, 0], 'a message of the wrong length'],
    ['a Picture past the limit', [7, 0x80 | 64, 1], 'a message of the wrong length'],
    ['a length padded to two bytes', [6, 0x80, 0], 'a length not in its shortest form'],
    ['a one-byte length in two', [7, 0x80, 0x7f], 'a length not in its shortest form'],
    ['a length of three bytes', [7, 0x81, 0x80, 0], 'a length of more than two bytes'],
    ['a welcome of another version', [2, 2, V - 1, 1], 'a welcome of another version'],
    ['a welcome to seat 0', [2, 2, V, 0], 'a welcome to no seat'],
    ['a welcome to seat 3', [2, 2, V, 3], 'a welcome to no seat'],
    ['a run past the last cell', [7, 4, ...head(page.cells - 1, 1, true), 65, 65], 'runs of cells outside the picture'],
    ['a run past the end, long', [8, 18, ...head(page.cells - 15, 15, true), ...Array(16).fill(65)], 'runs of cells outside the picture'],
    ['a run of half a head', [7, 1, 0], 'runs of cells outside the picture'],
    ['a run without its attribute', [7, 2, ...head(0, 0, false)], 'runs of cells outside the picture'],
    ['a run short of codes', [7, 4, ...head(0, 2, true), 65, 65], 'runs of cells outside the picture'],
    ['a second run cut short', [8, 5, ...head(0, 0, true), 65, ...head(1, 0, false)], 'runs of cells outside the picture'],
];

// A Result's payload of round 1, nobody's, with the bytes of `changes` by place.
function result(changes) {
    const p = Array(33).fill(0);
    p[3] = 1;
    for (const [at, value] of Object.entries(changes)) p[Number(at)] = value;
    return p;
}

test("a round's result reads as the host wrote it", () => {
    const p = result({ 4: 2, 8: 40, 12: 3, 15: 1, 16: 0x2c, 28: 64, 30: 7, 31: 1, 32: 2 });
    p[21] = 0xff; // frames: 0xff000000, above the largest signed 32-bit number
    const read = decode(Uint8Array.from([10, 33, ...p]));
    assert.equal(read.error, null);
    const r = read.messages[0].result;
    assert.deepEqual([r.round, r.winner, r.score, r.rows, r.frames, r.seconds, r.level, r.matchOver, r.champion],
        [1, 1, [40, 300], [3, 0], 0xff000000, 64, [0, 7], true, 1]);
});

// A run's head: its first cell, its length less one, and whether it keeps
// the attribute before it.
function head(first, lessOne, keep) {
    const value = (first << 5) | (keep ? 16 : 0) | lessOne;
    return [value >> 8, value & 0xff];
}

for (const [name, data, why] of malformed) {
    test(`refused: ${name}`, () => {
        const message = Uint8Array.from(data);
        for (let cut = 0; cut < message.length; ++cut) {
            const read = decode(message, cut > 0 ? [cut] : []);
            assert.equal(read.error, why, `cut at ${cut}`);
            assert.deepEqual(read.messages, []);
        }
    });
}
