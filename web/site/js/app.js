// The browser edition's page: the start screen, and the dialog's window as
// globalThis.tarvexWindow, which the module (web/WebWindow.cpp) drives. The page has no
// behaviour of its own: every user action goes to the handler of CTarvexDlg named for it
// (the table in dialog/DialogControls.h), one call at a time; the module decides the rest.
import {pickLanguage, TEXTS} from './texts.js';

const $ = (selector, root = document) => root.querySelector(selector);
const $$ = (selector, root = document) => [...root.querySelectorAll(selector)];

const lang = pickLanguage(location.search, navigator.languages);
let texts = TEXTS[lang];
let Module = null;
let running = false;  // the dialog is started (OnInitDialog returned true)
let busy = 0;         // a handler runs: the page takes no other input
let pendingScroll = false;
const imported = new Set();  // files the page itself put into the files folder in this call
const handles = new Map();   // module path -> FileSystemFileHandle to write saved files into
const launchFiles = [];      // files the system opened the app with, for once the dialog runs

const control = (id) => $(`[data-control="${id}"]`);
const command = (id) => $(`[data-command="${id}"]`);

// ---- Captions and mnemonics ----------------------------------------------------------------

// The module answers captions only while no handler runs: they are all taken once the
// language is chosen, and the page reads them from here during a handler.
const captions = new Map();
const EXTRA_CAPTIONS = [
    ['Recent File', 'menu'],
    ['&Restore Previous Settings…', 'menu'],
    ['Save &As...', 'menu'],
    ['Direction, %1, row %2', ''],
    ['Status, %1', ''],
];
function takeCaptions() {
    captions.clear();
    const wanted = [
        ...EXTRA_CAPTIONS,
        ...$$('[data-caption]').flatMap((e) => {
            const [head, keys] = e.dataset.caption.split('\t');
            const comment = e.dataset.comment || '';
            return keys ? [[e.dataset.caption, comment], [head, comment]] : [[head, comment]];
        }),
    ];
    for (const [source, comment] of wanted) {
        captions.set(`${comment}\u0000${source}`, Module.tarvexCaption(source, comment));
    }
}
const caption = (source, comment = '') => captions.get(`${comment}\u0000${source}`) ?? source;
const mnemonics = new Map();  // letter -> element whose mnemonic it is

// Splits a caption into its words and its mnemonic: "F&light Mode" -> F, l (underlined),
// "ight Mode"; "&&" is a literal "&"; a tab starts the shortcut text.
function renderCaption(element, text) {
    const [words] = text.split('\t');
    element.replaceChildren();
    let mnemonic = '';
    let plain = '';
    let run = '';
    const flush = () => {
        const lines = run.split('\n');
        lines.forEach((line, i) => {
            if (i > 0) element.append(document.createElement('br'));
            if (line) element.append(line);
        });
        run = '';
    };
    for (let i = 0; i < words.length; ++i) {
        const ch = words[i];
        if (ch === '&' && i + 1 < words.length) {
            const next = words[++i];
            if (next === '&' || mnemonic) {
                run += next;
                plain += next;
                continue;
            }
            flush();
            mnemonic = next;
            const u = document.createElement('u');
            u.textContent = next;
            element.append(u);
            plain += next;
            continue;
        }
        run += ch;
        plain += ch;
    }
    flush();
    return {mnemonic: mnemonic.toLowerCase(), plain: plain.replace(/\s+/g, ' ').trim()};
}

const plainOf = (text) =>
    text.split('\t')[0].replace(/&(.)/g, '$1').replace(/\s+/g, ' ').replace(/\(.\)$/, '').trim();

function applyCaptions() {
    mnemonics.clear();
    for (const element of $$('[data-caption]')) {
        const source = element.dataset.caption;
        const comment = element.dataset.comment || '';
        let text = caption(source, comment);
        const [head, keys] = source.split('\t');
        if (keys && text === source) text = caption(head, comment) + '\t' + keys;
        const {mnemonic} = renderCaption(element, text);
        const owner = element.closest('button, label, legend, [role=menuitem]') || element;
        if (!mnemonic) continue;
        if (element.closest('.menu')) {
            owner.dataset.mnemonic = mnemonic;
        } else if (element.classList.contains('menu-title')) {
            element.dataset.mnemonic = mnemonic;
            element.setAttribute('aria-keyshortcuts', `Alt+${mnemonic.toUpperCase()}`);
            if (!mnemonics.has(`menu:${mnemonic}`)) mnemonics.set(`menu:${mnemonic}`, element);
        } else {
            const target = mnemonicTarget(owner);
            if (target) target.setAttribute('aria-keyshortcuts', `Alt+${mnemonic.toUpperCase()}`);
            if (!mnemonics.has(mnemonic)) mnemonics.set(mnemonic, owner);
        }
    }
    // The names of the controls without a caption of their own.
    for (const element of $$('[data-name]')) {
        const legend = element.dataset.group && $(`#${element.dataset.group}-legend`);
        const group = legend ? plainOf(caption(legend.dataset.caption)) : '';
        const name = caption(element.dataset.name)
                         .replace('%1', group)
                         .replace('%2', element.dataset.row || '');
        element.setAttribute('aria-label', name);
    }
    for (const element of $$('[data-text]')) {
        element.textContent = texts[element.dataset.text] ?? element.textContent;
    }
}

// What a mnemonic reaches: a button or check box is clicked; a label's or group's caption
// moves the focus to its control (a radio group's checked button).
function mnemonicTarget(owner) {
    if (owner.tagName === 'BUTTON') return owner;
    if (owner.tagName === 'LABEL' && owner.classList.contains('check')) return $('input', owner);
    if (owner.tagName === 'LABEL') return document.getElementById(owner.htmlFor);
    if (owner.tagName === 'LEGEND') {
        const set = owner.parentElement;
        return (
            $('input[type=radio]:checked:not(:disabled)', set) ||
            $$('input:not([type=radio]):not([tabindex="-1"]):not(:disabled), select:not(:disabled), input[type=radio]:not(:disabled), button:not(:disabled)',
               set)[0]);
    }
    return null;
}

function runMnemonic(owner) {
    const target = mnemonicTarget(owner);
    if (!target || target.disabled || target.closest('[hidden]')) return false;
    if (target.tagName === 'BUTTON' || target.type === 'checkbox')
        target.click();
    else
        target.focus();
    return true;
}

// ---- Calls into the module -----------------------------------------------------------------

function setBusy(on) {
    busy += on ? 1 : -1;
    document.documentElement.classList.toggle('busy', busy > 0);
}

async function call(name, arg) {
    setBusy(true);
    imported.clear();
    let result = 0;
    try {
        result = await Module.tarvexCall(name, arg);
    } catch (error) {
        console.error(`${name}:`, error);
    } finally {
        try {
            await deliverWrittenFiles();
        } finally {
            setBusy(false);
        }
    }
    if (pendingScroll && busy === 0) {
        pendingScroll = false;
        await call('OnSliderScroll');
    }
    return result;
}

// Files a handler wrote into the files folder go to the file the user chose for them (File
// System Access) or, without one, to the browser's downloads.
async function deliverWrittenFiles() {
    const written = Module.tarvexWrittenFiles ? Module.tarvexWrittenFiles() : [];
    for (const path of written) {
        if (imported.has(path)) continue;
        const bytes = Module.FS.readFile(path);
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

function runCommand(id) {
    const item = command(id);
    if (!running || busy || !item || item.getAttribute('aria-disabled') === 'true') return;
    if (id >= 57616 && id <= 57619) return call('OnRecentFile', id - 57616);
    if (COMMANDS[id]) return call(COMMANDS[id]);
}

function scroll() {
    if (busy)
        pendingScroll = true;
    else
        call('OnSliderScroll');
}

function wireControls() {
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
function guardInput() {
    const block = (e) => {
        if (!busy || !e.isTrusted || e.target.closest?.('dialog[open]')) return;
        e.preventDefault();
        e.stopImmediatePropagation();
    };
    for (const type of ['click', 'pointerdown', 'mousedown', 'keydown', 'drop']) {
        window.addEventListener(type, block, true);
    }
}

// ---- The menu bar ----------------------------------------------------------------------------

const titles = () => $$('.menu-title');
const openList = () => $('.menu:not([hidden])');

function closeMenus(focusTitle) {
    for (const title of titles()) {
        const list = document.getElementById(title.getAttribute('aria-controls'));
        if (!list.hidden && focusTitle) title.focus();
        list.hidden = true;
        title.setAttribute('aria-expanded', 'false');
    }
}

function items(list) { return $$('[role=menuitem]', list); }

async function openMenu(title, focus = 'first') {
    closeMenus(false);
    for (const t of titles()) t.tabIndex = t === title ? 0 : -1;
    if (title.id === 'menu0' && running && !busy) await call('UpdateRecentMenu');
    const list = document.getElementById(title.getAttribute('aria-controls'));
    list.hidden = false;
    title.setAttribute('aria-expanded', 'true');
    const all = items(list);
    const target = focus === 'last' ? all[all.length - 1] : all[0];
    target?.focus();
}

function wireMenus() {
    const bar = $('#menubar');
    for (const title of titles()) {
        title.addEventListener('click', () => {
            if (title.getAttribute('aria-expanded') === 'true')
                closeMenus(true);
            else
                openMenu(title);
        });
    }
    bar.addEventListener('click', (e) => {
        const item = e.target.closest('.menu [role=menuitem]');
        if (!item) return;
        closeMenus(true);
        runCommand(Number(item.dataset.command));
    });
    bar.addEventListener('keydown', (e) => {
        const all = titles();
        const title = e.target.closest('.menu-top')?.querySelector('.menu-title');
        const index = all.indexOf(title);
        const inList = e.target.closest('.menu');
        const move = (delta) => {
            const next = all[(index + delta + all.length) % all.length];
            if (inList)
                openMenu(next);
            else {
                for (const t of all) t.tabIndex = t === next ? 0 : -1;
                next.focus();
            }
        };
        if (e.key === 'ArrowRight')
            move(1);
        else if (e.key === 'ArrowLeft')
            move(-1);
        else if (e.key === 'Escape')
            closeMenus(true);
        else if (e.key === 'Tab')
            closeMenus(false);
        else if (!inList && (e.key === 'ArrowDown' || e.key === 'Enter' || e.key === ' '))
            openMenu(title);
        else if (!inList && e.key === 'ArrowUp')
            openMenu(title, 'last');
        else if (inList && (e.key === 'ArrowDown' || e.key === 'ArrowUp')) {
            const list = items(inList);
            const at = list.indexOf(e.target);
            list[(at + (e.key === 'ArrowDown' ? 1 : -1) + list.length) % list.length].focus();
        } else if (inList && (e.key === 'Home' || e.key === 'End')) {
            const list = items(inList);
            list[e.key === 'Home' ? 0 : list.length - 1].focus();
        } else if (inList && e.key.length === 1 && !e.ctrlKey && !e.altKey && !e.metaKey) {
            const item = items(inList).find((i) => i.dataset.mnemonic === e.key.toLowerCase());
            if (!item) return;
            closeMenus(true);
            runCommand(Number(item.dataset.command));
        } else
            return;
        if (e.key !== 'Tab') e.preventDefault();
    });
    document.addEventListener('pointerdown', (e) => {
        if (!e.target.closest('#menubar')) closeMenus(false);
    });
}

// ---- Keys of the window: mnemonics, shortcuts, Return and Escape -----------------------------

const letterOf = (e) => (/^Key[A-Z]$/.test(e.code) ? e.code.slice(3) : e.key).toLowerCase();

function wireKeys() {
    document.addEventListener('keydown', (e) => {
        if (!running || busy || $('dialog[open]')) return;
        const letter = letterOf(e);
        if (e.ctrlKey && !e.altKey && !e.shiftKey && !e.metaKey) {
            const id = {o: 57601, s: 57603, r: 32771, w: 32772}[letter];
            if (!id) return;
            e.preventDefault();
            runCommand(id);
            return;
        }
        if (e.altKey && !e.ctrlKey && !e.metaKey && letter.length === 1) {
            const owner = mnemonics.get(letter);
            const title = mnemonics.get(`menu:${letter}`);
            if (owner && runMnemonic(owner))
                e.preventDefault();
            else if (title) {
                e.preventDefault();
                openMenu(title);
            }
            return;
        }
        if (e.key === 'F10' && !e.shiftKey) {
            e.preventDefault();
            titles()[0].focus();
            return;
        }
        if (e.target.closest('#menubar')) return;
        if (e.key === 'Escape') {
            e.preventDefault();
            call('OnCancel');
        } else if (e.key === 'Enter' && !e.target.closest('button, select')) {
            e.preventDefault();
            call('OnOK');
        }
    });
}

// ---- Message boxes and choosers ---------------------------------------------------------------

const ICONS = {
    stop: '✕',
    information: 'i',
    exclamation: '!',
    question: '?'
};

function modal(dialog, cancelValue) {
    return new Promise((resolve) => {
        dialog.returnValue = '';
        const onCancel = (e) => {
            e.preventDefault();
            dialog.close(cancelValue);
        };
        dialog.addEventListener('cancel', onCancel);
        dialog.addEventListener(
            'close',
            () => {
                dialog.removeEventListener('cancel', onCancel);
                resolve(dialog.returnValue || cancelValue);
            },
            {once: true},
        );
        dialog.showModal();
    });
}

function showMessage(id, text, icon, buttons) {
    const dialog = $('#message');
    dialog.dataset.id = String(id);
    dialog.dataset.icon = icon;
    $('#message-text').textContent = text;
    const mark = $('#message-icon');
    mark.textContent = ICONS[icon] || '';
    mark.className = `icon icon-${icon}`;
    mark.setAttribute('aria-label', texts[icon] || icon);
    const row = $('#message-buttons');
    row.replaceChildren();
    const answers = buttons === 'yesno' ? ['yes', 'no'] : ['ok'];
    for (const answer of answers) {
        const button = document.createElement('button');
        button.value = answer;
        button.textContent = texts[answer];
        if (answer === answers[0]) button.autofocus = true;
        row.append(button);
    }
    return modal(dialog, buttons === 'yesno' ? 'no' : 'ok');
}

async function writeImported(file, handle) {
    const folder = Module.tarvexFilesFolder;
    Module.FS.mkdirTree?.(folder);
    const path = `${folder}/${file.name.replace(/[/\\]/g, '_')}`;
    Module.FS.writeFile(path, new Uint8Array(await file.arrayBuffer()));
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

// The backups folder: its files newest first, one to choose.
async function chooseFromFolder(folder) {
    const FS = Module.FS;
    let names = [];
    try {
        names = FS.readdir(folder).filter((n) => n !== '.' && n !== '..');
    } catch {
        names = [];
    }
    const files = names.map((name) => ({name, stat: FS.stat(`${folder}/${name}`)}))
                      .filter((f) => FS.isFile(f.stat.mode))
                      .sort((a, b) => b.stat.mtime - a.stat.mtime || b.name.localeCompare(a.name));
    const dialog = $('#chooser');
    $('#chooser-title').textContent = plainOf(caption('&Restore Previous Settings…', 'menu'));
    const body = $('#chooser-body');
    body.replaceChildren();
    const list = document.createElement('div');
    list.className = 'file-list';
    list.setAttribute('role', 'radiogroup');
    list.setAttribute('aria-labelledby', 'chooser-title');
    files.forEach((f, i) => {
        const label = document.createElement('label');
        label.className = 'radio';
        const input = document.createElement('input');
        input.type = 'radio';
        input.name = 'backup';
        input.value = f.name;
        input.checked = i === 0;
        if (i === 0) input.autofocus = true;
        const name = document.createElement('span');
        name.textContent = f.name;
        const date = document.createElement('span');
        date.className = 'date';
        date.textContent = new Date(f.stat.mtime).toLocaleString(lang);
        label.append(input, name, date);
        list.append(label);
    });
    if (!files.length) {
        const p = document.createElement('p');
        p.textContent = texts.noBackups;
        body.append(p);
    }
    body.append(list);
    $('#chooser-ok').disabled = !files.length;
    const answer = await modal(dialog, 'cancel');
    const chosen = $('input[name=backup]:checked', list);
    return answer === 'ok' && chosen ? `${folder}/${chosen.value}` : null;
}

// The chooser appends ".tcf" to a name without an extension.
const withExtension = (name) => (/\.[^.]+$/.test(name) ? name : `${name}.tcf`);

async function askName() {
    const dialog = $('#chooser');
    $('#chooser-title').textContent = plainOf(caption('Save &As...', 'menu'));
    const body = $('#chooser-body');
    const label = document.createElement('label');
    label.className = 'name';
    label.textContent = texts.saveName;
    const input = document.createElement('input');
    input.type = 'text';
    input.name = 'file-name';
    input.placeholder = '*.tcf';
    input.autofocus = true;
    input.spellcheck = false;
    label.append(input);
    body.replaceChildren(label);
    $('#chooser-ok').disabled = false;
    input.addEventListener('keydown', (e) => {
        if (e.key === 'Enter') {
            e.preventDefault();
            dialog.close('ok');
        }
    });
    const answer = await modal(dialog, 'cancel');
    const name = input.value.trim().replace(/[/\\]/g, '_');
    if (answer !== 'ok' || !name || name === '*.tcf') return null;
    return `${Module.tarvexFilesFolder}/${withExtension(name)}`;
}

const GYRO_FILES =
    [{description: 'Gyro Files (*.tcf)', accept: {'application/octet-stream': ['.tcf']}}];

async function chooseSaveAsFile() {
    if (typeof window.showSaveFilePicker === 'function') {
        try {
            const handle = await window.showSaveFilePicker({
                suggestedName: 'settings.tcf',
                types: GYRO_FILES,
            });
            const path = `${Module.tarvexFilesFolder}/${withExtension(handle.name)}`;
            handles.set(path, handle);
            return path;
        } catch (error) {
            if (error.name === 'AbortError') return null;
            console.error(error);
        }
    }
    return askName();
}

// ---- The window object the module drives --------------------------------------------------------

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
        running = false;
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
    async chooseOpenFile(folder) {
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
    },
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

// ---- Start screen and the dialog's life
// -------------------------------------------------------------

function showStart() {
    $('#window').hidden = true;
    $('#start').hidden = false;
    document.title = 'Tarvex';
    $('#title').textContent = 'Tarvex';
}

async function startDialog(useVirtualGyro, port = null) {
    if (!Module) return;
    if (useVirtualGyro)
        Module.tarvexUseVirtualGyro();
    else {
        globalThis.tarvexPort = port;
        Module.tarvexUsePort();
    }
    delete document.documentElement.dataset.ended;
    $('#start').hidden = true;
    $('#window').hidden = false;
    performance.mark('tarvex-init');
    const started = await call('OnInitDialog');
    if (!started) {
        showStart();
        return;
    }
    running = true;
    performance.mark('tarvex-ready');
    document.documentElement.dataset.ready = '1';
    while (launchFiles.length) await call('OnDropFiles', launchFiles.splice(0));
}

async function loadPort(file) {
    try {
        return await import(file);
    } catch {
        return null;  // this build has no such port
    }
}

async function wireStart() {
    const [serial, usb] =
        await Promise.all([loadPort('./serial-port.js'), loadPort('./usb-port.js')]);
    const hasSerial = serial ? serial.hasWebSerial() : 'serial' in navigator;
    const hasUsb = usb ? usb.hasWebUsb() : false;
    $('#connect-serial').hidden = !hasSerial || !serial;
    $('#connect-usb').hidden = !hasUsb;
    // Where USB is the only link to the adapter (Chrome on Android), it is the main button.
    $('#connect-usb').classList.toggle('primary', hasUsb && !hasSerial);
    // The notice is for a browser that reaches the adapter by neither link.
    $('#no-serial').hidden = hasSerial || hasUsb;
    const connect = async (choose) => {
        if (!Module || busy) return;
        let port = null;
        try {
            port = await choose();
        } catch (error) {
            $('#start-status').textContent = String(error.message || error);
            return;
        }
        if (port) await startDialog(false, port);  // cancelling the chooser changes nothing
    };
    $('#connect-serial').addEventListener('click', () => connect(serial.chooseSerialPort));
    $('#connect-usb').addEventListener('click', () => connect(usb.chooseUsbPort));
    $('#simulate').addEventListener('click', () => startDialog(true));
}

function wireFiles() {
    document.addEventListener('dragover', (e) => {
        if (!running || busy || !e.dataTransfer?.types.includes('Files')) return;
        e.preventDefault();
        e.dataTransfer.dropEffect = 'copy';
    });
    document.addEventListener('drop', async (e) => {
        if (!running || busy || !e.dataTransfer?.files.length) return;
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
            if (running && !busy && launchFiles.length)
                await call('OnDropFiles', launchFiles.splice(0));
        });
    }
    window.addEventListener('beforeunload', (e) => {
        if (!running || busy || !Module || !Module.tarvexQuery('HasUnwrittenData')) return;
        e.preventDefault();
        e.returnValue = '';
    });
}

async function main() {
    document.documentElement.lang = lang;
    applyCaptions();
    wireControls();
    wireMenus();
    wireKeys();
    wireFiles();
    guardInput();
    const status = $('#start-status');
    status.textContent = texts.loading;
    const buttons = $$('.start-buttons button');
    for (const b of buttons) b.disabled = true;
    const started = wireStart();
    try {
        const {default: createTarvexModule} = await import('../tarvex.js');
        performance.mark('tarvex-script');
        Module = await createTarvexModule();
        performance.mark('tarvex-module');
        globalThis.tarvexModule = Module;
        const chosen = Module.tarvexSetLanguage(lang) || lang;
        texts = TEXTS[chosen] || TEXTS.en;
        document.documentElement.lang = chosen;
        takeCaptions();
        applyCaptions();
        status.textContent = '';
    } catch (error) {
        status.textContent = texts.loadFailed + (error.message || error);
        console.error(error);
        return;
    }
    await started;
    for (const b of buttons) b.disabled = false;
    // The offline copy, once the first start has what it needs (its download would compete).
    if ('serviceWorker' in navigator) {
        navigator.serviceWorker.register('sw.js').catch(
            (error) => console.warn('offline copy:', error));
    }
    if (new URLSearchParams(location.search).has('simulate')) await startDialog(true);
}

main();
