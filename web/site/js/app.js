// The browser edition's page: the start screen, and the dialog's window as
// globalThis.tarvexWindow, which the module (web/WebWindow.cpp) drives. The page has no
// behaviour of its own: every user action goes to the handler of CTarvexDlg named for it
// (the table in dialog/DialogControls.h), one call at a time; the module decides the rest.
// Each concern has its module: page.js (state), captions.js, calls.js (handlers, input),
// menus.js, keys.js, boxes.js (message boxes, choosers), files.js, window.js (the window
// object), start.js (start screen, links), storage.js (backups kept and moved), lock.js
// (one page per adapter), adapter.js (the adapter remembered and reconnected), leave.js (leaving
// asks), update.js (the offline copy's updates).
import './window.js';

import {connectRemembered} from './adapter.js';
import {guardInput, wireControls} from './calls.js';
import {applyCaptions, takeCaptions} from './captions.js';
import {takeFileSink, wireFiles} from './files.js';
import {wireKeys} from './keys.js';
import {wireLeave} from './leave.js';
import {wireLimit} from './limit.js';
import {checkAdapter, wireAdapter} from './lock.js';
import {wireMenus} from './menus.js';
import {$, $$, page, setLanguage} from './page.js';
import {wireShare} from './share.js';
import {startDialog, wireStart} from './start.js';
import {wireStorage} from './storage.js';
import {wireTouch} from './touch.js';
import {registerOfflineCopy} from './update.js';

async function main() {
    document.documentElement.lang = page.lang;
    applyCaptions();
    wireControls();
    wireMenus();
    wireKeys();
    wireFiles();
    wireStorage();
    wireAdapter();
    wireLeave();
    guardInput();
    wireTouch();
    wireLimit();
    wireShare();
    const status = $('#start-status');
    status.textContent = page.texts.loading;
    const buttons = $$('.start-buttons button');
    for (const b of buttons) b.disabled = true;
    const started = wireStart();
    try {
        const {default: createTarvexModule} = await import('../tarvex.js');
        performance.mark('tarvex-script');
        page.Module = await createTarvexModule();
        performance.mark('tarvex-module');
        globalThis.tarvexModule = page.Module;
        takeFileSink();
        setLanguage(page.Module.tarvexSetLanguage(page.lang) || page.lang);
        takeCaptions();
        applyCaptions();
        status.textContent = '';
    } catch (error) {
        status.textContent = page.texts.loadFailed + (error.message || error);
        console.error(error);
        return;
    }
    await started;
    for (const b of buttons) b.disabled = false;
    // The offline copy, once the first start has what it needs (its download would compete).
    registerOfflineCopy();
    await checkAdapter();
    const simulate = new URLSearchParams(location.search).has('simulate');
    await connectRemembered(!simulate);
    if (simulate) await startDialog(true);
}

main();
