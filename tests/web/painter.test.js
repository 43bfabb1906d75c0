// SPDX-License-Identifier: MIT
// The page's picture against the game's own: the runs the C++ encoder
// writes, applied by the page, give the cells that applying them in C++
// gives; and each cell shows the terminal's glyph in the console's colours.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
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

test("every code's glyph is the terminal's", { skip: needsGolden }, () => {
    const terminal = made.glyphs.split(' ');
    assert.equal(terminal.length, 256);
    for (let code = 0; code < 256; ++code) assert.equal(hex(Buffer.from(page.glyphOf(code))), terminal[code], `code ${code}`);
});

// The stylesheet's sixteen colours, by console number, as [r, g, b].
function palette(prefix, property) {
    const css = fs.readFileSync(path.join(__dirname, '..', '..', 'src', 'web', 'page.css'), 'utf8');
    const colours = [];
    for (const [, n, rgb] of css.matchAll(new RegExp(`\\.${prefix}(\\d+) \\{ ${property}: #([0-9a-f]{6}); \\}`, 'g')))
        colours[Number(n)] = [0, 2, 4].map((i) => parseInt(rgb.slice(i, i + 2), 16));
    return colours;
}

// The terminal shows console colour c as ANSI colour a (1 red, 2 green,
// 4 blue); in the page the channels a names outshine the others, the
// bright eight outshine the dark, and the greys are grey.
test("the console's colours are the terminal's", { skip: needsGolden }, () => {
    const ansi = made.colours.split(' ').map(Number);
    for (const [prefix, property] of [['f', 'color'], ['b', 'background']]) {
        const colours = palette(prefix, property);
        assert.equal(colours.filter(Boolean).length, 16, prefix);
        const sum = (c) => c[0] + c[1] + c[2];
        for (let c = 0; c < 16; ++c) {
            const a = ansi[c] === 39 ? 7 : ansi[c] % 10;
            const on = [0, 1, 2].filter((i) => a & (1 << i)).map((i) => colours[c][i]);
            const off = [0, 1, 2].filter((i) => !(a & (1 << i))).map((i) => colours[c][i]);
            if (on.length === 0 || off.length === 0) assert.ok(colours[c].every((v) => v === colours[c][0]), `${prefix}${c} is grey`);
            else assert.ok(Math.min(...on) > Math.max(...off), `${prefix}${c}: ${colours[c]} for ANSI ${a}`);
            if (c < 8) assert.ok(sum(colours[c + 8]) > sum(colours[c]), `${prefix}${c + 8} brighter than ${prefix}${c}`);
        }
    }
});

test("a cell's classes are its console colours", () => {
    assert.equal(page.cellClass(65, 0x07), 'f7 b0');
    assert.equal(page.cellClass(65, 0x4e), 'f14 b4');
    assert.equal(page.cellClass(219, 0x0b), 'f11 b0 k'); // a block fills its cell
    assert.equal(page.cellClass(32, 0xff), 'f15 b15');
});
