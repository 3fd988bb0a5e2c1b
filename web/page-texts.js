// SPDX-License-Identifier: GPL-3.0-or-later
// The page's own texts (its tabs, buttons and result lines) in English and
// Simplified Chinese. The control's interface texts are in languages.js.
// Elements name their text with data-text (the element's text), data-title
// (its tooltip) or data-label (its accessible name, aria-label);
// applyPageTexts fills them in.

export const PAGE_TEXTS = {
  en: {
    tabLive: 'Live', tabSchedule: 'Schedule', tabSettings: 'Settings', language: 'Language',
    previousPage: 'Previous page', nextPage: 'Next page', fullScreen: 'Full screen',
    stream: 'Stream', streamMain: 'Main', streamSub: 'Sub', sound: 'Sound', volume: 'Volume',
    openAll: 'Open all', closeAll: 'Close all', logout: 'Log out',
    record: 'Record', stopRecording: 'Stop recording', snapshot: 'Snapshot',
    recording: 'Recording: {0}',
    snapshotSaved: 'Snapshot saved: {0}',
    channel: 'Channel', scheduleMode: 'Mode', modeAlarmOnly: 'Alarm only', modeTyped: 'Normal and alarm',
    brushNone: 'No recording', brushNormal: 'Normal', brushAlarm: 'Alarm', load: 'Load', save: 'Save',
    scheduleLoading: 'Loading the schedule of channel {0}…',
    scheduleLoaded: 'Schedule of channel {0} loaded',
    scheduleSaving: 'Saving the schedule of channel {0}…',
    scheduleSaved: 'Schedule of channel {0} saved',
    scheduleLoadFailed: 'Loading failed: {0}',
    scheduleSaveFailed: 'Saving failed: {0}',
    scheduleNothingLoaded: 'Load a channel\'s schedule before saving',
    scheduleNoText: 'the control gave no schedule text',
    scheduleDiscard: 'The schedule of channel {0} has changes that are not saved. Discard them?',
    localSettings: 'Local settings',
    hostReconnecting: 'The connection to the automation host was lost; reconnecting…',
    hostRefused: 'The automation host refused this page: its token is not the host\'s (was the host restarted?). ' +
      'Open the page again from the address the host printed.',
    hostFull: 'The automation host already serves as many pages as it may. Close another page of this recorder: ' +
      'this one connects as soon as there is room.',
    hostNotConnected: 'The page is not connected to the automation host yet.',
    sessionEnded: 'The session ended while the page was away (or the host was restarted). Log in again.',
    sessionResumed: 'Still logged in to {0}',
    loginTitle: 'Log in to the recorder', address: 'Address', port: 'Port', user: 'User', password: 'Password',
    loginButton: 'Log in',
    loginWithCode: '{0} (code {1})',
    loginWrongPassword: 'Wrong password.',
    loginUnknownUser: 'Unknown user.',
    loginNoRight: 'This user may not log in to the recorder.',
    loginTooManyClients: 'The recorder serves no more connections; close another viewer and try again.',
    loginUnreachable: 'The recorder cannot be reached: check its address and port.',
    loginTimedOut: 'The recorder did not answer in time.',
    loginRefused: 'The recorder refused the log-in.',
    loginFailed: 'The log-in failed.',
    recorderLost: 'Recorder connection lost — reconnecting…',
    recorderBack: 'Recorder back',
    connectionNone: 'not connected', connectionConnecting: 'connecting', connectionOpen: 'connected',
    connectionClosed: 'closed', connectionRefused: 'refused', connectionFull: 'too many pages',
    sections: 'Sections', layout: 'Layout', layout1: '1 window', layout4: '4 windows', layout9: '9 windows',
    layout16: '16 windows', brush: 'Brush', events: 'Events',
    canvasLive: 'Live video', canvasSchedule: 'Recording schedule',
    snapPath: 'Snapshots', recordPath: 'Recordings', recordPackTime: 'Record file length (minutes)',
    alarmPath: 'Alarm files', saveAlarm: 'Save alarms (0/1)', backupPath: 'Downloads', reload: 'Reload',
    settingsSaved: 'Saved', settingsNotSaved: 'Not saved: {0}',
    channels: 'Channels', channelName: '{0}, {1}', listSeparator: ', ', channelOpen: 'open', channelClosed: 'closed',
    channelRecording: 'recording', channelOffline: 'recorder connection lost',
    channelShow: 'Show {0} in the picture',
    streamAuto: 'Sub stream in grids, main stream alone',
    previousShort: 'Previous', nextShort: 'Next',
    eventLog: 'Event log', notices: 'Notices', dismissNotice: 'Click or press Escape to dismiss',
    loggedIn: 'Logged in to {0}', loggedOut: 'Logged out',
    recordStarted: 'Recording started', recordStopped: 'Recording stopped',
    alarmMotion: 'Motion alarm on {0} at {1}', alarmInput: 'Alarm input on {0} at {1}', alarmOver: 'Alarm over on {0} at {1}',
    recordFailed: 'Recording did not start: {0}',
    recordNothing: 'Nothing to record: no window shows video yet', snapshotFailed: 'No snapshot: {0}',
    snapshotSelectWindow: 'click a window with a picture first',
    downloadSnapshot: 'Download {0}', callFailed: '{0} failed: {1}',
  },
  'zh-CN': {
    tabLive: '预览', tabSchedule: '录像计划', tabSettings: '设置', language: '语言',
    previousPage: '上一页', nextPage: '下一页', fullScreen: '全屏',
    stream: '码流', streamMain: '主码流', streamSub: '子码流', sound: '声音', volume: '音量',
    openAll: '打开全部', closeAll: '关闭全部', logout: '退出登录',
    record: '录像', stopRecording: '停止录像', snapshot: '抓图',
    recording: '正在录像：{0}',
    snapshotSaved: '抓图已保存：{0}',
    channel: '通道', scheduleMode: '模式', modeAlarmOnly: '仅报警', modeTyped: '普通和报警',
    brushNone: '不录像', brushNormal: '普通', brushAlarm: '报警', load: '读取', save: '保存',
    scheduleLoading: '正在读取通道 {0} 的录像计划…',
    scheduleLoaded: '通道 {0} 的录像计划已读取',
    scheduleSaving: '正在保存通道 {0} 的录像计划…',
    scheduleSaved: '通道 {0} 的录像计划已保存',
    scheduleLoadFailed: '读取失败：{0}',
    scheduleSaveFailed: '保存失败：{0}',
    scheduleNothingLoaded: '请先读取一个通道的录像计划再保存',
    scheduleNoText: '控件没有返回录像计划',
    scheduleDiscard: '通道 {0} 的录像计划有未保存的修改。要放弃这些修改吗？',
    localSettings: '本地设置',
    hostReconnecting: '与自动化主机的连接已断开，正在重新连接…',
    hostRefused: '自动化主机拒绝了本页面：页面的令牌与主机的不符（主机是否已重启？）。请从主机给出的地址重新打开本页面。',
    hostFull: '自动化主机服务的页面数已达上限。请关闭本录像机的其他页面，有空位时本页面会自动连接。',
    hostNotConnected: '本页面尚未连接到自动化主机。',
    sessionEnded: '页面离开期间会话已结束（或主机已重启），请重新登录。',
    sessionResumed: '仍登录在 {0}',
    loginTitle: '登录录像机', address: '地址', port: '端口', user: '用户名', password: '密码',
    loginButton: '登录',
    loginWithCode: '{0}（代码 {1}）',
    loginWrongPassword: '密码错误。',
    loginUnknownUser: '用户不存在。',
    loginNoRight: '该用户无权登录此录像机。',
    loginTooManyClients: '录像机的连接数已满，请关闭其他客户端后重试。',
    loginUnreachable: '无法连接录像机，请检查地址和端口。',
    loginTimedOut: '录像机响应超时。',
    loginRefused: '录像机拒绝了登录。',
    loginFailed: '登录失败。',
    recorderLost: '与录像机的连接已断开，正在重新连接…',
    recorderBack: '录像机已恢复连接',
    connectionNone: '未连接', connectionConnecting: '正在连接', connectionOpen: '已连接',
    connectionClosed: '已断开', connectionRefused: '已拒绝', connectionFull: '页面过多',
    sections: '页面', layout: '画面布局', layout1: '单画面', layout4: '四画面', layout9: '九画面',
    layout16: '十六画面', brush: '画笔', events: '事件',
    canvasLive: '实时视频', canvasSchedule: '录像计划',
    snapPath: '抓图目录', recordPath: '录像目录', recordPackTime: '录像文件时长（分钟）',
    alarmPath: '报警文件目录', saveAlarm: '保存报警（0/1）', backupPath: '下载目录', reload: '重新读取',
    settingsSaved: '已保存', settingsNotSaved: '未保存：{0}',
    channels: '通道列表', channelName: '{0}，{1}', listSeparator: '、', channelOpen: '已打开', channelClosed: '未打开',
    channelRecording: '录像中', channelOffline: '录像机连接已断开',
    channelShow: '在画面中显示 {0}',
    streamAuto: '多画面用子码流，单画面用主码流',
    previousShort: '上一页', nextShort: '下一页',
    eventLog: '事件日志', notices: '通知', dismissNotice: '单击或按 Esc 键关闭',
    loggedIn: '已登录 {0}', loggedOut: '已退出登录',
    recordStarted: '已开始录像', recordStopped: '已停止录像',
    alarmMotion: '{0} 移动侦测报警（{1}）', alarmInput: '{0} 报警输入（{1}）', alarmOver: '{0} 报警结束（{1}）',
    recordFailed: '录像未能开始：{0}',
    recordNothing: '没有可录的画面：还没有窗口显示视频', snapshotFailed: '抓图失败：{0}',
    snapshotSelectWindow: '请先单击一个有画面的窗口',
    downloadSnapshot: '下载 {0}', callFailed: '{0} 失败：{1}',
  },
};

// The text of key in language, with {0}, {1}… replaced by the arguments;
// English when the language lacks the key.
export function pageText(language, key, ...args) {
  const text = PAGE_TEXTS[language]?.[key] ?? PAGE_TEXTS.en[key] ?? key;
  return text.replace(/\{(\d+)\}/g, (whole, i) => (args[Number(i)] === undefined ? whole : String(args[Number(i)])));
}

export function applyPageTexts(root, language) {
  for (const element of root.querySelectorAll('[data-text]'))
    element.textContent = pageText(language, element.dataset.text);
  for (const element of root.querySelectorAll('[data-title]'))
    element.title = pageText(language, element.dataset.title);
  for (const element of root.querySelectorAll('[data-label]'))
    element.setAttribute('aria-label', pageText(language, element.dataset.label));
}
