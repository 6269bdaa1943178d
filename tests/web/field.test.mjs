// The page at the field, on a phone (390×844, touch) against the fake Web Serial port and
// the fake FT232R: the adapter remembered and reconnected in place.
import assert from 'node:assert/strict';
import path from 'node:path';
import {describe, test} from 'node:test';

import {answer, clickAnswered, dragThumb, idle, message, openPage, ready, siteAndBrowser} from './page-harness.mjs';
import {installFakeSerial} from './support/fake-serial.mjs';
import {installFakeUsb} from './support/fake-usb.mjs';
import {TestGyro} from './support/test-gyro.mjs';

const run = siteAndBrowser();
const PHONE = {
    width: 390,
    height: 844,
    hasTouch: true,
    isMobile: true
};

// Both links, each with its fake, its connect button and its hooks on the page.
const LINKS = [
    {
        name: 'Web Serial',
        install: installFakeSerial,
        button: '#connect-serial',
        fake: '__fakeSerial',
        replug: () => __fakeSerial.replug(),
    },
    {
        name: 'WebUSB',
        install: (page, gyro, config) => installFakeUsb(page, gyro, {noSerial: true, ...config}),
        button: '#connect-usb',
        fake: '__fakeUsb',
        replug: () => __fakeUsb.replug('TB1X7Q2'),  // the same adapter: its serial number
    },
];

// The site on a phone with the link's fake joined to a gyro; connected through the chooser
// unless connect is false (config.granted: allowed on an earlier visit).
async function fieldPage(link, {config = {}, connect = true, url = run.server.url, before} = {}) {
    const gyro = new TestGyro();
    const page = await openPage(run.browser, url, {
        before: async (p) => {
            await link.install(p, gyro, config);
            if (before) await before(p);
            await p.setViewport(PHONE);
        },
    });
    await page.waitForFunction(() => globalThis.tarvexModule);
    if (connect) {
        await page.waitForSelector(`${link.button}:not([hidden]):not([disabled])`);
        await page.click(link.button);
        await ready(page);
    }
    return {page, gyro};
}

// Clicks a control; gives the id of the message box it ends with (answered), or null.
const clickFor = async (page, id) => (await clickAnswered(page, id))?.id ?? null;

const slider = (page, id) => page.$eval(`[data-control="${id}"]`, (e) => Number(e.value));
const linkStatus = (page) => page.evaluate(() => {
    const bar = document.querySelector('#link-status');
    return bar && !bar.hidden ? bar.querySelector('p').textContent : '';
});

describe('the adapter remembered', () => {
    for (const link of LINKS) {
        test(`${link.name}: a second visit reaches Read without a chooser`, async () => {
            const {page} = await fieldPage(link, {config: {granted: true}, connect: false});
            await ready(page);
            assert.deepEqual(await page.evaluate((f) => globalThis[f].requests, link.fake), []);
            assert.equal(await clickFor(page, 1059), 117);
            await page.browserContext().close();
        });
    }

    test('plugged in while the start screen shows, the known adapter connects', async () => {
        const {page} = await fieldPage(LINKS[1]);
        await page.keyboard.press('Escape');
        await page.waitForSelector('#start:not([hidden])');
        await page.evaluate(() => [__fakeUsb.unplug(), __fakeUsb.replug()]);
        await ready(page);
        assert.equal(await clickFor(page, 1059), 117);
        await page.browserContext().close();
    });
});

describe('reconnect in place', () => {
    for (const link of LINKS) {
        test(
            `${link.name}: unplugged and plugged in during an edit, Write takes the edit`,
            async () => {
                const {page, gyro} = await fieldPage(link);
                assert.equal(await clickFor(page, 1059), 117);
                await page.focus('[data-control="1036"]');
                await page.keyboard.press('ArrowRight');
                await idle(page);
                const edited = await slider(page, 1036);
                await page.evaluate((f) => globalThis[f].unplug(), link.fake);
                await page.waitForFunction(() => !document.querySelector('#link-status')?.hidden);
                assert.match(await linkStatus(page), /disconnected/);
                await page.evaluate(link.replug);
                await page.waitForFunction(() => document.querySelector('#link-status').hidden);
                assert.equal(await slider(page, 1036), edited);
                const before = Uint8Array.from(gyro.record);
                assert.equal(await clickFor(page, 1060), 105);
                assert.notDeepEqual(gyro.record, before);
                assert.equal(await clickFor(page, 1059), 117);
                assert.equal(await slider(page, 1036), edited);
                await page.browserContext().close();
            });
    }

    test(
        'unplugged mid-Read: its error once, the window says so (de); Connect takes it back',
        async () => {
            const {page} = await fieldPage(LINKS[0], {url: `${run.server.url}?lang=de`});
            await page.evaluate(() => (__fakeSerial.disappearAfter = __fakeSerial.written + 2));
            await page.click('[data-control="1059"]');
            assert.equal((await message(page)).id, 103);
            assert.match(await linkStatus(page), /Adapter ist getrennt/);
            await answer(page, 'ok');
            await idle(page);
            assert.equal(await page.$('#message[open]'), null);  // one message
            // Back without its event reaching the page: the window's Connect finds it.
            await page.evaluate(
                () => __fakeSerial.replug(true, (__fakeSerial.disappearAfter = Infinity)));
            await page.click('#reconnect');
            await page.waitForFunction(() => document.querySelector('#link-status').hidden);
            assert.equal(await clickFor(page, 1059), 117);
            await page.browserContext().close();
        });
});

const unwritten = (page) =>
    page.evaluate(() => globalThis.tarvexModule.tarvexQuery('HasUnwrittenData'));

describe('the phone', () => {
    test('a tap on a slider\'s track changes nothing; dragging its thumb does', async () => {
        const {page} = await fieldPage(LINKS[0]);
        assert.equal(await clickFor(page, 1059), 117);
        const selector = '[data-control="1036"]';
        const read = await slider(page, 1036);
        const far = await page.$eval(
            selector, (e) => (Number(e.value) > (Number(e.min) + Number(e.max)) / 2 ? 0.05 : 0.95));
        const element = await page.$(selector);
        await element.scrollIntoView();
        const box = await element.boundingBox();
        await page.touchscreen.tap(box.x + box.width * far, box.y + box.height / 2);
        await idle(page);
        assert.deepEqual([await slider(page, 1036), await unwritten(page)], [read, false]);
        await dragThumb(page, selector, far);
        await idle(page);
        assert.notEqual(await slider(page, 1036), read);
        assert.equal(await unwritten(page), true);
        await page.browserContext().close();
    });

    test('Enter in the ID box keeps the window and the typed value', async () => {
        const {page} = await fieldPage(LINKS[0]);
        assert.equal(await clickFor(page, 1059), 117);
        if (await page.$eval('[data-control="1001"]', (e) => e.readOnly)) {
            await page.$eval('[data-control="1002"]', (e) => e.click());  // Not using ID
            await idle(page);
        }
        await page.click('[data-control="1001"]', {count: 3});
        await page.keyboard.type('1234');
        await page.keyboard.press('Enter');
        await idle(page);
        assert.deepEqual(
            await page.evaluate(
                () =>
                    [document.querySelector('#window').hidden,
                     !!document.querySelector('dialog[open]'),
                     document.querySelector('[data-control="1001"]').value]),
            [false, false, '1234']);
        await page.browserContext().close();
    });
});

describe('captions', () => {
    // Every caption and direction box shows its whole text after a Read (the directions are
    // the module's texts).
    for (const [width, height] of [[1280, 800], [390, 844]]) {
        test(`no caption clipped at ${width}×${height} in en, de, ja`, async () => {
            for (const lang of ['en', 'de', 'ja']) {
                const page = await openPage(
                    run.browser, `${run.server.url}?simulate&lang=${lang}`, {width, height});
                await ready(page);
                assert.equal(await clickFor(page, 1059), 117);
                const cut = await page.evaluate(
                    () => [...document.querySelectorAll('label, legend, .label, input.labelbox')]
                              .filter((e) => e.checkVisibility() && e.scrollWidth > e.clientWidth)
                              .map((e) => e.value || e.textContent.trim()));
                assert.deepEqual(cut, [], lang);
                await page.browserContext().close();
            }
        });
    }
});

// A wake lock that counts what the page takes and lets go of.
function fakeWakeLock() {
    globalThis.__wake = {requests: 0, released: 0};
    const wakeLock = {
        async request() {
            ++__wake.requests;
            const sentinel = {
                released: false,
                async release() {
                    if (!sentinel.released) ++__wake.released;
                    sentinel.released = true;
                },
            };
            return sentinel;
        },
    };
    Object.defineProperty(
        Navigator.prototype, 'wakeLock', {configurable: true, get: () => wakeLock});
}

describe('the limit procedure on a phone', () => {
    for (const lang of ['en', 'de', 'ja']) {
        test(
            `${lang}: status, Position, Set and Enter in the viewport, the screen kept on`,
            async () => {
                const {page} = await fieldPage(LINKS[0], {
                    url: `${run.server.url}?lang=${lang}`,
                    before: (p) => p.evaluateOnNewDocument(fakeWakeLock),
                });
                assert.equal(await clickFor(page, 1059), 117);
                await page.evaluate(() => window.scrollTo(0, 0));
                assert.equal(await clickFor(page, 1051), null);
                await page.waitForFunction(
                    () => document.querySelector('[data-control="1061"]').value !== '');
                const outside = await page.evaluate(() => [1061, 1058, 1052, 1051].filter((id) => {
                    const r =
                        document.querySelector(`[data-control="${id}"]`).getBoundingClientRect();
                    return !(
                        r.height > 0 && r.top >= 0 && r.bottom <= innerHeight && r.left >= 0 &&
                        r.right <= innerWidth);
                }));
                assert.deepEqual(outside, []);
                assert.deepEqual(await page.evaluate(() => __wake), {requests: 1, released: 0});
                // The README's pictures, when asked for (never into the tree by a plain run).
                if (process.env.TARVEX_SCREENSHOTS) {
                    await page.screenshot({
                        path: path.join(process.env.TARVEX_SCREENSHOTS, `web-limit-${lang}-390.png`)
                    });
                }
                assert.equal(await clickFor(page, 1051), 132);
                await page.waitForFunction(() => __wake.released === 1);
                await page.browserContext().close();
            });
    }
});

describe('a setup as a link', () => {
    const title = (page) => page.$eval('#title', (e) => e.textContent);

    test(
        'Share Setup gives a #tcf= link; opened, it shows those values, written nowhere',
        async () => {
            const {page} = await fieldPage(LINKS[0], {
                before: (p) => p.evaluateOnNewDocument(() => {
                    Object.defineProperty(Navigator.prototype, 'share', {value: undefined});
                    navigator.clipboard.writeText = async (text) => (globalThis.__copied = text);
                }),
            });
            assert.equal(await clickFor(page, 1059), 117);
            await page.focus('[data-control="1036"]');
            await page.keyboard.press('ArrowRight');
            await idle(page);
            const edited = await slider(page, 1036);
            await page.click('.menu-title');
            await page.click('[data-command="share"]');
            await page.waitForFunction(() => globalThis.__copied);
            const link = await page.evaluate(() => __copied);
            assert.match(link, /^http:\/\/127\.0\.0\.1:\d+\/#tcf=[A-Za-z0-9_-]{114}$/);
            assert.equal(Buffer.from(link.split('#tcf=')[1], 'base64url').length, 85);
            assert.match(await page.$eval('#page-notice', (e) => e.textContent), /copied/);
            await page.browserContext().close();

            const {page: other, gyro} = await fieldPage(LINKS[0], {url: link});
            await other.waitForFunction(() => /Shared setup/.test(document.title));
            await idle(other);
            assert.equal(await slider(other, 1036), edited);
            assert.deepEqual(
                [await unwritten(other), await other.evaluate(() => location.hash), gyro.frames],
                [true, '', []]);
            await other.browserContext().close();
        });

    test('a link that holds no settings file: the load error, the window as it was', async () => {
        const state =
            async (page) => [await slider(page, 1036), await title(page), await unwritten(page)];
        const {page: plain} = await fieldPage(LINKS[0]);
        const want = await state(plain);
        await plain.browserContext().close();
        for (const fragment of ['AAAA', 'not*base64', '']) {
            const {page} = await fieldPage(
                LINKS[0], {url: `${run.server.url}#tcf=${fragment}`, connect: false});
            await page.waitForSelector('#connect-serial:not([disabled])');
            await page.click('#connect-serial');
            assert.equal((await message(page)).id, 108, fragment);
            await answer(page, 'ok');
            await idle(page);
            assert.deepEqual(await state(page), want, fragment);
            await page.browserContext().close();
        }
    });
});

test('a .tcf shared to the installed app opens as File > Open opens it', async () => {
    const {page} = await fieldPage(LINKS[0]);
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, {timeout: 20000});
    // The share sheet's post, as the system sends it to the manifest's share_target.
    const bytes = Array.from({length: 85}, (_, i) => (i * 7) & 0x7f);
    await Promise.all([
        page.waitForNavigation(),
        page.evaluate(
            (bytes) => {
                const form = document.createElement('form');
                Object.assign(
                    form, {method: 'post', enctype: 'multipart/form-data', action: './share'});
                const input =
                    Object.assign(document.createElement('input'), {type: 'file', name: 'tcf'});
                const files = new DataTransfer();
                files.items.add(new File([Uint8Array.from(bytes)], 'tail.tcf'));
                input.files = files.files;
                form.append(input);
                document.body.append(form);
                form.submit();
            },
            bytes),
    ]);
    await page.waitForSelector('#connect-serial:not([disabled])');
    await page.click('#connect-serial');
    await page.waitForFunction(() => /tail\.tcf/.test(document.title));
    await idle(page);
    assert.deepEqual(
        [await unwritten(page), await page.evaluate(() => location.search)], [true, '']);
    await page.browserContext().close();
});
