// Calls into the module: one handler at a time, the user's actions routed to the handler of
// CTarvexDlg named for them, and no other input while one runs.
import {deliverWrittenFiles, imported} from './files.js';
import {$, $$, command, page} from './page.js';

let pendingScroll = false;

function setBusy(on) {
    page.busy += on ? 1 : -1;
    document.documentElement.classList.toggle('busy', page.busy > 0);
}

export async function call(name, arg) {
    setBusy(true);
    imported.clear();
    let result = 0;
    try {
        result = await page.Module.tarvexCall(name, arg);
    } catch (error) {
        console.error(`${name}:`, error);
    } finally {
        try {
            await deliverWrittenFiles();
        } finally {
            setBusy(false);
        }
    }
    if (pendingScroll && page.busy === 0) {
        pendingScroll = false;
        await call('OnSliderScroll');
    }
    return result;
}

const HANDLERS = {
    1002: 'OnNotUsingIdClicked',
    1051: 'OnEnterClicked',
    1052: 'OnSetClicked',
    1059: 'OnRead',
    1060: 'OnWrite',
};
for (let id = 1005; id <= 1009; ++id) HANDLERS[id] = 'OnModeChangeClicked';
HANDLERS[1010] = HANDLERS[1011] = 'OnGyroReverseClicked';
HANDLERS[1012] = HANDLERS[1013] = 'OnMountingClicked';
for (let id = 1014; id <= 1016; ++id) HANDLERS[id] = 'OnResponseModeClicked';

const COMMANDS = {
    57600: 'OnFileInitialize',
    57601: 'OnFileOpen',
    32781: 'OnFileRestore',
    57603: 'OnFileSave',
    57604: 'OnFileSaveAs',
    57665: 'OnExit',
    32771: 'OnRead',
    32772: 'OnWrite',
    57664: 'OnAbout',
};

export function runCommand(id) {
    const item = command(id);
    if (!page.running || page.busy || !item || item.getAttribute('aria-disabled') === 'true')
        return;
    if (id >= 57616 && id <= 57619) return call('OnRecentFile', id - 57616);
    if (COMMANDS[id]) return call(COMMANDS[id]);
}

function scroll() {
    if (page.busy)
        pendingScroll = true;
    else
        call('OnSliderScroll');
}

export function wireControls() {
    const form = $('#dialog');
    form.addEventListener('submit', (e) => e.preventDefault());
    for (const element of $$('[data-control]', form)) {
        const id = Number(element.dataset.control);
        if (element.type === 'range') {
            element.addEventListener('input', scroll);
            element.addEventListener('change', scroll);
            element.addEventListener('keydown', (e) => {
                // Page Up/Down move by the tick, as the desktop trackbar does.
                if (e.key !== 'PageUp' && e.key !== 'PageDown') return;
                e.preventDefault();
                const tick = Number(element.dataset.tick || 1);
                const before = element.value;
                element.value = Number(element.value) + (e.key === 'PageUp' ? tick : -tick);
                if (element.value !== before) scroll();
            });
        } else if (element.tagName === 'SELECT') {
            element.addEventListener('change', () => call('OnChannelSelected'));
        } else if (HANDLERS[id]) {
            element.addEventListener('click', () => {
                if (id === 1051) {
                    const pressed = element.getAttribute('aria-pressed') === 'true';
                    element.setAttribute('aria-pressed', String(!pressed));
                }
                call(HANDLERS[id]);
            });
        }
    }
}

// While a handler runs no click, key or drag reaches the dialog or the menu (a slider
// already held keeps moving; its movement is reported once the handler has returned).
export function guardInput() {
    const block = (e) => {
        if (!page.busy || !e.isTrusted || e.target.closest?.('dialog[open]')) return;
        e.preventDefault();
        e.stopImmediatePropagation();
    };
    for (const type of ['click', 'pointerdown', 'mousedown', 'keydown', 'drop']) {
        window.addEventListener(type, block, true);
    }
}
