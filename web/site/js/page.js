// What every part of the page shares: the page's state and its element look-ups.
import {pickLanguage, TEXTS} from './texts.js';

export const $ = (selector, root = document) => root.querySelector(selector);
export const $$ = (selector, root = document) => [...root.querySelectorAll(selector)];
export const control = (id) => $(`[data-control="${id}"]`);
export const command = (id) => $(`[data-command="${id}"]`);

const lang = pickLanguage(location.search, navigator.languages);

export const page = {
    lang,
    texts: TEXTS[lang],  // the page's own texts (start screen, Yes/No/OK) in the language
    Module: null,        // the module, once loaded
    running: false,      // the dialog is started (OnInitDialog returned true)
    busy: 0,             // a handler runs: the page takes no other input
};

// The language the module chose (it knows which it has).
export function setLanguage(code) {
    page.lang = code;
    page.texts = TEXTS[code] || TEXTS.en;
    document.documentElement.lang = code;
}
