// Nothing lost in the browser: files and backups stored one by one (two pages at once, a
// store that refuses), the link let go on Exit, drops and file handles, leaving mid-Write or
// during the limit procedure, and the offline copy's update behind a host's max-age.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {test} from 'node:test';

import {answer, idle, message, ready, serve, settle, siteAndBrowser, siteDir} from './page-harness.mjs';
import {installFakeSerial} from './support/fake-serial.mjs';
import {TestGyro} from './support/test-gyro.mjs';

const run = siteAndBrowser();

const click = (page, id) => page.click(`[data-control="${id}"]`);
async function menu(page, commandId) {
    await page.click('#menu0');
    await page.waitForSelector('#menu0-list:not([hidden])');
    await page.click(
        typeof commandId === 'number' ? `[data-command="${commandId}"]` : `#${commandId}`);
}
// Runs an action, answers its message boxes (the first button unless told); gives their ids.
async function through(page, action, answers = []) {
    await page.bringToFront();  // a page behind another gets no animation frames to wait on
    await action();
    const ids = [];
    while (await settle(page)) {
        if (!(await page.$('#message[open]'))) break;
        const box = await message(page);
        ids.push(box.id);
        await answer(page, answers.shift() ?? box.buttons[0]);
    }
    if (!(await page.$('dialog[open]'))) await idle(page);
    return ids;
}
async function nudge(page) {
    await page.focus('[data-control="1036"]');
    await page.keyboard.press('ArrowRight');
    await idle(page);
}
// Read, a value changed, Write (its boxes answered as told); gives the Write's boxes.
async function readChangeWrite(page, answers = []) {
    await through(page, () => click(page, 1059));
    await nudge(page);
    return through(page, () => click(page, 1060), answers);
}
// Files dropped on the dialog: [name, size or bytes] each.
const drop = (page, files) => through(page, () => page.evaluate((files) => {
    const transfer = new DataTransfer();
    for (const [name, size] of files) transfer.items.add(new File([new Uint8Array(size)], name));
    document.querySelector('#dialog').dispatchEvent(
        new DragEvent('drop', {dataTransfer: transfer, bubbles: true, cancelable: true}));
}, files));
// The backups Restore's chooser lists, in its order.
async function restoreList(page) {
    await through(page, () => menu(page, 32781));
    await page.waitForSelector('#chooser[open]');
    return page.$$eval('#chooser .file-list input', (l) => l.map((i) => i.value));
}
async function pageIn(context, query = '?simulate', before) {
    const page = await context.newPage();
    page.errors = [];
    page.on('pageerror', (e) => page.errors.push(String(e)));
    if (before) await before(page);
    await page.goto(run.server.url + query);
    if (query.includes('simulate')) await ready(page);
    return page;
}
const backups = (page) => page.evaluate(() => {
    const M = globalThis.tarvexModule;
    const folder = `${M.tarvexStateFolder}/backups`;
    return M.FS.analyzePath(folder).exists ?
        M.FS.readdir(folder).filter((n) => n.endsWith('.tcf')) :
        [];
});
// A page joined by the fake Web Serial to a gyro, connected.
async function serialPage(context, before) {
    const gyro = new TestGyro();
    const page = await pageIn(context, '', async (p) => {
        await installFakeSerial(p, gyro);
        if (before) await before(p);
    });
    await page.waitForFunction(() => globalThis.tarvexModule);
    await page.click('#connect-serial');
    await ready(page);
    return {page, gyro};
}
const pageFrames = (gyro) => gyro.frames.filter((f) => f.length !== 25 && f[15] & 8).length;

test('two pages: each Write keeps its backup, a fresh page lists both newest first', async () => {
    const context = await run.browser.createBrowserContext();
    const [a, b] = [await pageIn(context), await pageIn(context)];
    assert.deepEqual(await readChangeWrite(a), [105]);
    // Any command in the other page (the File menu), then a Read and two Writes there: the
    // first finds the first page's backup holding the same record, the second adds one.
    await through(b, () => menu(b, 57600), ['no']);
    await readChangeWrite(b);
    await nudge(b);
    await through(b, () => click(b, 1060));
    const kept = new Set([...(await backups(a)), ...(await backups(b))]);
    assert.ok(kept.size >= 2, [...kept].join());
    const listed = await restoreList(await pageIn(context));
    assert.deepEqual(new Set(listed), kept);
    assert.deepEqual(listed, [...listed].sort().reverse(), 'newest first');
    for (const p of [a, b]) assert.deepEqual(p.errors, []);
    await context.close();
});

test('a store that refuses: the Write asks first (135), No sends nothing to the gyro', async () => {
    const context = await run.browser.createBrowserContext();
    const {page, gyro} = await serialPage(context, (p) => p.evaluateOnNewDocument(() => {
        IDBObjectStore.prototype.put = function() {
            throw new DOMException('The quota has been exceeded.', 'QuotaExceededError');
        };
    }));
    gyro.frames = [];
    assert.deepEqual(await readChangeWrite(page, ['no']), [135]);
    assert.equal(pageFrames(gyro), 0, 'no page went to the gyro');
    assert.equal(await page.evaluate(() => tarvexModule.tarvexQuery('HasUnwrittenData')), true);
    await context.close();
});

test(
    'Connect after Exit reaches the same adapter; a second page is told the adapter is in use',
    async () => {
        const context = await run.browser.createBrowserContext();
        const {page} = await serialPage(context, (p) => p.evaluateOnNewDocument(() => {
            navigator.storage.persist = navigator.storage.persisted = async () => false;
        }));
        const exitAndConnect = async () => {
            await through(page, () => menu(page, 57665));
            await page.waitForSelector('#start:not([hidden])');
            await page.click('#connect-serial');
            await ready(page);
        };
        assert.deepEqual(await through(page, () => click(page, 1059)), [117]);
        await exitAndConnect();
        assert.equal(await page.evaluate(() => __fakeSerial.closes), 1, 'the link let go');
        assert.deepEqual(await through(page, () => click(page, 1059)), [117]);
        // The browser keeps the backups only as best it can: said once, Export offered.
        const notice = '#page-notice[data-kind="persist"]:not([hidden])';
        await page.click(`${notice} button:last-child`);
        await exitAndConnect();
        assert.equal(await page.$(notice), null, 'said once');

        const other = await pageIn(context, '', (p) => installFakeSerial(p, new TestGyro()));
        await other.waitForFunction(() => globalThis.tarvexModule);
        await other.click('#connect-serial');
        await other.waitForSelector('#adapter-busy:not([hidden])');
        assert.equal(await other.$eval('#window', (w) => w.hidden), true);
        await context.close();
    });

test('drops: only one settings file is read; one far too large is refused unread', async () => {
    const context = await run.browser.createBrowserContext();
    const page = await pageIn(context);
    await page.evaluate(() => {
        globalThis.reads = 0;
        const read = Blob.prototype.arrayBuffer;
        Blob.prototype.arrayBuffer = function() {
            globalThis.reads += 1;
            return read.call(this);
        };
    });
    const cases = [
        {files: [['clip.mp4', 4096]], box: [], reads: 0},
        {files: [['a.tcf', 85], ['b.tcf', 85]], box: [], reads: 0},
        {files: [['huge.tcf', 70 * 1024]], box: [108], reads: 0},
        {files: [['heli.tcf', 85]], box: [], reads: 1},
    ];
    for (const {files, box, reads} of cases) {
        await page.evaluate(() => (globalThis.reads = 0));
        assert.deepEqual(await drop(page, files), box, files.join());
        assert.equal(await page.evaluate(() => globalThis.reads), reads, files.join());
    }
    await context.close();
});

test(
    'files of one name from two places are saved each into its own; a failed write fails the Save',
    async () => {
        const context = await run.browser.createBrowserContext();
        const page = await pageIn(context, '?simulate', (p) => p.evaluateOnNewDocument(() => {
            globalThis.written = {};
            globalThis.failing = '';
            const handle = (where) => ({
                name: 'settings.tcf',
                getFile: async () => new File([new Uint8Array(85).fill(7)], 'settings.tcf'),
                createWritable: async () => {
                    if (globalThis.failing === where)
                        throw new DOMException('gone', 'NotFoundError');
                    const parts = [];
                    return {
                        write: async (b) => parts.push(...b),
                        close: async () => void (globalThis.written[where] = parts.length),
                    };
                },
            });
            window.showOpenFilePicker = async () => [handle('heli1')];
            window.showSaveFilePicker = async () => handle('heli2');
        }));
        await through(page, () => menu(page, 57601));  // heli1/settings.tcf
        await drop(page, [['settings.tcf', 85]]);      // heli2/settings.tcf
        await nudge(page);
        assert.deepEqual(await through(page, () => menu(page, 57603)), []);
        assert.deepEqual(await page.evaluate(() => globalThis.written), {heli2: 85});
        // The first file again (the recent list's second), its file gone: the Save fails.
        await through(page, () => menu(page, 57617));
        await nudge(page);
        await page.evaluate(() => (globalThis.failing = 'heli1'));
        assert.deepEqual(await through(page, () => menu(page, 57603)), [112]);
        assert.deepEqual(await page.evaluate(() => globalThis.written), {heli2: 85});
        assert.match(await page.title(), /\*$/, 'still unsaved');
        await context.close();
    });

// Leaving while a command runs asks, with nothing unwritten: during a Write, and during
// the limit procedure after a Read.
const RUNNING = [
    {
        what: 'a Write',
        start: async (page) => {
            await nudge(page);
            await click(page, 1060);
        },
        running: () => document.documentElement.classList.contains('busy'),
    },
    {
        what: 'the limit procedure',
        start: (page) => click(page, 1051),
        running: () => document.querySelector('[data-control="1061"]').value !== '',
    },
];
for (const {what, start, running} of RUNNING) {
    test(`leaving during ${what} asks`, async () => {
        const context = await run.browser.createBrowserContext();
        const page = await pageIn(context);
        await through(page, () => click(page, 1059));
        await start(page);
        await page.waitForFunction(running);
        const asked = new Promise((resolve) => {
            page.once('dialog', async (d) => {
                resolve(d.type());
                await d.dismiss();
            });
            setTimeout(() => resolve('nothing asked'), 10000);
        });
        page.goto('about:blank').catch(() => {});
        assert.equal(await asked, 'beforeunload');
        await context.close();
    });
}

test('an update behind max-age=3600 reaches the page through its Reload notice', async () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvex-update-'));
    fs.cpSync(siteDir, dir, {recursive: true});
    const host = await serve(dir, {cacheControl: 'public, max-age=3600'});
    const context = await run.browser.createBrowserContext();
    try {
        const page = await context.newPage();
        await page.goto(host.url);
        await page.waitForFunction(() => navigator.serviceWorker.controller, {timeout: 30000});
        // The next version: a page text and the worker's version changed.
        const texts = path.join(dir, 'js/texts.js');
        fs.appendFileSync(texts, '\n// next version\n');
        const sw = path.join(dir, 'sw.js');
        fs.writeFileSync(
            sw, fs.readFileSync(sw, 'utf8').replace(/tarvex-[0-9a-f]+/, 'tarvex-next'));
        await page.reload();
        await page.waitForSelector(
            '#page-notice[data-kind="update"]:not([hidden]) button', {timeout: 30000});
        await Promise.all([page.waitForNavigation(), page.click('#page-notice button')]);
        const served = await page.evaluate(async () => (await fetch('js/texts.js')).text());
        assert.match(served, /next version/);
    } finally {
        await context.close();
        await host.close();
        fs.rmSync(dir, {recursive: true, force: true});
    }
});

test(
    'Import takes loose backup files by their name and size, and keeps a backup it has',
    async () => {
        const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvex-import-'));
        const kept = '1234-20261202-101010.tcf';
        const files = [
            ['1234-20261201-101010.tcf', 85, 7],    // taken
            ['1234-20261201-101010-2.tcf', 84, 7],  // not a record's size
            ['heli1.tcf', 85, 7],                   // a settings file, not a backup
            [kept, 85, 9],                          // already there: kept as it was
        ];
        const context = await run.browser.createBrowserContext();
        try {
            const page = await pageIn(context);
            await page.evaluate((name) => {
                const M = globalThis.tarvexModule;
                M.FS.mkdirTree(`${M.tarvexStateFolder}/backups`);
                M.FS.writeFile(
                    `${M.tarvexStateFolder}/backups/${name}`, new Uint8Array(85).fill(1));
            }, kept);
            for (const [name, size, fill] of files)
                fs.writeFileSync(path.join(dir, name), new Uint8Array(size).fill(fill));
            const [chooser] =
                await Promise.all([page.waitForFileChooser(), menu(page, 'import-backups')]);
            await chooser.accept(files.map(([name]) => path.join(dir, name)));
            await page.waitForSelector('#page-notice[data-kind="imported"]:not([hidden])');
            assert.deepEqual((await backups(page)).sort(), ['1234-20261201-101010.tcf', kept]);
            assert.deepEqual(await page.evaluate((name) => {
                const M = globalThis.tarvexModule;
                return [...new Set(M.FS.readFile(`${M.tarvexStateFolder}/backups/${name}`))];
            }, kept), [1]);
        } finally {
            await context.close();
            fs.rmSync(dir, {recursive: true, force: true});
        }
    });

test('Export Backups gives one archive that Import takes into another browser', async () => {
    const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvex-export-'));
    const context = await run.browser.createBrowserContext(
        {downloadBehavior: {policy: 'allow', downloadPath: downloads}});
    const other = await run.browser.createBrowserContext();
    try {
        const page = await pageIn(context);
        await readChangeWrite(page);
        const names = await backups(page);
        await through(page, () => menu(page, 'export-backups'));
        let archive = [];
        for (let i = 0; i < 50 && !archive.length; ++i) {
            await new Promise((r) => setTimeout(r, 100));
            archive = fs.readdirSync(downloads).filter((n) => n.endsWith('.zip'));
        }
        assert.equal(archive.length, 1, fs.readdirSync(downloads).join());

        const fresh = await pageIn(other);
        assert.deepEqual(await backups(fresh), []);
        const [chooser] =
            await Promise.all([fresh.waitForFileChooser(), menu(fresh, 'import-backups')]);
        await chooser.accept([path.join(downloads, archive[0])]);
        await fresh.waitForSelector('#page-notice[data-kind="imported"]:not([hidden])');
        assert.deepEqual(await restoreList(fresh), names);
    } finally {
        await context.close();
        await other.close();
        fs.rmSync(downloads, {recursive: true, force: true});
    }
});
