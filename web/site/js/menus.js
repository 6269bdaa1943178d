// The menu bar: opened by click, Alt+letter or F10, walked with the arrows.
import {call, runCommand} from './calls.js';
import {$, $$, page} from './page.js';

export const titles = () => $$('.menu-title');
const openList = () => $('.menu:not([hidden])');

export function closeMenus(focusTitle) {
    for (const title of titles()) {
        const list = document.getElementById(title.getAttribute('aria-controls'));
        if (!list.hidden && focusTitle) title.focus();
        list.hidden = true;
        title.setAttribute('aria-expanded', 'false');
    }
}

function items(list) { return $$('[role=menuitem]', list); }

export async function openMenu(title, focus = 'first') {
    closeMenus(false);
    for (const t of titles()) t.tabIndex = t === title ? 0 : -1;
    if (title.id === 'menu0' && page.running && !page.busy) await call('UpdateRecentMenu');
    const list = document.getElementById(title.getAttribute('aria-controls'));
    list.hidden = false;
    title.setAttribute('aria-expanded', 'true');
    const all = items(list);
    const target = focus === 'last' ? all[all.length - 1] : all[0];
    target?.focus();
}

export function wireMenus() {
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
