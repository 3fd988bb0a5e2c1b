// SPDX-License-Identifier: GPL-3.0-or-later
// The live page as a daily-use recorder interface, in headless Chromium
// against a real recorder and host: the channel list and its marks, the
// layout and stream choice, the REC time, snapshot notices, full screen,
// the picture at the size the control draws it, the phone layout, and names
// for everything the keyboard reaches in both languages.
import assert from 'node:assert/strict';
import {mkdtempSync} from 'node:fs';
import {join} from 'node:path';
import {after, afterEach, before, describe, test} from 'node:test';

import {firstPosition, slotCentre} from '../../web/channel-list.js';
import {screenSize} from '../../web/full-screen.js';
import {baseName, formatElapsed} from '../../web/record-section.js';
import {loadStreamAuto, saveStreamAuto, streamForLayout} from '../../web/stream-choice.js';
import {Stack, clickAt, pollUntil, skipReason, waitForStatus} from './harness.mjs';

const skip = skipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

describe('the live page\'s plain helpers', () => {
  // The grid's paging as the control does it: the last page is always full,
  // and past the end it wraps to the start.
  const nextFirst = (first, count, total) => {
    if (count >= total) return first;
    return first + count < total ? Math.min(first + count, total - count) : 0;
  };

  test('the page pages the grid to the page that shows the channel, for every count and total', () => {
    for (const total of [4, 5, 10, 16]) {
      for (const count of [1, 4, 9, 16]) {
        for (let channel = 0; channel < total; ++channel) {
          const first = firstPosition(count, total, channel);
          // As channel-list.js presses next page: from position 0 by count until first.
          let shown = 0;
          for (let position = 0; position < first; position += count) shown = nextFirst(shown, count, total);
          assert.equal(shown, first, `count ${count} total ${total} channel ${channel}`);
          assert.ok(channel >= shown && channel < shown + count, `CH${channel + 1} shown (count ${count}, total ${total})`);
        }
      }
    }
  });

  test('a slot\'s middle lies inside its cell', () => {
    assert.deepEqual(slotCentre(1, 0, 1078, 606), {x: 539, y: 303});
    assert.deepEqual(slotCentre(4, 3, 800, 450), {x: 600, y: 337});
    assert.deepEqual(slotCentre(16, 6, 800, 450), {x: 500, y: 168});
  });

  test('the stream a layout takes, and the option remembered', () => {
    assert.deepEqual([1, 4, 9, 16].map((n) => streamForLayout(n, true, 0)), [0, 1, 1, 1]);
    assert.deepEqual([1, 4].map((n) => streamForLayout(n, false, 1)), [1, 1]);
    // A channel without a sub stream: grids take the main stream as well,
    // unless the user chose a stream.
    assert.deepEqual([1, 4, 16].map((n) => streamForLayout(n, true, 1, false)), [0, 0, 0]);
    assert.deepEqual([4].map((n) => streamForLayout(n, false, 1, false)), [1]);
    const stored = new Map();
    const storage = {getItem: (k) => stored.get(k) ?? null, setItem: (k, v) => stored.set(k, v)};
    assert.equal(loadStreamAuto(storage), true, 'on unless turned off');
    saveStreamAuto(storage, false);
    assert.equal(loadStreamAuto(storage), false);
    const refusing = {getItem: () => { throw new Error('denied'); }, setItem: () => { throw new Error('denied'); }};
    assert.equal(loadStreamAuto(refusing), true);
    saveStreamAuto(refusing, false);  // no throw
  });

  test('the REC time, the snapshot\'s file name and the full screen size', () => {
    assert.equal(formatElapsed(0), '00:00:00');
    assert.equal(formatElapsed(83999), '00:01:23');
    assert.equal(formatElapsed(-5), '00:00:00');
    assert.equal(formatElapsed(100 * 3600 * 1000 + 61000), '100:01:01');
    assert.equal(baseName('/home/ann/VELK_Dvr/CAPTURE/CH01/20261208-101500.jpeg'), '20261208-101500.jpeg');
    assert.equal(baseName('C:\\Users\\ann\\a.jpeg'), 'a.jpeg');
    assert.deepEqual(screenSize({width: 1366, height: 768}), {width: 1366, height: 768});
    assert.deepEqual(screenSize({width: 7680, height: 4320}), {width: 3840, height: 2160});
    assert.deepEqual(screenSize({width: 10, height: 20.6}), {width: 64, height: 64});
  });
});

// Keeps every control call of the page from here on in window.__calls.
function recordCalls(page) {
  return page.evaluate(() => {
    window.__calls = [];
    const ctrl = window.velk.ctrl;
    const call = ctrl.call.bind(ctrl);
    ctrl.call = (name, ...args) => { window.__calls.push([name, ...args]); return call(name, ...args); };
  });
}
const callsOf = (page, name) => page.evaluate((n) => window.__calls.filter(([m]) => m === n), name);

// The channel entries: {open, recording, offline, active, name} by channel.
const channelEntries = (page) => page.evaluate(() => [...document.querySelectorAll('#channel-entries [data-channel]')]
  .map((button) => ({
    open: !button.querySelector('[data-mark="open"]').hidden,
    recording: !button.querySelector('[data-mark="recording"]').hidden,
    offline: !button.querySelector('[data-mark="offline"]').hidden,
    active: button.dataset.active === 'true',
    name: button.getAttribute('aria-label'),
  })));

// An event as the host would send it, to the control object's listeners.
const hostSends = (page, name, params) => page.evaluate(([n, p]) => window.velk.ctrl._emit(n, p), [name, params]);

const noticeTexts = (page) => page.$$eval('#notices .notice', (all) => all.map((n) => n.textContent));

describe('the live page as a recorder interface', {skip: skip || false}, () => {
  let stack;
  before(async () => { stack = await new Stack().start(); });
  afterEach(async () => { await stack?.closePages(); });
  after(async () => { await stack?.stop(); });

  test('the channel list marks the channels open, recording and the recorder lost', async () => {
    const page = await stack.livePage({viewport: {width: 1366, height: 768}});
    const channels = await page.evaluate(() => window.velk.channels);
    let entries = await channelEntries(page);
    assert.equal(entries.length, channels);
    assert.ok(entries.every((e) => e.open && !e.recording && !e.offline), 'all open after log-in');
    assert.equal(entries[0].name, 'CH01, open');

    // The control's masks: channels 1 and 3 open, 3 recording.
    await hostSends(page, 'ReTurnPreviewAllChannelState', {ulType: 0, ulOpen: 0b101});
    await hostSends(page, 'ReTurnPreviewAllChannelState', {ulType: 1, ulOpen: 0b100});
    entries = await channelEntries(page);
    assert.deepEqual(entries.slice(0, 4).map((e) => [e.open, e.recording]),
      [[true, false], [false, false], [true, true], [false, false]]);
    assert.equal(entries[2].name, 'CH03, open, recording');
    assert.equal(entries[1].name, 'CH02, closed');
    await hostSends(page, 'ReTurnPreviewAllChannelState', {ulType: 1, ulOpen: 0});

    // The recorder lost: every entry says so, until it is back.
    await hostSends(page, 'ReTurnPreviewAllChannelState', {ulType: 2, ulOpen: 0});
    await page.waitForFunction(() => window.velk.recorderLost);
    assert.ok((await channelEntries(page)).every((e) => e.offline));
    await page.selectOption('#language', 'zh-CN');
    assert.equal((await channelEntries(page))[0].name, 'CH01，已打开、录像机连接已断开');
    await page.waitForTimeout(300);  // a later event is a change of its own
    await hostSends(page, 'ReTurnPreviewAllChannelState', {ulType: 2, ulOpen: 0});
    await page.waitForFunction(() => !window.velk.recorderLost);
    assert.ok((await channelEntries(page)).every((e) => !e.offline));
  });

  // In 16 windows the channel is on the first page; in 4 and 1 the grid
  // pages to it; in every case its window is selected.
  for (const {layout, channel, nexts} of [{layout: 16, channel: 6, nexts: 0}, {layout: 4, channel: 5, nexts: 1},
    {layout: 1, channel: 2, nexts: 2}]) {
    test(`a click on a closed channel opens it and selects its window (${layout} windows, CH0${channel + 1})`, async () => {
      const page = await stack.livePage({viewport: {width: 1366, height: 768}});
      if (layout !== 16) await page.click(`[data-layout="${layout}"]`);
      await page.click('#close-all');
      await waitForStatus(page, /StopPreviewAll 0/);
      assert.ok((await channelEntries(page)).every((e) => !e.open), 'closed after Close all');
      await recordCalls(page);
      const devId = await page.evaluate(() => window.velk.devId);
      const activeChannel = () => page.evaluate((d) => window.velk.ctrl.GetActiveChannel(d), devId);
      assert.notEqual(await activeChannel(), channel, 'another window is selected before');

      await page.click(`#channel-entries [data-channel="${channel}"]`);
      await page.waitForFunction((c) => window.velk.activeWindow === c, channel);
      // The control has the channel's window selected.
      await pollUntil(async () => await activeChannel() === channel, `CH0${channel + 1} selected`);
      const stream = layout === 1 ? 0 : 1;  // the option is on: sub in grids, main alone
      assert.deepEqual(await callsOf(page, 'StartViewAll'), [['StartViewAll', devId, 16, stream]]);
      assert.equal((await callsOf(page, 'NextGroupVideos')).length, nexts);
      const entries = await channelEntries(page);
      assert.ok(entries[channel].open && entries[channel].active, JSON.stringify(entries[channel]));
      assert.equal(entries.filter((e) => e.active).length, 1);
    });
  }

  test('the layout chosen is pressed; grids take the sub stream, one window the main stream', async () => {
    const page = await stack.livePage({viewport: {width: 1366, height: 768}});
    const devId = await page.evaluate(() => window.velk.devId);
    const pressed = () => page.$$eval('[data-layout][aria-pressed="true"]', (all) => all.map((b) => b.dataset.layout));
    assert.deepEqual(await pressed(), ['16']);
    assert.equal(await page.evaluate(() => window.velk.liveOpened.streamType), 1, 'logged in on 16 windows: sub');
    assert.equal(await page.isVisible('#stream-type'), false, 'the layout chooses: no stream selector');
    await recordCalls(page);

    const switches = async () => (await callsOf(page, 'SwitchPreviewStreamType')).map(([, , s]) => s);
    for (const [layout, expected] of [['1', [0]], ['9', [0, 1]], ['4', [0, 1]], ['1', [0, 1, 0]]]) {
      await page.click(`[data-layout="${layout}"]`);
      await pollUntil(async () => (await pressed()).join() === layout && (await switches()).join() === expected.join(),
        `layout ${layout} pressed, switches ${expected}`);
    }
    // Opening again in one window takes the main stream.
    await page.click('#close-all');
    await waitForStatus(page, /StopPreviewAll 0/);
    await page.click('#open-all');
    await pollUntil(async () => (await callsOf(page, 'StartViewAll')).length === 1, 'Open all');
    assert.deepEqual(await callsOf(page, 'StartViewAll'), [['StartViewAll', devId, 16, 0]]);

    // Off: the stream chosen, whatever the layout; remembered.
    await page.uncheck('#stream-auto');
    await page.selectOption('#stream-type', '1');
    await pollUntil(async () => (await switches()).join() === '0,1,0,1', 'the sub stream chosen');
    await page.click('[data-layout="4"]');
    await page.click('[data-layout="1"]');
    await pollUntil(async () => (await pressed()).join() === '1', 'layout 1 pressed');
    assert.deepEqual(await switches(), [0, 1, 0, 1], 'the layouts switched no stream');
    await page.reload();
    await page.waitForFunction(() => document.getElementById('connection').dataset.state === 'open');
    assert.equal(await page.isChecked('#stream-auto'), false, 'the option is remembered');
  });

  test('the REC mark counts the time since recording started', async () => {
    const page = await stack.livePage({viewport: {width: 1366, height: 768}});
    const folder = mkdtempSync(join(stack.home, 'records-')) + '/';
    assert.equal(await page.evaluate((f) => window.velk.ctrl.SetLocalParameter(window.velk.devId, 'record_path', f, 'set'),
      folder), 'succeed');
    // Until a window plays (slow under a sanitizer) there is nothing to
    // record, and the page says so instead of claiming a recording.
    await pollUntil(async () => {
      await page.click('#record-start');
      await page.waitForFunction(() => [...document.querySelectorAll('#notices .notice')]
        .some((n) => /Recording started|Nothing to record/.test(n.textContent)));
      const texts = await noticeTexts(page);
      if (texts.some((t) => t.includes('Recording started'))) return true;
      assert.ok(!await page.isVisible('#rec-indicator'), 'no REC mark while nothing records');
      await page.$$eval('#notices .notice', (all) => all.forEach((n) => n.remove()));
      return false;
    }, 'recording started', {intervalMs: 500});
    await page.waitForSelector('#rec-indicator', {state: 'visible'});
    const first = await page.textContent('#rec-indicator');
    assert.match(first, /^REC 00:00:0[0-2]$/);
    await page.waitForFunction(() => /^REC 00:00:0[2-9]$/.test(document.getElementById('rec-indicator').textContent));
    assert.ok((await channelEntries(page)).some((e) => e.recording), 'the list marks a recording channel');
    await page.click('#record-stop');
    await page.waitForSelector('#rec-indicator', {state: 'hidden'});
    // Recording again counts from zero.
    await page.click('#record-start');
    await page.waitForSelector('#rec-indicator', {state: 'visible'});
    assert.match(await page.textContent('#rec-indicator'), /^REC 00:00:0[0-1]$/);
    await page.click('#record-stop');
    await page.waitForSelector('#rec-indicator', {state: 'hidden'});
    // With every window closed, Record starts nothing and says so.
    await page.click('#close-all');
    await waitForStatus(page, /StopPreviewAll 0/);
    await page.click('#record-start');
    await page.waitForFunction(() => /Nothing to record/.test(document.getElementById('notices').textContent));
    assert.equal(await page.isVisible('#rec-indicator'), false);
  });

  test('an alarm on the recorder shows as a notice while it lasts and when it is over', async () => {
    const page = await stack.livePage({viewport: {width: 1366, height: 768}});
    const raised = await page.evaluate(async () =>
      (await fetch('/sim/alarm?channel=4&kind=motion&seconds=1', {method: 'POST'})).json());
    assert.equal(raised.ok, true, JSON.stringify(raised));
    await page.waitForFunction(() => /Motion alarm on CH05 at \d\d:\d\d:\d\d/.test(document.getElementById('notices').textContent));
    await page.waitForFunction(() => /Alarm over on CH05/.test(document.getElementById('notices').textContent));
  });

  test('a snapshot notice shows the picture with a download link when the host sends it, the path otherwise', async () => {
    const page = await stack.livePage({viewport: {width: 1366, height: 768}});
    const jpeg = await page.evaluate(() => document.getElementById('control').toDataURL('image/jpeg').split(',')[1]);
    const path = '/home/ann/VELK_Dvr/127.0.0.1/CAPTURE/CH02/20261208-101500.jpeg';
    await hostSends(page, '$snapshot', {path, channel: 1, jpeg});
    await waitForStatus(page, new RegExp(`Snapshot saved: ${path}`));
    const shown = await page.waitForSelector('#notices .notice img');
    await page.waitForFunction((img) => img.complete && img.naturalWidth > 0, shown);
    const link = await page.$eval('#notices .notice a', (a) => ({download: a.download, href: a.href, text: a.textContent}));
    assert.equal(link.download, '20261208-101500.jpeg');
    assert.match(link.href, /^blob:/);
    assert.equal(link.text, 'Download 20261208-101500.jpeg');
    const bytes = await page.evaluate(async (href) => (await (await fetch(href)).arrayBuffer()).byteLength, link.href);
    assert.equal(bytes, Buffer.from(jpeg, 'base64').length, 'the link gives the JPEG the host sent');
    // The notice does not hold up a click on the picture under it: the
    // window of the 16 under its corner gets it (after the last window was
    // selected, so that the click changes the selection).
    const {width, height} = await page.evaluate(() => window.velk.ctrl.controlSize);
    await clickAt(page, {x: width - 10, y: height - 10});
    const devId = await page.evaluate(() => window.velk.devId);
    const active = () => page.evaluate((d) => window.velk.ctrl.GetActiveChannel(d), devId);
    await pollUntil(async () => await active() === 15, 'the last window selected');
    const at = await page.$eval('#notices .notice', (notice) => {
      const box = notice.getBoundingClientRect();
      const picture = document.getElementById('control').getBoundingClientRect();
      const x = box.left + 8;
      const y = box.top + 8;
      const window = Math.floor((y - picture.top) / (picture.height / 4)) * 4 + Math.floor((x - picture.left) / (picture.width / 4));
      return {x, y, window, under: document.elementFromPoint(x, y)?.id};
    });
    assert.equal(at.under, 'control', 'the picture is under the notice');
    await page.mouse.click(at.x, at.y);
    await pollUntil(async () => await active() === at.window, `window ${at.window} selected through the notice`);
    // Escape dismisses the newest notice (outside the picture).
    await page.focus('#open-all');
    await page.keyboard.press('Escape');
    await page.waitForSelector('#notices .notice img', {state: 'detached'});

    // Without the picture: the path, as the status line says it.
    const pathNotice = page.locator('#notices .notice', {hasText: `Snapshot saved: ${path}`});
    for (const params of [{path, channel: 1}, {path, channel: 1, jpeg: ''}]) {
      await hostSends(page, '$snapshot', params);
      await pathNotice.waitFor();
      assert.equal(await page.$('#notices .notice img'), null);
      await pathNotice.locator('.notice-close').click();  // a click on its close mark dismisses it
      await pathNotice.waitFor({state: 'detached'});
    }
  });

  for (const viewport of [{width: 1366, height: 768}, {width: 1920, height: 1080}]) {
    test(`full screen gives the control the screen's size and its size back after (${viewport.width}x${viewport.height})`,
      async () => {
        const page = await stack.livePage({viewport});
        const size = () => page.evaluate(() => ({...window.velk.ctrl.controlSize, canvas: document.getElementById('control').width}));
        const before = await size();
        const screen = await page.evaluate(() => ({width: screen.width, height: screen.height}));
        await page.click('#full-screen');
        await page.waitForFunction(() => document.fullscreenElement?.id === 'view');
        await pollUntil(async () => {
          const now = await size();
          return now.width === screen.width && now.height === screen.height && now.canvas === screen.width;
        }, `the control at the screen's size ${JSON.stringify(screen)}`);
        // The picture fills the screen at its own size.
        const shown = await page.$eval('#control', (c) => c.getBoundingClientRect().width);
        assert.equal(shown, screen.width);
        await page.evaluate(() => document.exitFullscreen());
        await pollUntil(async () => JSON.stringify(await size()) === JSON.stringify(before),
          `the control back at ${JSON.stringify(before)}`);
      });
  }

  for (const viewport of [{width: 1366, height: 768}, {width: 1920, height: 1080}, {width: 390, height: 844}]) {
    test(`the picture shows at the size the control draws it, without scrolling sideways (${viewport.width}x${viewport.height})`,
      async () => {
        const page = await stack.livePage({viewport});
        for (const section of ['live', 'schedule']) {
          await page.click(`#tabs [data-section="${section}"]`);
          // The schedule's result line takes its room above the picture once loaded.
          if (section === 'schedule') await page.waitForSelector('#schedule-result[data-outcome="ok"]');
          const look = await pollUntil(() => page.evaluate(() => {
            const canvas = document.getElementById('control');
            const rect = canvas.getBoundingClientRect();
            const drawn = canvas.width;
            // Settled: the control at the view's width and its picture drawn at that size.
            if (window.velk.ctrl.controlSize.width !== drawn || document.getElementById('view').clientWidth !== drawn) return null;
            return {drawn, shown: rect.width, bottom: rect.bottom, scrollWidth: document.documentElement.scrollWidth,
              width: innerWidth, height: innerHeight};
          }), `the ${section} picture at the view's size`);
          assert.equal(look.shown, look.drawn, `${section}: one CSS pixel a pixel of the picture`);
          assert.ok(look.scrollWidth <= look.width, `${section}: no sideways scroll (${look.scrollWidth} > ${look.width})`);
          if (viewport.width > 760) assert.ok(look.bottom <= look.height, `${section}: the picture fits the window`);
          else assert.ok(look.drawn >= viewport.width - 32, `${section}: the picture takes the phone's width`);
        }
      });
  }

  for (const language of ['en', 'zh-CN']) {
    test(`on a phone the header takes two lines at most (${language})`, async () => {
      const page = await stack.livePage({viewport: {width: 390, height: 844}});
      await page.selectOption('#language', language);
      // Rows: an item that starts below the bottom of the row before begins a new one.
      const rows = await page.evaluate(() => {
        const boxes = [...document.querySelectorAll('header > *')].filter((e) => e.checkVisibility())
          .map((e) => e.getBoundingClientRect()).sort((a, b) => a.top - b.top);
        let count = 0;
        let bottom = -Infinity;
        for (const box of boxes) {
          if (box.top >= bottom - 1) ++count;
          bottom = Math.max(box.top >= bottom - 1 ? box.bottom : bottom, box.bottom);
        }
        return count;
      });
      assert.ok(rows <= 2, `${rows} rows`);
      // Nothing inside the header wraps on its own: each item is one line high.
      const tall = await page.evaluate(() => [...document.querySelectorAll('header .brand, header #tabs button, #connection')]
        .filter((e) => e.getBoundingClientRect().height > 50).map((e) => e.textContent));
      assert.deepEqual(tall, []);
      assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth));
    });
  }

  test('text stands out from its background at 4.5:1 at least, logged out and in', async () => {
    const page = await stack.browser.newPage({viewport: {width: 1366, height: 768}});
    stack.pages.add(page);
    await page.goto(stack.pageUrl);
    await page.waitForFunction(() => document.getElementById('connection').dataset.state === 'open');
    const lowContrast = () => page.evaluate(() => {
      const rgba = (text) => (text.match(/[\d.]+/g) || [0, 0, 0, 0]).map(Number).concat(1).slice(0, 4);
      const luminance = ([r, g, b]) => {
        const lin = (c) => { const v = c / 255; return v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4; };
        return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b);
      };
      // The colour behind an element: its own and its ancestors' backgrounds laid over each other.
      const behind = (element) => {
        const layers = [];
        for (let e = element; e; e = e.parentElement) {
          const colour = rgba(getComputedStyle(e).backgroundColor);
          if (colour[3] > 0) layers.push(colour);
          if (colour[3] >= 1) break;
        }
        let result = [255, 255, 255];
        for (const [r, g, b, a] of layers.reverse()) result = [r * a + result[0] * (1 - a), g * a + result[1] * (1 - a), b * a + result[2] * (1 - a)];
        return result;
      };
      const out = [];
      for (const element of document.querySelectorAll('body *')) {
        if (!element.checkVisibility() || element.closest('select, svg')) continue;
        const text = [...element.childNodes].filter((n) => n.nodeType === Node.TEXT_NODE).map((n) => n.textContent).join('').trim();
        if (!text) continue;
        const style = getComputedStyle(element);
        if (style.clip !== 'auto' && style.position === 'absolute') continue;  // visually hidden
        const background = behind(element);
        const [r, g, b, a] = rgba(style.color);
        const colour = [r * a + background[0] * (1 - a), g * a + background[1] * (1 - a), b * a + background[2] * (1 - a)];
        const [light, dark] = [luminance(colour), luminance(background)].sort((x, y) => y - x);
        const ratio = (light + 0.05) / (dark + 0.05);
        if (ratio < 4.5) out.push(`${text.slice(0, 30)}: ${ratio.toFixed(2)}`);
      }
      return out;
    });
    assert.deepEqual(await lowContrast(), [], 'logged out');
    await page.fill('#login-password', 'admin');
    await page.click('#login-button');
    await waitForStatus(page, /StartViewAll \d/);
    await page.click('#event-log summary');
    assert.deepEqual(await lowContrast(), [], 'logged in, the event log open');
    await page.click('[data-layout="4"]');  // a pressed button
    await page.uncheck('#stream-auto');
    assert.deepEqual(await lowContrast(), [], 'with the stream selector');
  });

  test('every focusable element of the live page has a name, in both languages', async () => {
    const page = await stack.livePage({viewport: {width: 1366, height: 768}});
    // A notice with a link is on screen too: a fresh one for each pass (a
    // notice goes after some seconds, and a pass on a busy machine takes
    // as long).
    const jpeg = await page.evaluate(() => document.getElementById('control').toDataURL('image/jpeg').split(',')[1]);
    await page.uncheck('#stream-auto');  // the stream selector shows
    const names = async () => {
      await page.$$eval('#notices .notice', (all) => all.forEach((n) => n.remove()));
      await hostSends(page, '$snapshot', {path: '/tmp/a.jpeg', channel: 0, jpeg});
      await page.waitForSelector('#notices .notice a[href]');
      const all = page.locator('input, select, button, canvas, a[href], [tabindex]');
      const out = [];
      for (let i = 0; i < await all.count(); ++i) {
        if (!await all.nth(i).isVisible()) continue;
        const line = (await all.nth(i).ariaSnapshot()).split('\n')[0];
        assert.match(line, /^- [\w-]+ "[^"]+"/, `${line} has a name`);
        out.push(line);
      }
      return out;
    };
    const english = await names();
    assert.ok(english.length > 30, `${english.length} elements`);
    await page.selectOption('#language', 'zh-CN');
    const chinese = await names();
    assert.equal(chinese.length, english.length);
    assert.equal(await page.textContent('#event-log summary'), '事件日志');
    // Every name that says words says them in Chinese (channel and file
    // names aside).
    for (const line of chinese) {
      const name = /"([^"]*)"/.exec(line)[1];
      assert.doesNotMatch(name.replace(/CH\d\d|English|[\w-]+\.jpe?g/g, ''), /[A-Za-z]{2,}/, line);
    }
  });
});
