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
];

for (const [name, runs] of cases) {
    test(name, () => {
        const keys = new page.Keys();
        for (const [steps, expected] of runs) assert.equal(sent(keys, steps), expected);
    });
}
