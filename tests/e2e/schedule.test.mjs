// SPDX-License-Identifier: GPL-3.0-or-later
// The page's schedule section in headless Chromium against a real recorder
// and host: a channel's schedule goes from the recorder's API into the
// control's schedule page, is painted with the mouse in the picture, and is
// saved back through the API.
import assert from 'node:assert/strict';
import {after, afterEach, before, describe, test} from 'node:test';

import {Stack, pagePoint, pollUntil, skipReason, waitForStatus} from './harness.mjs';
import {coloursAt, installProbes, waitForGrid} from './picture.mjs';

const skip = skipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

const WHITE = '255,255,255';
const ALARM_RED = '250,50,50';
const NORMAL_GREEN = '0,200,20';

// The centre of the cell of day (0 = Sunday) and half-hour column in the
// control's picture: the grid sits at (10, 50) of the schedule page, its
// cells 10 x 30 pixels after a 100-pixel label column and a 25-pixel header.
function cell(day, column) {
  return {x: 10 + 100 + column * 10 + 5, y: 50 + 25 + day * 30 + 15};
}

async function drag(page, from, to) {
  const start = await pagePoint(page, from.x, from.y);
  const end = await pagePoint(page, to.x, to.y);
  await page.mouse.move(start.x, start.y);
  await page.mouse.down();
  await page.mouse.move(end.x, end.y, {steps: 6});
  await page.mouse.up();
}

const result = (page) => page.evaluate(() => {
  const line = document.getElementById('schedule-result');
  return {outcome: line.dataset.outcome, text: line.textContent};
});

function waitForResult(page, pattern) {
  return pollUntil(async () => {
    const {outcome, text} = await result(page);
    return outcome !== 'busy' && pattern.test(text);
  }, `the schedule result ${pattern}`);
}

describe('the schedule section', {skip: skip || false}, () => {
  let stack;
  const api = (channel) => `${stack.origin}/api/schedule?channel=${channel}`;
  const put = async (channel, text) => {
    const response = await fetch(api(channel), {method: 'PUT', body: text});
    assert.equal(response.status, 200, await response.text());
  };
  const get = async (channel) => (await fetch(api(channel))).text();

  before(async () => { stack = await new Stack().start(); });
  afterEach(async () => { await stack?.closePages(); });
  after(async () => { await stack?.stop(); });

  test('load a channel, paint in the picture, save, and the recorder holds the new text', async () => {
    // Monday 08:00-12:00, alarm recording (mode 0: periods carry no type).
    await put(1, '[null,[{"E":43199,"S":28800}],null,null,null,null,null]');
    const page = await stack.livePage();
    await installProbes(page);
    await page.click('#tabs [data-section="schedule"]');
    await waitForStatus(page, /SwitchPage\(2\) 0/);
    await waitForResult(page, /channel 1 loaded/);
    await page.selectOption('#schedule-channel', '1');
    await waitForResult(page, /channel 2 loaded/);
    assert.equal(await page.evaluate(() => document.getElementById('schedule-mode').value), '0');

    // The control's schedule page shows Monday 08:00-12:00 in red.
    await pollUntil(async () => (await coloursAt(page, [cell(1, 16), cell(1, 23), cell(1, 24), cell(3, 20)])).join(' ') ===
      [ALARM_RED, ALARM_RED, WHITE, WHITE].join(' '), 'the loaded schedule in the picture');

    // Paint Wednesday 10:00-12:00 with the alarm brush (the far cell counts).
    await page.click('#schedule-brushes [data-brush="2"]');
    await waitForStatus(page, /SelectSchedelBtnType 0/);
    await drag(page, cell(3, 20), cell(3, 23));
    await pollUntil(async () => (await coloursAt(page, [cell(3, 20), cell(3, 23)])).every((c) => c === ALARM_RED),
      'the painted cells');

    await page.click('#schedule-save');
    await waitForResult(page, /channel 2 saved/);
    assert.equal(await get(1), '[null,[{"E":43199,"S":28800}],null,[{"E":43199,"S":36000}],null,null,null]');

    // Back on the live page the channels play again.
    await page.click('#tabs [data-section="live"]');
    await waitForStatus(page, /SwitchPage\(0\) 0/);
    await page.click('[data-layout="4"]');
    await waitForGrid(page, 2);
    assert.equal((await page.textContent('#status')).match(/StartViewAll 0/g).length, 2);
    await page.close();
  });

  test('a typed schedule loads in mode 1 and keeps its types', async () => {
    const typed = '[[{"E":7199,"S":3600,"T":0}],null,null,null,null,null,[{"E":86399,"S":82800,"T":1}]]';
    await put(2, typed);
    const page = await stack.livePage();
    await installProbes(page);
    await page.click('#tabs [data-section="schedule"]');
    await waitForResult(page, /channel 1 loaded/);
    await page.selectOption('#schedule-channel', '2');
    await waitForResult(page, /channel 3 loaded/);
    assert.equal(await page.evaluate(() => document.getElementById('schedule-mode').value), '1');
    assert.equal(await page.isVisible('#schedule-brushes [data-brush="1"]'), true);
    await pollUntil(async () => (await coloursAt(page, [cell(0, 2), cell(6, 47)])).join(' ') ===
      [NORMAL_GREEN, ALARM_RED].join(' '), 'the typed schedule in the picture');
    await page.click('#schedule-save');
    await waitForResult(page, /channel 3 saved/);
    assert.equal(await get(2), typed);
    await page.close();
  });

  test('a double click on a day opens the control\'s day dialog in the picture', async () => {
    const page = await stack.livePage();
    await installProbes(page);
    await page.click('#tabs [data-section="schedule"]');
    await waitForResult(page, /channel 1 loaded/);
    const before = await page.evaluate(() => window.velk.ctrl.GetRecSchedule(window.velk.devId, 0, 0));
    // The schedule page does not move: whatever changes is the dialog (white
    // on white, so count single pixels: its frame, texts and buttons).
    const changed = () => page.evaluate(async () => {
      const img = await window.__probe.picture('grab');
      const now = window.__probe.lumaSamples(img, [{x: 0, y: 0, width: img.width, height: img.height}], 1)[0];
      window.__quiet ??= now;
      return now.filter((v, i) => Math.abs(v - window.__quiet[i]) > 24).length;
    });
    assert.equal(await changed(), 0);
    const at = await pagePoint(page, cell(2, 10).x, cell(2, 10).y);
    await page.mouse.dblclick(at.x, at.y);
    await pollUntil(async () => await changed() > 300, 'the day dialog');
    await page.keyboard.press('Escape');
    await pollUntil(async () => await changed() === 0, 'the dialog to close');
    assert.equal(await page.evaluate(() => window.velk.ctrl.GetRecSchedule(window.velk.devId, 0, 0)), before);
    await page.close();
  });

  test('the tab chosen before logging in is the one shown after it', async () => {
    const page = await stack.browser.newPage({viewport: {width: 1200, height: 900}});
    stack.pages.add(page);
    await page.goto(stack.pageUrl);
    await page.waitForFunction(() => document.getElementById('connection').textContent === 'connected');
    await page.click('#tabs [data-section="schedule"]');
    await page.fill('#login-password', 'admin');
    await page.click('#login-button');
    await waitForResult(page, /channel 1 loaded/);
    assert.equal(await page.isVisible('#section-schedule'), true);
    assert.equal(await page.isVisible('#section-live'), false);
    assert.equal(await page.evaluate(() => window.velk.controlPage), 2);
    await page.close();
  });

  test('failures of the recorder show in the result line', async () => {
    const page = await stack.livePage();
    await page.route('**/api/schedule?channel=0', (route) => route.request().method() === 'GET'
      ? route.fulfill({status: 500, contentType: 'application/json', body: '{"ok":false,"error":"disk on fire"}'})
      : route.fulfill({status: 403, contentType: 'application/json', body: '{"ok":false,"error":"foreign origin"}'}));
    await page.click('#tabs [data-section="schedule"]');
    await waitForResult(page, /Loading failed: HTTP 500: disk on fire/);
    assert.equal((await result(page)).outcome, 'error');
    // Nothing was loaded: saving would overwrite the channel with an empty week.
    await page.click('#schedule-save');
    await waitForResult(page, /Load a channel's schedule before saving/);

    await page.unroute('**/api/schedule?channel=0');
    await page.route('**/api/schedule?channel=0', (route) => route.request().method() === 'PUT'
      ? route.fulfill({status: 403, contentType: 'application/json', body: '{"ok":false,"error":"foreign origin"}'})
      : route.continue());
    await page.click('#schedule-load');
    await waitForResult(page, /channel 1 loaded/);
    await page.click('#schedule-save');
    await waitForResult(page, /Saving failed: HTTP 403: foreign origin/);
    await page.close();
  });
});
