// Settings files: opened through the picker or a drop, saved into the file they came from.
// Each file taken in gets a module path of its own (a folder per file under the files
// folder, the file's name kept), so two files of the same name never share one; the file
// handle it came with belongs to that path. The module's save of such a path is written
// through the handle when it is stored (Module.tarvexFileSink, called by the store), and a
// failure there is the save's failure.
import {askName, chooseFromFolder, withExtension} from './boxes.js';
import {call} from './calls.js';
import {$, page} from './page.js';

// A settings file is 85 bytes; anything beyond this is not one and is not read.
export const MAX_SETTINGS_FILE = 64 * 1024;

export const imported = new Set();  // files the page itself put into the files folder in this call
const handles = new Map();          // module path -> FileSystemFileHandle saves go to
const downloads = [];               // saved files without a handle, for the browser's downloads
const launchFiles = [];  // files the system opened the app with, for once the dialog runs
let taken = 0;

const hasSavePicker = () => typeof window.showSaveFilePicker === 'function';
const isSettingsFile = (name) => /\.tcf$/i.test(name);

// Where the file named name goes in the files folder: a folder of its own.
export function newPath(name) {
    taken += 1;
    const folder =
        `${page.Module.tarvexFilesFolder}/${Date.now().toString(36)}${taken.toString(36)}`;
    page.Module.FS.mkdirTree(folder);
    return `${folder}/${name.replace(/[/\\]/g, '_')}`;
}

// The file handed to the module under a path of its own; a file far larger than a settings
// file is not read: its path names no file, so the module reports it cannot be loaded.
async function writeImported(file, handle) {
    const path = newPath(file.name);
    if (handle) handles.set(path, handle);
    if (file.size > MAX_SETTINGS_FILE) return path;
    const bytes = new Uint8Array(await file.arrayBuffer());
    page.Module.FS.writeFile(path, bytes);
    imported.add(path);
    // Kept for the recent-file list; a store that refuses leaves it for this visit.
    page.Module.tarvexStore.put(path, bytes, false).catch(() => {});
    return path;
}

async function writeThroughHandle(handle, bytes) {
    if (handle.queryPermission &&
        (await handle.queryPermission({mode: 'readwrite'})) !== 'granted') {
        if ((await handle.requestPermission({mode: 'readwrite'})) !== 'granted')
            throw new Error('writing the file was not allowed');
    }
    const writable = await handle.createWritable();
    await writable.write(bytes);
    await writable.close();
}

// The store's call for a file the module saved into the files folder: through its handle;
// without one, into a file the user chooses now, or (no File System Access) a download.
async function sink(path, bytes) {
    let handle = handles.get(path);
    if (!handle && hasSavePicker()) {
        handle = await window.showSaveFilePicker(
            {suggestedName: path.split('/').pop(), types: GYRO_FILES});
        handles.set(path, handle);
    }
    if (handle)
        await writeThroughHandle(handle, bytes);
    else
        downloads.push([path.split('/').pop(), bytes.slice()]);
}

// The saves without a handle go to the browser's downloads once the call has returned.
export async function deliverWrittenFiles() {
    for (const [name, bytes] of downloads.splice(0))
        download(new Blob([bytes], {type: 'application/octet-stream'}), name);
}

// The blob into the browser's downloads as name.
export function download(blob, name) {
    const url = URL.createObjectURL(blob);
    const a = document.createElement('a');
    a.href = url;
    a.download = name;
    a.hidden = true;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
}

function pickFile() {
    const input = $('#open-file');
    input.value = '';
    return new Promise((resolve) => {
        const done = (file) => {
            input.removeEventListener('change', onChange);
            input.removeEventListener('cancel', onCancel);
            resolve(file);
        };
        const onChange = () => done(input.files[0] || null);
        const onCancel = () => done(null);
        input.addEventListener('change', onChange);
        input.addEventListener('cancel', onCancel);
        input.click();
    });
}

export async function chooseOpenFile(folder) {
    if (folder) return chooseFromFolder(folder);
    if (typeof window.showOpenFilePicker === 'function') {
        // With File System Access the file keeps its handle: Save writes back into it.
        try {
            const [handle] = await window.showOpenFilePicker({types: GYRO_FILES});
            return writeImported(await handle.getFile(), handle);
        } catch (error) {
            if (error.name === 'AbortError') return null;
            console.error(error);
        }
    }
    const file = await pickFile();
    return file ? writeImported(file) : null;
}

const GYRO_FILES =
    [{description: 'Gyro Files (*.tcf)', accept: {'application/octet-stream': ['.tcf']}}];

export async function chooseSaveAsFile() {
    if (hasSavePicker()) {
        try {
            const handle = await window.showSaveFilePicker({
                suggestedName: 'settings.tcf',
                types: GYRO_FILES,
            });
            const path = newPath(withExtension(handle.name));
            handles.set(path, handle);
            return path;
        } catch (error) {
            if (error.name === 'AbortError') return null;
            console.error(error);
        }
    }
    return askName();
}

// Files the system opened the app with before the dialog ran.
export async function openLaunchFiles() {
    while (launchFiles.length) await call('OnDropFiles', launchFiles.splice(0));
}

export function wireFiles() {
    document.addEventListener('dragover', (e) => {
        if (!page.running || page.busy || !e.dataTransfer?.types.includes('Files')) return;
        e.preventDefault();
        e.dataTransfer.dropEffect = 'copy';
    });
    document.addEventListener('drop', async (e) => {
        if (!e.dataTransfer?.files.length) return;
        e.preventDefault();  // a file dropped is never opened by the browser itself
        // Taken as the window takes a drop: exactly one settings file, anything else is
        // ignored and nothing of it is read.
        const files = e.dataTransfer.files;
        if (!page.running || page.busy || files.length !== 1 || !isSettingsFile(files[0].name))
            return;
        const item = e.dataTransfer.items?.[0];
        const handle = item?.getAsFileSystemHandle ? item.getAsFileSystemHandle() : null;
        const file = files[0];
        imported.clear();
        const path = await writeImported(file, await handle?.catch(() => null));
        await call('OnDropFiles', [path]);
    });
    if ('launchQueue' in window) {
        window.launchQueue.setConsumer(async (params) => {
            for (const handle of params.files || []) {
                const file = await handle.getFile();
                launchFiles.push(await writeImported(file, handle));
            }
            if (page.running && !page.busy && launchFiles.length)
                await call('OnDropFiles', launchFiles.splice(0));
        });
    }
}

// Called once the module is loaded.
export function takeFileSink() { page.Module.tarvexFileSink = sink; }
