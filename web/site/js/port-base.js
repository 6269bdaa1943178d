// What both links to the adapter share (Web Serial and WebUSB): the D2XX statuses their
// failures carry, the receive buffer the link's one reader fills and read() takes from with
// a time-out, writes that go out one after another, and the adapter going away.
//
// A link sets serial, description and readTimeout, and defines check() (throws when a call cannot
// go ahead), writeNow(data) (one write, the previous one done) and letGo(error) (what it drops when
// the device is gone).
//
// A line error (overrun, parity, framing) that the chip reports with bytes it received fails
// the read that waits for them, or the next read when none waits: once, as the desktop's
// driver fails a read then. Dropping the received bytes drops the error with them.

export const FT_DEVICE_NOT_FOUND = 2;
export const FT_DEVICE_NOT_OPENED = 3;
export const FT_IO_ERROR = 4;
export const FT_INVALID_PARAMETER = 6;
export const FT_INVALID_BAUD_RATE = 7;
export const PURGE_RX = 1;
export const PURGE_TX = 2;
export const FTDI_VENDOR_ID = 0x0403;

export function ftError(ftStatus, message) {
    const error = new Error(message);
    error.ftStatus = ftStatus;
    return error;
}

export class PortBase {
    constructor() {
        this.ondisconnect = null;
        this.readTimeout = 0;
        this.writeTimeout = 0;
        this.buffer = new Uint8Array(4096);
        this.start = 0;
        this.end = 0;
        this.waiter = null;     // the pending read
        this.lineFault = null;  // a line error not yet reported to a read
        this.writing = Promise.resolve();
        this.gone = false;
        this.goneSignal = new Promise((_, reject) => (this.rejectGone = reject));
        this.goneSignal.catch(() => {});
        // What the core set on the link (open, baud rate, time-outs, line), in the order it
        // set it: reattach() replays it on the returning device; close() forgets it.
        this.settings = new Map();
        for (const name
                 of ['open', 'setBaudRate', 'setTimeouts', 'setDataCharacteristics', 'close']) {
            const method = this[name];
            if (typeof method !== 'function') continue;
            this[name] = async (...args) => {
                const result = await method.apply(this, args);
                if (name === 'close')
                    this.settings.clear();
                else
                    this.settings.set(name, args);
                return result;
            };
        }
    }

    // The one adapter the link was given: list() shows it, and open() takes it by its serial
    // number ('' for the first) after select() has checked it.
    async list() {
        this.check(false);
        return [{serial: this.serial, description: this.description}];
    }

    select(serial) {
        this.check(false);
        if (serial && serial !== this.serial) throw ftError(FT_DEVICE_NOT_FOUND, 'no such adapter');
    }

    receive(bytes) {
        const count = this.end - this.start;
        if (this.end + bytes.length > this.buffer.length) {
            if (count + bytes.length > this.buffer.length) {
                const next = new Uint8Array(2 * (count + bytes.length));
                next.set(this.buffer.subarray(this.start, this.end));
                this.buffer = next;
            } else {
                this.buffer.copyWithin(0, this.start, this.end);
            }
            this.start = 0;
            this.end = count;
        }
        this.buffer.set(bytes, this.end);
        this.end += bytes.length;
        if (this.waiter && this.queued() >= this.waiter.count) this.waiter.settle();
    }

    take(count) {
        const n = Math.min(count, this.end - this.start);
        const bytes = this.buffer.slice(this.start, this.start + n);
        this.start += n;
        if (this.start === this.end) this.start = this.end = 0;
        return bytes;
    }

    queued() { return this.end - this.start; }

    dropReceived() {
        this.start = this.end = 0;
        this.lineFault = null;
    }

    // The chip reported a line error with what it received last (name: what kind).
    lineError(name) {
        this.lineFault = ftError(FT_IO_ERROR, `line error: ${name}`);
        if (this.waiter) this.waiter.fail(this.takeLineFault());
    }

    takeLineFault() {
        const fault = this.lineFault;
        this.lineFault = null;
        return fault;
    }

    // Up to count bytes: all of them, or what arrived when the time-out (timeoutMs, or the
    // set read time-out when 0; none when both are 0) passed.
    async read(count, timeoutMs = 0) {
        this.check();
        if (this.waiter) throw ftError(FT_IO_ERROR, 'a read is already waiting');
        if (this.lineFault) throw this.takeLineFault();
        const limit = timeoutMs > 0 ? timeoutMs : this.readTimeout;
        if (this.queued() < count) {
            await new Promise((resolve, reject) => {
                const waiter = {count};
                waiter.settle = () => {
                    clearTimeout(waiter.timer);
                    this.waiter = null;
                    resolve();
                };
                waiter.fail = (error) => {
                    clearTimeout(waiter.timer);
                    this.waiter = null;
                    reject(error);
                };
                if (limit > 0) waiter.timer = setTimeout(waiter.settle, limit);
                this.waiter = waiter;
            });
        }
        return this.take(count);
    }

    // Writes go out one after another (the stream's ticks may meet a command's write). The
    // bytes are copied: the caller's buffer may change while a write waits its turn.
    async write(bytes) {
        this.check();
        const data = Uint8Array.from(bytes);
        const done = this.writing.then(() => this.writeNow(data));
        this.writing = done.catch(() => {});
        return done;
    }

    // A pending read fails (the port closing): the read rejects with this error.
    failRead(error) {
        if (this.waiter) this.waiter.fail(error);
    }

    // The device went away: everything pending and later fails with 4; ondisconnect once.
    lose(error) {
        if (this.gone) return;
        this.gone = true;
        const failure = ftError(FT_IO_ERROR, 'the adapter is gone');
        this.rejectGone(failure);
        this.failRead(failure);
        this.letGo(error);
        notify('tarvex-link-lost', this);
        if (typeof this.ondisconnect === 'function') {
            try {
                this.ondisconnect();
            } catch (e) {
                console.error(e);
            }
        }
    }

    // The same adapter is back (target: its port or device, perhaps a new object): the link
    // takes it (adopt(target), the link's own part) and replays what the core had set, so
    // the core's handle works again. Fails with the replayed call's status, the link gone.
    async reattach(target) {
        await this.adopt(target);
        this.gone = false;
        this.goneSignal = new Promise((_, reject) => (this.rejectGone = reject));
        this.goneSignal.catch(() => {});
        this.writing = Promise.resolve();
        this.waiter = null;
        this.dropReceived();
        try {
            for (const [name, args] of [...this.settings]) await this[name](...args);
        } catch (error) {
            this.lose(error);
            throw error;
        }
        notify('tarvex-link-back', this);
    }
}

// The page hears of a link lost or back (window events whose detail is the link).
function notify(type, link) {
    if (typeof globalThis.dispatchEvent === 'function' && typeof CustomEvent === 'function')
        globalThis.dispatchEvent(new CustomEvent(type, {detail: link}));
}
