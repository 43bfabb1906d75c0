// SPDX-License-Identifier: MIT
// The news the page makes of the host's pictures: frames drawn here as the
// host lays its picture out (the labels, the scores, the countdown's line,
// the cells of each well), read look by look into events, and the events
// and results into what a screen reader is told and which sound plays.
'use strict';
const assert = require('node:assert/strict');
const test = require('node:test');
const { page } = require('./page_load.js');

const boardAt = [0, 30];
const put = (picture, x, y, text) => [...text].forEach((c, i) => (picture.codes[y * page.columns + x + i] = c.charCodeAt(0)));

// A picture: each board's label and score, the prompt line, and `cells`
// of each well filled, row by row from its top left.
function frame({ labels = ['CPU 3', 'You'], scores = [0, 0], prompt = '', cells = [0, 0] } = {}) {
    const picture = page.blankPicture();
    boardAt.forEach((x, b) => {
        put(picture, x + 21, 8, labels[b]);
        put(picture, x, 15, `Score: ${scores[b]}`);
        for (let k = 0; k < cells[b]; ++k) picture.codes[Math.floor(k / 18) * page.columns + x + 1 + (k % 18)] = 219;
    });
    put(picture, 0, 17, prompt);
    return picture;
}

// The events of each look at the frames, in turn.
function looks(frames) {
    const news = new page.News();
    return frames.map((f) => news.look(frame(f)));
}

test('the picture changes read as events', () => {
    const cases = [
        {
            name: 'the countdown, each step once, then the start',
            frames: ['Round 2 starts in 3', 'Round 2 starts in 2', 'Round 2 starts in 2', 'Round 2 starts in 1', ''].map((prompt) => ({ prompt })),
            events: [[{ kind: 'count', n: 3 }], [{ kind: 'count', n: 2 }], [], [{ kind: 'count', n: 1 }], [{ kind: 'start', round: 2 }]],
        },
        {
            name: 'rows cleared by the score, with a penalty for the other board',
            frames: [{ scores: [0, 18] }, { scores: [36, 18] }, { scores: [36, 36] }, { scores: [0, 0] }],
            events: [[], [{ kind: 'clear', board: 0, rows: 2 }, { kind: 'penalty', board: 1 }], [{ kind: 'clear', board: 1, rows: 1 }, { kind: 'penalty', board: 0 }], []],
        },
        {
            // A piece's cells, moving, then the next piece's coming on top of
            // the locked one's: once for each piece.
            name: 'locks by the cells the well holds',
            frames: [4, 4, 5, 8, 8, 9].map((n) => ({ cells: [n, 0] })),
            events: [[], [], [{ kind: 'lock', board: 0 }], [], [], [{ kind: 'lock', board: 0 }]],
        },
        {
            // The row the lock filled goes, and the penalty cell is no piece.
            name: 'a clear and a penalty make no lock of their own',
            frames: [{ cells: [22, 4] }, { scores: [18, 0], cells: [4, 5] }, { scores: [18, 0], cells: [4, 5] }, { scores: [18, 0], cells: [5, 5] }],
            events: [[], [{ kind: 'clear', board: 0, rows: 1 }, { kind: 'penalty', board: 1 }], [], [{ kind: 'lock', board: 0 }]],
        },
        {
            name: 'a new round empties the wells without a lock',
            frames: [{ cells: [40, 30] }, { prompt: 'Round 3 starts in 3', cells: [0, 0] }, { cells: [3, 4] }],
            events: [[], [{ kind: 'count', n: 3 }], [{ kind: 'start', round: 3 }]],
        },
    ];
    for (const c of cases) assert.deepEqual(looks(c.frames), c.events, c.name);
});

test('the board labelled You is the viewer', () => {
    for (const [labels, you] of [[['CPU 3', 'You'], 1], [['You', 'Player'], 0], [['Player', 'Player'], -1], [['CPU 5', 'CPU 5'], -1]])
        assert.equal(page.youOf(frame({ labels })), you, labels.join());
});

test('what each viewer is told and hears of an event', () => {
    const clear = { kind: 'clear', board: 0, rows: 2 };
    const penalty = { kind: 'penalty', board: 1 };
    const result = { round: 4, winner: 1 }; // a Result's fields, as it is told
    // [event, viewer's board, line, sound]
    const cases = [
        [{ kind: 'start', round: 2 }, 1, 'Round 2 has begun.', 'start'],
        [{ kind: 'count', n: 2 }, -1, null, 'count'],
        [clear, 0, 'You cleared 2 rows.', 'clear'],
        [{ kind: 'clear', board: 1, rows: 1 }, 1, 'You cleared 1 row.', 'clear'],
        [clear, 1, null, null],
        [clear, -1, 'Player one cleared 2 rows.', 'clear'],
        [penalty, 1, 'A penalty cell came onto your board.', 'penalty'],
        [penalty, 0, null, null],
        [penalty, -1, "A penalty cell came onto player two's board.", null],
        [{ kind: 'lock', board: 0 }, 0, null, 'lock'],
        [{ kind: 'lock', board: 0 }, 1, null, null],
        [{ kind: 'lock', board: 0 }, -1, null, null],
        [result, 1, 'You won round 4.', 'won'],
        [result, 0, 'You lost round 4.', 'lost'],
        [result, -1, 'Player two won round 4.', null],
        [{ ...result, winner: -1 }, 0, 'Round 4 ended with no winner.', 'lost'],
    ];
    for (const [e, you, line, sound] of cases) {
        const name = `${JSON.stringify(e)} to ${you}`;
        assert.equal(page.newsLine(e, you), line, name);
        assert.equal(page.soundOf(e, you), sound, name);
        if (sound !== null) assert.ok(page.tones[sound].length > 0, sound);
    }
});
