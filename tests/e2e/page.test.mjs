// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's page in headless Chromium against a real recorder and host.
import assert from 'node:assert/strict';
import {createServer} from 'node:http';
import {after, afterEach, before, describe, test} from 'node:test';

import {Stack, canvasPixel, skipReason} from './harness.mjs';

const skip = skipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

describe('the recorder page', {skip: skip || false}, () => {
  let stack;
  // attacker.example resolves to 127.0.0.1, as a rebinding attacker's name would.
  before(async () => {
    stack = await new Stack().start({browserArgs: ['--host-resolver-rules=MAP attacker.example 127.0.0.1']});
  });
  afterEach(async () => { await stack?.closePages(); });
  after(async () => { await stack?.stop(); });

  test('log in and see the grid of windows in the canvas', async () => {
    const page = await stack.loggedInPage();
    // The picture arrives and is drawn: the canvas takes the control's size
    // and is not blank.
    await page.waitForFunction(() => window.velk.ctrl.controlSize.width > 0);
    const size = await page.evaluate(() => window.velk.ctrl.controlSize);
    assert.ok(size.width >= 320 && size.height >= 180);
    const sampled = [];
    for (const [fx, fy] of [[0.25, 0.25], [0.75, 0.75], [0.5, 0.5], [0.01, 0.01]])
      sampled.push((await canvasPixel(page, Math.floor(size.width * fx), Math.floor(size.height * fy))).join());
    assert.ok(new Set(sampled).size > 1, `the canvas shows a picture, not one colour: ${sampled}`);
    const log = await page.textContent('#status');
    assert.match(log, /Login 00000000_\d+/);
    await page.close();
  });

  test('a wrong password is refused with the recorder\'s code', async () => {
    const page = await stack.browser.newPage();
    await page.goto(stack.pageUrl);
    await page.waitForFunction(() => document.getElementById('connection').textContent === 'connected');
    await page.fill('#login-password', 'wrong');
    await page.click('#login-button');
    await page.waitForFunction(() => document.getElementById('login-error').textContent !== '');
    assert.equal(await page.textContent('#login-error'), 'Wrong password. (code 00000011)');
    await page.close();
  });

  test('layout buttons change the picture', async () => {
    const page = await stack.loggedInPage();
    await page.waitForFunction(() => window.velk.ctrl.controlSize.width > 0);
    const snapshot = () => page.evaluate(() => document.getElementById('control').toDataURL());
    await page.click('[data-layout="4"]');
    await page.waitForTimeout(500);
    const four = await snapshot();
    await page.click('[data-layout="16"]');
    await page.waitForFunction((before) => document.getElementById('control').toDataURL() !== before, four);
    assert.match(await page.textContent('#status'), /ShowChannels done/);
    await page.close();
  });

  test('the language switch replaces all 54 texts', async () => {
    const page = await stack.loggedInPage();
    await page.selectOption('#language', 'zh-CN');
    await page.waitForFunction(() => /SetLanguageString zh-CN: 54 of 54/.test(document.getElementById('status').textContent));
    await page.close();
  });

  test('the settings panel reads and writes local settings', async () => {
    const page = await stack.loggedInPage();
    await page.click('#tabs [data-section="settings"]');
    await page.waitForFunction(() => !document.getElementById('settings-form').dataset.loading &&
      document.querySelector('[data-key="record_pack_time"]').value !== '');
    await page.fill('[data-key="record_pack_time"]', '15');
    await page.click('#settings-save');
    await page.waitForFunction(() => document.getElementById('settings-result').textContent !== '');
    assert.equal(await page.textContent('#settings-result'), 'Saved');
    const readBack = await page.evaluate(
      () => window.velk.ctrl.SetLocalParameter(window.velk.devId, 'record_pack_time', '', 'get'));
    assert.equal(readBack, '15');
    await page.close();
  });

  test('a page from a foreign origin cannot drive the control', async () => {
    // A page served from another origin (another port on the same machine).
    const server = createServer((request, response) => {
      response.writeHead(200, {'content-type': 'text/html'});
      response.end('<!DOCTYPE html><title>elsewhere</title>');
    });
    await new Promise((done) => server.listen(0, '127.0.0.1', done));
    const page = await stack.browser.newPage();
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    const outcome = await page.evaluate(async ([port, token]) => new Promise((done) => {
      const ws = new WebSocket(`ws://127.0.0.1:${port}/?token=${token}`);
      ws.onopen = () => { ws.send('{"jsonrpc":"2.0","id":1,"method":"$methods"}'); };
      ws.onmessage = () => done('answered');
      ws.onerror = () => done('refused');
      ws.onclose = () => done('refused');
    }), [stack.wsPort, stack.token]);
    assert.equal(outcome, 'refused');
    await page.close();
    server.close();
  });

  test('a page under another name for 127.0.0.1 (DNS rebinding) gets nothing from the recorder', async () => {
    const page = await stack.browser.newPage();
    const response = await page.goto(`http://attacker.example:${stack.httpPort}/`);
    assert.equal(response.status(), 403);
    assert.match(await page.textContent('body'), /'attacker\.example:\d+' is not a name of this recorder/);
    // Scripts of that origin can neither read the API nor change anything.
    const statuses = await page.evaluate(async () => Promise.all([
      fetch('/api/info').then((r) => r.status),
      fetch('/sim/status').then((r) => r.status),
      fetch('/sim/freeze', {method: 'POST'}).then((r) => r.status),
      fetch('/api/schedule?channel=0', {method: 'PUT', body: '[null,null,null,null,null,null,null]'})
        .then((r) => r.status),
    ]));
    assert.deepEqual(statuses, [403, 403, 403, 403]);
    // The recorder's own loopback names serve the page.
    assert.equal((await page.goto(`http://localhost:${stack.httpPort}/`)).status(), 200);
    const status = await page.evaluate(async () => (await fetch('/sim/status')).json());
    assert.equal(status.frozen, false);
    await page.close();
  });
});
