// SPDX-License-Identifier: MIT
// The page's picture against the game's own: the runs the C++ encoder
// writes, applied by the page, give the cells that applying them in C++
// gives; and each cell shows the terminal's glyph in the console's colours.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { page, bytes, hex, golden, decode } = require('./page_load.js');

const made = golden();
const needsGolden = made === null ? 'needs BLOCKDUEL_WEB_GOLDEN, as ctest sets it' : false;
const cellsOf = (picture) => hex(picture.codes) + hex(picture.attrs);

test("the encoder's picture and delta paint the encoder's cells", { skip: needsGolden }, () => {
    const [picture, delta] = decode(bytes(made.host)).messages;
    const shown = page.blankPicture();
    const painted = new Set();
    page.applyRuns(picture.runs, shown, (i) => painted.add(i));
    assert.equal(cellsOf(shown), made.afterPicture);
    // A picture's runs leave alone only the cells a blank one already shows.
    for (let i = 0; i < page.cells; ++i)
        if (!painted.has(i)) assert.ok(shown.codes[i] === 32 && shown.attrs[i] === 7, `cell ${i}`);
    page.applyRuns(delta.runs, shown);
    assert.equal(cellsOf(shown), made.afterDelta);
    assert.notEqual(made.afterDelta, made.afterPicture);
});

test('a run in the attribute before it, and the first run in the default', () => {
    const shown = page.blankPicture();
    // Cell 57 ('A' kept in the default 7), then cells 0..1 in 0x1e, then
    // cell 2 keeping 0x1e.
    page.applyRuns(Uint8Array.from([0x07, 0x30, 65, 0x00, 0x01, 0x1e, 66, 67, 0x00, 0x50, 68]), shown);
    assert.deepEqual([...shown.codes.subarray(0, 3), shown.codes[57]], [66, 67, 68, 65]);
    assert.deepEqual([...shown.attrs.subarray(0, 3), shown.attrs[57]], [0x1e, 0x1e, 0x1e, 7]);
    assert.equal(shown.codes[3], 32);
});

test("glyphs are the terminal's", () => {
    assert.equal(page.glyphOf(0), ' ');
    assert.equal(page.glyphOf(65), 'A');
    assert.equal(page.glyphOf(126), '~');
    assert.equal(page.glyphOf(1), '\u263a');
    assert.equal(page.glyphOf(24), '\u2191'); // the legend's arrows
    assert.equal(page.glyphOf(27), '\u2190');
    assert.equal(page.glyphOf(127), '\u2302');
    assert.equal(page.glyphOf(128), '\u00c7');
    assert.equal(page.glyphOf(178), '\u2593'); // the walls
    assert.equal(page.glyphOf(219), '\u2588'); // the pieces
    assert.equal(page.glyphOf(255), '\u00a0');
    for (let code = 0; code < 256; ++code) assert.equal([...page.glyphOf(code)].length, 1, `code ${code}`);
});

test("a cell's classes are its console colours", () => {
    assert.equal(page.cellClass(65, 0x07), 'f7 b0');
    assert.equal(page.cellClass(65, 0x4e), 'f14 b4');
    assert.equal(page.cellClass(219, 0x0b), 'f11 b0 k'); // a block fills its cell
    assert.equal(page.cellClass(32, 0xff), 'f15 b15');
});
