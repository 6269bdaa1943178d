// The adapter's line with a KR640 behind it, on the test's side, behaving as the C++ virtual
// gyro does (sim/VirtualGyro.cpp, sim/GyroModel.cpp).
//
// The line is half duplex: every byte written comes back (the echo). Each write is one
// unit: 17 bytes starting 0x9F are a command frame (bytes 1..16 bit-reversed on the wire,
// their restored values summing to 0 mod 256), 25 bytes starting 0x0F a bus frame, anything
// else line noise that is only echoed. By the restored flags byte 15: bit 2 read request
// (reply 0xA1, model code, ID, the 80 image bytes after the echo), else bit 3 page (page in
// byte 5, record bytes 4+9p.. in bytes 6..14, the ID in bytes 3-4), else bit 4 limit mode
// on, else (bits 0..4 clear) closing frame: commits when all nine pages were staged and
// seals the checksum word. Every valid frame sets the limit mode from bit 4; in limit mode a
// bus frame moves the servo to the rudder channel's value, leaving it centres the servo.
//
// With lineTiming each byte takes 1.25 ms (9600 baud, 12 bits) behind what the line still
// carries, and a reply starts 5 ms after the request's echo; without it bytes come at once.
//
// Beyond the contract's members (write, ondata, record, frames, servo): lineOk (false: a
// mis-set line, writes are lost), limitMode, pending (bytes still on the line, with their
// arrival times) and lineFree() (resolves when the line has carried everything), which a
// fake port's drain waits on.

const BYTE_MS = 1.25;
const TURNAROUND_MS = 5;
const NEUTRAL = 1024;

const TABLE_A = [
    0,  0, 18, 48,  10,  80,  14,  64,  100, 200, 19, 16, 16,  0,   15,  50,  12,  3,   0, 200,
    10, 3, 30, 100, 100, 100, 100, 250, 169, 33,  7,  7,  100, 100, 130, 130, 100, 100, 5, 0
];
const MODE_TABLE_F3C = [
    40,  30, 7,    7,    7,  7,   100,  98,   96,   94,   92,   90,  88, 86,
    100, 96, 92,   88,   84, 80,  76,   72,   100,  98,   96,   94,  92, 90,
    88,  86, 0xD8, 0xF6, 40, 150, 0x01, 0xC2, 0x01, 0x2C, 0x01, 0x90
];

export const reverseBits = (b) => {
    let out = 0;
    for (let i = 0; i < 8; ++i)
        if (b & (1 << i)) out |= 0x80 >> i;
    return out;
};

// Sets image word 0 (record bytes 4-5) so that the 40 big-endian image words sum to 0.
export function seal(record) {
    record[4] = record[5] = 0;
    let sum = 0;
    for (let j = 4; j < 84; j += 2) sum += (record[j] << 8) | record[j + 1];
    const check = (0x10000 - (sum & 0xffff)) & 0xffff;
    record[4] = check >> 8;
    record[5] = check & 0xff;
    return record;
}

export function factoryRecord() {
    const record = new Uint8Array(85);
    record[1] = 0x80;
    record[2] = 4242 >> 8;
    record[3] = 4242 & 0xff;
    record.set(TABLE_A, 4);
    record.set(MODE_TABLE_F3C, 44);
    return seal(record);
}

// The 11-bit value of channel index 0..15 in a bus frame.
export function busChannel(frame, index) {
    let value = 0;
    for (let k = 0; k < 11; ++k) {
        const n = 11 * index + k;
        if ((frame[1 + (n >> 3)] >> (n & 7)) & 1) value |= 1 << k;
    }
    return value;
}

export class TestGyro {
    constructor({lineTiming = false} = {}) {
        this.lineTiming = lineTiming;
        this.lineOk = true;  // the line set as the gyro speaks (9600 8E2); else bytes are lost
        this.record = factoryRecord();
        this.frames = [];
        this.servo = NEUTRAL;
        this.limitMode = false;
        this.ondata = () => {};
        this.pages = new Array(9);
        this.staged = 0;
        this.stagedId = 0;
        this.lineFreeAt = 0;  // performance.now() when the line has carried all it was given
        this.pending = [];    // [{at, byte}] not yet arrived
        this.timer = null;
    }

    write(input) {
        if (!this.lineOk) return;
        const bytes = Uint8Array.from(input);
        this.transmit(bytes, 0);
        if (bytes.length === 17 && bytes[0] === 0x9f) {
            const frame = Uint8Array.from(bytes, (b, i) => (i ? reverseBits(b) : b));
            this.frames.push(frame);
            if (this.onCommand(frame)) this.transmit(this.replyBody(), TURNAROUND_MS);
        } else if (bytes.length === 25 && bytes[0] === 0x0f) {
            this.frames.push(bytes);
            if (this.limitMode) this.servo = busChannel(bytes, this.record[33] & 0x0f);
        }
    }

    // A restored command frame; true when a reply follows.
    onCommand(frame) {
        let sum = 0;
        for (let i = 1; i < 17; ++i) sum += frame[i];
        if (sum & 0xff) return false;
        const flags = frame[15];
        const limit = (flags & 0x10) !== 0;
        if (this.limitMode && !limit) this.servo = NEUTRAL;
        this.limitMode = limit;
        if (flags & 0x04) return true;
        if (flags & 0x08) {
            const page = frame[5];
            if (page < 9) {
                this.pages[page] = frame.slice(6, 15);
                this.staged |= 1 << page;
                this.stagedId = (frame[3] << 8) | frame[4];
            }
        } else if ((flags & 0x1f) === 0) {
            if (this.staged === 0x1ff) {
                const next = Uint8Array.from(this.record);
                next[2] = this.stagedId >> 8;
                next[3] = this.stagedId & 0xff;
                for (let j = 0; j < 80; ++j) next[4 + j] = this.pages[(j / 9) | 0][j % 9];
                this.record = seal(next);
            }
            this.staged = 0;
        }
        return false;
    }

    replyBody() {
        const body = new Uint8Array(84);
        body[0] = 0xa1;
        body.set(this.record.subarray(1, 84), 1);  // model code, ID, image
        return body;
    }

    // Puts bytes on the line (after a gap in ms); they reach ondata as they arrive.
    transmit(bytes, gapMs) {
        if (!this.lineTiming) {
            this.ondata(Uint8Array.from(bytes));
            return;
        }
        let at = Math.max(performance.now(), this.lineFreeAt) + gapMs;
        for (const byte of bytes) this.pending.push({at: (at += BYTE_MS), byte});
        this.lineFreeAt = at;
        this.pump();
    }

    pump() {
        clearTimeout(this.timer);
        this.timer = null;
        const now = performance.now();
        let n = 0;
        while (n < this.pending.length && this.pending[n].at <= now) ++n;
        if (n) this.ondata(Uint8Array.from(this.pending.splice(0, n), (p) => p.byte));
        if (this.pending.length) {
            this.timer = setTimeout(() => this.pump(), Math.max(0, this.pending[0].at - now));
        }
    }

    // Resolves when the line has carried everything it was given.
    async lineFree() {
        const wait = this.lineFreeAt - performance.now();
        if (wait > 0) await new Promise((resolve) => setTimeout(resolve, wait));
    }
}
