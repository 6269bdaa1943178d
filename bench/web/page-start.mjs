// The browser page's start: from navigation to the first Read being possible (the dialog
// started: OnInitDialog returned and the page marked 'tarvex-ready'). Cold: a fresh browser
// profile, nothing cached; from the service worker: the same profile loading again once the
// offline copy controls the page.
//
// With the virtual gyro (?simulate) at 1280×800; with --remembered, at 390×844 with touch,
// the browser already allowing the adapter's port (the tests' fake Web Serial port joined to
// a TestGyro), so the page connects without a chooser.
//
//   node bench/web/page-start.mjs [--remembered] [runs]
//   (the site from scripts/web.sh; tests/web's npm ci)
import {launch, ready, requireSite, serve} from '../../tests/web/page-harness.mjs';
import {installFakeSerial} from '../../tests/web/support/fake-serial.mjs';
import {TestGyro} from '../../tests/web/support/test-gyro.mjs';

const remembered = process.argv.includes('--remembered');
const runs = Number(process.argv.slice(2).find((a) => !a.startsWith('--')) || 7);
requireSite();
const server = await serve();
const browser = await launch();
const cold = [];
const warm = [];
const mark = (page) =>
    page.evaluate(() => performance.getEntriesByName('tarvex-ready')[0].startTime);
for (let i = 0; i < runs; ++i) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    if (remembered) {
        await installFakeSerial(page, new TestGyro(), {granted: true});
        await page.setViewport({width: 390, height: 844, hasTouch: true, isMobile: true});
    } else {
        await page.setViewport({width: 1280, height: 800});
    }
    await page.goto(remembered ? server.url : `${server.url}?simulate`);
    await ready(page);
    cold.push(await mark(page));
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, {timeout: 20000});
    await page.reload();
    await ready(page);
    warm.push(await mark(page));
    await context.close();
}
await browser.close();
await server.close();
const stats = (list) => {
    const sorted = [...list].sort((a, b) => a - b);
    return `median ${sorted[Math.floor(sorted.length / 2)].toFixed(0)} ms, max ${
        sorted[sorted.length - 1].toFixed(0)} ms (${list.length} runs)`;
};
const what = remembered ? 'remembered adapter, ' : '';
console.log(`${what}cold: ${stats(cold)}`);
console.log(`${what}from the service worker: ${stats(warm)}`);
