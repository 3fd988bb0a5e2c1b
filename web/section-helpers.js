// SPDX-License-Identifier: GPL-3.0-or-later
// Small pieces the page's sections share: the channel selector of a
// section that edits one channel, and the recorder's reason for an HTTP
// error answer.

// Fills select with CH01..CHnn (values 0-based) unless it already holds
// count channels; keeps the channel chosen where it still exists.
export function fillChannelSelect(select, count) {
  if (select.options.length === count) return;
  const selected = Number(select.value) || 0;
  select.replaceChildren();
  for (let channel = 0; channel < count; ++channel)
    select.append(new Option(`CH${String(channel + 1).padStart(2, '0')}`, String(channel)));
  select.value = String(Math.max(0, Math.min(selected, count - 1)));
}

// The recorder's reason from an error answer ({"error":"..."}) with the
// HTTP status, or the status alone.
export function httpReason(response, body) {
  try {
    const error = JSON.parse(body)?.error;
    if (typeof error === 'string' && error) return `HTTP ${response.status}: ${error}`;
  } catch { /* not JSON */ }
  return `HTTP ${response.status}`;
}
