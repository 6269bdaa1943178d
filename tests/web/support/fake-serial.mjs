// A fake Web Serial for the page: navigator.serial with one FTDI port whose bytes cross to a
// TestGyro in the test's process. Installed before any page script runs.
//
// The page side keeps globalThis.__fakeSerial: opens (the options of every open()),
// requests (requestPort's options), closes, written (bytes that reached the line) and two
// hooks a test may set at any time: granted (the port allowed on an earlier visit),
// unplug() and replug() (a new port object for the same adapter), cancelChooser (requestPort
// rejects NotFoundError, as a user closing the chooser), disappearAfter (the port disappears
// once that many bytes were written: the write that goes past fails, 'disconnect' fires, the
// streams error) and lineError (the name of a line error, e.g. 'ParityError': the readable
// errors with it right after the next bytes it gives, as Chromium's does, and the port gives
// a fresh one). Closing the writable waits until the line has carried its bytes, as
// Chromium's drain does.
import {gyroToPage} from './harness.mjs';

function pageSide(config) {
    const state = {
        cancelChooser: !!config.cancelChooser,
        disappearAfter: config.disappearAfter ?? Infinity,
        lineError: null,
        written: 0,
        opens: [],
        requests: [],
        closes: 0,
    };
    globalThis.__fakeSerial = state;
    const lost = () => new DOMException('The device has been lost.', 'NetworkError');
    let serial;

    class FakeSerialPort extends EventTarget {
        constructor() {
            super();
            this.isOpen = false;
            this.gone = false;
            this.streams = {readable: null, writable: null};
            this.controllers = {};
        }
        getInfo() { return {usbVendorId: 0x0403, usbProductId: 0x6001}; }
        async open(options) {
            state.opens.push(JSON.parse(JSON.stringify(options)));
            if (this.gone) throw new DOMException('Failed to open serial port.', 'NetworkError');
            if (this.isOpen)
                throw new DOMException('The port is already open.', 'InvalidStateError');
            await globalThis.__fakeSerialOpen(options);
            this.isOpen = true;
        }
        get readable() {
            if (!this.isOpen) return null;
            if (!this.streams.readable) this.streams.readable = this.makeReadable();
            return this.streams.readable;
        }
        get writable() {
            if (!this.isOpen) return null;
            if (!this.streams.writable) this.streams.writable = this.makeWritable();
            return this.streams.writable;
        }
        makeReadable() {
            let stopped = false;
            return new ReadableStream({
                start: (c) => void (this.controllers.readable = c),
                pull: async (c) => {
                    // The test's side answers when bytes have arrived ([] once stopped).
                    for (;;) {
                        const bytes = await globalThis.__fakeSerialReceive();
                        if (stopped || this.gone) return;
                        if (!bytes.length) continue;
                        c.enqueue(Uint8Array.from(bytes));
                        if (state.lineError) {
                            const name = state.lineError;
                            state.lineError = null;
                            this.streams.readable = null;
                            c.error(new DOMException('A line error occurred.', name));
                        }
                        return;
                    }
                },
                cancel: () => {
                    stopped = true;
                    this.streams.readable = null;
                    return globalThis.__fakeSerialStopReceive();
                },
            });
        }
        makeWritable() {
            return new WritableStream({
                start: (c) => void (this.controllers.writable = c),
                write: async (chunk) => {
                    if (this.gone) throw lost();
                    const bytes = new Uint8Array(
                        ArrayBuffer.isView(chunk) ? chunk.buffer : chunk, chunk.byteOffset ?? 0,
                        chunk.byteLength);
                    const room = Math.max(0, state.disappearAfter - state.written);
                    const passed = bytes.subarray(0, Math.min(room, bytes.length));
                    state.written += passed.length;
                    if (passed.length) await globalThis.__fakeSerialSend(Array.from(passed));
                    if (passed.length < bytes.length) {
                        this.disappear();
                        throw lost();
                    }
                },
                close: async () => {
                    await globalThis.__fakeSerialDrain();
                    this.streams.writable = null;
                },
                abort: () => void (this.streams.writable = null),
            });
        }
        async close() {
            if (this.gone) return;
            if (!this.isOpen)
                throw new DOMException('The port is already closed.', 'InvalidStateError');
            const {readable, writable} = this.streams;
            if (readable?.locked || writable?.locked)
                throw new TypeError('Cannot close a locked stream');
            if (readable) await readable.cancel();
            if (writable) await writable.abort();
            this.isOpen = false;
            state.closes += 1;
            await globalThis.__fakeSerialStopReceive();
        }
        disappear() {
            if (this.gone) return;
            this.gone = true;
            this.isOpen = false;
            const error = lost();
            for (const c of Object.values(this.controllers)) {
                try {
                    c.error(error);
                } catch {
                    // already closed
                }
            }
            this.streams = {readable: null, writable: null};
            globalThis.__fakeSerialStopReceive();
            // Chromium fires the event at the port and it bubbles to navigator.serial.
            this.dispatchEvent(new Event('disconnect'));
            const event = new Event('disconnect');
            Object.defineProperty(event, 'target', {value: this});
            serial.dispatchEvent(event);
        }
    }

    let port = new FakeSerialPort();
    let granted = !!config.granted;  // a port allowed on an earlier visit
    class FakeSerial extends EventTarget {
        async requestPort(options) {
            state.requests.push(JSON.parse(JSON.stringify(options ?? {})));
            if (state.cancelChooser)
                throw new DOMException('No port selected by the user.', 'NotFoundError');
            granted = true;
            return port;
        }
        async getPorts() { return granted && !port.gone ? [port] : []; }
    }
    serial = new FakeSerial();
    state.port = port;
    state.unplug = () => port.disappear();
    // The adapter plugged in again: Chromium hands a new port object for it.
    // quiet: no 'connect' event reaches the page.
    state.replug = (quiet = false) => {
        port = new FakeSerialPort();
        state.port = port;
        if (quiet) return;
        const event = new Event('connect');
        Object.defineProperty(event, 'target', {value: port});
        serial.dispatchEvent(event);
    };
    Object.defineProperty(Navigator.prototype, 'serial', {
        configurable: true,
        enumerable: true,
        get: () => serial,
    });
}

// Puts the fake into every document the page loads, joined to gyro (a TestGyro).
export async function installFakeSerial(page, gyro, config = {}) {
    const link = gyroToPage(gyro);
    const line = {baudRate: 9600, dataBits: 8, parity: 'even', stopBits: 2};
    await page.exposeFunction('__fakeSerialOpen', (options) => {
        gyro.lineOk = Object.entries(line).every(([k, v]) => options[k] === v);
        link.listen();
    });
    await page.exposeFunction('__fakeSerialSend', (bytes) => void gyro.write(bytes));
    await page.exposeFunction('__fakeSerialDrain', () => gyro.lineFree());
    await page.exposeFunction('__fakeSerialReceive', () => link.receive());
    await page.exposeFunction('__fakeSerialStopReceive', () => link.stop());
    await page.evaluateOnNewDocument(pageSide, config);
}
