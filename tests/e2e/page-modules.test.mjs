// SPDX-License-Identifier: GPL-3.0-or-later
// The page's plain modules in node: how results read on the status line,
// the page's texts, the mode a schedule text was written in, the playback
// calendar's days and channel choices, and when
// dvr-control.js tries again after losing its host (a stand-in WebSocket and
// mocked timers).
import assert from 'node:assert/strict';
import {afterEach, beforeEach, describe, mock, test} from 'node:test';

import {alarmNotice} from '../../web/alarm-notices.js';
import {DvrControl} from '../../web/dvr-control.js';

import {describeLogin} from '../../web/login-result.js';
import {clearPageSession, loadPageSession, savePageSession} from '../../web/page-session.js';
import {PAGE_TEXTS, pageText} from '../../web/page-texts.js';
import {addMonths, backupKeyOf, channelMask, cleanChoices, dayAfterKey, isDayText, markedDays, monthWeeks, tickChannel}
  from '../../web/playback-section.js';
import {channelsOfMask, formatCode} from '../../web/result-codes.js';
import {modeOfScheduleText} from '../../web/schedule-section.js';
import {KIND_MASKS, KIND_MOTION, KIND_TEXTS, clampMask, loadCalls, maskFromText, mergeTextItems, sameKind,
  textItemFromText} from '../../web/overlay-model.js';

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

  test('log-in results: the sentence for each code, the code kept for support', () => {
    assert.deepEqual(describeLogin('00000000_17'), {ok: true, devId: 17});
    assert.deepEqual(describeLogin('00000000_4294967295'), {ok: true, devId: 4294967295});
    const cases = [
      ['00000011_0', 'loginWrongPassword', '00000011'],
      ['00000010_0', 'loginUnknownUser', '00000010'],
      ['00000012_0', 'loginNoRight', '00000012'],
      ['00000013_0', 'loginTooManyClients', '00000013'],
      ['00000003_0', 'loginUnreachable', '00000003'],   // a network failure as the control reports it
      ['00000005_0', 'loginUnreachable', '00000005'],
      ['11111111_0', 'loginUnreachable', '11111111'],
      ['00000008_0', 'loginTimedOut', '00000008'],
      ['00000007_0', 'loginRefused', '00000007'],       // refused without a detail
      ['00000015_0', 'loginRefused', '00000015'],
      ['00000029_0', 'loginRefused', '00000029'],
      ['0000002A_0', 'loginFailed', '0000002a'],        // unknown codes, any case of hex digits
      ['8002001f_0', 'loginFailed', '8002001f'],
      ['00000000_0', 'loginFailed', '00000000'],        // success without a device is no success
    ];
    for (const [result, key, code] of cases)
      assert.deepEqual(describeLogin(result), {ok: false, key, code}, result);
    // Results not in the "%08x_%d" form keep their whole text as the code.
    for (const result of ['', 'faile', '11_0', '00000011_', '00000011_0 ', null])
      assert.deepEqual(describeLogin(result), {ok: false, key: 'loginFailed', code: String(result)}, String(result));
    // Every sentence exists in both languages, and reads with its code.
    for (const [, key] of cases) for (const language of ['en', 'zh-CN']) assert.ok(PAGE_TEXTS[language][key], key);
    assert.equal(pageText('en', 'loginWithCode', pageText('en', 'loginWrongPassword'), '00000011'),
      'Wrong password. (code 00000011)');
    assert.equal(pageText('zh-CN', 'loginWithCode', pageText('zh-CN', 'loginWrongPassword'), '00000011'),
      '密码错误。（代码 00000011）');
  });

  test('the mode a schedule text was written in', () => {
    assert.equal(modeOfScheduleText('[null,[{"E":43199,"S":28800}],null,null,null,null,null]'), 0);
    assert.equal(modeOfScheduleText('[[],null,[{"E":7199,"S":3600,"T":0}],null,null,null,null]'), 1);
    assert.equal(modeOfScheduleText('[null,null,null,null,null,null,null]'), null);
    assert.equal(modeOfScheduleText('not json'), null);
    assert.equal(modeOfScheduleText('{"S":1}'), null);
  });
});

// A WebSocket stand-in whose host is up ('accept'), away ('down': the try
// fails as a refused TCP connection does, with an error and a close event as
// in browsers, or with the error alone as node's WebSocket does) or refuses
// the page after the handshake ('refuse': close code 1008, as velk-dvr-host
// does for a wrong token).
class StandInSocket {
  static host = 'accept';
  static errorAlone = false;
  static made = [];
  static greeting = null;  // the host's $session params, sent on open when set

  constructor(url) {
    this.url = url;
    this.readyState = 0;
    StandInSocket.made.push(this);
    queueMicrotask(() => this.start());
  }

  start() {
    if (StandInSocket.host === 'down') {
      this.onerror?.({});
      if (StandInSocket.errorAlone) return;
      this.readyState = 3;
      this.onclose?.({code: 1006, reason: ''});
      return;
    }
    this.readyState = 1;
    if (StandInSocket.greeting && StandInSocket.host === 'accept') {
      this.onmessage?.({data: JSON.stringify({jsonrpc: '2.0', method: '$session', params: StandInSocket.greeting})});
    }
    this.onopen?.();
    if (StandInSocket.host === 'refuse') this.serverClose(1008, 'refused');
    if (StandInSocket.host === 'full') this.serverClose(1013, 'too many pages');
  }

  send(text) {
    const message = JSON.parse(text);
    if (message.method !== '$methods') return;
    const answer = {jsonrpc: '2.0', id: message.id, result: {methods: [{name: 'GetVolume'}], events: []}};
    queueMicrotask(() => { if (this.readyState === 1) this.onmessage?.({data: JSON.stringify(answer)}); });
  }

  serverClose(code = 1006, reason = '') {
    if (this.readyState === 3) return;
    this.readyState = 3;
    this.onclose?.({code, reason});
  }

  close(code = 1000, reason = '') { this.serverClose(code, reason); }
}

describe('alarm notices', () => {
  test('each alarm the control reports becomes a notice naming the channel and the time', () => {
    const time = '2026-12-08 10:15:07';
    assert.deepEqual(alarmNotice(JSON.stringify({active: true, channel: 3, kind: 'motion', time})),
      {key: 'alarmMotion', args: ['CH04', '10:15:07'], kind: 'error'});
    assert.deepEqual(alarmNotice(JSON.stringify({active: true, channel: 0, kind: 'input', time})),
      {key: 'alarmInput', args: ['CH01', '10:15:07'], kind: 'error'});
    assert.deepEqual(alarmNotice(JSON.stringify({active: true, channel: 15, kind: 'other', time})).key, 'alarmInput');
    assert.deepEqual(alarmNotice(JSON.stringify({active: false, channel: 15, kind: 'motion', time})),
      {key: 'alarmOver', args: ['CH16', '10:15:07'], kind: 'info'});
    // What is not an alarm shows nothing.
    for (const text of ['', 'motion', '[]', 'null', '{"channel":-1,"active":true}', '{"channel":2.5,"active":true}',
      '{"channel":2,"active":"yes"}'])
      assert.equal(alarmNotice(text), null, text);
    // Every key has its text in both languages, with both places filled.
    for (const language of Object.keys(PAGE_TEXTS))
      for (const key of ['alarmMotion', 'alarmInput', 'alarmOver'])
        assert.match(pageText(language, key, 'CH04', '10:15:07'), /CH04.*10:15:07/, `${language} ${key}`);
  });
});

describe('the playback section\'s calendar and choices', () => {
  test('a month\'s weeks start on the language\'s first weekday, with blanks around', () => {
    // December 2026 starts on a Tuesday and has 31 days; February 2026 fills four Monday weeks exactly.
    const sunday = monthWeeks('2026-12', 0);
    assert.deepEqual(sunday[0], [0, 0, 1, 2, 3, 4, 5]);
    assert.deepEqual(sunday.at(-1), [27, 28, 29, 30, 31, 0, 0]);
    assert.deepEqual(monthWeeks('2026-12', 1)[0], [0, 1, 2, 3, 4, 5, 6]);
    const february = monthWeeks('2026-02', 0);
    assert.equal(february.length, 4);
    assert.deepEqual(february[0], [1, 2, 3, 4, 5, 6, 7]);
    assert.equal(monthWeeks('2024-02', 1).flat().filter(Boolean).length, 29);
    for (const weeks of [sunday, february]) assert.ok(weeks.every((week) => week.length === 7));
  });

  test('keys move the focus across months and years; other keys do not', () => {
    assert.equal(dayAfterKey('2026-12-01', 'ArrowLeft'), '2026-11-30');
    assert.equal(dayAfterKey('2026-12-31', 'ArrowRight'), '2027-01-01');
    assert.equal(dayAfterKey('2026-12-03', 'ArrowUp'), '2026-11-26');
    assert.equal(dayAfterKey('2024-02-26', 'ArrowDown'), '2024-03-04');
    // 2026-12-09 is a Wednesday: its week from Monday or from Sunday.
    assert.equal(dayAfterKey('2026-12-09', 'Home', {firstWeekday: 1}), '2026-12-07');
    assert.equal(dayAfterKey('2026-12-09', 'End', {firstWeekday: 1}), '2026-12-13');
    assert.equal(dayAfterKey('2026-12-09', 'Home', {firstWeekday: 0}), '2026-12-06');
    assert.equal(dayAfterKey('2026-12-06', 'End', {firstWeekday: 0}), '2026-12-12');
    // A month on keeps the day, or takes the month's last.
    assert.equal(dayAfterKey('2026-03-31', 'PageUp'), '2026-02-28');
    assert.equal(dayAfterKey('2024-01-31', 'PageDown'), '2024-02-29');
    assert.equal(dayAfterKey('2026-01-15', 'PageUp'), '2025-12-15');
    assert.equal(dayAfterKey('2024-02-29', 'PageDown', {shift: true}), '2025-02-28');
    assert.equal(addMonths('2026-12-31', 2), '2027-02-28');
    assert.equal(dayAfterKey('2026-12-09', 'Enter'), null);
    assert.equal(dayAfterKey('2026-12-09', 'a'), null);
  });

  test('days are real days the recorder can search', () => {
    for (const day of ['2026-12-07', '2024-02-29', '1970-01-01', '2099-12-31']) assert.equal(isDayText(day), true, day);
    for (const day of ['2026-02-29', '2026-13-01', '2026-12-7', '1969-12-31', '2100-01-01', '', null, 20261207])
      assert.equal(isDayText(day), false, String(day));
  });

  test('at most 16 channels, none beyond CH16, and the mask the control takes', () => {
    const sixteen = [...Array(16).keys()];
    assert.deepEqual(tickChannel([3, 1], 2, true), {channels: [1, 2, 3]});
    assert.deepEqual(tickChannel([1, 2, 3], 2, false), {channels: [1, 3]});
    assert.deepEqual(tickChannel([1], 1, true), {channels: [1]});
    assert.deepEqual(tickChannel(sixteen.slice(1), 0, true), {channels: sixteen});
    assert.deepEqual(tickChannel(sixteen, 16, true), {channels: sixteen, refused: 'tooMany'});
    assert.deepEqual(tickChannel([0], 16, true), {channels: [0], refused: 'beyondControl'});
    assert.deepEqual(tickChannel([0, 16], 16, false), {channels: [0]});
    assert.equal(channelMask([0, 1]), 3);
    assert.equal(channelMask(sixteen), 0xffff);
    assert.equal(channelMask([]), 0);
  });

  test('the calendar marks the days of the ticked channels, of any channel when none is', () => {
    const answer = {days: {0: [6, 7], 1: [7, 8], 5: [1]}, month: '2026-12', ok: true};
    assert.deepEqual([...markedDays(answer, [1])].sort(), [7, 8]);
    assert.deepEqual([...markedDays(answer, [0, 5])].sort(), [1, 6, 7]);
    assert.deepEqual([...markedDays(answer, [])].sort(), [1, 6, 7, 8]);
    assert.deepEqual([...markedDays(answer, [3])], []);
    assert.deepEqual([...markedDays({ok: true}, [])], []);
  });

  test('what a reload brings back is cleaned: a real day, channels the control reaches, a known type', () => {
    assert.deepEqual(cleanChoices({day: '2026-12-07', channels: [4, 1, 1], type: 'alarm'}, 16, '2026-12-08'),
      {day: '2026-12-07', channels: [1, 4], type: 'alarm'});
    assert.deepEqual(cleanChoices(null, 16, '2026-12-08'), {day: '2026-12-08', channels: [0, 1, 2, 3], type: 'all'});
    assert.deepEqual(cleanChoices(null, 2, '2026-12-08').channels, [0, 1]);
    assert.deepEqual(cleanChoices({day: '2026-02-30', channels: [1.5, -1, 'x', 7, 17, 2], type: 'motion'}, 8, '2026-12-08'),
      {day: '2026-12-08', channels: [2, 7], type: 'all'});
    assert.deepEqual(cleanChoices({channels: []}, 16, '2026-12-08').channels, []);
    assert.equal(backupKeyOf({channel: 2, start: '2026-12-07 08:15:00'}), 'CH03-20261207081500');
  });
});

describe('what a reload keeps of the page', () => {
  const storage = () => {
    const items = new Map();
    return {getItem: (k) => items.get(k) ?? null, setItem: (k, v) => items.set(k, String(v)),
      removeItem: (k) => items.delete(k), items};
  };

  test('the session round-trips without anything it does not need', () => {
    const store = storage();
    const playback = {day: '2026-12-07', channels: [0, 2], type: 'alarm'};
    savePageSession(store, {devId: 7, address: '127.0.0.1', port: 9000, layout: 4, section: 'playback',
      liveOpened: {channels: 16, streamType: 1}, language: 'zh-CN', password: 'secret', ctrl: {}, playback,
      recorderChannels: 20});
    const kept = loadPageSession(store);
    assert.deepEqual(kept, {devId: 7, address: '127.0.0.1', port: 9000, layout: 4, section: 'playback',
      liveOpened: {channels: 16, streamType: 1}, language: 'zh-CN', playback});
    assert.doesNotMatch([...store.items.values()].join(), /secret/);
    clearPageSession(store);
    assert.equal(loadPageSession(store), null);
  });

  test('nothing usable kept reads as no session, and a failing storage costs nothing', () => {
    for (const text of ['{', 'null', '[]', '{"devId":0}', '{"devId":"7"}', '{"devId":-1}', '{"devId":1.5}']) {
      const store = storage();
      store.setItem('velk-page', text);
      assert.equal(loadPageSession(store), null, text);
    }
    const broken = {getItem() { throw new Error('denied'); }, setItem() { throw new Error('full'); },
      removeItem() { throw new Error('denied'); }};
    assert.doesNotThrow(() => savePageSession(broken, {devId: 1}));
    assert.equal(loadPageSession(broken), null);
    assert.doesNotThrow(() => clearPageSession(broken));
    assert.equal(loadPageSession(null), null);
  });
});

describe('dvr-control.js after losing its host', () => {
  beforeEach(() => {
    StandInSocket.host = 'accept';
    StandInSocket.errorAlone = false;
    StandInSocket.made = [];
    StandInSocket.greeting = null;
    mock.timers.enable({apis: ['setTimeout']});
  });
  afterEach(() => mock.timers.reset());

  const settle = async () => { for (let i = 0; i < 20; ++i) await Promise.resolve(); };
  const connect = async (options) => {
    const ctrl = new DvrControl({url: 'ws://127.0.0.1:1/', token: 't', createWebSocket: (u) => new StandInSocket(u),
      ...options});
    const states = [];
    ctrl.on('state', (s) => states.push(s));
    const opened = ctrl.open();
    await settle();
    await opened;
    return {ctrl, states};
  };
  // The times (ms after now) at which new tries start, over the next ms.
  const triesOver = async (ms) => {
    const times = [];
    for (let t = 1; t <= ms; ++t) {
      const before = StandInSocket.made.length;
      mock.timers.tick(1);
      await settle();
      if (StandInSocket.made.length > before) times.push(t);
    }
    return times;
  };

  for (const [delay, max, errorAlone, expected] of [[100, 400, false, [100, 300, 700, 1100, 1500]],
    [50, 1000, true, [50, 150, 350, 750, 1550]], [300, 300, false, [300, 600, 900, 1200, 1500]]]) {
    test(`tries again after ${delay} ms, then at doubling intervals up to ${max} ms, until the host is back` +
      (errorAlone ? ' (failed tries report an error alone)' : ''), async () => {
        const {ctrl, states} = await connect({reconnectDelayMs: delay, reconnectMaxDelayMs: max});
        StandInSocket.host = 'down';
        StandInSocket.errorAlone = errorAlone;
        StandInSocket.made.at(-1).serverClose();
        assert.deepEqual(await triesOver(expected.at(-1)), expected);
        assert.equal(ctrl.state, 'connecting');
        StandInSocket.host = 'accept';
        const last = expected.at(-1) - expected.at(-2);
        const next = Math.min(max, last * 2);
        assert.deepEqual(await triesOver(next), [next]);
        assert.equal(ctrl.state, 'open');
        assert.deepEqual(states, ['connecting', 'open', 'closed', 'connecting', 'open']);
        // Once back, the next loss starts from the first delay again.
        StandInSocket.made.at(-1).serverClose();
        assert.deepEqual(await triesOver(delay), [delay]);
        assert.equal(ctrl.state, 'open');
        ctrl.close();
      });
  }

  test('a host that refuses the page ends the tries with the state refused', async () => {
    const {ctrl, states} = await connect({reconnectDelayMs: 100, reconnectMaxDelayMs: 100});
    StandInSocket.host = 'refuse';
    const closes = [];
    ctrl.on('close', (c) => closes.push(c));
    StandInSocket.made.at(-1).serverClose();
    assert.deepEqual(await triesOver(1000), [100]);
    assert.equal(ctrl.state, 'refused');
    assert.deepEqual(states.slice(-3), ['closed', 'connecting', 'refused']);
    assert.deepEqual(closes.at(-1), {code: 1008, reason: 'refused'});
    await assert.rejects(ctrl.call('GetVolume', 1), /not connected/);
  });

  test('connecting to a host that refuses the page fails with the state refused', async () => {
    StandInSocket.host = 'refuse';
    const ctrl = new DvrControl({url: 'ws://127.0.0.1:1/', createWebSocket: (u) => new StandInSocket(u)});
    const opened = ctrl.open();
    await settle();
    await assert.rejects(opened, /refused the connection \(1008 refused\)/);
    assert.equal(ctrl.state, 'refused');
    assert.deepEqual(await triesOver(3000), []);
  });

  test('close() between tries stops them', async () => {
    const {ctrl} = await connect({reconnectDelayMs: 100, reconnectMaxDelayMs: 100});
    StandInSocket.host = 'down';
    StandInSocket.made.at(-1).serverClose();
    assert.deepEqual(await triesOver(250), [100, 200]);
    ctrl.close();
    assert.equal(ctrl.state, 'closed');
    assert.deepEqual(await triesOver(1000), []);
  });

  test('a host at its limit of pages gives the state full, and the tries go on until there is room', async () => {
    StandInSocket.host = 'full';
    const ctrl = new DvrControl({url: 'ws://127.0.0.1:1/', createWebSocket: (u) => new StandInSocket(u),
      reconnectDelayMs: 100, reconnectMaxDelayMs: 400});
    const states = [];
    ctrl.on('state', (s) => states.push(s));
    const opened = ctrl.open();
    await settle();
    await assert.rejects(opened, /1013 too many pages/);
    assert.equal(ctrl.state, 'full');
    assert.deepEqual(await triesOver(1000), [100, 300, 700]);  // 100, then 200 and 400 later
    assert.equal(ctrl.state, 'full', 'still full while the tries go on');
    StandInSocket.host = 'accept';
    await triesOver(500);
    assert.equal(ctrl.state, 'open');
    assert.deepEqual(states, ['connecting', 'full', 'open']);
    ctrl.close();
  });

  test('the resume id of the host\'s greeting is kept and presented on every later try', async () => {
    const store = new Map();
    const resumeStore = {getItem: (k) => store.get(k) ?? null, setItem: (k, v) => store.set(k, v),
      removeItem: (k) => store.delete(k)};
    const id = '0123456789abcdef0123456789abcdef';
    StandInSocket.greeting = {resume: id, resumed: false};
    const {ctrl} = await connect({reconnectDelayMs: 100, resumeStore});
    assert.doesNotMatch(StandInSocket.made[0].url, /resume=/);
    assert.deepEqual(ctrl.session, {resume: id, resumed: false});
    assert.deepEqual([...store.values()], [id]);

    // A reconnection presents it (as a reload's new object would).
    StandInSocket.greeting = {resume: id, resumed: true};
    StandInSocket.made.at(-1).serverClose();
    await triesOver(150);
    assert.match(StandInSocket.made.at(-1).url, new RegExp(`resume=${id}`));
    assert.equal(ctrl.session.resumed, true);
    const again = new DvrControl({url: 'ws://127.0.0.1:1/?resume=forged', createWebSocket: (u) => new StandInSocket(u),
      resumeStore});
    await again.open();
    assert.equal(new URL(StandInSocket.made.at(-1).url).searchParams.getAll('resume').join(), id);
    again.close();
    // Forgotten, the next connection asks for a new control.
    ctrl.forgetSession();
    StandInSocket.greeting = null;
    StandInSocket.made.at(-1).serverClose();
    ctrl.close();
    const fresh = new DvrControl({url: 'ws://127.0.0.1:1/', createWebSocket: (u) => new StandInSocket(u), resumeStore});
    await fresh.open();
    assert.doesNotMatch(StandInSocket.made.at(-1).url, /resume=/);
    fresh.close();
  });

  test('the pixel ratio goes to the host in quarter steps from 1 to 3; sizes stay in control pixels', async () => {
    const urlFor = (pixelRatio) => new URL(new DvrControl({url: 'ws://127.0.0.1:1/', pixelRatio})._tryUrl());
    assert.equal(urlFor(1).searchParams.get('dpr'), null);
    assert.equal(urlFor(1.6).searchParams.get('dpr'), '1.5');
    assert.equal(urlFor(2).searchParams.get('dpr'), '2');
    assert.equal(urlFor(9).searchParams.get('dpr'), '3');
    assert.equal(urlFor(0.5).searchParams.get('dpr'), null);
    assert.equal(urlFor('x').searchParams.get('dpr'), null);
  });

  test('a lost first connection is not tried again, nor one closed by the page', async () => {
    StandInSocket.host = 'down';
    StandInSocket.errorAlone = true;
    const ctrl = new DvrControl({url: 'ws://127.0.0.1:1/', createWebSocket: (u) => new StandInSocket(u)});
    const opened = ctrl.open();
    await settle();
    await assert.rejects(opened, /refused the connection/);
    assert.equal(ctrl.state, 'closed');
    assert.deepEqual(await triesOver(3000), []);

    StandInSocket.host = 'accept';
    const open = await connect({reconnectDelayMs: 100});
    open.ctrl.close();
    assert.equal(open.ctrl.state, 'closed');
    assert.deepEqual(await triesOver(1000), []);
  });
});

describe('the overlay tab between the recorder and the control', () => {
  const doc = {
    motion: '01'.padEnd(64, '0'),
    masks: [{x: 0, y: 0, width: 704, height: 576}, {x: 300, y: 40, width: 24, height: 16}],
    osd: [{index: 0, text: 'CH01', x: 24, y: 24, visible: true}, {index: 2, text: '门口', x: 0, y: 540, visible: false}],
  };

  test('loading hands the control left edges 8 further right and the picture as reference', () => {
    assert.deepEqual(loadCalls(7, KIND_MOTION, doc), [['SetOverlayMDInitData', 7, doc.motion, 0]]);
    assert.deepEqual(loadCalls(7, KIND_MASKS, doc), [
      ['SetOverlayShelterInitData', 7, 0, 8, 0, 704, 576, 704, 576],
      ['SetOverlayShelterInitData', 7, 1, 308, 40, 324, 56, 704, 576]]);
    assert.deepEqual(loadCalls(7, KIND_TEXTS, doc), [
      ['SetOverlayOsdInitData', 7, 0, 0, 'CH01', 1, 704, 576, 32, 24],
      ['SetOverlayOsdInitData', 7, 2, 0, '门口', 0, 704, 576, 8, 540]]);
    const many = {masks: Array.from({length: 7}, (_, i) => ({x: i, y: i, width: 10, height: 10}))};
    assert.equal(loadCalls(1, KIND_MASKS, many).length, 5);
  });

  test('the control\'s answers read back as the recorder\'s values', () => {
    assert.deepEqual(maskFromText('308_40_24_16'), {x: 300, y: 40, width: 24, height: 16});
    assert.deepEqual(maskFromText('8_0_704_576'), {x: 0, y: 0, width: 704, height: 576});
    assert.equal(maskFromText('0_0_0_0'), null);
    for (const bad of ['', 'faile 1', '1_2_3', '1_2_3_x', '1_2_3_4_5']) assert.equal(maskFromText(bad), null, bad);
    assert.deepEqual(textItemFromText('3_24_540'), {count: 3, x: 24, y: 540});
    assert.equal(textItemFromText('faile 2'), null);
    // What the mouse drew at an edge stays inside the picture.
    assert.deepEqual(clampMask({x: 700, y: 570, width: 12, height: 12}), {x: 700, y: 570, width: 4, height: 6});
    assert.deepEqual(clampMask({x: -4, y: 0, width: 0, height: 900}), {x: 0, y: 0, width: 1, height: 576});
  });

  test('text items keep their text and visibility and take the control\'s positions', () => {
    const merged = mergeTextItems(doc.osd, {0: {count: 2, x: 100, y: 60}, 2: {count: 2, x: 900, y: -3}});
    assert.deepEqual(merged, [
      {index: 0, text: 'CH01', x: 100, y: 60, visible: true},
      {index: 2, text: '门口', x: 703, y: 0, visible: false}]);
    assert.ok(sameKind(KIND_TEXTS, doc, {osd: doc.osd.map((i) => ({...i}))}));
    assert.ok(!sameKind(KIND_TEXTS, doc, {osd: merged}));
    assert.ok(sameKind(KIND_MOTION, doc, {motion: doc.motion, masks: []}));
    // The recorder answers with its keys sorted.
    assert.ok(sameKind(KIND_MASKS, doc, {masks: doc.masks.map(({height, width, x, y}) => ({height, width, x, y}))}));
    assert.ok(!sameKind(KIND_MASKS, doc, {masks: doc.masks.slice(1)}));
  });
});
