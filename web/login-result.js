// SPDX-License-Identifier: GPL-3.0-or-later
// What a Login result means to the user. Login answers "%08x_%d": the error
// code in hexadecimal, then the device id (0 on failure). The code is the
// recorder's detail code when it refused the log-in (0x10 unknown user,
// 0x11 wrong password, …) or the network library's result (3 unreachable:
// the control's form of a network failure, 8 timed out, …).

const KEYS = new Map([
  [0x11, 'loginWrongPassword'],
  [0x10, 'loginUnknownUser'],
  [0x12, 'loginNoRight'],
  [0x13, 'loginTooManyClients'],
  [3, 'loginUnreachable'],
  [5, 'loginUnreachable'],
  [6, 'loginUnreachable'],
  [0x11111111, 'loginUnreachable'],
  [8, 'loginTimedOut'],
  [1, 'loginRefused'],
  [7, 'loginRefused'],
  [0x14, 'loginRefused'],
  [0x15, 'loginRefused'],
  [0x16, 'loginRefused'],
  [0x29, 'loginRefused'],
]);

// {ok: true, devId} for a log-in that succeeded; else {ok: false, key, code}:
// key names the sentence in page-texts.js, code is the result's code text
// ("00000011") for support, or the whole result when it has no code.
export function describeLogin(result) {
  const match = /^([0-9a-f]{8})_(\d+)$/i.exec(String(result));
  if (!match) return {ok: false, key: 'loginFailed', code: String(result)};
  const code = parseInt(match[1], 16);
  const devId = Number(match[2]);
  if (code === 0 && devId !== 0) return {ok: true, devId};
  return {ok: false, key: KEYS.get(code) ?? 'loginFailed', code: match[1].toLowerCase()};
}
