// SPDX-License-Identifier: GPL-3.0-or-later
// dvr-control.js outside a browser (node's WebSocket, with the page's Origin)
// against a real recorder and host: methods by name with typed results,
// errors as rejections, events, input notifications, reconnection.
import assert from 'node:assert/strict';
import {after, before, describe, test} from 'node:test';

import {DvrControl} from '../../web/dvr-control.js';
import {encipherPassword} from '../../web/des.js';
import {CHINESE} from '../../web/languages.js';
import {Stack, programsSkipReason} from './harness.mjs';

const skip = typeof WebSocket === 'undefined' ? 'node has no WebSocket (run with --experimental-websocket)'
  : programsSkipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

// Four characters, twelve UTF-8 bytes.
const CHINESE_PASSWORD = '密码测试';

describe('dvr-control.js', {skip: skip || false}, () => {
  let stack;
  before(async () => {
    stack = await new Stack().start({browser: false,
      recorderArgs: ['--user', 'admin:admin', '--user', `chinese:${CHINESE_PASSWORD}`]});
  });
  after(async () => { await stack?.stop(); });

  const connect = (origin = stack.origin, extra = {}) => DvrControl.connect({
    url: `ws://127.0.0.1:${stack.wsPort}/`, token: stack.token,
    createWebSocket: (url) => new WebSocket(url, {headers: {Origin: origin}}), ...extra});

  test('all methods by name, typed results, errors as rejections', async () => {
    const ctrl = await connect();
    assert.equal(ctrl.state, 'open');
    assert.equal(ctrl.methods.length, 57);
    for (const m of ctrl.methods) assert.equal(typeof ctrl[m.name], 'function', m.name);

    const login = await ctrl.Login('127.0.0.1', stack.devicePort, 'admin', encipherPassword('admin'));
    const devId = Number(/^00000000_(\d+)$/.exec(login)[1]);
    assert.equal(await ctrl.GetVolume(devId), 50);
    assert.equal(await ctrl.SetLocalParameter(devId, 'record_pack_time', '20', 'set'), 'succeed');
    assert.equal(await ctrl.SetLocalParameter(devId, 'record_pack_time', '', 'get'), '20');
    assert.equal(await ctrl.SetLanguageString(devId, 'IE_OpenAll', CHINESE.IE_OpenAll), 0);
    assert.equal(await ctrl.SetLanguageString(devId, 'no such key', 'x'), 2);
    await assert.rejects(ctrl.GetVolume(-1), (e) => e.code === -32602);
    assert.equal(await ctrl.Logout(devId), 0);

    const wrong = await ctrl.Login('127.0.0.1', stack.devicePort, 'admin', encipherPassword('nimda'));
    assert.doesNotMatch(wrong, /^00000000_/);
    ctrl.close();
  });

  test('a Chinese password enciphered by the page logs in through the control', async () => {
    const ctrl = await connect();
    const login = await ctrl.Login('127.0.0.1', stack.devicePort, 'chinese', encipherPassword(CHINESE_PASSWORD));
    const devId = Number(/^00000000_(\d+)$/.exec(login)?.[1]);
    assert.ok(devId > 0, login);
    assert.equal(await ctrl.Logout(devId), 0);
    // Its first block alone (as when blocks are counted from the string's
    // length) is not the password.
    const wrong = await ctrl.Login('127.0.0.1', stack.devicePort, 'chinese',
      encipherPassword(CHINESE_PASSWORD).slice(0, 16));
    assert.doesNotMatch(wrong, /^00000000_/);
    ctrl.close();
  });

  test('input notifications are delivered in order and need no answer', async () => {
    const ctrl = await connect();
    for (let i = 0; i < 20; ++i) ctrl.notify('$input', {type: 'move', x: 10 + i, y: 10 + i});
    // A call after the notifications answers only after they ran.
    assert.equal(await ctrl.call('$input', {type: 'click', x: 40, y: 40}), null);
    ctrl.close();
  });

  test('a foreign origin is refused', async () => {
    await assert.rejects(connect('http://evil.example'));
  });

  test('a lost connection is reopened', async () => {
    const ctrl = await connect(stack.origin, {reconnectDelayMs: 100});
    const states = [];
    ctrl.on('state', (s) => states.push(s));
    ctrl._ws.close();
    const deadline = Date.now() + 5000;
    while (!(states.includes('closed') && ctrl.state === 'open') && Date.now() < deadline)
      await new Promise((r) => setTimeout(r, 50));
    assert.deepEqual(states.slice(0, 3), ['closed', 'connecting', 'open']);
    assert.equal(await ctrl.GetVolume(1), 1000);
    ctrl.close();
  });
});
