// A notice above the window (or the start screen) in the page's language: a line of text
// and its buttons; one at a time, the newest replacing the one before.
import {page} from './page.js';

export function showNotice(kind, text, buttons = []) {
    let bar = document.getElementById('page-notice');
    if (!bar) {
        bar = document.createElement('div');
        bar.id = 'page-notice';
        bar.className = 'page-notice';
        bar.setAttribute('role', 'status');
        document.querySelector('.title-bar')?.after(bar) ?? document.body.prepend(bar);
    }
    bar.dataset.kind = kind;
    const line = document.createElement('span');
    line.textContent = text;
    const row = buttons.map(([label, action]) => {
        const button = document.createElement('button');
        button.type = 'button';
        button.textContent = label;
        button.addEventListener('click', () => {
            hideNotice();
            action?.();
        });
        return button;
    });
    const close = document.createElement('button');
    close.type = 'button';
    close.textContent = page.texts.ok;
    close.addEventListener('click', hideNotice);
    bar.replaceChildren(line, ...row, close);
    bar.hidden = false;
}

export function hideNotice() {
    const bar = document.getElementById('page-notice');
    if (bar) bar.hidden = true;
}
