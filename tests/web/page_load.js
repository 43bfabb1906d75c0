// SPDX-License-Identifier: MIT
// What the page's tests share: the page's script as the browser runs it,
// the C++ encoder's golden messages, and hex.
'use strict';
const path = require('node:path');
const { execFileSync } = require('node:child_process');

const page = require(path.join(__dirname, '..', '..', 'src', 'web', 'page.js'));

const bytes = (hex) => Uint8Array.from(hex.match(/../g) || [], (h) => parseInt(h, 16));
const hex = (data) => Buffer.from(data).toString('hex');

// The messages this game's encoder writes, from the program ctest names;
// null when the tests run without it (node --test by hand).
function golden() {
    const program = process.env.BLOCKDUEL_WEB_GOLDEN;
    return program ? JSON.parse(execFileSync(program, { encoding: 'utf8' })) : null;
}

// Every message the decoder gives for `data` fed in the pieces `cuts`
// makes, and its error.
function decode(data, cuts = []) {
    const decoder = new page.Decoder();
    const messages = [];
    let at = 0;
    for (const cut of [...cuts, data.length]) {
        decoder.feed(data.subarray(at, cut), (m) => messages.push(m));
        at = cut;
    }
    return { messages, error: decoder.error };
}

module.exports = { page, bytes, hex, golden, decode };
