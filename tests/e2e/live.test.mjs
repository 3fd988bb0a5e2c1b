// SPDX-License-Identifier: GPL-3.0-or-later
// The live view in headless Chromium with real video from the recorder:
// moving pictures, clicks, the context menu, single view, layouts and the
// menu's language.
import assert from 'node:assert/strict';
import {after, afterEach, before, describe, test} from 'node:test';

import {Stack, clickAt, controlSize, pagePoint, skipReason, waitForStatus} from './harness.mjs';
import {fourWindowPage, installProbes, menuLine, movingWindows, waitForGrid, waitForMenu, waitForNoMenu,
  windowCentre} from './picture.mjs';

const skip = skipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

const POLL = {polling: 200, timeout: 15000};  // for synchronous page predicates

describe('the live view', {skip: skip || false}, () => {
  let stack;
  before(async () => { stack = await new Stack().start(); });
  afterEach(async () => { await stack?.closePages(); });
  after(async () => { await stack?.stop(); });

  test('every window of the 4-window grid shows moving video', async () => {
    const {page, size} = await fourWindowPage(stack);
    assert.deepEqual(await movingWindows(page, size), [true, true, true, true], 'each window changed within a second');
    await page.close();
  });

  test('a click on a window makes it the active one', async () => {
    const {page, size} = await fourWindowPage(stack);
    // A click reports only a window that is not active yet: click another first.
    await clickAt(page, windowCentre(size, 2));
    await clickAt(page, windowCentre(size, 1));
    await waitForStatus(page, /ReTurnPreviewActiveChl \{"ulActiveChannel":1\}/);
    assert.equal(await page.evaluate(() => window.velk.ctrl.GetActiveChannel(window.velk.devId)), 1);
    await page.close();
  });

  test('a click lands on the window under the pointer when the picture is letterboxed', async () => {
    // The page shows the picture at its own size; a canvas styled wider and
    // lower keeps the picture's proportions, with empty bands left and right.
    const page = await stack.livePage({viewport: {width: 1200, height: 500}});
    await page.addStyleTag({content: '#control { width: 1100px !important; max-width: none !important; height: 300px !important; }'});
    const box = await page.locator('#control').boundingBox();
    const size = await controlSize(page);
    assert.ok(box.width / box.height > size.width / size.height * 1.5, 'the picture is letterboxed');
    await page.click('[data-layout="16"]');
    await waitForStatus(page, /ShowChannels done/);
    // Window 4: first column, second row of the 4 x 4 grid.
    await clickAt(page, {x: Math.floor(size.width * 0.1), y: Math.floor(size.height * 0.35)});
    await waitForStatus(page, /ReTurnPreviewActiveChl \{"ulActiveChannel":4\}/);
    await page.close();
  });

  test('the context menu closes a window', async () => {
    const {page, size} = await fourWindowPage(stack);
    assert.equal((await movingWindows(page, size))[0], true, 'the first window plays');
    const at = {x: Math.floor(size.width / 4), y: Math.floor(size.height / 4)};
    await clickAt(page, at, {button: 'right'});
    const menu = await waitForMenu(page, at);
    // The page shows it too.
    await waitForMenu(page, at, {source: 'canvas'});
    // "Open window" is greyed out while the window plays: the first line of
    // dark text is "close window".
    const seen = await page.evaluate(() => window.__events.length);
    await clickAt(page, menuLine(menu, 0));
    // The control reports the open channels without the first one.
    await page.waitForFunction((from) => window.__events.slice(from).some(({name, params}) =>
      name === 'ReTurnPreviewAllChannelState' && params.ulType === 0 && (params.ulOpen & 1) === 0), seen, POLL);
    await waitForStatus(page, /ReTurnPreviewAllChannelState \{[^}]*"ulType":0[^}]*\}/);
    await waitForNoMenu(page, at);
    assert.deepEqual((await movingWindows(page, size, 1)).slice(0, 2), [false, true], 'the first window stopped, the second plays on');
    await page.close();
  });

  test('a double click shows one window alone, another brings the grid back', async () => {
    const {page, size} = await fourWindowPage(stack);
    const centre = windowCentre(size, 3);
    const point = await pagePoint(page, centre.x, centre.y);
    await page.mouse.dblclick(point.x, point.y);
    await waitForGrid(page, 1);
    // The single window fills the picture: the borders of the grid are gone.
    await page.mouse.dblclick(point.x, point.y);
    await waitForGrid(page, 2);
    await page.close();
  });

  test('the layout buttons show 1, 4, 9 and 16 windows', async () => {
    const page = await stack.livePage();
    await installProbes(page);
    for (const [layout, k] of [[1, 1], [4, 2], [9, 3], [16, 4], [4, 2]]) {
      await page.click(`[data-layout="${layout}"]`);
      await waitForGrid(page, k);
    }
    await page.close();
  });

  test('the context menu speaks the language chosen on the page', async () => {
    const {page, size} = await fourWindowPage(stack);
    assert.equal((await movingWindows(page, size))[0], true, 'the first window plays');
    const at = {x: Math.floor(size.width / 4), y: Math.floor(size.height / 4)};
    const menuIn = async (language) => {
      await page.evaluate(() => document.getElementById('status').replaceChildren());
      await page.selectOption('#language', language);
      await waitForStatus(page, new RegExp(`SetLanguageString ${language}: 54 of 54`));
      await clickAt(page, at, {button: 'right'});
      const menu = await waitForMenu(page, at, {withCrop: true});
      await page.keyboard.press('Escape');
      await waitForNoMenu(page, at);
      return menu;
    };
    const differing = (a, b) => (a.width === b.width && a.height === b.height
      ? a.pixels.filter((v, i) => Math.abs(v - b.pixels[i]) > 64).length : Infinity);
    const english = await menuIn('en');
    const chinese = await menuIn('zh-CN');
    const englishAgain = await menuIn('en');
    // Same items, other texts: the menu's size or its text pixels differ.
    assert.equal(chinese.inkBands.length, english.inkBands.length);
    assert.ok(differing(english, chinese) > 100, 'the Chinese menu differs from the English one');
    assert.equal(differing(english, englishAgain), 0, 'back in English the menu is as before');
    await page.close();
  });
});
