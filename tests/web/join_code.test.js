// SPDX-License-Identifier: MIT
// The join code as a person types it or a link carries it, read as the
// terminal reads it.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { page } = require('./page_load.js');

test('the forms a terminal accepts', () => {
    for (const text of ['7K3M-Q9XD', '7k3m-q9xd', '7K3MQ9XD', '7K3M Q9XD', '7k.3m_q9-xd', ' 7K3M-Q9XD ', '--7K3M--Q9XD--'])
        assert.equal(page.parseJoinCode(text), '7K3MQ9XD', text);
    // I and L stand for 1, O for 0.
    assert.equal(page.parseJoinCode('oIlO-ilo0'), '01101100');
});

test('what is no code', () => {
    for (const text of ['', '7K3M-Q9X', '7K3M-Q9XD1', '7K3M-Q9XU', '7K3M+Q9XD', '7K3M\tQ9XD', '7K3M-Q9X\u0130', '7K3M-Q9X\u0131', '\uff17K3M-Q9XD', '7K3M-Q9X\u00df'])
        assert.equal(page.parseJoinCode(text), null, JSON.stringify(text));
});

test('shown as the host shows it', () => {
    assert.equal(page.formatJoinCode('7K3MQ9XD'), '7K3M-Q9XD');
});

test("refusals in the terminal's words", () => {
    assert.equal(page.refusalText(1, '7K3MQ9XD'), "the host refused the code 7K3M-Q9XD; check the code the host's screen shows");
    assert.match(page.refusalText(2, '7K3MQ9XD'), /^player two is already playing that game/);
    assert.equal(page.refusalText(3, '7K3MQ9XD'), 'that game has as many watchers as it takes');
    assert.match(page.refusalText(4, '7K3MQ9XD'), /another version of blockduel/);
    assert.equal(page.refusalText(77, '7K3MQ9XD'), 'the host refused to let this game in');
});

test("a room's name and code, drawn by the page, and its game's path", () => {
    // Every byte's five low bits pick a symbol: all 32 of each alphabet come.
    const counting = (bytes) => bytes.map((_, i) => i * 9);
    const names = new Set();
    for (let i = 0; i < 8; ++i) {
        const code = page.randomJoinCode((bytes) => bytes.map((_, j) => i * 8 + j));
        assert.equal(page.parseJoinCode(code), code);
        for (const c of code) names.add(c);
    }
    assert.equal(names.size, 32);
    assert.match(page.randomRoomName(counting), /^[a-z2-9]{12}$/);
    for (const [path, search, socket] of [
        ['/', '', '/play'],
        ['/r/k7q2m9xw3pbd', '?computer=3', '/r/k7q2m9xw3pbd/play?computer=3'],
        ['/r/k7q2m9xw3pbd/', '?friend', '/r/k7q2m9xw3pbd/play?friend'],
    ])
        assert.equal(page.playPathOf(path, search), socket, path);
});
