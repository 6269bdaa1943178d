// The browser page against the real module and its virtual gyro (?simulate): that every
// user action reaches its handler through the page (buttons, sliders, radios, menu,
// mnemonics, shortcuts), that message boxes, choosers and files work as the page's own, and
// the languages' captions. What the handlers do is tested in tests/dialog.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {test} from 'node:test';

import {answer, idle, message, openPage, ready, root, settle, siteAndBrowser, value,} from './page-harness.mjs';

const run = siteAndBrowser();

const click = (page, id) => page.click(`[data-control="${id}"]`);
// Opens a menu by its title with the mouse and picks a command.
async function menu(page, index, commandId) {
    await page.click(`#menu${index}`);
    await page.waitForSelector(`#menu${index}-list:not([hidden])`);
    await page.click(`[data-command="${commandId}"]`);
}
const fsCall = (page, fn, ...args) => page.evaluate(fn, ...args);

// Runs an action and answers each message box it shows in turn; gives the boxes seen.
async function through(page, action, answers = []) {
    await action();
    const seen = [];
    while (await settle(page)) {
        if (!(await page.$('#message[open]'))) break;  // a chooser: the caller answers it
        const box = await message(page);
        seen.push(box);
        await answer(page, answers.shift() ?? box.buttons[0]);
    }
    if (!(await page.$('dialog[open]'))) await idle(page);
    return seen;
}

async function started(lang = 'en', options = {}) {
    const page = await openPage(run.browser, `${run.server.url}?simulate&lang=${lang}`, options);
    await ready(page);
    return page;
}

test('the dialog routes its controls, menu, mnemonics and shortcuts to the handlers', async () => {
    const page = await started();
    // Read from the button: the virtual gyro's values arrive.
    let boxes = await through(page, () => click(page, 1059));
    assert.deepEqual(boxes.map((b) => b.id), [117]);
    assert.equal(await value(page, 1001), '4242');
    // A bare letter is no mnemonic; Alt+letter and Ctrl+R are.
    for (const [keys, reads] of [[['r'], 0], [['Alt', 'r'], 1], [['Control', 'r'], 1]]) {
        await page.focus('[data-control="1036"]');
        boxes = await through(page, async () => {
            for (const k of keys) await page.keyboard.down(k);
            for (const k of [...keys].reverse()) await page.keyboard.up(k);
        });
        assert.equal(boxes.filter((b) => b.id === 117).length, reads, keys.join('+'));
    }
    // Tab goes through the controls in the desktop's order.
    await page.focus('[data-control="1001"]');
    const order = [];
    for (let i = 0; i < 6; ++i) {
        await page.keyboard.press('Tab');
        order.push(await page.evaluate(() => document.activeElement.dataset.control));
    }
    assert.deepEqual(order, ['1003', '1004', '1005', '1007', '1010', '1012']);
    // A slider moved from the keyboard reports its movement: the value box follows.
    const expBefore = Number(await value(page, 1035));
    await page.focus('[data-control="1036"]');
    await page.keyboard.press('ArrowRight');
    await idle(page);
    assert.equal(Number(await value(page, 1035)), expBefore + 1);
    // Page Down moves by the trackbar's tick, as on the desktop.
    const [tick, min] =
        await page.$eval('[data-control="1036"]', (e) => [Number(e.dataset.tick), Number(e.min)]);
    await page.keyboard.press('PageDown');
    await idle(page);
    assert.equal(Number(await value(page, 1035)), Math.max(min, expBefore + 1 - tick));
    assert.equal(
        await page.evaluate(() => globalThis.tarvexModule.tarvexQuery('HasUnwrittenData')), true);

    // A mode change asks (107, Yes/No, Yes first); Escape is No and the radio goes back.
    await click(page, 1006);
    const box = await message(page);
    assert.equal(box.id, 107);
    assert.deepEqual(box.buttons, ['yes', 'no']);
    assert.equal(await page.evaluate(() => document.activeElement.value), 'yes');
    await page.keyboard.press('Escape');
    await idle(page);
    assert.equal(await page.$eval('[data-control="1005"]', (e) => e.checked), true);
    // Yes: 3D is taken.
    boxes = await through(page, () => click(page, 1006), ['yes']);
    assert.equal(boxes[0].id, 107);
    assert.equal(await page.$eval('[data-control="1006"]', (e) => e.checked), true);

    // Write (the button, Alt+W): the gyro takes it and the state folder keeps a backup.
    boxes = await through(page, () => click(page, 1060));
    assert.ok(boxes.some((b) => b.id === 105), JSON.stringify(boxes));
    const backups = await fsCall(page, () => {
        const M = globalThis.tarvexModule;
        const walk = (dir) => M.FS.readdir(dir).filter((n) => !n.startsWith('.')).flatMap((n) => {
            const p = `${dir}/${n}`;
            return M.FS.isDir(M.FS.stat(p).mode) ? walk(p) : [p];
        });
        return walk(M.tarvexStateFolder).filter((p) => p.endsWith('.tcf'));
    });
    assert.ok(backups.length >= 1, 'a backup of the gyro before the write');
    assert.equal(
        await page.evaluate(() => globalThis.tarvexModule.tarvexQuery('HasUnwrittenData')), false);

    // The menu from the keyboard: Alt+F opens File, Down to Initialize, Enter; 106 asks.
    await page.keyboard.down('Alt');
    await page.keyboard.press('f');
    await page.keyboard.up('Alt');
    await page.waitForSelector('#menu0-list:not([hidden])');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.command), '57600');
    boxes = await through(page, () => page.keyboard.press('Enter'), ['yes']);
    assert.equal(boxes[0].id, 106);
    assert.equal(
        await page.$eval('[data-control="1005"]', (e) => e.checked), true, 'defaults again');
    assert.equal(await page.$('#menu0-list:not([hidden])'), null, 'the menu closed');

    // The limit procedure: Enter toggles and starts the stream; the status asks for the
    // first point; Enter again ends it.
    const first = await page.evaluate(() => globalThis.tarvexModule.tarvexText(121));
    await click(page, 1051);
    await idle(page);
    assert.equal(
        await page.$eval('[data-control="1051"]', (e) => e.getAttribute('aria-pressed')), 'true');
    const status = await page.$eval('[data-control="1061"]', (e) => e.value);
    assert.equal(status, first);
    assert.equal(
        await page.evaluate(() => globalThis.tarvexModule.tarvexStreamInfo().running), true);
    assert.equal(
        await page.$eval('[data-control="1052"]', (e) => e.disabled), false, 'Set enabled');
    await page.focus('[data-control="1058"]');
    await page.keyboard.press('ArrowRight');
    await idle(page);
    await through(page, () => click(page, 1051));
    assert.equal(
        await page.$eval('[data-control="1051"]', (e) => e.getAttribute('aria-pressed')), 'false');
    assert.equal(
        await page.evaluate(() => globalThis.tarvexModule.tarvexStreamInfo().running), false);

    // About from the Help menu, closed with Escape.
    await menu(page, 2, 57664);
    await page.waitForSelector('#about[open]');
    await page.keyboard.press('Escape');
    await idle(page);
    assert.deepEqual(page.errors.filter((e) => !e.includes('404')), []);
    await page.browserContext().close();
});

test(
    'settings files: Save As downloads, Open takes a picked file, Restore lists the backups, the exit check',
    async () => {
        const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'tarvex-web-'));
        const context = await run.browser.createBrowserContext(
            {downloadBehavior: {policy: 'allow', downloadPath: downloads}});
        const page = await context.newPage();
        page.errors = [];
        page.on('pageerror', (e) => page.errors.push(String(e)));
        // No File System Access: Save As asks for a name and the file comes as a download.
        await page.evaluateOnNewDocument(() => {
            delete window.showSaveFilePicker;
            delete window.showOpenFilePicker;
        });
        await page.goto(`${run.server.url}?simulate`);
        await ready(page);
        await through(page, () => click(page, 1059));

        const name = 'Größe ジャイロ.tcf';
        await menu(page, 0, 57604);
        await page.waitForSelector('#chooser[open] input[name="file-name"]');
        await page.type('#chooser input[name="file-name"]', name.replace('.tcf', ''));
        await through(page, () => page.click('#chooser-ok'));
        const saved = path.join(downloads, name);
        for (let i = 0; i < 50 && !fs.existsSync(saved); ++i)
            await new Promise((r) => setTimeout(r, 100));
        assert.ok(fs.existsSync(saved), `downloaded ${fs.readdirSync(downloads)}`);
        assert.match(await page.title(), /Größe ジャイロ/);

        // Open (Ctrl+O) a copy under another non-ASCII name, changed by a byte the dialog shows?
        // The file as saved, renamed: the title names it.
        const copy = path.join(downloads, 'Kopie äöü.tcf');
        fs.copyFileSync(saved, copy);
        await idle(page);  // Ctrl+O is taken only while no handler runs
        await page.focus('[data-control="1036"]');
        const [chooser] = await Promise.all([
            page.waitForFileChooser(),
            page.keyboard.down('Control')
                .then(() => page.keyboard.press('o'))
                .then(() => page.keyboard.up('Control')),
        ]);
        await chooser.accept([copy]);
        await through(page, async () => {});
        assert.match(await page.title(), /Kopie äöü/);
        const recent = await page.evaluate(() => JSON.parse(localStorage.getItem('tarvex.recent')));
        assert.ok(recent.some((p) => p.endsWith('Kopie äöü.tcf')), JSON.stringify(recent));

        // A .tcf dropped on the page opens as File > Open opens it.
        const bytes = [...fs.readFileSync(saved)];
        await through(page, () => page.evaluate((data) => {
            const transfer = new DataTransfer();
            transfer.items.add(new File([new Uint8Array(data)], 'Abwurf ü.tcf'));
            document.querySelector('#dialog').dispatchEvent(
                new DragEvent('drop', {dataTransfer: transfer, bubbles: true, cancelable: true}));
        }, bytes));
        assert.match(await page.title(), /Abwurf ü/);

        // The recent list in the File menu: its second item is the file opened before the drop.
        await through(page, () => menu(page, 0, 57617));
        assert.match(await page.title(), /Kopie äöü/);

        // Write makes a backup; Restore lists the backups folder, newest first, and opens one.
        await page.focus('[data-control="1036"]');
        await page.keyboard.press('ArrowLeft');
        await idle(page);
        await through(page, () => click(page, 1060));
        await menu(page, 0, 32781);
        await page.waitForSelector('#chooser[open] .file-list input');
        const listed = await page.$$eval('#chooser .file-list .date', (d) => d.length);
        assert.ok(listed >= 1);
        await through(page, () => page.click('#chooser-ok'));
        // A backup opens without a file to save to: the title names none.
        assert.equal(await page.title(), 'Tarvex');

        // The exit check: with unwritten values, leaving the page asks; without, it does not.
        await page.focus('[data-control="1036"]');
        await page.keyboard.press('ArrowRight');
        await idle(page);
        const asked = new Promise((resolve) => page.once('dialog', async (d) => {
            resolve(d.type());
            await d.dismiss();
        }));
        page.goto('about:blank').catch(() => {});
        assert.equal(await asked, 'beforeunload');
        assert.match(page.url(), /simulate/, 'stayed');
        assert.deepEqual(page.errors, []);
        await context.close();
        fs.rmSync(downloads, {recursive: true, force: true});
    });

// The captions come from the module in the language asked for (the .ts files' texts).
function translation(lang, source) {
    const ts =
        fs.readFileSync(path.join(root, `resources/window/tarvex_window_${lang}.ts`), 'utf8');
    const escaped = source.replace(/&/g, '&amp;');
    const m = ts.match(new RegExp(`<source>${
        escaped}</source>\\s*(?:<comment>[^<]*</comment>\\s*)?<translation[^>]*>([^<]*)</translation>`));
    return m[1].replace(/&amp;/g, '&').replace(/&(.)/g, '$1');
}

for (const [lang, navigatorLang] of [['de', 'de-DE'], ['ja', 'ja-JP']]) {
    test(`captions in ${lang}: ?lang=${lang} and the browser's ${navigatorLang}`, async () => {
        for (const url
                 of [`${run.server.url}?simulate&lang=${lang}`, `${run.server.url}?simulate`]) {
            const page = await openPage(run.browser, url, {
                before: (p) => p.evaluateOnNewDocument(
                    (l) => Object.defineProperty(navigator, 'languages', {get: () => [l]}),
                    navigatorLang),
            });
            await ready(page);
            const texts = await page.evaluate(
                () => ({
                    flight: document.querySelector('#g7_100-legend').textContent,
                    read: document.querySelector('[data-control="1059"]').textContent,
                    file: document.querySelector('#menu0').textContent,
                    lang: document.documentElement.lang,
                }));
            assert.equal(texts.lang, lang);
            assert.equal(texts.flight, translation(lang, 'F&light Mode'));
            assert.equal(texts.read, translation(lang, '&Read'));
            assert.ok(texts.file.startsWith(translation(lang, '&File')), texts.file);
            // A message in the language, with its buttons.
            const expected = await page.evaluate(() => globalThis.tarvexModule.tarvexText(107));
            await click(page, 1006);
            const box = await message(page);
            assert.equal(box.text, expected);
            assert.deepEqual(
                await page.$$eval('#message-buttons button', (b) => b.map((x) => x.textContent)),
                {de: ['Ja', 'Nein'], ja: ['はい', 'いいえ']}[lang],
            );
            assert.notEqual(
                box.text,
                'If this parameter is modified, other parameters have to be initialized. Are you sure?');
            await answer(page, 'no');
            await page.browserContext().close();
        }
    });
}

test('every control has an accessible name and the page needs no other origin', async () => {
    const requests = [];
    const page = await openPage(run.browser, `${run.server.url}?simulate`, {
        before: (p) => p.on('request', (r) => requests.push(r.url())),
    });
    await ready(page);
    await through(page, () => click(page, 1059));
    const ids = await page.$$eval(
        '[data-control]',
        (els) => els.filter((e) => e.checkVisibility()).map((e) => e.dataset.control));
    assert.equal(ids.length, 62, 'all but the hidden Not using ID');
    const unnamed = [];
    for (const id of ids) {
        const handle = await page.$(`[data-control="${id}"]`);
        const node = await page.accessibility.snapshot({root: handle, interestingOnly: false});
        if (!node || !node.name || !node.name.trim()) unnamed.push(id);
    }
    assert.deepEqual(unnamed, []);
    const items = await page.$$eval('[role=menuitem]', (els) => els.length);
    assert.ok(items >= 12);
    assert.deepEqual(requests.filter((u) => !u.startsWith(run.server.url)), []);
    await page.browserContext().close();
});

test(
    'without Web Serial and WebUSB the page says which browsers have them and still runs the virtual gyro',
    async () => {
        const page = await openPage(run.browser, run.server.url, {
            before: (p) => p.evaluateOnNewDocument(() => {
                delete Navigator.prototype.serial;
                delete Navigator.prototype.usb;
            }),
        });
        await page.waitForFunction(() => !document.querySelector('#simulate').disabled);
        const notice = await page.$eval('#no-serial', (e) => (e.hidden ? '' : e.textContent));
        assert.match(notice, /Chrome, Edge and Opera.*WebUSB in Chrome on Android/);
        assert.deepEqual(
            await page.$$eval('#connect-serial, #connect-usb', (es) => es.map((e) => e.hidden)),
            [true, true]);
        await page.click('#simulate');
        await ready(page);
        const boxes = await through(page, () => click(page, 1059));
        assert.deepEqual(boxes.map((b) => b.id), [117]);
        // File > Exit ends the dialog: back to the start screen.
        await through(page, () => menu(page, 0, 57665));
        await page.waitForSelector('#start:not([hidden])');
        assert.equal(await page.$eval('#window', (e) => e.hidden), true);
        // Started again; Escape is the close request (OnCancel): back to the start screen.
        await page.click('#simulate');
        await ready(page);
        await page.focus('[data-control="1036"]');
        await through(page, () => page.keyboard.press('Escape'));
        await page.waitForSelector('#start:not([hidden])');
        await page.browserContext().close();
    });

test(
    'with File System Access, Save As writes into the file chosen, Save into the file opened',
    async () => {
        const page = await openPage(run.browser, `${run.server.url}?simulate`, {
            before: (p) => p.evaluateOnNewDocument(() => {
                globalThis.savedBytes = null;
                const handle = (name, file) => ({
                    name,
                    getFile: async () => file,
                    createWritable: async () => {
                        const parts = [];
                        return {
                            write: async (b) => parts.push(...b),
                            close: async () => {
                                globalThis.savedBytes = {name, parts};
                            }
                        };
                    },
                });
                window.showSaveFilePicker = async () => handle('Heli ä');
                window.showOpenFilePicker = async () => [handle(
                    'Offen ö.tcf',
                    new File([new Uint8Array(globalThis.savedBytes.parts)], 'Offen ö.tcf'))];
            }),
        });
        await ready(page);
        await through(page, () => click(page, 1059));
        await through(page, () => menu(page, 0, 57604));
        await page.waitForFunction(() => globalThis.savedBytes !== null);
        const [written, inModule] = await page.evaluate(() => {
            // Each file saved through a handle has a folder of its own in the files folder.
            const M = globalThis.tarvexModule;
            const folder = M.tarvexFilesFolder;
            const own = M.FS.readdir(folder).find(
                (d) => M.FS.analyzePath(`${folder}/${d}/Heli ä.tcf`).exists);
            return [globalThis.savedBytes, [...M.FS.readFile(`${folder}/${own}/Heli ä.tcf`)]];
        });
        assert.equal(written.name, 'Heli ä');
        assert.ok(written.parts.length > 0);
        assert.deepEqual(written.parts, inModule);
        assert.match(await page.title(), /Heli ä\.tcf/);
        // Open through the picker, change a value, Save: the bytes go back into the opened file.
        await through(page, () => menu(page, 0, 57601));
        assert.match(await page.title(), /Offen ö\.tcf/);
        await page.evaluate(() => {
            globalThis.savedBytes = null;
        });
        await page.focus('[data-control="1036"]');
        await page.keyboard.press('ArrowRight');
        await idle(page);
        await through(page, () => menu(page, 0, 57603));
        await page.waitForFunction(() => globalThis.savedBytes !== null);
        const resaved = await page.evaluate(() => globalThis.savedBytes);
        assert.equal(resaved.name, 'Offen ö.tcf');
        assert.notDeepEqual(resaved.parts, written.parts, 'the changed value');
        await page.browserContext().close();
    });
