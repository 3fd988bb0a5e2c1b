// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule section: loads one channel's weekly recording schedule from
// the recorder (GET /api/schedule?channel=N) into the control's schedule
// page, where the user paints it with the mouse in the picture or edits a
// day in the control's day dialog, and saves the control's text back
// (PUT /api/schedule?channel=N). The toolbar offers the channel, the mode
// (0: alarm recording only, 1: normal and alarm) and the brushes.

import {fillChannelSelect, httpReason} from './section-helpers.js';

export const SCHEDULE_PAGE = 2;  // the control's page for SwitchPage

const MODE_ALARM_ONLY = 0;
const MODE_TYPED = 1;
const BRUSH_NORMAL = 1;
const BRUSH_ALARM = 2;

// The mode a schedule text was written in: 1 when a period carries a type
// ("T"), 0 when periods carry none, null when it has no periods (or is not
// a schedule). Loading a typed text in mode 0 would turn its normal periods
// into alarm periods when saved again.
export function modeOfScheduleText(text) {
  let days;
  try { days = JSON.parse(text); } catch { return null; }
  if (!Array.isArray(days)) return null;
  for (const day of days) {
    if (!Array.isArray(day)) continue;
    for (const period of day)
      if (period && typeof period === 'object') return 'T' in period ? MODE_TYPED : MODE_ALARM_ONLY;
  }
  return null;
}

const SET_SCHEDULE_RESULTS = {
  1: 'the device id is not known', 2: 'the control refused the schedule text',
};

// page: {state, $, run, status, text, switchControlPage}
export function createScheduleSection(page) {
  const {state, $} = page;
  const channelSelect = $('schedule-channel');
  const modeSelect = $('schedule-mode');
  const result = $('schedule-result');
  let loads = 0;
  let loaded = null;  // {channel, text}: what the recorder holds, as last loaded or saved
  let visited = false;

  function setResult(outcome, message) {
    result.textContent = message;
    result.dataset.outcome = outcome;  // 'busy' | 'ok' | 'error'
    if (outcome !== 'busy') page.status(`Schedule: ${message}`);
  }

  function showBrush(brush) {
    for (const button of document.querySelectorAll('#schedule-brushes [data-brush]'))
      button.setAttribute('aria-pressed', String(Number(button.dataset.brush) === brush));
  }

  function showMode(mode) {
    modeSelect.value = String(mode);
    const normal = document.querySelector('#schedule-brushes [data-brush="1"]');
    normal.hidden = mode !== MODE_TYPED;
  }

  // The control's text differs from what the recorder holds.
  async function hasUnsavedChanges() {
    if (!loaded) return false;
    const text = await state.ctrl.GetRecSchedule(state.devId, Number(modeSelect.value), loaded.channel);
    return text !== '' && text !== loaded.text;
  }

  async function load() {
    const load = ++loads;
    const channel = Number(channelSelect.value);
    setResult('busy', page.text('scheduleLoading', channel + 1));
    let text;
    try {
      const response = await fetch(`/api/schedule?channel=${channel}`, {cache: 'no-store'});
      text = await response.text();
      if (!response.ok) throw new Error(httpReason(response, text));
      // Only the newest load fills the control.
      if (load !== loads) return;
      const mode = modeOfScheduleText(text) ?? Number(modeSelect.value);
      showMode(mode);
      await page.switchControlPage(SCHEDULE_PAGE);
      const code = await state.ctrl.SetRecSchedule(state.devId, mode, channel, text);
      if (code !== 0) throw new Error(`SetRecSchedule ${code} (${SET_SCHEDULE_RESULTS[code] || 'failed'})`);
      if (load !== loads) return;
      // The control selects the brush of the schedule's recording type.
      showBrush(mode === MODE_TYPED ? BRUSH_NORMAL : BRUSH_ALARM);
      // Compared against later to tell unsaved changes: the control's own
      // writing of the text, which may differ in form from the recorder's.
      loaded = {channel, text: await state.ctrl.GetRecSchedule(state.devId, mode, channel)};
      setResult('ok', page.text('scheduleLoaded', channel + 1));
    } catch (e) {
      if (load === loads) setResult('error', page.text('scheduleLoadFailed', e.message));
    }
  }

  async function save() {
    // Saved to the channel it was loaded from, whatever the selector shows.
    if (!loaded) {
      setResult('error', page.text('scheduleNothingLoaded'));
      return;
    }
    const {channel} = loaded;
    setResult('busy', page.text('scheduleSaving', channel + 1));
    try {
      const text = await state.ctrl.GetRecSchedule(state.devId, Number(modeSelect.value), channel);
      if (!text) throw new Error(page.text('scheduleNoText'));
      const response = await fetch(`/api/schedule?channel=${channel}`, {
        method: 'PUT', headers: {'content-type': 'application/json'}, body: text, cache: 'no-store'});
      if (!response.ok) throw new Error(httpReason(response, await response.text()));
      loaded = {channel, text};
      setResult('ok', page.text('scheduleSaved', channel + 1));
    } catch (e) {
      setResult('error', page.text('scheduleSaveFailed', e.message));
    }
  }

  async function changeChannel() {
    const wanted = channelSelect.value;
    if (loaded && String(loaded.channel) !== wanted && await hasUnsavedChanges() &&
        !window.confirm(page.text('scheduleDiscard', loaded.channel + 1))) {
      channelSelect.value = String(loaded.channel);
      return;
    }
    await load();
  }

  async function changeMode() {
    const mode = Number(modeSelect.value);
    showMode(mode);
    await page.run('SetScheduleMode', state.devId, mode);
  }

  async function selectBrush(brush) {
    if (await page.run('SelectSchedelBtnType', state.devId, brush) === 0) showBrush(brush);
  }

  channelSelect.addEventListener('change', () => changeChannel());
  modeSelect.addEventListener('change', () => changeMode());
  for (const button of document.querySelectorAll('#schedule-brushes [data-brush]'))
    button.addEventListener('click', () => selectBrush(Number(button.dataset.brush)));
  $('schedule-load').addEventListener('click', () => load());
  $('schedule-save').addEventListener('click', () => save());

  return {
    controlPage: SCHEDULE_PAGE,
    // The first visit loads the selected channel; later visits keep what
    // the control shows, edits included.
    async show() {
      fillChannelSelect(channelSelect, state.channels);
      if (visited) return;
      visited = true;
      await load();
    },
    // A new log-in: the control's schedule page no longer holds our text.
    reset() {
      loaded = null;
      visited = false;
      ++loads;  // a load still under way no longer applies
      result.textContent = '';
      delete result.dataset.outcome;
    },
  };
}
