// SPDX-License-Identifier: GPL-3.0-or-later
// The live section's channel list: CH01…CHnn with marks for the channels
// open (ReTurnPreviewAllChannelState type 0), recording (type 1) and the
// recorder lost (type 2: the event names no channel, so every entry shows
// it). An entry shows its channel in the picture: the control offers no
// method that opens one channel into a chosen window (StartView does
// nothing), so the page opens the channels that are closed (StartViewAll
// leaves open ones alone), pages the grid to the channel's window and
// selects that window with a click in its middle, as the user would.
import {iconElement} from './icons.js';

const markKinds = [
  ['open', 'playing', 'channelOpen'],
  ['recording', 'recordingDot', 'channelRecording'],
  ['offline', 'offline', 'channelOffline'],
];

const SQUARE_LAYOUTS = [1, 4, 9, 16];

export const channelName = (channel) => `CH${String(channel + 1).padStart(2, '0')}`;

// Where the grid of count windows (1, 4, 9, 16: n x n) has slot j, in
// control pixels: the middle of its cell.
export function slotCentre(count, slot, width, height) {
  const n = Math.max(1, Math.round(Math.sqrt(count)));
  return {
    x: Math.floor(((slot % n) + 0.5) * width / n),
    y: Math.floor((Math.floor(slot / n) + 0.5) * height / n),
  };
}

// The first position the grid shows after a change of layout and `pages`
// presses of next page: the last page is always full.
export function firstPosition(count, total, channel) {
  if (count >= total) return 0;
  return Math.min(Math.floor(channel / count) * count, total - count);
}

// page: {state, $, run, status, text, openAll, showLayout}
export function createChannelList(page) {
  const {state, $} = page;
  const list = $('channel-entries');

  function entries() { return [...list.querySelectorAll('[data-channel]')]; }

  function build(count) {
    list.replaceChildren();
    for (let channel = 0; channel < count; ++channel) {
      const item = document.createElement('li');
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'channel';
      button.dataset.channel = String(channel);
      const icon = document.createElement('span');
      icon.className = 'icon';
      icon.append(iconElement('channel'));
      const name = document.createElement('span');
      name.className = 'channel-name';
      name.textContent = channelName(channel);
      const marks = document.createElement('span');
      marks.className = 'marks';
      for (const [kind, iconName] of markKinds) {
        const mark = document.createElement('span');
        mark.className = `mark mark-${kind}`;
        mark.dataset.mark = kind;
        mark.hidden = true;
        mark.append(iconElement(iconName));
        marks.append(mark);
      }
      button.append(icon, name, marks);
      button.addEventListener('click', () => showChannel(channel).catch((e) => page.status(e.message)));
      item.append(button);
      list.append(item);
    }
    refresh();
  }

  // Marks and names from the page's state, in the page's language.
  function refresh() {
    for (const button of entries()) {
      const channel = Number(button.dataset.channel);
      const flags = {
        open: ((state.openMask >>> channel) & 1) === 1,
        recording: ((state.recordMask >>> channel) & 1) === 1,
        offline: state.recorderLost,
      };
      const said = [];
      for (const [kind, , key] of markKinds) {
        const mark = button.querySelector(`[data-mark="${kind}"]`);
        mark.hidden = !flags[kind];
        mark.title = page.text(key);
        if (flags[kind]) said.push(page.text(key));
      }
      if (!flags.open) said.unshift(page.text('channelClosed'));
      button.dataset.open = String(flags.open);
      button.dataset.active = String(state.activeWindow === channel);
      button.setAttribute('aria-label', page.text('channelName', channelName(channel), said.join(page.text('listSeparator'))));
      button.title = page.text('channelShow', channelName(channel));
    }
  }

  async function showChannel(channel) {
    if (!state.devId || !state.ctrl) return;
    const {run} = page;
    if (((state.openMask >>> channel) & 1) === 0) await page.openAll();
    // Square grids only: the page knows where their windows are (a channel
    // count of 6, 8 or 13 lays out a grid of unequal windows: 16 instead).
    const count = SQUARE_LAYOUTS.includes(state.layout) ? state.layout : 16;
    if (count !== state.layout) page.showLayout(count);
    const total = state.channels;
    // A change of layout starts the grid at its first page (and ends the
    // control's single view); then page on to the channel's window.
    if (count < total) await run('ShowChannels', count === 1 ? 4 : 1);
    await run('ShowChannels', count);
    const first = firstPosition(count, total, channel);
    for (let position = 0; position < first; position += count) await run('NextGroupVideos');
    const {width, height} = state.ctrl.controlSize;
    if (!width || !height) return;
    const at = slotCentre(count, channel - first, width, height);
    for (const type of ['press', 'release']) state.ctrl.notify('$input', {type, ...at, button: 'left', modifiers: []});
    // The control reports a click only on a window not selected yet (paging
    // selects the first window of the page): the page knows which it chose.
    state.activeWindow = channel;
    refresh();
  }

  return {build, refresh, showChannel};
}
