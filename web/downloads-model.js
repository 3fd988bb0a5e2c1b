// SPDX-License-Identifier: GPL-3.0-or-later
// The downloads list without a page: the keys clips are queued under, the
// clips a time range gives, where the control saves a clip, how an
// UploadBackupProcess event changes a row, and sizes and speeds as the list
// shows them. The section (downloads-section.js) draws rows from these.

// StartBackup's answers.
export const QUEUED = 8;
export const ALREADY_QUEUED = 4;

// UploadBackupProcess' ulFlag.
export const FLAG = {progress: 0, done: 1, unreachable: 2, stopped: 3, failed: 4, waiting: 5};

// A row's states; the last three are final.
export const FINAL_STATES = ['done', 'stopped', 'failed'];
export const isFinal = (row) => FINAL_STATES.includes(row.state);

const pad = (n, width = 2) => String(n).padStart(width, '0');

// The control runs queued clips in the order of their keys as texts: a
// zero-padded counter keeps the user's order, and the page session's tag
// keeps keys of two tabs (or of a page before and after a log-in) apart.
export const KEY_DIGITS = 6;
export const keyOf = (counter, tag) => `${pad(counter, KEY_DIGITS)}-${tag}`;
export function newSessionTag(random = Math.random) {
  let tag = '';
  for (let i = 0; i < 8; ++i) tag += Math.floor(random() * 36).toString(36);
  return tag;
}

// Times are the recorder's local texts 'YYYY-MM-DD hh:mm:ss'; the arithmetic
// runs in UTC so that no clock change of the browser moves them.
const TIME_TEXT = /^(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})$/;
export function secondsOf(text) {
  const parts = TIME_TEXT.exec(text);
  if (!parts) return NaN;
  const [, y, mo, d, h, mi, s] = parts.map(Number);
  return Date.UTC(y, mo - 1, d, h, mi, s) / 1000;
}
export function timeTextOf(seconds) {
  const date = new Date(seconds * 1000);
  return `${pad(date.getUTCFullYear(), 4)}-${pad(date.getUTCMonth() + 1)}-${pad(date.getUTCDate())} ` +
    `${pad(date.getUTCHours())}:${pad(date.getUTCMinutes())}:${pad(date.getUTCSeconds())}`;
}

// A time of day from a time field ('hh:mm' or 'hh:mm:ss') in seconds, or NaN.
export function secondsOfDay(text) {
  const parts = /^(\d{2}):(\d{2})(?::(\d{2}))?$/.exec(text || '');
  if (!parts) return NaN;
  const [h, m, s] = [Number(parts[1]), Number(parts[2]), Number(parts[3] || 0)];
  return h < 24 && m < 60 && s < 60 ? h * 3600 + m * 60 + s : NaN;
}

// The clips of a time range from..to ('hh:mm[:ss]') of day: one per
// recording of the channel that overlaps it, each cut to the range.
// {clips: [{channel, file, start, end}]} or {problem: 'rangeInvalid' |
// 'rangeEmpty' | 'rangeNoRecordings'}.
export function clipsOfRange(spans, day, from, to, channel) {
  const dayStart = secondsOf(`${day} 00:00:00`);
  const fromOfDay = secondsOfDay(from);
  const toOfDay = secondsOfDay(to);
  if (Number.isNaN(dayStart) || Number.isNaN(fromOfDay) || Number.isNaN(toOfDay)) return {problem: 'rangeInvalid'};
  if (toOfDay <= fromOfDay) return {problem: 'rangeEmpty'};
  const rangeStart = dayStart + fromOfDay;
  const rangeEnd = dayStart + toOfDay;
  const clips = [];
  for (const span of spans) {
    const start = Math.max(secondsOf(span.start), rangeStart);
    const end = Math.min(secondsOf(span.end), rangeEnd);
    if (!(end > start)) continue;
    clips.push({channel, file: span.file, start: timeTextOf(start), end: timeTextOf(end)});
  }
  return clips.length ? {clips} : {problem: 'rangeNoRecordings'};
}

// Two clips that would write the same file.
export const sameClip = (a, b) => a.channel === b.channel && a.file === b.file && a.start === b.start && a.end === b.end;

// A text as a part of a file name, as the control makes it: every ASCII
// character but letters, digits, '.', '_' and '-' becomes '_' (control
// characters and C1 controls too); other characters stay; a name of dots
// only becomes '_'.
export function safeNamePart(text) {
  let out = '';
  for (const ch of String(text)) {
    const code = ch.codePointAt(0);
    if (code < 0x80) out += /[A-Za-z0-9._-]/.test(ch) ? ch : '_';
    else out += code <= 0x9f ? '_' : ch;
  }
  return /^\.*$/.test(out) ? '_' : out;
}

// A folder setting in local form ('/'-separated, ending in '/'), or '' when
// the control cannot use it here (relative, a drive letter, a network
// share, a '..' step).
export function localFolderOf(setting) {
  const text = String(setting || '').trim().replaceAll('\\', '/');
  if (!text.startsWith('/') || text.startsWith('//')) return '';
  const parts = text.split('/').filter((part) => part !== '' && part !== '.');
  if (parts.includes('..')) return '';
  return `/${parts.map((part) => `${part}/`).join('')}`;
}

const digitsOf = (time) => time.replace(/\D/g, '');
export const channelText = (channel) => `CH${pad(channel + 1)}`;

// The local file the control saves a clip to:
// <folder><address>[_<web port>]/BACKUP/CHnn/CHnn_<start>-<end hhmmss>_<file>.264;
// '' when the folder cannot be used.
export function backupPathOf({folder, address, webPort, channel, start, end, file}) {
  const base = localFolderOf(folder);
  if (!base) return '';
  const device = safeNamePart(address).replace(/[/\\]/g, '_') + (Number(webPort) === 80 ? '' : `_${webPort}`);
  const ch = channelText(channel);
  return `${base}${device}/BACKUP/${ch}/${ch}_${digitsOf(start)}-${digitsOf(end).slice(8)}_${safeNamePart(file)}.264`;
}

// A new row for a clip just queued.
export const newRow = (clip, key, path) =>
  ({key, channel: clip.channel, file: clip.file, start: clip.start, end: clip.end, path, state: 'queued',
    total: 0, cur: 0, percent: '0.00', reason: ''});

// The row after one UploadBackupProcess event ({ulFlag, TotalLen, CurLen,
// percent}). The first final state stays: the control fires flag 3 right
// after 1, 2 and 4 as it removes the ended clip, and progress posted before
// a stop may arrive after it. Only a finished file (flag 1) overrides a
// stop the page itself marked (its StopBackup may cross the clip's end).
export function rowAfterEvent(row, {ulFlag, TotalLen, CurLen, percent}) {
  const flag = Number(ulFlag);
  const sizes = {total: Number(TotalLen) || 0, cur: Number(CurLen) || 0, percent: String(percent ?? '0.00')};
  if (flag === FLAG.done && (!isFinal(row) || row.stoppedHere))
    return {...row, ...sizes, state: 'done', reason: '', stoppedHere: false};
  if (isFinal(row)) return row;
  switch (flag) {
    case FLAG.progress: return {...row, ...sizes, state: 'running'};
    case FLAG.waiting: return {...row, state: 'waiting'};
    case FLAG.unreachable: return {...row, ...sizes, state: 'failed', reason: 'downloadUnreachable'};
    case FLAG.failed: return {...row, ...sizes, state: 'failed', reason: 'downloadNotDelivered'};
    case FLAG.stopped: return {...row, state: 'stopped'};
    default: return row;
  }
}

// Sizes as the list shows them: KB below a megabyte, MB above.
export function sizeText(bytes) {
  const value = Math.max(0, Number(bytes) || 0);
  if (value < 1024 * 1024) return `${Math.round(value / 1024)} KB`;
  const mb = value / (1024 * 1024);
  return `${mb < 100 ? mb.toFixed(1) : Math.round(mb)} MB`;
}

// Bytes a second over the samples [{at ms, cur bytes}] of the last window
// ms, or null before two samples apart in time.
export function speedOf(samples, windowMs = 3000) {
  if (samples.length < 2) return null;
  const last = samples[samples.length - 1];
  const first = samples.find((sample) => last.at - sample.at <= windowMs) || samples[0];
  if (last.at <= first.at) return null;
  return Math.max(0, (last.cur - first.cur) * 1000 / (last.at - first.at));
}

// What a reload restores of the list, cleaned: {counter, tag, rows, channel,
// day} (the channel and day chosen last).
export function cleanDownloads(kept) {
  const counter = Number.isInteger(kept?.counter) && kept.counter >= 0 ? kept.counter : 0;
  const tag = typeof kept?.tag === 'string' && /^[0-9a-z]{1,16}$/.test(kept.tag) ? kept.tag : newSessionTag();
  const rows = Array.isArray(kept?.rows)
    ? kept.rows.filter((row) => row && typeof row.key === 'string' && Number.isInteger(row.channel) &&
      typeof row.start === 'string' && typeof row.end === 'string' &&
      ['queued', 'waiting', 'running', ...FINAL_STATES].includes(row.state))
    : [];
  const channel = Number.isInteger(kept?.channel) && kept.channel >= 0 ? kept.channel : 0;
  const day = typeof kept?.day === 'string' ? kept.day : '';
  return {counter, tag, rows, channel, day};
}
