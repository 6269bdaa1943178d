// The window object the module drives (globalThis.tarvexWindow): DialogControls' calls
// on the page's controls.
import {modal, showMessage} from './boxes.js';
import {caption, renderCaption} from './captions.js';
import {chooseOpenFile, chooseSaveAsFile} from './files.js';
import {closeMenus} from './menus.js';
import {$, command, control, page} from './page.js';
import {showStart} from './start.js';

function beep() {
    try {
        const Context = window.AudioContext || window.webkitAudioContext;
        const context = (beep.context ||= new Context());
        const tone = context.createOscillator();
        const gain = context.createGain();
        gain.gain.value = 0.05;
        tone.frequency.value = 880;
        tone.connect(gain).connect(context.destination);
        tone.start();
        tone.stop(context.currentTime + 0.08);
    } catch {
        // No sound here: the message box still shows.
    }
}

function setRecentMenu(list) {
    const box = $('#recent-files');
    box.replaceChildren();
    const entries = list.length ? list : [{text: caption('Recent File', 'menu'), path: ''}];
    entries.forEach((item, i) => {
        const button = document.createElement('button');
        button.type = 'button';
        button.className = 'menu-item';
        button.setAttribute('role', 'menuitem');
        button.tabIndex = -1;
        button.dataset.command = String(57616 + i);
        if (!list.length) button.setAttribute('aria-disabled', 'true');
        if (item.path) button.title = item.path;
        const span = document.createElement('span');
        span.className = 'caption';
        const {mnemonic} = renderCaption(span, item.text);
        if (mnemonic) button.dataset.mnemonic = mnemonic;
        button.append(span);
        box.append(button);
    });
}

globalThis.tarvexWindow = {
    setText(id, text) {
        const element = control(id);
        if (!element) return;
        if (element.tagName === 'INPUT' || element.tagName === 'OUTPUT')
            element.value = text;
        else
            element.textContent = text;
    },
    getText(id) {
        const element = control(id);
        if (!element) return '';
        return element.tagName === 'INPUT' || element.tagName === 'OUTPUT' ? element.value :
                                                                             element.textContent;
    },
    setCheck(id, on) {
        const element = control(id);
        if (!element) return;
        if (element.tagName === 'BUTTON')
            element.setAttribute('aria-pressed', String(!!on));
        else
            element.checked = !!on;
    },
    getCheck(id) {
        const element = control(id);
        if (!element) return false;
        if (element.tagName === 'BUTTON') return element.getAttribute('aria-pressed') === 'true';
        return element.checked;
    },
    setRadio(first, last, checked) {
        for (let id = first; id <= last; ++id) {
            const element = control(id);
            if (element) element.checked = id === checked;
        }
    },
    setEnabled(id, on) {
        if (id >= 32000) {
            const item = command(id);
            if (item) item.setAttribute('aria-disabled', String(!on));
            return;
        }
        const element = control(id);
        if (element) element.disabled = !on;
    },
    setReadOnly(id, on) {
        const element = control(id);
        if (element && element.tagName === 'INPUT') element.readOnly = !!on;
    },
    setTrackbarRange(id, min, max, tick) {
        const element = control(id);
        if (!element) return;
        element.min = String(min);
        element.max = String(max);
        element.step = '1';
        element.dataset.tick = String(tick || 1);  // Page Up/Down move by it
    },
    setTrackbarPos(id, pos) {
        const element = control(id);
        if (element) element.value = String(pos);
    },
    getTrackbarPos(id) {
        const element = control(id);
        return element ? Number(element.value) : 0;
    },
    setListItems(id, list) {
        const element = control(id);
        if (!element) return;
        element.replaceChildren(...list.map((text) => new Option(text)));
        element.selectedIndex = -1;
    },
    setListSelection(id, index) {
        const element = control(id);
        if (element)
            element.selectedIndex = index >= 0 && index < element.options.length ? index : -1;
    },
    getListSelection(id) {
        const element = control(id);
        return element ? element.selectedIndex : -1;
    },
    setFocus(id) {
        const element = control(id);
        if (!element) return;
        element.focus();
        if (element.tagName === 'INPUT' && element.type !== 'range' && element.select)
            element.select();
    },
    setWaitCursor(on) { document.documentElement.classList.toggle('wait', !!on); },
    beep,
    endDialog(result) {
        page.running = false;
        closeMenus(false);
        document.documentElement.dataset.ended = result;
        delete document.documentElement.dataset.ready;
        showStart();
    },
    setTitle(title, marker) {
        const text = marker === 'modified' ? `${title}*` : title;
        document.title = text;
        $('#title').textContent = text;
    },
    setRecentMenu,
    async showAbout() { await modal($('#about'), 'ok'); },
    showMessage,
    chooseOpenFile,
    chooseSaveAsFile,
    loadRecentFiles() {
        try {
            const list = JSON.parse(localStorage.getItem('tarvex.recent') || '[]');
            return Array.isArray(list) ? list.map(String) : [];
        } catch {
            return [];
        }
    },
    saveRecentFiles(paths) { localStorage.setItem('tarvex.recent', JSON.stringify(paths)); },
};
