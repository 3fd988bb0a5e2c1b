// SPDX-License-Identifier: GPL-3.0-or-later
// The page by keyboard and for assistive technology, in headless Chromium
// against a real recorder and host: Tab leaves the picture, every focusable
// element shows a focus ring and has a name, toggle buttons say whether they
// are pressed, and in Chinese no English is left in the page's own texts.
import assert from 'node:assert/strict';
import {after, afterEach, before, describe, test} from 'node:test';

import {Stack, skipReason, waitForStatus} from './harness.mjs';

const skip = skipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

// What has the keyboard's focus: its id, or its tag name.
const focused = (page) => page.evaluate(() => document.activeElement?.id || document.activeElement?.tagName || '');

// The outline the focused element shows: {style, width} in CSS pixels.
const focusOutline = (page) => page.evaluate(() => {
  const style = getComputedStyle(document.activeElement);
  return {style: style.outlineStyle, width: parseFloat(style.outlineWidth)};
});

// Presses Tab until the focus is on the element with this id (at most limit times).
async function tabTo(page, id, limit = 40) {
  for (let i = 0; i < limit; ++i) {
    await page.keyboard.press('Tab');
    if (await focused(page) === id) return;
  }
  throw new Error(`Tab never reached #${id}`);
}

// Every visible element that takes focus, as locators.
async function focusables(page) {
  const all = page.locator('input, select, button, canvas, [tabindex]');
  const shown = [];
  for (let i = 0; i < await all.count(); ++i)
    if (await all.nth(i).isVisible()) shown.push(all.nth(i));
  return shown;
}

// Words of two or more Latin letters in the visible texts of the elements
// under these selectors: their text, tooltip, accessible name and placeholder.
// The product's name and the language switch's "English" are not page texts.
async function englishWords(page, selectors) {
  const texts = await page.evaluate((roots) => {
    const out = [];
    const visible = (element) => element.checkVisibility();
    for (const root of roots.map((selector) => document.querySelector(selector)).filter(Boolean)) {
      if (!visible(root)) continue;
      for (const element of [root, ...root.querySelectorAll('*')]) {
        if (!visible(element) || element.tagName === 'OPTION') continue;
        for (const node of element.childNodes)
          if (node.nodeType === Node.TEXT_NODE) out.push(node.textContent);
        for (const attribute of ['title', 'aria-label', 'placeholder']) out.push(element.getAttribute(attribute) || '');
        if (element.tagName === 'SELECT') out.push(...[...element.options].map((option) => option.text));
      }
    }
    return out;
  }, selectors);
  return texts.join(' ').replace(/VELK DVR|English/g, '').match(/[A-Za-z]{2,}/g) || [];
}

describe('the page by keyboard and for assistive technology', {skip: skip || false}, () => {
  let stack;
  before(async () => { stack = await new Stack().start(); });
  afterEach(async () => { await stack?.closePages(); });
  after(async () => { await stack?.stop(); });

  test('Tab and Shift+Tab leave the picture; other keys still go to the control', async () => {
    const page = await stack.livePage({viewport: {width: 1366, height: 768}});
    // Every $input notification the page sends to the control.
    await page.evaluate(() => {
      window.__inputs = [];
      const ctrl = window.velk.ctrl;
      const notify = ctrl.notify.bind(ctrl);
      ctrl.notify = (name, params) => { if (name === '$input') window.__inputs.push(params); return notify(name, params); };
    });
    const keysSent = () => page.evaluate(() => window.__inputs.filter((i) => i.type === 'key').map((i) => i.key));

    await tabTo(page, 'control');
    await page.keyboard.press('Tab');
    assert.notEqual(await focused(page), 'control', 'Tab moved the focus on');
    await page.focus('#control');
    await page.keyboard.press('Shift+Tab');
    assert.equal(await focused(page), 'stream-auto', 'Shift+Tab moved the focus back to the stream option beside it');
    assert.deepEqual(await keysSent(), [], 'no Tab reached the control');

    // Keys other than Tab are the control's, with Escape first to be sure
    // nothing the control shows stays open.
    await page.focus('#control');
    await page.keyboard.press('Escape');
    await page.keyboard.press('ArrowRight');
    await page.waitForFunction(() => window.__inputs.filter((i) => i.type === 'key').length === 2);
    assert.deepEqual(await keysSent(), ['Escape', 'Right']);
  });

  test('every focusable element shows a focus ring when the keyboard reaches it', async () => {
    const page = await stack.livePage({viewport: {width: 1366, height: 768}});
    const expected = (await Promise.all((await focusables(page)).map((l) => l.evaluate((e) => e.id || e.tagName))));
    assert.ok(expected.includes('control') && expected.includes('sound') && expected.includes('language'));
    const ringed = new Set();
    for (let i = 0; i < 60 && ringed.size < expected.length; ++i) {
      await page.keyboard.press('Tab');
      const id = await focused(page);
      if (id === 'BODY') continue;
      const outline = await focusOutline(page);
      assert.ok(outline.style !== 'none' && outline.width >= 2, `#${id} shows a focus ring (${JSON.stringify(outline)})`);
      ringed.add(id);
    }
    for (const id of expected) assert.ok(ringed.has(id), `Tab reached ${id}`);
    // A click in the picture focuses it without the ring of the button the
    // keyboard was on.
    await tabTo(page, 'open-all');
    await page.click('#control');
    assert.equal(await focused(page), 'control');
    assert.equal((await focusOutline(page)).style, 'none', 'no ring after a click');
  });

  for (const language of ['en', 'zh-CN']) {
    test(`every focusable element has an accessible name (${language})`, async () => {
      const page = await stack.livePage({viewport: {width: 1366, height: 768}});
      await page.selectOption('#language', language);
      for (const section of ['live', 'playback', 'schedule', 'settings']) {
        await page.click(`#tabs [data-section="${section}"]`);
        for (const element of await focusables(page)) {
          const line = (await element.ariaSnapshot()).split('\n')[0];
          assert.match(line, /^- [\w-]+ "[^"]+"/, `${section}: ${line} has a name`);
        }
      }
      await page.click('#tabs [data-section="live"]');
      const canvas = (await page.locator('#control').ariaSnapshot()).split('\n')[0];
      assert.equal(canvas, `- application "${language === 'en' ? 'Live video' : '实时视频'}"`);
    });
  }

  test('the layout shown and sound on are pressed buttons, and look it', async () => {
    const page = await stack.livePage({viewport: {width: 1366, height: 768}});
    const pressed = () => page.evaluate(() => [...document.querySelectorAll('[data-layout]')]
      .filter((b) => b.getAttribute('aria-pressed') === 'true').map((b) => b.dataset.layout));
    const background = (selector) => page.$eval(selector, (e) => getComputedStyle(e).backgroundColor);
    // The page logs in with 16 channels: the control lays out 16 windows.
    assert.deepEqual(await pressed(), ['16']);
    for (const layout of ['4', '1', '9', '16']) {
      await page.click(`[data-layout="${layout}"]`);
      await page.waitForFunction((l) => document.querySelector(`[data-layout="${l}"]`).getAttribute('aria-pressed') === 'true',
        layout);
      assert.deepEqual(await pressed(), [layout]);
      const other = layout === '4' ? '9' : '4';
      assert.notEqual(await background(`[data-layout="${layout}"]`), await background(`[data-layout="${other}"]`),
        'the pressed layout looks different');
    }

    assert.equal(await page.getAttribute('#sound', 'aria-pressed'), 'false');
    await page.click('#sound');
    await waitForStatus(page, /SetPreviewSoundState 0/);
    assert.equal(await page.getAttribute('#sound', 'aria-pressed'), 'true');
    await page.click('#sound');
    await page.waitForFunction(() => document.getElementById('sound').getAttribute('aria-pressed') === 'false');
  });

  test('in Chinese no English is left in the log-in form, header and toolbars', async () => {
    const page = await stack.browser.newPage({viewport: {width: 1366, height: 768}});
    stack.pages.add(page);
    await page.goto(stack.pageUrl);
    // The connection word is the host's state in data-state whatever the language.
    await page.waitForFunction(() => document.getElementById('connection').dataset.state === 'open');
    assert.equal(await page.textContent('#connection'), 'connected');
    await page.selectOption('#language', 'zh-CN');
    assert.equal(await page.textContent('#connection'), '已连接');
    assert.deepEqual(await englishWords(page, ['header', '#login']), []);

    await page.fill('#login-password', 'admin');
    await page.click('#login-button');
    await page.waitForSelector('#live-toolbar', {state: 'visible'});
    await waitForStatus(page, /StartViewAll \d/);  // the log-in has finished
    assert.deepEqual(await englishWords(page, ['header', '#live-toolbar', '#view']), []);
    await page.click('#tabs [data-section="settings"]');
    await page.waitForFunction(() => !document.getElementById('settings-form').dataset.loading &&
      document.querySelector('[data-key="record_pack_time"]').value !== '');
    await page.click('#settings-save');
    await page.waitForFunction(() => document.getElementById('settings-result').textContent !== '');
    assert.equal(await page.textContent('#settings-result'), '已保存');
    assert.deepEqual(await englishWords(page, ['#section-settings']), []);
    await page.click('#tabs [data-section="schedule"]');
    // The channel selector names channels CH01… as the control does.
    assert.deepEqual((await englishWords(page, ['#schedule-toolbar', '#view'])).filter((w) => w !== 'CH'), []);

    // Back in English the words are the ones the other tests look for.
    await page.selectOption('#language', 'en');
    assert.equal(await page.textContent('#connection'), 'connected');
    assert.equal(await page.textContent('#settings-load'), 'Reload');
  });
});
