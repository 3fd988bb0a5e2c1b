// SPDX-License-Identifier: GPL-3.0-or-later
// Local recording and snapshots on the live toolbar: Record, Stop recording
// and Snapshot call the control; the host's $snapshot notification names
// the saved file (and may carry the JPEG itself, base64 in `jpeg`: then the
// notice shows it with a download link), and ReTurnPreviewAllChannelState
// type 1 (the channels recording, as a bit mask) drives the REC mark over
// the picture, which counts the time since the page saw recording start.
import {iconElement} from './icons.js';
import {channelsOfMask, formatCode} from './result-codes.js';

const RECORD_STATE = 1;  // ReTurnPreviewAllChannelState type: channels recording
const SNAPSHOT_SHOWN_MS = 12000;

// "00:01:23" for 83 seconds; hours go on past 99.
export function formatElapsed(ms) {
  const seconds = Math.max(0, Math.floor(ms / 1000));
  const two = (n) => String(n).padStart(2, '0');
  return `${two(Math.floor(seconds / 3600))}:${two(Math.floor(seconds / 60) % 60)}:${two(seconds % 60)}`;
}

// The file's name in a path of either kind of separator.
export function baseName(path) {
  return String(path).split(/[\\/]/).pop() || 'snapshot.jpeg';
}

// page: {state, $, run, status, text, notice}
export function wireRecording(page) {
  const {state, $, run} = page;
  $('record-start').addEventListener('click', async () => {
    const result = await run('StartRecord', state.devId, 0, '');
    if (result === 0 && await recordingShown(page)) page.notice({key: 'recordStarted', kind: 'recording'});
    else if (result === 0) page.notice({key: 'recordNothing', kind: 'error'});
    else if (result !== undefined) page.notice({key: 'recordFailed', args: [formatCode(result)], kind: 'error'});
  });
  $('record-stop').addEventListener('click', async () => {
    if (await run('StopRecord', state.devId, 0) === 0) page.notice({key: 'recordStopped', kind: 'ok'});
  });
  // The snapshot is of the selected window: click one first.
  $('snapshot').addEventListener('click', async () => {
    const result = await run('CaptureImage', state.devId);
    if (result !== 0 && result !== undefined) page.notice({key: 'snapshotFailed', args: [formatCode(result)], kind: 'error'});
  });
}

// Whether some channel records, waiting briefly for the control's record
// mask: StartRecord answers 0 also when no window plays yet (nothing to
// record), and the mask may arrive just after the answer.
const RECORD_MASK_WAIT_MS = 1500;
async function recordingShown(page) {
  for (let waited = 0; page.state.recordMask === 0 && waited < RECORD_MASK_WAIT_MS; waited += 100)
    await new Promise((resolve) => setTimeout(resolve, 100));
  return page.state.recordMask !== 0;
}

// The REC mark: shown while any channel records, with the time since the
// page saw the first channel start (the control does not say when that was).
let recordingSince = 0;
let recordingTimer = 0;
function showRecording(page, mask) {
  page.state.recordMask = mask;
  page.keepSession?.();
  const indicator = page.$('rec-indicator');
  indicator.hidden = mask === 0;
  indicator.title = mask === 0 ? '' : page.text('recording', channelsOfMask(mask));
  indicator.dataset.mask = String(mask);
  if (mask === 0) {
    clearInterval(recordingTimer);
    recordingTimer = 0;
    recordingSince = 0;
    page.state.recordingSince = 0;
    return;
  }
  if (!recordingSince) {
    recordingSince = page.state.recordingSince || Date.now();
    page.state.recordingSince = recordingSince;
    const tick = () => { page.$('rec-time').textContent = formatElapsed(Date.now() - recordingSince); };
    tick();
    recordingTimer = setInterval(tick, 1000);
  }
}

// After a reload: the channels that were recording and since when, as the
// page kept them (the control sends its record mask only when it changes).
export function restoreRecording(page, mask, since) {
  clearInterval(recordingTimer);
  recordingTimer = 0;
  recordingSince = 0;
  page.state.recordingSince = since || 0;
  showRecording(page, mask || 0);
}

// A JPEG given as base64 as a Blob, or null when it is not base64.
function jpegBlob(base64) {
  try {
    const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    return new Blob([bytes], {type: 'image/jpeg'});
  } catch {
    return null;
  }
}

function showSnapshot(page, {path, jpeg}) {
  page.status(page.text('snapshotSaved', path));
  const blob = typeof jpeg === 'string' && jpeg ? jpegBlob(jpeg) : null;
  if (!blob) {
    page.notice({key: 'snapshotSaved', args: [path], kind: 'ok', ms: SNAPSHOT_SHOWN_MS});
    return;
  }
  const url = URL.createObjectURL(blob);
  const name = baseName(path);
  const notice = page.notice({key: 'snapshotSaved', args: [name], kind: 'ok', ms: SNAPSHOT_SHOWN_MS, fill: (body) => {
    const image = document.createElement('img');
    image.src = url;
    image.alt = name;
    image.className = 'snapshot-thumbnail';
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    link.className = 'snapshot-download';
    const label = document.createElement('span');
    page.setText(label, 'downloadSnapshot', name);
    const icon = document.createElement('span');
    icon.className = 'icon';
    icon.append(iconElement('download'));
    link.append(icon, label);
    body.append(image, link);
  }});
  notice.querySelector('img').title = path;
  notice.addEventListener('dismiss', () => URL.revokeObjectURL(url));
}

// Listens on a newly made control object.
export function listenForRecording(page, ctrl) {
  ctrl.on('ReTurnPreviewAllChannelState', ({ulType, ulOpen}) => {
    if (ulType === RECORD_STATE) showRecording(page, Number(ulOpen) >>> 0);
  });
  ctrl.on('$snapshot', (params) => {
    const path = typeof params?.path === 'string' ? params.path : '';
    if (path) showSnapshot(page, {path, jpeg: params.jpeg});
  });
}

// The REC mark's tooltip in the page's language now.
export function refreshRecordingTexts(page) {
  const mask = page.state.recordMask;
  page.$('rec-indicator').title = mask === 0 ? '' : page.text('recording', channelsOfMask(mask));
}

// After logging out nothing records for this page any more.
export function resetRecording(page) {
  showRecording(page, 0);
}
