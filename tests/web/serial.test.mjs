// The adapter over Web Serial (web/site/js/serial-port.js) against a fake navigator.serial
// whose bytes reach a TestGyro in this process.
import assert from 'node:assert/strict';
import path from 'node:path';
import {after, before, describe, test} from 'node:test';
import {fileURLToPath} from 'node:url';

import {answer, clickAnswered, idle, message, openPage, ready, requireSite, serve as servePage} from './page-harness.mjs';
import {installFakeSerial} from './support/fake-serial.mjs';
import {launchBrowser, portCalls, wireFrame} from './support/harness.mjs';
import {TestGyro} from './support/test-gyro.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const LINE = {
    baudRate: 9600,
    dataBits: 8,
    parity: 'even',
    stopBits: 2,
    flowControl: 'none'
};
const READ_REQUEST = 0x07;  // active, caller, read request

let browser;
let server;
before(async () => {
    browser = await launchBrowser();
    // The port module alone, from the page's sources.
    server = await servePage(path.join(root, 'web/site'));
});
after(async () => {
    await browser?.close();
    server?.close();
});

// A page with the fake port joined to a gyro, and the adapter's port chosen and (unless
// open is false) opened as the adapter opens it.
async function portPage({lineTiming = false, config = {}, open = true} = {}) {
    const page = await browser.newPage();
    const gyro = new TestGyro({lineTiming});
    await installFakeSerial(page, gyro, config);
    await page.goto(server.url + 'js/serial-port.js');
    await page.evaluate(async (open) => {
        globalThis.portModule = await import('/js/serial-port.js');
        globalThis.disconnects = 0;
        globalThis.port = await portModule.chooseSerialPort();
        if (!port) return;
        port.ondisconnect = () => ++globalThis.disconnects;
        if (!open) return;
        await port.list();
        await port.open('');
        await port.setBaudRate(9600);
        await port.setTimeouts(1000, 1000);
        await port.setDataCharacteristics(8, 2, 2);
    }, open);
    return {page, gyro};
}

const calls = portCalls;

describe('Web Serial port', () => {
    test('the chooser shows FTDI devices; a cancelled chooser gives no port', async () => {
        for (const cancelChooser of [false, true]) {
            const {page} = await portPage({config: {cancelChooser}, open: false});
            const seen = await page.evaluate(() => ({
                                                 chosen: port !== null,
                                                 has: portModule.hasWebSerial(),
                                                 requests: __fakeSerial.requests,
                                                 opens: __fakeSerial.opens.length,
                                             }));
            assert.deepEqual(seen, {
                chosen: !cancelChooser,
                has: true,
                opens: 0,
                requests: [{filters: [{usbVendorId: 0x0403}]}]
            });
            await page.close();
        }
    });

    test(
        'opens the line when it is known, refuses what Web Serial cannot set, reopens after close',
        async () => {
            const cases = [
                {baud: 9600, codes: [8, 2, 2], want: ['ok', 'ok', 'ok'], opens: [LINE]},
                {
                    baud: 19200,
                    codes: [7, 0, 1],
                    want: ['ok', 'ok', 'ok'],
                    opens: [{...LINE, baudRate: 19200, dataBits: 7, stopBits: 1, parity: 'odd'}]
                },
                {
                    baud: 9600,
                    codes: [8, 1, 2],
                    want: ['ok', 'ok', {ftStatus: 6}],
                    opens: []
                },  // 1.5 stop bits
                {
                    baud: 9600,
                    codes: [8, 2, 3],
                    want: ['ok', 'ok', {ftStatus: 6}],
                    opens: []
                },  // mark parity
                {baud: 9600, codes: [5, 2, 2], want: ['ok', 'ok', {ftStatus: 6}], opens: []},
                {
                    baud: 0,
                    codes: [8, 2, 2],
                    want: [{ftStatus: 7}, 'ok', 'ok'],
                    opens: [{...LINE, baudRate: 9600}]
                },
            ];
            for (const {baud, codes, want, opens} of cases) {
                const {page} = await portPage({open: false});
                const got = await calls(page, [
                    ['open', ''], ['setBaudRate', baud], ['setTimeouts', 1000, 1000],
                    ['setDataCharacteristics', ...codes]
                ]);
                assert.deepEqual(got.slice(1), want, `baud ${baud}, codes ${codes}`);
                assert.deepEqual(
                    await page.evaluate(() => __fakeSerial.opens), opens,
                    `baud ${baud}, codes ${codes}`);
                await page.close();
            }
            // Closing lets go of the streams (a locked stream keeps a port from closing) and the
            // open sequence works again; a call before the line is open is refused.
            const {page} = await portPage();
            const got = await calls(page, [
                ['close'], ['read', 1, 10], ['open', 'other'], ['open', ''], ['setBaudRate', 9600],
                ['setTimeouts', 1000, 1000], ['setDataCharacteristics', 8, 2, 2], ['queued']
            ]);
            assert.deepEqual(got, ['ok', {ftStatus: 3}, {ftStatus: 2}, 'ok', 'ok', 'ok', 'ok', 0]);
            assert.deepEqual(
                await page.evaluate(() => [__fakeSerial.opens, __fakeSerial.closes]),
                [[LINE, LINE], 1]);
            await page.close();
        });

    test(
        'reads take from one receive buffer: purge, time-outs and leftovers lose no byte',
        async () => {
            const {page, gyro} = await portPage({lineTiming: true});
            const request = wireFrame(gyro.record, 0, READ_REQUEST);
            const got = await page.evaluate(async (request) => {
                await port.write(Uint8Array.of(0x55, 0x55, 0x55));
                while (port.queued() < 3) await new Promise((r) => setTimeout(r, 2));
                await port.purge(1);
                const purged = port.queued();
                await port.write(Uint8Array.from(request));
                // Short time-outs while the reply is on the line: each read ends early with what
                // has come; the rest keeps arriving into the buffer.
                const parts = [];
                let reply = [];
                while (reply.length < 101) {
                    const part = await port.read(101 - reply.length, 15);
                    parts.push(part.length);
                    reply = reply.concat(Array.from(part));
                }
                const late = await port.read(1, 30);
                return {purged, reply, parts, late: late.length, queued: port.queued()};
            }, request);
            assert.equal(got.purged, 0);
            assert.ok(got.parts.length >= 2, `reads ${got.parts}`);
            assert.deepEqual(got.reply, [...request, 0xa1, ...gyro.record.subarray(1, 84)]);
            assert.deepEqual([got.late, got.queued], [0, 0]);
            assert.deepEqual(gyro.frames.map((f) => f[15]), [READ_REQUEST]);
            await page.close();
        });

    test(
        'a long write returns when the rest fits the 128-byte transmit buffer; writes keep their order',
        async () => {
            const {page, gyro} = await portPage({lineTiming: true});
            // Each write as the line gets it, with the bytes it still carried then.
            const writes = [];
            const write = gyro.write.bind(gyro);
            gyro.write = (bytes) =>
                writes.push([bytes.length, gyro.pending.length]) && write(bytes);
            const got = await page.evaluate(async () => {
                const burst = port.write(new Uint8Array(1000).fill(0x55));
                // A stream tick while the burst drains goes out after it.
                const tick = port.write(Uint8Array.of(0x0f, ...new Array(24).fill(0)));
                const written = [await burst, await tick];
                const echo = Array.from(await port.read(1025, 3000));
                return {written, echo: echo.length, order: echo.findIndex((b) => b !== 0x55)};
            });
            // The burst's head went through the line before its last 128 bytes were handed over.
            assert.deepEqual(writes.map(([n]) => n), [872, 128, 25]);
            assert.ok(
                writes[1][1] <= 4, `bytes still on the line before the last 128: ${writes[1][1]}`);
            assert.deepEqual(got, {written: [1000, 25], echo: 1025, order: 1000});
            assert.deepEqual(gyro.frames.map((f) => f.length), [25]);
            await page.close();
        });

    test(
        'a port that disappears fails what waits and every later call with 4, and says so once',
        async () => {
            const triggers = {
                'a write past the point': async (page, frame) => page.evaluate(
                    async (frame) => {
                        __fakeSerial.disappearAfter = 17;
                        const pending = port.read(500, 60000).then(() => 'read', (e) => e.ftStatus);
                        const first = await port.write(Uint8Array.from(frame))
                                          .then((n) => n, (e) => e.ftStatus);
                        const second = await port.write(Uint8Array.from(frame))
                                           .then((n) => n, (e) => e.ftStatus);
                        return [first, second, await pending];
                    },
                    frame),
                'unplugged while reading': async (page) => page.evaluate(async () => {
                    const pending = port.read(500, 60000).then(() => 'read', (e) => e.ftStatus);
                    setTimeout(() => __fakeSerial.port.disappear(), 20);
                    return [await pending];
                }),
            };
            for (const [name, trigger] of Object.entries(triggers)) {
                const {page, gyro} = await portPage();
                const frame = wireFrame(gyro.record, 0, READ_REQUEST);
                const first = await trigger(page, frame);
                assert.deepEqual(first, name.startsWith('a write') ? [17, 4, 4] : [4], name);
                const later = await calls(page, [
                    ['list'], ['open', ''], ['setBaudRate', 9600], ['purge', 1], ['read', 1, 10],
                    ['write', [1]], ['close']
                ]);
                assert.deepEqual(later, new Array(7).fill({ftStatus: 4}), name);
                assert.equal(await page.evaluate(() => disconnects), 1, name);
                assert.equal(gyro.frames.length, name.startsWith('a write') ? 1 : 0, name);
                await page.close();
            }
        });

    test('a line error with the reply fails that read once; a break does not', async () => {
        for (const [name, first] of [
                 ['ParityError', {ftStatus: 4}], ['FramingError', {ftStatus: 4}],
                 ['BufferOverrunError', {ftStatus: 4}], ['BreakError', 101]]) {
            const {page, gyro} = await portPage();
            const request = wireFrame(gyro.record, 0, READ_REQUEST);
            const got = await page.evaluate(async (request, name) => {
                const ask = async () => {
                    await port.purge(1);
                    await port.write(Uint8Array.from(request));
                    return port.read(101, 1000).then(
                        (r) => r.length, (e) => ({ftStatus: e.ftStatus}));
                };
                __fakeSerial.lineError = name;
                const spoiled = await ask();
                // Without a read waiting, the error fails the next read instead.
                __fakeSerial.lineError = name;
                await port.write(Uint8Array.from(request));
                while (port.queued() < 101) await new Promise((r) => setTimeout(r, 2));
                const later = await port.read(101, 1000).then(
                    (r) => r.length, (e) => ({ftStatus: e.ftStatus}));
                return [spoiled, later, await ask(), disconnects];
            }, request, name);
            assert.deepEqual(got, [first, first, 101, 0], name);
            await page.close();
        }
    });
});

// ---- The page over Web Serial ------------------------------------------------------------------

// The page with the fake port joined to a gyro; connected unless connect is false.
async function sitePage(siteServer, {config = {}, connect = true} = {}) {
    const gyro = new TestGyro();
    const page = await openPage(
        browser, siteServer.url, {before: (page) => installFakeSerial(page, gyro, config)});
    await page.waitForSelector('#connect-serial:not([hidden])');
    await page.waitForFunction(() => globalThis.tarvexModule);
    if (connect) {
        await page.click('#connect-serial');
        await ready(page);
    }
    return {page, gyro};
}

// Clicks a control and gives the message box it ends with (answered), or null.
async function clickFor(page, id) {
    const box = await clickAnswered(page, id);
    return box && {id: box.id, icon: box.icon, text: box.text};
}

// What the gyro saw, frame by frame: kind, page, ID and the nine payload bytes.
const seen = (frames) => frames.map((f) => f.length === 25 ? {kind: 'bus'} : {
    kind: f[15] & 4  ? 'read' :
        f[15] & 8    ? 'page' :
        f[15] & 0x10 ? 'limit' :
        f[15] & 0x1f ? '?' :
                       'close',
    page: f[5],
    id: (f[3] << 8) | f[4],
    payload: Array.from(f.subarray(6, 15)),
});

describe('the page over Web Serial', () => {
    let siteServer;
    before(async () => {
        requireSite();
        siteServer = await servePage();
    });
    after(() => siteServer?.close());

    test('Read and Write reach the gyro as its frames, on the line the adapter sets', async () => {
        const {page, gyro} = await sitePage(siteServer);
        assert.deepEqual(await page.evaluate(() => __fakeSerial.opens), [LINE]);
        assert.deepEqual(
            await clickFor(page, 1059),
            {id: 117, icon: 'information', text: await text(page, 117)});
        const record = Uint8Array.from(gyro.record);
        // The first Read asks with an empty record (ID 0); the reply fills the window.
        assert.deepEqual(seen(gyro.frames).map((f) => [f.kind, f.id]), [['read', 0]]);
        assert.equal(await page.$eval('[data-control="1001"]', (e) => e.value), '4242');
        // One value changed: the pages carry the new image, the closing frame stores it (the
        // gyro seals the checksum word), the check reads it back.
        await page.focus('[data-control="1036"]');
        await page.keyboard.press('ArrowRight');
        await idle(page);
        gyro.frames = [];
        assert.equal((await clickFor(page, 1060)).id, 105);
        const frames = seen(gyro.frames);
        assert.deepEqual(frames.map((f) => [f.kind, f.page, f.id]), [
            ...Array.from({length: 9}, (_, p) => ['page', p, 4242]), ['close', 0, 4242],
            ['read', 0, 4242]
        ]);
        const image = frames.slice(0, 9).flatMap((f) => f.payload).slice(0, 80);
        assert.deepEqual(Array.from(gyro.record.subarray(6, 84)), image.slice(2));
        assert.notDeepEqual(gyro.record.subarray(4, 84), record.subarray(4, 84));
        let sum = 0;
        for (let j = 4; j < 84; j += 2) sum += (gyro.record[j] << 8) | gyro.record[j + 1];
        assert.equal(sum & 0xffff, 0);
        await page.browserContext().close();
    });

    test('an adapter unplugged during Write gives the write error and nothing hangs', async () => {
        const {page, gyro} = await sitePage(siteServer);
        assert.equal((await clickFor(page, 1059)).id, 117);
        const before = Uint8Array.from(gyro.record);
        gyro.frames = [];
        // Gone in the middle of the fourth page frame.
        await page.evaluate(
            () => (__fakeSerial.disappearAfter = __fakeSerial.written + 3 * 17 + 5));
        const box = await clickFor(page, 1060);
        assert.deepEqual(box, {id: 104, icon: 'stop', text: 'Write error'});
        assert.deepEqual(
            seen(gyro.frames).map((f) => [f.kind, f.page]),
            [['page', 0], ['page', 1], ['page', 2]]);
        assert.deepEqual(gyro.record, before);
        // The page takes input again: a Read now fails at once with the read error.
        assert.equal((await clickFor(page, 1059)).id, 103);
        await page.browserContext().close();
    });

    test(
        'the limit setting streams bus frames the servo follows; an unplugged adapter ends it with the write error',
        async () => {
            const {page, gyro} = await sitePage(siteServer);
            assert.equal((await clickFor(page, 1059)).id, 117);
            const slider = () => page.$eval('[data-control="1058"]', (e) => Number(e.value));
            const until = async (what, ok) => {
                for (let i = 0; i < 250 && !ok(); ++i) await new Promise((r) => setTimeout(r, 20));
                assert.ok(ok(), what);
            };
            const busFrames = () => gyro.frames.filter((f) => f.length === 25).length;
            assert.equal(
                await clickFor(page, 1051), null);  // Enter: the limit mode, then the stream
            await until('bus frames', () => busFrames() >= 2);
            assert.equal(gyro.limitMode, true);
            assert.equal(gyro.servo, await slider());
            await page.focus('[data-control="1058"]');
            await page.keyboard.press('PageUp');
            const moved = await slider();
            await until(`the servo at ${moved}`, () => gyro.servo === moved);
            // Releasing Enter: the limit mode ends and the servo is centred.
            assert.equal((await clickFor(page, 1051)).id, 132);
            assert.deepEqual([gyro.limitMode, gyro.servo], [false, 1024]);
            // Unplugged while streaming: the stream's failed write is reported once.
            assert.equal(await clickFor(page, 1051), null);
            await until('the stream again', () => gyro.limitMode);
            await page.evaluate(() => __fakeSerial.port.disappear());
            await page.waitForSelector('#message[open]');
            assert.deepEqual(
                await page.$eval('#message', (d) => [Number(d.dataset.id), d.dataset.icon]),
                [104, 'stop']);
            await answer(page, 'ok');
            await idle(page);
            assert.equal(await page.$('#message[open]'), null);
            await page.browserContext().close();
        });

    test('a cancelled chooser changes nothing', async () => {
        const {page} = await sitePage(siteServer, {config: {cancelChooser: true}, connect: false});
        await page.click('#connect-serial');
        await page.waitForFunction(() => __fakeSerial.requests.length === 1);
        await page.evaluate(
            () => new Promise((r) => setTimeout(r, 100)));  // let the click's handler end
        assert.deepEqual(
            await page.evaluate(() => ({
                                    start: !document.querySelector('#start').hidden,
                                    window: !document.querySelector('#window').hidden,
                                    message: !!document.querySelector('dialog[open]'),
                                    status: document.querySelector('#start-status').textContent,
                                    opens: __fakeSerial.opens.length,
                                })),
            {start: true, window: false, message: false, status: '', opens: 0});
        await page.browserContext().close();
    });
});

const text = (page, id) => page.evaluate((id) => tarvexModule.tarvexText(id), id);
