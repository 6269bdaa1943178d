// Leaving the page asks whenever something would be lost: values not yet written to the
// gyro, and while a command runs (a Write, the limit procedure).
import {page} from './page.js';

export function wireLeave() {
    window.addEventListener('beforeunload', (e) => {
        if (!page.running || !page.Module) return;
        const running = page.busy > 0 || page.Module.tarvexQuery('LimitProcedureRunning');
        if (!running && !page.Module.tarvexQuery('HasUnwrittenData')) return;
        e.preventDefault();
        e.returnValue = '';
    });
}
