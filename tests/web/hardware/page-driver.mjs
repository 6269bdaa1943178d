// The page's side of the web_hardware test: drives the real page in the Chromium that runs in
// the test's guest, over that Chromium's DevTools pipe (--remote-debugging-pipe on a
// virtio-serial port whose host end is a Unix socket). web_hardware_test.py starts this
// script and sends it one JSON command a line on standard input; each answer is one JSON
// line on standard output: {id, ok, result} or {id, ok: false, error}.
import net from 'node:net';
import readline from 'node:readline';
import puppeteer from 'puppeteer-core';

import {answer, message} from '../page-harness.mjs';

// The DevTools pipe's messages end with a NUL byte.
class SocketTransport {
    constructor(socket) {
        this.socket = socket;
        this.pending = [];
        this.onmessage = null;
        this.onclose = null;
        socket.on('data', (chunk) => {
            let at = chunk.indexOf(0);
            while (at >= 0) {
                this.pending.push(chunk.subarray(0, at));
                const text = Buffer.concat(this.pending).toString('utf8');
                this.pending = [];
                if (this.onmessage) this.onmessage(text);
                chunk = chunk.subarray(at + 1);
                at = chunk.indexOf(0);
            }
            if (chunk.length) this.pending.push(chunk);
        });
        socket.on('close', () => this.onclose && this.onclose());
    }
    send(text) { this.socket.write(text + '\0'); }
    close() { this.socket.destroy(); }
}

// The page harness's waits, polling every 100 ms instead of every frame: the guest's
// emulated processors have no time to spare for frames nobody looks at.
const poll = {
    polling: 100
};
async function idle(page) {
    await page.waitForFunction(() => !document.documentElement.classList.contains('busy'), poll);
    await page.evaluate(() => globalThis.tarvexModule.tarvexIdle());
}
async function ready(page) {
    await page.waitForFunction(() => document.documentElement.dataset.ready === '1', poll);
    await idle(page);
}
async function settle(page) {
    await page.waitForFunction(
        () => !document.documentElement.classList.contains('busy') ||
            document.querySelector('dialog[open]'),
        poll);
    return !!(await page.$('dialog[open]'));
}

let browser = null;
let page = null;
const log = [];  // the page's console and errors, for a failing step's report
const note = (text) => {
    text = `${new Date().toISOString()} ${text}`;
    log.push(text);
    console.error(text);
};

const commands = {
    // Connects to the guest's Chromium.
    async connect({socket}) {
        const stream = await new Promise((resolve, reject) => {
            const s = net.connect(socket, () => resolve(s));
            s.once('error', reject);
        });
        browser = await puppeteer.connect({
            transport: new SocketTransport(stream),
            defaultViewport: null,
            protocolTimeout: 120000
        });
        return {version: await browser.version()};
    },

    // Loads the page. The browser's choosers (which a headless browser cannot show) give the
    // first adapter the policies granted, as a user choosing it would: the start screen's
    // buttons use them (WebUSB, and every link with --chooser); an adapter the page connects
    // to by itself never reaches them.
    async open({url, skipBaud}) {
        const opened = Date.now();
        // The tab Chromium started with: its renderer takes the page (a new tab would start
        // another, at some 10 s on the guest's emulated processors).
        [page] = await browser.pages();
        // The guest's processors are emulated, on a shared machine.
        page.setDefaultTimeout(120000);
        page.setDefaultNavigationTimeout(240000);
        page.on('console', (m) => note(`${m.type()}: ${m.text()}`));
        page.on('pageerror', (e) => note(`pageerror: ${e}`));
        await page.setViewport({width: 1280, height: 800});
        // The offline copy would fetch the whole site again meanwhile; it is not tested here.
        await page.evaluateOnNewDocument(() => {
            if (navigator.serviceWorker)
                navigator.serviceWorker.register = () => Promise.reject(new Error('not here'));
        });
        await page.evaluateOnNewDocument(() => {
            const none = () => new DOMException('no adapter granted', 'NotFoundError');
            if (navigator.serial) {
                navigator.serial.requestPort = async () => {
                    const [port] = await navigator.serial.getPorts();
                    if (!port) throw none();
                    return port;
                };
            }
            if (navigator.usb) {
                navigator.usb.requestDevice = async () => {
                    const [device] = await navigator.usb.getDevices();
                    if (!device) throw none();
                    return device;
                };
            }
        });
        await page.goto(url, {waitUntil: 'load'});
        const loaded = Date.now();
        await page.waitForFunction(
            () => globalThis.tarvexModule &&
                ![...document.querySelectorAll('.start-buttons button')].some((b) => b.disabled),
            poll);
        // Where the time went: the page's own marks, the load, the module.
        const timing = await page.evaluate(
            () => Object.fromEntries(performance.getEntriesByType('mark').map(
                (m) => [m.name, Math.round(m.startTime)])));
        Object.assign(timing, {load: loaded - opened, module: Date.now() - loaded});
        if (skipBaud) {
            // A self-check: the links no longer pass the page's baud rate on.
            await page.evaluate(async () => {
                for (const [file, name] of [
                         ['serial-port.js', 'SerialLink'], ['usb-port.js', 'UsbLink']]) {
                    const link = (await import(`/js/${file}`))[name].prototype;
                    const set = link.setBaudRate;
                    link.setBaudRate = function() { return set.call(this, 19200); };
                }
            });
        }
        return await page.evaluate(
            async (timing) => ({
                timing,
                granted: {
                    serial: (await navigator.serial.getPorts()).length,
                    usb: (await navigator.usb.getDevices()).length,
                },
                claimFailed: (await import('/js/texts.js')).TEXTS.en.usbClaimFailed,
            }),
            timing);
    },

    // Clicks a start screen button: the dialog starts, or the start screen says why not.
    async start({link}) {
        await page.click(`#connect-${link}`);
        await page.waitForFunction(
            () => document.documentElement.dataset.ready === '1' ||
                document.querySelector('#start-status').textContent !== '',
            poll);
        const status = await page.$eval('#start-status', (e) => e.textContent);
        if (status) {
            await page.$eval('#start-status', (e) => (e.textContent = ''));
            return {ready: false, status};
        }
        await ready(page);
        return {ready: true, status};
    },

    // Clicks a control; gives the message box it ends with ({id, text}, answered) or null.
    async click({control}) {
        await page.click(`[data-control="${control}"]`);
        const box = (await settle(page)) ? await message(page) : null;
        if (box) await answer(page, box.buttons[0]);
        await idle(page);
        return box && {id: box.id, text: box.text};
    },

    // One step of a slider by the keyboard; gives the values before and after.
    async change({control}) {
        const selector = `[data-control="${control}"]`;
        const before = await page.$eval(selector, (e) => e.value);
        await page.focus(selector);
        await page.keyboard.press('ArrowRight');
        await idle(page);
        return {before, after: await page.$eval(selector, (e) => e.value)};
    },

    async value({control}) { return page.$eval(`[data-control="${control}"]`, (e) => e.value); },

    // Back to the start screen, not writing what is unwritten.
    async toStart() {
        await page.focus('[data-control="1036"]');
        await page.keyboard.press('Escape');
        for (;;) {
            await page.waitForSelector('#start:not([hidden]), #message[open]');
            if (!(await page.$('#message[open]'))) break;
            await answer(page, (await message(page)).buttons.includes('no') ? 'no' : 'ok');
        }
        return true;
    },

    // Where the page is: the start screen or the window, and whether a port is in use.
    async where() {
        return page.evaluate(() => ({
                                 start: !document.querySelector('#start').hidden,
                                 ready: document.documentElement.dataset.ready === '1',
                             }));
    },

    // The window's Connect (shown while the adapter is gone): back when the window no longer
    // says the adapter is gone.
    async reconnect() {
        await page.click('#link-status button');
        const back = await page
                         .waitForFunction(
                             () => !document.documentElement.classList.contains('adapter-gone'),
                             {...poll, timeout: 60000})
                         .then(() => true, () => false);
        return {back, ...(await commands.where())};
    },

    // Waits until the dialog runs on an adapter the page found by itself.
    async waitReady() {
        await ready(page);
        return commands.where();
    },

    async log() { return log.splice(0); },

    async close() {
        if (browser) await browser.close().catch(() => {});
        browser = null;
        return true;
    },
};

const lines = readline.createInterface({input: process.stdin});
for await (const line of lines) {
    const {id, command, ...args} = JSON.parse(line);
    let reply;
    const t0 = Date.now();
    console.error(`${new Date().toISOString()} ${command} ${JSON.stringify(args)}`);
    try {
        reply = {id, ok: true, result: await commands[command](args)};
    } catch (error) {
        reply = {id, ok: false, error: String(error && error.stack || error)};
    }
    console.error(`${new Date().toISOString()} ${command}: ${Date.now() - t0} ms`);
    process.stdout.write(JSON.stringify(reply) + '\n');
    if (command === 'close') break;
}
process.exit(0);
