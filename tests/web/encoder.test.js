// SPDX-License-Identifier: MIT
// What the page sends, byte for byte as this game's own encoder writes it.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { page, hex, golden } = require('./page_load.js');

const made = golden();
const needsGolden = made === null ? 'needs BLOCKDUEL_WEB_GOLDEN, as ctest sets it' : false;

test('Hello, Ready, keys and a keep-alive as the encoder writes them', { skip: needsGolden }, () => {
    assert.equal(hex(page.encodeHello(page.Seat.Watcher, '7K3MQ9XD', 'Jörg M.')), made.hello);
    assert.equal(hex(page.encodeReady(page.legend)), made.ready);
    const K = page.KeyKind;
    const keys = [page.encodeKey(K.Press, 3), page.encodeKey(K.Repeat, 3), page.encodeKey(K.Release, 3), page.encodeKey(K.ReleaseAll, 0), page.encodeKeepAlive()];
    assert.equal(keys.map(hex).join(''), made.keys);
});

// The host's rule for names, to the character (its own table has every case).
test('a name is checked by the rule the host keeps', () => {
    const rows = [['', null], ['Jörg Müller', null], ['张伟', null], ['e\u0301', null], ['x'.repeat(16), null],
        ['x'.repeat(17), '16'], ['\u0301e', 'mark'], ['a\tb', 'control'], ['a\u0085', 'control'], ['a\u202eb', 'turns'],
        ['a\u200bb', 'seen'], ['\ud800', 'seen'], ['😀', 'letter'], ['\ue000', 'letter'], ['a<b', '<'], ["O'Hara", "'"],
        [' Ada', 'space'], ['A  da', 'space'], ['Ada ', 'space']];
    for (const [name, fault] of rows) {
        const found = page.checkPlayerName(name);
        assert.ok(fault === null ? found === null : found?.includes(fault), `${JSON.stringify(name)}: ${found}`);
    }
    assert.equal(page.encodeHello(page.Seat.Player, '7K3MQ9XD', 'é'.repeat(40)).length, 2 + 15 + 64, 'cut at 64 bytes');
});

test('the legend fits under the board, in bytes the picture can show', () => {
    assert.ok(page.legend.length <= page.maxLegendLength);
    assert.match(page.legend, /^[\x18-\x1b\x20-\x7e]+$/);
    const ready = page.encodeReady('x'.repeat(40));
    assert.equal(ready.length, 2 + 1 + page.maxLegendLength);
    assert.equal(ready[1], 1 + page.maxLegendLength);
});
