// SPDX-License-Identifier: GPL-3.0-or-later
// The playback section: a month calendar marking the days with recordings
// (GET /api/recordings/days), the channels and the record type to look at,
// and "Show recordings", which hands the chosen day's recordings of those
// channels (GET /api/recordings) to the control's playback page. The user
// then plays them in the control's own panel in the picture (timeline,
// Play…). Any recording of the day loaded can be downloaded: it joins the
// Downloads tab's list.
//
// Choosing a day loads it at once: that is what a calendar is for. Ticking
// channels and changing the type only mark the calendar again until "Show
// recordings": channels are ticked several at a time, and every change the
// control hears stops what it plays.
import {channelName} from './channel-list.js';
import {formatCode} from './result-codes.js';

export const PLAYBACK_PAGE = 3;        // the control's page for SwitchPage
export const MAX_CHANNELS_AT_ONCE = 16; // the recorder plays at most 16 channels in one playback
export const CONTROL_CHANNELS = 16;    // SetPlayBackChannels' mask: bit n for channel n, CH01..CH16
const DEFAULT_CHANNELS = 4;            // the first four channels are ticked to start with

// The record type filter: the recorder's search words and the control's codes.
export const RECORD_TYPES = ['all', 'normal', 'alarm'];
const ALLOW_CODES = {normal: 0, alarm: 1, all: 2};  // AllowPlaybackRecordTypeToPlay
export const allowCodeOf = (type) => ALLOW_CODES[type] ?? ALLOW_CODES.all;
// SetRecordPeriod's record type of one of the recorder's recordings: 0 normal, 1 alarm.
export const periodTypeOf = (recording) => (recording.type === 'alarm' ? 1 : 0);

// Calendar dates are 'YYYY-MM-DD' texts, the recorder's local days; the
// arithmetic runs in UTC so that no clock change moves a day.
const pad = (n, width = 2) => String(n).padStart(width, '0');
export const dayText = (year, month, day) => `${pad(year, 4)}-${pad(month)}-${pad(day)}`;
const utcOf = (text) => {
  const [year, month, day] = text.split('-').map(Number);
  return new Date(Date.UTC(year, month - 1, day));
};
const textOf = (date) => dayText(date.getUTCFullYear(), date.getUTCMonth() + 1, date.getUTCDate());

// A real day 'YYYY-MM-DD' between 1970 and 2099 (what the recorder searches), or false.
export function isDayText(text) {
  if (typeof text !== 'string' || !/^\d{4}-\d{2}-\d{2}$/.test(text)) return false;
  const year = Number(text.slice(0, 4));
  return year >= 1970 && year <= 2099 && textOf(utcOf(text)) === text;
}
export const addDays = (text, n) => {
  const date = utcOf(text);
  date.setUTCDate(date.getUTCDate() + n);
  return textOf(date);
};
export const daysInMonth = (year, month) => new Date(Date.UTC(year, month, 0)).getUTCDate();
// The same day of the month n months on, or the month's last day.
export function addMonths(text, n) {
  const [year, month, day] = text.split('-').map(Number);
  const index = year * 12 + (month - 1) + n;
  const newYear = Math.floor(index / 12);
  const newMonth = (index % 12) + 1;
  return dayText(newYear, newMonth, Math.min(day, daysInMonth(newYear, newMonth)));
}
export const monthOf = (text) => text.slice(0, 7);
export const weekdayOf = (text) => utcOf(text).getUTCDay();  // 0 Sunday
export const localToday = (now = new Date()) => dayText(now.getFullYear(), now.getMonth() + 1, now.getDate());

// The weeks of a month as rows of seven day numbers (0 where the day
// belongs to the month before or after), each row starting on firstWeekday
// (0 Sunday, 1 Monday).
export function monthWeeks(month, firstWeekday) {
  const [year, number] = month.split('-').map(Number);
  const lead = (weekdayOf(`${month}-01`) - firstWeekday + 7) % 7;
  const cells = [...Array(lead).fill(0)];
  for (let day = 1; day <= daysInMonth(year, number); ++day) cells.push(day);
  while (cells.length % 7) cells.push(0);
  const weeks = [];
  for (let i = 0; i < cells.length; i += 7) weeks.push(cells.slice(i, i + 7));
  return weeks;
}

// The week's first day in a language (0 Sunday, 1 Monday), from the
// browser's locale data; Monday where it has none.
export function firstWeekdayOf(language) {
  try {
    const locale = new Intl.Locale(language);
    const info = locale.getWeekInfo?.() ?? locale.weekInfo;
    if (info?.firstDay) return info.firstDay % 7;
  } catch {
    // An unknown language: Monday.
  }
  return 1;
}

// Where the keyboard moves the focus in the calendar from day: the arrows
// by a day or a week, Home and End to the week's ends, Page Up and Page
// Down by a month (with Shift by a year). null for other keys.
export function dayAfterKey(day, key, {shift = false, firstWeekday = 1} = {}) {
  const intoWeek = (weekdayOf(day) - firstWeekday + 7) % 7;
  switch (key) {
    case 'ArrowLeft': return addDays(day, -1);
    case 'ArrowRight': return addDays(day, 1);
    case 'ArrowUp': return addDays(day, -7);
    case 'ArrowDown': return addDays(day, 7);
    case 'Home': return addDays(day, -intoWeek);
    case 'End': return addDays(day, 6 - intoWeek);
    case 'PageUp': return addMonths(day, shift ? -12 : -1);
    case 'PageDown': return addMonths(day, shift ? 12 : 1);
    default: return null;
  }
}

// SetPlayBackChannels' mask of channels (0-based).
export const channelMask = (channels) => channels.reduce((mask, channel) => (mask | (1 << channel)) >>> 0, 0);

// Ticking (on) or unticking a channel: the new list, ascending, or why it is
// refused: 'tooMany' for a 17th channel, 'beyondControl' for one the
// control's mask does not reach.
export function tickChannel(channels, channel, on) {
  const others = channels.filter((c) => c !== channel);
  if (!on) return {channels: others};
  if (channels.includes(channel)) return {channels};
  if (channels.length >= MAX_CHANNELS_AT_ONCE) return {channels, refused: 'tooMany'};
  if (channel >= CONTROL_CHANNELS) return {channels, refused: 'beyondControl'};
  return {channels: [...others, channel].sort((a, b) => a - b)};
}

// The days of the month marked in the calendar: those on which any of the
// channels has recordings (any channel when none is ticked), from the
// recorder's answer {days: {"<channel>": [day, …]}}.
export function markedDays(answer, channels) {
  const marked = new Set();
  for (const [channel, days] of Object.entries(answer?.days || {})) {
    if (channels.length && !channels.includes(Number(channel))) continue;
    for (const day of Array.isArray(days) ? days : []) marked.add(Number(day));
  }
  return marked;
}

// The choices a reload restores, cleaned of anything that is not one:
// {day, channels, type}.
export function cleanChoices(kept, channelCount, today) {
  const day = isDayText(kept?.day) ? kept.day : today;
  let channels = Array.isArray(kept?.channels)
    ? [...new Set(kept.channels.filter((c) => Number.isInteger(c) && c >= 0 && c < Math.min(channelCount, CONTROL_CHANNELS)))]
      .sort((a, b) => a - b).slice(0, MAX_CHANNELS_AT_ONCE)
    : null;
  if (!channels) channels = [...Array(Math.min(DEFAULT_CHANNELS, channelCount)).keys()];
  const type = RECORD_TYPES.includes(kept?.type) ? kept.type : 'all';
  return {day, channels, type};
}

// A download's key for StartBackup: the channel and the recording's start,
// so that the same clip is never queued twice.
export const backupKeyOf = (recording) =>
  `${channelName(recording.channel)}-${recording.start.replace(/\D/g, '')}`;

// The recorder's reason from an error answer ({"ok":false,"error":"..."}).
async function failureOf(response) {
  let reason = '';
  try { reason = (await response.json())?.error || ''; } catch { /* not JSON */ }
  return new Error(reason ? `HTTP ${response.status}: ${reason}` : `HTTP ${response.status}`);
}

async function getJson(url) {
  let response;
  try {
    response = await fetch(url, {cache: 'no-store'});
  } catch {
    // Named in the page's language: {text: key} is a page text argument.
    const unreachable = new Error('the recorder cannot be reached');
    unreachable.textKey = 'playbackUnreachable';
    throw unreachable;
  }
  if (!response.ok) throw await failureOf(response);
  return response.json();
}

// What went wrong, as an argument of a page text.
const reasonOf = (error) => (error.textKey ? {text: error.textKey} : error.message);

// A control method's refusal, with its code as the status line shows it.
class ControlRefusal extends Error {
  constructor(method, code) {
    super(`${method} ${formatCode(code)}`);
  }
}

// page: {state, $, run, status, text, setText, switchControlPage, keepSession}
export function createPlaybackSection(page) {
  const {state, $} = page;
  const calendar = $('playback-calendar');
  const grid = $('playback-days');
  const monthTitle = $('playback-month');
  const channelBox = $('playback-channels');
  const typeSelect = $('playback-type');
  const result = $('playback-result');
  const downloadBox = $('playback-download-box');
  const recordingSelect = $('playback-recording');

  let choices = null;      // {day, channels, type}: what the user chose (state.playback)
  let shownMonth = '';     // 'YYYY-MM' the calendar shows
  let focusDay = '';       // the day that takes the calendar's keyboard focus
  let marks = null;        // the recorder's days answer for shownMonth and the type, or null
  let markLoads = 0;
  let loads = 0;
  let visited = false;
  let shownChannels = -1;
  let controlQueue = Promise.resolve();  // one load's control calls at a time
  let recordings = [];     // the last day loaded: {channel, start, end, type, file, size}

  const channelCount = () => Math.max(1, Number(state.recorderChannels || state.channels) || 1);

  function keep() {
    state.playback = {...choices, channels: [...choices.channels]};
    page.keepSession();
  }

  function ensureChoices() {
    if (choices) return;
    choices = cleanChoices(state.playback, channelCount(), localToday());
    shownMonth = monthOf(choices.day);
    focusDay = choices.day;
  }

  // outcome: 'busy' | 'ok' | 'empty' | 'error'; the text follows the language.
  function setResult(outcome, key, ...args) {
    page.setText(result, key, ...args);
    if (outcome) result.dataset.outcome = outcome;
    else delete result.dataset.outcome;
    if (outcome && outcome !== 'busy') page.status(`Playback: ${result.textContent}`);
  }

  // ---- calendar ----

  const dateFormat = (options) => new Intl.DateTimeFormat(state.language, {timeZone: 'UTC', ...options});

  function renderCalendar() {
    const hadFocus = grid.contains(document.activeElement);
    const firstWeekday = firstWeekdayOf(state.language);
    const [year, month] = shownMonth.split('-').map(Number);
    monthTitle.textContent = dateFormat({year: 'numeric', month: 'long'}).format(utcOf(`${shownMonth}-01`));
    const marked = marks ? markedDays(marks, choices.channels) : null;
    calendar.dataset.marks = marks ? 'ok' : calendar.dataset.marks === 'error' ? 'error' : 'loading';

    const head = document.createElement('tr');
    const short = dateFormat({weekday: 'short'});
    const long = dateFormat({weekday: 'long'});
    for (let i = 0; i < 7; ++i) {
      // 2023-01-01 was a Sunday.
      const date = utcOf(dayText(2023, 1, 1 + ((firstWeekday + i) % 7)));
      const th = document.createElement('th');
      th.scope = 'col';
      th.abbr = long.format(date);
      th.textContent = short.format(date);
      head.append(th);
    }
    const body = document.createDocumentFragment();
    const today = localToday();
    const full = dateFormat({dateStyle: 'full'});
    if (monthOf(focusDay) !== shownMonth) focusDay = dayText(year, month, 1);
    for (const week of monthWeeks(shownMonth, firstWeekday)) {
      const row = document.createElement('tr');
      for (const number of week) {
        const cell = document.createElement('td');
        row.append(cell);
        if (!number) continue;
        const day = dayText(year, month, number);
        const button = document.createElement('button');
        button.type = 'button';
        button.className = 'day';
        button.dataset.day = day;
        button.textContent = String(number);
        button.tabIndex = day === focusDay ? 0 : -1;
        const has = marked?.has(number);
        if (marked) button.dataset.recordings = String(Boolean(has));
        const what = marked ? page.text(has ? 'dayRecordings' : 'dayNoRecordings') : '';
        button.setAttribute('aria-label', what ? page.text('dayName', full.format(utcOf(day)), what) : full.format(utcOf(day)));
        if (day === today) button.setAttribute('aria-current', 'date');
        const chosen = day === choices.day;
        button.setAttribute('aria-pressed', String(chosen));
        cell.setAttribute('aria-selected', String(chosen));
        cell.append(button);
      }
      body.append(row);
    }
    grid.tHead.replaceChildren(head);
    grid.tBodies[0].replaceChildren(body);
    if (hadFocus) focusedButton()?.focus();
  }

  const focusedButton = () => grid.querySelector(`button[data-day="${focusDay}"]`);

  async function loadMarks() {
    const load = ++markLoads;
    const month = shownMonth;
    const type = choices.type;
    marks = null;
    delete calendar.dataset.marks;
    try {
      const answer = await getJson(`/api/recordings/days?month=${month}&type=${type}`);
      if (load !== markLoads) return;
      marks = answer;
      renderCalendar();
    } catch (e) {
      if (load !== markLoads) return;
      calendar.dataset.marks = 'error';
      renderCalendar();
      setResult('error', 'playbackDaysFailed', reasonOf(e));
    }
  }

  // Shows the month of day (reading its marks when it is another month).
  function showMonthOf(day) {
    focusDay = day;
    if (monthOf(day) !== shownMonth) {
      shownMonth = monthOf(day);
      marks = null;
      renderCalendar();
      loadMarks();
    } else {
      renderCalendar();
    }
  }

  function moveFocus(day) {
    if (!isDayText(day)) return;
    showMonthOf(day);
    focusedButton()?.focus();
  }

  function chooseDay(day) {
    choices.day = day;
    keep();
    showMonthOf(day);
    focusedButton()?.focus();
    load();
  }

  grid.addEventListener('click', (e) => {
    const button = e.target.closest('button[data-day]');
    if (button) chooseDay(button.dataset.day);
  });
  // Whatever puts focus on a day (a click, a script, a screen reader) makes
  // it the calendar's one tab stop, so a later redraw keeps focus there.
  grid.addEventListener('focusin', (e) => {
    const button = e.target.closest('button[data-day]');
    if (!button || button.dataset.day === focusDay) return;
    focusedButton()?.setAttribute('tabindex', '-1');
    focusDay = button.dataset.day;
    button.tabIndex = 0;
  });
  grid.addEventListener('keydown', (e) => {
    const button = e.target.closest('button[data-day]');
    if (!button || e.altKey || e.ctrlKey || e.metaKey) return;
    const day = dayAfterKey(button.dataset.day, e.key, {shift: e.shiftKey, firstWeekday: firstWeekdayOf(state.language)});
    if (!day) return;
    e.preventDefault();
    moveFocus(day);
  });
  $('playback-prev-month').addEventListener('click', () => showMonthOf(addMonths(focusDay, -1)));
  $('playback-next-month').addEventListener('click', () => showMonthOf(addMonths(focusDay, 1)));

  // ---- channels and type ----

  function fillChannels() {
    const count = channelCount();
    if (shownChannels === count) return;
    channelBox.replaceChildren();
    for (let channel = 0; channel < count; ++channel) {
      const label = document.createElement('label');
      label.className = 'check';
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.value = String(channel);
      box.checked = choices.channels.includes(channel);
      if (channel >= CONTROL_CHANNELS) {
        // The control's mask reaches CH16: later channels stay listed (the
        // recorder has them) but cannot be chosen.
        label.classList.add('beyond');
        label.title = page.text('playbackBeyondControl', channelName(CONTROL_CHANNELS - 1));
      }
      const name = document.createElement('span');
      name.textContent = channelName(channel);
      label.append(box, name);
      channelBox.append(label);
    }
    shownChannels = count;
  }

  function showChannelTicks() {
    for (const box of channelBox.querySelectorAll('input'))
      box.checked = choices.channels.includes(Number(box.value));
  }

  channelBox.addEventListener('change', (e) => {
    const box = e.target;
    if (box.type !== 'checkbox') return;
    const channel = Number(box.value);
    const {channels, refused} = tickChannel(choices.channels, channel, box.checked);
    if (refused === 'tooMany') setResult('error', 'playbackTooManyChannels', MAX_CHANNELS_AT_ONCE, channelName(channel));
    else if (refused === 'beyondControl') setResult('error', 'playbackBeyondControl', channelName(CONTROL_CHANNELS - 1));
    choices.channels = channels;
    showChannelTicks();
    keep();
    renderCalendar();
  });

  typeSelect.addEventListener('change', () => {
    choices.type = RECORD_TYPES.includes(typeSelect.value) ? typeSelect.value : 'all';
    keep();
    loadMarks();
  });

  $('playback-show').addEventListener('click', () => load());

  // ---- loading a day into the control ----

  async function searchDay(day, channels, type) {
    const lists = await Promise.all(channels.map((channel) =>
      getJson(`/api/recordings?date=${day}&channel=${channel}&type=${type}`)));
    return lists.flatMap((answer, i) => (Array.isArray(answer.spans) ? answer.spans : [])
      .map((span) => ({...span, channel: channels[i]})));
  }

  async function expectZero(method, ...args) {
    const code = await page.run(method, ...args);
    if (code === undefined) {
      const failed = new Error(`${method} failed`);
      failed.textKey = 'playbackNoAnswer';
      throw failed;
    }
    if (code !== 0) throw new ControlRefusal(method, code);
  }

  // The control hears one day's channels, type and recordings, then shows
  // its playback page.
  async function hand(day, channels, type, found) {
    await page.run('SetPlayBackChannels', channelMask(channels));
    await expectZero('AllowPlaybackRecordTypeToPlay', state.devId, allowCodeOf(type));
    await expectZero('SetPlaybackDate', state.devId, day);
    // Sent together (the host answers them in order), reported in one line.
    const codes = await Promise.all(found.map((recording) =>
      state.ctrl.call('SetRecordPeriod', state.devId, recording.start, recording.end, recording.channel,
        periodTypeOf(recording), 0)));
    const refused = codes.find((code) => code !== 0);
    page.status(`SetRecordPeriod x${codes.length} ${refused === undefined ? '0' : formatCode(refused)}`);
    await expectZero('CompleteSetRecordPeriod', state.devId);
    await page.switchControlPage(PLAYBACK_PAGE);
    if (refused !== undefined) throw new ControlRefusal('SetRecordPeriod', refused);
  }

  async function load() {
    const load = ++loads;
    const {day, channels, type} = choices;
    if (!channels.length) {
      setResult('error', 'playbackNoChannel');
      return;
    }
    if (!state.devId) return;
    setResult('busy', 'playbackLoading', day);
    let found;
    try {
      found = await searchDay(day, channels, type);
    } catch (e) {
      if (load === loads) setResult('error', 'playbackSearchFailed', reasonOf(e));
      return;
    }
    const names = channels.map(channelName).join(page.text('listSeparator'));
    controlQueue = controlQueue.then(async () => {
      // A newer load hands its own day; this one no longer applies.
      if (load !== loads) return;
      try {
        await hand(day, channels, type, found);
      } catch (e) {
        if (load === loads) setResult('error', 'playbackControlFailed', reasonOf(e));
        return;
      }
      if (load !== loads) return;
      recordings = found;
      fillDownloadChoice();
      result.dataset.count = String(found.length);
      if (!found.length) setResult('empty', 'playbackNoRecordings', day, names);
      else setResult('ok', found.length === 1 ? 'playbackFoundOne' : 'playbackFound', found.length, day, names);
    });
    await controlQueue;
  }

  // ---- downloading a recording of the day ----

  // The recordings of the day loaded, by channel and start, to choose one to download.
  function fillDownloadChoice() {
    const ordered = recordings.map((recording, index) => ({recording, index}))
      .sort((a, b) => a.recording.channel - b.recording.channel || a.recording.start.localeCompare(b.recording.start));
    const chosen = recordingSelect.value;
    recordingSelect.replaceChildren(...ordered.map(({recording, index}) => {
      const end = recording.end.slice(0, 10) === recording.start.slice(0, 10) ? recording.end.slice(11) : recording.end;
      const kind = recording.type === 'alarm' ? ` (${page.text('typeAlarm')})` : '';
      return new Option(`${channelName(recording.channel)} ${recording.start.slice(11)} – ${end}${kind}`, String(index));
    }));
    if (recordings[Number(chosen)]) recordingSelect.value = chosen;
    downloadBox.hidden = recordings.length === 0;
  }

  $('playback-download').addEventListener('click', async () => {
    const recording = recordings[Number(recordingSelect.value)];
    if (!recording) return;
    if (await downloadClip(recording) === 8) {
      const end = recording.end.slice(0, 10) === recording.start.slice(0, 10) ? recording.end.slice(11) : recording.end;
      page.notice({key: 'playbackDownloadQueued', args: [`${channelName(recording.channel)} ${recording.start} – ${end}`],
        kind: 'ok'});
    }
  });

  // Downloads one of the recordings last loaded (an entry of recordings())
  // whole: it joins the Downloads tab's list, which queues it with the
  // control (StartBackup) and follows its progress. Resolves to
  // StartBackup's code (8 queued), undefined when it was not asked.
  async function downloadClip(recording) {
    return page.queueDownloads([{channel: recording.channel, file: recording.file, start: recording.start,
      end: recording.end}]);
  }

  return {
    controlPage: PLAYBACK_PAGE,
    // The first visit loads the chosen day; later visits keep what the
    // control shows.
    async show() {
      ensureChoices();
      fillChannels();
      showChannelTicks();
      typeSelect.value = choices.type;
      keep();
      renderCalendar();
      loadMarks();
      if (visited) return;
      visited = true;
      await load();
    },
    // Leaving the section stops what the control plays.
    async leave() {
      await page.run('StopPlayback', state.devId);
    },
    // A new log-in or a reload: choices come again from state.playback.
    reset() {
      choices = null;
      visited = false;
      recordings = [];
      fillDownloadChoice();
      ++loads;
      ++markLoads;
      shownChannels = -1;
      setResult('', '');
      delete result.dataset.count;
    },
    // The language changed: dates and weekday names are written anew.
    refreshTexts() {
      if (!choices) return;
      renderCalendar();
      fillDownloadChoice();
      for (const label of channelBox.querySelectorAll('label.beyond'))
        label.title = page.text('playbackBeyondControl', channelName(CONTROL_CHANNELS - 1));
    },
    recordings: () => recordings.map((recording) => ({...recording})),
    downloadClip,
  };
}
