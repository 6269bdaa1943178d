// The browser edition end to end: the built site served from 127.0.0.1, opened with
// ?simulate (the virtual gyro linked into the module), Read clicked; the connection message
// (117) shows in the page's message <dialog>, after the virtual gyro's real line time, and
// the stream of the limit procedure ticks at its period until Enter is released, and a
// refused frame ends it with one write error.
//
//   node tests/web/smoke.test.mjs [SITE]     (SITE: default build-web/site)
//
// Fails with the reason when the site is not built or Chromium is missing.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const site = path.resolve(process.argv[2] || path.join(here, '../../build-web/site'));
const chromium = '/usr/bin/chromium';

for (const file of ['index.html', 'tarvex.js', 'tarvex.wasm']) {
    if (!fs.existsSync(path.join(site, file))) {
        console.error(
            `smoke: ${path.join(site, file)} is missing: build the site with scripts/web.sh`);
        process.exit(1);
    }
}
if (!fs.existsSync(chromium)) {
    console.error(`smoke: ${chromium} is missing (scripts/setup.sh installs chromium)`);
    process.exit(1);
}

const types = {
    '.html': 'text/html',
    '.js': 'text/javascript',
    '.wasm': 'application/wasm',
    '.css': 'text/css'
};
const server = http.createServer((req, res) => {
    const file = path.join(site, decodeURIComponent(new URL(req.url, 'http://x').pathname));
    const target = file.endsWith('/') ? path.join(file, 'index.html') : file;
    if (!target.startsWith(site) || !fs.existsSync(target) || fs.statSync(target).isDirectory()) {
        res.writeHead(404).end();
        return;
    }
    res.writeHead(200, {'Content-Type': types[path.extname(target)] || 'application/octet-stream'});
    fs.createReadStream(target).pipe(res);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const url = `http://127.0.0.1:${server.address().port}/index.html?simulate&nosw`;

const browser =
    await puppeteer.launch({executablePath: chromium, args: ['--no-sandbox'], headless: true});
try {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(String(error)));
    await page.goto(url, {waitUntil: 'load'});
    await page.waitForFunction(
        () => globalThis.tarvexModule && document.documentElement.dataset.ready === '1', {
            timeout: 30000,
        });

    const expected = await page.evaluate(() => globalThis.tarvexModule.tarvexText(117));
    // Read: the module sleeps through the virtual gyro's line time, the page stays live
    // (bench/web/module-timing.mjs measures how long).
    await page.click('[data-control="1059"]');
    await page.waitForSelector('dialog#message[open]', {timeout: 10000});
    const shown =
        await page.$eval('dialog#message', (d) => ({
                                               id: Number(d.dataset.id),
                                               text: d.querySelector('#message-text').textContent,
                                           }));
    assert.equal(shown.id, 117);
    assert.equal(shown.text, expected);
    await page.click('dialog#message[open] button[value="ok"]');
    await page.waitForSelector('dialog#message:not([open])');
    await page.evaluate(() => globalThis.tarvexModule.tarvexIdle());

    // Enter starts the limit procedure's stream to the virtual gyro; it ticks (the period is
    // measured in bench/web/module-timing.mjs).
    await page.click('[data-control="1051"]');
    await page.evaluate(() => globalThis.tarvexModule.tarvexIdle());
    await page.waitForFunction(
        () => globalThis.tarvexModule.tarvexStreamInfo().tickMs.length >= 5, {timeout: 10000});
    const stream = await page.evaluate(() => {
        const {running, kind} = globalThis.tarvexModule.tarvexStreamInfo();
        return {running, kind};
    });
    assert.deepEqual(stream, {running: true, kind: 'vgyro'});
    // Releasing Enter calls the procedure off: the stream has stopped when its box shows.
    await page.click('[data-control="1051"]');
    await page.waitForSelector('dialog#message[open]', {timeout: 10000});
    const stopped =
        await page.evaluate(() => ({
                                id: Number(document.querySelector('dialog#message').dataset.id),
                                running: globalThis.tarvexModule.tarvexStreamInfo().running,
                            }));
    assert.deepEqual(stopped, {id: 132, running: false});
    await page.click('dialog#message[open] button[value="ok"]');
    await page.waitForSelector('dialog#message:not([open])');
    await page.evaluate(() => globalThis.tarvexModule.tarvexIdle());

    // A frame the gyro's line refuses ends the stream and is reported once, as a write error.
    await page.click('[data-control="1051"]');
    await page.evaluate(() => globalThis.tarvexModule.tarvexIdle());
    assert.equal(
        await page.evaluate(
            () => globalThis.tarvexModule.tarvexVirtualGyroFaults('write-fails-after=2')),
        true);
    await page.waitForSelector('dialog#message[open]', {timeout: 10000});
    const failure =
        await page.evaluate(() => ({
                                id: Number(document.querySelector('dialog#message').dataset.id),
                                running: globalThis.tarvexModule.tarvexStreamInfo().running,
                            }));
    assert.deepEqual(failure, {id: 104, running: false});
    await page.click('dialog#message[open] button[value="ok"]');
    await page.waitForSelector('dialog#message:not([open])');
    await new Promise((resolve) => setTimeout(resolve, 300));
    assert.equal(
        await page.$eval('dialog#message', (d) => d.open), false, 'the failure is reported once');

    assert.deepEqual(errors, []);
    console.log('smoke: ok');
} finally {
    await browser.close();
    server.close();
}
