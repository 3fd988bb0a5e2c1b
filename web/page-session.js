// SPDX-License-Identifier: GPL-3.0-or-later
// What the page keeps of its log-in across a reload: the control itself
// stays logged in in the host (the page's resume id brings it back), but
// the page must know again which session, layout, section and live channels
// it had, the day, channels and record type chosen for playback, and the
// downloads list. Kept
// in sessionStorage, so a reload of this tab finds it and another tab does
// not; the password is never kept.
const KEY = 'velk-page';

// The fields of the page's state that a reload restores.
// playback: the playback section's day, channels and record type;
// downloads: the downloads list (the control goes on downloading over a
// reload, and its later events update the rows) and the channel and day chosen.
const KEPT = ['devId', 'address', 'port', 'webPort', 'channels', 'section', 'layout', 'controlPage', 'liveOpen',
  'liveOpened', 'openMask', 'recordMask', 'language', 'sound', 'recordingSince', 'playback', 'downloads'];

export function savePageSession(storage, state) {
  if (!storage) return;
  const kept = {};
  for (const name of KEPT) if (state[name] !== undefined) kept[name] = state[name];
  try {
    storage.setItem(KEY, JSON.stringify(kept));
  } catch {
    // Storage full or forbidden: a reload shows the log-in form.
  }
}

// The kept state, or null when there is none or it is not one this page
// wrote (a session needs a device id).
export function loadPageSession(storage) {
  if (!storage) return null;
  try {
    const kept = JSON.parse(storage.getItem(KEY) || 'null');
    if (!kept || typeof kept !== 'object' || !(Number.isInteger(kept.devId) && kept.devId > 0)) return null;
    const known = {};
    for (const name of KEPT) if (kept[name] !== undefined) known[name] = kept[name];
    return known;
  } catch {
    return null;
  }
}

export function clearPageSession(storage) {
  try {
    storage?.removeItem(KEY);
  } catch {
    // Nothing kept then.
  }
}
