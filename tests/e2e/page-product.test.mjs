// SPDX-License-Identifier: GPL-3.0-or-later
// The page as users meet it, in headless Chromium against a real recorder
// and host: nothing but the log-in form before log-in, log-in failures as
// sentences in both languages with their code, and the recorder going away
// and coming back (the state line, the live picture back without a click).
import assert from 'node:assert/strict';
import {createServer} from 'node:net';
import {after, afterEach, before, describe, test} from 'node:test';

import {Stack, pollUntil, skipReason} from './harness.mjs';
import {fourWindowPage, movingWindows} from './picture.mjs';

const skip = skipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

// A fresh page on the recorder's page, its host connected, not logged in.
async function loginPage(stack, viewport = {width: 1366, height: 768}) {
  const page = await stack.browser.newPage({viewport});
  stack.pages.add(page);
  await page.goto(stack.pageUrl);
  await page.waitForFunction(() => document.getElementById('connection').textContent === 'connected');
  return page;
}

// The page's log-in error after a log-in with these fields.
async function loginError(page, {port, user = 'admin', password}) {
  if (port !== undefined) await page.fill('#login-port', String(port));
  await page.fill('#login-user', user);
  await page.fill('#login-password', password);
  await page.click('#login-button');
  await page.waitForFunction(() => document.getElementById('login-error').textContent !== '', null, {timeout: 20000});
  return page.textContent('#login-error');
}

// A port on which nothing listens (bound, then closed again).
async function closedPort() {
  const server = createServer();
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  const {port} = server.address();
  await new Promise((done) => server.close(done));
  return port;
}

describe('the page before and at log-in', {skip: skip || false}, () => {
  let stack;
  before(async () => { stack = await new Stack().start(); });
  afterEach(async () => { await stack?.closePages(); });
  after(async () => { await stack?.stop(); });

  for (const viewport of [{width: 1366, height: 768}, {width: 390, height: 844}]) {
    // The tabs show: one chosen before log-in is the section shown after it.
    test(`before log-in only the log-in form shows (${viewport.width}x${viewport.height})`, async () => {
      const page = await loginPage(stack, viewport);
      for (const selector of ['#login-form', '#login-address', '#login-port', '#login-user', '#login-password',
        '#login-button', '#language', '#tabs'])
        assert.ok(await page.isVisible(selector), `${selector} shows`);
      for (const selector of ['#sections', '#view', '#control', '#live-toolbar', '#logout',
        '#section-schedule', '#schedule-toolbar', '#section-settings', '#recorder-state', '#host-problem'])
        assert.equal(await page.isVisible(selector), false, `${selector} is hidden`);

      // The keyboard reaches every field of the form and its button, in order.
      const reached = [];
      for (let i = 0; i < 12 && !reached.includes('login-button'); ++i) {
        await page.keyboard.press('Tab');
        reached.push(await page.evaluate(() => document.activeElement?.id || document.activeElement?.tagName));
      }
      const order = ['login-address', 'login-port', 'login-user', 'login-password', 'login-button'];
      assert.deepEqual(reached.filter((id) => order.includes(id)), order, `tab order ${reached}`);

      // After log-in the live view shows, and the form does not.
      await page.fill('#login-password', 'admin');
      await page.keyboard.press('Enter');
      await page.waitForSelector('#view', {state: 'visible'});
      assert.ok(await page.isVisible('#live-toolbar'));
      assert.equal(await page.isVisible('#login-form'), false);
      assert.equal(await page.isVisible('#section-schedule'), false, 'only the chosen section shows');
      await page.click('#logout');
      await page.waitForSelector('#login-form', {state: 'visible'});
      assert.equal(await page.isVisible('#view'), false);
    });
  }

  test('log-in failures read as sentences with their code, in the language chosen', async () => {
    const page = await loginPage(stack);
    assert.equal(await loginError(page, {password: 'wrong'}), 'Wrong password. (code 00000011)');
    // Switching the language rewrites the shown error at once.
    await page.selectOption('#language', 'zh-CN');
    await page.waitForFunction(() => document.getElementById('login-error').textContent === '密码错误。（代码 00000011）');
    assert.equal(await page.textContent('#login-button'), '登录');
    assert.equal(await loginError(page, {user: 'nobody', password: 'admin'}), '用户不存在。（代码 00000010）');
    await page.selectOption('#language', 'en');
    await page.waitForFunction(() => document.getElementById('login-error').textContent === 'Unknown user. (code 00000010)');

    const unreachable = await loginError(page, {port: await closedPort(), password: 'admin'});
    assert.match(unreachable, /^The recorder cannot be reached: check its address and port\. \(code [0-9a-f]{8}\)$/);
    // A log-in that works clears the error.
    await page.fill('#login-port', String(stack.devicePort));
    await page.click('#login-button');
    await page.waitForSelector('#view', {state: 'visible'});
    assert.equal(await page.textContent('#login-error'), '');
  });
});

describe('the page when the recorder goes away and comes back', {skip: skip || false}, () => {
  let stack;
  before(async () => { stack = await new Stack().start(); });
  // A test that failed with the recorder away leaves it running for the next.
  afterEach(async () => {
    await stack?.closePages();
    if (stack && (stack.recorder.exitCode !== null || stack.recorder.signalCode !== null)) await stack.startRecorder();
  });
  after(async () => { await stack?.stop(); });

  const recorderState = (page) => page.evaluate(() => {
    const line = document.getElementById('recorder-state');
    return line.hidden ? '' : line.textContent;
  });

  // Away for a moment (the windows' own tries may bring the picture back) and
  // for long enough that the windows have given up and show the recorder
  // offline; on the main and on the sub stream.
  for (const {awayMs, streamType} of [{awayMs: 0, streamType: 1}, {awayMs: 6000, streamType: 0}]) {
    test(`the state line follows the recorder, and the live picture comes back by itself (away ${awayMs} ms, ` +
      `stream ${streamType})`, async () => {
      const {page, size} = await fourWindowPage(stack);
      // The stream chosen, not the one the layout takes.
      await page.uncheck('#stream-auto');
      await page.waitForFunction(() => window.velk.liveOpened?.streamType === 0);
      if (streamType !== 0) {
        await page.selectOption('#stream-type', String(streamType));
        await page.waitForFunction(() => /SwitchPreviewStreamType 0/.test(document.getElementById('status').textContent));
      }
      assert.deepEqual(await movingWindows(page, size), [true, true, true, true], 'live before the loss');
      assert.equal(await recorderState(page), '');
      // Every control call of the page from here on.
      await page.evaluate(() => {
        window.__calls = [];
        const ctrl = window.velk.ctrl;
        const call = ctrl.call.bind(ctrl);
        ctrl.call = (name, ...args) => { window.__calls.push([name, ...args]); return call(name, ...args); };
      });

      await stack.killRecorder();
      await page.waitForFunction(() => /Recorder connection lost/.test(document.getElementById('recorder-state').textContent));
      assert.equal(await recorderState(page), 'Recorder connection lost — reconnecting…');
      await page.selectOption('#language', 'zh-CN');
      await page.waitForFunction(() => document.getElementById('recorder-state').textContent === '与录像机的连接已断开，正在重新连接…');
      // The outage lasts this long.
      if (awayMs) await page.waitForTimeout(awayMs);

      await stack.startRecorder();
      await page.waitForFunction(() => document.getElementById('recorder-state').textContent === '录像机已恢复连接',
        null, {timeout: 30000});
      await page.selectOption('#language', 'en');
      await page.waitForFunction(() => document.getElementById('recorder-state').textContent === 'Recorder back');
      // The picture is back in every window, without a click.
      await pollUntil(async () => (await movingWindows(page, size, 1)).every(Boolean), 'moving video in all four windows',
        {timeoutMs: 20000});
      const devId = await page.evaluate(() => window.velk.devId);
      const reopened = (await page.evaluate(() => window.__calls)).filter(([name]) => name === 'StartViewAll');
      assert.ok(reopened.length >= 1, 'the page opened the channels again');
      for (const call of reopened) assert.deepEqual(call, ['StartViewAll', devId, 16, streamType]);
      // Log out, so that the next test's session is the control's only one.
      await page.click('#logout');
      await page.waitForSelector('#login-form', {state: 'visible'});
      assert.equal(await recorderState(page), '');
    });
  }
});
