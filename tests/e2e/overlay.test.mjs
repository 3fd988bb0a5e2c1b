// SPDX-License-Identifier: GPL-3.0-or-later
// The page's Overlay tab in headless Chromium against a real recorder and
// host: a channel's motion cells, privacy masks and on-screen texts go from
// the recorder's API into the control's overlay page, are edited with the
// mouse in the live picture, and are saved back, after which the recorder's
// own pictures show them.
import assert from 'node:assert/strict';
import {after, afterEach, before, describe, test} from 'node:test';

import {Stack, controlSize, pagePoint, pollUntil, skipReason, waitForStatus} from './harness.mjs';
import {coloursAt, installProbes} from './picture.mjs';

const skip = skipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

const BACKGROUND = '27,27,27';  // the overlay window before its first picture
const NO_CELLS = '0'.repeat(64);

// The motion text with the given cells (row * 15 + column) set.
function motionText(cells) {
  const bytes = new Array(32).fill(0);
  for (const c of cells) bytes[c >> 3] |= 1 << (c & 7);
  return bytes.map((b) => b.toString(16).toUpperCase().padStart(2, '0')).join('');
}

// The control point in the middle of cell (row, column) for the mouse: the
// window's cells are (W + 14) / 15 by (H + 11) / 12 pixels.
function cellCentre(size, row, column) {
  const width = Math.max(1, Math.floor((size.width + 14) / 15));
  const height = Math.max(1, Math.floor((size.height + 11) / 12));
  return {x: column * width + Math.floor(width / 2), y: row * height + Math.floor(height / 2)};
}

// A control point of the picture at device coordinates (704 x 576).
function fromDevice(size, x, y) {
  return {x: Math.round(x * size.width / 704), y: Math.round(y * size.height / 576)};
}

async function drag(page, from, to) {
  const start = await pagePoint(page, from.x, from.y);
  const end = await pagePoint(page, to.x, to.y);
  await page.mouse.move(start.x, start.y);
  await page.mouse.down();
  await page.mouse.move(end.x, end.y, {steps: 8});
  await page.mouse.up();
}

const result = (page) => page.evaluate(() => {
  const line = document.getElementById('overlay-result');
  return {outcome: line.dataset.outcome, text: line.textContent};
});

async function waitForResult(page, pattern) {
  let last = '';
  try {
    await pollUntil(async () => {
      const {outcome, text} = await result(page);
      last = text;
      return outcome !== 'busy' && pattern.test(text);
    }, `the overlay result ${pattern}`);
  } catch (e) {
    throw new Error(`${e.message}; the result line says "${last}"`);
  }
}

const call = (page, method, ...args) =>
  page.evaluate(([m, a]) => window.velk.ctrl.call(m, window.velk.devId, ...a), [method, args]);

// Waits until the overlay window draws the channel's picture (the mouse
// edits from then on).
async function waitForPicture(page, size) {
  const probe = cellCentre(size, 6, 7);
  await pollUntil(async () => (await coloursAt(page, [probe]))[0] !== BACKGROUND, 'the overlay\'s live picture');
}

// The mean brightness of a small square of the host's picture around a control point.
function brightnessAround(page, at) {
  return page.evaluate(async ([x, y]) => {
    const img = await window.__probe.picture('grab');
    let sum = 0;
    let count = 0;
    for (let dy = -3; dy <= 3; ++dy) {
      for (let dx = -3; dx <= 3; ++dx) {
        const [r, g, b] = window.__probe.coloursAt(img, [{x: x + dx, y: y + dy}])[0];
        sum += (r + g + b) / 3;
        ++count;
      }
    }
    return sum / count;
  }, [at.x, at.y]);
}

describe('the overlay tab', {skip: skip || false}, () => {
  let stack;
  const api = (channel) => `${stack.origin}/api/overlay?channel=${channel}`;
  const put = async (channel, body) => {
    const response = await fetch(api(channel), {method: 'PUT', body: JSON.stringify(body)});
    assert.equal(response.status, 200, await response.text());
  };
  const get = async (channel) => (await fetch(api(channel))).json();

  before(async () => { stack = await new Stack().start(); });
  afterEach(async () => { await stack?.closePages(); });
  after(async () => { await stack?.stop(); });

  async function overlayPage(channel, kind) {
    const page = await stack.livePage();
    await installProbes(page);
    await page.click('#tabs [data-section="overlay"]');
    await waitForStatus(page, /SwitchPage\(1\) 0/);
    await waitForResult(page, /channel 1 loaded/);
    if (kind !== 0) {
      await page.click(`#overlay-kinds [data-kind="${kind}"]`);
      await waitForResult(page, /channel 1 loaded/);
    }
    if (channel !== 0) {
      await page.selectOption('#overlay-channel', String(channel));
      await waitForResult(page, new RegExp(`channel ${channel + 1} loaded`));
    }
    const size = await controlSize(page);
    await waitForPicture(page, size);
    return {page, size};
  }

  test('motion cells: loaded from the recorder, painted with the mouse, saved, cleared', async () => {
    await put(1, {motion: motionText([0])});
    const {page, size} = await overlayPage(1, 0);
    assert.equal(await call(page, 'GetOverlayMDData'), motionText([0]));

    // A drag from an unset cell paints set cells along row 2.
    await drag(page, cellCentre(size, 2, 3), cellCentre(size, 2, 5));
    const painted = motionText([0, 33, 34, 35]);
    await pollUntil(async () => await call(page, 'GetOverlayMDData') === painted, 'the painted cells');
    await page.click('#overlay-save');
    await waitForResult(page, /channel 2 saved/);
    assert.equal((await get(1)).motion, painted);

    await page.click('#overlay-clear');
    await waitForResult(page, /Cleared/);
    assert.equal(await call(page, 'GetOverlayMDData'), NO_CELLS);
    await page.click('#overlay-save');
    await waitForResult(page, /channel 2 saved/);
    assert.equal((await get(1)).motion, NO_CELLS);

    // Back to live: the channels play again.
    await page.click('#tabs [data-section="live"]');
    await waitForStatus(page, /SwitchPage\(0\) 0/);
    await page.close();
  });

  test('a privacy mask drawn with the mouse turns black in the recorder\'s picture once saved', async () => {
    // Where the mask goes: the middle of the picture, clear of the texts.
    const {page, size} = await overlayPage(2, 0);
    const middle = fromDevice(size, 352, 300);
    const before = await brightnessAround(page, middle);
    assert.ok(before > 30, `the picture is not dark there before (${before})`);

    await page.click('#overlay-kinds [data-kind="1"]');
    await waitForResult(page, /channel 3 loaded/);
    await waitForPicture(page, size);
    await drag(page, fromDevice(size, 250, 200), fromDevice(size, 450, 400));
    const mask = await pollUntil(async () => {
      const text = await call(page, 'GetShelterData', 0);
      return text !== '0_0_0_0' ? text : null;
    }, 'the drawn mask');
    assert.match(mask, /^\d+_\d+_\d+_\d+$/);
    await page.click('#overlay-save');
    await waitForResult(page, /channel 3 saved/);
    const stored = (await get(2)).masks;
    assert.equal(stored.length, 1);
    const [m] = stored;
    // Snapped to the 4-pixel grid, within a few pixels of what was drawn.
    assert.ok(Math.abs(m.x - 250) <= 8 && Math.abs(m.y - 200) <= 8, JSON.stringify(m));
    assert.ok(Math.abs(m.x + m.width - 450) <= 8 && Math.abs(m.y + m.height - 400) <= 8, JSON.stringify(m));
    assert.equal(m.x % 4, 0);
    assert.equal(m.y % 4, 0);

    // Motion mode draws only cell frames: the picture between them is the
    // recorder's, with the mask black once the recorder has applied it.
    await page.click('#overlay-kinds [data-kind="0"]');
    await waitForResult(page, /channel 3 loaded/);
    await pollUntil(async () => await brightnessAround(page, middle) < 20, 'the black mask in the live picture',
      {timeoutMs: 20000});
    await page.close();
  });

  test('on-screen texts: an item dragged with the mouse and one switched off are saved', async () => {
    const defaults = (await get(3)).osd;
    const name = defaults.find((item) => item.index === 0);
    const {page, size} = await overlayPage(3, 2);
    assert.equal(await page.isVisible('#overlay-texts'), true);
    assert.equal(await page.isChecked('#overlay-text-visible-1'), true);

    // Take the name's box near its top left corner and move it down and right.
    const from = fromDevice(size, name.x + 10, name.y + 10);
    const to = fromDevice(size, name.x + 210, name.y + 130);
    await pollUntil(async () => {
      await drag(page, from, to);
      const [, x] = (await call(page, 'GetOsdOverlayData', 0)).split('_').map(Number);
      return x !== name.x;
    }, 'the dragged name', {timeoutMs: 20000});

    await page.uncheck('#overlay-text-visible-1');
    await page.fill('#overlay-text-2', 'Gate');
    await page.check('#overlay-text-visible-2');
    await page.click('#overlay-save');
    await waitForResult(page, /channel 4 saved/);
    const osd = (await get(3)).osd;
    const moved = osd.find((item) => item.index === 0);
    assert.ok(Math.abs(moved.x - (name.x + 200)) <= 12 && Math.abs(moved.y - (name.y + 120)) <= 12, JSON.stringify(moved));
    assert.equal(moved.x % 4, 0);
    assert.equal(moved.text, name.text);
    assert.equal(osd.find((item) => item.index === 1).visible, false);
    assert.deepEqual(osd.find((item) => item.index === 2), {...osd.find((item) => item.index === 2), text: 'Gate', visible: true});
    await page.close();
  });

  test('in Chinese, with the keyboard: the tab, its kinds and its results', async () => {
    const {page} = await overlayPage(0, 0);
    await page.selectOption('#language', 'zh-CN');
    assert.equal(await page.textContent('#tabs [data-section="overlay"]'), '叠加');
    assert.equal(await page.textContent('#overlay-kinds [data-kind="1"]'), '隐私遮挡');
    // The kind buttons are reached and pressed with the keyboard.
    await page.focus('#overlay-kinds [data-kind="0"]');
    await page.keyboard.press('Tab');
    await page.keyboard.press('Enter');
    await page.waitForSelector('#overlay-kinds [data-kind="1"][aria-pressed="true"]');
    await waitForResult(page, /通道 1 的叠加设置已读取/);
    assert.equal(await page.getAttribute('#overlay-kinds [data-kind="0"]', 'aria-pressed'), 'false');
    assert.match(await page.textContent('#overlay-hint'), /遮挡/);
    await page.close();
  });
});
