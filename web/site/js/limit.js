// The limit procedure on the page: while it runs (the module holds the Enter button pressed)
// the screen is kept on (Wake Lock), released when it ends; on a narrow screen the style
// sheet shows the Limit group as a sheet fixed to the bottom of the viewport.
import {control} from './page.js';

export function wireLimit() {
    const enter = control(1051);
    if (!enter) return;
    let lock = null;  // the screen's wake lock (a promise of it) while the procedure runs
    const running = () => enter.getAttribute('aria-pressed') === 'true';
    const update = async () => {
        const on = running();
        document.documentElement.classList.toggle('limit-running', on);
        if (on && !lock && navigator.wakeLock && document.visibilityState === 'visible') {
            lock = navigator.wakeLock.request('screen').catch(() => null);
        } else if (!on && lock) {
            const held = lock;
            lock = null;
            (await held)?.release().catch(() => {});
        }
    };
    new MutationObserver(update).observe(
        enter, {attributes: true, attributeFilter: ['aria-pressed']});
    // The system lets go of the lock while the page is hidden: taken again on its return.
    document.addEventListener('visibilitychange', async () => {
        if (lock && (await lock)?.released !== false) lock = null;
        update();
    });
}
