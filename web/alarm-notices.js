// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's alarms as notices: the control fires UploadAlarm with a
// JSON text (channel, kind, active, time) for each alarm raised or over.
import {channelName} from './channel-list.js';

// The notice for one UploadAlarm, or null when its text is not an alarm.
export function alarmNotice(content) {
  let alarm;
  try {
    alarm = JSON.parse(content);
  } catch {
    return null;
  }
  if (!alarm || typeof alarm !== 'object' || !Number.isInteger(alarm.channel) || alarm.channel < 0 ||
      typeof alarm.active !== 'boolean')
    return null;
  const time = typeof alarm.time === 'string' ? alarm.time.slice(11) : '';
  const key = !alarm.active ? 'alarmOver' : alarm.kind === 'motion' ? 'alarmMotion' : 'alarmInput';
  return {key, args: [channelName(alarm.channel), time], kind: alarm.active ? 'error' : 'info'};
}

// page: {notice, status}
export function listenForAlarms(page, ctrl) {
  ctrl.on('UploadAlarm', ({AlarmContent}) => {
    const shown = alarmNotice(String(AlarmContent ?? ''));
    if (shown) page.notice(shown);
  });
}
