// What the Web Serial and WebUSB tests share: Chromium, a static server on 127.0.0.1, and
// the gyro's frames as the adapter sends them.
import {existsSync, readFileSync, statSync} from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

import {reverseBits} from './test-gyro.mjs';

export const CHROMIUM = '/usr/bin/chromium';

// Fails with the reason when the browser is missing (a test that cannot run never passes).
export async function launchBrowser() {
    if (!existsSync(CHROMIUM))
        throw new Error(`${CHROMIUM} is missing: install the chromium package`);
    return puppeteer.launch({executablePath: CHROMIUM, headless: true, args: ['--no-sandbox']});
}

const TYPES = {
    '.html': 'text/html; charset=utf-8',
    '.js': 'text/javascript',
    '.mjs': 'text/javascript',
    '.css': 'text/css',
    '.json': 'application/json',
    '.webmanifest': 'application/manifest+json',
    '.wasm': 'application/wasm',
    '.png': 'image/png',
    '.svg': 'image/svg+xml',
};

// Serves folders on 127.0.0.1: routes maps a URL prefix to a folder, or a path to a text.
export async function serve(routes) {
    const server = http.createServer((request, response) => {
        const url = decodeURIComponent(new URL(request.url, 'http://x').pathname);
        if (typeof routes[url] === 'string' && !routes[url].startsWith('/')) {
            response.writeHead(200, {'content-type': TYPES[path.extname(url) || '.html']});
            return response.end(routes[url]);
        }
        for (const [prefix, folder] of Object.entries(routes)) {
            if (!url.startsWith(prefix) || !folder.startsWith('/')) continue;
            let file = path.join(folder, url.slice(prefix.length));
            if (!file.startsWith(folder)) break;
            if (existsSync(file) && statSync(file).isDirectory())
                file = path.join(file, 'index.html');
            if (!existsSync(file)) continue;
            response.writeHead(
                200, {'content-type': TYPES[path.extname(file)] ?? 'application/octet-stream'});
            return response.end(readFileSync(file));
        }
        response.writeHead(404).end();
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    return {url: `http://127.0.0.1:${server.address().port}`, close: () => server.close()};
}

// A command frame as it goes on the wire: 0x9F, record bytes 0-3, page, its nine record
// bytes, flags, checksum; bytes 1..16 bit-reversed.
export function wireFrame(record, page, flags) {
    const frame = [
        0x9f, ...record.subarray(0, 4), page, ...record.subarray(4 + 9 * page, 13 + 9 * page), flags
    ];
    frame.push((0x100 - (frame.slice(1).reduce((a, b) => a + b, 0) & 0xff)) & 0xff);
    return frame.map((b, i) => (i ? reverseBits(b) : b));
}
