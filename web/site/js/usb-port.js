// The adapter over WebUSB, speaking the FT232R's own USB protocol: the port object the
// module's D2XX entry points drive (globalThis.tarvexPort), for browsers without Web Serial
// (Chrome on Android) and as the desktop's alternative. Every method returns a promise; a
// failure rejects with an Error whose ftStatus is the D2XX status (2 not found, 3 not
// opened, 4 I/O error, 6 invalid parameter, 7 invalid baud rate).
//
// The chip is set up with vendor requests on the control endpoint (to the device, host to
// device): reset, the two purges, the latency timer, flow control off, then the baud rate's
// divisor and the line's data bits, parity and stop bits. Its data goes through the bulk
// endpoints of interface 0.
//
// Every bulk IN packet starts with two status bytes (modem status, line status) that are
// not data; a transfer longer than a packet brings several packets one after another, and
// each loses its two bytes. Overrun, parity or framing errors flagged in the line status
// fail the read that waits for the packet's bytes (port-base.js). While the link is in use an
// IN transfer is always pending and feeds the receive buffer that read() takes from, so no
// byte is lost between reads; a read's time-out is a timer against that buffer. The chip
// sends what it has when its latency timer runs out (status bytes alone when it has
// nothing), so the timer is set short (2 ms) for the reply's last bytes. That costs an IN
// transfer every 2 ms, so the link stops asking once no read has waited and nothing was
// written for a second (the gyro speaks only when asked; whatever came meanwhile stays in the
// chip's receive buffer), and asks again with the next read or write.
//
// A write is one bulk OUT transfer: the host sends it in 64-byte packets and the chip takes
// a packet only when its 128-byte transmit buffer has room, so the transfer ends when the
// write's last bytes fit into that buffer, as the desktop's driver returns.
//
// When the device goes away (navigator.usb's 'disconnect' for this device, or a transfer
// failing) the pending read or write and every later call reject with ftStatus 4, and
// ondisconnect is called once.
import {FT_DEVICE_NOT_OPENED, FT_INVALID_BAUD_RATE, FT_INVALID_PARAMETER, FT_IO_ERROR, FTDI_VENDOR_ID, ftError, PortBase, PURGE_RX, PURGE_TX} from './port-base.js';
import {TEXTS} from './texts.js';

const FT232R_PRODUCT_ID = 0x6001;
const INTERFACE = 0;
const CONFIGURATION = 1;
const STATUS_BYTES = 2;
// The line status byte's error flags.
const LINE_STATUS_ERRORS = [[0x02, 'overrun'], [0x04, 'parity'], [0x08, 'framing']];
const IN_PACKETS = 8;  // packets one IN transfer may bring
const LATENCY_MS = 2;
// No IN transfer this long after the last read or write. Longer than a command's pauses (the
// 500 ms after the wake-up burst), so what comes during a command is taken and a purge
// drops it here even where a chip's own purge does not (QEMU's takes the values the other
// way round).
const IDLE_MS = 1000;

// The chip's vendor requests and their values.
const SIO_RESET = 0;
const SIO_SET_FLOW_CTRL = 2;
const SIO_SET_BAUD_RATE = 3;
const SIO_SET_DATA = 4;
const SIO_SET_LATENCY_TIMER = 9;
const RESET_SIO = 0;
const FLUSH_TO_LINE = 1;    // drops what the chip still has to send on the line
const FLUSH_FROM_LINE = 2;  // drops what the chip received and the host has not taken
const PORT_A = 1;           // the interface's port in a request's index

// The chip's baud clock: 3 MHz, divided by n + k/8 (n >= 2); the eighths go in a code of
// their own, split over value bits 14-15 and index bit 0.
const BAUD_CLOCK = 3000000;
const FRACTION_CODE = [0, 3, 2, 4, 1, 5, 6, 7];

// The page's text by key, in the page's language.
function text(key) {
    const lang = typeof document !== 'undefined' ? document.documentElement.lang : 'en';
    return (TEXTS[lang] ?? TEXTS.en)[key] ?? TEXTS.en[key];
}

// The baud rate request's value and index for the FT232R, and the rate it gives; null
// when the chip cannot come within 3 % of it.
export function baudDivisor(baud) {
    if (!Number.isInteger(baud) || baud <= 0) return null;
    let encoded;
    let actual;
    if (baud >= BAUD_CLOCK) {
        [encoded, actual] = [0, BAUD_CLOCK];
    } else if (baud >= BAUD_CLOCK / 1.5) {
        [encoded, actual] = [1, BAUD_CLOCK / 1.5];
    } else {
        // In eighths, rounded to the nearest.
        const eighths = Math.min(Math.round((8 * BAUD_CLOCK) / baud), 0x1ffff);
        if (eighths < 14) {
            [encoded, actual] = [1, BAUD_CLOCK / 1.5];  // the chip's code for 2 MBd
        } else if (eighths < 16) {
            [encoded, actual] = [2, BAUD_CLOCK / 2];  // no divisor between 1.5 and 2
        } else {
            encoded = (eighths >> 3) | (FRACTION_CODE[eighths & 7] << 14);
            actual = (8 * BAUD_CLOCK) / eighths;
        }
    }
    if (Math.abs(actual - baud) > 0.03 * baud) return null;
    return {value: encoded & 0xffff, index: encoded >> 16, actual};
}

export function hasWebUsb() {
    return typeof navigator !== 'undefined' && 'usb' in navigator && !!navigator.usb;
}

let current = null;  // the link chooseUsbPort gave last

// The browser's chooser, showing FT232R devices only; the chosen device is opened and its
// interface claimed. Null when the user cancels the chooser; an Error with a message for
// the start screen when the device cannot be claimed.
export async function chooseUsbPort() {
    if (!hasWebUsb()) return null;
    let device;
    try {
        device = await navigator.usb.requestDevice(
            {filters: [{vendorId: FTDI_VENDOR_ID, productId: FT232R_PRODUCT_ID}]});
    } catch (error) {
        if (error && error.name === 'NotFoundError') return null;
        throw error;
    }
    // The device chosen again while an earlier link still holds it: that one lets go first.
    if (current && current.device === device && !current.gone) {
        await current.close().catch(() => {});
        navigator.usb.removeEventListener('disconnect', current.onDisconnectEvent);
    }
    const link = new UsbLink(device);
    await link.claim();
    current = link;
    return link;
}

// The D2XX line codes as the data request's value: data bits, parity (bits 8-10), stop
// bits (bits 11-13); null for what the chip cannot do.
function dataValue(wordLength, stopBits, parity) {
    if (wordLength !== 7 && wordLength !== 8) return null;
    if (![0, 1, 2].includes(stopBits) || ![0, 1, 2, 3, 4].includes(parity)) return null;
    return wordLength | (parity << 8) | (stopBits << 11);
}

export class UsbLink extends PortBase {
    constructor(device) {
        super();
        this.kind = 'usb';
        this.device = device;
        this.description = device.productName || 'TBX-3';
        this.serial = device.serialNumber ?? '';

        this.claimed = false;
        this.selected = false;  // open() set the chip up
        this.inEndpoint = 1;
        this.outEndpoint = 2;
        this.packetSize = 64;
        this.reading = null;  // the IN loop
        this.lastUse = 0;     // when a read or write last ended (performance.now())
        this.wake = null;     // resolves the IN loop's idle wait

        this.onDisconnectEvent = (event) => {
            if (event.device === this.device) this.lose();
        };
        navigator.usb.addEventListener('disconnect', this.onDisconnectEvent);
    }

    check(needOpen = true) {
        if (this.gone) throw ftError(FT_IO_ERROR, 'the adapter is gone');
        if (needOpen && !this.selected) throw ftError(FT_DEVICE_NOT_OPENED, 'the port is not open');
    }

    // Opens the device and claims its interface; the endpoints come from its descriptor.
    async claim() {
        const device = this.device;
        try {
            if (!device.opened) await device.open();
            if (device.configuration === null) await device.selectConfiguration(CONFIGURATION);
            await device.claimInterface(INTERFACE);
        } catch (error) {
            console.warn('usb-port:', error);
            try {
                if (device.opened) await device.close();
            } catch {
                // it stays as it was
            }
            throw ftError(FT_DEVICE_NOT_OPENED, text('usbClaimFailed'));
        }
        this.claimed = true;
        const alternate =
            device.configuration.interfaces.find((i) => i.interfaceNumber === INTERFACE).alternate;
        for (const endpoint of alternate.endpoints) {
            if (endpoint.type !== 'bulk') continue;
            if (endpoint.direction === 'in') {
                this.inEndpoint = endpoint.endpointNumber;
                this.packetSize = endpoint.packetSize;
            } else {
                this.outEndpoint = endpoint.endpointNumber;
            }
        }
    }

    async open(serial) {
        this.select(serial);
        if (this.selected) return;
        if (!this.claimed) await this.claim();
        await this.control(SIO_RESET, RESET_SIO, PORT_A);
        await this.control(SIO_RESET, FLUSH_FROM_LINE, PORT_A);
        await this.control(SIO_RESET, FLUSH_TO_LINE, PORT_A);
        await this.control(SIO_SET_LATENCY_TIMER, LATENCY_MS, PORT_A);
        await this.control(SIO_SET_FLOW_CTRL, 0, PORT_A);  // no handshake (index's high byte)
        this.dropReceived();
        this.selected = true;
        this.reading = this.readLoop();
    }

    // One vendor request to the device; a request the chip refuses (stall) fails the call.
    async control(request, value, index, failure = FT_IO_ERROR) {
        const result = await this.guard(this.device.controlTransferOut(
            {requestType: 'vendor', recipient: 'device', request, value, index}));
        if (result.status !== 'ok') {
            throw ftError(failure, `the adapter refused request ${request} (${result.status})`);
        }
    }

    async setBaudRate(baud) {
        this.check();
        const divisor = baudDivisor(baud);
        if (!divisor) throw ftError(FT_INVALID_BAUD_RATE, 'baud rate');
        await this.control(SIO_SET_BAUD_RATE, divisor.value, divisor.index, FT_INVALID_BAUD_RATE);
    }

    async setTimeouts(readMs, writeMs) {
        this.check();
        this.readTimeout = Math.max(0, readMs | 0);
        this.writeTimeout = Math.max(0, writeMs | 0);
    }

    async setDataCharacteristics(wordLength, stopBits, parity) {
        this.check();
        const value = dataValue(wordLength, stopBits, parity);
        if (value === null) throw ftError(FT_INVALID_PARAMETER, 'a line the chip cannot set');
        await this.control(SIO_SET_DATA, value, PORT_A, FT_INVALID_PARAMETER);
    }

    // The IN transfer always pending: each packet's data without its status bytes goes into
    // the receive buffer.
    async readLoop() {
        const length = IN_PACKETS * this.packetSize;
        while (this.selected && !this.gone) {
            if (!this.waiter && performance.now() - this.lastUse >= IDLE_MS) {
                await new Promise((resolve) => (this.wake = resolve));
                continue;
            }
            let result;
            try {
                result = await this.device.transferIn(this.inEndpoint, length);
            } catch (error) {
                // Closing ends the transfer (AbortError); anything else is the device gone.
                if (this.selected) this.lose(error);
                return;
            }
            if (result.status === 'stall') {
                try {
                    await this.device.clearHalt('in', this.inEndpoint);
                } catch (error) {
                    this.lose(error);
                    return;
                }
                continue;
            }
            if (!this.selected || !result.data) continue;
            const bytes =
                new Uint8Array(result.data.buffer, result.data.byteOffset, result.data.byteLength);
            for (let at = 0; at < bytes.length; at += this.packetSize) {
                const packet = bytes.subarray(at, Math.min(at + this.packetSize, bytes.length));
                if (packet.length <= STATUS_BYTES) continue;
                // An error flag goes with the bytes it came with (a packet of status alone
                // carries none to spoil).
                const errors = LINE_STATUS_ERRORS.filter(([bit]) => packet[1] & bit);
                if (errors.length) this.lineError(errors.map(([, name]) => name).join(', '));
                this.receive(packet.subarray(STATUS_BYTES));
            }
        }
    }

    // A read or write: the IN loop runs from now until IDLE_MS after it ended.
    async read(count, timeoutMs = 0) {
        this.rouse();
        try {
            return await super.read(count, timeoutMs);
        } finally {
            this.lastUse = performance.now();
        }
    }

    async write(bytes) {
        this.rouse();
        try {
            return await super.write(bytes);
        } finally {
            this.lastUse = performance.now();
        }
    }

    // Ends the IN loop's idle wait (it then looks at what changed).
    rouse() {
        this.lastUse = performance.now();
        const wake = this.wake;
        this.wake = null;
        if (wake) wake();
    }

    async writeNow(data) {
        this.check();
        if (!data.length) return 0;
        const result = await this.guard(this.device.transferOut(this.outEndpoint, data));
        if (result.status !== 'ok') throw ftError(FT_IO_ERROR, `write ${result.status}`);
        return result.bytesWritten;
    }

    // A device operation that fails because the device went away, or the device going away
    // meanwhile, fails the call with 4.
    async guard(promise) {
        try {
            return await Promise.race([promise, this.goneSignal]);
        } catch (error) {
            if (error && typeof error.ftStatus === 'number') throw error;
            if (error && (error.name === 'NetworkError' || error.name === 'NotFoundError'))
                this.lose(error);
            throw ftError(FT_IO_ERROR, `the adapter failed: ${error && error.message}`);
        }
    }

    async purge(mask) {
        this.check();
        if (mask & ~(PURGE_RX | PURGE_TX)) throw ftError(FT_INVALID_PARAMETER, 'purge mask');
        if (mask & PURGE_RX) {
            await this.control(SIO_RESET, FLUSH_FROM_LINE, PORT_A);
            this.dropReceived();
        }
        if (mask & PURGE_TX) await this.control(SIO_RESET, FLUSH_TO_LINE, PORT_A);
    }

    // Ends the IN transfer (releasing the interface cancels it) and closes the device.
    async close() {
        this.check(false);
        const wasOpen = this.selected;
        this.selected = false;
        this.rouse();
        this.failRead(ftError(FT_DEVICE_NOT_OPENED, 'the port was closed'));
        if (!this.claimed) return;
        this.claimed = false;
        try {
            await this.device.releaseInterface(INTERFACE);
            if (wasOpen) await this.reading;
            await this.device.close();
        } catch (error) {
            this.lose(error);
            throw ftError(FT_IO_ERROR, `the port did not close: ${error && error.message}`);
        } finally {
            this.dropReceived();
        }
    }

    // The device went away: the link lets go of it.
    letGo(error) {
        if (error) console.warn('usb-port: the adapter is gone:', error);
        navigator.usb.removeEventListener('disconnect', this.onDisconnectEvent);
        this.selected = false;
        this.rouse();
        this.claimed = false;
    }

    // The same adapter back as this device (a new object after replugging): the link claims
    // it; the replayed open sets the chip up again.
    async adopt(device) {
        await this.reading?.catch(() => {});
        navigator.usb.removeEventListener('disconnect', this.onDisconnectEvent);
        Object.assign(this, {device, selected: false, claimed: false, reading: null});
        this.serial = device.serialNumber ?? '';
        navigator.usb.addEventListener('disconnect', this.onDisconnectEvent);
        await this.claim();
    }
}
