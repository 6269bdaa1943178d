// Keys of the window: mnemonics, shortcuts, Return and Escape.
import {call, runCommand} from './calls.js';
import {mnemonics, runMnemonic} from './captions.js';
import {openMenu, titles} from './menus.js';
import {$, page} from './page.js';

const letterOf = (e) => (/^Key[A-Z]$/.test(e.code) ? e.code.slice(3) : e.key).toLowerCase();

export function wireKeys() {
    document.addEventListener('keydown', (e) => {
        if (!page.running || page.busy || $('dialog[open]')) return;
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
        } else if (e.key === 'Enter' && e.target.matches('input:not([type]), input[type="text"]')) {
            // Enter in a text box (a phone keyboard's Go): the value stays in the box, where
            // the dialog reads it when it needs it; the window stays (no OnOK on the web).
            e.preventDefault();
            e.target.blur();
        } else if (e.key === 'Enter' && !e.target.closest('button, select')) {
            e.preventDefault();
            call('OnOK');
        }
    });
}
