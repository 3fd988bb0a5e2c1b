// SPDX-License-Identifier: GPL-3.0-or-later
// The page's plain modules in node: how results read on the status line,
// the page's texts, and the mode a schedule text was written in.
import assert from 'node:assert/strict';
import {describe, test} from 'node:test';

import {PAGE_TEXTS, pageText} from '../../web/page-texts.js';
import {channelsOfMask, formatCode} from '../../web/result-codes.js';
import {modeOfScheduleText} from '../../web/schedule-section.js';

describe('page modules', () => {
  test('result codes: small in decimal, large in hexadecimal with their meaning', () => {
    assert.equal(formatCode(0), '0');
    assert.equal(formatCode(2), '2');
    assert.equal(formatCode(-1), '-1');
    assert.equal(formatCode(4294967295), '4294967295 (-1)');
    assert.equal(formatCode(0x8002001f), '0x8002001f (the record file could not be created)');
    assert.equal(formatCode(0x80990000), '0x80990000');
    assert.equal(formatCode('faile'), '"faile"');
    assert.equal(channelsOfMask(0), '');
    assert.equal(channelsOfMask(0b101), 'CH01, CH03');
    assert.equal(channelsOfMask(0x80000000), 'CH32');
  });

  test('both languages have every page text, with the same placeholders', () => {
    const english = PAGE_TEXTS.en;
    const chinese = PAGE_TEXTS['zh-CN'];
    assert.deepEqual(Object.keys(chinese).sort(), Object.keys(english).sort());
    const placeholders = (text) => (text.match(/\{\d+\}/g) || []).sort().join();
    for (const key of Object.keys(english)) assert.equal(placeholders(chinese[key]), placeholders(english[key]), key);
    assert.equal(pageText('en', 'snapshotSaved', '/tmp/a {0}.jpeg'), 'Snapshot saved: /tmp/a {0}.jpeg');
    assert.equal(pageText('zh-CN', 'scheduleSaved', 3), '通道 3 的录像计划已保存');
    assert.equal(pageText('fr', 'save'), 'Save');
  });

  test('the mode a schedule text was written in', () => {
    assert.equal(modeOfScheduleText('[null,[{"E":43199,"S":28800}],null,null,null,null,null]'), 0);
    assert.equal(modeOfScheduleText('[[],null,[{"E":7199,"S":3600,"T":0}],null,null,null,null]'), 1);
    assert.equal(modeOfScheduleText('[null,null,null,null,null,null,null]'), null);
    assert.equal(modeOfScheduleText('not json'), null);
    assert.equal(modeOfScheduleText('{"S":1}'), null);
  });
});
