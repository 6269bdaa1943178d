// A fake WebUSB for the page: navigator.usb with one FT232R (vendor 0x0403, product 0x6001)
// behaving as the chip does on the bus, its line joined to a TestGyro in the test's process.
// Installed before any page script runs.
//
// The chip, as its USB protocol is documented:
// - Vendor requests to the device (host to device) on the control endpoint, the port in the
//   index's low byte (0 or 1 on a single-port chip): 0 reset (value 0 the port, 1 drops the
//   bytes waiting for the line, 2 drops the bytes received from the line), 1 modem control,
//   2 flow control (mode in the index's high byte: 0 none, 1 RTS/CTS, 2 DTR/DSR, 4 XON/XOFF),
//   3 baud rate (a divisor of the 3 MHz clock: value bits 0-13 its integer part, the eighths'
//   code in value bits 14-15 and index bit 0; 0 means 3 MBd and 1 means 2 MBd, any other
//   divisor below 2 is refused; the index has no port), 4 data (value bits 0-7 data bits 7
//   or 8, bits 8-10 parity 0-4, bits 11-13 stop bits 0-2, bit 14 break), 9 latency timer
//   (1-255 ms). Anything else stalls; so does a request of another type or recipient.
// - Bulk IN (endpoint 1, 64-byte packets): every packet starts with two status bytes. The
//   chip sends a full packet when it has 62 bytes, otherwise what it has (maybe nothing) when
//   its latency timer runs out; an IN transfer ends with a short packet or when its length
//   is filled, so one transfer may carry several packets.
// - Bulk OUT (endpoint 2): each transfer's bytes go to the gyro as one write. The chip's
//   128-byte transmit buffer takes a packet only when it has room: with lineTiming (1.25 ms
//   a byte) a transfer ends when its last bytes fit into what the line has not yet carried.
//
// The page side keeps globalThis.__fakeUsb: requests (requestDevice's options), controls
// (every control transfer: {requestType, recipient, request, value, index, status}), claims,
// line ({baud, dataBits, parity, stopBits, flow, latency}), written, inTransfers (completed
// IN transfers: their packet lengths), and hooks a test may set: stall (request numbers the
// chip refuses from now on), lineStatus (error flags the next packet with data carries in its
// line status byte: 0x02 overrun, 0x04 parity, 0x08 framing, 0x10 break), cancelChooser, failClaim
// (claimInterface fails as when the system's driver holds the device), disappearAfter (the
// device is unplugged once that many bytes were written), unplug() and replug(serialNumber),
// granted (the device allowed on an earlier visit).
import {gyroToPage} from './harness.mjs';

function pageSide(config) {
    const PACKET = 64;
    const BYTE_MS = 1.25;
    const TRANSMIT_BUFFER = 128;
    const EIGHTHS_OF_CODE = [0, 4, 2, 1, 3, 5, 6, 7];
    const state = {
        cancelChooser: !!config.cancelChooser,
        failClaim: !!config.failClaim,
        disappearAfter: config.disappearAfter ?? Infinity,
        lineStatus: 0,
        stall: [],  // requests the chip refuses from now on
        lineTiming: !!config.lineTiming,
        written: 0,
        requests: [],
        controls: [],
        claims: 0,
        inTransfers: [],
        line: null,
    };
    globalThis.__fakeUsb = state;
    const lost = () => new DOMException('A transfer error has occurred.', 'NetworkError');
    const disconnected = () => new DOMException('The device was disconnected.', 'NotFoundError');
    let usb;
    let device = null;
    let granted = !!config.granted;  // a device allowed on an earlier visit
    let serialCount = 0;

    class FakeUSBDevice {
        constructor() {
            this.vendorId = 0x0403;
            this.productId = 0x6001;
            this.deviceVersionMajor = 6;  // bcdDevice 6.00: an FT232R
            this.manufacturerName = 'FTDI';
            this.productName = 'TBX-3';
            this.serialNumber = `TB${++serialCount}X7Q2`;
            const endpoint = (endpointNumber, direction) =>
                ({endpointNumber, direction, type: 'bulk', packetSize: PACKET});
            const alternate = {
                alternateSetting: 0,
                interfaceClass: 0xff,
                endpoints: [endpoint(1, 'in'), endpoint(2, 'out')],
            };
            this.configurations = [{
                configurationValue: 1,
                interfaces:
                    [{interfaceNumber: 0, alternate, alternates: [alternate], claimed: false}],
            }];
            this.configuration = null;  // until selected
            this.opened = false;
            this.claimed = false;
            this.gone = false;
            this.pendingIn = [];
            this.fromLine = [];  // bytes from the line the host has not taken
            this.lastPacket = performance.now();
            this.timer = null;
            this.lineFreeAt = 0;
            this.chipReset();
        }
        chipReset() {
            this.fromLine = [];
            this.settings = {baud: 9600, dataBits: 8, parity: 0, stopBits: 0, flow: 0, latency: 16};
            this.report();
        }
        report() {
            state.line = {...this.settings};
            globalThis.__fakeUsbLine(state.line);
        }
        present() {
            if (this.gone) throw disconnected();
        }
        opening() {
            this.present();
            if (!this.opened)
                throw new DOMException('The device must be opened first.', 'InvalidStateError');
        }
        endpoint(number, direction) {
            this.opening();
            if (!this.claimed) {
                throw new DOMException(
                    'The specified endpoint is not part of a claimed and selected alternate interface.',
                    'InvalidStateError');
            }
            const ok = this.configuration.interfaces[0].alternate.endpoints.some(
                (e) => e.endpointNumber === number && e.direction === direction);
            if (!ok)
                throw new DOMException(
                    'The specified endpoint number is out of range.', 'IndexSizeError');
        }
        async open() {
            this.present();
            this.opened = true;
        }
        async close() {
            this.present();
            this.release();
            this.opened = false;
        }
        async selectConfiguration(value) {
            this.opening();
            const found = this.configurations.find((c) => c.configurationValue === value);
            if (!found)
                throw new DOMException(
                    'The configuration value provided is not supported by the device.',
                    'NotFoundError');
            this.configuration = found;
        }
        async claimInterface(number) {
            this.opening();
            if (!this.configuration)
                throw new DOMException(
                    'The device must have a configuration selected.', 'InvalidStateError');
            if (number !== 0)
                throw new DOMException(
                    'The interface number provided is not supported by the device in its current configuration.',
                    'NotFoundError');
            state.claims += 1;
            if (state.failClaim)
                throw new DOMException('Unable to claim interface.', 'NetworkError');
            this.claimed = true;
            this.configuration.interfaces[0].claimed = true;
            globalThis.__fakeUsbListen();
            this.listen();
        }
        async releaseInterface(number) {
            this.opening();
            if (number !== 0)
                throw new DOMException(
                    'The interface number provided is not supported by the device in its current configuration.',
                    'NotFoundError');
            this.release();
        }
        release() {
            this.claimed = false;
            if (this.configuration) this.configuration.interfaces[0].claimed = false;
            const aborted = new DOMException('The transfer was cancelled.', 'AbortError');
            for (const t of this.pendingIn.splice(0)) t.reject(aborted);
            clearTimeout(this.timer);
            globalThis.__fakeUsbStop();
        }

        // ---- Control endpoint ----
        async controlTransferOut(setup, data) {
            this.opening();
            const {requestType, recipient, request, value, index} = setup;
            let status = 'stall';
            if (requestType === 'vendor' && recipient === 'device' &&
                !state.stall.includes(request) && this.vendorRequest(request, value, index)) {
                status = 'ok';
            }
            state.controls.push({requestType, recipient, request, value, index, status});
            return {status, bytesWritten: status === 'ok' && data ? data.byteLength : 0};
        }
        async controlTransferIn(setup, length) {
            this.opening();
            state.controls.push({...setup, status: 'stall'});
            return {status: 'stall', data: new DataView(new ArrayBuffer(0))};
        }
        // The chip's answer to a vendor request: true when it takes it.
        vendorRequest(request, value, index) {
            const u16 = (x) => Number.isInteger(x) && x >= 0 && x <= 0xffff;
            if (!u16(value) || !u16(index)) return false;
            const port = index & 0xff;
            const portOk = port === 0 || port === 1;
            switch (request) {
                case 0:  // reset
                    if (!portOk || index > 0xff) return false;
                    if (value === 0)
                        this.chipReset();
                    else if (value === 2)
                        this.fromLine = [];
                    else if (value !== 1)
                        return false;
                    return true;
                case 1:  // modem control: mask in the high byte, DTR bit 0, RTS bit 1
                    return portOk && index <= 0xff && (value & 0xfcfc) === 0;
                case 2: {  // flow control
                    const mode = index >> 8;
                    if (!portOk || ![0, 1, 2, 4].includes(mode)) return false;
                    this.settings.flow = mode;
                    this.report();
                    return true;
                }
                case 3: {  // baud rate
                    if (index > 1) return false;
                    const whole = value & 0x3fff;
                    const code = ((index & 1) << 2) | (value >> 14);
                    let baud;
                    if (whole === 0 && code === 0)
                        baud = 3000000;
                    else if (whole === 1 && code === 0)
                        baud = 2000000;
                    else if (whole < 2)
                        return false;
                    else
                        baud = 3000000 / (whole + EIGHTHS_OF_CODE[code] / 8);
                    this.settings.baud = baud;
                    this.report();
                    return true;
                }
                case 4: {  // data characteristics
                    const dataBits = value & 0xff;
                    const parity = (value >> 8) & 7;
                    const stopBits = (value >> 11) & 7;
                    if (!portOk || index > 0xff || (value & 0x8000)) return false;
                    if (![7, 8].includes(dataBits) || parity > 4 || stopBits > 2) return false;
                    Object.assign(this.settings, {dataBits, parity, stopBits});
                    this.report();
                    return true;
                }
                case 9:  // latency timer
                    if (!portOk || index > 0xff || value < 1 || value > 255) return false;
                    this.settings.latency = value;
                    this.report();
                    return true;
                default:
                    return false;
            }
        }

        // ---- Bulk IN ----
        async transferIn(number, length) {
            this.endpoint(number, 'in');
            return new Promise((resolve, reject) => {
                this.pendingIn.push({length, packets: [], resolve, reject});
                this.serve();
            });
        }
        // Bytes arrived from the line.
        fromGyro(bytes) {
            for (const b of bytes) this.fromLine.push(b);
            this.serve();
        }
        packet(count) {
            const status = [0x01, this.lineFreeAt <= performance.now() ? 0x60 : 0x00];
            if (count && this.fromLine.length) {
                status[1] |= state.lineStatus;
                state.lineStatus = 0;
            }
            return [...status, ...this.fromLine.splice(0, count)];
        }
        // Answers the IN transfers waiting: full packets while 62 bytes are there, else what
        // is there once the latency timer has run out.
        serve() {
            clearTimeout(this.timer);
            this.timer = null;
            while (this.pendingIn.length && this.claimed) {
                const t = this.pendingIn[0];
                const now = performance.now();
                if (this.fromLine.length >= PACKET - 2) {
                    t.packets.push(this.packet(PACKET - 2));
                    this.lastPacket = now;
                    if ((t.packets.length + 1) * PACKET <= t.length) continue;
                } else if (now - this.lastPacket >= this.settings.latency) {
                    t.packets.push(this.packet(this.fromLine.length));
                    this.lastPacket = now;
                } else {
                    this.timer = setTimeout(
                        () => this.serve(), this.lastPacket + this.settings.latency - now);
                    return;
                }
                this.pendingIn.shift();
                const bytes = Uint8Array.from(t.packets.flat());
                state.inTransfers.push(t.packets.map((p) => p.length));
                if (state.inTransfers.length > 2000) state.inTransfers.splice(0, 1000);
                t.resolve({status: 'ok', data: new DataView(bytes.buffer)});
            }
        }
        // The test's side hands over bytes from the line while the interface is claimed.
        async listen() {
            while (this.claimed && !this.gone) {
                const bytes = await globalThis.__fakeUsbReceive();
                if (bytes.length && this.claimed && !this.gone) this.fromGyro(bytes);
            }
        }

        // ---- Bulk OUT ----
        async transferOut(number, data) {
            this.endpoint(number, 'out');
            const bytes = new Uint8Array(
                ArrayBuffer.isView(data) ? data.buffer : data, data.byteOffset ?? 0,
                data.byteLength);
            const room = Math.max(0, state.disappearAfter - state.written);
            const passed = bytes.subarray(0, Math.min(room, bytes.length));
            state.written += passed.length;
            if (passed.length) await globalThis.__fakeUsbSend(Array.from(passed));
            if (passed.length < bytes.length) {
                unplug();
                throw lost();
            }
            // The last packet is taken when it fits into the transmit buffer.
            const now = performance.now();
            if (state.lineTiming) {
                this.lineFreeAt = Math.max(now, this.lineFreeAt) + bytes.length * BYTE_MS;
                const wait = this.lineFreeAt - TRANSMIT_BUFFER * BYTE_MS - now;
                if (wait > 0) await new Promise((resolve) => setTimeout(resolve, wait));
                if (this.gone) throw lost();
            }
            return {status: 'ok', bytesWritten: bytes.length};
        }
        async clearHalt() { this.opening(); }
        async reset() { this.opening(); }
    }

    function unplug() {
        if (!device || device.gone) return;
        const gone = device;
        gone.gone = true;
        gone.opened = false;
        gone.claimed = false;
        clearTimeout(gone.timer);
        for (const t of gone.pendingIn.splice(0)) t.reject(lost());
        globalThis.__fakeUsbStop();
        const event = new Event('disconnect');
        Object.defineProperty(event, 'device', {value: gone});
        usb.dispatchEvent(event);
    }
    // serialNumber: the same adapter again (a new device object with its serial number).
    function replug(serialNumber) {
        device = new FakeUSBDevice();
        if (serialNumber) device.serialNumber = serialNumber;
        const event = new Event('connect');
        Object.defineProperty(event, 'device', {value: device});
        usb.dispatchEvent(event);
    }
    state.unplug = unplug;
    state.replug = replug;

    class FakeUSB extends EventTarget {
        async requestDevice(options) {
            state.requests.push(JSON.parse(JSON.stringify(options ?? {})));
            if (state.cancelChooser || !device || device.gone)
                throw new DOMException('No device selected.', 'NotFoundError');
            granted = true;
            return device;
        }
        async getDevices() { return granted && device && !device.gone ? [device] : []; }
    }
    usb = new FakeUSB();
    device = new FakeUSBDevice();
    Object.defineProperty(Navigator.prototype, 'usb', {
        configurable: true,
        enumerable: true,
        get: () => usb,
    });
    if (config.noSerial) {
        Object.defineProperty(
            Navigator.prototype, 'serial', {configurable: true, get: () => undefined});
    }
}

// Puts the fake into every document the page loads, joined to gyro (a TestGyro); config:
// lineTiming (pace the chip's transmit buffer as the gyro's line does), cancelChooser,
// failClaim, disappearAfter, noSerial (a browser without Web Serial, as on Android).
export async function installFakeUsb(page, gyro, config = {}) {
    const link = gyroToPage(gyro);
    // The gyro hears the line only when the chip is set as the gyro speaks: 9600 Bd (within
    // 3 %), 8 data bits, even parity, 2 stop bits, no flow control.
    await page.exposeFunction('__fakeUsbLine', (line) => {
        gyro.lineOk = Math.abs(line.baud - 9600) <= 0.03 * 9600 && line.dataBits === 8 &&
            line.parity === 2 && line.stopBits === 2 && line.flow === 0;
    });
    await page.exposeFunction('__fakeUsbListen', () => link.listen());
    await page.exposeFunction('__fakeUsbSend', (bytes) => void gyro.write(bytes));
    await page.exposeFunction('__fakeUsbReceive', () => link.receive());
    await page.exposeFunction('__fakeUsbStop', () => link.stop());
    await page.evaluateOnNewDocument(pageSide, {lineTiming: gyro.lineTiming, ...config});
}
