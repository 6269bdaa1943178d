// The browser module's figures: a Read with the linked-in virtual gyro (the module sleeps
// through the line's time), the limit stream's tick intervals with the tab shown and hidden
// (ticks from the ticker Worker, and from the page's own timer for comparison), and the
// site's transfer size gzip'd.
//
//   node bench/web/module-timing.mjs [SITE] [SECONDS]   (SITE: build-web/site; 10 s a phase)
//   TARVEX_BENCH_HEADFUL=1 xvfb-run -a node bench/web/module-timing.mjs   (a windowed browser)
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import zlib from 'node:zlib';

import puppeteer from '../../tests/web/node_modules/puppeteer-core/lib/esm/puppeteer/puppeteer-core.js';

const here = path.dirname(fileURLToPath(import.meta.url));
const site = path.resolve(process.argv[2] || path.join(here, '../../build-web/site'));
const seconds = Number(process.argv[3] || 10);
if (!fs.existsSync(path.join(site, 'tarvex.wasm'))) {
    console.error(`module-timing: ${site} is not built (scripts/web.sh)`);
    process.exit(1);
}

// Transfer size: every file of the site, gzip -9 each.
let raw = 0;
let packed = 0;
const sizes = [];
const walk = (dir) => {
    for (const name of fs.readdirSync(dir)) {
        const file = path.join(dir, name);
        if (fs.statSync(file).isDirectory())
            walk(file);
        else {
            const data = fs.readFileSync(file);
            const gz = zlib.gzipSync(data, {level: 9}).length;
            raw += data.length;
            packed += gz;
            sizes.push([path.relative(site, file), data.length, gz]);
        }
    }
};
walk(site);
sizes.sort((a, b) => b[2] - a[2]);
console.log(`site: ${(raw / 1024).toFixed(0)} KB, gzip'd ${(packed / 1024).toFixed(0)} KB`);
for (const [name, size, gz] of sizes.slice(0, 4)) {
    console.log(`  ${name}: ${(size / 1024).toFixed(0)} KB, gzip'd ${(gz / 1024).toFixed(0)} KB`);
}

const types = {
    '.html': 'text/html',
    '.js': 'text/javascript',
    '.wasm': 'application/wasm',
    '.css': 'text/css'
};
const server = http.createServer((req, res) => {
    const file = path.join(site, decodeURIComponent(new URL(req.url, 'http://x').pathname));
    if (!file.startsWith(site) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
        res.writeHead(404).end();
        return;
    }
    res.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream'});
    fs.createReadStream(file).pipe(res);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const url = `http://127.0.0.1:${server.address().port}/index.html?simulate&nosw`;

const summary = (ticks) => {
    const t = ticks.slice(2).sort((a, b) => a - b);
    if (!t.length) return 'no ticks';
    const mean = t.reduce((s, x) => s + x, 0) / t.length;
    const at = (q) => t[Math.min(t.length - 1, Math.floor(q * t.length))].toFixed(1);
    return `${t.length} ticks, mean ${mean.toFixed(1)} ms, median ${at(0.5)}, p99 ${
        at(0.99)}, max ${t[t.length - 1].toFixed(1)}`;
};

// TARVEX_BENCH_HEADFUL=1 runs a windowed Chromium (under xvfb-run): only there does the
// browser slow down a hidden tab's timers as it does for a user.
const headless = process.env.TARVEX_BENCH_HEADFUL !== '1';
// Without puppeteer's switches that keep background tabs at full speed, so a hidden tab is
// slowed down as a user's is.
const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox'],
    headless,
    ignoreDefaultArgs: [
        '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
        '--disable-backgrounding-occluded-windows'
    ],
});
try {
    for (const source of ['worker', 'page timer']) {
        const context = await browser.createBrowserContext();
        const page = await context.newPage();
        if (source === 'page timer')
            await page.evaluateOnNewDocument(() => {
                globalThis.Worker = undefined;
            });
        await page.goto(url);
        await page.waitForFunction(
            () => document.documentElement.dataset.ready === '1', {timeout: 30000});
        // The Read: from the handler's call to its return, the box answered at once.
        const readMs = await page.evaluate(async () => {
            const M = globalThis.tarvexModule;
            const show = globalThis.tarvexWindow.showMessage;
            globalThis.tarvexWindow.showMessage = async () => 'ok';
            const t0 = performance.now();
            await M.tarvexCall('OnRead');
            const ms = performance.now() - t0;
            globalThis.tarvexWindow.showMessage = show;
            return ms;
        });
        if (source === 'worker') console.log(`Read with the virtual gyro: ${readMs.toFixed(0)} ms`);
        await page.click('[data-control="1051"]');
        await page.evaluate(() => globalThis.tarvexModule.tarvexIdle());
        const take = () =>
            page.evaluate(() => Array.from(globalThis.tarvexModule.tarvexStreamInfo().tickMs));
        const before = (await take()).length;
        await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
        const shown = (await take()).slice(before);
        const other = await context.newPage();
        await other.bringToFront();
        const start = (await take()).length;
        await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
        const state = await page.evaluate(() => document.visibilityState);
        const hidden = (await take()).slice(start);
        console.log(`stream from the ${source}, tab shown: ${summary(shown)}`);
        console.log(`stream from the ${source}, tab ${state}: ${summary(hidden)}`);
        await context.close();
    }
} finally {
    await browser.close();
    server.close();
}
