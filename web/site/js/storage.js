// The backups kept for good: persistent storage asked for before the first backup, and
// File ▸ Export Backups / Import Backups, which move them to another browser or device as
// one archive (an uncompressed zip) or as the backup files themselves.
import {caption} from './captions.js';
import {download, MAX_SETTINGS_FILE} from './files.js';
import {showNotice} from './notice.js';
import {$, page} from './page.js';

// <ID>-<YYYYMMDD>-<HHMMSS>[-<n>].tcf, as gyro/Backups.cpp names a backup.
export const BACKUP_NAME = /^(\d{1,5})-(\d{8})-(\d{6})(?:-(\d{1,4}))?\.tcf$/;
const NOTICE_SHOWN = 'tarvex.backupsMayBeCleared';
const ARCHIVE_LIMIT = 16 * 1024 * 1024;

const folder = () => `${page.Module.tarvexStateFolder}/backups`;

// ---- The archive: stored (uncompressed) zip entries ----------------------------------
const CRC_TABLE = Array.from({length: 256}, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
});

function crc32(bytes) {
    let c = 0xffffffff;
    for (const b of bytes) c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
}

export function zip(files) {
    const encoder = new TextEncoder();
    const parts = [];
    const central = [];
    let offset = 0;
    for (const {name, bytes} of files) {
        const nameBytes = encoder.encode(name);
        const crc = crc32(bytes);
        const local = new DataView(new ArrayBuffer(30));
        local.setUint32(0, 0x04034b50, true);
        local.setUint16(4, 10, true);
        local.setUint32(14, crc, true);
        local.setUint32(18, bytes.length, true);
        local.setUint32(22, bytes.length, true);
        local.setUint16(26, nameBytes.length, true);
        parts.push(local.buffer, nameBytes, bytes);
        const entry = new DataView(new ArrayBuffer(46));
        entry.setUint32(0, 0x02014b50, true);
        entry.setUint16(4, 20, true);
        entry.setUint16(6, 10, true);
        entry.setUint32(16, crc, true);
        entry.setUint32(20, bytes.length, true);
        entry.setUint32(24, bytes.length, true);
        entry.setUint16(28, nameBytes.length, true);
        entry.setUint32(42, offset, true);
        central.push(entry.buffer, nameBytes);
        offset += 30 + nameBytes.length + bytes.length;
    }
    const size = central.reduce((n, p) => n + p.byteLength, 0);
    const end = new DataView(new ArrayBuffer(22));
    end.setUint32(0, 0x06054b50, true);
    end.setUint16(8, files.length, true);
    end.setUint16(10, files.length, true);
    end.setUint32(12, size, true);
    end.setUint32(16, offset, true);
    return new Blob([...parts, ...central, end.buffer], {type: 'application/zip'});
}

// The stored entries of an archive (compressed ones are skipped: the export stores only).
export function unzip(buffer) {
    const view = new DataView(buffer);
    const decoder = new TextDecoder();
    const files = [];
    let at = 0;
    while (at + 30 <= view.byteLength && view.getUint32(at, true) === 0x04034b50) {
        const method = view.getUint16(at + 8, true);
        const size = view.getUint32(at + 18, true);
        const nameLength = view.getUint16(at + 26, true);
        const extra = view.getUint16(at + 28, true);
        const start = at + 30 + nameLength + extra;
        if (start + size > view.byteLength) break;
        const name = decoder.decode(new Uint8Array(buffer, at + 30, nameLength));
        const bytes = new Uint8Array(buffer.slice(start, start + size));
        if (method === 0 && crc32(bytes) === view.getUint32(at + 14, true))
            files.push({name: name.split('/').pop(), bytes});
        at = start + size;
    }
    return files;
}

// ---- Export and Import -----------------------------------------------------------------
export async function exportBackups() {
    if (!page.Module || page.busy) return;
    const files = await page.Module.tarvexWithFiles(async () => {
        const FS = page.Module.FS;
        let names = [];
        try {
            names = FS.readdir(folder()).filter((n) => BACKUP_NAME.test(n));
        } catch {
            names = [];
        }
        return names.sort().map((name) => ({name, bytes: FS.readFile(`${folder()}/${name}`)}));
    });
    const day = new Date().toISOString().slice(0, 10);
    download(zip(files), `tarvex-backups-${day}.zip`);
}

function pickFiles() {
    const input = document.createElement('input');
    input.type = 'file';
    input.multiple = true;
    input.accept = '.tcf,.zip';
    return new Promise((resolve) => {
        input.addEventListener('change', () => resolve([...input.files]));
        input.addEventListener('cancel', () => resolve([]));
        input.click();
    });
}

// Backups from backup files or an exported archive go into the backups folder and the
// store; a backup of a name already there is kept as it is.
export async function importBackups(files) {
    if (!page.Module || page.busy) return 0;
    const found = [];
    for (const file of files) {
        if (/\.zip$/i.test(file.name) && file.size <= ARCHIVE_LIMIT)
            found.push(...unzip(await file.arrayBuffer()));
        else if (BACKUP_NAME.test(file.name) && file.size <= MAX_SETTINGS_FILE)
            found.push({name: file.name, bytes: new Uint8Array(await file.arrayBuffer())});
    }
    const taken = await page.Module.tarvexWithFiles(async () => {
        const FS = page.Module.FS;
        FS.mkdirTree(folder());
        let count = 0;
        for (const {name, bytes} of found) {
            const path = `${folder()}/${name}`;
            if (!BACKUP_NAME.test(name) || bytes.length !== 85 || FS.analyzePath(path).exists)
                continue;
            try {
                await page.Module.tarvexStore.put(path, bytes, false);
            } catch (error) {
                console.warn('not stored:', name, error);
                continue;
            }
            FS.writeFile(path, bytes);
            count += 1;
        }
        return count;
    });
    showNotice('imported', page.texts.backupsImported + taken);
    return taken;
}

// ---- Kept for good ---------------------------------------------------------------------
// Asked before the first backup (the dialog starts with an adapter); where the browser
// refuses, the user hears once that the backups may be cleared, and how to keep copies.
export async function keepBackups() {
    const storage = globalThis.navigator?.storage;
    if (!storage?.persist) return;
    try {
        if ((await storage.persisted()) || (await storage.persist())) return;
    } catch {
        // refused all the same
    }
    if (localStorage.getItem(NOTICE_SHOWN)) return;
    localStorage.setItem(NOTICE_SHOWN, '1');
    showNotice(
        'persist', page.texts.backupsMayBeCleared, [[page.texts.exportBackups, exportBackups]]);
}

// The File menu's two items, after Restore Previous Settings (their captions come through
// the module with the menu's others).
export function wireStorage() {
    const restore = $('[data-command="32781"]');
    if (!restore) return;
    const items = [
        ['Export Backups…', 'export-backups', exportBackups],
        ['Import Backups…', 'import-backups', async () => importBackups(await pickFiles())],
    ];
    let before = restore;
    for (const [source, id, action] of items) {
        const button = document.createElement('button');
        button.type = 'button';
        button.className = 'menu-item';
        button.id = id;
        button.setAttribute('role', 'menuitem');
        button.tabIndex = -1;
        const span = document.createElement('span');
        span.className = 'caption';
        span.dataset.caption = source;
        span.dataset.comment = 'menu';
        span.textContent = caption(source, 'menu');
        button.append(span);
        button.addEventListener('click', () => {
            if (page.running && !page.busy) action();
        });
        before.after(button);
        before = button;
    }
}
