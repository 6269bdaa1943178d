// The Read command in the browser over Web Serial or WebUSB: the built page (build-web/site)
// in headless Chromium, its adapter on the fake navigator.serial or the fake FT232R on
// navigator.usb, the gyro on this side with the line's timing (1.25 ms a byte, 5 ms
// turnaround). The Read's floor is the desktop's on an FT232R, whose transmit buffer holds 128
// bytes: the burst holds the writer for 872 bytes (1090 ms), the 500 ms pause, the request,
// its echo and the reply (131.25 ms): 1721.25 ms.
//
//   node bench/web/read-timing.mjs [runs] [serial|usb] [stream seconds]
//                                  (after scripts/web.sh and npm ci in tests/web)
//
// Prints, per run, the time from the burst's write to the reply's last byte taken by the
// module (the port's own calls, time-stamped in the page), the click-to-message time, and
// the three stages: the burst's write, the pause to the purge, the read transaction. Then,
// with stream seconds, the limit stream's bus frames as the port is given them: the p99 of
// |period - 50 ms|. Over WebUSB also the IN transfers a second while the page is idle.
import {existsSync} from 'node:fs';
import path from 'node:path';
import {fileURLToPath} from 'node:url';

import {serve} from '../../tests/web/page-harness.mjs';
import {installFakeSerial} from '../../tests/web/support/fake-serial.mjs';
import {installFakeUsb} from '../../tests/web/support/fake-usb.mjs';
import {launchBrowser} from '../../tests/web/support/harness.mjs';
import {TestGyro} from '../../tests/web/support/test-gyro.mjs';

const FLOOR_MS = 1721.25;
const runs = Number(process.argv[2] ?? 10);
const link = process.argv[3] ?? 'serial';
const streamSeconds = Number(process.argv[4] ?? 0);
if (!['serial', 'usb'].includes(link)) throw new Error(`link ${link}: serial or usb`);
const key = `web.${link}`;
const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const site = path.join(
    path.resolve(process.env.TARVEX_WEB_BUILD_DIR ?? path.join(root, 'build-web')), 'site');
if (!existsSync(path.join(site, 'tarvex.wasm')))
    throw new Error(`${site} is not built: run scripts/web.sh`);

const server = await serve(site);
const browser = await launchBrowser();
try {
    const page = await browser.newPage();
    const gyro = new TestGyro({lineTiming: true});
    await (link === 'usb' ? installFakeUsb : installFakeSerial)(page, gyro);
    await page.goto(server.url, {waitUntil: 'load'});
    await page.waitForSelector(`#connect-${link}:not([hidden])`);
    await page.waitForFunction(() => globalThis.tarvexModule);
    await page.click(`#connect-${link}`);
    await page.waitForFunction(() => document.documentElement.dataset.ready === '1');
    // Time stamps around the port's calls: the burst's write starts a Read, the read that
    // completes the reply ends it.
    await page.evaluate(() => {
        const port = globalThis.tarvexPort;
        globalThis.marks = [];
        const write = port.write.bind(port);
        const read = port.read.bind(port);
        const purge = port.purge.bind(port);
        globalThis.busFrames = [];
        port.write = async (bytes) => {
            if (bytes.length === 25) busFrames.push(performance.now());
            if (bytes.length === 1000) marks.push({start: performance.now()});
            const n = await write(bytes);
            if (bytes.length === 1000) marks.at(-1).burst = performance.now();
            return n;
        };
        port.purge = async (mask) => {
            marks.at(-1).purge = performance.now();
            return purge(mask);
        };
        port.read = async (count, timeout) => {
            const bytes = await read(count, timeout);
            if (count === 101) {
                marks.at(-1).end = performance.now();
                marks.at(-1).head = Array.from(bytes.subarray(0, 18));
            }
            return bytes;
        };
    });
    const line = [];
    const stages = {burst: [], pause: [], transaction: []};
    const clicks = [];
    const failures = [];
    for (let i = 0; i < runs; ++i) {
        const t0 = performance.now();
        await page.click('[data-control="1059"]');
        await page.waitForSelector('#message[open]');
        const clicked = performance.now() - t0;
        const id = await page.$eval('#message', (d) => Number(d.dataset.id));
        await page.click('#message[open] button');
        await page.waitForFunction(() => !document.documentElement.classList.contains('busy'));
        if (id !== 117) {
            // Reported, not timed: what the failed Read took as its reply's start.
            const mark = await page.evaluate(() => marks.at(-1));
            failures.push(`run ${i}: message ${id}; the reply began ${mark.head}`);
            continue;
        }
        clicks.push(clicked);
        const mark = await page.evaluate(() => marks.at(-1));
        line.push(mark.end - mark.start);
        stages.burst.push(mark.burst - mark.start);
        stages.pause.push(mark.purge - mark.burst);
        stages.transaction.push(mark.end - mark.purge);
    }
    for (const failure of failures) console.log(`${key}.read.failed: ${failure}`);
    console.log(`${key}.read.failures: ${failures.length} of ${runs}`);
    const median = (a) => [...a].sort((x, y) => x - y)[a.length >> 1];
    const f = (x) => x.toFixed(3);
    for (const ms of line) console.log(`${key}.read.run: ${f(ms)} ms`);
    console.log(`${key}.read.expected: ${f(FLOOR_MS)} ms`);
    console.log(`${key}.read.median: ${f(median(line))} ms`);
    console.log(`${key}.read.max: ${f(Math.max(...line))} ms`);
    console.log(`${key}.read.over_floor: ${f((median(line) / FLOOR_MS - 1) * 100)} %`);
    console.log(`${key}.read.click_to_message.median: ${f(median(clicks))} ms`);
    // Each stage against its own floor: the burst's 872 bytes, the pause, the transaction.
    const floors = {burst: 1090, pause: 500, transaction: 131.25};
    for (const [stage, times] of Object.entries(stages)) {
        console.log(
            `${key}.read.${stage}.median: ${f(median(times))} ms (floor ${f(floors[stage])})`);
    }
    if (link === 'usb') {
        // The page idle after its Reads: the IN transfers the link asks for in 2 s, from 1.5 s
        // after the last Read.
        await new Promise((resolve) => setTimeout(resolve, 1500));
        const idle = await page.evaluate(async () => {
            __fakeUsb.inTransfers.length = 0;
            await new Promise((resolve) => setTimeout(resolve, 2000));
            return __fakeUsb.inTransfers.length / 2;
        });
        console.log(`${key}.idle.in_transfers: ${f(idle)} a second`);
    }
    if (streamSeconds > 0) {
        // The limit setting's stream: Enter held for the seconds given, the tab shown.
        await page.click('[data-control="1051"]');
        await new Promise((resolve) => setTimeout(resolve, streamSeconds * 1000));
        const at = await page.evaluate(() => busFrames.splice(0));
        const errors =
            at.slice(2).map((t, i) => Math.abs(t - at[i + 1] - 50)).sort((a, b) => a - b);
        const q = (p) => errors[Math.min(errors.length - 1, Math.floor(p * errors.length))];
        console.log(`${key}.stream.frames: ${at.length} in ${streamSeconds} s`);
        console.log(`${key}.stream.error.p50: ${f(q(0.5))} ms`);
        console.log(`${key}.stream.error.p99: ${f(q(0.99))} ms`);
        console.log(`${key}.stream.error.max: ${f(errors.at(-1))} ms`);
    }
} finally {
    await browser.close();
    server.close();
}
