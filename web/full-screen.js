// SPDX-License-Identifier: GPL-3.0-or-later
// The picture in full screen: the browser's Fullscreen API on the picture's
// element; while it is full screen the control is drawn at the screen's
// size (the host's $resize range bounds it), and leaving (the button again,
// or Escape, which the browser handles) gives the control its size back.

export const SIZE_RANGE = {minWidth: 64, maxWidth: 3840, minHeight: 64, maxHeight: 2160};

const clamp = (value, low, high) => Math.max(low, Math.min(high, Math.round(value)));

// The screen's size in CSS pixels, within the host's range.
export function screenSize(screen) {
  return {
    width: clamp(screen.width, SIZE_RANGE.minWidth, SIZE_RANGE.maxWidth),
    height: clamp(screen.height, SIZE_RANGE.minHeight, SIZE_RANGE.maxHeight),
  };
}

// view: the element made full screen; button: toggles it; resize(size):
// gives the control a size; currentSize(): the control's size now;
// status(text): the event log.
export function wireFullScreen({view, button, resize, currentSize, status}) {
  let sizeBefore = null;
  const isOn = () => document.fullscreenElement === view;

  button.addEventListener('click', async () => {
    try {
      if (document.fullscreenElement) await document.exitFullscreen();
      else await view.requestFullscreen({navigationUI: 'hide'});
    } catch (e) {
      status(`full screen: ${e.message}`);
    }
  });

  document.addEventListener('fullscreenchange', () => {
    if (isOn()) {
      sizeBefore = currentSize();
      resize(screenSize(window.screen));
    } else if (sizeBefore) {
      const size = sizeBefore;
      sizeBefore = null;
      resize(size);
    }
  });

  return {isOn};
}
