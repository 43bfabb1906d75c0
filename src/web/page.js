// SPDX-License-Identifier: MIT
// The browser's guest: the game's own messages over one WebSocket, the
// picture painted cell for cell as a terminal guest shows it, and keys by
// where they sit, with presses and releases. The pure parts (messages,
// runs, glyphs, keys, codes) need no browser, so node's tests load this file
// as it is; the page itself starts only where there is a document.
'use strict';

const blockduel = (() => {
    // The protocol as this page speaks it.
    const protocolVersion = 8;
    const magic = [0x42, 0x4c, 0x4b, 0x44]; // "BLKD"
    const Type = { Hello: 1, Welcome: 2, Refused: 3, Ready: 4, Key: 5, KeepAlive: 6, Picture: 7, Delta: 8, End: 9, Result: 10, Kept: 11, Names: 12 };
    const Seat = { Player: 1, Watcher: 2 };
    const KeyKind = { Press: 1, Repeat: 2, Release: 3, ReleaseAll: 4 };
    const Action = { Turn: 1, Left: 2, Right: 3, Drop: 4, Escape: 5, Enter: 6, Pause: 7 };
    const kittyKeyMode = 1; // true presses and releases
    const maxHeaderSize = 3;
    const maxPayload = 8192;
    const keepAliveMs = 1000;
    const silenceLimitMs = 5000;
    const answerLimitMs = 5000; // as long as a terminal waits for Welcome
    const leaveGraceMs = 500; // as long as a terminal waits for the End after its Escape
    const maxLegendLength = 24;
    // A round's result: its size and the bounds of its fields.
    const resultSize = 33;
    const maxResultRound = 1000000;
    const maxResultScore = 1000000000;
    const maxResultLevel = 99;
    // The number a server's room keeps its match under, for its replay link.
    const keptSize = 4;
    const maxKeptNumber = 1000000000;
    // A player's name: at most so many characters, each at most four bytes.
    const maxPlayerNameLength = 16;
    const maxPlayerNameBytes = 4 * maxPlayerNameLength;
    const columns = 56;
    const rows = 21;
    const cells = columns * rows;
    const keepAttribute = 16;
    const textColor = 7; // the console's default attribute, the first run's
    const playPath = '/play';

    // What the host may send, and the bounds of each payload.
    const hostBounds = new Map([
        [Type.Welcome, [2, 2]],
        [Type.Refused, [1, 1]],
        [Type.KeepAlive, [0, 0]],
        [Type.Picture, [0, maxPayload]],
        [Type.Delta, [1, maxPayload]],
        [Type.End, [0, 0]],
        [Type.Result, [resultSize, resultSize]],
        [Type.Kept, [keptSize, keptSize]],
        [Type.Names, [2, 2 * (1 + maxPlayerNameBytes)]],
    ]);

    // A player's name, by the host's rule: null when `name` (a string) may
    // be one, else why not, as words that follow "the name". The empty name
    // is no name. The ranges are the host's, to the character.
    // prettier-ignore
    const unseen = [[0xa0, 0xa0], [0xad, 0xad], [0x34f, 0x34f], [0x61c, 0x61c], [0x115f, 0x1160], [0x1680, 0x1680],
        [0x17b4, 0x17b5], [0x180b, 0x180f], [0x2000, 0x200f], [0x2028, 0x202f], [0x205f, 0x206f], [0x3000, 0x3000],
        [0x3164, 0x3164], [0xfe00, 0xfe0f], [0xfeff, 0xfeff], [0xffa0, 0xffa0], [0xfff0, 0xffff], [0x1d173, 0x1d17a],
        [0xe0000, 0xe0fff]];
    // prettier-ignore
    const pictures = [[0x2500, 0x27bf], [0x2b00, 0x2bff], [0xe000, 0xf8ff], [0xfdd0, 0xfdef], [0x1f000, 0x1faff],
        [0x40000, 0xdffff], [0xf0000, 0x10ffff]];
    const marks = [[0x300, 0x36f], [0x1ab0, 0x1aff], [0x1dc0, 0x1dff], [0x20d0, 0x20ff], [0xfe20, 0xfe2f]];
    const within = (ranges, c) => ranges.some(([first, last]) => c >= first && c <= last);
    function characterFault(c) {
        if (c < 0x20 || (c >= 0x7f && c < 0xa0)) return 'has a control character';
        if ('<>&"\''.includes(String.fromCodePoint(c))) return 'has one of < > & " \'';
        if (within(unseen, c) || (c >= 0xd800 && c <= 0xdfff)) return 'has a character that is not seen, or that turns the text around';
        if (within(pictures, c) || (c & 0xfffe) === 0xfffe) return 'has a character that is no letter, digit or punctuation';
        return null;
    }
    function checkPlayerName(name) {
        const tooLong = `is longer than ${maxPlayerNameLength} characters`;
        if (new TextEncoder().encode(name).length > maxPlayerNameBytes) return tooLong;
        const chars = Array.from(name, (ch) => ch.codePointAt(0));
        const fault = chars.map(characterFault).find((f) => f !== null);
        if (fault !== undefined) return fault;
        if (chars.length > 0 && within(marks, chars[0])) return 'starts with a mark that belongs on a letter';
        if (chars.length > maxPlayerNameLength) return tooLong;
        if (name.startsWith(' ') || name.endsWith(' ') || name.includes('  ')) return 'starts or ends with a space, or has two together';
        return null;
    }
    // A name's bytes as the host sent them: the name, or '' for one that is no name.
    function nameOf(bytes) {
        try {
            const name = new TextDecoder('utf-8', { fatal: true, ignoreBOM: true }).decode(bytes);
            return checkPlayerName(name) === null ? name : '';
        } catch {
            return ''; // not UTF-8
        }
    }

    // A number of four bytes at `at` of `p`, most significant first.
    const number32 = (p, at) => ((p[at] << 24) >>> 0) + (p[at + 1] << 16) + (p[at + 2] << 8) + p[at + 3];

    // A Result's fields, as the host writes them (numbers of four bytes,
    // most significant first; boards as 0 for none, else 1 or 2); null
    // when one is out of its bounds.
    function readResult(p) {
        const number = (at) => number32(p, at);
        const board = (b) => (b <= 2 ? b - 1 : null);
        const r = {
            round: number(0),
            winner: board(p[4]),
            score: [number(5), number(13)],
            rows: [number(9), number(17)],
            frames: number(21),
            seconds: number(25),
            level: [p[29], p[30]],
            matchOver: p[31] === 1,
            champion: board(p[32]),
        };
        const fits =
            r.round >= 1 && r.round <= maxResultRound && r.winner !== null && r.champion !== null &&
            r.score.concat(r.rows).every((n) => n <= maxResultScore) &&
            r.level.every((n) => n <= maxResultLevel) && p[31] <= 1 && (r.matchOver || r.champion === -1);
        return fits ? r : null;
    }

    // One run of cells at `at` of `runs`, after a run in `attr`; null when
    // the bytes hold no whole run inside the picture.
    function nextRun(runs, at, attr) {
        if (runs.length - at < 2) return null;
        const head = (runs[at] << 8) | runs[at + 1];
        let next = at + 2;
        const first = head >> 5;
        const count = (head & (keepAttribute - 1)) + 1;
        let runAttr = attr;
        if ((head & keepAttribute) === 0) {
            if (next === runs.length) return null;
            runAttr = runs[next++];
        }
        if (first + count > cells || runs.length - next < count) return null;
        return { first, count, attr: runAttr, codes: next, next: next + count };
    }

    function validRuns(runs) {
        let at = 0;
        let attr = textColor;
        while (at < runs.length) {
            const run = nextRun(runs, at, attr);
            if (run === null) return false;
            at = run.next;
            attr = run.attr;
        }
        return true;
    }

    // The picture a guest keeps: a code and an attribute for each cell.
    function blankPicture() {
        return { codes: new Uint8Array(cells).fill(32), attrs: new Uint8Array(cells).fill(textColor) };
    }

    // Applies runs that validRuns() accepted; calls changed(index) for each
    // cell written.
    function applyRuns(runs, picture, changed) {
        let at = 0;
        let attr = textColor;
        while (at < runs.length) {
            const run = nextRun(runs, at, attr);
            for (let k = 0; k < run.count; ++k) {
                picture.codes[run.first + k] = runs[run.codes + k];
                picture.attrs[run.first + k] = run.attr;
                if (changed) changed(run.first + k);
            }
            at = run.next;
            attr = run.attr;
        }
    }

    // Reads what the host sends, in any pieces: bytes go in, checked messages
    // come out. The first thing wrong is kept, and then nothing more is read.
    class Decoder {
        constructor() {
            this.buffer = new Uint8Array(maxHeaderSize + maxPayload);
            this.error = null;
            this.restart();
        }

        restart() {
            this.have = 0;
            this.header = 0;
            this.length = -1;
        }

        fail(what) {
            if (this.error === null) this.error = what;
        }

        // Feeds `bytes` (a Uint8Array); calls onMessage for each message, or
        // only the first when `justOne`; returns how many bytes it took.
        feed(bytes, onMessage, justOne = false) {
            let used = 0;
            while (used < bytes.length && this.error === null) {
                if (this.length < 0) {
                    this.buffer[this.have++] = bytes[used++];
                    this.readHeader();
                } else {
                    const take = Math.min(this.header + this.length - this.have, bytes.length - used);
                    this.buffer.set(bytes.subarray(used, used + take), this.have);
                    this.have += take;
                    used += take;
                }
                if (this.length >= 0 && this.have === this.header + this.length && this.error === null) {
                    const message = this.finish();
                    this.restart();
                    if (message !== null) onMessage(message);
                    if (message !== null && justOne) break;
                }
            }
            return used;
        }

        // The type, then a length of one byte below 128 or two above, in its
        // shortest form only.
        readHeader() {
            const b = this.buffer;
            if (this.have === 1) {
                if (b[0] < Type.Hello || b[0] > Type.Names) this.fail('unknown message type');
                else if (!hostBounds.has(b[0])) this.fail('a message this side does not take');
            } else if (this.have === 2 && b[1] < 0x80) {
                this.checkLength(b[1]);
            } else if (this.have === 3) {
                const length = ((b[1] & 0x7f) << 7) | b[2];
                if (b[2] >= 0x80) this.fail('a length of more than two bytes');
                else if (length < 0x80) this.fail('a length not in its shortest form');
                else this.checkLength(length);
            }
        }

        checkLength(length) {
            const [least, most] = hostBounds.get(this.buffer[0]);
            if (length < least || length > most) return this.fail('a message of the wrong length');
            this.header = this.have;
            this.length = length;
        }

        finish() {
            const type = this.buffer[0];
            const p = this.buffer.slice(this.header, this.header + this.length);
            const message = { type };
            if (type === Type.Welcome) {
                message.version = p[0];
                message.seat = p[1];
                if (p[0] !== protocolVersion) this.fail('a welcome of another version');
                else if (p[1] !== Seat.Player && p[1] !== Seat.Watcher) this.fail('a welcome to no seat');
            } else if (type === Type.Refused) {
                message.refusal = p[0];
            } else if (type === Type.Picture || type === Type.Delta) {
                message.runs = p;
                if (!validRuns(p)) this.fail('runs of cells outside the picture');
            } else if (type === Type.Result) {
                message.result = readResult(p);
                if (message.result === null) this.fail("a round's result out of bounds");
            } else if (type === Type.Kept) {
                message.kept = number32(p, 0);
                if (message.kept < 1 || message.kept > maxKeptNumber) this.fail("a kept match's number out of bounds");
            } else if (type === Type.Names) {
                const first = p[0];
                const second = p[1 + first];
                if (first > maxPlayerNameBytes || second > maxPlayerNameBytes || 2 + first + second !== p.length) this.fail('names that do not fit their message');
                else message.names = [nameOf(p.subarray(1, 1 + first)), nameOf(p.subarray(2 + first))];
            }
            return this.error === null ? message : null;
        }
    }

    // Messages this page sends, whole.
    function message(type, payload) {
        const head = payload.length >= 128 ? [type, 0x80 | (payload.length >> 7), payload.length & 0x7f] : [type, payload.length];
        return Uint8Array.from(head.concat(payload));
    }
    // The name is cut at maxPlayerNameBytes, as the terminal's is.
    function encodeHello(seat, symbols, name = '') {
        const named = Array.from(new TextEncoder().encode(name).subarray(0, maxPlayerNameBytes));
        return message(Type.Hello, magic.concat([protocolVersion, seat], Array.from(symbols, (c) => c.charCodeAt(0)), [named.length], named));
    }
    const encodeReady = (text) =>
        message(Type.Ready, [kittyKeyMode].concat(Array.from(text.slice(0, maxLegendLength), (c) => c.charCodeAt(0))));
    const encodeKey = (kind, action) => message(Type.Key, [kind, action]);
    const encodeKeepAlive = () => message(Type.KeepAlive, []);

    // The join code as a person types it: eight symbols of Crockford's
    // base32 in either case, I and L for 1, O for 0, separators ignored.
    const alphabet = '0123456789ABCDEFGHJKMNPQRSTVWXYZ';
    const codeLength = 8;
    function parseJoinCode(text) {
        let symbols = '';
        for (const raw of text) {
            if ('-. _'.includes(raw)) continue;
            if (raw > '\x7f') return null; // no letter of another script stands for one of these
            let c = raw.toUpperCase();
            c = c === 'O' ? '0' : c === 'I' || c === 'L' ? '1' : c;
            if (!alphabet.includes(c) || symbols.length === codeLength) return null;
            symbols += c;
        }
        return symbols.length === codeLength ? symbols : null;
    }
    const formatJoinCode = (symbols) => symbols.slice(0, 4) + '-' + symbols.slice(4);
    // Symbols drawn from `randomBytes` (crypto.getRandomValues): 32 of
    // them, so each byte's low five bits pick one without bias.
    const drawn = (letters, count, randomBytes) =>
        Array.from(randomBytes(new Uint8Array(count)), (b) => letters[b & 31]).join('');
    // A room's name and its code, chosen by the page that opens it, so that
    // a balancer can route the room by its name before any server has it.
    const roomLetters = 'abcdefghijkmnpqrstuvwxyz23456789';
    const randomRoomName = (randomBytes) => drawn(roomLetters, 12, randomBytes);
    const randomJoinCode = (randomBytes) => drawn(alphabet, codeLength, randomBytes);
    // The game's WebSocket: a room's under its path (/r/ROOM/play, with the
    // link's query, which says what a new room plays), a host's at /play.
    const playPathOf = (pathname, search) =>
        pathname.startsWith('/r/') ? pathname.replace(/\/$/, '') + playPath + search : playPath;

    // The host's reasons, in the terminal's words.
    function refusalText(reason, symbols) {
        switch (reason) {
            case 1:
                return `the host refused the code ${formatJoinCode(symbols)}; check the code the host's screen shows`;
            case 2:
                return 'player two is already playing that game; to see it, choose Watch';
            case 3:
                return 'that game has as many watchers as it takes';
            case 4:
                return 'the host runs another version of blockduel, and the two cannot play together; both need the same version';
            case 5:
                return `the host refused the name: a name is at most ${maxPlayerNameLength} letters, digits, spaces and punctuation, without < > & " '`;
        }
        return 'the host refused to let this game in';
    }

    // The console's code page as the terminal shows it: 0 a space, 1..31
    // and 127 its pictures, 128..255 its letters, box drawing and blocks.
    // prettier-ignore
    const lowPictures = [
        0x0020, 0x263a, 0x263b, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25d8, 0x25cb, 0x25d9, 0x2642, 0x2640, 0x266a, 0x266b, 0x263c,
        0x25ba, 0x25c4, 0x2195, 0x203c, 0x00b6, 0x00a7, 0x25ac, 0x21a8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221f, 0x2194, 0x25b2, 0x25bc];
    // prettier-ignore
    const upperHalf = [
        0x00c7, 0x00fc, 0x00e9, 0x00e2, 0x00e4, 0x00e0, 0x00e5, 0x00e7, 0x00ea, 0x00eb, 0x00e8, 0x00ef, 0x00ee, 0x00ec, 0x00c4, 0x00c5,
        0x00c9, 0x00e6, 0x00c6, 0x00f4, 0x00f6, 0x00f2, 0x00fb, 0x00f9, 0x00ff, 0x00d6, 0x00dc, 0x00a2, 0x00a3, 0x00a5, 0x20a7, 0x0192,
        0x00e1, 0x00ed, 0x00f3, 0x00fa, 0x00f1, 0x00d1, 0x00aa, 0x00ba, 0x00bf, 0x2310, 0x00ac, 0x00bd, 0x00bc, 0x00a1, 0x00ab, 0x00bb,
        0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255d, 0x255c, 0x255b, 0x2510,
        0x2514, 0x2534, 0x252c, 0x251c, 0x2500, 0x253c, 0x255e, 0x255f, 0x255a, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256c, 0x2567,
        0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256b, 0x256a, 0x2518, 0x250c, 0x2588, 0x2584, 0x258c, 0x2590, 0x2580,
        0x03b1, 0x00df, 0x0393, 0x03c0, 0x03a3, 0x03c3, 0x00b5, 0x03c4, 0x03a6, 0x0398, 0x03a9, 0x03b4, 0x221e, 0x03c6, 0x03b5, 0x2229,
        0x2261, 0x00b1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00f7, 0x2248, 0x00b0, 0x2219, 0x00b7, 0x221a, 0x207f, 0x00b2, 0x25a0, 0x00a0];
    function glyphOf(code) {
        if (code < 32) return String.fromCodePoint(lowPictures[code]);
        if (code === 127) return '\u2302';
        return code < 128 ? String.fromCharCode(code) : String.fromCodePoint(upperHalf[code - 128]);
    }
    const fullBlock = 219; // drawn as its cell's colour, so that blocks meet

    // A cell's classes: its foreground and background console colours.
    const cellClass = (code, attr) => `f${attr & 15} b${attr >> 4}` + (code === fullBlock ? ' k' : '');

    // The keys no choice changes: Enter, Escape and P as a terminal's, and
    // the touch buttons, keys of their own (the pads' follow below).
    const fixedActions = Object.assign(Object.create(null), {
        Enter: Action.Enter, NumpadEnter: Action.Enter, Escape: Action.Escape, KeyP: Action.Pause,
        touchTurn: Action.Turn, touchLeft: Action.Left, touchRight: Action.Right, touchDrop: Action.Drop,
        touchEnter: Action.Enter, touchPause: Action.Pause, touchLeave: Action.Escape,
    });

    // Keys by where they sit, through `actions` (code to action, as
    // KeyChoice gives them). An action is held while any of its keys is,
    // and let go with the last; a held key keeps the action it pressed, so
    // that a choice made meanwhile lets go what was pressed.
    class Keys {
        constructor(actions = keyActions) {
            this.actions = actions;
            this.held = new Map(); // code, to the action it pressed
        }

        holds(action) {
            for (const held of this.held.values()) if (held === action) return true;
            return false;
        }

        // The key events, [kind, action], that a key's press makes.
        down(code, repeat) {
            const action = this.held.get(code) ?? this.actions[code];
            if (action === undefined) return [];
            const was = this.holds(action);
            this.held.set(code, action);
            if (!was) return [[KeyKind.Press, action]];
            return repeat ? [[KeyKind.Repeat, action]] : [];
        }

        up(code) {
            const action = this.held.get(code);
            if (!this.held.delete(code) || this.holds(action)) return [];
            return [[KeyKind.Release, action]];
        }

        releaseAll() {
            if (this.held.size === 0) return [];
            this.held.clear();
            return [[KeyKind.ReleaseAll, 0]];
        }
    }

    // Gamepads, read each frame: a pad's actions are keys of their own
    // ("pad2:3", pad 2's Right), so that pads and keys mix. B leaves once
    // held a second, so that no grip presses it by chance.
    const padButtons = { 0: Action.Turn, 8: Action.Pause, 9: Action.Enter, 13: Action.Drop, 14: Action.Left, 15: Action.Right };
    const padLeaveMs = 1000;
    const padDeadZone = 0.5;
    const maxPads = 8;
    const padCode = (i, action) => `pad${i}:${action}`;
    for (let i = 0; i < maxPads; ++i) for (const a of Object.values(Action)) fixedActions[padCode(i, a)] = a;

    // What the pads press and release, [down, code, seat]: one seat takes
    // every pad; of two, the first pad pressed the first, the next the second.
    class Gamepads {
        constructor(seats) {
            Object.assign(this, { seats, seatOf: new Map(), held: new Map(), since: new Map() });
        }

        // A look at navigator.getGamepads(): a pad gone lets go of all it held.
        read(list, ms) {
            const now = new Map();
            const since = new Map(); // when each pad's B went down
            for (const pad of Array.from(list ?? [])) {
                const i = pad?.index;
                if (!(i >= 0 && i < maxPads)) continue;
                const on = (n) => pad.buttons?.[n]?.pressed;
                const [x, y] = [0, 1].map((n) => Number(pad.axes?.[n]) || 0);
                const actions = Object.keys(padButtons).filter(on).map((n) => padButtons[n]);
                for (const [v, a] of [[-x, Action.Left], [x, Action.Right], [y, Action.Drop]]) if (v > padDeadZone) actions.push(a);
                if (on(1) && ms - since.set(i, this.since.get(i) ?? ms).get(i) >= padLeaveMs) actions.push(Action.Escape);
                if (actions.length && this.seatOf.size < this.seats && !this.seatOf.has(i)) this.seatOf.set(i, this.seatOf.size);
                const seat = this.seats > 1 ? this.seatOf.get(i) : 0;
                if (seat !== undefined) for (const a of actions) now.set(padCode(i, a), seat);
            }
            this.since = since;
            return this.change(now);
        }

        drop(i) {
            this.since.delete(i);
            return this.change(new Map([...this.held].filter(([code]) => !code.startsWith(padCode(i, '')))));
        }

        change(now) {
            const events = [];
            for (const [code, seat] of this.held) if (!now.has(code)) events.push([false, code, seat]);
            for (const [code, seat] of now) if (!this.held.has(code)) events.push([true, code, seat]);
            this.held = now;
            return events;
        }
    }

    // Keys of one's own: each seat's turn, left, right and drop by where
    // the key sits (KeyboardEvent.code), among the keys a terminal's --keys
    // names, each shown under the board as one of the picture's codes (the
    // arrows' 24 up, 25 down, 26 right, 27 left). Alone at the page a
    // person plays with both sets; at "Two players here" the first plays
    // the left board and the second the right. The replay's keys need no
    // place here: a replay plays no moves.
    const moves = [Action.Turn, Action.Left, Action.Right, Action.Drop];
    const moveVerbs = ['turns', 'moves left', 'moves right', 'drops'];
    const moveNames = ['Turn', 'Left', 'Right', 'Drop'];
    const playerNames = ['Player one', 'Player two'];
    const defaultKeys = [['KeyW', 'KeyA', 'KeyD', 'KeyS'], ['ArrowUp', 'ArrowLeft', 'ArrowRight', 'ArrowDown']];
    const defaultWords = ['W A S D', 'the arrows'];
    const keyLabels = new Map([
        ...[...'ABCDEFGHIJKLMNOPQRSTUVWXYZ'].map((c) => [`Key${c}`, [c, c]]),
        ...[...'0123456789'].map((c) => [`Digit${c}`, [c, c]]),
        ['ArrowUp', ['\x18', '\u2191']], ['ArrowDown', ['\x19', '\u2193']], ['ArrowRight', ['\x1a', '\u2192']], ['ArrowLeft', ['\x1b', '\u2190']],
        ...Object.entries({ Comma: ',', Period: '.', Slash: '/', Semicolon: ';', Quote: "'", BracketLeft: '[', BracketRight: ']', Minus: '-', Equal: '=' })
            .map(([code, c]) => [code, [c, c]]),
    ]);
    const reservedKeys = new Map([
        ['Enter', 'Enter starts the next round'], ['NumpadEnter', 'Enter starts the next round'], ['Escape', 'Escape leaves the game'],
        ['KeyP', 'P pauses'], ['Tab', "Tab moves between the page's buttons"],
    ]);
    const maxKeptKeys = 256; // stored text longer than this is no choice this page made

    class KeyChoice {
        constructor(sets = defaultKeys) {
            this.sets = sets.map((codes) => [...codes]);
        }

        // Stored choices, untrusted: a slot that names no choosable key, or
        // a key another slot names too, takes its default; the defaults
        // whole for anything else, or when a default would then clash.
        static read(text) {
            let sets = null;
            try {
                if (typeof text === 'string' && text.length <= maxKeptKeys) sets = JSON.parse(text);
            } catch {
                // no JSON: the defaults
            }
            if (!Array.isArray(sets) || sets.length !== 2 || !sets.every((codes) => Array.isArray(codes) && codes.length === 4)) return new KeyChoice();
            const codes = sets.flat();
            const fine = (c) => keyLabels.has(c) && !reservedKeys.has(c) && codes.indexOf(c) === codes.lastIndexOf(c);
            const chosen = codes.map((c, i) => (fine(c) ? c : defaultKeys[i >> 2][i & 3]));
            if (new Set(chosen).size !== chosen.length) return new KeyChoice();
            return new KeyChoice([chosen.slice(0, 4), chosen.slice(4)]);
        }

        text() {
            return JSON.stringify(this.sets);
        }

        // The seat whose move `code` is, or -1.
        seatOf(code) {
            return this.sets.findIndex((codes) => codes.includes(code));
        }

        // Why `code` cannot be move `move` (0 to 3) of `seat`, in words, or null.
        refusal(seat, move, code) {
            if (reservedKeys.has(code)) return `${reservedKeys.get(code)}, so it cannot be chosen`;
            if (!keyLabels.has(code)) return "only letters, digits, the arrows and , . / ; ' [ ] - = can be chosen";
            const s = this.seatOf(code);
            const m = s < 0 ? -1 : this.sets[s].indexOf(code);
            if (s >= 0 && (s !== seat || m !== move)) return `${this.shown(code)} already ${moveVerbs[m]} for ${playerNames[s].toLowerCase()}`;
            return null;
        }

        // Chooses `code` for the move, unless refused: the refusal, or null.
        choose(seat, move, code) {
            const why = this.refusal(seat, move, code);
            if (why === null) this.sets[seat][move] = code;
            return why;
        }

        // Code to action, for Keys: the chosen moves, and the keys no choice changes.
        actions() {
            const actions = Object.assign(Object.create(null), fixedActions);
            for (const codes of this.sets) codes.forEach((code, m) => (actions[code] = moves[m]));
            return actions;
        }

        shown(code) {
            return keyLabels.get(code)[1];
        }

        // A seat's keys as the board's legend draws them; without a seat,
        // both, as one person alone at the page plays them.
        legend(seat = null) {
            if (seat === null) return `${this.legend(1)} or ${this.legend(0)}`;
            return this.sets[seat].map((code) => keyLabels.get(code)[0]).join(' ');
        }

        // A seat's keys in the page's words: the defaults as people name them.
        words(seat) {
            if (this.sets[seat].every((code, m) => code === defaultKeys[seat][m])) return defaultWords[seat];
            return this.sets[seat].map((code) => this.shown(code)).join(' ');
        }
    }
    const keyActions = new KeyChoice().actions();
    // The legend of the keys as they are until chosen.
    const legend = new KeyChoice().legend();

    // One connection's game, without the socket or the clock: bytes and the
    // time go in; what to send, the cells to paint and how it ended come out
    // through the callbacks of `to`: send(bytes), welcomed(), picture() (a
    // whole new picture), paint(index) and stop(why, beforeWelcome), called
    // once, after which the session shows nothing more; `to.legend`, when
    // given, is the player's keys as its board's legend shows them, and
    // `to.actions` the keys' actions (the defaults' when not). Optional:
    // close(), when the connection may go, and kept(number), when a server's
    // room says the number it keeps the match under, heard(message),
    // after each Picture, Delta and Result, and names([one, two]), when the
    // host says whose boards they are ('' for none). `to.name`, when given,
    // is this player's name, checked already.
    class Session {
        constructor(seat, symbols, nowMs, to) {
            Object.assign(this, { seat, symbols, to, startedMs: nowMs, heardMs: nowMs, sentMs: nowMs });
            this.decoder = new Decoder();
            this.keys = new Keys(to.actions);
            this.state = 'greeting'; // then 'playing', then 'over'
            this.picture = null; // none until the first Picture
            this.result = null; // the last round's result, once one has ended
            this.kept = null; // the match's number in its room, once the room says
            this.names = ['', '']; // each board's player, as the host last said
            this.leftMs = null; // when this page pressed Escape
            this.hungUp = false;
        }

        send(bytes, nowMs) {
            if (this.state === 'over') return;
            this.sentMs = nowMs;
            this.to.send(bytes);
        }

        stop(why) {
            if (this.state === 'over') return;
            const before = this.state === 'greeting';
            this.state = 'over';
            this.to.stop(why, before);
            if (this.leftMs === null) this.hangUp();
        }

        hangUp() {
            if (this.hungUp) return;
            this.hungUp = true;
            if (this.to.close) this.to.close();
        }

        keep(number) {
            this.kept = number;
            if (this.to.kept) this.to.kept(number);
        }

        // After Escape the page has left, but it hears the host out a
        // moment: a room's match ends with the page's leaving, and its
        // number comes just before the End.
        hearOut(bytes) {
            if (this.hungUp) return;
            this.decoder.feed(bytes, (m) => (m.type === Type.Kept ? this.keep(m.kept) : m.type === Type.End && this.hangUp()));
            if (this.decoder.error !== null) this.hangUp();
        }

        opened(nowMs) {
            this.send(encodeHello(this.seat, this.symbols, this.to.name ?? ''), nowMs);
        }

        closed() {
            if (this.state === 'over') return this.hangUp();
            this.stop(this.state === 'greeting' ? 'the host closed the connection without an answer; when it is busy turning strangers away, try again' : 'the host closed the connection');
        }

        receive(bytes, nowMs) {
            if (this.state === 'over') return this.hearOut(bytes);
            this.heardMs = nowMs;
            this.decoder.feed(bytes, (m) => this.handle(m, nowMs));
            if (this.decoder.error !== null) this.stop(`the host sent something this page cannot read: ${this.decoder.error}`);
        }

        handle(m, nowMs) {
            if (this.state === 'greeting') {
                if (m.type === Type.Welcome && m.seat === this.seat) return this.welcome(nowMs);
                if (m.type === Type.Refused) {
                    this.refusal = m.refusal;
                    return this.stop(`refused: ${refusalText(m.refusal, this.symbols)}`);
                }
                if (m.type !== Type.KeepAlive) this.stop('that address is not a blockduel game');
                return;
            }
            if (this.state !== 'playing') return;
            if (m.type === Type.Picture) {
                this.picture = blankPicture();
                this.to.picture();
            }
            if (m.type === Type.Picture || m.type === Type.Delta) {
                if (this.picture === null) return this.stop('the host sent changes before a picture');
                applyRuns(m.runs, this.picture, this.to.paint);
                return this.to.heard?.(m);
            }
            if (m.type === Type.End) return this.stop('the game is over');
            // The picture says how the round ended; the page keeps the last
            // result for whoever asks, and only tells it (heard).
            if (m.type === Type.Result) {
                this.result = m.result;
                return this.to.heard?.(m);
            }
            if (m.type === Type.Kept) return this.keep(m.kept);
            if (m.type === Type.Names) {
                this.names = m.names;
                return this.to.names?.(m.names);
            }
            if (m.type !== Type.KeepAlive) this.stop('the host sent a message out of turn');
        }

        welcome(nowMs) {
            this.state = 'playing';
            this.send(encodeReady(this.to.legend ?? legend), nowMs);
            this.to.welcomed();
        }

        // Keep-alives, and the host's silence.
        tick(nowMs) {
            if (this.state === 'over') return this.leftMs !== null && nowMs - this.leftMs >= leaveGraceMs && this.hangUp();
            if (this.state === 'greeting' && nowMs - this.startedMs >= answerLimitMs) return this.stop('the host did not answer in 5 seconds');
            if (nowMs - this.heardMs >= silenceLimitMs) return this.stop('the host has not been heard from for 5 seconds');
            if (this.state === 'playing' && nowMs - this.sentMs >= keepAliveMs) this.send(encodeKeepAlive(), nowMs);
        }

        // A player's key events go to the host as they come; a watcher's stay.
        sendKeys(events, nowMs) {
            if (this.state !== 'playing' || this.seat !== Seat.Player) return;
            for (const [kind, action] of events) this.send(encodeKey(kind, action), nowMs);
        }
        down(code, repeat, nowMs) {
            if (this.keys.actions[code] === Action.Escape) return this.leave(nowMs);
            this.sendKeys(this.keys.down(code, repeat), nowMs);
        }
        up(code, nowMs) {
            this.sendKeys(this.keys.up(code), nowMs);
        }
        releaseAll(nowMs) {
            this.sendKeys(this.keys.releaseAll(), nowMs);
        }

        // Escape: a player's goes to the host, as a terminal's does; then
        // the page leaves at once, and hangs up after the host's End or a
        // moment without it.
        leave(nowMs) {
            this.sendKeys([[KeyKind.Press, Action.Escape]], nowMs);
            if (this.state === 'playing') this.leftMs = nowMs;
            this.stop('you left the game');
        }
    }

    // What a change of the picture means, from where the host draws each
    // board's score (only a cleared row scores: its cells), its well, the
    // countdown, and "You" on the viewer's board.
    const walls = [0, 30];
    const rowScore = 18; // a row's points
    const wellWidth = 18; // a well's columns of the picture, two to a cell
    const pieceCells = 4;
    const textAt = (p, x, y, n) => String.fromCharCode(...p.codes.subarray(y * columns + x, y * columns + x + n));
    const youOf = (p) => walls.findIndex((x) => textAt(p, x + 21, 8, 3) === 'You');
    const filledOf = (p, x) => Array.from({ length: 13 }, (_, y) => textAt(p, x + 1, y, wellWidth).replaceAll(' ', '')).join('').length;

    // A connection's news, look by look: events count (n), start (round),
    // lock, clear (rows) and penalty of a board. A locked piece shows once
    // the next one's cells join it; a clear sends the other a penalty cell.
    class News {
        scores = [null, null];
        settled = [null, null]; // each well's cells but its falling piece's
        count = null;

        look(p) {
            const events = [];
            const count = /^Round (\d+) starts in (\d+)/.exec(textAt(p, 0, 17, columns));
            if (count && count[2] !== this.count?.[2]) events.push({ kind: 'count', n: Number(count[2]) });
            if (!count && this.count) events.push({ kind: 'start', round: Number(this.count[1]) });
            this.count = count;
            walls.forEach((x, board) => {
                const score = /^Score: (\d{1,10})/.exec(textAt(p, x, 15, 20))?.[1] ?? null;
                const rows = Math.floor((score - this.scores[board]) / rowScore);
                if (this.scores[board] !== null && score !== null && rows > 0) {
                    events.push({ kind: 'clear', board, rows }, { kind: 'penalty', board: 1 - board });
                    this.settled[board] = Math.max(this.settled[board] - rows * wellWidth, 0);
                    this.settled[1 - board] += 1;
                }
                this.scores[board] = score;
            });
            walls.forEach((x, board) => {
                const cells = filledOf(p, x);
                if (count || this.settled[board] === null) this.settled[board] = Math.max(cells - (count ? 0 : pieceCells), 0);
                else if (cells - this.settled[board] > pieceCells && (this.settled[board] += pieceCells)) events.push({ kind: 'lock', board });
            });
            return events;
        }
    }

    // An event (or a result) told to a screen reader, and its sound, by the
    // board `you` play (-1 watching): a watcher hears both boards by number.
    function newsLine(e, you) {
        const yours = e.board === you;
        if (e.kind === 'start') return `Round ${e.round} has begun.`;
        if (e.winner < 0) return `Round ${e.round} ended with no winner.`;
        if (e.winner >= 0) return `${you < 0 ? playerNames[e.winner] : 'You'} ${you < 0 || e.winner === you ? 'won' : 'lost'} round ${e.round}.`;
        if (you >= 0 && !yours) return null;
        if (e.kind === 'clear') return `${yours ? 'You' : playerNames[e.board]} cleared ${e.rows} row${e.rows > 1 ? 's' : ''}.`;
        return e.kind === 'penalty' ? `A penalty cell came onto ${yours ? 'your' : `${playerNames[e.board].toLowerCase()}'s`} board.` : null;
    }
    function soundOf(e, you) {
        if (e.kind === 'count' || e.kind === 'start') return e.kind;
        if (e.winner !== undefined) return you < 0 ? null : e.winner === you ? 'won' : 'lost';
        return e.board === you || (you < 0 && e.kind === 'clear') ? e.kind : null;
    }
    // Each sound's notes in turn: [hertz, milliseconds, wave].
    // prettier-ignore
    const tones = {
        lock: [[196, 40, 'triangle']], clear: [[523, 70], [659, 70], [784, 110]], penalty: [[147, 140, 'sawtooth']],
        count: [[440, 90]], start: [[880, 180]], won: [[523, 110], [659, 110], [1047, 260]], lost: [[392, 160], [262, 320]],
    };

    // A kept match, as the game writes its recordings: records of two bytes
    // of magic, a kind, the payload's length as a number (below), the
    // payload, and the CRC-32 of kind, length and payload, four bytes low
    // first. The Heard records hold what the host sent: entries of the
    // milliseconds since the one before, then the message as it came.
    const recordMagic = [0xb1, 0xd7];
    const RecordKind = { Header: 1, Heard: 5 };
    const maxRecordPayload = 64 * 1024;
    const maxFileBytes = 32 * 1024 * 1024; // nothing the game writes comes near
    // The game's own bounds: records a week of play stays below, the
    // longest wait between two messages, and the messages that may come at
    // once beyond one a millisecond of the waits (what a host can queue).
    const recordingRecords = 1 << 18;
    const maxHeardGapMs = 3600000;
    const heardAtOnce = Math.floor((1 << 20) / 3);
    const heardTypes = new Set([Type.Picture, Type.Delta, Type.End, Type.Result]);
    const maxNumberBytes = 5; // 35 bits: past every bound a number here has
    const short = 'short';
    const damaged = 'damaged';

    // A number of seven bits a byte, low first, the top bit on all but the
    // last, at `at` of `bytes`: { value, next }, with next 0 when the bytes
    // end first, -1 when it is over `limit` or not in its shortest form.
    function readNumber(bytes, at, limit) {
        let value = 0;
        for (let i = 0; i < maxNumberBytes; ++i) {
            if (at + i === bytes.length) return { value, next: 0 };
            const b = bytes[at + i];
            value += (b & 0x7f) * 2 ** (7 * i);
            if (value > limit) break;
            if (b < 0x80) return { value, next: b === 0 && i > 0 ? -1 : at + i + 1 };
        }
        return { value, next: -1 };
    }

    let crcTable = null;
    function crc32(bytes, from, to) {
        crcTable ??= Int32Array.from({ length: 256 }, (_, n) => {
            for (let k = 0; k < 8; ++k) n = n & 1 ? 0xedb88320 ^ (n >>> 1) : n >>> 1;
            return n;
        });
        let c = -1;
        for (let i = from; i < to; ++i) c = crcTable[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
        return (c ^ -1) >>> 0;
    }
    const little32 = (b, at) => (b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (b[at + 3] << 24)) >>> 0;

    // The record at `at`: { kind, payload, next }, or short (it runs past
    // the end) or damaged. `read.checkable` (a RecordingReader's) is what
    // checksums may still cover, so that a file of stretches that each seem
    // to begin a long record is given up rather than checked for minutes.
    function recordAt(bytes, at, read) {
        if (bytes[at] !== recordMagic[0]) return damaged;
        if (at + 1 === bytes.length) return short;
        if (bytes[at + 1] !== recordMagic[1]) return damaged;
        if (at + 2 === bytes.length) return short;
        const length = readNumber(bytes, at + 3, maxRecordPayload);
        if (length.next <= 0) return length.next === 0 ? short : damaged;
        const end = length.next + length.value;
        if (end + 4 > bytes.length) return short;
        read.checkable -= end - at;
        if (read.checkable < 0 || crc32(bytes, at + 2, end) !== little32(bytes, end)) return damaged;
        return { kind: bytes[at + 2], payload: bytes.subarray(length.next, end), next: end + 4 };
    }

    // The entries of Heard stretches, each message read as the live
    // decoder reads it; a stretch that does not hold together ends them.
    class HeardReader {
        constructor() {
            this.decoder = new Decoder();
            this.entries = [];
            this.waitedMs = 0;
        }

        // False when `stretch` does not hold together, or brings more
        // messages than its waits allow.
        add(stretch) {
            const before = this.entries.length;
            for (let at = 0; at < stretch.length; ) {
                const wait = readNumber(stretch, at, maxHeardGapMs);
                let message = null;
                if (wait.next > 0) at = wait.next + this.decoder.feed(stretch.subarray(wait.next), (m) => (message = m), true);
                this.waitedMs += wait.value;
                const fits = message !== null && heardTypes.has(message.type);
                if (!fits || this.entries.push({ afterMs: wait.value, message }) > this.waitedMs + heardAtOnce) {
                    this.entries.length = before; // nothing of a stretch that does not read
                    return false;
                }
            }
            return true;
        }
    }

    // A recording's bytes, read as the game reads a network guest's, a
    // slice at a time (so that a large file leaves the page time to paint
    // and breathe): every whole record, a stretch that does not hold
    // together skipped up to the next record that does, which makes the
    // file damaged, or cut short when it seemed to begin a record and no
    // whole one follows.
    class RecordingReader {
        constructor(bytes) {
            this.bytes = bytes.subarray(0, maxFileBytes);
            this.at = 0;
            this.skipped = 0; // bytes passed over since the last whole record
            this.shortAt = false; // the first of them began what seemed a record
            this.checkable = 2 * this.bytes.length;
            this.records = 0;
            this.firstKind = null;
            this.heard = new HeardReader();
            this.damaged = false;
            this.tooMany = false;
            this.broken = false; // a stretch that does not read: the rest is not read
        }

        get done() {
            return this.at >= this.bytes.length || this.checkable < 0 || this.tooMany || this.broken;
        }

        // Reads on over about `slice` bytes; what readRecording says once
        // done, else null.
        step(slice) {
            for (const end = this.at + slice; this.at < end && !this.done; ) this.next();
            return this.done ? this.result() : null;
        }

        next() {
            const found = recordAt(this.bytes, this.at, this);
            if (found === short || found === damaged) {
                if (this.skipped++ === 0) this.shortAt = found === short;
                ++this.at;
                return;
            }
            if (this.records === recordingRecords) return (this.tooMany = true);
            this.damaged ||= this.skipped > 0;
            this.skipped = 0;
            if (this.records++ === 0) this.firstKind = found.kind;
            this.broken = found.kind === RecordKind.Heard && !this.heard.add(found.payload);
            this.at = found.next;
        }

        result() {
            const given = this.checkable < 0; // given up, as damaged
            const cutShort = !given && this.skipped > 0 && this.shortAt;
            const lost = given || this.broken || this.damaged || (this.skipped > 0 && !this.shortAt);
            const read = { entries: this.heard.entries, cutShort, damaged: lost, problem: null };
            if (this.firstKind !== RecordKind.Header) read.problem = 'it is not a recording of a match, or its start is damaged';
            else if (this.tooMany) read.problem = 'it holds more records than any match could';
            else if (read.damaged) read.problem = 'what the host sent is damaged in it, so its pictures cannot be shown';
            else if (read.entries.length === 0) read.problem = 'it holds no pictures yet';
            return read;
        }
    }

    // A recording read whole: { entries, cutShort, damaged, problem },
    // `problem` saying why it cannot be played (a picture after a stretch
    // that was lost would be wrong), or null.
    const readRecording = (bytes) => new RecordingReader(bytes).step(Infinity);

    // A replay's speeds, in quarters of the match's own pace.
    const slowestQuarters = 1;
    const normalQuarters = 4;
    const fastestQuarters = 32;
    const speedText = (q) => (q >= normalQuarters ? `${q / normalQuarters}x` : `1/${normalQuarters / q}x`);
    // A tick shows no more messages than this, so that however many come
    // at once the tab paints and reads its keys between them.
    const replayBatch = 64;
    // A tick counts no more time than this: a tab the browser held back
    // goes on where it was rather than rushing through what it missed.
    const longestTickMs = 1000;
    // A replay's keys, as the terminal's are, and its touch buttons.
    const replayKeys = {
        Space: 'pause', ArrowRight: 'step', Equal: 'faster', NumpadAdd: 'faster', Minus: 'slower',
        NumpadSubtract: 'slower', Enter: 'next', NumpadEnter: 'next', Escape: 'leave', replayPause: 'pause',
        replayStep: 'step', replaySlower: 'slower', replayFaster: 'faster', replayNext: 'next',
    };

    // A recording's entries played on the page's clock: the time and the
    // keys go in, the pictures come out as a Session gives them, through
    // `to`: picture() (a whole new one) and paint(index).
    class Replay {
        constructor(entries, nowMs, to) {
            Object.assign(this, { entries, to, clockMs: nowMs });
            this.next = 0; // the entry shown next
            this.waitedMs = 0; // of the match, towards the next entry's wait
            this.quarters = normalQuarters;
            this.paused = false;
            this.skipping = false; // without waits, up to just after a Result
            this.left = false;
            this.picture = blankPicture();
        }

        get over() {
            return this.left || this.next === this.entries.length;
        }

        line() {
            if (this.left) return 'You left the replay';
            if (this.over) return 'The end of the match';
            return this.paused ? 'Paused' : `Replay: ${speedText(this.quarters)}`;
        }

        tick(nowMs) {
            const elapsed = Math.min(Math.max(nowMs - this.clockMs, 0), longestTickMs);
            this.clockMs = nowMs;
            if (this.paused && !this.skipping) return;
            if (!this.paused) this.waitedMs += (elapsed * this.quarters) / normalQuarters;
            for (let shown = 0; shown < replayBatch && !this.over && (this.skipping || !this.paused); ++shown) {
                const wait = this.entries[this.next].afterMs;
                if (!this.skipping && this.waitedMs < wait) return;
                this.waitedMs = this.skipping ? 0 : this.waitedMs - wait;
                this.show();
            }
        }

        show() {
            const { message } = this.entries[this.next++];
            if (message.type === Type.Picture) {
                this.picture = blankPicture();
                this.to.picture();
            }
            if (message.runs) applyRuns(message.runs, this.picture, this.to.paint);
            if (message.type === Type.Result) this.skipping = false;
        }

        // One of replayKeys' actions, once the time up to now is played.
        key(action, nowMs) {
            this.tick(nowMs);
            if (this.over) return;
            if (action === 'pause') this.paused = !this.paused;
            else if (action === 'faster') this.quarters = Math.min(this.quarters * 2, fastestQuarters);
            else if (action === 'slower') this.quarters = Math.max(this.quarters / 2, slowestQuarters);
            else if (action === 'step' && this.paused) {
                this.waitedMs = 0;
                this.show();
            } else if (action === 'next') {
                this.skipping = true;
                this.tick(nowMs);
            } else if (action === 'leave') this.left = true;
        }
    }

    // A replay link's match number, or null: /r/ROOM/replay/N, or with a
    // slash after it, as the server takes it too.
    function replayNumberOf(pathname) {
        const found = /^\/r\/[A-Za-z0-9_-]{4,32}\/replay\/([1-9][0-9]{0,9})\/?$/.exec(pathname);
        return found && Number(found[1]) <= maxKeptNumber ? Number(found[1]) : null;
    }
    // The replay link of a room's match `kept`, from the room's path.
    const replayPathOf = (pathname, kept) => `/r/${pathname.split('/')[2]}/replay/${kept}`;

    return {
        protocolVersion, Type, Seat, KeyKind, Action, keepAliveMs, silenceLimitMs, answerLimitMs,
        maxLegendLength, columns, rows, cells, playPath, legend, Decoder, validRuns, blankPicture,
        applyRuns, encodeHello, encodeReady, encodeKey, encodeKeepAlive, parseJoinCode, formatJoinCode,
        randomRoomName, randomJoinCode, playPathOf,
        refusalText, checkPlayerName, maxPlayerNameLength, glyphOf, cellClass, keyActions, Keys, KeyChoice, moveNames, playerNames, Session, maxKeptNumber,
        Gamepads, padCode, padLeaveMs,
        leaveGraceMs, News, youOf, newsLine, soundOf, tones, RecordingReader, readRecording, replayKeys, Replay, replayNumberOf, replayPathOf,
        // The numbers the page states again for the game's recordings and
        // replays, which its tests hold to the game's.
        replayBounds: { maxRecordPayload, maxFileBytes, recordingRecords, maxHeardGapMs, heardAtOnce, slowestQuarters, normalQuarters, fastestQuarters },
    };
})();

if (typeof module !== 'undefined') module.exports = blockduel;
if (typeof document !== 'undefined') startPage(blockduel);

// The page: the code form, then the game over one WebSocket.
function startPage(bd) {
    const $ = (id) => document.getElementById(id);
    const form = $('join');
    const codeInput = $('code');
    const note = $('note');
    const game = $('game');
    const status = $('status');
    const screen = $('screen');
    const again = $('again');
    const pads = $('pads');
    const rewatch = $('rewatch');
    const replayPads = $('replayPads');
    const naming = $('naming');
    const nameInput = $('playerName');
    const boardNames = [$('nameOne'), $('nameTwo')];
    // Each board's player, as the host says (text only, whatever it holds).
    const showNames = (names) => names.forEach((name, b) => (boardNames[b].textContent = name));

    // The grid, one span a cell.
    const spans = [];
    for (let y = 0; y < bd.rows; ++y) {
        const row = document.createElement('div');
        for (let x = 0; x < bd.columns; ++x) spans.push(row.appendChild(document.createElement('span')));
        screen.appendChild(row);
    }

    // The cells as large as the window leaves room for beside the rest of
    // the page (whose sizes do not follow the cells', so this settles), in
    // whole device pixels so that they stay crisp; twice as tall as wide,
    // as a terminal's. Below the smallest that reads, the page scrolls.
    const smallestCell = 5; // CSS pixels wide: an 8 px font
    const fitScreen = () => {
        if (game.hidden) return;
        const ratio = devicePixelRatio;
        const rest = document.documentElement.getBoundingClientRect().height - screen.getBoundingClientRect().height;
        const across = (game.clientWidth * ratio) / bd.columns;
        const down = ((innerHeight - rest) * ratio) / (2 * bd.rows);
        const cell = Math.max(Math.floor(Math.min(across, down)), Math.ceil(smallestCell * ratio));
        game.style.setProperty('--cell', `${cell / ratio}px`);
    };
    window.addEventListener('resize', fitScreen);
    // The rest of the page grows and shrinks (lines of status, buttons
    // shown); fitted a frame later, outside the observer's own turn.
    new ResizeObserver(() => requestAnimationFrame(fitScreen)).observe(document.querySelector('main'));
    // A window moved to a screen of another density has no resize.
    const watchRatio = () => matchMedia(`(resolution: ${devicePixelRatio}dppx)`).addEventListener('change', () => {
        fitScreen();
        watchRatio();
    }, { once: true });
    watchRatio();

    const paintCell = (picture, i) => {
        spans[i].textContent = bd.glyphOf(picture.codes[i]);
        spans[i].className = bd.cellClass(picture.codes[i], picture.attrs[i]);
    };

    const inRoom = location.pathname.startsWith('/r/');
    const here = inRoom && new URLSearchParams(location.search).has('here');
    const quick = location.pathname === '/r/quick';
    const seatTaken = 2; // the refusal of a seat another player holds
    let session = null; // the game under way, while there is one
    let lastSeat = bd.Seat.Player; // as the last game was joined, for "Join again"
    const sentence = (text) => text.charAt(0).toUpperCase() + text.slice(1) + '.';

    function showForm(text) {
        form.hidden = false;
        naming.hidden = false;
        game.hidden = true;
        note.textContent = text;
    }

    // The player's name as typed, kept for the next time once it is one;
    // null, with why it is not, while it is none.
    function playerName() {
        const fault = bd.checkPlayerName(nameInput.value);
        $('nameNote').textContent = fault === null ? '' : `That name ${fault}.`;
        if (fault !== null) {
            naming.hidden = false;
            nameInput.focus();
            return null;
        }
        kept('blockduel.name', nameInput.value);
        return nameInput.value;
    }

    function join(seat) {
        if (session !== null) return; // one game at a time: a second click waits for the first
        const symbols = bd.parseJoinCode(codeInput.value);
        if (symbols === null) {
            note.textContent = 'That is not a join code, which is 8 letters and digits like 7K3M-Q9XD.';
            return codeInput.focus();
        }
        const name = seat === bd.Seat.Player ? playerName() : '';
        if (name === null) return;
        lastSeat = seat;
        if (here && seat === bd.Seat.Player) return joinHere(symbols, 0, name);
        const news = new bd.News();
        const s = connect(seat, symbols, {
            legend: choice.legend(),
            actions,
            name,
            names: showNames,
            welcomed: () => {
                const blank = bd.blankPicture(); // until the host's first picture
                spans.forEach((_, i) => paintCell(blank, i));
                showNames(['', '']);
                form.hidden = true;
                naming.hidden = true;
                game.hidden = false;
                again.hidden = true;
                rewatch.hidden = true;
                // A watcher's one key is Escape: on a touch screen too.
                for (const button of pads.children) button.hidden = seat !== bd.Seat.Player && button.dataset.key !== 'touchLeave';
                pads.hidden = false;
                const [one, two] = [0, 1].map((seat) => choice.words(seat));
                status.textContent = here ? `Two players: ${one} and ${two}; Enter starts the next round, P pauses, Escape leaves.`
                    : quick && seat === bd.Seat.Player ? `Quick match: the next player to come plays you, or the computer after 30 seconds. ${one} or ${two}; Escape leaves.`
                    : seat === bd.Seat.Player ? `Playing: ${one} or ${two}; Enter starts the next round, P pauses, Escape leaves.` : 'Watching: Escape leaves.';
            },
            picture: () => spans.forEach((_, i) => paintCell(s.picture, i)),
            paint: (i) => paintCell(s.picture, i),
            heard: (m) => hear(s, news, m),
            kept: offerReplay,
            stop: (why, beforeWelcome) => {
                if (session === s) session = null;
                for (const board of boards.splice(0)) board.stop('the page left the game');
                // A room's link opened once both its players are in: watch.
                if (beforeWelcome && inRoom && seat === bd.Seat.Player && s.refusal === seatTaken) return join(bd.Seat.Watcher);
                if (beforeWelcome) return showForm(sentence(why));
                status.textContent = sentence(why);
                pads.hidden = true;
                again.hidden = false;
                again.focus();
                if (s.kept !== null) offerReplay(s.kept);
            },
        });
        session = s;
        note.textContent = `Joining with ${bd.formatJoinCode(symbols)}...`;
    }

    // A room's match kept under `kept`: once no game is under way here, its
    // replay link (a late number from a connection still hearing the host
    // out waits for no game after it).
    function offerReplay(kept) {
        if (!inRoom || session !== null) return;
        rewatch.href = bd.replayPathOf(location.pathname, kept);
        rewatch.hidden = false;
    }

    // A session on a WebSocket of its own to this page's game; `to` as a
    // Session takes it, less send and close.
    function connect(seat, symbols, to) {
        const scheme = location.protocol === 'https:' ? 'wss' : 'ws';
        const socket = new WebSocket(`${scheme}://${location.host}${bd.playPathOf(location.pathname, location.search)}`);
        socket.binaryType = 'arraybuffer';
        const s = new bd.Session(seat, symbols, Date.now(), {
            ...to,
            send: (bytes) => socket.readyState === WebSocket.OPEN && socket.send(bytes),
            close: () => {
                clearInterval(timer);
                socket.close();
            },
        });
        socket.onopen = () => s.opened(Date.now());
        socket.onmessage = (e) => {
            if (e.data instanceof ArrayBuffer) s.receive(new Uint8Array(e.data), Date.now());
            else s.stop('the host sent text, which is no message of the game');
        };
        socket.onclose = () => s.closed();
        const timer = setInterval(() => s.tick(Date.now()), 200);
        return s;
    }

    // Two people at this page: a connection for each board, the first
    // keys (W A S D) playing the first and the second (the arrows) the
    // second, each greeting once the one before is in (so that the first
    // takes board one); the picture comes on a watcher's, whose lines speak
    // to both players alike.
    const boards = []; // the two players' sessions, while they play
    // The page's player's name goes with board one.
    function joinHere(symbols, board, name) {
        if (board === 2) return join(bd.Seat.Watcher);
        note.textContent = `Joining with ${bd.formatJoinCode(symbols)}...`;
        const s = connect(bd.Seat.Player, symbols, {
            legend: choice.legend(board),
            actions,
            name: board === 0 ? name : '',
            welcomed: () => joinHere(symbols, board + 1, name),
            picture: () => {},
            paint: () => {},
            kept: offerReplay,
            stop: (why, beforeWelcome) => {
                const at = boards.indexOf(s);
                if (at >= 0) boards.splice(at, 1);
                if (session !== null) session.stop(why);
                else if (beforeWelcome) showForm(sentence(why));
            },
        });
        boards.push(s);
    }
    // Whose key it is: at a page of two players, each board's own, P to
    // one (a second would resume at once), and the keys of both (Enter
    // readies both, Escape leaves) to each.
    const sessionsOf = (code) => {
        if (boards.length === 0) return [session];
        if (actions[code] === bd.Action.Pause) return boards.slice(0, 1);
        return boards.filter((_, b) => choice.seatOf(code) !== 1 - b);
    };

    form.addEventListener('submit', (e) => e.preventDefault());
    $('play').addEventListener('click', () => join(bd.Seat.Player));
    $('watch').addEventListener('click', () => join(bd.Seat.Watcher));
    // The same code and seat again: a host that has ended the game and
    // started another with the same code lets this page back in, one that
    // has gone says so on the form.
    again.addEventListener('click', () => join(lastSeat));

    const playing = () => session !== null && session.state === 'playing';
    document.addEventListener('keydown', (e) => {
        // The browser's own shortcuts (Ctrl+D, Alt+Left) stay the browser's.
        if (e.ctrlKey || e.metaKey || e.altKey) return;
        if (replayKey !== null && bd.replayKeys[e.code] !== undefined) {
            e.preventDefault();
            if (!e.repeat) replayKey(bd.replayKeys[e.code]); // each key counts on its press
            return;
        }
        if (!playing() || actions[e.code] === undefined) return;
        e.preventDefault();
        for (const s of sessionsOf(e.code)) s.down(e.code, e.repeat, Date.now());
    });
    document.addEventListener('keyup', (e) => {
        if (!playing() || actions[e.code] === undefined) return;
        e.preventDefault();
        for (const s of sessionsOf(e.code)) s.up(e.code, Date.now());
    });
    // A key held when the page loses the keyboard is let go.
    const releaseAll = () => playing() && [session, ...boards].forEach((s) => s.releaseAll(Date.now()));
    window.addEventListener('blur', releaseAll);
    document.addEventListener('visibilitychange', () => document.hidden && releaseAll());

    // The touch buttons: held from the finger's touch to its lift.
    for (const button of pads.querySelectorAll('button')) {
        const code = button.dataset.key;
        button.addEventListener('pointerdown', (e) => {
            e.preventDefault();
            button.setPointerCapture(e.pointerId);
            if (playing()) session.down(code, false, Date.now());
        });
        const lift = () => playing() && session.up(code, Date.now());
        for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) button.addEventListener(type, lift);
    }

    // Gamepads, each frame: a pad's moves go to its own board, the rest as the keys'.
    const gamepads = new bd.Gamepads(here ? 2 : 1);
    const padList = () => {
        try {
            return navigator.getGamepads();
        } catch {
            return null; // none, or hidden from a page that is not secure
        }
    };
    const playPads = (events) => {
        for (const [down, code, seat] of playing() ? events : []) {
            const move = boards.length > 0 && actions[code] < bd.Action.Escape;
            for (const s of move ? boards.slice(seat, seat + 1) : sessionsOf(code)) down ? s.down(code, false, Date.now()) : s.up(code, Date.now());
        }
    };
    const lookAtPads = () => {
        const list = padList();
        if (list) playPads(gamepads.read(list, performance.now()));
        requestAnimationFrame(lookAtPads);
    };
    if (navigator.getGamepads) lookAtPads();
    window.addEventListener('gamepaddisconnected', (e) => playPads(gamepads.drop(e.gamepad?.index)));
    if (!window.isSecureContext && !padList()) {
        const say = () => status.after(Object.assign(document.createElement('p'), { textContent: 'Gamepads need this page over https or localhost.' }));
        if ('ongamepadconnected' in window) window.addEventListener('gamepadconnected', say, { once: true });
        else say();
    }

    // A replay link: the room's kept match, fetched and played on the grid
    // with the keys of the terminal's replay, and buttons for them.
    let replayKey = null; // takes a replay's action while one plays
    const readSlice = 128 * 1024;
    const replayKeyLine = (paused) => `${paused ? 'Space resumes, \u2192 steps' : 'Space pauses'}, + and - change the speed, Enter skips to the next round, Escape leaves.`;
    for (const button of replayPads.querySelectorAll('button')) {
        button.addEventListener('pointerdown', (e) => {
            e.preventDefault();
            if (replayKey !== null) replayKey(bd.replayKeys[button.dataset.key]);
        });
    }

    // The recording's bytes, as many as its reader reads at the most.
    async function fetchRecording(url) {
        const response = await fetch(url, { cache: 'no-store' });
        if (response.status === 404) throw new Error('this room keeps no such match');
        if (!response.ok) throw new Error(`the server answered ${response.status}`);
        const reader = response.body.getReader();
        const chunks = [];
        for (let size = 0; size < bd.replayBounds.maxFileBytes; ) {
            const { done, value } = await reader.read();
            if (done) return new Uint8Array(await new Blob(chunks).arrayBuffer());
            chunks.push(value);
            size += value.length;
        }
        reader.cancel().catch(() => {});
        return new Uint8Array(await new Blob(chunks).arrayBuffer());
    }

    async function watchRecording() {
        form.hidden = true;
        game.hidden = false;
        status.textContent = 'Fetching the match...';
        let bytes;
        try {
            bytes = await fetchRecording(location.pathname.replace(/\/$/, '') + '.rec');
        } catch (e) {
            status.textContent = sentence(`the match could not be fetched: ${e.message}`);
            return;
        }
        // A slice of the reading at a time, each well within a frame's
        // worth of the page's time or a few, with the page's turn between.
        const reader = new bd.RecordingReader(bytes);
        let read;
        while ((read = reader.step(readSlice)) === null) {
            status.textContent = `Reading the match: ${Math.floor((100 * reader.at) / bytes.length)}%`;
            await new Promise((wake) => setTimeout(wake));
        }
        if (read.problem !== null) return (status.textContent = sentence(`the match cannot be played: ${read.problem}`));
        const paintAll = () => spans.forEach((_, i) => paintCell(r.picture, i));
        const r = new bd.Replay(read.entries, performance.now(), { picture: paintAll, paint: (i) => paintCell(r.picture, i) });
        paintAll();
        const show = () => {
            const text = !r.over ? `${r.line()}. ${replayKeyLine(r.paused)}`
                : r.left || !read.cutShort ? `${r.line()}.` : 'The recording ends here: it was cut short.';
            if (status.textContent !== text) status.textContent = text;
            if (!r.over) return;
            clearInterval(timer);
            replayPads.hidden = true;
            replayKey = null;
        };
        const timer = setInterval(() => {
            r.tick(performance.now());
            show();
        }, 50);
        replayKey = (action) => {
            r.key(action, performance.now());
            show();
        };
        replayPads.hidden = false;
        show();
    }

    // Sound once the first click or key lets the page make it, and news
    // for screen readers; the volume and the mute kept where storage works.
    const [told, mute, volume] = ['news', 'mute', 'volume'].map($);
    const kept = (key, value) => {
        try {
            return value === undefined ? localStorage.getItem(key) : localStorage.setItem(key, value);
        } catch {
            return null; // storage refused, as in private modes
        }
    };
    volume.value = kept('blockduel.volume') ?? volume.value; // a range takes only what fits it
    nameInput.value = kept('blockduel.name') ?? ''; // checked again when it is sent
    const muted = () => mute.getAttribute('aria-pressed') === 'true';
    mute.setAttribute('aria-pressed', kept('blockduel.muted') === 'true');
    mute.addEventListener('click', () => {
        mute.setAttribute('aria-pressed', !muted());
        kept('blockduel.muted', muted());
    });
    volume.addEventListener('change', () => kept('blockduel.volume', volume.value));
    // Colours easier to tell apart, kept as the word 'apart' (anything else
    // kept, or nothing, is the usual colours).
    const colours = $('colours');
    const showColours = (apart) => {
        colours.setAttribute('aria-pressed', apart);
        screen.classList.toggle('apart', apart);
    };
    showColours(kept('blockduel.colours') === 'apart');
    colours.addEventListener('click', () => {
        showColours(!screen.classList.contains('apart'));
        kept('blockduel.colours', screen.classList.contains('apart') ? 'apart' : 'usual');
    });
    // Keys of one's own: a panel of each player's moves, where a click and
    // then a key chooses one (Escape keeps what it has), kept as the
    // choice's text. The legend under the board is the host's, told it
    // as the page joins.
    let choice = bd.KeyChoice.read(kept('blockduel.keys'));
    let actions = choice.actions();
    let choosing = null; // [seat, move] while the panel waits for a key
    const [keysButton, keyPanel, keyNote] = ['keys', 'keyPanel', 'keyNote'].map($);
    const players = bd.playerNames.map((name) => name.toLowerCase());
    const moveButtons = [0, 1].map((seat) => {
        const row = $('keyMoves').appendChild(document.createElement('div'));
        row.append(bd.playerNames[seat]);
        return bd.moveNames.map((_, move) => {
            const button = row.appendChild(Object.assign(document.createElement('button'), { type: 'button' }));
            button.addEventListener('click', () => awaitKey([seat, move]));
            return button;
        });
    });
    const showKeys = () => moveButtons.forEach((buttons, seat) => buttons.forEach((button, move) => {
        const waiting = choosing !== null && choosing[0] === seat && choosing[1] === move;
        button.textContent = `${bd.moveNames[move]}: ${waiting ? 'press a key' : choice.shown(choice.sets[seat][move])}`;
        button.setAttribute('aria-pressed', waiting);
    }));
    const awaitKey = (what) => {
        choosing = what;
        if (what !== null) keyNote.textContent = `Press the key for ${players[what[0]]}'s ${bd.moveNames[what[1]].toLowerCase()}.`;
        releaseAll(); // no key the game holds outlives the choice
        showKeys();
    };
    const useKeys = (next, said) => {
        [choice, actions] = [next, next.actions()];
        for (const s of [session, ...boards]) if (s !== null) s.keys.actions = actions;
        kept('blockduel.keys', choice.text());
        keyNote.textContent = said + (playing() ? ' The legend under the board shows the keys once the page joins again.' : '');
        awaitKey(null);
    };
    // The key awaited, before the game's own handlers see it.
    document.addEventListener('keydown', (e) => {
        if (choosing === null || e.ctrlKey || e.metaKey || e.altKey) return;
        e.preventDefault();
        e.stopPropagation();
        if (e.repeat) return;
        const [seat, move] = choosing;
        if (e.code === 'Escape') {
            awaitKey(null);
            keyNote.textContent = 'The key is kept.';
            return;
        }
        const next = new bd.KeyChoice(choice.sets);
        const why = next.choose(seat, move, e.code);
        if (why !== null) return (keyNote.textContent = `${sentence(why)} Press another, or Escape.`);
        useKeys(next, sentence(`${players[seat]}'s ${bd.moveNames[move].toLowerCase()} is ${next.shown(e.code)}`));
    }, true);
    keysButton.addEventListener('click', () => {
        keyPanel.hidden = !keyPanel.hidden;
        keysButton.setAttribute('aria-expanded', !keyPanel.hidden);
        awaitKey(null);
    });
    $('keyDefaults').addEventListener('click', () => {
        const next = new bd.KeyChoice();
        useKeys(next, `The default keys: ${next.words(0)} and ${next.words(1)}.`);
    });
    showKeys();

    let audio = null;
    const wake = () => {
        try {
            audio ??= new AudioContext();
            if (audio.state === 'suspended') audio.resume().catch(() => {});
        } catch {
            // no Web Audio: the game in silence
        }
    };
    for (const type of ['pointerdown', 'keydown']) document.addEventListener(type, wake, true);
    function play(name) {
        if (audio === null || muted() || volume.value === '0') return;
        const level = volume.value / 400; // square waves are loud
        let at = audio.currentTime;
        for (const [hertz, ms, wave = 'square'] of bd.tones[name]) {
            const note = audio.createOscillator();
            const gain = audio.createGain();
            Object.assign(note, { type: wave }).frequency.value = hertz;
            gain.gain.setValueAtTime(level, at);
            gain.gain.exponentialRampToValueAtTime(0.001, (at += ms / 1000));
            note.connect(gain).connect(audio.destination);
            note.start(at - ms / 1000);
            note.stop(at);
        }
    }
    // A session's message heard, by `news` (its bd.News) or as a result.
    function hear(s, news, m) {
        if (s.picture === null) return; // a result before any picture
        const you = bd.youOf(s.picture);
        const lines = [];
        for (const e of m.type === bd.Type.Result ? [m.result] : news.look(s.picture)) {
            const sound = bd.soundOf(e, you);
            const line = bd.newsLine(e, you);
            if (sound !== null) play(sound);
            if (line !== null) lines.push(line);
        }
        if (lines.length > 0) told.textContent = lines.join(' '); // a message's news together, the last kept
    }

    // A server's front page: its choices open a room, whose page then
    // joins it with the code in its link.
    const choices = $('rooms');
    const randomBytes = (bytes) => crypto.getRandomValues(bytes);
    if (!choices.hidden) form.hidden = true;
    const openRoom = (query) => {
        if (playerName() === null) return;
        const name = bd.randomRoomName(randomBytes);
        const code = bd.formatJoinCode(bd.randomJoinCode(randomBytes));
        location.assign(`/r/${name}?${query}#${code}`);
    };
    $('computer').addEventListener('click', () => openRoom(`computer=${$('level').value}`));
    $('friend').addEventListener('click', () => openRoom('friend'));
    $('here').addEventListener('click', () => openRoom('here'));
    // Every quick match is reached at one room's path, where the server
    // pairs whoever waits with the next to come.
    $('quick').addEventListener('click', () => playerName() !== null && location.assign(`/r/quick#${bd.formatJoinCode(bd.randomJoinCode(randomBytes))}`));
    // A room of two people: its link, to send, with a button to copy it
    // (the clipboard where the browser allows it, else the text selected).
    const share = $('share');
    const shared = $('link');
    if (inRoom && new URLSearchParams(location.search).has('friend')) {
        shared.value = location.href;
        share.hidden = false;
    }
    $('copy').addEventListener('click', () => {
        shared.select();
        const said = () => ($('copied').textContent = 'Copied.');
        if (navigator.clipboard && window.isSecureContext) navigator.clipboard.writeText(shared.value).then(said, () => {});
        else if (document.execCommand('copy')) said();
    });

    if (bd.replayNumberOf(location.pathname) !== null) return watchRecording();
    let fragment = location.hash.slice(1);
    try {
        fragment = decodeURIComponent(fragment);
    } catch {
        // a malformed escape: read as it stands, and refused as no code
    }
    const fromLink = bd.parseJoinCode(fragment);
    if (fromLink !== null) codeInput.value = bd.formatJoinCode(fromLink);
    if (!choices.hidden) $('computer').focus();
    else if (fromLink !== null && inRoom) join(bd.Seat.Player);
    else (fromLink !== null ? $('play') : codeInput).focus();
}
