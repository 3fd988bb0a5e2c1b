// SPDX-License-Identifier: GPL-3.0-or-later
// Which stream live windows open with. With the option "sub stream in grids,
// main stream alone" on (the default, remembered in the browser), a grid of
// 4, 9 or 16 windows takes the recorder's sub stream, lighter to decode and
// send, and a single window the main stream; off, the stream chosen. When a
// channel of the grid has no sub stream (a camera given none, or one
// switched off), grids take the main stream too: the windows open with one
// stream type, and a refused one would leave that window empty.

export const STREAM_MAIN = 0;
export const STREAM_SUB = 1;
const STORAGE_KEY = 'velk.streamAuto';

export function streamForLayout(windowCount, auto, chosen, everyChannelHasSub = true) {
  if (!auto) return chosen;
  return windowCount <= 1 || !everyChannelHasSub ? STREAM_MAIN : STREAM_SUB;
}

// The option as remembered: on unless turned off.
export function loadStreamAuto(storage) {
  try {
    return storage?.getItem(STORAGE_KEY) !== '0';
  } catch {
    return true;  // storage refused (private mode): the default
  }
}

export function saveStreamAuto(storage, on) {
  try {
    storage?.setItem(STORAGE_KEY, on ? '1' : '0');
  } catch {
    // Not remembered; the page still follows the checkbox.
  }
}
