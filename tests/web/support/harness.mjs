// What the Web Serial and WebUSB tests share: Chromium, and the gyro's frames as the
// adapter sends them.
import {existsSync} from 'node:fs';
import puppeteer from 'puppeteer-core';

import {reverseBits} from './test-gyro.mjs';

export const CHROMIUM = '/usr/bin/chromium';

// Fails with the reason when the browser is missing (a test that cannot run never passes).
export async function launchBrowser() {
    if (!existsSync(CHROMIUM))
        throw new Error(`${CHROMIUM} is missing: install the chromium package`);
    return puppeteer.launch({executablePath: CHROMIUM, headless: true, args: ['--no-sandbox']});
}

// A command frame as it goes on the wire: 0x9F, record bytes 0-3, page, its nine record
// bytes, flags, checksum; bytes 1..16 bit-reversed.
export function wireFrame(record, page, flags) {
    const frame = [
        0x9f, ...record.subarray(0, 4), page, ...record.subarray(4 + 9 * page, 13 + 9 * page), flags
    ];
    frame.push((0x100 - (frame.slice(1).reduce((a, b) => a + b, 0) & 0xff)) & 0xff);
    return frame.map((b, i) => (i ? reverseBits(b) : b));
}

// The gyro's side of a fake link: the bytes the gyro sends while the link listens, handed
// to the page's one pending receive (a promise of the bytes; [] when the link stops or a
// newer receive takes over).
export function gyroToPage(gyro) {
    let listening = false;
    let queue = [];
    let waiting = null;  // the page's pending receive
    const answer = () => {
        if (!waiting) return;
        const resolve = waiting;
        waiting = null;
        const bytes = queue;
        queue = [];
        resolve(bytes);
    };
    gyro.ondata = (bytes) => {
        if (!listening) return;
        for (const b of bytes) queue.push(b);
        answer();
    };
    return {
        listen() {
            listening = true;
            queue = [];
        },
        receive() {
            if (!listening) return [];
            if (queue.length) {
                const bytes = queue;
                queue = [];
                return bytes;
            }
            if (waiting) waiting([]);
            return new Promise((resolve) => (waiting = resolve));
        },
        stop() {
            listening = false;
            queue = [];
            answer();
        },
    };
}

// Runs calls on the page's port (globalThis.port); each gives its result ('ok' for none)
// or {ftStatus}.
export function portCalls(page, list) {
    return page.evaluate(async (list) => {
        const out = [];
        for (const [name, ...args] of list) {
            try {
                const value = await port[name](
                    ...args.map((a) => (Array.isArray(a) ? Uint8Array.from(a) : a)));
                out.push(value instanceof Uint8Array ? Array.from(value) : (value ?? 'ok'));
            } catch (e) {
                out.push({ftStatus: e.ftStatus});
            }
        }
        return out;
    }, list);
}
