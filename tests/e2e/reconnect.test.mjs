// SPDX-License-Identifier: GPL-3.0-or-later
// When velk-dvr-host goes away: dvr-control.js keeps trying until the host
// is back, and says so clearly when the host that came back refuses the
// page (a new token); the page shows both. Run with --experimental-websocket
// (node's WebSocket stands in for the browser's in the first part).
import assert from 'node:assert/strict';
import {after, afterEach, before, describe, test} from 'node:test';

import {DvrControl} from '../../web/dvr-control.js';
import {Stack, pollUntil, programsSkipReason, skipReason} from './harness.mjs';

const controlSkip = typeof WebSocket === 'undefined' ? 'node has no WebSocket (run with --experimental-websocket)'
  : programsSkipReason();
const pageSkip = skipReason();
if (controlSkip && pageSkip) console.log(`# e2e skipped: ${controlSkip}; ${pageSkip}`);
else if (pageSkip) console.log(`# page part skipped: ${pageSkip}`);

describe('dvr-control.js when the host goes away', {skip: controlSkip || false}, () => {
  let stack;
  before(async () => { stack = await new Stack().start({browser: false}); });
  after(async () => { await stack?.stop(); });
  // A test that failed with the host stopped leaves it running for the next.
  afterEach(async () => {
    if (stack.host.exitCode !== null || stack.host.signalCode !== null) await stack.startHost({token: stack.token});
  });

  // A control on the stack's host that counts its connection tries and
  // records its states and close events.
  async function connect(options = {}) {
    const seen = {tries: 0, states: [], closes: []};
    const ctrl = await DvrControl.connect({
      url: `ws://127.0.0.1:${stack.wsPort}/`, token: stack.token,
      createWebSocket: (url) => { ++seen.tries; return new WebSocket(url, {headers: {Origin: stack.origin}}); },
      ...options});
    ctrl.on('state', (s) => seen.states.push(s));
    ctrl.on('close', (c) => seen.closes.push(c));
    return {ctrl, seen};
  }
  const answers = async (ctrl) => (await ctrl.call('$methods')).methods.length > 0;

  // Several delays, so that the host stays away for several tries and its
  // return falls between tries of different intervals.
  for (const [delayMs, maxDelayMs] of [[50, 200], [200, 200]]) {
    test(`the host restarts: tries go on until it is back (every ${delayMs}..${maxDelayMs} ms)`, async () => {
      const {ctrl, seen} = await connect({reconnectDelayMs: delayMs, reconnectMaxDelayMs: maxDelayMs});
      await stack.stopHost();
      // The host ended the connection; the tries fail while it is away.
      await pollUntil(() => seen.tries >= 4, 'three failed tries', {intervalMs: 20});
      assert.equal(ctrl.state, 'connecting');
      await assert.rejects(ctrl.call('$methods'), /not connected/);

      await stack.startHost({token: stack.token});
      await pollUntil(() => ctrl.state === 'open', 'the control to reconnect', {intervalMs: 20});
      assert.deepEqual(seen.states, ['closed', 'connecting', 'open']);
      assert.ok(await answers(ctrl));
      ctrl.close();
      await pollUntil(() => ctrl.state === 'closed', 'the close');
    });
  }

  test('the host comes back with a new token: the control is refused and stops trying', async () => {
    const oldToken = stack.token;
    const {ctrl, seen} = await connect({reconnectDelayMs: 50, reconnectMaxDelayMs: 100});
    await stack.stopHost();
    await stack.startHost();  // a new token
    assert.notEqual(stack.token, oldToken);
    await pollUntil(() => ctrl.state === 'refused', 'the refusal', {intervalMs: 20});
    assert.equal(seen.closes.at(-1).code, 1008);
    assert.equal(seen.states.at(-1), 'refused');
    assert.equal(ctrl._retryTimer, 0, 'no further try is scheduled');
    await assert.rejects(ctrl.call('$methods'), /not connected/);

    // A new control with the old token is refused at once; with the new one
    // it is served.
    await assert.rejects(connect({token: oldToken}), /refused.*1008/);
    const fresh = await connect();
    assert.ok(await answers(fresh.ctrl));
    fresh.ctrl.close();
    ctrl.close();
    assert.equal(ctrl.state, 'refused');
  });

  test('close() while tries are under way ends them', async () => {
    const {ctrl, seen} = await connect({reconnectDelayMs: 50, reconnectMaxDelayMs: 100});
    await stack.stopHost();
    await pollUntil(() => seen.tries >= 3, 'two failed tries', {intervalMs: 20});
    ctrl.close();
    await pollUntil(() => ctrl.state === 'closed', 'the closed state', {intervalMs: 20});
    assert.equal(ctrl._retryTimer, 0, 'no further try is scheduled');
    await stack.startHost();
  });
});

describe('the page when the host goes away', {skip: pageSkip || false}, () => {
  let stack;
  before(async () => { stack = await new Stack().start(); });
  after(async () => { await stack?.stop(); });
  afterEach(async () => { await stack.closePages(); });

  const connection = (page) => page.textContent('#connection');
  const problem = (page) => page.evaluate(() => {
    const line = document.getElementById('host-problem');
    return line.hidden ? '' : line.textContent;
  });

  test('reconnecting while the host is away, connected when it is back, refused after a new token', async () => {
    const page = await stack.loggedInPage();
    assert.equal(await problem(page), '');

    await stack.stopHost();
    await page.waitForFunction(() => document.getElementById('connection').textContent === 'connecting');
    assert.match(await problem(page), /connection to the automation host was lost; reconnecting/);

    await stack.startHost({token: stack.token});
    await page.waitForFunction(() => document.getElementById('connection').textContent === 'connected');
    assert.equal(await problem(page), '');

    await stack.stopHost();
    await stack.startHost();  // a new token: the page's is no longer good
    await page.waitForFunction(() => document.getElementById('connection').textContent === 'refused');
    assert.match(await problem(page), /refused this page: its token is not the host's/);
    assert.equal(await connection(page), 'refused');
    // In Chinese too.
    await page.selectOption('#language', 'zh-CN');
    await page.waitForFunction(() => /拒绝/.test(document.getElementById('host-problem').textContent));
  });
});
