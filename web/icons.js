// SPDX-License-Identifier: GPL-3.0-or-later
// The page's icons, drawn here as small inline SVGs (24 x 24, stroked in
// the text's colour) so that nothing is fetched: an element with
// data-icon="NAME" gets the icon NAME as its content. Icons are decoration:
// the button around one carries the name (its label, or aria-label).

const SVG_NS = 'http://www.w3.org/2000/svg';

// Each icon: [shapes], a shape being [tag, attributes]; stroked unless it says fill.
const rect = (x, y, w, h, extra = {}) => ['rect', {x, y, width: w, height: h, rx: 1, ...extra}];
const grid = (n) => {
  const cell = 18 / n;
  const shapes = [];
  for (let row = 0; row < n; ++row)
    for (let col = 0; col < n; ++col) shapes.push(rect(3 + col * cell + 0.6, 3 + row * cell + 0.6, cell - 1.2, cell - 1.2));
  return shapes;
};

export const ICONS = {
  layout1: grid(1),
  layout4: grid(2),
  layout9: grid(3),
  layout16: grid(4),
  previous: [['path', {d: 'M15 5l-7 7 7 7'}]],
  next: [['path', {d: 'M9 5l7 7-7 7'}]],
  fullScreen: [['path', {d: 'M4 9V4h5M15 4h5v5M20 15v5h-5M9 20H4v-5'}]],
  sound: [['path', {d: 'M4 9h4l5-4v14l-5-4H4z'}], ['path', {d: 'M16.5 8.5a5 5 0 0 1 0 7M19 6a8.5 8.5 0 0 1 0 12'}]],
  openAll: [rect(3, 4, 18, 14), ['path', {d: 'M10 8.5v6l5-3z', fill: 'currentColor'}], ['path', {d: 'M8 21h8'}]],
  closeAll: [rect(3, 4, 18, 14), rect(9.5, 8.5, 5, 5, {fill: 'currentColor'}), ['path', {d: 'M8 21h8'}]],
  record: [['circle', {cx: 12, cy: 12, r: 8}], ['circle', {cx: 12, cy: 12, r: 4, fill: 'currentColor'}]],
  stop: [rect(6, 6, 12, 12, {fill: 'currentColor'})],
  snapshot: [['path', {d: 'M4 8h3l2-3h6l2 3h3v11H4z'}], ['circle', {cx: 12, cy: 13, r: 3.5}]],
  logout: [['path', {d: 'M10 4H5v16h5'}], ['path', {d: 'M14 8l4 4-4 4M18 12H9'}]],
  language: [['circle', {cx: 12, cy: 12, r: 9}], ['path', {d: 'M3 12h18M12 3c3 3 3 15 0 18M12 3c-3 3-3 15 0 18'}]],
  channel: [rect(3, 6, 14, 12), ['path', {d: 'M17 10l4-2v8l-4-2'}]],
  playing: [['path', {d: 'M8 5v14l11-7z', fill: 'currentColor'}]],
  recordingDot: [['circle', {cx: 12, cy: 12, r: 6, fill: 'currentColor'}]],
  offline: [['path', {d: 'M5 16a10 10 0 0 1 3-6M10 8a10 10 0 0 1 9 8M8.5 17.5a5 5 0 0 1 7 0'}], ['path', {d: 'M4 4l16 16'}]],
  close: [['path', {d: 'M6 6l12 12M18 6L6 18'}]],
  download: [['path', {d: 'M12 4v11M7 10l5 5 5-5M5 20h14'}]],
};

// An <svg> element of the icon name.
export function iconElement(name) {
  const svg = document.createElementNS(SVG_NS, 'svg');
  svg.setAttribute('viewBox', '0 0 24 24');
  svg.setAttribute('aria-hidden', 'true');
  svg.setAttribute('focusable', 'false');
  svg.classList.add('icon-svg');
  for (const [tag, attributes] of ICONS[name] || []) {
    const shape = document.createElementNS(SVG_NS, tag);
    for (const [key, value] of Object.entries(attributes)) shape.setAttribute(key, String(value));
    svg.append(shape);
  }
  return svg;
}

// Fills every [data-icon] element under root with its icon.
export function drawIcons(root) {
  for (const element of root.querySelectorAll('[data-icon]')) element.replaceChildren(iconElement(element.dataset.icon));
}
