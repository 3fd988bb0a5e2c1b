// SPDX-License-Identifier: GPL-3.0-or-later
// Result codes of the control's methods as the status line shows them:
// small codes in decimal, the large ones in hexadecimal as the control's
// documentation writes them, with what they mean where that is known.

const MEANINGS = new Map([
  [0x80060000, 'malformed argument or no stream'],
  [0x80050001, 'no window'],
  [0x80050003, 'wrong state for sound or no decoder'],
  [0x80020002, 'no stream or no panel'],
  [0x8003001b, 'no stream to record'],
  [0x8002001f, 'the record file could not be created'],
]);

// "0", "1", "-1" (a signed result), "4294967295 (-1)" (an unsigned one),
// "0x8002001f (the record file could not be created)".
export function formatCode(code) {
  if (typeof code !== 'number' || !Number.isInteger(code)) return JSON.stringify(code);
  if (code < 0x10000) return String(code);
  const unsigned = code >>> 0;
  if (unsigned >= 0xfffffff0) return `${unsigned} (${unsigned - 0x100000000})`;
  const hex = `0x${unsigned.toString(16).padStart(8, '0')}`;
  const meaning = MEANINGS.get(unsigned);
  return meaning ? `${hex} (${meaning})` : hex;
}

// Channels of a bit mask as users count them: 0b101 -> "CH01, CH03".
export function channelsOfMask(mask) {
  const names = [];
  for (let channel = 0; channel < 32; ++channel)
    if ((mask >>> channel) & 1) names.push(`CH${String(channel + 1).padStart(2, '0')}`);
  return names.join(', ');
}
