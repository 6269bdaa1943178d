// The page tests' harness: the built site served from 127.0.0.1 with node's http module,
// the installed Chromium through puppeteer-core, and small helpers to drive the window.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {after, before} from 'node:test';
import {fileURLToPath} from 'node:url';
import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const root = path.resolve(here, '../..');
export const buildDir =
    path.resolve(process.env.TARVEX_WEB_BUILD_DIR || path.join(root, 'build-web'));
export const siteDir = path.join(buildDir, 'site');

const TYPES = {
    '.html': 'text/html; charset=utf-8',
    '.js': 'text/javascript',
    '.mjs': 'text/javascript',
    '.css': 'text/css',
    '.wasm': 'application/wasm',
    '.json': 'application/json',
    '.webmanifest': 'application/manifest+json',
    '.png': 'image/png',
    '.svg': 'image/svg+xml',
};

// Fails with the reason when the site or the browser is missing (never skips).
export function requireSite() {
    for (const file of ['index.html', 'tarvex.js', 'tarvex.wasm', 'sw.js']) {
        if (!fs.existsSync(path.join(siteDir, file))) {
            throw new Error(
                `${path.join(siteDir, file)} is missing: build the site with scripts/web.sh`);
        }
    }
    if (!fs.existsSync('/usr/bin/chromium'))
        throw new Error('/usr/bin/chromium is missing (scripts/setup.sh installs it)');
}

// cacheControl: the Cache-Control every answer carries (a host's max-age, for the tests of
// the offline copy's updates).
export async function serve(dir = siteDir, {cacheControl = 'no-cache'} = {}) {
    const server = http.createServer((req, res) => {
        const url = new URL(req.url, 'http://127.0.0.1');
        let file = path.join(dir, decodeURIComponent(url.pathname));
        if (!file.startsWith(dir)) {
            res.writeHead(403).end();
            return;
        }
        if (fs.existsSync(file) && fs.statSync(file).isDirectory())
            file = path.join(file, 'index.html');
        fs.readFile(file, (error, data) => {
            if (error) {
                res.writeHead(404).end();
                return;
            }
            res.writeHead(200, {
                'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
                'Cache-Control': cacheControl
            });
            res.end(data);
        });
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    return {
        server,
        url: `http://127.0.0.1:${server.address().port}/`,
        close: () => new Promise((r) => server.close(r))
    };
}

export async function launch() {
    return puppeteer.launch({
        executablePath: '/usr/bin/chromium',
        headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--lang=en-US'],
    });
}

// A fresh page with its console errors collected (a failing page script fails the test).
export async function openPage(browser, url, {width = 1280, height = 800, before} = {}) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    page.errors = [];
    page.on('pageerror', (error) => page.errors.push(String(error)));
    page.on('console', (message) => {
        if (message.type() === 'error') page.errors.push(message.text());
    });
    await page.setViewport({width, height});
    if (before) await before(page);
    await page.goto(url, {waitUntil: 'load'});
    return page;
}

// Waits until the dialog runs (OnInitDialog returned true) and no handler is busy.
export async function ready(page) {
    await page.waitForFunction(
        () => document.documentElement.dataset.ready === '1', {timeout: 20000});
    await idle(page);
}

// Waits until the handler has returned or shows a message box (gives true then).
export async function settle(page) {
    await page.waitForFunction(
        () => !document.documentElement.classList.contains('busy') ||
            document.querySelector('dialog[open]'));
    return !!(await page.$('dialog[open]'));
}

export async function idle(page) {
    await page.waitForFunction(() => !document.documentElement.classList.contains('busy'));
    await page.evaluate(() => globalThis.tarvexModule.tarvexIdle());
}

export const value = (page, id) => page.$eval(
    `[data-control="${id}"]`, (e) => (e.tagName === 'SELECT' ? e.selectedIndex : e.value));

// Waits for a message box; gives {id, text, icon, buttons}.
export async function message(page) {
    await page.waitForSelector('#message[open]');
    return page.$eval(
        '#message',
        (d) => ({
            id: Number(d.dataset.id),
            text: d.querySelector('#message-text').textContent,
            icon: d.dataset.icon,
            buttons: [...d.querySelectorAll('#message-buttons button')].map((b) => b.value),
        }));
}

// Answers the message box showing by its button ('ok', 'yes', 'no').
export async function answer(page, value) {
    await page.click(`#message[open] button[value="${value}"]`);
    await page.waitForSelector('#message:not([open])');
}

// The site served and Chromium started once for a test file, ended after its last test:
// `const run = siteAndBrowser();` then `run.server.url`, `run.browser` inside the tests.
export function siteAndBrowser() {
    const run = {};
    before(async () => {
        requireSite();
        run.server = await serve();
        run.browser = await launch();
    });
    after(async () => {
        await run.browser?.close();
        await run.server?.close();
    });
    return run;
}

// Drags a slider's thumb by touch to the fraction `to` of its track (the thumb found from
// its value: min at the left end, max at the right).
export async function dragThumb(page, selector, to) {
    const element = await page.waitForSelector(selector);
    await element.scrollIntoView();
    const {box, fraction} = await element.evaluate((e) => {
        const r = e.getBoundingClientRect();
        const [min, max, v] = [Number(e.min), Number(e.max), Number(e.value)];
        return {
            box: {x: r.x, y: r.y, width: r.width, height: r.height},
            fraction: (v - min) / (max - min)
        };
    });
    const thumb = Math.min(box.height, 24);
    const at = (f) => box.x + thumb / 2 + f * (box.width - thumb);
    const y = box.y + box.height / 2;
    // The slider's change comes after the touch has ended: the drag is over with it (or
    // after a second when nothing changed).
    const changed = element.evaluate((e) => new Promise((resolve) => {
                                         e.addEventListener('change', resolve, {once: true});
                                         setTimeout(resolve, 1000);
                                     }));
    const touch = await page.touchscreen.touchStart(at(fraction), y);
    for (let i = 1; i <= 5; ++i) await touch.move(at(fraction + ((to - fraction) * i) / 5), y);
    // Held still before lifting, as a finger placing a value does: a lift while moving is a
    // fling, and Chromium drops the tap that stops a fling (the next button's tap would go).
    await new Promise((resolve) => setTimeout(resolve, 300));
    await touch.move(at(to), y);
    await touch.end();
    await changed;
}

// Clicks a control and answers the message box it ends with (its first button); gives that
// box, or null when none came.
export async function clickAnswered(page, id) {
    await page.click(`[data-control="${id}"]`);
    const box = (await settle(page)) ? await message(page) : null;
    if (box) await answer(page, box.buttons[0]);
    await idle(page);
    return box;
}
