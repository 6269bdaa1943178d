// The adapter as a Web Serial port: the port object the module's D2XX entry points drive
// (globalThis.tarvexPort). Every method returns a promise; a failure rejects with an Error
// whose ftStatus is the D2XX status (2 not found, 3 not opened, 4 I/O error, 6 invalid
// parameter, 7 invalid baud rate).
//
// The line opens when it is fully known (setDataCharacteristics, the last step of the
// adapter's open sequence). From then on one reader runs for the port's life and feeds the
// receive buffer that read() takes from: a read's time-out is a timer against that buffer,
// never a cancelled reader, so no byte is lost between calls.
//
// Writes wait as the chip's do: a write that fits the chip's 128-byte transmit buffer
// returns once handed over; a longer one (the 1000-byte burst) returns when the rest fits,
// so the head is drained through the line first (closing a Web Serial writable waits until
// its bytes are sent) and only the last 128 bytes are left in flight.
// The write time-out is kept but bounds nothing: a write waits only for that drain, which
// ends with the line, or for the port to go away.
//
// When the device goes away (the 'disconnect' event for this port, or the reader or a
// writer failing) the pending read or write and every later call reject with ftStatus 4,
// and ondisconnect is called once.

import {FT_DEVICE_NOT_OPENED, FT_INVALID_BAUD_RATE, FT_INVALID_PARAMETER, FT_IO_ERROR, FTDI_VENDOR_ID, ftError, PortBase, PURGE_RX} from './port-base.js';

const TRANSMIT_BUFFER = 128;
// Errors after which the port gives a fresh readable: the line had a glitch, the device is there.
const LINE_ERRORS = ['BufferOverrunError', 'BreakError', 'FramingError', 'ParityError'];
// Those among them that spoil received bytes: the read waiting for them fails.
const SPOILING_ERRORS = ['BufferOverrunError', 'FramingError', 'ParityError'];

export function hasWebSerial() {
    return typeof navigator !== 'undefined' && 'serial' in navigator && !!navigator.serial;
}

// The browser's chooser, showing FTDI devices only. Null when the user cancels it.
export async function chooseSerialPort() {
    if (!hasWebSerial()) return null;
    let port;
    try {
        port = await navigator.serial.requestPort({filters: [{usbVendorId: FTDI_VENDOR_ID}]});
    } catch (error) {
        if (error && error.name === 'NotFoundError') return null;
        throw error;
    }
    return new SerialLink(port);
}

// The D2XX line codes as Web Serial options; null for what Web Serial cannot do.
function dataBitsOf(wordLength) { return wordLength === 7 || wordLength === 8 ? wordLength : null; }
function stopBitsOf(code) {
    return {0: 1, 2: 2}[code] ?? null;  // 1 (1.5 stop bits) has no Web Serial form
}
function parityOf(code) {
    return {0: 'none', 1: 'odd', 2: 'even'}[code] ?? null;  // mark and space have none
}

export class SerialLink extends PortBase {
    constructor(port) {
        super();
        this.kind = 'serial';
        this.description = 'TBX-3';
        this.serial = '';  // Web Serial does not tell a device's serial number
        this.port = port;
        const info = typeof port.getInfo === 'function' ? port.getInfo() : {};
        this.usbVendorId = info.usbVendorId ?? 0;
        this.usbProductId = info.usbProductId ?? 0;

        this.selected = false;  // open() was called
        this.line = null;       // the options the port is open with
        this.baudRate = 9600;
        this.reader = null;
        this.readerDone = null;
        this.writer = null;
        this.closing = false;
        this.goneError = null;

        this.onDisconnectEvent = (event) => {
            if (!event || event.target === port || event.port === port) this.lose();
        };
        if (hasWebSerial()) navigator.serial.addEventListener('disconnect', this.onDisconnectEvent);
        if (typeof port.addEventListener === 'function') {
            port.addEventListener('disconnect', this.onDisconnectEvent);
        }
    }

    check(needLine = true) {
        if (this.gone) throw ftError(FT_IO_ERROR, 'the adapter is gone');
        if (needLine && !this.line) throw ftError(FT_DEVICE_NOT_OPENED, 'the port is not open');
    }

    async open(serial) {
        this.select(serial);
        this.selected = true;
    }

    async setBaudRate(baud) {
        this.check(false);
        if (!this.selected) throw ftError(FT_DEVICE_NOT_OPENED, 'the port is not open');
        if (!Number.isInteger(baud) || baud <= 0) throw ftError(FT_INVALID_BAUD_RATE, 'baud rate');
        this.baudRate = baud;
        if (this.line && this.line.baudRate !== baud)
            await this.openLine({...this.line, baudRate: baud});
    }

    async setTimeouts(readMs, writeMs) {
        this.check(false);
        if (!this.selected) throw ftError(FT_DEVICE_NOT_OPENED, 'the port is not open');
        this.readTimeout = Math.max(0, readMs | 0);
        this.writeTimeout = Math.max(0, writeMs | 0);
    }

    async setDataCharacteristics(wordLength, stopBits, parity) {
        this.check(false);
        if (!this.selected) throw ftError(FT_DEVICE_NOT_OPENED, 'the port is not open');
        const line = {
            baudRate: this.baudRate,
            dataBits: dataBitsOf(wordLength),
            parity: parityOf(parity),
            stopBits: stopBitsOf(stopBits),
            flowControl: 'none',
        };
        if (line.dataBits === null || line.parity === null || line.stopBits === null) {
            throw ftError(FT_INVALID_PARAMETER, 'a line Web Serial cannot set');
        }
        await this.openLine(line);
    }

    // Opens the port with these options (closing it first when it is open otherwise).
    async openLine(line) {
        if (this.line) {
            if (['baudRate', 'dataBits', 'parity', 'stopBits'].every(
                    (k) => this.line[k] === line[k])) {
                return;
            }
            await this.shut();
        }
        try {
            await this.port.open(line);
        } catch (error) {
            throw ftError(FT_DEVICE_NOT_OPENED, `the port did not open: ${error && error.message}`);
        }
        this.line = line;
        this.dropReceived();
        this.readerDone = this.readLoop();
    }

    // The one reader: everything that arrives goes into the receive buffer.
    async readLoop() {
        while (this.line && !this.gone) {
            const readable = this.port.readable;
            if (!readable) break;
            this.reader = readable.getReader();
            try {
                for (;;) {
                    const {value, done} = await this.reader.read();
                    if (done) break;
                    if (value && value.length) this.receive(value);
                }
            } catch (error) {
                if (!(error && LINE_ERRORS.includes(error.name))) {
                    if (this.line) this.lose(error);
                    return;
                }
                if (SPOILING_ERRORS.includes(error.name)) this.lineError(error.name);
            } finally {
                try {
                    this.reader.releaseLock();
                } catch {
                    // the lock goes with the stream
                }
                this.reader = null;
            }
            if (this.closing) return;
        }
        // The stream ended without our asking: the port went away.
        if (this.line && !this.closing) this.lose();
    }

    async writeNow(data) {
        this.check();
        const head = Math.max(0, data.length - TRANSMIT_BUFFER);
        if (head > 0) {
            await this.send(data.subarray(0, head));
            await this.guard(this.drain());
        }
        await this.send(data.subarray(head));
        return data.length;
    }

    // Hands bytes to the port's writer.
    async send(bytes) {
        if (!this.writer) {
            try {
                this.writer = this.port.writable.getWriter();
            } catch (error) {
                this.lose(error);  // no writable: the port is gone
                this.check();
            }
        }
        await this.guard(this.writer.write(bytes));
    }

    // Waits until the line has carried what was written: closing the writable drains it.
    async drain() {
        const writer = this.writer;
        this.writer = null;
        if (writer) await writer.close();
    }

    // A port operation that fails, or the port going away meanwhile, fails the call with 4.
    async guard(promise) {
        try {
            return await Promise.race([promise, this.goneSignal]);
        } catch (error) {
            this.lose(error);
            throw ftError(FT_IO_ERROR, `the adapter is gone: ${error && error.message}`);
        }
    }

    async purge(mask) {
        this.check();
        if (mask & ~3) throw ftError(FT_INVALID_PARAMETER, 'purge mask');
        // Transmit: writes return once their bytes are handed over, nothing waits to be dropped.
        if (mask & PURGE_RX) this.dropReceived();
    }

    async close() {
        this.check(false);
        this.selected = false;
        await this.shut();
    }

    // Ends the reader, lets go of the streams and closes the port.
    async shut() {
        if (!this.line) return;
        this.closing = true;
        this.line = null;
        this.failRead(ftError(FT_DEVICE_NOT_OPENED, 'the port was closed'));
        try {
            if (this.reader) await this.reader.cancel();
            await this.readerDone;
            if (this.writer) this.writer.releaseLock();
            this.writer = null;
            await this.port.close();
        } catch (error) {
            this.lose(error);
            throw ftError(FT_IO_ERROR, `the port did not close: ${error && error.message}`);
        } finally {
            this.closing = false;
            this.dropReceived();
        }
    }

    // The device went away: the port's streams are let go and it is closed.
    letGo(error) {
        this.goneError = error ?? null;
        if (hasWebSerial())
            navigator.serial.removeEventListener('disconnect', this.onDisconnectEvent);
        if (this.reader) this.reader.cancel().catch(() => {});
        if (this.writer) {
            try {
                this.writer.releaseLock();
            } catch {
                // already released with its stream
            }
            this.writer = null;
        }
        const wasOpen = this.line !== null;
        this.line = null;
        if (wasOpen) this.port.close().catch(() => {});
    }

    // The same adapter back as this port (Chromium may hand a new object): the link drops
    // what was left of the old one and listens for this one going away.
    async adopt(port) {
        await this.readerDone?.catch(() => {});
        if (hasWebSerial())
            navigator.serial.removeEventListener('disconnect', this.onDisconnectEvent);
        this.port = port;
        Object.assign(
            this, {selected: false, line: null, reader: null, writer: null, closing: false});
        this.onDisconnectEvent = (event) => {
            if (!event || event.target === port || event.port === port) this.lose();
        };
        if (hasWebSerial()) navigator.serial.addEventListener('disconnect', this.onDisconnectEvent);
        if (typeof port.addEventListener === 'function')
            port.addEventListener('disconnect', this.onDisconnectEvent);
    }
}
