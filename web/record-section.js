// SPDX-License-Identifier: GPL-3.0-or-later
// Local recording and snapshots on the live toolbar: Record, Stop recording
// and Snapshot call the control; the host's $snapshot notification names
// the saved file, and ReTurnPreviewAllChannelState type 1 (the channels
// recording, as a bit mask) drives the REC indicator.
import {channelsOfMask} from './result-codes.js';

const RECORD_STATE = 1;  // ReTurnPreviewAllChannelState type: channels recording

// page: {state, $, run, status, text}
export function wireRecording(page) {
  const {state, $, run} = page;
  $('record-start').addEventListener('click', () => run('StartRecord', state.devId, 0, ''));
  $('record-stop').addEventListener('click', () => run('StopRecord', state.devId, 0));
  // The snapshot is of the selected window: click one first.
  $('snapshot').addEventListener('click', () => run('CaptureImage', state.devId));
}

function showRecording(page, mask) {
  page.state.recordMask = mask;
  const indicator = page.$('rec-indicator');
  indicator.hidden = mask === 0;
  indicator.title = mask === 0 ? '' : page.text('recording', channelsOfMask(mask));
  indicator.dataset.mask = String(mask);
}

// Listens on a newly made control object.
export function listenForRecording(page, ctrl) {
  ctrl.on('ReTurnPreviewAllChannelState', ({ulType, ulOpen}) => {
    if (ulType === RECORD_STATE) showRecording(page, Number(ulOpen) >>> 0);
  });
  ctrl.on('$snapshot', (params) => {
    const path = typeof params?.path === 'string' ? params.path : '';
    if (path) page.status(page.text('snapshotSaved', path));
  });
}

// After logging out nothing records for this page any more.
export function resetRecording(page) {
  showRecording(page, 0);
}
