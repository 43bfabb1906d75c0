// SPDX-License-Identifier: MIT
// The browser page from a real run, as a PNG: the game hosts in a tmux
// pane, headless Chromium opens the link it shows and joins as player two,
// both boards play a few pieces (the host's player moves, the page's drops
// and turns), and Chromium's own screenshots of the page are written, each
// at its window's size in CSS pixels (1000x700 unless given; a window
// narrower than tall is a phone's, touch buttons and all).
// Usage: node shoot.js GAME CHROMIUM OUT.png [WIDTHxHEIGHT] [OUT.png [WIDTHxHEIGHT]]...
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const web = path.join(__dirname, '..', '..', 'tests', 'web');
const { Chromium } = require(path.join(web, 'headless_chromium.js'));
const { HostPane, sleep } = require(path.join(web, 'host_pane.js'));

// Taps a key of the page `times` times, a frame or two apart.
async function tap(page, [code, key, keyCode], times) {
    for (let k = 0; k < times; ++k) {
        await page.key('keyDown', code, key, keyCode);
        await sleep(100);
        await page.key('keyUp', code, key, keyCode);
        await sleep(100);
    }
}

const left = ['KeyA', 'a', 65];
const right = ['KeyD', 'd', 68];

async function play(host, page) {
    // A few pieces on each side, spread out, so that the boards are not
    // empty; the round goes on.
    const shifts = [-6, 5, -2];
    for (const shift of shifts) {
        const way = shift < 0 ? 'Left' : 'Right';
        for (let k = 0; k < Math.abs(shift); ++k) {
            host.type(way);
            await sleep(120);
        }
        await tap(page, shift < 0 ? left : right, Math.abs(shift));
        // S held for less than a piece's fall: the next one is not dropped too.
        await page.key('keyDown', 'KeyS', 's', 83);
        for (let k = 0; k < 14; ++k) {
            host.type('Down');
            await sleep(120);
            if (k === 8) await page.key('keyUp', 'KeyS', 's', 83);
        }
    }
    await sleep(500);
}

// The pictures asked for, [file, width, height] each.
function shotsOf(args) {
    const shots = [];
    for (const arg of args) {
        const size = /^(\d+)x(\d+)$/.exec(arg);
        if (size === null) shots.push([arg, 1000, 700]);
        else if (shots.length > 0) shots.at(-1).splice(1, 2, Number(size[1]), Number(size[2]));
    }
    if (shots.length === 0) throw new Error('usage: node shoot.js GAME CHROMIUM OUT.png [WIDTHxHEIGHT]...');
    return shots;
}

async function shoot(page, [out, width, height]) {
    const mobile = width < height;
    await page.send('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile });
    await page.send('Emulation.setTouchEmulationEnabled', { enabled: mobile });
    await sleep(300); // a frame or two, for the cells to fit the window
    const { data } = await page.send('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(out, Buffer.from(data, 'base64'));
}

async function main([game, program, ...args]) {
    const shots = shotsOf(args);
    const host = new HostPane(game, ['--code', '7K3M-Q9XD', '--player', 'Ada']);
    const browser = new Chromium(program);
    try {
        const link = await host.link();
        const page = await browser.open();
        await page.send('Page.navigate', { url: link });
        await page.until("document.readyState === 'complete' && document.getElementById('code').value !== ''");
        await page.evaluate("document.getElementById('playerName').value = 'Béla'; document.getElementById('play').click()");
        await host.until((s) => /Next:.*Next:/.test(s) && !/starts in/.test(s), 'the round under way');
        await play(host, page);
        if (/Game Over/.test(host.screen())) throw new Error('the round ended before the picture; run again');
        for (const shot of shots) await shoot(page, shot);
        host.type('Escape');
    } finally {
        await browser.close();
        host.close();
    }
}

main(process.argv.slice(2)).catch((e) => {
    console.error(e.message);
    process.exit(1);
});
