// The page's start with a remembered adapter: from navigation to the first Read being
// possible (the page marks 'tarvex-ready' once OnInitDialog returned) when the browser
// already allows the adapter's port, so the page connects without a chooser. The adapter is
// the tests' fake Web Serial port joined to a TestGyro. Cold: a fresh profile, nothing
// cached; from the service worker: the same profile loading again once the offline copy
// controls the page.
//
//   node bench/web/remembered-start.mjs [runs]     (the site from scripts/web.sh; tests/web's npm
//   ci)
import {launch, ready, requireSite, serve} from '../../tests/web/page-harness.mjs';
import {installFakeSerial} from '../../tests/web/support/fake-serial.mjs';
import {TestGyro} from '../../tests/web/support/test-gyro.mjs';

const runs = Number(process.argv[2] || 7);
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
    await installFakeSerial(page, new TestGyro(), {granted: true});
    await page.setViewport({width: 390, height: 844, hasTouch: true, isMobile: true});
    await page.goto(server.url);
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
console.log(`remembered adapter, cold: ${stats(cold)}`);
console.log(`remembered adapter, from the service worker: ${stats(warm)}`);
