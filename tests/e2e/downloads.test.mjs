// SPDX-License-Identifier: GPL-3.0-or-later
// The page's Downloads tab. In node: the clips a time range gives, the
// control's file names, how events move a row (the first final state
// stays), keys in queue order, sizes and speeds. In headless Chromium
// against a real recorder (two days of generated recordings) and host: the
// day's recordings of a channel, clips queued whole and by a range, their
// progress, stops of a running and a queued clip, finished files on disk
// where the row says, a failure's reason, a reload, a log-out, the Playback
// tab's Download, the keyboard, Chinese and the look at three screen sizes.
import assert from 'node:assert/strict';
import {existsSync, statSync} from 'node:fs';
import {after, afterEach, before, describe, test} from 'node:test';

import {Stack, pollUntil, skipReason} from './harness.mjs';
import {
  FLAG, backupPathOf, cleanDownloads, clipsOfRange, keyOf, localFolderOf, newRow, rowAfterEvent, safeNamePart,
  sizeText, speedOf,
} from '../../web/downloads-model.js';
import {PAGE_TEXTS} from '../../web/page-texts.js';

const skip = skipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

describe('the downloads list without a page', () => {
  const spans = [
    {start: '2026-12-06 23:40:00', end: '2026-12-07 00:30:00', file: 'history/ch02/20261206-234000_N'},
    {start: '2026-12-07 00:42:00', end: '2026-12-07 01:16:00', file: 'history/ch02/20261207-004200_N'},
    {start: '2026-12-07 01:30:00', end: '2026-12-07 01:33:00', file: 'history/ch02/20261207-013000_A'},
  ];

  test('a range gives one clip per recording it overlaps, each cut to the range', () => {
    assert.deepEqual(clipsOfRange(spans, '2026-12-07', '00:20', '00:50', 1).clips, [
      {channel: 1, file: spans[0].file, start: '2026-12-07 00:20:00', end: '2026-12-07 00:30:00'},
      {channel: 1, file: spans[1].file, start: '2026-12-07 00:42:00', end: '2026-12-07 00:50:00'},
    ]);
    // Inside one recording; a recording begun the day before starts at midnight.
    assert.deepEqual(clipsOfRange(spans, '2026-12-07', '01:00:30', '01:01:30', 1).clips,
      [{channel: 1, file: spans[1].file, start: '2026-12-07 01:00:30', end: '2026-12-07 01:01:30'}]);
    assert.equal(clipsOfRange(spans, '2026-12-07', '00:00', '00:10', 1).clips[0].start, '2026-12-07 00:00:00');
    // A range touching a recording's end only, or in a gap, has none.
    assert.equal(clipsOfRange(spans, '2026-12-07', '00:30', '00:42', 1).problem, 'rangeNoRecordings');
    assert.equal(clipsOfRange(spans, '2026-12-07', '01:00', '01:00', 1).problem, 'rangeEmpty');
    assert.equal(clipsOfRange(spans, '2026-12-07', '02:00', '01:00', 1).problem, 'rangeEmpty');
    assert.equal(clipsOfRange(spans, '2026-12-07', '', '01:00', 1).problem, 'rangeInvalid');
    assert.equal(clipsOfRange(spans, '2026-12-07', '24:00', '24:30', 1).problem, 'rangeInvalid');
    assert.equal(clipsOfRange(spans, '2026-12-07', '00:00', '23:59:59', 1).clips.length, 3);
  });

  test('the file the control saves a clip to', () => {
    assert.equal(safeNamePart('history/ch01/20261207-004200_N'), 'history_ch01_20261207-004200_N');
    assert.equal(safeNamePart('../..'), '.._..');
    assert.equal(safeNamePart('..'), '_');
    assert.equal(safeNamePart('a b\u0085录像'), 'a_b_录像');
    const clip = {channel: 1, file: 'history/ch01/20261207-004200_N', start: '2026-12-07 00:45:00', end: '2026-12-07 00:49:59'};
    assert.equal(backupPathOf({folder: '/home/u/VELK_Dvr/', address: '127.0.0.1', webPort: 8080, ...clip}),
      '/home/u/VELK_Dvr/127.0.0.1_8080/BACKUP/CH02/CH02_20261207004500-004959_history_ch01_20261207-004200_N.264');
    assert.equal(backupPathOf({folder: '\\data\\\\clips', address: 'dvr.local', webPort: 80, ...clip}),
      '/data/clips/dvr.local/BACKUP/CH02/CH02_20261207004500-004959_history_ch01_20261207-004200_N.264');
    assert.equal(localFolderOf(' /a/./b// '), '/a/b/');
    for (const unusable of ['D:\\rec\\', 'rec/', '\\\\server\\share', '/a/../b', ''])
      assert.equal(localFolderOf(unusable), '', unusable);
    assert.equal(backupPathOf({folder: 'D:\\rec', address: 'a', webPort: 80, ...clip}), '');
  });

  test('events move a row on; its first final state stays', () => {
    const queued = newRow({channel: 0, file: 'f', start: '2026-12-07 00:00:00', end: '2026-12-07 00:01:00'}, 'k', '/p');
    const event = (flag, cur = 0, total = 0, percent = '0.00') => ({ulFlag: flag, CurLen: cur, TotalLen: total, percent});
    const waiting = rowAfterEvent(queued, event(FLAG.waiting));
    assert.equal(waiting.state, 'waiting');
    const running = rowAfterEvent(waiting, event(FLAG.progress, 512, 2048, '25.00'));
    assert.deepEqual([running.state, running.cur, running.total, running.percent], ['running', 512, 2048, '25.00']);
    for (const [flag, state, reason] of [[FLAG.done, 'done', ''], [FLAG.unreachable, 'failed', 'downloadUnreachable'],
      [FLAG.failed, 'failed', 'downloadNotDelivered'], [FLAG.stopped, 'stopped', '']]) {
      const ended = rowAfterEvent(running, event(flag, 2048, 2048, '100.00'));
      assert.deepEqual([ended.state, ended.reason], [state, reason], `flag ${flag}`);
      // The control's flag 3 as it removes the ended clip, and late progress, change nothing.
      assert.equal(rowAfterEvent(ended, event(FLAG.stopped)), ended);
      assert.equal(rowAfterEvent(ended, event(FLAG.progress, 1024, 2048, '50.00')), ended);
      assert.equal(rowAfterEvent(ended, event(FLAG.waiting)), ended);
    }
    // A stop the page marked gives way to a finished file only.
    const stoppedHere = {...running, state: 'stopped', stoppedHere: true};
    assert.equal(rowAfterEvent(stoppedHere, event(FLAG.failed)), stoppedHere);
    assert.equal(rowAfterEvent(stoppedHere, event(FLAG.done, 2048, 2048, '100.00')).state, 'done');
    assert.equal(rowAfterEvent(rowAfterEvent(running, event(FLAG.failed)), event(FLAG.done)).state, 'failed');
  });

  test('keys sort in the order queued; sizes, speeds and a kept list', () => {
    const keys = [1, 2, 9, 10, 11, 99, 100, 1000, 123456].map((n) => keyOf(n, 'tab1'));
    assert.deepEqual([...keys].sort(), keys);
    assert.notEqual(keyOf(1, 'tab1'), keyOf(1, 'tab2'));
    assert.equal(sizeText(0), '0 KB');
    assert.equal(sizeText(700 * 1024), '700 KB');
    assert.equal(sizeText(7340032), '7.0 MB');
    assert.equal(sizeText(300 * 1024 * 1024), '300 MB');
    assert.equal(speedOf([{at: 0, cur: 0}]), null);
    assert.equal(speedOf([{at: 0, cur: 0}, {at: 500, cur: 1000}, {at: 1000, cur: 4000}]), 4000);
    // Only the last window counts.
    assert.equal(speedOf([{at: 0, cur: 0}, {at: 9000, cur: 1000}, {at: 10000, cur: 3000}], 3000), 2000);
    const kept = cleanDownloads({counter: 7, tag: 'abc', channel: 2, day: '2026-12-07',
      rows: [{key: 'x', channel: 0, start: 'a', end: 'b', state: 'running'}, {key: 'y', state: 'odd'}, null]});
    assert.deepEqual([kept.counter, kept.tag, kept.rows.length, kept.channel], [7, 'abc', 1, 2]);
    assert.match(cleanDownloads(null).tag, /^[0-9a-z]{8}$/);
    assert.notEqual(cleanDownloads(null).tag, cleanDownloads(null).tag);
  });

  test('every downloads text in both languages', () => {
    for (const key of Object.keys(PAGE_TEXTS.en).filter((k) => /^(downloads?|range|playbackDownload|tabDownloads)/.test(k)))
      assert.ok(PAGE_TEXTS['zh-CN'][key] && PAGE_TEXTS['zh-CN'][key] !== PAGE_TEXTS.en[key], key);
  });
});

// Local days as the recorder names them.
const pad = (n) => String(n).padStart(2, '0');
const dayBefore = (n) => {
  const date = new Date();
  date.setDate(date.getDate() - n);
  return `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;
};
const YESTERDAY = dayBefore(1);
const VIEWPORT = {width: 1366, height: 768};
const secondsOf = (text) => Date.parse(`${text.replace(' ', 'T')}Z`) / 1000;
const timeOf = (seconds) => new Date(seconds * 1000).toISOString().slice(11, 19);

// The rows as the page shows them.
const rows = (page) => page.$$eval('#downloads-list .download', (items) => items.map((item) => ({
  key: item.dataset.key, state: item.dataset.state, name: item.querySelector('.download-name').textContent,
  text: item.querySelector('.download-state').textContent, path: item.querySelector('.download-path').textContent,
  pathShown: !item.querySelector('.download-saved').hidden, size: item.querySelector('.download-size').textContent,
  stop: !item.querySelector('.download-actions').hidden,
})));
const kept = (page, key) => page.evaluate((k) => window.velk.downloads.rows.find((row) => row.key === k), key);

async function waitForRows(page, test, what, timeoutMs = 30000) {
  return pollUntil(async () => { const now = await rows(page); return test(now) && now; }, what, {timeoutMs});
}

describe('the downloads tab', {skip: skip || false}, () => {
  let stack;
  const post = (path) => fetch(`${stack.origin}${path}`, {method: 'POST'}).then((r) => r.json());
  const search = async (day, channel) =>
    (await (await fetch(`${stack.origin}/api/recordings?date=${day}&channel=${channel}`)).json()).spans;

  // A page logged in on the Downloads tab with channel and day chosen, every
  // control call and UploadBackupProcess event kept.
  async function downloadsPage({viewport = VIEWPORT, channel = 0, day = YESTERDAY, language = 'en'} = {}) {
    const page = await stack.loggedInPage({viewport});
    await page.evaluate(() => {
      window.__calls = [];
      window.__events = [];
      const ctrl = window.velk.ctrl;
      const call = ctrl.call.bind(ctrl);
      ctrl.call = (name, ...args) => { if (!name.startsWith('$')) window.__calls.push({name, args}); return call(name, ...args); };
      ctrl.on('UploadBackupProcess', (params) => window.__events.push(params));
    });
    if (language !== 'en') await page.selectOption('#language', language);
    await page.click('#tabs [data-section="downloads"]');
    await page.waitForSelector('#section-downloads:not([hidden])');
    await page.selectOption('#downloads-channel', String(channel));
    await page.fill('#downloads-day', day);
    await page.waitForSelector('#downloads-spans-state[data-outcome="ok"], #downloads-spans-state[data-outcome="empty"]');
    return page;
  }
  const startBackups = (page) => page.evaluate(() => window.__calls.filter((c) => c.name === 'StartBackup').map((c) => c.args));

  before(async () => {
    if (skip) return;
    stack = await new Stack().start({recorderArgs: ['--history-days', '2']});
    await stack.closePages();
  });
  after(async () => { await stack?.stop(); });
  afterEach(async () => {
    await stack?.closePages();
    await post('/sim/download?action=pace&kib=0').catch(() => {});
  });

  test('the tab lists the day\'s recordings of the channel chosen, and follows the choice', async () => {
    const page = await downloadsPage({channel: 1});
    const expected = await search(YESTERDAY, 1);
    assert.ok(expected.length > 0);
    assert.equal(await page.getAttribute('#downloads-spans', 'data-count'), String(expected.length));
    const listed = await page.$$eval('#downloads-spans .span-times', (items) => items.map((i) => i.textContent));
    // Times of the day; the date where a recording begins or ends on another day.
    const onDay = (time) => (time.slice(0, 10) === YESTERDAY ? time.slice(11) : time);
    assert.deepEqual(listed, expected.map((span) => `${onDay(span.start)} – ${onDay(span.end)}`));
    assert.match(await page.textContent('#downloads-spans-state'), new RegExp(`^${expected.length} recordings of CH02 on ${YESTERDAY}$`));
    // The picture is not needed here: the control stays on its live page.
    assert.ok(await page.isHidden('#view'));
    assert.equal(await page.evaluate(() => window.velk.controlPage), 0);
    // Another channel, a day without recordings.
    await page.selectOption('#downloads-channel', '2');
    await page.waitForFunction((n) => document.getElementById('downloads-spans').dataset.count === String(n),
      (await search(YESTERDAY, 2)).length);
    await page.fill('#downloads-day', dayBefore(5));
    await page.waitForSelector('#downloads-spans-state[data-outcome="empty"]');
    assert.equal(await page.textContent('#downloads-spans-state'), `No recordings of CH03 on ${dayBefore(5)}.`);
    assert.equal(await page.$$eval('#downloads-spans li', (items) => items.length), 0);
    // A range with nothing to download says so, before the control is asked.
    await page.fill('#downloads-day', YESTERDAY);
    await page.waitForSelector('#downloads-spans-state[data-outcome="ok"]');
    await page.fill('#downloads-from', '10:00:00');
    await page.fill('#downloads-to', '09:00:00');
    await page.click('#downloads-range');
    assert.equal(await page.textContent('#downloads-result'), 'The range must end after it starts.');
    assert.deepEqual(await startBackups(page), []);
  });

  test('the control refuses a malformed clip and the list stays empty', async () => {
    const page = await downloadsPage();
    // Times that are no times: refused as malformed, nothing queued.
    const code = await page.evaluate(() => window.velk.ctrl.call('StartBackup', window.velk.devId, 'x', '0', 'bad', 'bad', 'k'));
    assert.equal(code, 0x80060000);
    assert.deepEqual(await rows(page), []);
    assert.ok(await page.isVisible('#downloads-empty'));
  });

  test('three clips: a range over two recordings and a whole short one, done on disk where the rows say', async () => {
    // A channel with two recordings a short gap apart and an alarm recording.
    let channel = -1;
    let spans = [];
    let gapAt = -1;
    for (let c = 0; c < 8 && channel < 0; ++c) {
      spans = await search(YESTERDAY, c);
      gapAt = spans.findIndex((span, i) => i + 1 < spans.length && span.start.slice(0, 10) === YESTERDAY &&
        spans[i + 1].end.slice(0, 10) === YESTERDAY && secondsOf(spans[i + 1].start) - secondsOf(span.end) <= 3600);
      if (gapAt >= 0 && spans.some((span) => span.type === 'alarm' && span.start.slice(0, 10) === YESTERDAY)) channel = c;
    }
    assert.ok(channel >= 0, 'a channel with a gap and an alarm recording');
    const page = await downloadsPage({channel});
    const before = spans[gapAt];
    const afterIt = spans[gapAt + 1];
    const from = timeOf(secondsOf(before.end) - 30);
    const to = timeOf(secondsOf(afterIt.start) + 30);
    await page.fill('#downloads-from', from);
    await page.fill('#downloads-to', to);
    await page.click('#downloads-range');
    await waitForRows(page, (now) => now.length === 2, 'two clips of the range');
    assert.equal(await page.textContent('#downloads-result'), '2 clips queued');
    const alarmIndex = spans.findIndex((span) => span.type === 'alarm' && span.start.slice(0, 10) === YESTERDAY);
    const alarm = spans[alarmIndex];
    await page.click(`#downloads-spans .span-download[data-index="${alarmIndex}"]`);
    await waitForRows(page, (now) => now.length === 3, 'the whole recording queued');

    const calls = await startBackups(page);
    const ch = String(channel);
    assert.deepEqual(calls.map((args) => args.slice(1, 5)), [
      [before.file, ch, `${YESTERDAY} ${from}`, before.end],
      [afterIt.file, ch, afterIt.start, `${YESTERDAY} ${to}`],
      [alarm.file, ch, alarm.start, alarm.end],
    ]);
    const keys = calls.map((args) => args[5]);
    assert.deepEqual([...keys].sort(), keys, 'keys sort in the order queued');
    assert.equal(new Set(keys).size, 3);

    const done = await waitForRows(page, (now) => now.length === 3 && now.every((row) => row.state === 'done'),
      'three clips done', 60000);
    for (const [i, row] of done.entries()) {
      assert.equal(row.text, 'Done');
      assert.ok(row.pathShown && !row.stop);
      const clip = calls[i];
      const name = `${clip[3].replace(/\D/g, '')}-${clip[4].replace(/\D/g, '').slice(8)}_${clip[1].replaceAll('/', '_')}.264`;
      const chName = `CH${pad(channel + 1)}`;
      assert.equal(row.path, `${stack.home}/VELK_Dvr/127.0.0.1_${stack.httpPort}/BACKUP/${chName}/${chName}_${name}`);
      assert.ok(existsSync(row.path), row.path);
      const {total} = await kept(page, row.key);
      assert.ok(total > 0);
      // The record file's 1024-byte header, then the clip's bytes as the recorder counted them.
      assert.equal(statSync(row.path).size, total + 1024, row.path);
      assert.ok(!existsSync(`${row.path}.part`));
    }
    // The control's flag 3 after each flag 1 left them done; Clear finished empties the list.
    await pollUntil(async () => (await page.evaluate(() => window.__events.filter((e) => e.ulFlag === 3).length)) >= 3,
      'the removals\' flag 3');
    assert.ok((await rows(page)).every((row) => row.state === 'done'));
    await page.click('#downloads-clear');
    assert.deepEqual(await rows(page), []);
    assert.ok(await page.isVisible('#downloads-empty'));
  });

  test('a slow recorder: waiting, running with progress, a running and a queued clip stopped', async () => {
    const page = await downloadsPage({channel: 3});
    const spans = (await search(YESTERDAY, 3)).filter((span) => span.start.slice(0, 10) === YESTERDAY);
    const longest = [...spans].sort((a, b) => (secondsOf(b.end) - secondsOf(b.start)) - (secondsOf(a.end) - secondsOf(a.start)))[0];
    await post('/sim/download?action=slowstart&seconds=8');
    // A slow link, so that the running clips' progress can be watched.
    await post('/sim/download?action=pace&kib=256');
    // Three clips: two run at once (waiting for the recorder), the third stays queued.
    const indexOf = (span) => spans.indexOf(span);
    const others = spans.filter((span) => span !== longest).slice(0, 2);
    for (const span of [longest, ...others])
      await page.click(`#downloads-spans .span-download[aria-label*="${span.start}"]`);
    const waiting = await waitForRows(page, (now) => now.length === 3 && now[0].state === 'waiting' && now[1].state === 'waiting',
      'two clips waiting for the recorder');
    assert.equal(waiting[0].text, 'Waiting for the recorder');
    assert.equal(waiting[2].state, 'queued');
    assert.equal(waiting[2].text, 'Queued');
    assert.ok(indexOf(longest) >= 0);
    // The queued one stopped: gone from the control's queue at once.
    await page.click(`#downloads-list .download[data-key="${waiting[2].key}"] .download-stop`);
    await waitForRows(page, (now) => now[2].state === 'stopped', 'the queued clip stopped');
    // The longest runs once the recorder answers: its row shows how far, how much and how fast.
    const running = await waitForRows(page, (now) => now[0].state === 'running' || ['done', 'stopped'].includes(now[0].state),
      'the longest clip running');
    if (running[0].state === 'running') {
      assert.match(running[0].text, /^Downloading \d+ %$/);
      assert.match(running[0].size, /^[\d.]+ [KM]B of [\d.]+ MB$/);
    }
    const progress = await pollUntil(() => page.evaluate((key) => window.__events
      .filter((e) => e.BackupKey === key && e.ulFlag === 0).map((e) => Number(e.CurLen)), waiting[0].key)
      .then((sizes) => sizes.length >= 2 && sizes.at(-1) > sizes[0] && sizes),
    'progress of the longest clip moving', {timeoutMs: 30000});
    assert.ok(progress.every((size, i) => i === 0 || size >= progress[i - 1]), `progress only grows: ${progress}`);
    const {total} = await kept(page, waiting[0].key);
    assert.ok(progress[0] > 0 && progress[0] < total, `${progress[0]} of ${total} while running`);
    // Stopped while it runs (or just after it ended: then its file stays done);
    // then the link is fast again and the second clip comes to its end.
    await page.click(`#downloads-list .download[data-key="${waiting[0].key}"] .download-stop`).catch(() => {});
    await waitForRows(page, (now) => ['stopped', 'done'].includes(now[0].state), 'the longest stopped');
    await post('/sim/download?action=pace&kib=0');
    const ended = await waitForRows(page, (now) => ['stopped', 'done'].includes(now[0].state) && now[1].state === 'done',
      'the longest stopped, the second done', 60000);
    assert.equal(ended[2].state, 'stopped');
    if (ended[0].state === 'stopped') {
      assert.equal(ended[0].text, 'Stopped');
      assert.ok(!ended[0].pathShown);
      assert.ok(!existsSync(ended[0].path) && !existsSync(`${ended[0].path}.part`), 'no file of a stopped clip');
    }
    assert.ok(existsSync(ended[1].path));
  });

  test('a failed download says why, in both languages', async () => {
    const page = await downloadsPage({channel: 4});
    await post('/sim/download?action=fail');
    await page.click('#downloads-spans .span-download');
    const [row] = await waitForRows(page, (now) => now.length === 1 && now[0].state === 'failed', 'the clip failed', 45000);
    assert.equal(row.text,
      'Failed: the recorder could not deliver the clip (not ready within 30 s, refused or broken off)');
    assert.ok(!row.pathShown && !row.stop);
    assert.ok(!existsSync(row.path) && !existsSync(`${row.path}.part`));
    await page.selectOption('#language', 'zh-CN');
    assert.equal((await rows(page))[0].text, '失败：录像机未能提供该片段（30 秒内未就绪、被拒绝或中途断开）');
  });

  test('a reload keeps the list and its later events; a log-out empties it', async () => {
    const page = await downloadsPage({channel: 5});
    // Longer than the library waits for the recorder's answer (5 s): the control reports waiting.
    await post('/sim/download?action=slowstart&seconds=12');
    await page.click('#downloads-spans .span-download');
    const [row] = await waitForRows(page, (now) => now.length === 1 && now[0].state === 'waiting', 'the clip waiting');
    await page.reload();
    await page.waitForSelector('#section-downloads:not([hidden])');
    const [again] = await waitForRows(page, (now) => now.length === 1 && now[0].state === 'done', 'the clip done after the reload',
      45000);
    assert.equal(again.key, row.key);
    assert.ok(existsSync(again.path));
    // Keys go on from the kept counter.
    const next = await page.evaluate(() => window.velk.downloads.counter);
    assert.ok(next >= 1);
    await page.click('#tabs [data-section="live"]');
    await page.click('#logout');
    await page.waitForSelector('#login:not([hidden])');
    assert.deepEqual(await rows(page), []);
    assert.equal(await page.evaluate(() => window.velk.downloads.rows.length), 0);
  });

  test('the Playback tab downloads a recording of the day it shows', async () => {
    const page = await stack.loggedInPage({viewport: VIEWPORT});
    await page.click('#tabs [data-section="playback"]');
    await page.waitForFunction(() => window.velk.controlPage === 3);
    const day = await page.locator(`#playback-days button[data-day="${YESTERDAY}"]`);
    if (YESTERDAY.slice(0, 7) !== (await page.$eval('#playback-days button[data-day]', (b) => b.dataset.day.slice(0, 7))))
      await page.click('#playback-prev-month');
    await day.click();
    await page.waitForSelector('#playback-result[data-outcome="ok"]');
    await page.waitForSelector('#playback-download-box:not([hidden])');
    const options = await page.$$eval('#playback-recording option', (o) => o.length);
    assert.equal(String(options), await page.getAttribute('#playback-result', 'data-count'));
    await page.click('#playback-download');
    await page.click('#tabs [data-section="downloads"]');
    const first = (await search(YESTERDAY, 0))[0];
    const [row] = await waitForRows(page, (now) => now.length === 1, 'the recording in the list');
    const end = first.end.slice(0, 10) === first.start.slice(0, 10) ? first.end.slice(11) : first.end;
    assert.equal(row.name, `CH01 ${first.start} – ${end}`);
  });

  test('the keyboard reaches the tab and its controls; Enter and Space use them', async () => {
    const page = await downloadsPage();
    await page.click('#tabs [data-section="live"]');
    await page.focus('#tabs [data-section="playback"]');
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.section), 'downloads');
    await page.keyboard.press('Enter');
    await page.waitForSelector('#section-downloads:not([hidden])');
    const reached = new Set();
    for (let i = 0; i < 40 && !reached.has('span-download'); ++i) {
      await page.keyboard.press('Tab');
      reached.add(await page.evaluate(() => document.activeElement.id || document.activeElement.className));
    }
    for (const id of ['downloads-channel', 'downloads-day', 'span-download']) assert.ok(reached.has(id), `Tab reached ${id}`);
    // Enter on a recording's button queues it; on a slow link it is still
    // running when Space stops it; Enter on Clear finished empties the list.
    await post('/sim/download?action=pace&kib=64');
    await page.keyboard.press('Enter');
    await page.waitForSelector('#downloads-result[data-outcome]');
    await waitForRows(page, (now) => now.length === 1, 'queued by Enter');
    const stop = page.locator('#downloads-list .download-stop').first();
    await stop.focus();
    await page.keyboard.press('Space');
    await waitForRows(page, (now) => now[0].state === 'stopped', 'stopped by Space');
    await page.focus('#downloads-clear');
    await page.keyboard.press('Enter');
    await waitForRows(page, (now) => now.length === 0, 'cleared by Enter');
    // The range's fields and button by keyboard (Tab goes through a time field's parts first).
    await page.focus('#downloads-from');
    const rangeReached = new Set();
    for (let i = 0; i < 12 && !rangeReached.has('downloads-range'); ++i) {
      await page.keyboard.press('Tab');
      rangeReached.add(await page.evaluate(() => document.activeElement.id));
    }
    assert.ok(rangeReached.has('downloads-to') && rangeReached.has('downloads-range'), [...rangeReached].join());
    await page.fill('#downloads-from', '10:00:00');
    await page.fill('#downloads-to', '09:00:00');
    await page.focus('#downloads-range');
    await page.keyboard.press('Space');
    await page.waitForFunction(() => document.getElementById('downloads-result').textContent === 'The range must end after it starts.');
  });

  test('Chinese: the tab, its headings, states and sentences', async () => {
    const page = await downloadsPage({language: 'zh-CN'});
    assert.equal(await page.textContent('#tabs [data-section="downloads"] [data-text]'), '下载');
    assert.equal(await page.textContent('#section-downloads .downloads-new h2'), '新建下载');
    assert.equal(await page.textContent('#downloads-clear'), '清除已结束');
    assert.match(await page.textContent('#downloads-spans-state'), /^CH01 在 .+ 共有 \d+ 段录像$/);
    assert.equal(await page.textContent('#downloads-spans .span-download'), '下载');
    assert.match(await page.getAttribute('#downloads-spans .span-download', 'aria-label'), /^下载 CH01，/);
    // Every element the keyboard reaches here has a name.
    const focusable = page.locator('#section-downloads button, #section-downloads input, #section-downloads select');
    for (let i = 0; i < await focusable.count(); ++i) {
      const element = focusable.nth(i);
      if (!await element.isVisible()) continue;
      const line = (await element.ariaSnapshot()).split('\n')[0];
      assert.match(line, /^- [\w-]+ "[^"]+"/, line);
    }
  });

  for (const viewport of [{width: 1920, height: 1080}, {width: 1366, height: 768}, {width: 390, height: 844}]) {
    test(`the tab fits ${viewport.width}x${viewport.height}: no sideways scroll, nothing spilling, targets big enough`, async () => {
      const page = await downloadsPage({viewport});
      // A few rows of every kind, as events would leave them.
      await page.evaluate(() => {
        const model = window.velk.downloads;
        const base = {channel: 11, file: 'history/ch12/20261207-081500_N', start: '2026-12-07 08:15:00', end: '2026-12-07 10:14:59'};
        const states = [['running', '45.20'], ['waiting', '0.00'], ['queued', '0.00'], ['done', '100.00'], ['failed', '50.00'],
          ['stopped', '10.00']];
        for (const [i, [state, percent]] of states.entries()) {
          model.rows.push({...base, key: `00000${i}-look`, state, percent, total: 75497472, cur: 34120000, reason:
            state === 'failed' ? 'downloadNotDelivered' : '',
          path: `/home/someone/VELK_Dvr/192.168.100.200_8080/BACKUP/CH12/CH12_20261207081500-101459_history_ch12_20261207-081500_N.264`});
        }
      });
      await page.click('#tabs [data-section="live"]');
      await page.click('#tabs [data-section="downloads"]');
      await page.waitForSelector('#downloads-list .download');
      const look = await page.evaluate(() => {
        const spill = [...document.querySelectorAll('#section-downloads *')].filter((e) => e.checkVisibility() &&
          e.scrollWidth > e.clientWidth + 1 && getComputedStyle(e).overflowX === 'visible' && e.clientWidth > 0)
          .map((e) => e.className || e.id);
        const small = [...document.querySelectorAll('#section-downloads button, #section-downloads input, #section-downloads select')]
          .filter((e) => e.checkVisibility()).map((e) => ({id: e.id || e.className, h: e.getBoundingClientRect().height}))
          .filter((b) => b.h < (innerWidth <= 760 ? 36 : 28));
        return {scrollWidth: document.documentElement.scrollWidth, width: innerWidth, spill, small,
          badge: document.getElementById('downloads-count').textContent};
      });
      assert.ok(look.scrollWidth <= look.width, `no sideways scroll (${look.scrollWidth} > ${look.width})`);
      assert.deepEqual(look.spill, []);
      assert.deepEqual(look.small, []);
      if (process.env.VELK_SCREENSHOTS)
        await page.screenshot({path: `${process.env.VELK_SCREENSHOTS}/downloads-${viewport.width}.png`, fullPage: true});
    });
  }
});
