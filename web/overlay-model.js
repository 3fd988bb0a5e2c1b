// SPDX-License-Identifier: GPL-3.0-or-later
// How the Overlay tab turns the recorder's overlay document
// (GET /api/overlay) into the control's overlay calls and the control's
// answers back into a document to save (PUT /api/overlay). Coordinates are
// the recorder's main picture (704 x 576). With the control's alignment of
// 8 pixels a left edge handed to the control is 8 more than the recorder's,
// and a mask's left edge comes back 8 more; an on-screen text's x comes back
// as the recorder's.

export const KIND_MOTION = 0;
export const KIND_MASKS = 1;
export const KIND_TEXTS = 2;
export const KINDS = [KIND_MOTION, KIND_MASKS, KIND_TEXTS];
export const PICTURE_WIDTH = 704;
export const PICTURE_HEIGHT = 576;
export const ALIGNMENT = 8;
export const MAX_MASKS = 5;
export const TEXT_ITEMS = 3;
const LEFT_OFFSET = ALIGNMENT === 8 ? 8 : 0;

// The document's key for each kind.
export const KIND_KEYS = {[KIND_MOTION]: 'motion', [KIND_MASKS]: 'masks', [KIND_TEXTS]: 'osd'};

// The control calls ([method, ...arguments]) that load one kind of the
// document into an overlay editing already started with InitOverlay.
export function loadCalls(devId, kind, doc) {
  if (kind === KIND_MOTION) return [['SetOverlayMDInitData', devId, doc.motion, 0]];
  if (kind === KIND_MASKS) {
    return (doc.masks || []).slice(0, MAX_MASKS).map((m, i) => [
      'SetOverlayShelterInitData', devId, i, m.x + LEFT_OFFSET, m.y, m.x + m.width, m.y + m.height,
      PICTURE_WIDTH, PICTURE_HEIGHT]);
  }
  return (doc.osd || []).map((item) => [
    'SetOverlayOsdInitData', devId, item.index, 0, String(item.text ?? ''), item.visible ? 1 : 0,
    PICTURE_WIDTH, PICTURE_HEIGHT, item.x + LEFT_OFFSET, item.y]);
}

// "left_top_width_height" of GetShelterData as a recorder mask; null for
// "0_0_0_0" (no such mask) or an answer that is not four numbers.
export function maskFromText(text) {
  const parts = String(text).split('_');
  if (parts.length !== 4 || !parts.every((p) => /^-?\d+$/.test(p))) return null;
  const [left, top, width, height] = parts.map(Number);
  if (left === 0 && top === 0 && width === 0 && height === 0) return null;
  return {x: Math.max(0, left - LEFT_OFFSET), y: top, width, height};
}

// "count_x_y" of GetOsdOverlayData as {count, x, y}; null when malformed.
export function textItemFromText(text) {
  const parts = String(text).split('_');
  if (parts.length !== 3 || !parts.every((p) => /^-?\d+$/.test(p))) return null;
  const [count, x, y] = parts.map(Number);
  return {count, x, y};
}

// Keeps a recorder rectangle inside the picture: what the mouse draws at
// the picture's edge may reach a pixel past it once snapped.
export function clampMask(mask) {
  const x = Math.min(Math.max(0, mask.x), PICTURE_WIDTH - 1);
  const y = Math.min(Math.max(0, mask.y), PICTURE_HEIGHT - 1);
  const width = Math.max(1, Math.min(mask.width, PICTURE_WIDTH - x));
  const height = Math.max(1, Math.min(mask.height, PICTURE_HEIGHT - y));
  return {x, y, width, height};
}

// The text items of the document with the positions the control reports;
// their text and visibility are the page's (the control does not report
// them).
export function mergeTextItems(items, positions) {
  return items.map((item) => {
    const position = positions[item.index];
    if (!position) return {...item};
    return {
      ...item,
      x: Math.min(Math.max(0, position.x), PICTURE_WIDTH - 1),
      y: Math.min(Math.max(0, position.y), PICTURE_HEIGHT - 1),
    };
  });
}

// A value as JSON with the keys of its objects in order, so that values
// that differ only in key order (the recorder sorts them) read the same.
function canonical(value) {
  if (Array.isArray(value)) return `[${value.map(canonical).join(',')}]`;
  if (value && typeof value === 'object')
    return `{${Object.keys(value).sort().map((k) => `${JSON.stringify(k)}:${canonical(value[k])}`).join(',')}}`;
  return JSON.stringify(value ?? null);
}

// Whether two documents hold the same data of one kind.
export function sameKind(kind, a, b) {
  const key = KIND_KEYS[kind];
  return canonical(a?.[key]) === canonical(b?.[key]);
}
