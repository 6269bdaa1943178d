// The window's captions in the chosen language, and their mnemonics (Alt+letter).
import {$, $$, page} from './page.js';

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
export function takeCaptions() {
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
        captions.set(`${comment}\u0000${source}`, page.Module.tarvexCaption(source, comment));
    }
}
export const caption = (source, comment = '') =>
    captions.get(`${comment}\u0000${source}`) ?? source;
export const mnemonics = new Map();  // letter -> element whose mnemonic it is

// Splits a caption into its words and its mnemonic: "F&light Mode" -> F, l (underlined),
// "ight Mode"; "&&" is a literal "&"; a tab starts the shortcut text.
export function renderCaption(element, text) {
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

export const plainOf = (text) =>
    text.split('\t')[0].replace(/&(.)/g, '$1').replace(/\s+/g, ' ').replace(/\(.\)$/, '').trim();

export function applyCaptions() {
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
        element.textContent = page.texts[element.dataset.text] ?? element.textContent;
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

export function runMnemonic(owner) {
    const target = mnemonicTarget(owner);
    if (!target || target.disabled || target.closest('[hidden]')) return false;
    if (target.tagName === 'BUTTON' || target.type === 'checkbox')
        target.click();
    else
        target.focus();
    return true;
}
