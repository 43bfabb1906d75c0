// SPDX-License-Identifier: MIT
// The page's reading of a kept match: records as the game writes them,
// split, damaged, cut short and refused as the game's own reader has them,
// and whatever it is fed, an answer soon and no throw.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { page, bytes } = require('./page_load.js');
const R = require('./recording_bytes.js');

const made = R.golden();
const needsGolden = made === null ? 'needs BLOCKDUEL_REPLAY_GOLDEN, as ctest sets it' : false;

const T = page.Type;
const first = [[0, R.picture(0, [65, 66])], [90, R.delta(1, [67])]];
const second = [[40, R.result(1)], [3, R.end()]];
const whole = R.recording(first, second);
const allTypes = [T.Picture, T.Delta, T.Result, T.End];

// What the reader makes of `bytes`, short enough to compare in a table:
// the same read whole and a few bytes at a time.
function reading(bytes) {
    const shown = (read) => ({ types: read.entries.map((e) => e.message.type), cutShort: read.cutShort, damaged: read.damaged, problem: read.problem });
    const reader = new page.RecordingReader(Uint8Array.from(bytes));
    let sliced = null;
    while (sliced === null) sliced = reader.step(7);
    const whole = shown(page.readRecording(Uint8Array.from(bytes)));
    assert.deepEqual(shown(sliced), whole, 'read in slices');
    return whole;
}
const plays = (types, cutShort = false) => ({ types, cutShort, damaged: false, problem: null });
const lost = 'what the host sent is damaged in it, so its pictures cannot be shown';
const damagedAfter = (types) => ({ types, cutShort: false, damaged: true, problem: lost });
const notOne = (types = [], damaged = false) => ({ types, cutShort: false, damaged, problem: 'it is not a recording of a match, or its start is damaged' });

// A copy of `bytes` with the byte at `at` (from the end when negative) changed.
const flipped = (bytes, at) => bytes.map((b, i) => (i === (at + bytes.length) % bytes.length ? b ^ 0x40 : b));

test('a recording reads entry for entry: the waits, and the messages as the live decoder reads them', () => {
    const read = page.readRecording(whole);
    assert.deepEqual(read.entries.map((e) => [e.afterMs, e.message.type]), [[0, T.Picture], [90, T.Delta], [40, T.Result], [3, T.End]]);
    assert.deepEqual([...read.entries[1].message.runs], [0x00, 0x30, 67]);
    assert.equal(read.entries[2].message.result.round, 1);
    assert.deepEqual(reading(whole), plays(allTypes));
});

test("the game's own recording reads, by the game's own bounds", { skip: needsGolden }, () => {
    assert.deepEqual(page.replayBounds, made.bounds);
    const read = page.readRecording(bytes(made.recording));
    assert.deepEqual([read.entries.map((e) => [e.afterMs, e.message.type]), read.cutShort, read.damaged, read.problem],
        [[[0, T.Picture], [90, T.Delta], [40, T.Result], [1000, T.Picture], [20, T.Result], [0, T.End]], false, false, null]);
    assert.deepEqual([read.entries[4].message.result.round, read.entries[4].message.result.matchOver], [2, true]);
});

const cases = [
    ['one stretch across many records, among others of kinds the page passes over', [...R.header(), ...R.heard(first.slice(0, 1)),
        ...R.record(R.Kind.RoundEnd, [1, 2]), ...R.record(99, []), ...R.heard(first.slice(1)), ...R.heard(second)], plays(allTypes)],
    ['a wait of an hour, the longest', [...R.header(), ...R.heard([[3600000, R.end()]])], plays([T.End])],
    ['a header of 64 KiB, the longest payload', [...R.record(R.Kind.Header, Array(65536).fill(1)), ...R.heard(second)], plays([T.Result, T.End])],
    ['a record with a bad checksum, skipped', [...R.header(), ...flipped(R.heard(first), -1), ...R.heard(second)], damagedAfter([T.Result, T.End])],
    ['a changed payload, skipped', [...R.header(), ...flipped(R.heard(first), 6), ...R.heard(second)], damagedAfter([T.Result, T.End])],
    ['bytes between two records', [...R.header(), 0xb1, 0, 0xb1, ...R.heard(second)], damagedAfter([T.Result, T.End])],
    ['a length not in its shortest form', [...R.header(), ...R.record(R.Kind.Heard, R.stretch(second), [0x80 | 8, 0])], damagedAfter([])],
    ['a length over 64 KiB', [...R.record(R.Kind.Header, Array(65537).fill(1)), ...R.heard(second)], notOne([T.Result, T.End], true)],
    ['a length of more bytes than any bound needs', [...R.header(), ...R.record(R.Kind.Heard, [], [0x80, 0x80, 0x80, 0x80, 0x80, 0])], damagedAfter([])],
    ['a wait not in its shortest form', [...R.header(), ...R.heard(first), ...R.record(R.Kind.Heard, [0x83, 0, ...R.end()])], damagedAfter([T.Picture, T.Delta])],
    ['a wait of over an hour', [...R.header(), ...R.heard(first), ...R.heard([[3600001, R.end()]])], damagedAfter([T.Picture, T.Delta])],
    ['a keep-alive, which no recording keeps', [...R.header(), ...R.heard(first), ...R.heard([[0, R.message(T.KeepAlive)]])], damagedAfter([T.Picture, T.Delta])],
    ["a room's number, which no recording keeps", [...R.header(), ...R.heard([[0, R.message(T.Kept, [0, 0, 0, 1])]])], damagedAfter([])],
    ['a welcome', [...R.header(), ...R.heard([[0, R.message(T.Welcome, [page.protocolVersion, 2])]])], damagedAfter([])],
    ['a message of an unknown type', [...R.header(), ...R.heard([[0, R.message(42)]])], damagedAfter([])],
    ['a message the decoder refuses', [...R.header(), ...R.heard([[0, R.message(T.Delta, [0xff, 0xf0, 65])]])], damagedAfter([])],
    ['a message cut short inside its stretch', [...R.header(), ...R.record(R.Kind.Heard, R.stretch(first).slice(0, -1))], damagedAfter([])],
    ['a stretch that ends after a wait', [...R.header(), ...R.record(R.Kind.Heard, [...R.stretch(second), 5])], damagedAfter([])],
    ['a stretch after one that does not read', [...R.header(), ...R.heard([[0, R.message(T.KeepAlive)]]), ...R.heard(second)], damagedAfter([])],
    ['no bytes', [], notOne()],
    ['a Heard record first', [...R.heard(second)], notOne([T.Result, T.End])],
    ['a header and nothing after it', R.header(), { types: [], cutShort: false, damaged: false, problem: 'it holds no pictures yet' }],
];

for (const [name, bytes, expected] of cases) test(`read: ${name}`, () => assert.deepEqual(reading(bytes), expected));

test('a file cut short anywhere in its last record plays up to where it ends', () => {
    const before = R.recording(first).length;
    for (let cut = before + 1; cut < whole.length; ++cut)
        assert.deepEqual(reading(whole.subarray(0, cut)), plays([T.Picture, T.Delta], true), `cut at ${cut}`);
});

test('a record cut short inside the file is damage, not the end', () => {
    const cut = R.heard(first).slice(0, 9);
    assert.deepEqual(reading([...R.header(), ...cut, ...R.heard(second)]), damagedAfter([T.Result, T.End]));
});

test('no more records than any match could hold', () => {
    const bytes = R.joined([R.header(), ...Array(1 << 18).fill(R.record(R.Kind.RoundEnd, []))]);
    assert.equal(page.readRecording(bytes).problem, 'it holds more records than any match could');
});

test('no more messages at once than a host can send', () => {
    const ends = Array(Math.floor((1 << 20) / 3) + 1).fill([0, R.end()]);
    const records = [R.header()];
    for (let at = 0; at < ends.length; at += 20000) records.push(R.heard(ends.slice(at, at + 20000)));
    const read = page.readRecording(R.joined(records));
    assert.equal(read.problem, lost);
    assert.ok(read.entries.length <= ends.length);
});

test('no more than 32 MiB is read: a record across its end is one cut short', () => {
    const tail = [...R.heard(first), ...R.heard(second)];
    const tailAt = page.replayBounds.maxFileBytes - tail.length + 4;
    // Records of the longest payload after one as long as leaves no gap.
    const longest = R.record(R.Kind.RoundEnd, Array(65536).fill(0));
    const gap = (tailAt - R.header().length) % longest.length;
    let fitting = [];
    for (let length = gap - 7; fitting.length !== gap; --length) fitting = R.record(R.Kind.RoundEnd, Array(length).fill(0));
    const parts = [R.header(), fitting, ...Array(Math.floor((tailAt - R.header().length) / longest.length)).fill(longest), tail, Array(60).fill(0)];
    const read = page.readRecording(R.joined(parts));
    assert.deepEqual([read.entries.map((e) => e.message.type), read.cutShort, read.damaged], [[T.Picture, T.Delta], true, false]);
});

// Bytes that each seem to begin a record of the longest length: checking
// each would take minutes in a large file, so the reader checks no more
// than twice the file's bytes and gives the rest up, the record after them
// too.
test('stretches that each seem a long record are given up soon', () => {
    const seeming = [0xb1, 0xd7, 5, 0x80, 0x80, 0x04];
    const bytes = R.joined([R.header(), ...Array(500).fill(seeming), R.record(R.Kind.RoundEnd, Array(65536).fill(0)), R.heard(second)]);
    assert.deepEqual(reading(bytes), damagedAfter([]));
});

// A generator of the test's own, so that a failure comes back the same.
function random(seed) {
    let s = seed;
    return () => ((s = (Math.imul(s, 1103515245) + 12345) >>> 0) >>> 16) & 0xff;
}

test('garbage and damaged recordings never throw, and read in bounds', () => {
    const next = random(7);
    const long = R.recording(...Array(40).fill(first), second);
    for (let round = 0; round < 400; ++round) {
        const bytes = round % 2 ? Uint8Array.from({ length: next() * 8 }, next) : long.map((b) => (next() < 3 ? next() : b));
        const read = page.readRecording(bytes);
        assert.ok(read.entries.length <= bytes.length / 3, `round ${round}`);
        assert.equal(typeof read.problem === 'string' || read.problem === null, true);
    }
});
