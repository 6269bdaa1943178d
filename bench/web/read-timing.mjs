// The Read command in the browser over Web Serial: the built page (build-web/site) in
// headless Chromium, its adapter on the fake navigator.serial, the gyro on this side with
// the line's timing (1.25 ms a byte, 5 ms turnaround). The Read's floor is the desktop's:
// the burst holds the writer for 744 bytes (930 ms), the 500 ms pause, the request, its
// echo and the reply (131.25 ms): 1561.25 ms.
//
//   node bench/web/read-timing.mjs [runs]      (after scripts/web.sh and npm ci in tests/web)
//
// Prints, per run, the time from the burst's write to the reply's last byte taken by the
// module (the port's own calls, time-stamped in the page), the click-to-message time, and
// the three stages: the burst's write, the pause to the purge, the read transaction.
import {existsSync} from 'node:fs';
import path from 'node:path';
import {fileURLToPath} from 'node:url';

import {serve} from '../../tests/web/page-harness.mjs';
import {installFakeSerial} from '../../tests/web/support/fake-serial.mjs';
import {launchBrowser} from '../../tests/web/support/harness.mjs';
import {TestGyro} from '../../tests/web/support/test-gyro.mjs';

const FLOOR_MS = 1561.25;
const runs = Number(process.argv[2] ?? 10);
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
    await installFakeSerial(page, gyro);
    await page.goto(server.url, {waitUntil: 'load'});
    await page.waitForSelector('#connect-serial:not([hidden])');
    await page.waitForFunction(() => globalThis.tarvexModule);
    await page.click('#connect-serial');
    await page.waitForFunction(() => document.documentElement.dataset.ready === '1');
    // Time stamps around the port's calls: the burst's write starts a Read, the read that
    // completes the reply ends it.
    await page.evaluate(() => {
        const port = globalThis.tarvexPort;
        globalThis.marks = [];
        const write = port.write.bind(port);
        const read = port.read.bind(port);
        const purge = port.purge.bind(port);
        port.write = async (bytes) => {
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
    for (const failure of failures) console.log(`web.serial.read.failed: ${failure}`);
    console.log(`web.serial.read.failures: ${failures.length} of ${runs}`);
    const median = (a) => [...a].sort((x, y) => x - y)[a.length >> 1];
    const f = (x) => x.toFixed(3);
    for (const ms of line) console.log(`web.serial.read.run: ${f(ms)} ms`);
    console.log(`web.serial.read.expected: ${f(FLOOR_MS)} ms`);
    console.log(`web.serial.read.median: ${f(median(line))} ms`);
    console.log(`web.serial.read.max: ${f(Math.max(...line))} ms`);
    console.log(`web.serial.read.over_floor: ${f((median(line) / FLOOR_MS - 1) * 100)} %`);
    console.log(`web.serial.read.click_to_message.median: ${f(median(clicks))} ms`);
    // Each stage against its own floor: the burst's 744 bytes, the pause, the transaction.
    const floors = {burst: 930, pause: 500, transaction: 131.25};
    for (const [stage, times] of Object.entries(stages)) {
        console.log(
            `web.serial.read.${stage}.median: ${f(median(times))} ms (floor ${f(floors[stage])})`);
    }
} finally {
    await browser.close();
    server.close();
}
