// A setup as a link. File ▸ Share Setup gives the site's address with `#tcf=` and the
// window's settings file (the 85 bytes Save writes) in base64url without padding, through
// the system's share sheet where there is one, else copied. A page opened with such a
// fragment takes it out of the address bar and, once the dialog runs, gives the bytes as a
// file named as shared to CTarvexDlg::OpenSharedFile (its loader judges them: a settings
// file opens as File > Open opens it, anything else gives Open's message and leaves the
// window as it was); nothing is written to the gyro. A .tcf
// file shared to the installed app (share_target) arrives the same way: the service worker
// keeps the posted file and sends the page to ./?shared.
import {call} from './calls.js';
import {renderCaption} from './captions.js';
import {newPath} from './files.js';
import {closeMenus} from './menus.js';
import {showNotice} from './notice.js';
import {$, command, page} from './page.js';

const SHARE_COMMAND = 'share';       // the menu item's data-command
const SHARED_CACHE = 'shared-file';  // where the service worker keeps a file shared to the app
const SHARED_KEY = './shared.tcf';

export function toBase64Url(bytes) {
    let text = '';
    for (const b of bytes) text += String.fromCharCode(b);
    return btoa(text).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

// The bytes of a base64url text; none (an empty file) for a text that is not base64url.
export function fromBase64Url(text) {
    if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1) return new Uint8Array(0);
    const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
    return Uint8Array.from(binary, (c) => c.charCodeAt(0));
}

let pending = null;  // {name, bytes} to open once the dialog runs

async function openPending() {
    if (!pending || !page.running || page.busy) return;
    const {bytes} = pending;
    const name = pending.name || `${page.texts.sharedFile}.tcf`;  // in the window's language
    pending = null;
    const path = newPath(name);
    page.Module.FS.writeFile(path, bytes);
    await call('OpenSharedFile', [path]);
}

const notice = (text) => showNotice('shared', text);

async function shareSetup() {
    // The menu's own call (the recent files brought up to date) may still run.
    await page.Module.tarvexIdle();
    if (!page.running || page.busy) return;
    const temp = '/tmp/tarvex-share.tcf';
    if (!(await page.Module.tarvexSaveCopy(temp))) return;
    const bytes = page.Module.FS.readFile(temp);
    page.Module.FS.unlink(temp);
    const url = `${location.origin}${location.pathname}#tcf=${toBase64Url(bytes)}`;
    document.documentElement.dataset.shared = url;
    if (typeof navigator.share === 'function') {
        try {
            await navigator.share({title: 'Tarvex', url});
            notice(page.texts.linkShared);
        } catch (error) {
            if (error && error.name !== 'AbortError') notice(String(error.message || error));
        }
        return;
    }
    try {
        await navigator.clipboard.writeText(url);
        notice(page.texts.linkCopied);
    } catch {
        notice(`${page.texts.linkHere} ${url}`);
    }
}

// The File menu's Share Setup, after Save As (its caption through the module, see captions.js).
function addMenuItem() {
    const saveAs = command(57604);
    if (!saveAs) return;
    const item = saveAs.cloneNode(false);
    item.dataset.command = SHARE_COMMAND;
    delete item.dataset.mnemonic;
    const span = document.createElement('span');
    span.className = 'caption';
    span.dataset.caption = 'S&hare Setup';
    span.dataset.comment = 'menu';
    const {mnemonic} = renderCaption(span, 'S&hare Setup');
    if (mnemonic) item.dataset.mnemonic = mnemonic;
    item.append(span);
    saveAs.after(item);
    // Before the menu's own click handler, which would take it for a dialog command.
    item.addEventListener('click', (e) => {
        e.stopPropagation();
        closeMenus(true);
        shareSetup();
    });
    // Its mnemonic in the open menu (the menu's own keys would take it for a dialog command).
    saveAs.closest('[role=menu]')?.addEventListener('keydown', (e) => {
        if (!item.dataset.mnemonic || e.key.toLowerCase() !== item.dataset.mnemonic || e.ctrlKey ||
            e.altKey || e.metaKey)
            return;
        e.preventDefault();
        e.stopPropagation();
        closeMenus(true);
        shareSetup();
    }, true);
    item.addEventListener('keydown', (e) => {
        if (e.key !== 'Enter' && e.key !== ' ') return;
        e.preventDefault();
        e.stopPropagation();
        closeMenus(true);
        shareSetup();
    });
}

// A fragment #tcf=… or a file the service worker kept: what opens once the dialog runs.
async function takeShared() {
    const match = /^#tcf=(.*)$/.exec(location.hash);
    if (match) {
        pending = {name: '', bytes: fromBase64Url(match[1])};
        history.replaceState(null, '', location.pathname + location.search);
    }
    const params = new URLSearchParams(location.search);
    if (params.has('shared') && 'caches' in window) {
        const cache = await caches.open(SHARED_CACHE);
        const response = await cache.match(SHARED_KEY);
        if (response) {
            const name = decodeURIComponent(response.headers.get('X-File-Name') || '');
            pending = {name, bytes: new Uint8Array(await response.arrayBuffer())};
            await cache.delete(SHARED_KEY);
        }
        params.delete('shared');
        const search = params.toString();
        history.replaceState(null, '', location.pathname + (search ? `?${search}` : ''));
    }
}

export function wireShare() {
    addMenuItem();
    takeShared().then(openPending);
    new MutationObserver(openPending).observe(document.documentElement, {
        attributes: true,
        attributeFilter: ['data-ready', 'class'],
    });
}
