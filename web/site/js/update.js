// The offline copy and its updates: a new version the service worker has installed waits
// until the user takes it; while the page is idle it says so and offers Reload, which lets
// the new worker take over and loads the page again (never in the middle of a command).
import {showNotice} from './notice.js';
import {page} from './page.js';

let offered = false;

function idle() {
    if (page.busy || !page.Module) return false;
    return !page.running || !page.Module.tarvexQuery('LimitProcedureRunning');
}

function offer(worker) {
    if (offered) return;
    if (!idle()) {
        setTimeout(() => offer(worker), 1000);
        return;
    }
    offered = true;
    document.documentElement.dataset.update = 'ready';
    showNotice('update', page.texts.updateReady, [[
                   page.texts.reload,
                   () => {
                       navigator.serviceWorker.addEventListener(
                           'controllerchange', () => location.reload());
                       worker.postMessage('skipWaiting');
                   }
               ]]);
}

export function registerOfflineCopy() {
    if (!('serviceWorker' in navigator)) return;
    navigator.serviceWorker.register('sw.js')
        .then((registration) => {
            const watch = (worker) => {
                if (!worker) return;
                const check = () => {
                    if (worker.state === 'installed' && navigator.serviceWorker.controller)
                        offer(worker);
                };
                worker.addEventListener('statechange', check);
                check();
            };
            watch(registration.waiting);
            registration.addEventListener('updatefound', () => watch(registration.installing));
        })
        .catch((error) => console.warn('offline copy:', error));
}
