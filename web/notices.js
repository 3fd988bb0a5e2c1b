// SPDX-License-Identifier: GPL-3.0-or-later
// Short notices for the user (logged in, snapshot saved, recording started,
// a call that failed): a stack in the page's corner, each one role=status so
// that screen readers say it, gone after a few seconds. A click on its
// close mark or picture, or Escape (outside the picture, whose keys are the
// control's) for the newest one, dismisses it; a notice holding the focus
// (its link) or with the mouse over its picture stays.
import {iconElement} from './icons.js';

const SHOWN_MS = 6000;
const MAX_SHOWN = 4;

// container: the element that holds the notices; setText(element, key, ...args)
// writes a page text that follows the language, text(key) gives one;
// isPicture(element): the element's keys go to the control.
export function createNotices(container, {setText, text, isPicture}) {
  const timers = new Map();  // notice -> its dismissal timer

  function dismiss(notice) {
    clearTimeout(timers.get(notice));
    timers.delete(notice);
    notice.dispatchEvent(new Event('dismiss'));
    notice.remove();
  }

  function arm(notice, ms) {
    clearTimeout(timers.get(notice));
    timers.set(notice, setTimeout(() => {
      if (notice.matches(':hover, :focus-within')) arm(notice, 1000);
      else dismiss(notice);
    }, ms));
  }

  // Shows a notice: {key, args, kind: 'info' | 'ok' | 'error' | 'recording',
  // ms, fill(body)} where fill adds more to its body (a picture, a link).
  function show({key, args = [], kind = 'info', ms = SHOWN_MS, fill}) {
    const notice = document.createElement('div');
    notice.className = 'notice';
    notice.setAttribute('role', 'status');
    notice.dataset.kind = kind;
    notice.dataset.title = 'dismissNotice';
    const body = document.createElement('div');
    body.className = 'notice-body';
    const line = document.createElement('span');
    line.className = 'notice-text';
    setText(line, key, ...args);
    body.append(line);
    fill?.(body);
    const close = document.createElement('span');
    close.className = 'notice-close';
    close.append(iconElement('close'));
    notice.append(body, close);
    notice.title = text('dismissNotice');  // data-title: rewritten on a language switch
    // The notice lets the mouse through to what is under it; its close mark
    // and its picture take a click (the link does what links do).
    notice.addEventListener('click', (e) => { if (!e.target.closest('a')) dismiss(notice); });
    container.append(notice);
    while (container.childElementCount > MAX_SHOWN) dismiss(container.firstElementChild);
    arm(notice, ms);
    return notice;
  }

  document.addEventListener('keydown', (e) => {
    if (e.key !== 'Escape' || e.defaultPrevented || isPicture(e.target) || !container.lastElementChild) return;
    if (document.fullscreenElement) return;  // Escape leaves full screen first
    dismiss(container.lastElementChild);
  });

  return {show, dismiss, clear: () => [...container.children].forEach(dismiss)};
}
