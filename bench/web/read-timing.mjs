// The Read command in the browser over Web Serial: the built page (build-web/site) in
// headless Chromium, its adapter on the fake navigator.serial, the gyro on this side with
// the line's timing (1.25 ms a byte, 5 ms turnaround). The Read's floor is the desktop's:
// the burst holds the writer for 744 bytes (930 ms), the 500 ms pause, the request, its
// echo and the reply (131.25 ms): 1561.25 ms.
//
//   node bench/web/read-timing.mjs [runs]      (after scripts/web.sh and npm ci in tests/web)
//
// Prints, per run, the time from the burst's write to the reply's last byte taken by the
// module (the port's own calls, time-stamped in the page), and the click-to-message time.
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
        port.write = async (bytes) => {
            if (bytes.length === 1000) marks.push({start: performance.now()});
            return write(bytes);
        };
        port.read = async (count, timeout) => {
            const bytes = await read(count, timeout);
            if (count === 101) marks.at(-1).end = performance.now();
            return bytes;
        };
    });
    const line = [];
    const clicks = [];
    for (let i = 0; i < runs; ++i) {
        const t0 = performance.now();
        await page.click('[data-control="1059"]');
        await page.waitForSelector('#message[open]');
        clicks.push(performance.now() - t0);
        const id = await page.$eval('#message', (d) => Number(d.dataset.id));
        if (id !== 117) throw new Error(`run ${i}: message ${id} instead of the read's success`);
        await page.click('#message[open] button');
        await page.waitForFunction(() => !document.documentElement.classList.contains('busy'));
        const mark = await page.evaluate(() => marks.at(-1));
        line.push(mark.end - mark.start);
    }
    const median = (a) => [...a].sort((x, y) => x - y)[a.length >> 1];
    const f = (x) => x.toFixed(3);
    for (const ms of line) console.log(`web.serial.read.run: ${f(ms)} ms`);
    console.log(`web.serial.read.expected: ${f(FLOOR_MS)} ms`);
    console.log(`web.serial.read.median: ${f(median(line))} ms`);
    console.log(`web.serial.read.max: ${f(Math.max(...line))} ms`);
    console.log(`web.serial.read.over_floor: ${f((median(line) / FLOOR_MS - 1) * 100)} %`);
    console.log(`web.serial.read.click_to_message.median: ${f(median(clicks))} ms`);
} finally {
    await browser.close();
    server.close();
}
