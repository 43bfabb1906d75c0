// SPDX-License-Identifier: MIT
// Recordings built by hand for the page's reader and player: records as
// the game writes them (the checksum from node's own zlib, not the page's),
// and the host's messages they keep.
'use strict';
const zlib = require('node:zlib');
const { execFileSync } = require('node:child_process');
const { page } = require('./page_load.js');

const T = page.Type;
const Kind = { Header: 1, RoundEnd: 3, Heard: 5 };

// A number of seven bits a byte, low first, the top bit on all but the last.
function varint(n) {
    const out = [];
    for (; n >= 0x80; n = Math.floor(n / 128)) out.push((n % 128) | 0x80);
    return [...out, n];
}

// A record: magic, kind, length, payload, then the CRC-32 of kind, length
// and payload, low byte first.
function record(kind, payload, length = varint(payload.length)) {
    const checked = [kind, ...length, ...payload];
    const crc = zlib.crc32(Buffer.from(checked));
    return [0xb1, 0xd7, ...checked, crc & 0xff, (crc >>> 8) & 0xff, (crc >>> 16) & 0xff, crc >>> 24];
}

// A message as the host sends it: a length below 128 in a byte, else two.
const message = (type, payload = []) =>
    [type, ...(payload.length < 128 ? [payload.length] : [0x80 | (payload.length >> 7), payload.length & 0x7f]), ...payload];

// Runs of one cell each, keeping the first run's attribute: `codes` from
// cell `first` on.
const cellRuns = (first, codes) => codes.flatMap((c, k) => [((first + k) << 5) >> 8, (((first + k) << 5) | 16) & 0xff, c]);
const picture = (first, codes) => message(T.Picture, cellRuns(first, codes));
const delta = (first, codes) => message(T.Delta, cellRuns(first, codes));
const end = () => message(T.End);

// A Result of round `round`, won by board one; `over` ends the match.
function result(round, over = false) {
    const p = Array(33).fill(0);
    p[3] = round;
    p[4] = 1;
    p[31] = over ? 1 : 0;
    p[32] = over ? 1 : 0;
    return message(T.Result, p);
}

// A Heard stretch of [afterMs, message] entries.
const stretch = (entries) => entries.flatMap(([ms, m]) => [...varint(ms), ...m]);
const heard = (entries) => record(Kind.Heard, stretch(entries));
const header = () => record(Kind.Header, [7, 1, 2, 3]);

// A whole recording: the header, then a Heard record for each list of entries.
const recording = (...stretches) => Uint8Array.from([...header(), ...stretches.flatMap(heard)]);

// A recording as the game's own writers make it, with its last picture and
// the bounds the game reads and replays by, from the program ctest names;
// null without it (node --test by hand).
function golden() {
    const program = process.env.BLOCKDUEL_REPLAY_GOLDEN;
    return program ? JSON.parse(execFileSync(program, { encoding: 'utf8' })) : null;
}

// `parts` (arrays of bytes) one after another, as one Uint8Array; quick
// for the many records of the largest files.
const joined = (parts) => new Uint8Array(Buffer.concat(parts.map((p) => Buffer.from(p))));

module.exports = { golden, joined, Kind, varint, record, message, picture, delta, end, result, stretch, heard, header, recording };
