// SPDX-License-Identifier: GPL-3.0-or-later
// The Downloads tab: a channel and a day, the day's recordings of that
// channel (GET /api/recordings) each with a Download button, a part of the
// day that queues one clip per recording it overlaps, and the list of clips
// with their progress, a Stop button and where each finished one was saved.
//
// The control downloads (StartBackup; two at a time per recorder, in the
// order of their keys) whatever page it shows: the tab needs no picture, and
// the user may watch live or play back meanwhile. Its UploadBackupProcess
// events move the rows on whichever tab shows. The list is part of the
// page's session: a reload of the tab finds it (later events update it),
// a log-out empties it (the control stops every download then).
import {channelName} from './channel-list.js';
import {
  ALREADY_QUEUED, QUEUED, backupPathOf, channelText, cleanDownloads, clipsOfRange, isFinal, keyOf, newRow,
  rowAfterEvent, sameClip, sizeText, speedOf,
} from './downloads-model.js';
import {isDayText, localToday} from './playback-section.js';

const NOT_KNOWN = 1;
const MALFORMED = 0x80060000;
const UNAVAILABLE = 0x80020002;
const SPEED_SAMPLES = 12;  // progress events kept per clip for its speed (two a second)

const REFUSALS = {[NOT_KNOWN]: 'downloadsCodeNotKnown', [MALFORMED]: 'downloadsCodeMalformed',
  [UNAVAILABLE]: 'downloadsCodeUnavailable', [ALREADY_QUEUED]: 'downloadsAlreadyQueued'};

const STATE_TEXTS = {queued: 'downloadQueued', waiting: 'downloadWaiting', running: 'downloadRunning',
  done: 'downloadDone', stopped: 'downloadStopped', failed: 'downloadFailed'};

// 'CH02 2026-12-07 00:45:00 – 00:49:59': a clip as the user reads it.
export function clipName(clip) {
  const end = clip.end.slice(0, 10) === clip.start.slice(0, 10) ? clip.end.slice(11) : clip.end;
  return `${channelText(clip.channel)} ${clip.start} – ${end}`;
}

// A recording's times on the day chosen: the date only where it is another day.
export const spanTimes = (span, day) =>
  `${span.start.slice(0, 10) === day ? span.start.slice(11) : span.start} – ${span.end.slice(0, 10) === day ? span.end.slice(11) : span.end}`;

const hexCode = (code) => (typeof code === 'number' && code > 9 ? `0x${code.toString(16)}` : String(code));

// page: {state, $, run, status, text, setText, notice, keepSession}
export function createDownloadsSection(page) {
  const {state, $} = page;
  const channelSelect = $('downloads-channel');
  const dayInput = $('downloads-day');
  const spanList = $('downloads-spans');
  const spansLine = $('downloads-spans-state');
  const result = $('downloads-result');
  const list = $('downloads-list');
  const countBadge = $('downloads-count');

  const rowElements = new Map();  // key -> <li>
  const samples = new Map();      // key -> [{at, cur}] of its progress events
  let spans = [];                 // the shown day's recordings of the shown channel
  let spansOf = '';               // 'channel day' the spans are of
  let spanLoads = 0;
  let shownChannels = -1;
  const pendingKeys = new Set();  // clips listed while their StartBackup is under way

  const model = () => {
    if (!state.downloads || !Array.isArray(state.downloads.rows)) state.downloads = cleanDownloads(state.downloads);
    return state.downloads;
  };
  const keep = () => page.keepSession();
  const channelCount = () => Math.max(1, Number(state.recorderChannels || state.channels) || 1);

  // outcome: 'busy' | 'ok' | 'empty' | 'error'; the text follows the language.
  function setLine(line, outcome, key, ...args) {
    page.setText(line, key, ...args);
    if (outcome) line.dataset.outcome = outcome;
    else delete line.dataset.outcome;
  }
  const setResult = (outcome, key, ...args) => {
    setLine(result, outcome, key, ...args);
    if (key && outcome !== 'busy') page.status(`Downloads: ${result.textContent}`);
  };

  // ---- channel, day and the day's recordings ----

  function fillChannels() {
    const count = channelCount();
    if (shownChannels === count) return;
    const chosen = Math.min(Number(model().channel) || 0, count - 1);
    channelSelect.replaceChildren();
    for (let channel = 0; channel < count; ++channel)
      channelSelect.append(new Option(channelName(channel), String(channel)));
    channelSelect.value = String(chosen);
    shownChannels = count;
  }

  function choices() {
    const channel = Number(channelSelect.value) || 0;
    const day = isDayText(dayInput.value) ? dayInput.value : '';
    return {channel, day};
  }

  async function loadSpans() {
    const load = ++spanLoads;
    const {channel, day} = choices();
    Object.assign(model(), {channel, day});
    keep();
    spans = [];
    spansOf = '';
    spanList.replaceChildren();
    if (!day) {
      setLine(spansLine, '', '');
      return;
    }
    setLine(spansLine, 'busy', 'downloadsSpansLoading', channelName(channel), day);
    let answer;
    try {
      const response = await fetch(`/api/recordings?date=${day}&channel=${channel}`, {cache: 'no-store'});
      answer = await response.json().catch(() => ({}));
      if (!response.ok) throw new Error(answer?.error ? `HTTP ${response.status}: ${answer.error}` : `HTTP ${response.status}`);
    } catch (e) {
      if (load !== spanLoads) return;
      setLine(spansLine, 'error', 'downloadsSpansFailed', e instanceof TypeError ? {text: 'playbackUnreachable'} : e.message);
      return;
    }
    if (load !== spanLoads) return;
    spans = Array.isArray(answer.spans) ? answer.spans : [];
    spansOf = `${channel} ${day}`;
    spanList.dataset.count = String(spans.length);
    renderSpans(channel, day);
    if (!spans.length) setLine(spansLine, 'empty', 'downloadsSpansNone', channelName(channel), day);
    else setLine(spansLine, 'ok', 'downloadsSpansFound', spans.length, channelName(channel), day);
  }

  function renderSpans(channel, day) {
    const items = spans.map((span, index) => {
      const item = document.createElement('li');
      item.className = 'span';
      item.dataset.type = span.type === 'alarm' ? 'alarm' : 'normal';
      const times = document.createElement('span');
      times.className = 'span-times';
      times.textContent = spanTimes(span, day);
      const kind = document.createElement('span');
      kind.className = 'span-type';
      kind.textContent = page.text(span.type === 'alarm' ? 'typeAlarm' : 'typeNormal');
      const size = document.createElement('span');
      size.className = 'span-size';
      size.textContent = span.size ? sizeText(span.size) : '';
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'span-download';
      button.dataset.index = String(index);
      button.textContent = page.text('downloadsSpanButton');
      button.setAttribute('aria-label', page.text('downloadsSpanLabel', channelName(channel), span.start, span.end));
      item.append(times, kind, size, button);
      return item;
    });
    spanList.replaceChildren(...items);
  }

  spanList.addEventListener('click', (e) => {
    const button = e.target.closest('button.span-download');
    if (!button) return;
    const span = spans[Number(button.dataset.index)];
    const channel = Number(spansOf.split(' ')[0]);
    if (span) queue([{channel, file: span.file, start: span.start, end: span.end}]);
  });
  channelSelect.addEventListener('change', () => loadSpans());
  dayInput.addEventListener('change', () => loadSpans());

  $('downloads-range-form').addEventListener('submit', async (e) => {
    e.preventDefault();
    const {channel, day} = choices();
    if (!day) {
      setResult('error', 'rangeInvalid');
      return;
    }
    if (spansOf !== `${channel} ${day}`) await loadSpans();
    const from = $('downloads-from').value;
    const to = $('downloads-to').value;
    const {clips, problem} = clipsOfRange(spans, day, from, to, channel);
    if (problem) {
      setResult('error', problem, channelName(channel), `${day} ${from}`, to);
      return;
    }
    await queue(clips);
  });

  // ---- queuing ----

  // Queues clips [{channel, file, start, end}] in their order. Resolves to
  // the last StartBackup answer (8 queued), or undefined when nothing was
  // asked of the control.
  async function queue(clips) {
    if (!state.devId || !clips.length) return undefined;
    const downloads = model();
    // The control reads its download folder when it queues a clip: so does the page, for the path it shows.
    let folder = '';
    try {
      folder = String(await state.ctrl.SetLocalParameter(state.devId, 'backup_path', '', 'get'));
    } catch { /* the path stays unknown */ }
    let queued = 0;
    let lastQueued = null;
    let problem = false;
    let last;
    for (const clip of clips) {
      const active = downloads.rows.find((row) => !isFinal(row) && sameClip(row, clip));
      if (active) {
        setResult('error', 'downloadsAlreadyListed', clipName(clip));
        problem = true;
        continue;
      }
      const key = keyOf(++downloads.counter, downloads.tag);
      const path = backupPathOf({folder, address: state.address, webPort: state.webPort ?? 80, ...clip});
      // Listed before the call, so that no event of it finds no row.
      downloads.rows.push(newRow(clip, key, path));
      keep();
      pendingKeys.add(key);
      last = await page.run('StartBackup', state.devId, clip.file, String(clip.channel), clip.start, clip.end, key);
      pendingKeys.delete(key);
      if (last === QUEUED) {
        ++queued;
        lastQueued = clip;
        const row = model().rows.find((r) => r.key === key);
        if (row) {
          showRow(row);
          list.append(rowElements.get(key));
        }
        continue;
      }
      downloads.rows = downloads.rows.filter((r) => r.key !== key);
      keep();
      if (last === undefined) setResult('error', 'downloadsRefused', clipName(clip), {text: 'downloadsNoAnswer'});
      else if (REFUSALS[last]) setResult('error', 'downloadsRefused', clipName(clip), {text: REFUSALS[last]});
      else setResult('error', 'downloadsRefusedCode', clipName(clip), hexCode(last));
      problem = true;
      break;  // what the control refused for one it refuses for the next
    }
    if (!problem && queued === 1) setResult('ok', 'downloadsQueuedOne', clipName(lastQueued));
    else if (!problem && queued > 1) setResult('ok', 'downloadsQueuedMany', queued);
    showSummary();
    return last;
  }

  // ---- the list ----

  function part(item, name) {
    return item.querySelector(`.${name}`);
  }

  function createRowElement(row) {
    const item = document.createElement('li');
    item.className = 'download';
    item.dataset.key = row.key;
    item.innerHTML = `
      <div class="download-main">
        <div class="download-head"><span class="download-name"></span><span class="download-state"></span></div>
        <progress class="download-bar" max="100"></progress>
        <div class="download-figures"><span class="download-size"></span><span class="download-speed"></span></div>
      </div>
      <div class="download-actions"><button type="button" class="download-stop"></button></div>
      <div class="download-saved"><span class="download-saved-label"></span><code class="download-path"></code>
        <button type="button" class="download-copy"></button></div>`;
    part(item, 'download-stop').addEventListener('click', () => stop(item.dataset.key));
    part(item, 'download-copy').addEventListener('click', () => copyPath(item));
    rowElements.set(row.key, item);
    list.append(item);
    return item;
  }

  function showRow(row) {
    const item = rowElements.get(row.key) || createRowElement(row);
    const name = clipName(row);
    item.dataset.state = row.state;
    part(item, 'download-name').textContent = name;
    const percent = Number.parseFloat(row.percent) || 0;
    const stateText = row.state === 'failed' ? page.text('downloadFailed', page.text(row.reason || 'downloadNotDelivered'))
      : page.text(STATE_TEXTS[row.state], row.state === 'running' ? percent.toFixed(0) : undefined);
    part(item, 'download-state').textContent = stateText;

    const bar = part(item, 'download-bar');
    bar.hidden = !['waiting', 'running', 'done'].includes(row.state);
    if (row.state === 'waiting') bar.removeAttribute('value');  // under way, how far not known
    else bar.value = row.state === 'done' ? 100 : percent;
    bar.setAttribute('aria-label', page.text('downloadProgressLabel', name));

    const figures = part(item, 'download-figures');
    const sized = row.total > 0 && (row.state === 'running' || row.state === 'done' || row.state === 'failed');
    figures.hidden = !sized;
    part(item, 'download-size').textContent = !sized ? ''
      : row.state === 'done' ? sizeText(row.total) : page.text('downloadSizeOf', sizeText(row.cur), sizeText(row.total));
    const speed = row.state === 'running' ? speedOf(samples.get(row.key) || []) : null;
    part(item, 'download-speed').textContent = speed === null ? '' : `${sizeText(speed)}/s`;

    const saved = part(item, 'download-saved');
    saved.hidden = row.state !== 'done';
    part(item, 'download-saved-label').textContent = page.text('downloadSavedAs');
    part(item, 'download-path').textContent = row.path || page.text('downloadPathUnknown');
    const copy = part(item, 'download-copy');
    copy.textContent = page.text('downloadCopy');
    copy.setAttribute('aria-label', page.text('downloadCopyLabel', name));
    copy.hidden = !row.path;

    const stopButton = part(item, 'download-stop');
    stopButton.textContent = page.text('downloadStop');
    stopButton.setAttribute('aria-label', page.text('downloadStopLabel', name));
    if (isFinal(row) && document.activeElement === stopButton) {
      // The button goes with the clip's end: the keyboard stays in the row.
      (row.state === 'done' && row.path ? copy : $('downloads-clear')).focus();
    }
    part(item, 'download-actions').hidden = isFinal(row);
  }

  function showSummary() {
    const rows = model().rows;
    const active = rows.filter((row) => !isFinal(row)).length;
    const finished = rows.length - active;
    $('downloads-empty').hidden = rows.length > 0;
    list.hidden = rows.length === 0;
    const summary = $('downloads-summary');
    page.setText(summary, rows.length ? 'downloadsSummary' : '', active, finished);
    $('downloads-clear').disabled = finished === 0;
    countBadge.textContent = String(active);
    countBadge.hidden = active === 0;
    countBadge.title = page.text('downloadsCount', active);
  }

  function showAll() {
    const downloads = model();
    const keys = new Set(downloads.rows.map((row) => row.key));
    for (const [key, item] of rowElements) {
      if (keys.has(key)) continue;
      item.remove();
      rowElements.delete(key);
    }
    for (const row of downloads.rows) {
      // A row listed just before its StartBackup answered is shown once queued.
      if (pendingKeys.has(row.key)) continue;
      showRow(row);
      list.append(rowElements.get(row.key));  // in the order queued
    }
    showSummary();
  }

  function eventArrived({BackupKey, ulFlag, TotalLen, CurLen, percent}) {
    const downloads = state.downloads;
    if (!downloads?.rows) return;
    const index = downloads.rows.findIndex((row) => row.key === BackupKey);
    if (index < 0) return;
    const before = downloads.rows[index];
    const after = rowAfterEvent(before, {ulFlag, TotalLen, CurLen, percent});
    if (after.state === 'running') {
      const kept = samples.get(after.key) || [];
      kept.push({at: performance.now(), cur: after.cur});
      samples.set(after.key, kept.slice(-SPEED_SAMPLES));
    } else {
      samples.delete(after.key);
    }
    if (after === before) return;
    downloads.rows[index] = after;
    keep();
    if (pendingKeys.has(after.key)) return;
    showRow(after);
    showSummary();
  }

  async function stop(key) {
    const code = await page.run('StopBackup', state.devId, key);
    if (code === undefined) return;
    // Stopped whatever its state: the control forgets the key, and a clip
    // still queued gets no event for it.
    const downloads = model();
    const index = downloads.rows.findIndex((row) => row.key === key);
    if (index < 0 || isFinal(downloads.rows[index])) return;
    downloads.rows[index] = {...downloads.rows[index], state: 'stopped', stoppedHere: true};
    samples.delete(key);
    keep();
    showRow(downloads.rows[index]);
    showSummary();
  }

  async function copyPath(item) {
    const path = part(item, 'download-path').textContent;
    let copied = false;
    try {
      await navigator.clipboard.writeText(path);
      copied = true;
    } catch {
      // Not a secure page, or no permission: the selection's copy.
      const range = document.createRange();
      range.selectNodeContents(part(item, 'download-path'));
      const selection = getSelection();
      selection.removeAllRanges();
      selection.addRange(range);
      try { copied = document.execCommand('copy'); } catch { copied = false; }
    }
    page.notice(copied ? {key: 'downloadCopied', args: [path], kind: 'ok'} : {key: 'downloadCopyFailed', kind: 'error'});
  }

  $('downloads-clear').addEventListener('click', () => {
    const downloads = model();
    const focusLeaves = [...rowElements.values()].some((item) => item.contains(document.activeElement));
    downloads.rows = downloads.rows.filter((row) => !isFinal(row));
    keep();
    showAll();
    if (focusLeaves) $('downloads-clear').focus();
  });

  return {
    // No controlPage: the control goes on showing live or playback.
    async show() {
      fillChannels();
      const downloads = model();
      if (!dayInput.value) dayInput.value = isDayText(downloads.day) ? downloads.day : localToday();
      channelSelect.value = String(Math.min(Number(downloads.channel) || 0, channelCount() - 1));
      dayInput.max = localToday();
      showAll();
      const {channel, day} = choices();
      if (spansOf !== `${channel} ${day}`) await loadSpans();
    },
    listen(ctrl) {
      ctrl.on('UploadBackupProcess', (event) => eventArrived(event));
    },
    // A new log-in or a log-out: a new list (the control stopped the old one's downloads).
    reset() {
      state.downloads = cleanDownloads(null);
      samples.clear();
      ++spanLoads;
      spans = [];
      spansOf = '';
      spanList.replaceChildren();
      dayInput.value = '';
      shownChannels = -1;
      setLine(spansLine, '', '');
      setResult('', '');
      showAll();
    },
    // A reload: the list as it was kept.
    restore() {
      state.downloads = cleanDownloads(state.downloads);
      showAll();
    },
    refreshTexts() {
      if (spansOf) renderSpans(...spansOf.split(' ').map((part, i) => (i ? part : Number(part))));
      for (const row of model().rows) if (rowElements.has(row.key)) showRow(row);
      showSummary();
    },
    queue,
  };
}
