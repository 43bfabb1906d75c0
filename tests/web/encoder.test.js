// SPDX-License-Identifier: MIT
// What the page sends, byte for byte as this game's own encoder writes it.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { page, hex, golden } = require('./page_load.js');

const made = golden();
const needsGolden = made === null ? 'needs BLOCKDUEL_WEB_GOLDEN, as ctest sets it' : false;

test('Hello, Ready, keys and a keep-alive as the encoder writes them', { skip: needsGolden }, () => {
    assert.equal(hex(page.encodeHello(page.Seat.Watcher, '7K3MQ9XD')), made.hello);
    assert.equal(hex(page.encodeReady(page.legend)), made.ready);
    const K = page.KeyKind;
    const keys = [page.encodeKey(K.Press, 3), page.encodeKey(K.Repeat, 3), page.encodeKey(K.Release, 3), page.encodeKey(K.ReleaseAll, 0), page.encodeKeepAlive()];
    assert.equal(keys.map(hex).join(''), made.keys);
});

test('the legend fits under the board, in bytes the picture can show', () => {
    assert.ok(page.legend.length <= page.maxLegendLength);
    assert.match(page.legend, /^[\x18-\x1b\x20-\x7e]+$/);
    const ready = page.encodeReady('x'.repeat(40));
    assert.equal(ready.length, 2 + 1 + page.maxLegendLength);
    assert.equal(ready[1], 1 + page.maxLegendLength);
});
