// SPDX-License-Identifier: GPL-3.0-or-later
// The page's playback section in headless Chromium against a real recorder
// (two days of generated recordings, 20 channels) and host: the calendar
// marks the days with recordings, a chosen day's recordings of the ticked
// channels reach the control's timeline and play in its panel, the channel limit, the type filter,
// failures, leaving for Live, a reload, Chinese and the keyboard.
import assert from 'node:assert/strict';
import {after, afterEach, before, describe, test} from 'node:test';

import {Stack, clickAt, pollUntil, skipReason} from './harness.mjs';
import {installProbes} from './picture.mjs';

const skip = skipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

const CHANNELS = 20;
const VIEWPORT = {width: 1366, height: 768};

// Local days as the recorder names them.
const pad = (n) => String(n).padStart(2, '0');
const dayBefore = (n) => {
  const date = new Date();
  date.setDate(date.getDate() - n);
  return `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;
};
const TODAY = dayBefore(0);
const YESTERDAY = dayBefore(1);
const THREE_DAYS_BACK = dayBefore(3);

// The playback bar's timeline at the bottom of the control's picture (its
// geometry is documented at the top of tests/ui/playback/PlaybackPageUiTest.cpp):
// 2 pixels in, 30 pixels of margin each side of the day's ruler; four
// channel rows from 50 to 100 pixels under its top, H - 162.
const NORMAL = '8,156,8';
const ALARM = '255,41,39';
const CURSOR = '50,255,22';
const timeline = ({width, height}) => ({
  rowY: (row) => height - 162 + 50 + Math.floor(row * 50 / 4) + 6,
  xAt: (seconds) => 2 + 30 + Math.floor(seconds * ((width - 4 - 60) / 86400)),
  left: 2 + 30, right: width - 2 - 30,
});
const secondsOfDay = (text) => {
  const [h, m, s] = text.slice(11).split(':').map(Number);
  return h * 3600 + m * 60 + s;
};

// The colours along row y of the host's picture between x0 and x1, as "r,g,b" texts.
function rowColours(page, y, x0, x1) {
  return page.evaluate(async ([row, from, to]) => {
    const img = await window.__probe.picture('grab');
    const out = [];
    for (let x = from; x < to; ++x) {
      const i = (row * img.width + x) * 4;
      out.push(`${img.data[i]},${img.data[i + 1]},${img.data[i + 2]}`);
    }
    return out;
  }, [y, x0, x1]);
}

const result = (page) => page.evaluate(() => {
  const line = document.getElementById('playback-result');
  return {outcome: line.dataset.outcome || '', text: line.textContent, count: line.dataset.count};
});

// Waits until the result line is done (not busy) and matches pattern.
function waitForResult(page, pattern, outcome) {
  return pollUntil(async () => {
    const now = await result(page);
    return now.outcome && now.outcome !== 'busy' && pattern.test(now.text) && (!outcome || now.outcome === outcome) && now;
  }, `the playback result ${pattern}`);
}

// The control calls the page made since the last call: [{name, args}].
async function callsMade(page) {
  return page.evaluate(() => window.__calls.splice(0));
}

// A page logged in on the playback tab, its first load (today) done, every
// control call kept in window.__calls.
async function playbackPage(stack, {viewport = VIEWPORT, language = 'en'} = {}) {
  const page = await stack.loggedInPage({viewport});
  await page.evaluate(() => {
    window.__calls = [];
    const ctrl = window.velk.ctrl;
    const call = ctrl.call.bind(ctrl);
    ctrl.call = (name, ...args) => { if (!name.startsWith('$')) window.__calls.push({name, args}); return call(name, ...args); };
  });
  if (language !== 'en') await page.selectOption('#language', language);
  await page.click('#tabs [data-section="playback"]');
  await page.waitForFunction(() => window.velk.controlPage === 3);
  await pollUntil(async () => ['ok', 'empty'].includes((await result(page)).outcome), 'the first load');
  await page.waitForFunction(() => document.getElementById('playback-calendar').dataset.marks === 'ok');
  await installProbes(page);
  return page;
}

// Brings the calendar to the month of day (with its buttons) and gives that
// day's button.
async function dayButton(page, day) {
  for (let i = 0; i < 3; ++i) {
    const shown = await page.$eval('#playback-days button[data-day]', (b) => b.dataset.day.slice(0, 7));
    if (shown === day.slice(0, 7)) break;
    await page.click(shown > day.slice(0, 7) ? '#playback-prev-month' : '#playback-next-month');
  }
  await page.waitForFunction(() => document.getElementById('playback-calendar').dataset.marks === 'ok');
  return page.locator(`#playback-days button[data-day="${day}"]`);
}

async function tickOnly(page, channels) {
  for (let channel = 0; channel < CHANNELS; ++channel) {
    const box = page.locator(`#playback-channels input[value="${channel}"]`);
    if (await box.isChecked() !== channels.includes(channel)) await box.click();
  }
}

const ticked = (page) => page.$$eval('#playback-channels input:checked', (boxes) => boxes.map((b) => Number(b.value)));

describe('the playback section', {skip: skip || false}, () => {
  let stack;
  const search = async (day, channel, type = 'all') =>
    (await (await fetch(`${stack.origin}/api/recordings?date=${day}&channel=${channel}&type=${type}`)).json()).spans;

  before(async () => {
    stack = await new Stack().start({recorderArgs: ['--history-days', '2', '--channels', String(CHANNELS)]});
  });
  afterEach(async () => { await stack?.closePages(); });
  after(async () => { await stack?.stop(); });

  test('the calendar marks the days with recordings; a day\'s recordings of CH01 and CH02 reach the timeline', async () => {
    const todayHasRecordings = async () => {
      const month = await (await fetch(`${stack.origin}/api/recordings/days?month=${TODAY.slice(0, 7)}`)).json();
      return Object.values(month.days).some((days) => days.includes(Number(TODAY.slice(8))));
    };
    // Just after midnight today's first recording may begin while the page loads.
    const before = await todayHasRecordings();
    const page = await playbackPage(stack);
    // Today was chosen and loaded at the first visit, and is marked as today.
    const today = await dayButton(page, TODAY);
    assert.equal(await today.getAttribute('aria-current'), 'date');
    assert.equal(await today.getAttribute('aria-pressed'), 'true');
    // Today has recordings unless the test runs in the first minutes after
    // midnight: as the recorder says.
    const after = await todayHasRecordings();
    assert.ok([String(before), String(after)].includes(await today.getAttribute('data-recordings')));
    assert.equal(await (await dayButton(page, YESTERDAY)).getAttribute('data-recordings'), 'true');
    const empty = await dayButton(page, THREE_DAYS_BACK);
    assert.equal(await empty.getAttribute('data-recordings'), 'false');
    assert.equal(await empty.isEnabled(), true, 'a day without recordings stays choosable');
    assert.match(await empty.getAttribute('aria-label'), /, no recordings$/);

    await tickOnly(page, [0, 1]);
    await callsMade(page);
    await (await dayButton(page, YESTERDAY)).click();
    const expected = [...(await search(YESTERDAY, 0)).map((s) => ({...s, channel: 0})),
      ...(await search(YESTERDAY, 1)).map((s) => ({...s, channel: 1}))];
    assert.ok(expected.length > 2);
    const done = await waitForResult(page, new RegExp(`^${expected.length} recordings on ${YESTERDAY}: CH01, CH02$`), 'ok');
    assert.equal(done.count, String(expected.length));

    // The control heard the channels, the type, the day, every recording
    // and that they are complete, in that order, and shows its playback page.
    const devId = await page.evaluate(() => window.velk.devId);
    const calls = await callsMade(page);
    assert.deepEqual(calls.slice(0, 3), [
      {name: 'SetPlayBackChannels', args: [0b11]},
      {name: 'AllowPlaybackRecordTypeToPlay', args: [devId, 2]},
      {name: 'SetPlaybackDate', args: [devId, YESTERDAY]}]);
    assert.deepEqual(calls.slice(3, 3 + expected.length).map((c) => c.args),
      expected.map((s) => [devId, s.start, s.end, s.channel, s.type === 'alarm' ? 1 : 0, 0]));
    assert.deepEqual(calls.slice(3 + expected.length).map((c) => c.name), ['CompleteSetRecordPeriod']);
    assert.equal(await page.evaluate(() => window.velk.controlPage), 3);

    // In the picture: each recording's start is coloured in its channel's
    // row of the timeline (normal green, alarm red; later ones may cover the
    // first pixel of a short one), CH03's row has none.
    const size = await page.evaluate(() => window.velk.ctrl.controlSize);
    const geometry = timeline(size);
    const rows = await pollUntil(async () => {
      const lines = await Promise.all([0, 1, 2].map((row) => rowColours(page, geometry.rowY(row), 0, size.width)));
      return lines[0].includes(NORMAL) && lines[1].includes(NORMAL) && lines;
    }, 'the spans in the timeline');
    // (A few pixels of slack: the ruler's margins widen from 30 to 34
    // pixels once the timeline is refreshed, which moves a time by up to 4.)
    for (const span of expected) {
      if (span.start.slice(0, 10) !== YESTERDAY) continue;  // from the day before: drawn from the row's start
      const x = geometry.xAt(secondsOfDay(span.start));
      const near = rows[span.channel].slice(x - 5, x + 6);
      assert.ok(near.some((c) => [NORMAL, ALARM, CURSOR].includes(c)), `${span.start} on CH0${span.channel + 1}: ${near}`);
    }
    assert.equal(rows[2].filter((c) => c === NORMAL || c === ALARM).length, 0, 'nothing in CH03\'s row');
  });

  test('in the control\'s own panel: Play, the picture moves, a click on the timeline seeks there', async () => {
    const page = await playbackPage(stack);
    await tickOnly(page, [0]);
    await (await dayButton(page, YESTERDAY)).click();
    await waitForResult(page, new RegExp(`recordings on ${YESTERDAY}: CH01$`), 'ok');
    const size = await page.evaluate(() => window.velk.ctrl.controlSize);
    const geometry = timeline(size);
    // The one window above the bar; Play is the bar's first transport button.
    const picture = {x: 20, y: 20, width: size.width - 40, height: size.height - 170 - 40};
    const luma = () => page.evaluate(async (r) => window.__probe.lumaSamples(await window.__probe.picture('canvas'), [r])[0], picture);
    const moves = async () => {
      const first = await luma();
      await page.waitForTimeout(700);
      const second = await luma();
      return first.filter((v, i) => Math.abs(v - second[i]) > 24).length > 50;
    };
    await clickAt(page, {x: 145 + 13, y: size.height - 35 + 12});
    await pollUntil(moves, 'the played picture moves', {timeoutMs: 20000});

    // A click on CH01's row in the middle of a later recording: the cursor
    // line stands there, and the picture goes on moving from there.
    const spans = (await search(YESTERDAY, 0)).filter((s) => s.type === 'normal');
    const later = spans.filter((s) => secondsOfDay(s.end) - secondsOfDay(s.start) > 600).at(-1);
    assert.ok(later, 'a recording of ten minutes or more');
    const target = Math.floor((secondsOfDay(later.start) + secondsOfDay(later.end)) / 2);
    const x = geometry.xAt(target);
    await clickAt(page, {x, y: geometry.rowY(1)});
    await pollUntil(async () => {
      const line = await rowColours(page, geometry.rowY(3), geometry.left, geometry.right);
      const at = line.indexOf(CURSOR) + geometry.left;
      return Math.abs(at - x) <= 2;
    }, 'the cursor at the clicked time');
    await pollUntil(moves, 'the picture moves after the seek', {timeoutMs: 20000});
    // Pause: the picture stands still.
    await clickAt(page, {x: 180 + 13, y: size.height - 35 + 12});
    await page.waitForTimeout(500);
    assert.equal(await moves(), false, 'a paused picture stands still');
  });

  test('on a phone the control grows by the playback bar, so the pictures keep 16:9; Live gives it back', async () => {
    const page = await playbackPage(stack, {viewport: {width: 390, height: 844}});
    const sized = (extra) => pollUntil(async () => {
      const size = await page.evaluate(() => window.velk.ctrl.controlSize);
      return size.height === Math.max(180, Math.floor(size.width * 9 / 16) + extra) && size;
    }, `the control at 16:9 plus ${extra} pixels`);
    const playback = await sized(170);
    assert.ok(playback.width >= 320 && playback.width <= 390, `width ${playback.width}`);
    await page.click('#tabs [data-section="live"]');
    await page.waitForFunction(() => window.velk.controlPage === 0);
    await sized(0);
  });

  test('a day without recordings says so', async () => {
    const page = await playbackPage(stack);
    await callsMade(page);
    await (await dayButton(page, THREE_DAYS_BACK)).click();
    const done = await waitForResult(page, /^No recordings on /, 'empty');
    assert.equal(done.text, `No recordings on ${THREE_DAYS_BACK} for CH01, CH02, CH03, CH04. ` +
      'Days with recordings are marked in the calendar.');
    assert.equal(done.count, '0');
    const calls = await callsMade(page);
    assert.equal(calls.filter((c) => c.name === 'SetRecordPeriod').length, 0);
    assert.deepEqual(calls.map((c) => c.name).slice(-2), ['SetPlaybackDate', 'CompleteSetRecordPeriod']);
  });

  test('at most 16 channels at once, and none beyond CH16', async () => {
    const page = await playbackPage(stack);
    assert.equal(await page.locator('#playback-channels input').count(), CHANNELS);
    assert.deepEqual(await ticked(page), [0, 1, 2, 3]);
    // Yesterday, which has recordings whenever the test runs.
    await (await dayButton(page, YESTERDAY)).click();
    await waitForResult(page, new RegExp(`recordings on ${YESTERDAY}`), 'ok');
    await tickOnly(page, [...Array(16).keys()]);
    await page.click('#playback-channels input[value="16"]');
    await waitForResult(page, /^At most 16 channels can be played back at once: CH17 was not ticked\.$/, 'error');
    assert.deepEqual(await ticked(page), [...Array(16).keys()]);
    // One fewer: CH17 is still not one the control's channel mask reaches.
    await page.click('#playback-channels input[value="15"]');
    await page.click('#playback-channels input[value="19"]');
    await waitForResult(page, /^The viewer plays back CH01 to CH16 only\.$/, 'error');
    assert.deepEqual(await ticked(page), [...Array(15).keys()]);
    // Sixteen go to the control in one mask.
    await page.click('#playback-channels input[value="15"]');
    await callsMade(page);
    await page.click('#playback-show');
    await waitForResult(page, /recordings on .*CH16$/, 'ok');
    assert.deepEqual((await callsMade(page))[0], {name: 'SetPlayBackChannels', args: [0xffff]});
    // None ticked: nothing to show.
    await tickOnly(page, []);
    await page.click('#playback-show');
    await waitForResult(page, /^Tick at least one channel\.$/, 'error');
  });

  test('the record type filters the calendar and the recordings, and reaches AllowPlaybackRecordTypeToPlay', async () => {
    const page = await playbackPage(stack);
    const daysAsked = [];
    page.on('request', (request) => { if (request.url().includes('/api/recordings/days')) daysAsked.push(request.url()); });
    await tickOnly(page, [0]);
    await page.selectOption('#playback-type', 'alarm');
    await page.waitForFunction(() => document.getElementById('playback-calendar').dataset.marks === 'ok');
    assert.match(daysAsked.at(-1), /type=alarm/);
    await callsMade(page);
    await (await dayButton(page, YESTERDAY)).click();
    const alarms = await search(YESTERDAY, 0, 'alarm');
    const done = await waitForResult(page, /recordings? on /, alarms.length ? 'ok' : 'empty');
    assert.equal(done.count, String(alarms.length));
    const devId = await page.evaluate(() => window.velk.devId);
    const calls = await callsMade(page);
    assert.deepEqual(calls.find((c) => c.name === 'AllowPlaybackRecordTypeToPlay'),
      {name: 'AllowPlaybackRecordTypeToPlay', args: [devId, 1]});
    assert.deepEqual(calls.filter((c) => c.name === 'SetRecordPeriod').map((c) => c.args[4]), alarms.map(() => 1));
    if (alarms.length) {
      const size = await page.evaluate(() => window.velk.ctrl.controlSize);
      const row = await pollUntil(async () => {
        const line = await rowColours(page, timeline(size).rowY(0), 0, size.width);
        return line.includes(ALARM) && line;
      }, 'alarm spans in CH01\'s row');
      assert.equal(row.filter((c) => c === NORMAL).length, 0, 'no normal recording in the row');
    }

    // The same day again with normal recordings only: the alarm ones go.
    await page.selectOption('#playback-type', 'normal');
    await page.click('#playback-show');
    await waitForResult(page, /recordings? on /, 'ok');
    assert.deepEqual((await callsMade(page)).find((c) => c.name === 'AllowPlaybackRecordTypeToPlay').args, [devId, 0]);
    const size = await page.evaluate(() => window.velk.ctrl.controlSize);
    const row = await pollUntil(async () => {
      const line = await rowColours(page, timeline(size).rowY(0), 0, size.width);
      return line.includes(NORMAL) && line;
    }, 'normal spans in CH01\'s row');
    assert.equal(row.filter((c) => c === ALARM).length, 0, 'no alarm recording in the row');
  });

  test('going back to Live stops playback and shows the live page', async () => {
    const page = await playbackPage(stack);
    await callsMade(page);
    await page.click('#tabs [data-section="live"]');
    await page.waitForFunction(() => window.velk.controlPage === 0);
    const devId = await page.evaluate(() => window.velk.devId);
    await pollUntil(async () => (await page.evaluate(() => window.__calls.length)) >= 3, 'the live channels reopened');
    const calls = await callsMade(page);
    assert.deepEqual(calls.slice(0, 2), [{name: 'StopPlayback', args: [devId]}, {name: 'SwitchPage', args: [0]}]);
    assert.equal(calls[2].name, 'StartViewAll');
  });

  test('a reload restores the tab, the day, the channels and the type, and nothing more', async () => {
    const page = await playbackPage(stack);
    await tickOnly(page, [1, 4]);
    await page.selectOption('#playback-type', 'alarm');
    await (await dayButton(page, YESTERDAY)).click();
    await waitForResult(page, /on /);
    await page.reload();
    await page.waitForFunction(() => window.velk.ctrl?.session?.resumed === true);
    await page.waitForSelector('#section-playback:not([hidden])');
    assert.equal(await page.getAttribute('#tabs [data-section="playback"]', 'aria-selected'), 'true');
    await page.waitForFunction(() => document.querySelectorAll('#playback-channels input').length > 0);
    assert.deepEqual(await ticked(page), [1, 4]);
    assert.equal(await page.inputValue('#playback-type'), 'alarm');
    await page.waitForFunction((day) =>
      document.querySelector(`#playback-days button[data-day="${day}"]`)?.getAttribute('aria-pressed') === 'true', YESTERDAY);
    await waitForResult(page, new RegExp(`on ${YESTERDAY}: CH02, CH05$`));
    const kept = await page.evaluate(() => JSON.parse(sessionStorage.getItem('velk-page')).playback);
    assert.deepEqual(kept, {day: YESTERDAY, channels: [1, 4], type: 'alarm'});
  });

  test('the recorder\'s and the control\'s failures read in the result line', async () => {
    const page = await playbackPage(stack);
    // A recorder that answers with an error, and one whose times the
    // control refuses (not 19 characters).
    await page.route('**/api/recordings?*', (route) =>
      route.fulfill({status: 500, contentType: 'application/json', body: '{"ok":false,"error":"disk on fire"}'}));
    await page.click('#playback-show');
    await waitForResult(page, /^The recordings could not be read: HTTP 500: disk on fire$/, 'error');
    await page.unroute('**/api/recordings?*');
    await page.route('**/api/recordings?*', (route) => route.fulfill({contentType: 'application/json',
      body: JSON.stringify({ok: true, spans: [{start: `${YESTERDAY} 8:00:00`, end: `${YESTERDAY} 09:00:00`, type: 'normal'}]})}));
    await page.click('#playback-show');
    await waitForResult(page,
      /^The viewer did not take the recordings: SetRecordPeriod 0x80060000 \(malformed argument or no stream\)$/, 'error');
    await page.unroute('**/api/recordings?*');
    // The network refuses: the recorder cannot be reached.
    await page.route('**/api/recordings?*', (route) => route.abort('connectionrefused'));
    await page.click('#playback-show');
    await waitForResult(page, /^The recordings could not be read: the recorder cannot be reached$/, 'error');
  });

  test('in Chinese: the tab, the calendar, the filters and the results', async () => {
    const page = await playbackPage(stack, {language: 'zh-CN'});
    assert.equal(await page.textContent('#tabs [data-section="playback"]'), '回放');
    assert.match(await page.textContent('#playback-month'), /^\d{4}年\d{1,2}月$/);
    assert.equal(await page.textContent('#playback-show'), '显示录像');
    // Yesterday always has recordings (today may not, just after midnight).
    assert.match(await (await dayButton(page, YESTERDAY)).getAttribute('aria-label'), /星期.，有录像$/);
    await (await dayButton(page, THREE_DAYS_BACK)).click();
    await waitForResult(page, new RegExp(`^${THREE_DAYS_BACK} CH01、CH02、CH03、CH04 没有录像。`), 'empty');
    // No English words but the channel names in the side panel.
    const words = await page.$eval('#section-playback .side', (side) =>
      [side.innerText, ...[...side.querySelectorAll('[aria-label], [title]')].map((e) =>
        `${e.getAttribute('aria-label') || ''} ${e.getAttribute('title') || ''}`)].join(' '));
    assert.deepEqual((words.match(/[A-Za-z]{2,}/g) || []).filter((w) => w !== 'CH'), []);
    // Switching back rewrites the result and the calendar at once.
    await page.selectOption('#language', 'en');
    await waitForResult(page, /^No recordings on /, 'empty');
    assert.doesNotMatch(await page.textContent('#playback-month'), /年/);
  });

  test('the calendar by keyboard: arrows, Home, End, Page Up and Down move; Enter chooses', async () => {
    const page = await playbackPage(stack);
    const focusedDay = () => page.evaluate(() => document.activeElement?.dataset?.day || document.activeElement?.id);
    // Tab from the month's next button reaches the chosen day alone (one stop).
    await page.focus('#playback-next-month');
    await page.keyboard.press('Tab');
    assert.equal(await focusedDay(), TODAY);
    assert.equal(await page.locator('#playback-days button[tabindex="0"]').count(), 1);
    const moves = [['ArrowLeft', -1], ['ArrowRight', 1], ['ArrowUp', -7], ['ArrowDown', 7]];
    for (const [key, days] of moves) {
      const from = await focusedDay();
      await page.keyboard.press(key);
      const date = new Date(`${from}T12:00:00Z`);
      date.setUTCDate(date.getUTCDate() + days);
      assert.equal(await focusedDay(), date.toISOString().slice(0, 10), key);
    }
    // Page Up shows the month before with the same day focused.
    await page.keyboard.press('PageUp');
    const monthBefore = await focusedDay();
    assert.equal(monthBefore.slice(8), TODAY.slice(8) > '28' ? monthBefore.slice(8) : TODAY.slice(8));
    assert.notEqual(monthBefore.slice(0, 7), TODAY.slice(0, 7));
    await page.keyboard.press('PageDown');
    assert.equal((await focusedDay()).slice(0, 7), TODAY.slice(0, 7));
    // Home and End: the week's first and last day, seven days apart.
    await page.keyboard.press('Home');
    const first = await focusedDay();
    await page.keyboard.press('End');
    const last = await focusedDay();
    assert.equal((Date.parse(last) - Date.parse(first)) / 86400000, 6);
    // Moving chose nothing; Enter on yesterday chooses and loads it.
    assert.equal(await page.getAttribute(`#playback-days button[data-day="${TODAY}"]`, 'aria-pressed'), 'true');
    await page.focus(`#playback-days button[data-day="${TODAY}"]`);
    // Focus put there by other means makes it the one tab stop, so a redraw
    // (the month's marks arriving late) keeps focus on it.
    assert.equal(await page.getAttribute('#playback-days button[tabindex="0"]', 'data-day'), TODAY);
    await page.keyboard.press('ArrowLeft');
    await page.keyboard.press('Enter');
    await waitForResult(page, new RegExp(`on ${YESTERDAY}: `), 'ok');
    assert.equal(await focusedDay(), YESTERDAY);
    assert.equal(await page.getAttribute(`#playback-days button[data-day="${YESTERDAY}"]`, 'aria-pressed'), 'true');
  });
});
