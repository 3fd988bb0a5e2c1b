// SPDX-License-Identifier: GPL-3.0-or-later
// Several tabs, reloads and closed tabs, as users have them: each tab has a
// control of its own in the host (its own log-in, layout, language and
// picture), a reload finds its tab still logged in and watching, a closed
// tab's session ends on the recorder, and a host at its limit of pages
// says so and lets the page in once another leaves.
import assert from 'node:assert/strict';
import {after, afterEach, before, describe, test} from 'node:test';

import {Stack, clickAt, pollUntil, skipReason, waitForStatus} from './harness.mjs';
import {installProbes, waitForGrid, waitForMenu, waitForNoMenu} from './picture.mjs';

const skip = skipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

// The recorder's count of logged-in clients.
async function recorderLogins(stack) {
  const status = await (await fetch(`${stack.origin}/sim/status`)).json();
  return status.logins;
}

// Waits until the tabs of earlier tests have logged out (their controls end
// a grace time after their tabs closed).
async function noSessions(stack) {
  await pollUntil(async () => (await recorderLogins(stack)) === 0, 'earlier tabs logged out', {timeoutMs: 20000});
  return 0;
}

// A live page in a layout of `count` windows, its probes installed.
async function pageInLayout(stack, count) {
  const page = await stack.livePage({viewport: {width: 1366, height: 768}});
  await installProbes(page);
  await page.click(`[data-layout="${count}"]`);
  await waitForGrid(page, Math.sqrt(count));
  const size = await page.evaluate(() => window.velk.ctrl.controlSize);
  return {page, size};
}

describe('tabs, reloads and closed tabs', {skip: skip || false}, () => {
  let stack;
  before(async () => { stack = await new Stack().start(); });
  after(async () => { await stack?.stop(); });
  afterEach(async () => { await stack.closePages(); });

  test('two tabs at once: each its own log-in, layout, language and events', async () => {
    const before = await noSessions(stack);
    const first = await pageInLayout(stack, 4);
    const second = await pageInLayout(stack, 9);
    // Two sessions on the recorder, one for each tab's control.
    await pollUntil(async () => (await recorderLogins(stack)) === before + 2, 'two more logins');
    assert.notEqual(await first.page.evaluate(() => window.velk.ctrl.session.resume),
      await second.page.evaluate(() => window.velk.ctrl.session.resume));

    // The first tab in Chinese, the second stays English: the same menu
    // at the same place reads differently.
    await first.page.selectOption('#language', 'zh-CN');
    await waitForStatus(first.page, /SetLanguageString zh-CN: 54 of 54/);
    const at = {x: Math.floor(first.size.width / 8), y: Math.floor(first.size.height / 8)};
    const menuOf = async ({page}) => {
      await clickAt(page, at, {button: 'right'});
      const menu = await waitForMenu(page, at, {withCrop: true});
      await page.keyboard.press('Escape');
      await waitForNoMenu(page, at);
      return menu;
    };
    const chinese = await menuOf(first);
    const english = await menuOf(second);
    const differing = (a, b) => (a.width === b.width && a.height === b.height
      ? a.pixels.filter((v, i) => Math.abs(v - b.pixels[i]) > 64).length : Infinity);
    assert.ok(differing(chinese, english) > 100, 'the tabs\' menus are in their own languages');

    // Layouts stayed each tab's own.
    await waitForGrid(first.page, 2);
    await waitForGrid(second.page, 3);

    // A click in one tab's picture is reported to that tab only.
    await second.page.evaluate(() => { window.__events.length = 0; });
    await clickAt(first.page, {x: Math.floor(first.size.width * 3 / 4), y: Math.floor(first.size.height * 3 / 4)});
    await first.page.waitForFunction(() => window.velk.activeWindow === 3);
    const heard = await second.page.evaluate(() => window.__events.filter((e) => e.name === 'ReTurnPreviewActiveChl').length);
    assert.equal(heard, 0, 'the other tab heard nothing of the click');
  });

  test('a reload keeps the tab logged in and watching; closing the tab logs out', async () => {
    const before = await noSessions(stack);
    const {page} = await pageInLayout(stack, 4);
    const devId = await page.evaluate(() => window.velk.devId);
    await pollUntil(async () => (await recorderLogins(stack)) === before + 1, 'the log-in');

    await page.reload();
    // No log-in form: the same session, the same layout, the picture moving.
    await page.waitForFunction(() => window.velk.ctrl?.session?.resumed === true);
    await page.waitForSelector('#sections:not([hidden])');
    assert.equal(await page.isHidden('#login'), true);
    assert.equal(await page.evaluate(() => window.velk.devId), devId);
    assert.equal(await page.getAttribute('[data-layout="4"]', 'aria-pressed'), 'true');
    await page.waitForFunction(() => window.velk.ctrl.controlSize.width > 0);
    await installProbes(page);
    const size = await page.evaluate(() => window.velk.ctrl.controlSize);
    await waitForGrid(page, 2);
    assert.equal(await recorderLogins(stack), before + 1, 'no second session on the recorder');
    // The control still answers for that session.
    assert.equal(await page.evaluate((id) => window.velk.ctrl.GetVolume(id), devId), 50);

    // Closed for good: the session ends within the grace time.
    stack.pages.delete(page);
    await page.close();
    await pollUntil(async () => (await recorderLogins(stack)) === before, 'the closed tab\'s log-out',
      {timeoutMs: 20000});
  });

  test('a host at its limit turns a tab away politely, and lets it in once another leaves', async () => {
    await stack.stopHost();
    await stack.startHost({token: stack.token, maxPages: 1, graceMs: 500});
    try {
      const first = await stack.loggedInPage({viewport: {width: 1366, height: 768}});
      const second = await stack.browser.newPage({viewport: {width: 1366, height: 768}});
      stack.pages.add(second);
      await second.goto(stack.pageUrl);
      await second.waitForFunction(() => document.getElementById('connection').dataset.state === 'full');
      assert.match(await second.textContent('#host-problem'), /as many pages as it may/);
      assert.equal(await second.isHidden('#host-problem'), false);

      // In Chinese too.
      await second.selectOption('#language', 'zh-CN');
      assert.match(await second.textContent('#host-problem'), /页面数已达上限/);
      assert.equal(await second.textContent('#connection'), '页面过多');

      stack.pages.delete(first);
      await first.close();
      await second.waitForFunction(() => document.getElementById('connection').dataset.state === 'open',
        null, {timeout: 30000});
      assert.equal(await second.isHidden('#host-problem'), true);
      // It logs in as any page does.
      await second.fill('#login-password', 'admin');
      await second.click('#login-button');
      await second.waitForSelector('#sections:not([hidden])');
    } finally {
      await stack.closePages();
      await stack.stopHost();
      await stack.startHost({token: stack.token});
    }
  });

  test('a tab whose host was restarted in the meantime asks for a new log-in', async () => {
    const page = await stack.livePage({viewport: {width: 1366, height: 768}});
    await stack.stopHost();
    await stack.startHost({token: stack.token});
    // Reconnected to a new control: the page says the session ended and
    // shows the log-in form.
    await page.waitForSelector('#login:not([hidden])', {timeout: 30000});
    assert.equal(await page.isHidden('#sections'), true);
    await page.waitForFunction(() => /session ended/.test(document.getElementById('notices')?.textContent ?? ''));
    assert.equal(await page.evaluate(() => window.velk.devId), 0);
  });
});
