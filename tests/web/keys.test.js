// SPDX-License-Identifier: MIT
// Keys by where they sit, as actions: two held at once both act, a release
// lets go only its own action, and only once no key of it is held; losing
// the keyboard lets everything go. Keys of one's own: what may be chosen,
// and what a stored choice gives back.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { page } = require('./page_load.js');

const names = ['', 'Turn', 'Left', 'Right', 'Drop', 'Esc', 'Enter', 'Pause'];
const marks = ['', '+', '*', '-', '!'];

// The events a run of [down|up|all, code, repeat] makes, as "+Right -Drop !";
// [choose, text] plays the keys a stored choice gives from then on.
function sent(keys, steps) {
    const out = [];
    for (const [what, code, repeat] of steps) {
        if (what === 'choose') keys.actions = page.KeyChoice.read(code).actions();
        const events = what === 'down' ? keys.down(code, repeat === true) : what === 'up' ? keys.up(code) : what === 'all' ? keys.releaseAll() : [];
        for (const [kind, action] of events) out.push(marks[kind] + (kind === page.KeyKind.ReleaseAll ? '' : names[action]));
    }
    return out.join(' ');
}

test('W A S D and the arrows, Enter and P, by where they sit', () => {
    const keys = new page.Keys();
    for (const [code, name] of [['KeyW', 'Turn'], ['KeyA', 'Left'], ['KeyS', 'Drop'], ['KeyD', 'Right'], ['ArrowUp', 'Turn'], ['ArrowLeft', 'Left'], ['ArrowDown', 'Drop'], ['ArrowRight', 'Right'], ['Enter', 'Enter'], ['KeyP', 'Pause']])
        assert.equal(sent(keys, [['down', code], ['up', code]]), `+${name} -${name}`, code);
    assert.equal(sent(keys, [['down', 'KeyQ'], ['up', 'KeyQ'], ['down', 'Space']]), '');
});

const ijlk = '[["KeyI","KeyJ","KeyL","KeyK"],["Digit8","Digit4","Digit6","Digit5"]]';
// Each case: runs of steps on one set of keys, and what each run sends.
const cases = [
    ['D held then S: both pressed; letting go of S releases Drop alone', [
        [[['down', 'KeyD'], ['down', 'KeyD', true], ['down', 'KeyS'], ['down', 'KeyD', true], ['up', 'KeyS']], '+Right *Right +Drop *Right -Drop'],
        [[['up', 'KeyD']], '-Right']]],
    ['an action held by two keys is let go with the last', [
        [[['down', 'KeyD'], ['down', 'ArrowRight'], ['up', 'KeyD']], '+Right'],
        [[['down', 'ArrowRight', true], ['up', 'ArrowRight']], '*Right -Right']]],
    // The press of the second came before the page had the keyboard.
    ['a release of a key not held, or a repeat of one the page never saw pressed', [
        [[['up', 'KeyD']], ''],
        [[['down', 'KeyA', true], ['up', 'KeyA']], '+Left -Left']]],
    ['losing the keyboard lets every held key go, once', [
        [[['down', 'KeyD'], ['down', 'KeyS'], ['all'], ['all'], ['up', 'KeyD'], ['up', 'KeyS']], '+Right +Drop !'],
        [[['down', 'KeyD']], '+Right']]],
    ['the touch buttons are keys of their own', [
        [[['down', 'touchLeft'], ['down', 'KeyA'], ['up', 'touchLeft'], ['up', 'KeyA']], '+Left -Left'],
        [[['down', 'touchTurn'], ['down', 'touchDrop'], ['up', 'touchTurn'], ['down', 'touchEnter'], ['down', 'touchRight']], '+Turn +Drop -Turn +Enter +Right']]],
    ['chosen keys play, the keys they replaced do not, and Enter, P, touch and pads stay', [
        [[['choose', ijlk], ['down', 'KeyJ'], ['up', 'KeyJ'], ['down', 'KeyA'], ['down', 'Digit8'], ['down', 'KeyP'], ['down', 'Enter'], ['down', 'touchDrop'], ['down', page.padCode(0, page.Action.Left)]],
            '+Left -Left +Turn +Pause +Enter +Drop +Left']]],
    ['a key held while the choice changes lets go of the action it pressed', [
        [[['down', 'KeyA'], ['choose', '[["KeyA","KeyJ","KeyL","KeyK"],["ArrowUp","ArrowLeft","ArrowRight","ArrowDown"]]'], ['down', 'KeyA', true], ['up', 'KeyA'], ['down', 'KeyA']],
            '+Left *Left -Left +Turn']]],
    ["a gamepad's actions are keys of their own", [
        [[['down', 'KeyA'], ['down', page.padCode(0, page.Action.Left)], ['up', 'KeyA'], ['down', page.padCode(1, page.Action.Escape)]], '+Left +Esc'],
        [[['up', page.padCode(0, page.Action.Left)], ['down', page.padCode(2, page.Action.Left)], ['down', 'ArrowLeft'], ['up', page.padCode(2, page.Action.Left)], ['up', 'ArrowLeft']], '-Left +Left -Left']]],
];

for (const [name, runs] of cases) {
    test(name, () => {
        const keys = new page.Keys();
        for (const [steps, expected] of runs) assert.equal(sent(keys, steps), expected);
    });
}

// Gamepads: a pad as the browser gives it (its index, the buttons pressed,
// the left stick), and what looks at the pads, [ms, pads], or a pad's
// disconnect, [ms, its index], send, as "+Left0/1" (pad 0's Left, for seat
// 1), a look's events apart by " | ".
const pad = (index, pressed = [], axes = [0, 0]) => ({ index, axes, buttons: Array.from({ length: 17 }, (_, b) => ({ pressed: pressed.includes(b) })) });
const padName = ([down, code, seat]) => `${down ? '+' : '-'}${names[page.keyActions[code]]}${code.slice(3, code.indexOf(':'))}/${seat}`;
const padLooks = (gamepads, looks) =>
    looks.map(([ms, list]) => (typeof list === 'number' ? gamepads.drop(list) : gamepads.read(list, ms)).map(padName).join(' ')).join(' | ');
const leave = page.padLeaveMs;

// Each case: the seats at the page, the looks, and what they send.
const padCases = [
    ['the d-pad, A, Start and Select', 1, [[0, [pad(0, [14])]], [1, [pad(0, [15, 0])]], [2, [pad(0, [13, 9, 8])]], [3, [pad(0)]]],
        '+Left0/0 | -Left0/0 +Turn0/0 +Right0/0 | -Turn0/0 -Right0/0 +Pause0/0 +Enter0/0 +Drop0/0 | -Pause0/0 -Enter0/0 -Drop0/0'],
    ['the stick past half its travel, and not up, nor short of it', 1,
        [[0, [pad(0, [], [-0.9, 0])]], [1, [pad(0, [], [0.9, 0.7])]], [2, [pad(0, [], [0.4, -0.9])]], [3, [pad(0, [2, 3], [-0.4, 0.4])]]],
        '+Left0/0 | -Left0/0 +Right0/0 +Drop0/0 | -Right0/0 -Drop0/0 | '],
    ['Left held by the d-pad and the stick is let go with the last', 1,
        [[0, [pad(0, [14])]], [1, [pad(0, [14], [-1, 0])]], [2, [pad(0, [], [-1, 0])]], [3, [pad(0)]]], '+Left0/0 |  |  | -Left0/0'],
    ['B leaves once held a second, and starts again when let go before', 1,
        [[0, [pad(0, [1])]], [leave - 1, [pad(0, [1])]], [leave, [pad(0, [1])]], [leave + 1, [pad(0, [1])]], [leave + 2, [pad(0)]],
            [2 * leave, [pad(0, [1])]], [3 * leave - 1, [pad(0)]], [3 * leave, [pad(0, [1])]], [4 * leave - 1, [pad(0, [1])]]],
        ' |  | +Esc0/0 |  | -Esc0/0 |  |  |  | '],
    ['a pad gone while B is held starts its second again', 1,
        [[0, [pad(0, [1])]], [1, []], [2, [pad(0, [1])]], [leave + 1, [pad(0, [1])]], [leave + 2, [pad(0, [1])]]], ' |  |  |  | +Esc0/0'],
    ['one seat: every pad plays it', 1, [[0, [pad(0, [14]), pad(3, [15])]]], '+Left0/0 +Right3/0'],
    ['two seats: the first pad pressed takes the first, the next the second, a third none, each kept', 2,
        [[0, [pad(0), pad(1, [14])]], [1, [pad(0, [15]), pad(1), pad(2, [0])]], [2, [null, null, pad(2, [0])]], [3, [pad(0, [13]), pad(1, [13])]]],
        '+Left1/0 | -Left1/0 +Right0/1 | -Right0/1 | +Drop0/1 +Drop1/0'],
    ['a pad gone from the list lets all it held go at once', 2,
        [[0, [pad(0, [14, 0]), pad(1, [15])]], [1, [null, pad(1, [15])]], [2, [pad(1, [15])]], [3, []]],
        '+Turn0/0 +Left0/0 +Right1/1 | -Turn0/0 -Left0/0 |  | -Right1/1'],
    ['a pad that disconnects lets go of what it held, and its B starts again', 2,
        [[0, [pad(0, [15]), pad(1, [14, 13])]], [0, 1], [0, 1], [0, [pad(0, [15]), pad(1, [1])]], [1, 1], [2, [pad(0, [15]), pad(1, [1])]],
            [leave + 1, [pad(0, [15]), pad(1, [1])]], [leave + 2, [pad(0, [15]), pad(1, [1])]]],
        '+Right0/0 +Drop1/1 +Left1/1 | -Drop1/1 -Left1/1 |  |  |  |  |  | +Esc1/1'],
    ['what no pad gives is nothing', 2,
        [[0, null], [1, [{ index: 99, buttons: [{ pressed: true }] }, { index: -1 }, { index: 'x' }, 7, { index: 0 }, { index: 1, axes: [NaN, undefined], buttons: [null] }]]], ' | '],
];

for (const [name, seats, looks, expected] of padCases) test(`gamepads: ${name}`, () => assert.equal(padLooks(new page.Gamepads(seats), looks), expected));

// Choosing: [what, seat, move (0 turn to 3 drop), code, the refusal or
// null, the legend after].
const first = '\x18 \x1b \x1a \x19 or W A D S';
const chosen = [
    ['a free letter', 0, 1, 'KeyJ', null, '\x18 \x1b \x1a \x19 or W J D S'],
    ['the key the move has', 0, 0, 'KeyW', null, first],
    ['punctuation', 1, 3, 'Quote', null, "\x18 \x1b \x1a ' or W A D S"],
    ['a key of another move', 0, 0, 'KeyA', 'A already moves left for player one', first],
    ["the other player's key", 0, 3, 'ArrowDown', '\u2193 already drops for player two', first],
    ['Enter, on the keypad too', 1, 2, 'NumpadEnter', 'Enter starts the next round, so it cannot be chosen', first],
    ['Escape', 0, 2, 'Escape', 'Escape leaves the game, so it cannot be chosen', first],
    ['the pause key', 0, 2, 'KeyP', 'P pauses, so it cannot be chosen', first],
    ['Tab', 0, 2, 'Tab', "Tab moves between the page's buttons, so it cannot be chosen", first],
    ['a key a terminal cannot name', 0, 2, 'Space', "only letters, digits, the arrows and , . / ; ' [ ] - = can be chosen", first],
    ['a name of no key', 1, 0, '__proto__', "only letters, digits, the arrows and , . / ; ' [ ] - = can be chosen", first],
];
test('choosing keys: clashes and the keys the game keeps are refused in words', () => {
    for (const [what, seat, move, code, refusal, after] of chosen) {
        const choice = new page.KeyChoice();
        assert.deepEqual([choice.choose(seat, move, code), choice.legend()], [refusal, after], what);
    }
});

// Stored choices, read back: [what, text, "legend | each seat's words"].
const defaults = `${first} | W A S D | the arrows`;
const arrows = '["ArrowUp","ArrowLeft","ArrowRight","ArrowDown"]';
const stored = [
    ['nothing stored', null, defaults],
    ['a choice of its own', ijlk, '8 4 6 5 or I J L K | I J L K | 8 4 6 5'],
    ["the sets the other way round: the defaults' words are the seat's own", `[${arrows},["KeyW","KeyA","KeyD","KeyS"]]`, 'W A D S or \x18 \x1b \x1a \x19 | \u2191 \u2190 \u2192 \u2193 | W A D S'],
    ['no JSON', '[["KeyI",', defaults],
    ['the wrong shapes', '{"0":["KeyI","KeyJ","KeyL","KeyK"]}', defaults],
    ['a set short', `[["KeyI","KeyJ","KeyL"],${arrows}]`, defaults],
    ['a third set', `[["KeyI","KeyJ","KeyL","KeyK"],${arrows},["Digit1","Digit2","Digit3","Digit4"]]`, defaults],
    ['too long', `[["KeyI","KeyJ","KeyL","KeyK"],${arrows}${' '.repeat(200)}]`, defaults],
    ['unknown, reserved and no codes: each its default', `[["KeyI","Space","KeyP",{"KeyK":1}],["__proto__",null,7,"KeyK"]]`, '\x18 \x1b \x1a K or I A D S | I A D S | \u2191 \u2190 \u2192 K'],
    ['a key in two places: both their defaults', `[["KeyI","KeyJ","KeyL","Digit9"],["Digit9","ArrowLeft","ArrowRight","ArrowDown"]]`, '\x18 \x1b \x1a \x19 or I J L S | I J L S | the arrows'],
    ['a default that then clashes: all the defaults', `[["KeyI","KeyJ","KeyL","ArrowUp"],["Space","ArrowLeft","ArrowRight","ArrowDown"]]`, defaults],
];
test('stored choices are read as untrusted, the legend and the words from them', () => {
    for (const [what, text, expected] of stored) {
        const choice = page.KeyChoice.read(text);
        assert.equal([choice.legend(), choice.words(0), choice.words(1)].join(' | '), expected, what);
        assert.deepEqual(page.KeyChoice.read(choice.text()).sets, choice.sets, `${what}: kept as read`);
    }
});
