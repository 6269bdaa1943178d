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
