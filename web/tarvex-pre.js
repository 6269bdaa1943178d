// Before the module starts: the folders that survive a visit. The module works on its
// in-memory file system; every file under /tarvex is also kept in IndexedDB as an entry of
// its own (Module.tarvexStore), put there when the module writes it (web/FileStore.cpp) and
// loaded back at the start. /tarvex/state is XDG_STATE_HOME, so the backups
// (state/tarvex/backups) and the virtual gyro's record (state/tarvex/vgyro.state) live
// there, and /tarvex/files holds the settings files the user opened or saved. One entry
// per file, never a copy of the whole folder: what one tab stores, another tab never
// overwrites or removes unless it writes or removes that very file.
Module['tarvexStore'] = (function() {
    const NAME = 'tarvex-files';
    const FILES = 'files';
    const known = new Map();  // path -> the stamp of the entry this page has in memory
    let opened = null;
    let counter = 0;

    function request(r) {
        return new Promise(function(resolve, reject) {
            r.onsuccess = function() { resolve(r.result); };
            r.onerror = function() { reject(r.error); };
        });
    }

    function done(transaction) {
        return new Promise(function(resolve, reject) {
            transaction.oncomplete = function() { resolve(); };
            transaction.onerror = function() { reject(transaction.error); };
            transaction.onabort = function() {
                reject(transaction.error || new DOMException('aborted', 'AbortError'));
            };
        });
    }

    function open() {
        if (!opened) {
            opened = new Promise(function(resolve, reject) {
                const r = indexedDB.open(NAME, 1);
                r.onupgradeneeded = function() { r.result.createObjectStore(FILES); };
                r.onsuccess = function() { resolve(r.result); };
                r.onerror = function() { reject(r.error); };
                r.onblocked = function() { reject(new Error('the store is blocked')); };
            });
            opened.catch(function() { opened = null; });
        }
        return opened;
    }

    // Every entry as [path, {bytes, stamp}]. (The minifier of this emscripten takes no
    // destructuring in a for-of: the loops below index the pairs.)
    async function entries() {
        const db = await open();
        const t = db.transaction(FILES, 'readonly');
        const s = t.objectStore(FILES);
        const [keys, values] = await Promise.all([request(s.getAllKeys()), request(s.getAll())]);
        return keys.map(function(k, i) { return [String(k), values[i]]; });
    }

    function place(path, bytes) {
        const slash = path.lastIndexOf('/');
        if (slash > 0) FS.mkdirTree(path.slice(0, slash));
        FS.writeFile(path, bytes);
    }

    // The files the earlier edition kept (emscripten's whole-folder store of /tarvex), taken
    // over once into the per-file store when that holds nothing yet.
    async function takeOver() {
        const old = await new Promise(function(resolve) {
            let fresh = false;
            const r = indexedDB.open('/tarvex');
            r.onupgradeneeded = function() {
                fresh = true;
                r.transaction.abort();
            };
            r.onsuccess = function() { resolve(fresh ? null : r.result); };
            r.onerror = function() { resolve(null); };
        });
        if (!old) return [];
        try {
            if (!old.objectStoreNames.contains('FILE_DATA')) return [];
            const s = old.transaction('FILE_DATA', 'readonly').objectStore('FILE_DATA');
            const [keys, values] =
                await Promise.all([request(s.getAllKeys()), request(s.getAll())]);
            const found = [];
            keys.forEach(function(k, i) {
                const v = values[i];
                if (v && v.contents && FS.isFile(v.mode)) found.push([String(k), v.contents]);
            });
            return found;
        } finally {
            old.close();
        }
    }

    const store = {
        // Puts the file's bytes as its entry and resolves once the browser has them; the
        // files folder's files go to the file the user chose for them first (the page's
        // tarvexFileSink), and a failure there is the commit's failure.
        // deliver false: only stored (a file the page itself took in).
        put: async function(path, bytes, deliver) {
            if (deliver !== false && path.startsWith(Module['tarvexFilesFolder'] + '/') &&
                Module['tarvexFileSink'])
                await Module['tarvexFileSink'](path, bytes);
            const db = await open();
            const stamp = Date.now() + '-' + (++counter) + '-' + Math.random();
            const t = db.transaction(FILES, 'readwrite');
            t.objectStore(FILES).put({bytes: new Uint8Array(bytes), stamp: stamp}, path);
            await done(t);
            known.set(path, stamp);
        },
        // Removes only that entry.
        remove: async function(path) {
            const db = await open();
            const t = db.transaction(FILES, 'readwrite');
            t.objectStore(FILES).delete(path);
            await done(t);
            known.delete(path);
        },
        // Every stored entry into the in-memory folders (at the start).
        load: async function() {
            let all = await entries();
            if (!all.length) {
                for (const found of await takeOver()) {
                    const path = found[0];
                    const bytes = found[1];
                    if (!path.startsWith('/tarvex/')) continue;
                    try {
                        await store.put(path, bytes, false);
                    } catch (e) {
                        // kept in memory for this visit all the same
                    }
                    place(path, bytes);
                }
                all = await entries();
            }
            for (const entry of all) {
                const path = entry[0];
                const value = entry[1];
                if (!value || !value.bytes) continue;
                place(path, value.bytes);
                known.set(path, value.stamp);
            }
        },
        // The entries other pages stored since this one last looked: added or brought up to
        // date in memory. Nothing this page has is removed.
        refresh: async function() {
            try {
                for (const entry of await entries()) {
                    const path = entry[0];
                    const value = entry[1];
                    if (!value || !value.bytes || known.get(path) === value.stamp) continue;
                    place(path, value.bytes);
                    known.set(path, value.stamp);
                }
            } catch (e) {
                console.warn('tarvex: the stored files could not be read', e);
            }
        },
        paths: function() { return [...known.keys()]; },
    };
    return store;
})();

Module['preRun'] = Module['preRun'] || [];
Module['preRun'].push(function() {
    ENV['XDG_STATE_HOME'] = '/tarvex/state';
    ENV['HOME'] = '/tarvex/home';
    for (const folder of ['/tarvex/state/tarvex', '/tarvex/files', '/tarvex/home'])
        FS.mkdirTree(folder);
    addRunDependency('tarvex-store');
    Module['tarvexStore']
        .load()
        .catch(function(error) {
            // Without the browser's storage the module runs on memory alone; every save
            // then reports that it could not be kept.
            console.warn('tarvex: the stored files could not be loaded', error);
        })
        .finally(function() { removeRunDependency('tarvex-store'); });
});
