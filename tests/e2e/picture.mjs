// SPDX-License-Identifier: GPL-3.0-or-later
// Looking at the control's picture from a page test: the canvas the page
// draws (JPEG frames, what the user sees) or the host's lossless $grab.
// The probes run inside the page; installProbes puts them on window.__probe,
// and the waits below poll them.
import {pollUntil} from './harness.mjs';

// Runs in the page: every function here is serialised into it.
function probes() {
  const canvas = () => document.getElementById('control');

  async function decodePng(base64) {
    const blob = await (await fetch(`data:image/png;base64,${base64}`)).blob();
    const bitmap = await createImageBitmap(blob);
    const off = new OffscreenCanvas(bitmap.width, bitmap.height);
    const context = off.getContext('2d');
    context.drawImage(bitmap, 0, 0);
    return context.getImageData(0, 0, bitmap.width, bitmap.height);
  }

  // The picture: 'canvas' (what the page shows) or 'grab' (the host's PNG).
  async function picture(source) {
    if (source === 'grab') return decodePng((await window.velk.ctrl.call('$grab')).png);
    const c = canvas();
    return c.getContext('2d').getImageData(0, 0, c.width, c.height);
  }

  const at = (img, x, y) => {
    const i = (y * img.width + x) * 4;
    return [img.data[i], img.data[i + 1], img.data[i + 2]];
  };
  const isLight = ([r, g, b]) => Math.min(r, g, b) >= 225;
  const isInk = ([r, g, b]) => Math.max(r, g, b) < 90;

  // Luma of every step-th pixel of each rectangle {x, y, width, height}.
  function lumaSamples(img, rects, step = 3) {
    return rects.map(({x, y, width, height}) => {
      const values = [];
      for (let py = y; py < y + height; py += step)
        for (let px = x; px < x + width; px += step) {
          const [r, g, b] = at(img, px, py);
          values.push(Math.round(0.299 * r + 0.587 * g + 0.114 * b));
        }
      return values;
    });
  }

  // A popup menu opened at (x, y): a light box whose top-left corner is at
  // the point. Its rectangle and the bands of rows holding dark (enabled)
  // text, top to bottom; null when no such box is there.
  function findMenu(img, x, y) {
    let height = 0;
    while (y + 1 + height < img.height && isLight(at(img, x + 3, y + 1 + height))) ++height;
    let width = 0;
    while (x + 1 + width < img.width && isLight(at(img, x + 1 + width, y + 2))) ++width;
    if (height < 100 || width < 60) return null;
    const bands = [];
    let band = null;
    for (let row = y + 1; row < y + 1 + height; ++row) {
      let ink = false;
      for (let col = x + 4; col < x + width - 2 && !ink; ++col) ink = isInk(at(img, col, row));
      if (ink && !band) band = {top: row, bottom: row};
      else if (ink) band.bottom = row;
      else if (band) { bands.push(band); band = null; }
    }
    if (band) bands.push(band);
    return {x, y, width: width + 1, height: height + 1, inkBands: bands};
  }

  // Luma of a rectangle, row by row.
  function crop(img, {x, y, width, height}) {
    return lumaSamples(img, [{x, y, width, height}], 1)[0];
  }

  // The share of rows in which column x has the colour of a window frame
  // (inactive grey or active green): near 1 on a border between windows.
  function frameShare(img, x) {
    let rows = 0;
    for (let y = 0; y < img.height; ++y) {
      const [r, g, b] = at(img, x, y);
      if ((r === 67 && g === 67 && b === 67) || (r === 22 && g === 255 && b === 22)) ++rows;
    }
    return rows / img.height;
  }

  // The highest frame share of the columns within 3 pixels of x.
  function borderNear(img, x) {
    let best = 0;
    for (let dx = -3; dx <= 3; ++dx)
      if (x + dx >= 0 && x + dx < img.width) best = Math.max(best, frameShare(img, x + dx));
    return best;
  }

  // The colours [r, g, b] at the given points {x, y}.
  function coloursAt(img, points) {
    return points.map(({x, y}) => at(img, x, y));
  }

  return {picture, lumaSamples, findMenu, crop, borderNear, coloursAt};
}

export async function installProbes(page) {
  await page.evaluate(`window.__probe = (${probes.toString()})()`);
}

// The host's picture's colours at the given control points, as "r,g,b" texts.
export function coloursAt(page, points) {
  return page.evaluate(async (list) =>
    window.__probe.coloursAt(await window.__probe.picture('grab'), list).map((c) => c.join()), points);
}

// The centre of window i (0-based, row by row) of a k x k grid, in control pixels.
export function windowCentre(size, i, k = 2) {
  return {x: Math.floor(size.width * ((i % k) + 0.5) / k), y: Math.floor(size.height * (Math.floor(i / k) + 0.5) / k)};
}

// Waits for the context menu opened at (x, y) of the picture; its
// rectangle, its bands of enabled text and (with withCrop) its pixels.
// The host's picture is the current one; the canvas may still show an
// older frame (an earlier menu at the same place) for a moment.
export function waitForMenu(page, at, {source = 'grab', withCrop = false} = {}) {
  return pollUntil(() => page.evaluate(async ([x, y, from, crop]) => {
    const img = await window.__probe.picture(from);
    const menu = window.__probe.findMenu(img, x, y);
    if (!menu || menu.inkBands.length < 2) return null;
    return crop ? {...menu, pixels: window.__probe.crop(img, menu)} : menu;
  }, [at.x, at.y, source, withCrop]), 'the context menu');
}

export function waitForNoMenu(page, at) {
  return pollUntil(() => page.evaluate(async ([x, y]) =>
    window.__probe.findMenu(await window.__probe.picture('grab'), x, y) === null, [at.x, at.y]), 'the menu to close');
}

// The point in the middle of a menu's n-th line of enabled text.
export function menuLine(menu, n) {
  const band = menu.inkBands[n];
  return {x: menu.x + Math.floor(menu.width / 2), y: Math.floor((band.top + band.bottom) / 2)};
}

// Waits until the host's picture shows a k x k grid: window borders on the
// vertical lines a k x k grid has among width / 2, width / 3, 2 width / 3
// and the quarters, and none on the others. The lines are taken from each
// picture's own width, so a control that is still following the page's size
// (a scroll bar that came or went) is judged by what it shows. On a timeout
// the error names the frame share each line had in the last picture.
export async function waitForGrid(page, k) {
  let seen = [];
  try {
    return await pollUntil(async () => {
      seen = await page.evaluate(async (gridSize) => {
        const img = await window.__probe.picture('grab');
        return [[1, 2], [1, 3], [2, 3], [1, 4], [3, 4]].map(([num, den]) => {
          const x = Math.round(img.width * num / den);
          return {x, width: img.width, wanted: (num * gridSize) % den === 0,
            share: Math.round(window.__probe.borderNear(img, x) * 100) / 100};
        });
      }, k);
      return seen.every(({share, wanted}) => (share > 0.9) === wanted);
    }, `a ${k} x ${k} grid`);
  } catch (e) {
    e.message += `; last seen ${JSON.stringify(seen)}`;
    throw e;
  }
}

// Which windows of the 4-window grid changed within one second. Streams
// take a moment to start: looks again, up to tries times, until all did.
export async function movingWindows(page, size, tries = 8) {
  const inset = 4;
  const half = {width: Math.floor(size.width / 2), height: Math.floor(size.height / 2)};
  const rects = [0, 1, 2, 3].map((i) => ({x: (i % 2) * half.width + inset, y: Math.floor(i / 2) * half.height + inset,
    width: half.width - 2 * inset, height: half.height - 2 * inset}));
  const sample = () => page.evaluate(async (r) => window.__probe.lumaSamples(await window.__probe.picture('canvas'), r), rects);
  let changed = [false];
  for (let attempt = 0; attempt < tries && !changed.every(Boolean); ++attempt) {
    const first = await sample();
    await page.waitForTimeout(1000);
    const second = await sample();
    changed = first.map((values, w) => values.filter((v, i) => Math.abs(v - second[w][i]) > 24).length > 50);
  }
  return changed;
}

// The 4-window grid of a fresh live page, its probes installed.
export async function fourWindowPage(stack) {
  const page = await stack.livePage();
  await installProbes(page);
  await page.click('[data-layout="4"]');
  await waitForGrid(page, 2);
  const size = await page.evaluate(() => window.velk.ctrl.controlSize);
  return {page, size};
}
