// The browser page's start: from navigation to the first Read being possible (the dialog
// started: OnInitDialog returned and the page marked 'tarvex-ready'), with the virtual gyro
// (?simulate). Cold: a fresh browser profile, nothing cached; from the service worker: the
// same profile loading again once the offline copy controls the page.
//
//   node bench/web/page-start.mjs [runs]     (the site from scripts/web.sh; tests/web's npm ci)
import {launch, ready, requireSite, serve} from '../../tests/web/page-harness.mjs';

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
    await page.setViewport({width: 1280, height: 800});
    await page.goto(`${server.url}?simulate`);
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
console.log(`cold: ${stats(cold)}`);
console.log(`from the service worker: ${stats(warm)}`);
