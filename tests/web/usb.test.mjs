// The adapter over WebUSB (web/site/js/usb-port.js) against a fake FT232R on navigator.usb
// whose line reaches a TestGyro in this process: the chip's set-up, its packets, the page's
// commands through it, unplugging and a device the system's driver holds.
import assert from 'node:assert/strict';
import path from 'node:path';
import {after, before, describe, test} from 'node:test';

import {answer, dragThumb, idle, message, openPage, ready, requireSite, root, serve, settle} from './page-harness.mjs';
import {installFakeUsb} from './support/fake-usb.mjs';
import {launchBrowser, portCalls, wireFrame} from './support/harness.mjs';
import {TestGyro} from './support/test-gyro.mjs';

const READ_REQUEST = 0x07;  // active, caller, read request
const PORT = 1;             // the chip's port A in a request's index

let browser;
let sources;  // web/site as it is, for the port module alone
let site;     // the built site, for the page
before(async () => {
    requireSite();
    browser = await launchBrowser();
    sources = await serve(path.join(root, 'web/site'));
    site = await serve();
});
after(async () => {
    await browser?.close();
    await sources?.close();
    await site?.close();
});

// A page with the fake device joined to a gyro and the adapter's port chosen and opened as
// the adapter opens it.
async function portPage({lineTiming = false, config = {}} = {}) {
    const page = await browser.newPage();
    const gyro = new TestGyro({lineTiming});
    await installFakeUsb(page, gyro, config);
    await page.goto(sources.url + 'js/usb-port.js');
    await page.evaluate(async () => {
        globalThis.portModule = await import('/js/usb-port.js');
        globalThis.disconnects = 0;
        globalThis.port = await portModule.chooseUsbPort();
        port.ondisconnect = () => ++globalThis.disconnects;
        await port.list();
        await port.open('');
        await port.setBaudRate(9600);
        await port.setTimeouts(1000, 1000);
        await port.setDataCharacteristics(8, 2, 2);
    });
    return {page, gyro};
}

const calls = portCalls;

const controls = (page) => page.evaluate(
    () => __fakeUsb.controls.splice(0).map(
        ({request, value, index, status}) => [request, value, index, status]));

describe('WebUSB port', () => {
    test('the chooser asks for the FT232R; opening sets the chip up for 9600 8E2', async () => {
        const {page, gyro} = await portPage();
        assert.deepEqual(
            await page.evaluate(() => __fakeUsb.requests),
            [{filters: [{vendorId: 0x0403, productId: 0x6001}]}]);
        assert.deepEqual(
            await calls(page, [['list']]), [[{serial: 'TB1X7Q2', description: 'TBX-3'}]]);
        // Reset, both buffers dropped, latency 2 ms, no flow control, the divisor 312.5 for
        // 9600 Bd (312 with the code for 1/2 in value bits 14-15), 8 data bits, even, 2 stop.
        assert.deepEqual(await controls(page), [
            [0, 0, PORT, 'ok'],
            [0, 2, PORT, 'ok'],
            [0, 1, PORT, 'ok'],
            [9, 2, PORT, 'ok'],
            [2, 0, PORT, 'ok'],
            [3, 0x4138, 0, 'ok'],
            [4, 8 | (2 << 8) | (2 << 11), PORT, 'ok'],
        ]);
        assert.equal(gyro.lineOk, true);
        // Other rates as the chip decodes their divisors; what the chip cannot do is refused
        // before it goes out.
        const rates = [300, 1200, 19200, 57600, 115200, 685714, 921600, 2000000, 3000000];
        for (const baud of rates) {
            assert.deepEqual(await calls(page, [['setBaudRate', baud]]), ['ok'], `${baud}`);
            const got = await page.evaluate(() => __fakeUsb.line.baud);
            assert.ok(Math.abs(got - baud) <= 0.03 * baud, `${baud} Bd set as ${got}`);
        }
        await controls(page);
        assert.deepEqual(
            await calls(
                page,
                [
                    ['setBaudRate', 0],
                    ['setBaudRate', 100],
                    ['setBaudRate', 2500000],
                    ['setDataCharacteristics', 6, 2, 2],
                    ['setDataCharacteristics', 8, 3, 2],
                    ['setDataCharacteristics', 8, 2, 5],
                    ['purge', 4],
                    ['open', 'TB9X7Q2'],
                ]),
            [
                {ftStatus: 7}, {ftStatus: 7}, {ftStatus: 7}, {ftStatus: 6}, {ftStatus: 6},
                {ftStatus: 6}, {ftStatus: 6}, {ftStatus: 2}
            ]);
        assert.deepEqual(await controls(page), []);
        // A request the chip refuses fails its call, and only that call.
        await page.evaluate(() => (__fakeUsb.stall = [0, 3, 4]));
        assert.deepEqual(
            await calls(
                page, [['setBaudRate', 9600], ['setDataCharacteristics', 8, 2, 2], ['purge', 1]]),
            [{ftStatus: 7}, {ftStatus: 6}, {ftStatus: 4}]);
        await page.evaluate(() => (__fakeUsb.stall = []));
        await controls(page);
        // Purges: receive drops what the chip received from the line, transmit what it holds.
        assert.deepEqual(await calls(page, [['purge', 1], ['purge', 2]]), ['ok', 'ok']);
        assert.deepEqual(await controls(page), [[0, 2, PORT, 'ok'], [0, 1, PORT, 'ok']]);
        await page.close();
    });

    test(
        'reads take every packet\'s data without its status bytes, lose nothing to time-outs or a purge',
        async () => {
            for (const lineTiming of [false, true]) {
                const {page, gyro} = await portPage({lineTiming});
                const request = wireFrame(gyro.record, 0, READ_REQUEST);
                const got = await page.evaluate(async (request) => {
                    await port.write(Uint8Array.of(0x55, 0x55, 0x55));
                    while (port.queued() < 3) await new Promise((r) => setTimeout(r, 2));
                    await port.purge(1);
                    const purged = port.queued();
                    __fakeUsb.inTransfers.length = 0;
                    await port.write(Uint8Array.from(request));
                    const parts = [];
                    let reply = [];
                    while (reply.length < 101) {
                        const part = await port.read(101 - reply.length, 15);
                        parts.push(part.length);
                        reply = reply.concat(Array.from(part));
                    }
                    const late = await port.read(1, 30);
                    return {
                        purged,
                        reply,
                        parts,
                        late: late.length,
                        queued: port.queued(),
                        packets: __fakeUsb.inTransfers.slice()
                    };
                }, request);
                const what = `line timing ${lineTiming}`;
                assert.equal(got.purged, 0, what);
                assert.deepEqual(
                    got.reply, [...request, 0xa1, ...gyro.record.subarray(1, 84)], what);
                assert.deepEqual([got.late, got.queued], [0, 0], what);
                // At once the 101 bytes come as one transfer of a full and a short packet; on the
                // line's time in several, with packets of status bytes alone between.
                const packets = got.packets.flat();
                if (!lineTiming)
                    assert.ok(got.packets.some((p) => p.length === 2 && p[0] === 64), what);
                else {
                    assert.ok(got.parts.length >= 2, `${what}: reads ${got.parts}`);
                    assert.ok(packets.includes(2), `${what}: packets ${packets}`);
                }
                assert.equal(packets.reduce((a, n) => a + n - 2, 0), 101, what);
                await page.close();
            }
        });

    test(
        'a device that goes away fails what waits and every later call with 4, and says so once',
        async () => {
            const triggers = {
                'a write past the point': (page, frame) => page.evaluate(
                    async (frame) => {
                        __fakeUsb.disappearAfter = __fakeUsb.written + 17;
                        const pending = port.read(500, 60000).then(() => 'read', (e) => e.ftStatus);
                        const first = await port.write(Uint8Array.from(frame))
                                          .then((n) => n, (e) => e.ftStatus);
                        const second = await port.write(Uint8Array.from(frame))
                                           .then((n) => n, (e) => e.ftStatus);
                        return [first, second, await pending];
                    },
                    frame),
                'unplugged while reading': (page) => page.evaluate(async () => {
                    const pending = port.read(500, 60000).then(() => 'read', (e) => e.ftStatus);
                    setTimeout(() => __fakeUsb.unplug(), 20);
                    return [await pending];
                }),
            };
            for (const [name, trigger] of Object.entries(triggers)) {
                const {page, gyro} = await portPage();
                const first = await trigger(page, wireFrame(gyro.record, 0, READ_REQUEST));
                assert.deepEqual(first, name.startsWith('a write') ? [17, 4, 4] : [4], name);
                const later = await calls(page, [
                    ['list'],
                    ['open', ''],
                    ['setBaudRate', 9600],
                    ['purge', 1],
                    ['read', 1, 10],
                    ['write', [1]],
                    ['close'],
                ]);
                assert.deepEqual(later, new Array(7).fill({ftStatus: 4}), name);
                assert.equal(await page.evaluate(() => disconnects), 1, name);
                await page.close();
            }
        });

    test(
        'idle, the link stops asking for IN packets; a read or write asks again and loses nothing',
        async () => {
            const {page, gyro} = await portPage({lineTiming: true});
            const request = wireFrame(gyro.record, 0, READ_REQUEST);
            const got = await page.evaluate(async (request) => {
                const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
                const count = async (ms) => {
                    __fakeUsb.inTransfers.length = 0;
                    await sleep(ms);
                    return __fakeUsb.inTransfers.length;
                };
                // While a read waits the link polls: at 2 ms latency about 500 transfers a
                // second.
                __fakeUsb.inTransfers.length = 0;
                await port.read(1, 150);
                const open = __fakeUsb.inTransfers.length;
                await sleep(1100);
                const idle = await count(500);
                // Bytes that come while nobody asks wait in the chip.
                await port.write(Uint8Array.from(request));
                const reply = await port.read(101, 1000);
                await sleep(1100);
                port.device.fromGyro([1, 2, 3]);
                const idleAgain = await count(300);
                const waiting = await port.read(3, 500);
                return {open, idle, reply: reply.length, idleAgain, waiting: Array.from(waiting)};
            }, request);
            assert.ok(got.open >= 10, `transfers while in use: ${got.open}`);
            assert.deepEqual(
                [got.idle, got.reply, got.idleAgain, got.waiting], [0, 101, 0, [1, 2, 3]]);
            await page.close();
        });

    test('error flags in a packet\'s line status fail the read of its bytes once', async () => {
        // Overrun, parity and framing spoil the bytes; break, and the transmitter's empty
        // flags every packet carries, do not.
        for (const [flags, first] of [
                 [0x02, {ftStatus: 4}], [0x04, {ftStatus: 4}], [0x08, {ftStatus: 4}],
                 [0x0e, {ftStatus: 4}], [0x10, 101]]) {
            const {page, gyro} = await portPage();
            const request = wireFrame(gyro.record, 0, READ_REQUEST);
            const got = await page.evaluate(async (request, flags) => {
                const ask = async () => {
                    await port.purge(1);
                    await port.write(Uint8Array.from(request));
                    return port.read(101, 1000).then(
                        (r) => r.length, (e) => ({ftStatus: e.ftStatus}));
                };
                const settled = async (count) => {
                    while (port.queued() < count) await new Promise((r) => setTimeout(r, 2));
                };
                __fakeUsb.lineStatus = flags;
                const spoiled = await ask();
                // The failed read left the reply's bytes; once all of them are in, they go,
                // so that the next reply's first packet is the one the flags come with.
                if (typeof spoiled !== 'number') await settled(101);
                await port.purge(1);
                // Without a read waiting, the flags fail the next read instead.
                __fakeUsb.lineStatus = flags;
                await port.write(Uint8Array.from(request));
                await settled(101);
                const later = await port.read(101, 1000).then(
                    (r) => r.length, (e) => ({ftStatus: e.ftStatus}));
                return [spoiled, later, await ask(), disconnects];
            }, request, flags);
            assert.deepEqual(got, [first, first, 101, 0], `flags ${flags}`);
            await page.close();
        }
    });
});

// ---- The page over WebUSB ----------------------------------------------------------------------

// The page with the fake device joined to a gyro; connected over USB unless connect is false.
async function sitePage({config = {}, connect = true, url = site.url, phone = false} = {}) {
    const gyro = new TestGyro();
    const page = await openPage(browser, url, {
        before: async (p) => {
            await installFakeUsb(p, gyro, config);
            if (phone)
                await p.setViewport({width: 390, height: 844, hasTouch: true, isMobile: true});
        },
    });
    await page.waitForSelector('#connect-usb:not([hidden])');
    await page.waitForFunction(
        () => globalThis.tarvexModule && !document.querySelector('#connect-usb').disabled);
    if (connect) await connectUsb(page);
    return {page, gyro};
}

async function connectUsb(page) {
    await page.click('#connect-usb');
    await ready(page);
}

// Clicks (or taps) a control and gives the message box it ends with (answered), or null.
async function clickFor(page, id, tap = false) {
    const selector = `[data-control="${id}"]`;
    if (tap)
        await tapOn(page, selector);
    else
        await page.click(selector);
    const box = (await settle(page)) ? await message(page) : null;
    if (box) {
        if (tap)
            await tapOn(page, `#message[open] button[value="${box.buttons[0]}"]`);
        else
            await answer(page, box.buttons[0]);
        await page.waitForSelector('#message:not([open])');
    }
    await idle(page);
    return box && box.id;
}

async function tapOn(page, selector, at = 0.5) {
    const element = await page.waitForSelector(selector);
    await element.scrollIntoView();
    const box = await element.boundingBox();
    await page.touchscreen.tap(box.x + box.width * at, box.y + box.height / 2);
}

// What the gyro saw, frame by frame: kind and page.
const kinds = (frames) => frames.map(
    (f) => f.length === 25 ? 'bus' :
        f[15] & 4          ? 'read' :
        f[15] & 8          ? `page ${f[5]}` :
                 f[15] & 0x10 ? 'limit' :
                                'close');
const WRITE = [...Array.from({length: 9}, (_, p) => `page ${p}`), 'close', 'read'];

const until = async (what, ok) => {
    for (let i = 0; i < 250 && !ok(); ++i) await new Promise((r) => setTimeout(r, 20));
    assert.ok(ok(), what);
};

describe('the page over WebUSB', () => {
    test(
        'Read, Write with its read-back and the limit stream reach the gyro as its frames',
        async () => {
            const {page, gyro} = await sitePage();
            assert.equal(await clickFor(page, 1059), 117);
            assert.deepEqual(kinds(gyro.frames), ['read']);
            assert.equal(await page.$eval('[data-control="1001"]', (e) => e.value), '4242');
            const before = Uint8Array.from(gyro.record);
            await page.focus('[data-control="1036"]');
            await page.keyboard.press('ArrowRight');
            await idle(page);
            gyro.frames = [];
            assert.equal(await clickFor(page, 1060), 105);
            assert.deepEqual(kinds(gyro.frames), WRITE);
            assert.notDeepEqual(gyro.record.subarray(4, 84), before.subarray(4, 84));
            // The limit setting: bus frames the servo follows, until Enter is released.
            gyro.frames = [];
            assert.equal(await clickFor(page, 1051), null);
            await until('bus frames', () => gyro.frames.filter((f) => f.length === 25).length >= 2);
            const slider = () => page.$eval('[data-control="1058"]', (e) => Number(e.value));
            assert.deepEqual([gyro.limitMode, gyro.servo], [true, await slider()]);
            await page.focus('[data-control="1058"]');
            await page.keyboard.press('PageUp');
            const moved = await slider();
            await until(`the servo at ${moved}`, () => gyro.servo === moved);
            assert.equal(await clickFor(page, 1051), 132);
            assert.deepEqual([gyro.limitMode, gyro.servo], [false, 1024]);
            await page.browserContext().close();
        });

    test(
        'unplugged during Write: the write error, nothing hangs; plugged in and chosen again, it works',
        async () => {
            const {page, gyro} = await sitePage();
            assert.equal(await clickFor(page, 1059), 117);
            const before = Uint8Array.from(gyro.record);
            gyro.frames = [];
            // Gone in the middle of the fourth page frame.
            await page.evaluate(() => (__fakeUsb.disappearAfter = __fakeUsb.written + 3 * 17 + 5));
            assert.equal(await clickFor(page, 1060), 104);
            assert.deepEqual(kinds(gyro.frames), ['page 0', 'page 1', 'page 2']);
            assert.deepEqual(gyro.record, before);
            assert.equal(await clickFor(page, 1059), 103);
            // Back to the start screen, the adapter plugged in again and chosen: Read works.
            await page.evaluate(() => {
                __fakeUsb.disappearAfter = Infinity;
                __fakeUsb.replug();
            });
            await page.focus('[data-control="1036"]');
            await page.keyboard.press('Escape');
            // Asked whether to write the unwritten values first: no.
            for (;;) {
                await page.waitForSelector('#start:not([hidden]), #message[open]');
                if (!(await page.$('#message[open]'))) break;
                await answer(page, (await message(page)).buttons.includes('no') ? 'no' : 'ok');
            }
            gyro.frames = [];
            await connectUsb(page);
            assert.equal(await clickFor(page, 1059), 117);
            assert.deepEqual(kinds(gyro.frames), ['read']);
            assert.equal(await page.evaluate(() => tarvexPort.serial), 'TB2X7Q2');
            await page.browserContext().close();
        });

    test(
        'a device the system\'s driver holds: the start screen says so, in the page\'s language',
        async () => {
            for (const [lang, words] of [
                     ['en', /serial driver may hold it/], ['de', /serielle Treiber/]]) {
                const {page} = await sitePage(
                    {config: {failClaim: true}, connect: false, url: `${site.url}?lang=${lang}`});
                await page.click('#connect-usb');
                await page.waitForFunction(
                    () => document.querySelector('#start-status').textContent !== '');
                const seen = await page.evaluate(
                    () => ({
                        status: document.querySelector('#start-status').textContent,
                        window: !document.querySelector('#window').hidden,
                        claims: __fakeUsb.claims,
                        opened: __fakeUsb.controls.length,
                    }));
                assert.match(seen.status, words, lang);
                assert.deepEqual([seen.window, seen.claims, seen.opened], [false, 1, 0], lang);
                await page.browserContext().close();
            }
        });

    test('a phone without Web Serial, 390×844: Read, a change and Write by touch', async () => {
        const {page, gyro} =
            await sitePage({config: {noSerial: true}, connect: false, phone: true});
        assert.deepEqual(
            await page.evaluate(
                () =>
                    [innerWidth, navigator.maxTouchPoints > 0,
                     document.querySelector('#connect-serial').hidden,
                     document.querySelector('#no-serial').hidden,
                     document.querySelector('#connect-usb').classList.contains('primary')]),
            [390, true, true, true, true]);
        await tapOn(page, '#connect-usb');
        await ready(page);
        assert.equal(await clickFor(page, 1059, true), 117);
        const slider = () => page.$eval('[data-control="1036"]', (e) => Number(e.value));
        const read = await slider();
        const high = await page.$eval(
            '[data-control="1036"]', (e) => Number(e.value) > (Number(e.min) + Number(e.max)) / 2);
        await dragThumb(page, '[data-control="1036"]', high ? 0.1 : 0.9);
        await idle(page);
        assert.notEqual(await slider(), read);
        const before = Uint8Array.from(gyro.record);
        gyro.frames = [];
        assert.equal(await clickFor(page, 1060, true), 105);
        assert.deepEqual(kinds(gyro.frames), WRITE);
        assert.notDeepEqual(gyro.record.subarray(4, 84), before.subarray(4, 84));
        await page.browserContext().close();
        // Offline the phone still has the link: the service worker's copy holds the port.
        const sw = await (await fetch(site.url + 'sw.js')).text();
        assert.ok(sw.includes('\'./js/usb-port.js\''), 'usb-port.js in the offline copy');
    });
});
