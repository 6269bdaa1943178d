// The page's layout at a desktop and a phone width in each language (nothing overlaps,
// nothing scrolls sideways; screenshots into the build folder, the English ones also for
// the README), and its offline copy: after one visit it starts and reads the virtual gyro
// with the network off.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {test} from 'node:test';

import {answer, buildDir, idle, message, openPage, ready, root, settle, siteAndBrowser} from './page-harness.mjs';

const run = siteAndBrowser();

async function read(page) {
    await page.click('[data-control="1059"]');
    const seen = [];
    while (await settle(page)) {
        const box = await message(page);
        seen.push(box.id);
        await answer(page, box.buttons[0]);
    }
    await idle(page);
    return seen;
}

// The boxes of everything a user sees and touches: captions, controls, radios and check
// boxes with their captions, the menu titles.
function overlaps() {
    const shown = (e) => e.checkVisibility() && e.getClientRects().length;
    const boxes =
        [...document.querySelectorAll('legend, label, .menu-title, [data-control]')]
            .filter((e) => shown(e) && !e.matches('input[type=radio], input[type=checkbox]'))
            .map((e) => ({e, r: e.getBoundingClientRect()}));
    const name = (e) => e.dataset.control || e.id || e.textContent.trim().slice(0, 20);
    const found = [];
    for (let i = 0; i < boxes.length; ++i) {
        for (let j = i + 1; j < boxes.length; ++j) {
            const a = boxes[i];
            const b = boxes[j];
            if (a.e.contains(b.e) || b.e.contains(a.e)) continue;
            const w = Math.min(a.r.right, b.r.right) - Math.max(a.r.left, b.r.left);
            const h = Math.min(a.r.bottom, b.r.bottom) - Math.max(a.r.top, b.r.top);
            if (w > 1 && h > 1) found.push(`${name(a.e)} / ${name(b.e)}`);
        }
    }
    // Text cut off inside its own box (a caption wider than its column) counts too.
    for (const {e} of boxes) {
        if (e.matches('label, legend') && e.scrollWidth > e.clientWidth + 1)
            found.push(`${name(e)} cut`);
    }
    return found;
}

const shots = path.join(buildDir, 'screenshots');
for (const [width, height] of [[1280, 800], [390, 844]]) {
    test(
        `layout at ${width}×${height}: no overlap, no sideways scrolling, targets ≥ 44 px`,
        async () => {
            fs.mkdirSync(shots, {recursive: true});
            for (const lang of ['en', 'de', 'ja']) {
                const page = await openPage(
                    run.browser, `${run.server.url}?simulate&lang=${lang}`, {width, height});
                await ready(page);
                assert.deepEqual(await read(page), [117]);
                const layout = await page.evaluate(
                    () => ({
                        scroll: document.documentElement.scrollWidth - window.innerWidth,
                        columns: new Set([...document.querySelectorAll('.column')].map(
                                             (c) => Math.round(c.getBoundingClientRect().left)))
                                     .size,
                        small: [...document.querySelectorAll(
                                    'button, select, input[type=range], label.radio, label.check')]
                                   .filter(
                                       (e) => e.checkVisibility() &&
                                           e.getBoundingClientRect().height < 44)
                                   .map((e) => e.dataset.control || e.textContent.trim()),
                    }));
                assert.ok(layout.scroll <= 0, `${lang}: scrolls sideways by ${layout.scroll}px`);
                assert.equal(layout.columns, width > 900 ? 3 : 1, `${lang}: columns`);
                assert.deepEqual(layout.small, [], `${lang}: targets under 44 px`);
                assert.deepEqual(await page.evaluate(overlaps), [], `${lang}: overlapping`);
                const file = path.join(shots, `web-${lang}-${width}.png`);
                await page.screenshot({path: file, fullPage: true});
                if (lang === 'en')
                    fs.copyFileSync(
                        file,
                        path.join(root, `docs/screenshots/web-${width === 1280 ? 1280 : 390}.png`));
                await page.browserContext().close();
            }
        });
}

test(
    'installable, and offline: after one visit the site starts and reads with the network off',
    async () => {
        const page = await openPage(run.browser, `${run.server.url}?simulate`);
        await ready(page);
        await page.waitForFunction(
            () => navigator.serviceWorker.controller !== null, {timeout: 20000});
        await page.evaluate(() => navigator.serviceWorker.ready);
        // Installable: the manifest is read without errors; the test's private profile is all
        // Chromium objects to.
        const cdp = await page.createCDPSession();
        assert.deepEqual((await cdp.send('Page.getAppManifest')).errors, []);
        const {installabilityErrors} = await cdp.send('Page.getInstallabilityErrors');
        assert.deepEqual(
            installabilityErrors.map((e) => e.errorId).filter((id) => id !== 'in-incognito'), []);
        await page.setOfflineMode(true);
        await page.reload({waitUntil: 'load'});
        await ready(page);
        assert.deepEqual(await read(page), [117]);
        assert.deepEqual(
            page.errors.filter(
                (e) => !e.includes('404') && !e.includes('ERR_INTERNET_DISCONNECTED')),
            []);
        await page.browserContext().close();
    });
