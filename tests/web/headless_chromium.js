// SPDX-License-Identifier: MIT
// Headless Chromium driven through its DevTools protocol over a pipe
// (--remote-debugging-pipe: JSON messages, each ended by a NUL byte, in on
// descriptor 3 and out on 4), so that the test needs no WebSocket client.
'use strict';
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

class Chromium {
    constructor(program) {
        this.profile = fs.mkdtempSync(path.join(os.tmpdir(), 'blockduel-chromium-'));
        this.process = spawn(
            program,
            ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--no-default-browser-check',
                '--disable-background-networking', '--disable-component-update', '--disable-sync',
                '--remote-debugging-pipe', `--user-data-dir=${this.profile}`, '--window-size=1000,800', 'about:blank'],
            { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] },
        );
        this.stderr = '';
        this.process.stdio[2].on('data', (d) => (this.stderr = (this.stderr + d).slice(-4000)));
        this.next = 1;
        this.pending = new Map();
        this.events = [];
        let unread = '';
        this.process.stdio[4].on('data', (data) => {
            unread += data.toString('utf8');
            let end;
            while ((end = unread.indexOf('\0')) >= 0) {
                this.dispatch(JSON.parse(unread.slice(0, end)));
                unread = unread.slice(end + 1);
            }
        });
        this.exited = new Promise((resolve) => this.process.on('exit', resolve));
    }

    dispatch(message) {
        if (message.id === undefined) return this.events.push(message);
        const waiting = this.pending.get(message.id);
        this.pending.delete(message.id);
        if (message.error) waiting.reject(new Error(`${waiting.method}: ${message.error.message}`));
        else waiting.resolve(message.result);
    }

    // One command, to the browser or in a tab's session.
    send(method, params = {}, sessionId = null) {
        const id = this.next++;
        const message = { id, method, params };
        if (sessionId) message.sessionId = sessionId;
        this.process.stdio[3].write(JSON.stringify(message) + '\0');
        return new Promise((resolve, reject) => {
            this.pending.set(id, { method, resolve, reject });
            setTimeout(() => reject(new Error(`${method} had no answer; chromium said: ${this.stderr}`)), 30000).unref();
        });
    }

    // A new tab, attached, with the domains the test listens to.
    async open() {
        const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
        const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
        const tab = new Tab(this, sessionId);
        for (const domain of ['Page', 'Runtime', 'Log', 'Network']) await tab.send(`${domain}.enable`);
        // Each tab keeps the keyboard as a window in front would, so that a
        // second tab does not make the first let its keys go.
        await tab.send('Emulation.setFocusEmulationEnabled', { enabled: true });
        return tab;
    }

    // The addresses the pages asked for (by Network.requestWillBeSent) or
    // opened a WebSocket to (Network.webSocketCreated), each once.
    addresses(method) {
        const urls = this.events.filter((e) => e.method === method).map((e) => e.params.request?.url ?? e.params.url);
        return [...new Set(urls)];
    }

    // What the pages threw or logged as errors, in any tab.
    complaints() {
        return this.events
            .filter((e) => e.method === 'Runtime.exceptionThrown' || (e.method === 'Log.entryAdded' && e.params.entry.level === 'error'))
            .map((e) => JSON.stringify(e.params));
    }

    // Asks the browser to close, as its own children then end with it; ends
    // it when it does not within ten seconds.
    async close() {
        const gone = (ms) => Promise.race([this.exited.then(() => true), new Promise((r) => setTimeout(r, ms, false))]);
        this.send('Browser.close').catch(() => {});
        if (!(await gone(10000))) {
            this.process.kill();
            await this.exited;
        }
        fs.rmSync(this.profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
    }
}

const usKeys = {
    KeyA: ['a', 65], KeyD: ['d', 68], KeyJ: ['j', 74], KeyP: ['p', 80], KeyS: ['s', 83], ArrowLeft: ['ArrowLeft', 37],
    ArrowRight: ['ArrowRight', 39], Enter: ['Enter', 13], Escape: ['Escape', 27],
};

// One tab of the browser: commands in its session.
class Tab {
    constructor(browser, sessionId) {
        Object.assign(this, { browser, sessionId });
    }

    send(method, params = {}) {
        return this.browser.send(method, params, this.sessionId);
    }

    // The value of an expression in the page.
    async evaluate(expression) {
        const { result, exceptionDetails } = await this.send('Runtime.evaluate', { expression, returnByValue: true });
        if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.text}`);
        return result.value;
    }

    // Waits until `check()` holds, looking every 50 ms; fails after `ms`
    // saying `failure`, or what the last look threw. A look that meets the
    // page as it goes away is tried again.
    async poll(check, failure, ms) {
        for (const deadline = Date.now() + ms; ; await new Promise((wake) => setTimeout(wake, 50))) {
            const failed = Date.now() > deadline;
            try {
                if (await check()) return;
            } catch (e) {
                if (failed) throw e;
            }
            if (failed) throw new Error(failure);
        }
    }

    // Waits until the expression is true in the page; fails after `ms`.
    until(expression, ms = 20000) {
        return this.poll(() => this.evaluate(expression), `the page never came to: ${expression}`, ms);
    }

    // Waits until the page's picture, as text, holds `holds`; fails after `ms`.
    // The failure shows the picture last seen.
    async untilRows(holds, what, ms = 20000) {
        let seen = '';
        const look = async () => holds((seen = (await this.rows()).join('\n')));
        await this.poll(look, `the page never showed ${what}`, ms).catch((e) => {
            throw new Error(`${e.message}; it showed:\n${seen}`);
        });
    }

    // A key where it sits on a US keyboard, down or up; the key and its
    // code from the table of the keys the tests use, unless given.
    key(type, code, key = usKeys[code][0], keyCode = usKeys[code][1]) {
        return this.send('Input.dispatchKeyEvent', { type, code, key, windowsVirtualKeyCode: keyCode });
    }

    async press(code) {
        await this.key('keyDown', code);
        await this.key('keyUp', code);
    }

    // Goes to `url` and waits for the page with `code` in its form (any
    // code when not given).
    async load(url, code) {
        await this.send('Page.navigate', { url });
        const filled = code === undefined ? "!== ''" : `=== '${code}'`;
        await this.until(`document.readyState === 'complete' && document.getElementById('code').value ${filled}`);
    }

    click(id) {
        return this.evaluate(`document.getElementById('${id}').click()`);
    }

    // Joins the game at `link` by the page's button for a seat, 'play' or
    // 'watch'.
    async join(link, button, code) {
        await this.load(link, code);
        await this.click(button);
        await this.until("document.getElementById('game').hidden === false");
    }

    // The text of the page's picture, row by row.
    rows() {
        return this.evaluate("[...document.querySelectorAll('#screen > div')].map((r) => r.textContent)");
    }
}

module.exports = { Chromium, Tab };
