// SPDX-License-Identifier: GPL-3.0-or-later
// Local recording and snapshots from the page's live toolbar and the
// context menu, in headless Chromium against a real recorder and host: the
// files land on disk, the status line names them, the REC indicator follows.
import assert from 'node:assert/strict';
import {existsSync, readFileSync, readdirSync, statSync} from 'node:fs';
import {join} from 'node:path';
import {after, afterEach, before, describe, test} from 'node:test';

import {Stack, clickAt, pollUntil, skipReason, waitForStatus} from './harness.mjs';
import {fourWindowPage, menuLine, movingWindows, waitForMenu, waitForNoMenu, windowCentre} from './picture.mjs';

const skip = skipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);


function filesUnder(folder, suffix) {
  if (!existsSync(folder)) return [];
  return readdirSync(folder, {recursive: true}).map((name) => join(folder, String(name)))
    .filter((path) => path.endsWith(suffix) && statSync(path).isFile());
}

// Polls until found() is truthy; null after timeoutMs instead of a failure.
async function eventually(found, what, timeoutMs) {
  try {
    return await pollUntil(found, what, {timeoutMs});
  } catch {
    return null;
  }
}

async function setFolder(page, key, folder) {
  const result = await page.evaluate(([k, v]) => window.velk.ctrl.SetLocalParameter(window.velk.devId, k, v, 'set'),
    [key, folder]);
  assert.equal(result, 'succeed');
}

describe('recording and snapshots', {skip: skip || false}, () => {
  let stack;
  before(async () => { stack = await new Stack().start(); });
  afterEach(async () => { await stack?.closePages(); });
  after(async () => { await stack?.stop(); });

  test('Record, then Stop recording, writes record files', async () => {
    const {page, size} = await fourWindowPage(stack);
    const folder = join(stack.home, 'records') + '/';
    await setFolder(page, 'record_path', folder);
    assert.deepEqual(await movingWindows(page, size), [true, true, true, true]);
    await page.click('#record-start');
    await waitForStatus(page, /StartRecord 0/);
    await page.waitForTimeout(3000);  // three seconds of video into the files
    await page.click('#record-stop');
    await waitForStatus(page, /StopRecord 0/);
    // Files are finished by worker threads after the call returned.
    const files = await eventually(() => {
      const list = filesUnder(folder, '.264');
      return list.length > 0 && list.every((path) => statSync(path).size > 10240) ? list : null;
    }, 'record files', 10000);
    await page.close();
    assert.ok(files, `record files under ${folder}`);
    // The data begins after the 1024-byte header area with the recorder's frames.
    const data = readFileSync(files[0]);
    assert.equal(data.subarray(1025, 1028).toString('latin1'), '2dc');
  });

  test('Snapshot saves a JPEG of the active window and the status line names it', async () => {
    const {page, size} = await fourWindowPage(stack);
    const folder = join(stack.home, 'snapshots') + '/';
    await setFolder(page, 'snap_path', folder);
    assert.equal((await movingWindows(page, size))[0], true, 'the first window plays');
    // The snapshot is of the active window: make the first one active.
    await clickAt(page, windowCentre(size, 1));
    await clickAt(page, windowCentre(size, 0));
    await pollUntil(() => page.evaluate(() => window.velk.ctrl.GetActiveChannel(window.velk.devId)).then((c) => c === 0),
      'the first window to be active');
    await page.click('#snapshot');
    await waitForStatus(page, /CaptureImage 0/);
    const line = await eventually(async () => /Snapshot saved: (.+\.jpe?g)/.exec(await page.textContent('#status')),
      'the $snapshot notification', 10000);
    await page.close();
    assert.ok(line, 'the status line names the snapshot');
    const path = line[1];
    assert.ok(path.startsWith(folder), `${path} lies in ${folder}`);
    assert.deepEqual([...readFileSync(path).subarray(0, 2)], [0xff, 0xd8], 'a JPEG file');
  });

  test('the REC indicator follows a recording started and stopped from the context menu', async () => {
    const {page, size} = await fourWindowPage(stack);
    await setFolder(page, 'record_path', join(stack.home, 'menu-records') + '/');
    assert.equal((await movingWindows(page, size))[0], true, 'the first window plays');
    const at = windowCentre(size, 0);
    // Enabled while playing: close window, Close all window, then the record item.
    const chooseRecordItem = async () => {
      await clickAt(page, at, {button: 'right'});
      await clickAt(page, menuLine(await waitForMenu(page, at), 2));
      await waitForNoMenu(page, at);
    };
    await chooseRecordItem();  // "Start record"
    const shown = await eventually(() => page.isVisible('#rec-indicator'), 'the REC indicator', 8000);
    assert.ok(shown, 'the REC indicator shows');
    assert.match(await page.getAttribute('#rec-indicator', 'title'), /CH01/);
    await chooseRecordItem();  // "Stop record"
    await pollUntil(async () => !(await page.isVisible('#rec-indicator')), 'the REC indicator to go');
    await page.close();
  });
});
