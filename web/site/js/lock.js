// One page per adapter: a page holds the Web Lock "tarvex-adapter" while its dialog has the
// adapter; another page says so on its start screen instead of failing at the port.
import {$, page} from './page.js';

const LOCK = 'tarvex-adapter';
let release = null;

const locks = () => globalThis.navigator?.locks;

// True when this page now holds the adapter (or the browser has no locks to share it by).
export async function holdAdapter() {
    if (release) return true;
    if (!locks()) return true;
    const held = await new Promise((resolve) => {
        locks()
            .request(
                LOCK, {ifAvailable: true},
                (lock) => {
                    if (!lock) {
                        resolve(false);
                        return undefined;
                    }
                    resolve(true);
                    return new Promise((done) => (release = done));
                })
            .catch(() => resolve(false));
    });
    showAdapterBusy(!held);
    return held;
}

export function letGoOfAdapter() {
    release?.();
    release = null;
}

function showAdapterBusy(busy) {
    const note = $('#adapter-busy');
    if (!note) return;
    note.textContent = page.texts.adapterBusy;
    note.hidden = !busy;
}

// Whether another page holds the adapter: said on the start screen when it shows.
export async function checkAdapter() {
    if (!locks()?.query || release) return;
    const state = await locks().query();
    showAdapterBusy((state.held || []).some((l) => l.name === LOCK));
}

export function wireAdapter() {
    document.addEventListener('visibilitychange', () => {
        if (!document.hidden && !page.running) checkAdapter();
    });
    window.addEventListener('focus', () => {
        if (!page.running) checkAdapter();
    });
}
