// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's page: log in, the live view with the channel list, the
// control's picture and its toolbar, playback, the schedule, the local settings, the
// language switch, downloads of recorded clips, notices for the user and a
// folded log of events.
// Sections are tabs: a section adds a tab button and a <section> with the
// same data-section name, and registers itself in SECTIONS; one
// that shows the control names the control's page (SwitchPage) it needs.
import {listenForAlarms} from './alarm-notices.js';
import {channelName, createChannelList} from './channel-list.js';
import {DvrControl} from './dvr-control.js';
import {encipherPassword} from './des.js';
import {screenSize, wireFullScreen} from './full-screen.js';
import {drawIcons} from './icons.js';
import {LANGUAGES} from './languages.js';
import {applyPageTexts, pageText} from './page-texts.js';
import {describeLogin} from './login-result.js';
import {createNotices} from './notices.js';
import {listenForRecording, refreshRecordingTexts, resetRecording, restoreRecording, wireRecording}
  from './record-section.js';
import {createPlaybackSection} from './playback-section.js';
import {createDownloadsSection} from './downloads-section.js';
import {formatCode} from './result-codes.js';
import {createScheduleSection} from './schedule-section.js';
import {createOverlaySection} from './overlay-section.js';
import {loadStreamAuto, saveStreamAuto, streamForLayout} from './stream-choice.js';
import {clearPageSession, loadPageSession, savePageSession} from './page-session.js';

const $ = (id) => document.getElementById(id);
const params = new URLSearchParams(location.search);
const MAX_STATUS_LINES = 200;
const LIVE_PAGE = 0;       // the control's live preview page
const UNKNOWN_PAGE = -1;   // the control's page is not known (before log-in)
const OPEN_STATE = 0;      // ReTurnPreviewAllChannelState type: channels open
const RECORD_STATE = 1;    // ReTurnPreviewAllChannelState type: channels recording
const RECORDER_STATE = 2;  // ReTurnPreviewAllChannelState type: the recorder was lost or logged in again
const RECORDER_BACK_SHOWN_MS = 10000;  // how long "Recorder back" stays up
// Recorder state events this close are one change (each session of the
// control reports the same loss); the library logs in again ~0.5 s after a
// loss at the soonest, so its report stays apart.
const RECORDER_EVENTS_MERGED_MS = 250;

const state = {
  ctrl: null, devId: 0, channels: 16, language: 'en', section: 'live',
  controlPage: UNKNOWN_PAGE,
  openMask: 0,         // the live channels open, as the last ReTurnPreviewAllChannelState type 0 told
  recordMask: 0,       // the channels recording (type 1)
  liveOpen: false,     // the page opened the live channels and did not close them
  reopenLive: false,   // the control closed them on leaving the live page: open again on return
  liveOpened: null,    // {channels, streamType} of the page's last StartViewAll, while not closed
  recorderLost: false, // the control reported the recorder lost and not yet back
  layout: 16,          // the window count of the layout the page chose last
  activeWindow: -1,    // the window the control reported clicked last
  recordingSince: 0,   // Date.now() when the page saw recording start, 0 while none records
  address: '', port: 0, // the recorder logged in to
  webPort: 80,         // the recorder's web port as the page told the control (SetWebport): part of its file paths
  sound: false,        // live sound on
  recorderChannels: 0, // the recorder's channel count from /api/info (channels is at most 16: the live grid)
  withoutSub: [],      // channels without a sub stream, from /api/info
  playback: null,      // the playback section's {day, channels, type}
  downloads: null,     // the downloads section's {counter, tag, rows, channel, day}
};
window.velk = state;  // for the browser's console and for page tests

function status(text) {
  const line = document.createElement('div');
  line.textContent = `${new Date().toLocaleTimeString()}  ${text}`;
  const log = $('status');
  log.append(line);
  while (log.childElementCount > MAX_STATUS_LINES) log.firstElementChild.remove();
  log.scrollTop = log.scrollHeight;
}

// Calls a control method and reports its result on the status line.
async function run(name, ...args) {
  try {
    const result = await state.ctrl.call(name, ...args);
    status(`${name} ${result === null ? 'done' : typeof result === 'number' ? formatCode(result) : JSON.stringify(result)}`);
    return result;
  } catch (e) {
    status(`${name} failed: ${e.message}`);
    notice({key: 'callFailed', args: [name, e.message], kind: 'error'});
    return undefined;
  }
}

// Shows the control's page n. Leaving the live page closes the control's
// live channels, so they are opened again when the live page returns.
async function switchControlPage(n) {
  if (state.controlPage === n) return;
  if (state.controlPage === LIVE_PAGE) state.reopenLive = state.liveOpen;
  const result = await state.ctrl.SwitchPage(n);
  status(`SwitchPage(${n}) ${formatCode(result)}`);
  state.controlPage = n;
  keepSession();
}

const text = (key, ...args) => pageText(state.language, key, ...args);
const isPicture = (element) => element === $('control');
const notices = createNotices($('notices'), {setText: (element, key, ...args) => setPageText(element, key, ...args), text, isPicture});
// A short notice for the user: {key, args, kind, ms, fill}.
function notice(options) {
  return notices.show(options);
}

const page = {state, $, status, run, switchControlPage, text, notice, openAll: () => openAll(),
  showLayout: (count) => showLayout(count), setText: (element, key, ...args) => setPageText(element, key, ...args),
  keepSession: () => keepSession(),
  // Queues recorded clips [{channel, file, start, end}] in the downloads list.
  queueDownloads: (clips) => SECTIONS.downloads.queue(clips)};
const channelList = createChannelList(page);

async function recorderInfo() {
  try {
    const response = await fetch('/api/info', {cache: 'no-store'});
    if (response.ok) return await response.json();
  } catch {
    // Served from elsewhere: the form keeps its defaults.
  }
  return {};
}

// The header's word for each state of the host's connection.
const CONNECTION_TEXTS = {
  connecting: 'connectionConnecting', open: 'connectionOpen', closed: 'connectionClosed', refused: 'connectionRefused',
  full: 'connectionFull',
};

// A lost connection is reopened by the control object; while it is, and
// when the host refuses the page for good, a line under the header says so.
let hostWasOpen = false;
function showHostProblem(connectionState) {
  if (connectionState === 'open') hostWasOpen = true;
  const key = connectionState === 'refused' ? 'hostRefused'
    : connectionState === 'full' ? 'hostFull'
      : hostWasOpen && connectionState !== 'open' ? 'hostReconnecting' : '';
  const line = $('host-problem');
  line.dataset.text = key;
  line.textContent = key ? pageText(state.language, key) : '';
  line.hidden = !key;
}

// The picture's pixels per CSS pixel: the screen's, so that the control's
// texts are sharp on a 2x screen, but not so many that the frames grow much
// beyond full HD (their cost grows with them).
function pagePixelRatio() {
  const ratio = Math.min(window.devicePixelRatio || 1, 2, 2200 / Math.max(1, window.innerWidth));
  return Math.max(1, Math.floor(ratio * 4) / 4);
}

async function connectHost() {
  const wsPort = params.get('ws') || '8081';
  const token = params.get('token') || '';
  const host = location.hostname === 'localhost' ? 'localhost' : '127.0.0.1';
  state.ctrl?.close();
  const ctrl = new DvrControl({url: `ws://${host}:${wsPort}/`, token, canvas: $('control'),
    pixelRatio: pagePixelRatio()});
  // Known at once: a page the host turns away for now ('full') connects by
  // itself later, through this object.
  state.ctrl = ctrl;
  ctrl.on('$session', (greeting) => sessionGreeted(greeting).catch((e) => status(e.message)));
  ctrl.on('state', (s) => {
    // data-state keeps the control's word whatever the language shows.
    $('connection').dataset.state = s;
    setPageText($('connection'), CONNECTION_TEXTS[s] || 'connectionNone');
    $('connection').classList.toggle('open', s === 'open');
    status(`host: ${s}`);
    showHostProblem(s);
  });
  for (const name of ['ReTurnPreviewActiveChl', 'ReTurnPreviewAllChannelState', 'UploadAlarm', 'UploadBackupProcess'])
    ctrl.on(name, (p) => status(`${name} ${JSON.stringify(p)}`));
  ctrl.on('ReTurnPreviewAllChannelState', ({ulType, ulOpen}) => {
    if (ulType === RECORDER_STATE) recorderStateChanged().catch((e) => status(e.message));
    if (ulType !== OPEN_STATE) return;
    state.openMask = ulOpen;
    if (state.controlPage === LIVE_PAGE) state.liveOpen = ulOpen !== 0;
  });
  ctrl.on('ReTurnPreviewActiveChl', ({ulActiveChannel}) => { state.activeWindow = Number(ulActiveChannel); });
  listenForRecording(page, ctrl);
  listenForAlarms(page, ctrl);
  SECTIONS.downloads.listen(ctrl);
  // The channel list follows every change of the open and recording masks
  // (registered after the listeners that keep them).
  ctrl.on('ReTurnPreviewAllChannelState', ({ulType}) => {
    if (ulType === OPEN_STATE || ulType === RECORD_STATE) channelList.refresh();
  });
  ctrl.on('ReTurnPreviewActiveChl', () => channelList.refresh());
  await ctrl.open();
  return ctrl;
}

// The host's greeting on every connection. A resumed control is the one
// this tab had (a reload, a blip): still logged in, so the page shows it
// as it was. A new control after the page had a session means that
// session ended (the page was away too long, the host restarted).
async function sessionGreeted({resumed}) {
  const kept = loadPageSession(sessionStorage);
  if (resumed) {
    if (state.devId || !kept) return;
    // The greeting comes first; the control's methods are known once open.
    const ctrl = state.ctrl;
    if (ctrl.state !== 'open') {
      await new Promise((done) => {
        const off = ctrl.on('state', (s) => { if (s !== 'connecting') { off(); done(); } });
      });
    }
    if (ctrl.state === 'open' && !state.devId) await restoreSession(kept);
    return;
  }
  clearPageSession(sessionStorage);
  if (state.devId || kept) {
    showLoggedOut();
    notice({key: 'sessionEnded', kind: 'error'});
  }
}

// The page as it was before the reload; the control kept everything else.
async function restoreSession(kept) {
  resetRecorderState();
  SECTIONS.schedule.reset();
  SECTIONS.overlay.reset();
  SECTIONS.playback.reset();
  Object.assign(state, kept);
  SECTIONS.downloads.restore();
  if (kept.language && kept.language !== 'en') {
    $('language').value = kept.language;
    await applyLanguage(kept.language, {control: false});  // the control has its texts
  }
  $('sound').setAttribute('aria-pressed', String(Boolean(kept.sound)));
  $('login').hidden = true;
  $('sections').hidden = false;
  channelList.build(state.channels);
  followViewSize();
  showLayout(state.layout);
  showStreamChoice();
  restoreRecording(page, kept.recordMask, kept.recordingSince);
  channelList.refresh();
  notice({key: 'sessionResumed', args: [`${state.address}:${state.port}`], kind: 'ok'});
  status(`session resumed: device ${state.devId}`);
  await showSection(state.section);
}

// Keeps what a reload needs, while logged in.
function keepSession() {
  if (state.devId) savePageSession(sessionStorage, state);
}

// The log-in form again, the page's session forgotten.
function showLoggedOut() {
  state.devId = 0;
  state.liveOpen = false;
  state.liveOpened = null;
  state.controlPage = UNKNOWN_PAGE;
  clearPageSession(sessionStorage);
  resetRecorderState();
  resetRecording(page);
  SECTIONS.downloads.reset();  // the control stops every download at log-out
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  $('sections').hidden = true;
  $('login').hidden = false;
  notices.clear();
}

// The stream live windows open with: with the option on, the sub stream in
// grids and the main stream in a single window; else the one chosen.
function wantedStream() {
  return streamForLayout(state.layout, $('stream-auto').checked, Number($('stream-type').value), !withoutSub().length);
}

// The live channels (of the grid's) that have no sub stream.
function withoutSub() {
  return state.withoutSub.filter((channel) => channel < state.channels);
}

async function openAll() {
  const opened = {channels: state.channels, streamType: wantedStream()};
  const result = await run('StartViewAll', state.devId, opened.channels, opened.streamType);
  if (result === 0) {
    state.liveOpen = true;
    state.liveOpened = opened;
    keepSession();
    // The control reports no mask for StartViewAll (only for its menu's
    // open and close): the channels asked for count as open.
    state.openMask = (2 ** opened.channels - 1) >>> 0;
    channelList.refresh();
  }
}

// A text of the page that follows the language: the element keeps its key
// and arguments, so that applyLanguage can write it again. An argument
// {text: key} is itself a page text.
function setPageText(element, key, ...args) {
  element.dataset.textKey = key;
  element.dataset.textArgs = JSON.stringify(args);
  refreshPageText(element);
}

function refreshPageText(element) {
  const key = element.dataset.textKey;
  const args = JSON.parse(element.dataset.textArgs || '[]')
    .map((arg) => (arg && typeof arg === 'object' ? pageText(state.language, arg.text) : arg));
  element.textContent = key ? pageText(state.language, key, ...args) : '';
}

// "Wrong password. (code 00000011)": the sentence with the code for support.
function showLoginError(key, code) {
  if (key) setPageText($('login-error'), 'loginWithCode', {text: key}, code);
  else setPageText($('login-error'), '');
}

// The control reports the recorder's connection with type 2 when it is lost
// and again when the library has logged in again; the event itself does not
// say which. Events alternate from a fresh log-in (lost, back, lost, …), and
// each one reopens the live channels the page had open: while the recorder
// is away the windows keep trying, and once it is back they open at once
// (StartViewAll leaves channels that are open alone).
let recorderBackTimer = 0;
function showRecorderState(which) {
  clearTimeout(recorderBackTimer);
  const line = $('recorder-state');
  line.dataset.state = which;
  setPageText(line, which === 'lost' ? 'recorderLost' : which === 'back' ? 'recorderBack' : '');
  line.hidden = !which;
  channelList.refresh();
  if (which === 'back') recorderBackTimer = setTimeout(() => showRecorderState(''), RECORDER_BACK_SHOWN_MS);
}

let lastRecorderEvent = -Infinity;
async function recorderStateChanged() {
  if (!state.devId) return;
  // Every session of the control reports its own loss: events close together
  // are one change of the recorder.
  const now = performance.now();
  const sameChange = now - lastRecorderEvent < RECORDER_EVENTS_MERGED_MS;
  lastRecorderEvent = now;
  if (sameChange) return;
  state.recorderLost = !state.recorderLost;
  showRecorderState(state.recorderLost ? 'lost' : 'back');
  const opened = state.liveOpened;
  if (!opened || !state.liveOpen) return;
  if (state.controlPage !== LIVE_PAGE) {
    state.reopenLive = true;  // the live section opens them when it shows again
    return;
  }
  await run('StartViewAll', state.devId, opened.channels, opened.streamType);
}

function resetRecorderState() {
  state.recorderLost = false;
  state.openMask = 0;
  state.activeWindow = -1;
  lastRecorderEvent = -Infinity;
  showRecorderState('');
}

async function login(event) {
  event.preventDefault();
  showLoginError('');
  $('login-button').disabled = true;
  try {
    let ctrl = state.ctrl;
    if (!ctrl || ctrl.state === 'closed' || ctrl.state === 'refused') ctrl = await connectHost();
    if (ctrl.state !== 'open') {
      setPageText($('login-error'), ctrl.state === 'full' ? 'hostFull' : 'hostNotConnected');
      return;
    }
    const address = $('login-address').value.trim();
    const port = Number($('login-port').value);
    // The control names the recorder's settings file and download folders
    // after its web port: the one this page came from.
    const webPort = Number(location.port) || (location.protocol === 'https:' ? 443 : 80);
    await ctrl.SetWebport(webPort);
    const result = await ctrl.Login(address, port, $('login-user').value, encipherPassword($('login-password').value));
    state.address = address;
    state.port = port;
    state.webPort = webPort;
    status(`Login ${result}`);
    const outcome = describeLogin(result);
    if (!outcome.ok) {
      showLoginError(outcome.key, outcome.code);
      return;
    }
    const devId = outcome.devId;
    resetRecorderState();
    SECTIONS.schedule.reset();
    SECTIONS.overlay.reset();
    SECTIONS.playback.reset();
    SECTIONS.downloads.reset();
    $('login').hidden = true;
    $('sections').hidden = false;
    channelList.build(state.channels);
    followViewSize();
    await ctrl.SetChannelCnt(devId, state.channels);
    showLayout(state.channels);  // the control lays its grid out for the count
    showStreamChoice();
    // Sound follows the button.
    state.sound = $('sound').getAttribute('aria-pressed') === 'true';
    await ctrl.SetPreviewSoundState(devId, state.sound ? 1 : 0);
    if (state.language !== 'en') await applyLanguage(state.language);
    // A control kept over a log-out may still show another of its pages.
    state.controlPage = UNKNOWN_PAGE;
    state.reopenLive = false;
    await switchControlPage(LIVE_PAGE);
    // Tabs chosen until here only showed; from here on they drive the control.
    state.devId = devId;
    notice({key: 'loggedIn', args: [`${address}:${port}`], kind: 'ok'});
    await openAll();
    await loadSettings();
    await showSection(state.section);
    keepSession();
  } catch (e) {
    setPageText($('login-error'), '');
    $('login-error').textContent = e.message;
  } finally {
    $('login-button').disabled = false;
  }
}

// The control takes the size of the element that shows it, so that the
// picture shows at the size the control draws it (one CSS pixel a pixel):
// the element's width (its CSS fits it into the room left at 16:9), or the
// screen's size while it is full screen.
let resizeTimer = 0;
let followingViewSize = false;
function resizeControl({width, height}) {
  const size = state.ctrl?.controlSize;
  if (state.ctrl && size && (size.width !== width || size.height !== height))
    state.ctrl.resize(width, height).catch((e) => status(`resize: ${e.message}`));
}

// On a phone the playback page's bar (its timeline and buttons, 170 pixels
// high) would leave the recorded pictures a strip of a 16:9 control: there
// the control grows by the bar, so the pictures keep 16:9.
const PLAYBACK_BAR_HEIGHT = 170;
const narrowScreen = window.matchMedia('(max-width: 760px)');

function viewSize() {
  if (fullScreen.isOn()) return screenSize(window.screen);
  const width = Math.max(320, Math.min(1920, Math.floor($('view').clientWidth)));
  const bar = state.section === 'playback' && narrowScreen.matches ? PLAYBACK_BAR_HEIGHT : 0;
  return {width, height: Math.max(180, Math.floor(width * 9 / 16) + bar)};
}

function followViewSize() {
  if (followingViewSize) return;
  followingViewSize = true;
  const view = $('view');
  const apply = () => {
    if (!view.checkVisibility()) return;
    resizeControl(viewSize());
  };
  new ResizeObserver(() => { clearTimeout(resizeTimer); resizeTimer = setTimeout(apply, 200); }).observe(view);
}

const fullScreen = wireFullScreen({
  view: $('view'), button: $('full-screen'), resize: resizeControl, status,
  currentSize: () => state.ctrl?.controlSize || viewSize(),
});

// Marks the layout button of count windows as pressed (none when the grid
// has another count). The control's own gestures (double click shows one
// window alone) do not tell the page, so this is the layout the page chose.
function showLayout(count) {
  state.layout = count;
  keepSession();
  for (const button of document.querySelectorAll('[data-layout]'))
    button.setAttribute('aria-pressed', String(Number(button.dataset.layout) === count));
}

// Tab and Shift+Tab move the page's focus out of the picture instead of
// going to the control: caught on the way down to the canvas, before the
// control object's own key handler sees them. A click focuses the picture
// without a keyboard focus ring.
function letTabLeaveThePicture() {
  $('view').addEventListener('keydown', (e) => {
    if (e.key === 'Tab' && e.target === $('control') && !e.ctrlKey && !e.altKey && !e.metaKey) e.stopPropagation();
  }, {capture: true});
  // The control focuses the canvas itself on a press, which Chromium counts
  // as a script's focus and rings when the keyboard was last used: the
  // canvas is marked as focused by the pointer until it loses the focus.
  const canvas = $('control');
  canvas.addEventListener('mousedown', () => { canvas.dataset.pointerFocus = ''; });
  canvas.addEventListener('blur', () => { delete canvas.dataset.pointerFocus; });
}

function wireLive() {
  letTabLeaveThePicture();
  for (const button of document.querySelectorAll('[data-layout]')) {
    button.addEventListener('click', async () => {
      const count = Number(button.dataset.layout);
      if (await run('ShowChannels', count) === undefined) return;
      showLayout(count);
      await followStreamChoice();
    });
  }
  $('page-prev').addEventListener('click', () => run('PreviousGoupVides'));
  $('page-next').addEventListener('click', () => run('NextGroupVideos'));
  $('stream-type').addEventListener('change', (e) => switchStream(Number(e.target.value)));
  $('stream-auto').addEventListener('change', async (e) => {
    saveStreamAuto(localStorage, e.target.checked);
    showStreamChoice();
    await followStreamChoice();
  });
  $('sound').addEventListener('click', async () => {
    const on = $('sound').getAttribute('aria-pressed') !== 'true';
    if (await run('SetPreviewSoundState', state.devId, on ? 1 : 0) === 0) {
      $('sound').setAttribute('aria-pressed', String(on));
      state.sound = on;
      keepSession();
    }
  });
  $('volume').addEventListener('change', (e) => run('SetVolume', state.devId, 0, Number(e.target.value)));
  $('open-all').addEventListener('click', () => openAll());
  $('close-all').addEventListener('click', async () => {
    if (await run('StopPreviewAll', state.devId) === 0) {
      state.liveOpen = false;
      state.liveOpened = null;
      state.openMask = 0;
      channelList.refresh();
      keepSession();
    }
  });
  wireRecording(page);
  $('logout').addEventListener('click', async () => {
    await run('Logout', state.devId);
    showLoggedOut();
    notice({key: 'loggedOut'});
  });
}

async function switchStream(streamType) {
  if (await run('SwitchPreviewStreamType', state.devId, streamType) === 0 && state.liveOpened)
    state.liveOpened = {...state.liveOpened, streamType};
}

// With the option on the layout chooses the stream: the selector hides.
function showStreamChoice() {
  const auto = $('stream-auto').checked;
  $('stream-type').closest('label').hidden = auto;
  const missing = withoutSub();
  $('stream-no-sub').hidden = !auto || !missing.length;
  if (missing.length) setPageText($('stream-no-sub'), 'streamNoSub', missing.map(channelName).join(text('listSeparator')));
}

// The open live windows switch to the stream the option (or the selector) wants.
async function followStreamChoice() {
  showStreamChoice();
  const streamType = wantedStream();
  if (state.devId && state.liveOpened && state.liveOpened.streamType !== streamType) await switchStream(streamType);
}

// Loads overlap (at log-in and when the tab opens): only the newest one fills
// the form, all at once, so a slower older load never overwrites what the
// user typed. The form carries data-loading while a load is under way.
let settingsLoads = 0;
async function loadSettings() {
  const load = ++settingsLoads;
  const form = $('settings-form');
  form.dataset.loading = '1';
  const inputs = [...form.querySelectorAll('[data-key]')];
  const values = [];
  for (const input of inputs)
    values.push(await state.ctrl.SetLocalParameter(state.devId, input.dataset.key, '', 'get'));
  if (load !== settingsLoads) return;
  inputs.forEach((input, i) => { input.value = values[i]; });
  delete form.dataset.loading;
  setPageText($('settings-result'), '');
}

async function saveSettings(event) {
  event.preventDefault();
  const failed = [];
  for (const input of document.querySelectorAll('#settings-form [data-key]')) {
    const result = await state.ctrl.SetLocalParameter(state.devId, input.dataset.key, input.value, 'set');
    if (result !== 'succeed') failed.push(`${input.dataset.key}: ${result}`);
  }
  if (failed.length) setPageText($('settings-result'), 'settingsNotSaved', failed.join(', '));
  else setPageText($('settings-result'), 'settingsSaved');
  status(`SetLocalParameter ${failed.length ? failed.join(', ') : 'succeed'}`);
}

async function applyLanguage(language, {control = true} = {}) {
  const table = LANGUAGES[language];
  if (!table) return;
  state.language = language;
  document.documentElement.lang = language;
  applyPageTexts(document, language);
  for (const element of document.querySelectorAll('[data-text-key]')) refreshPageText(element);
  channelList.refresh();
  showStreamChoice();  // its note lists channels with the language's separator
  refreshRecordingTexts(page);
  SECTIONS.playback.refreshTexts();
  SECTIONS.downloads.refreshTexts();
  keepSession();
  if (!state.ctrl || !control || state.ctrl.state !== 'open') return;
  let replaced = 0;
  for (const [key, value] of Object.entries(table)) {
    if (await state.ctrl.SetLanguageString(state.devId, key, value) === 0) ++replaced;
  }
  status(`SetLanguageString ${language}: ${replaced} of ${Object.keys(table).length} texts replaced`);
}

const SECTIONS = {
  live: {
    controlPage: LIVE_PAGE,
    async show() {
      if (!state.reopenLive) return;
      state.reopenLive = false;
      await openAll();
    },
  },
  playback: createPlaybackSection(page),
  downloads: createDownloadsSection(page),
  schedule: createScheduleSection(page),
  overlay: createOverlaySection(page),
  settings: {show: () => loadSettings()},
};

// The accessible name of the picture in each section that shows it.
const CANVAS_LABELS = {live: 'canvasLive', playback: 'canvasPlayback', schedule: 'canvasSchedule',
  overlay: 'canvasOverlay'};

async function showSection(name) {
  const section = SECTIONS[name];
  if (!section) return;
  const left = state.section !== name ? SECTIONS[state.section] : null;
  state.section = name;
  keepSession();
  for (const tab of document.querySelectorAll('#tabs [data-section]'))
    tab.setAttribute('aria-selected', String(tab.dataset.section === name));
  for (const element of document.querySelectorAll('#sections > .section'))
    element.hidden = element.dataset.section !== name;
  // The picture moves into the shown section's place for it.
  const slot = document.querySelector(`#sections > .section[data-section="${name}"] [data-view-slot]`);
  if (slot && $('view').parentElement !== slot) slot.append($('view'));
  $('view').hidden = section.controlPage === undefined;
  if (!$('view').hidden && state.ctrl && !fullScreen.isOn() && $('view').checkVisibility()) resizeControl(viewSize());
  $('control').dataset.label = CANVAS_LABELS[name] || 'canvasLive';
  $('control').setAttribute('aria-label', pageText(state.language, $('control').dataset.label));
  if (!state.devId) return;
  try {
    // A section may end what it started in the control (playback stops).
    if (left?.leave) await left.leave();
    if (section.controlPage !== undefined) await switchControlPage(section.controlPage);
    if (section.show) await section.show();
  } catch (e) {
    status(e.message);
  }
  keepSession();
}

async function start() {
  drawIcons(document);
  $('stream-auto').checked = loadStreamAuto(localStorage);
  showStreamChoice();
  const info = await recorderInfo();
  $('login-address').value = params.get('address') || location.hostname || '127.0.0.1';
  $('login-port').value = params.get('port') || info.devicePort || 9000;
  if (info.channels) {
    state.recorderChannels = Number(info.channels);
    state.channels = Math.min(16, state.recorderChannels);
  }
  if (Array.isArray(info.channelsWithoutSubStream))
    state.withoutSub = info.channelsWithoutSubStream.filter(Number.isInteger);
  showStreamChoice();
  $('login-form').addEventListener('submit', login);
  $('settings-form').addEventListener('submit', saveSettings);
  $('settings-load').addEventListener('click', () => loadSettings());
  $('language').addEventListener('change', (e) => applyLanguage(e.target.value));
  for (const tab of document.querySelectorAll('#tabs [data-section]'))
    tab.addEventListener('click', () => showSection(tab.dataset.section));
  wireLive();
  try {
    await connectHost();
  } catch (e) {
    status(`host: ${e.message}`);
  }
}

start();
