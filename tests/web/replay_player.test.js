// SPDX-License-Identifier: MIT
// The page's replay of a kept match on a clock of the test's own: the
// waits at each speed, pause and step, the next round, the end, and a
// recording of many messages at once played a bounded batch a tick.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { page, bytes, hex } = require('./page_load.js');
const R = require('./recording_bytes.js');

const made = R.golden();
const needsGolden = made === null ? 'needs BLOCKDUEL_REPLAY_GOLDEN, as ctest sets it' : false;

const T = page.Type;
// Two rounds: a picture, deltas 100 ms apart, a Result; then the second
// round's picture 1 s later, a delta, the match's Result and the End.
const match = [
    [0, R.picture(0, [65])], [100, R.delta(1, [66])], [100, R.delta(2, [67])], [50, R.result(1)],
    [1000, R.picture(0, [68])], [100, R.delta(1, [69])], [20, R.result(2, true)], [0, R.end()],
];

// A replay of `entries` from time 0 that writes down what it painted.
function replay(entries = match) {
    const log = { pictures: 0, painted: [] };
    const read = page.readRecording(R.recording(entries));
    assert.equal(read.problem, null);
    const r = new page.Replay(read.entries, 0, {
        picture: () => ++log.pictures,
        paint: (i) => log.painted.push(i),
    });
    return { r, log };
}
// The first cells of the picture shown, as text.
const shown = (r) => String.fromCharCode(...r.picture.codes.subarray(0, 3)).trimEnd();

test('each message shows once its wait has passed, at the normal speed', () => {
    const { r, log } = replay();
    assert.equal(r.line(), 'Replay: 1x');
    const seen = [];
    for (const ms of [0, 99, 100, 199, 200, 249, 250, 1249, 1250]) {
        r.tick(ms);
        seen.push(`${ms}:${shown(r)}:${r.next}`);
    }
    assert.deepEqual(seen, ['0:A:1', '99:A:1', '100:AB:2', '199:AB:2', '200:ABC:3', '249:ABC:3', '250:ABC:4', '1249:ABC:4', '1250:D:5']);
    assert.deepEqual([log.pictures, log.painted], [2, [0, 1, 2, 0]]);
});

// Keys, then how the replay shows, and the time the first delta comes at.
const speeds = [
    [[], 'Replay: 1x', 100],
    [['faster'], 'Replay: 2x', 50],
    [['faster', 'faster', 'faster'], 'Replay: 8x', 13],
    [Array(5).fill('faster'), 'Replay: 8x', 13],
    [['slower'], 'Replay: 1/2x', 200],
    [Array(4).fill('slower'), 'Replay: 1/4x', 400],
    [['slower', 'slower', 'faster'], 'Replay: 1/2x', 200],
];

for (const [keys, line, deltaAt] of speeds) {
    test(`speed after ${keys.join(' ') || 'no key'}: ${line}`, () => {
        const { r } = replay();
        for (const k of keys) r.key(k, 0);
        assert.equal(r.line(), line);
        r.tick(deltaAt - 1);
        assert.equal(r.next, 1, 'the delta too soon');
        r.tick(deltaAt);
        assert.equal(r.next, 2);
    });
}

test("a change of speed counts the time before it at the speed before", () => {
    const { r } = replay();
    r.tick(0);
    r.key('faster', 40); // 40 ms of the match gone; 60 left, at 2x 30 ms
    r.tick(69);
    assert.equal(r.next, 1);
    r.tick(70);
    assert.equal(r.next, 2);
});

test('a pause holds the match, its time not counted, and Right steps one message', () => {
    const { r } = replay();
    r.tick(0);
    r.key('step', 10); // not paused: nothing
    assert.equal(r.next, 1);
    r.key('pause', 50);
    assert.equal(r.line(), 'Paused');
    r.tick(5000);
    assert.equal(r.next, 1);
    r.key('step', 5000);
    assert.equal(shown(r), 'AB');
    r.key('step', 5000);
    r.tick(9000);
    assert.deepEqual([r.next, r.line()], [3, 'Paused']);
    r.key('pause', 9000);
    assert.equal(r.line(), 'Replay: 1x');
    r.tick(9049);
    assert.equal(r.next, 3);
    r.tick(9050); // the Result's wait counts from the last step
    assert.equal(r.next, 4);
});

test('Enter skips to just after the next Result, and the round after it plays at its pace', () => {
    const { r } = replay();
    r.tick(0);
    r.key('next', 1);
    assert.deepEqual([r.next, shown(r)], [4, 'ABC']);
    r.tick(1000);
    assert.equal(r.next, 4);
    r.tick(1001);
    assert.equal(shown(r), 'D');
    // Paused, the skip goes as well, and the pause stays.
    r.key('pause', 1001);
    r.key('next', 1001);
    assert.deepEqual([r.next, r.line()], [7, 'Paused']);
});

test('the end of the match: the last picture stays, and keys do nothing more', () => {
    const { r, log } = replay();
    r.key('next', 0);
    r.key('next', 0); // to the match's Result, and the End, which waits nothing
    assert.deepEqual([r.over, r.line(), shown(r)], [true, 'The end of the match', 'DE']);
    const painted = log.painted.length;
    for (const k of ['pause', 'step', 'next', 'faster']) r.key(k, 10);
    r.tick(100000);
    assert.deepEqual([r.line(), log.painted.length], ['The end of the match', painted]);
});

test('Escape leaves', () => {
    const { r } = replay();
    r.key('leave', 0);
    r.tick(100000);
    assert.deepEqual([r.over, r.line(), r.next], [true, 'You left the replay', 1]);
});

test('messages that all come at once show a batch a tick, and a tick counts a second at most', () => {
    const many = Array(1000).fill([0, R.delta(0, [70])]);
    const { r } = replay([[0, R.picture(0, [65])], ...many, [3600000, R.end()]]);
    r.tick(0);
    assert.ok(r.next > 1 && r.next < 1001, `${r.next} at once`);
    for (let t = 1; t < 1000 && r.next < 1001; ++t) r.tick(t);
    assert.equal(r.next, 1001);
    r.tick(3600000); // an hour later, as a tab the browser held back
    assert.equal(r.next, 1001);
});

test("the game's own recording plays on time to the picture its runs make", { skip: needsGolden }, () => {
    const r = new page.Replay(page.readRecording(bytes(made.recording)).entries, 0, { picture: () => {}, paint: () => {} });
    for (const ms of [0, 600, 1129]) r.tick(ms);
    assert.equal(r.next, 3);
    r.tick(1130);
    r.tick(1150);
    assert.deepEqual([r.over, hex([...r.picture.codes, ...r.picture.attrs])], [true, made.lastPicture]);
});
