// Message boxes and the page's own choosers (a backup to restore, a name to save as).
import {caption, plainOf} from './captions.js';
import {$, page} from './page.js';

const ICONS = {
    stop: '✕',
    information: 'i',
    exclamation: '!',
    question: '?'
};

export function modal(dialog, cancelValue) {
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

export function showMessage(id, text, icon, buttons) {
    const dialog = $('#message');
    dialog.dataset.id = String(id);
    dialog.dataset.icon = icon;
    $('#message-text').textContent = text;
    const mark = $('#message-icon');
    mark.textContent = ICONS[icon] || '';
    mark.className = `icon icon-${icon}`;
    mark.setAttribute('aria-label', page.texts[icon] || icon);
    const row = $('#message-buttons');
    row.replaceChildren();
    const answers = buttons === 'yesno' ? ['yes', 'no'] : ['ok'];
    for (const answer of answers) {
        const button = document.createElement('button');
        button.value = answer;
        button.textContent = page.texts[answer];
        if (answer === answers[0]) button.autofocus = true;
        row.append(button);
    }
    return modal(dialog, buttons === 'yesno' ? 'no' : 'ok');
}

// The backups folder: its files newest first, one to choose.
export async function chooseFromFolder(folder) {
    const FS = page.Module.FS;
    let names = [];
    try {
        names = FS.readdir(folder).filter((n) => n !== '.' && n !== '..');
    } catch {
        names = [];
    }
    // Newest first by the time each was taken, which its name carries (an import changes
    // a file's time, never its name): <ID>-<YYYYMMDD>-<HHMMSS>[-<n>].tcf.
    const taken = (name) => {
        const m = /^\d+-(\d{8})-(\d{6})(?:-(\d+))?\.tcf$/.exec(name);
        return m ? `${m[1]}${m[2]}${m[3] ? m[3].padStart(4, '0') : '0001'}` : '';
    };
    const whenTaken = (f) => {
        const m = /-(\d{4})(\d\d)(\d\d)-(\d\d)(\d\d)(\d\d)/.exec(f.name);
        return m ? new Date(+m[1], m[2] - 1, +m[3], +m[4], +m[5], +m[6]) : new Date(f.stat.mtime);
    };
    const files = names.map((name) => ({name, stat: FS.stat(`${folder}/${name}`)}))
                      .filter((f) => FS.isFile(f.stat.mode))
                      .sort(
                          (a, b) => taken(b.name).localeCompare(taken(a.name)) ||
                              b.stat.mtime - a.stat.mtime || b.name.localeCompare(a.name));
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
        date.textContent = whenTaken(f).toLocaleString(page.lang);
        label.append(input, name, date);
        list.append(label);
    });
    if (!files.length) {
        const p = document.createElement('p');
        p.textContent = page.texts.noBackups;
        body.append(p);
    }
    body.append(list);
    $('#chooser-ok').disabled = !files.length;
    const answer = await modal(dialog, 'cancel');
    const chosen = $('input[name=backup]:checked', list);
    return answer === 'ok' && chosen ? `${folder}/${chosen.value}` : null;
}

// The chooser appends ".tcf" to a name without an extension.
export const withExtension = (name) => (/\.[^.]+$/.test(name) ? name : `${name}.tcf`);

export async function askName() {
    const dialog = $('#chooser');
    $('#chooser-title').textContent = plainOf(caption('Save &As...', 'menu'));
    const body = $('#chooser-body');
    const label = document.createElement('label');
    label.className = 'name';
    label.textContent = page.texts.saveName;
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
    return `${page.Module.tarvexFilesFolder}/${withExtension(name)}`;
}
