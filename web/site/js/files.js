// Settings files: opened through the picker or a drop, saved into the file the user chose
// or out as a download.
import {askName, chooseFromFolder, withExtension} from './boxes.js';
import {call} from './calls.js';
import {$, page} from './page.js';

export const imported = new Set();  // files the page itself put into the files folder in this call
const handles = new Map();          // module path -> FileSystemFileHandle to write saved files into
const launchFiles = [];  // files the system opened the app with, for once the dialog runs

// Files a handler wrote into the files folder go to the file the user chose for them (File
// System Access) or, without one, to the browser's downloads.
export async function deliverWrittenFiles() {
    const written = page.Module.tarvexWrittenFiles ? page.Module.tarvexWrittenFiles() : [];
    for (const path of written) {
        if (imported.has(path)) continue;
        const bytes = page.Module.FS.readFile(path);
        const handle = handles.get(path);
        if (handle) {
            try {
                const writable = await handle.createWritable();
                await writable.write(bytes);
                await writable.close();
                continue;
            } catch (error) {
                console.error('writing', path, error);
            }
        }
        const url = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
        const a = document.createElement('a');
        a.href = url;
        a.download = path.split('/').pop();
        a.hidden = true;
        document.body.append(a);
        a.click();
        a.remove();
        setTimeout(() => URL.revokeObjectURL(url), 60000);
    }
}

async function writeImported(file, handle) {
    const folder = page.Module.tarvexFilesFolder;
    page.Module.FS.mkdirTree?.(folder);
    const path = `${folder}/${file.name.replace(/[/\\]/g, '_')}`;
    page.Module.FS.writeFile(path, new Uint8Array(await file.arrayBuffer()));
    imported.add(path);
    if (handle) handles.set(path, handle);
    return path;
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
    if (typeof window.showSaveFilePicker === 'function') {
        try {
            const handle = await window.showSaveFilePicker({
                suggestedName: 'settings.tcf',
                types: GYRO_FILES,
            });
            const path = `${page.Module.tarvexFilesFolder}/${withExtension(handle.name)}`;
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
        if (!page.running || page.busy || !e.dataTransfer?.files.length) return;
        e.preventDefault();
        imported.clear();
        const paths = [];
        for (const file of e.dataTransfer.files) paths.push(await writeImported(file));
        await call('OnDropFiles', paths);
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
    window.addEventListener('beforeunload', (e) => {
        if (!page.running || page.busy || !page.Module ||
            !page.Module.tarvexQuery('HasUnwrittenData'))
            return;
        e.preventDefault();
        e.returnValue = '';
    });
}
