// SPDX-License-Identifier: GPL-3.0-or-later
// The page's password cipher against the DES reference vector and against
// OpenSSL's DES-ECB (when its legacy provider is available).
import assert from 'node:assert/strict';
import {spawnSync} from 'node:child_process';
import {test} from 'node:test';

import {desBlock, encipherPassword} from '../../web/des.js';

const bytes = (hex) => Uint8Array.from(hex.match(/../g), (h) => parseInt(h, 16));
const hex = (b) => Buffer.from(b).toString('hex').toUpperCase();

test('DES block: the reference vector both ways', () => {
  const key = bytes('133457799BBCDFF1');
  assert.equal(hex(desBlock(key, bytes('0123456789ABCDEF'))), '85E813540F0AB405');
  assert.equal(hex(desBlock(key, bytes('85E813540F0AB405'), true)), '0123456789ABCDEF');
});

test('password texts: zero padding, block count, UTF-8', () => {
  assert.equal(encipherPassword(''), '');
  assert.equal(encipherPassword('admin').length, 16);
  assert.equal(encipherPassword('12345678').length, 16);
  assert.equal(encipherPassword('123456789').length, 32);
  // Two blocks are enciphered independently (ECB).
  assert.equal(encipherPassword('abcdefghabcdefgh').slice(0, 16), encipherPassword('abcdefgh'));
  assert.equal(encipherPassword('密码').length, 16);  // 6 UTF-8 bytes, one block
  assert.match(encipherPassword('admin'), /^[0-9A-F]+$/);
});

test('a Chinese password: its blocks are counted from its UTF-8 bytes', () => {
  // Four characters, twelve UTF-8 bytes: two blocks, not one.
  const password = '密码测试';
  const text = encipherPassword(password);
  assert.equal(text, '89235E07956A3901C1C4AC0068A96D9B');
  // Deciphered as the control does: block by block, each block's bytes up to
  // its first zero, then read as UTF-8.
  const key = new TextEncoder().encode('glaringl');
  const clear = [];
  for (let i = 0; i < text.length; i += 16) {
    const block = desBlock(key, bytes(text.slice(i, i + 16)), true);
    const end = block.indexOf(0);
    clear.push(...block.slice(0, end < 0 ? 8 : end));
  }
  assert.equal(new TextDecoder('utf-8', {fatal: true}).decode(Uint8Array.from(clear)), password);
  for (const [other, blocks] of [['密码测试一', 2], ['密码测试一二', 3], ['测', 1], ['ü', 1], ['😀😀', 1], ['😀😀😀', 2]])
    assert.equal(encipherPassword(other).length, 16 * blocks, other);
});

test('password texts match OpenSSL DES-ECB under the key text\'s first 8 bytes', (t) => {
  const key = Buffer.from('glaringl').toString('hex');
  for (const password of ['admin', 'a', '12345678', 'longer password!', '密码ü', '密码测试']) {
    const clear = Buffer.from(password, 'utf8');
    const padded = Buffer.alloc(Math.ceil(clear.length / 8) * 8);
    clear.copy(padded);
    const run = spawnSync('openssl', ['enc', '-des-ecb', '-K', key, '-nopad', '-provider', 'legacy',
      '-provider', 'default'], {input: padded});
    if (run.status !== 0) {
      t.skip('openssl has no DES-ECB here');
      return;
    }
    assert.equal(encipherPassword(password), run.stdout.toString('hex').toUpperCase(), password);
  }
});
