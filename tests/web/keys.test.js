// SPDX-License-Identifier: MIT
// Keys by where they sit, as actions: two held at once both act, a release
// lets go only its own action, and only once no key of it is held; losing
// the keyboard lets everything go.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { page } = require('./page_load.js');

const names = ['', 'Turn', 'Left', 'Right', 'Drop', 'Esc', 'Enter', 'Pause'];
const marks = ['', '+', '*', '-', '!'];

// The events a run of [down|up|all, code, repeat] makes, as "+Right -Drop !".
function sent(keys, steps) {
    const out = [];
    for (const [what, code, repeat] of steps) {
        const events = what === 'down' ? keys.down(code, repeat === true) : what === 'up' ? keys.up(code) : keys.releaseAll();
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
