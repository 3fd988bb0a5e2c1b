// SPDX-License-Identifier: GPL-3.0-or-later
// The control's 54 interface texts: English (the control's defaults) and
// Simplified Chinese. The page applies one table with SetLanguageString.

export const ENGLISH = {
  'IE_Open': 'Opening', 'IE_OpenFailed': 'Open failed', 'IE_OpenWindow': 'Open window',
  'IE_CloseWindow': 'close window', 'IE_OpenAll': 'Open all window', 'IE_CloseAll': 'Close all window',
  'STR_START_MANUAL_RECORD': 'Start record', 'STR_STOP_MANUAL_RECORD': 'Stop record',
  'IE_FullScreem': 'Full screen', 'IE_ExitFullScreem': 'Exit full screen', 'IE_Reconn': 'Re-connecting...',
  'STR_Playing': 'Play', 'IE_PlaybackStop': 'Stop', 'IE_PlaybackPause': 'Pause', 'IE_PlaybackSpeed': 'Speed',
  'IE_PlaybackSlow': 'Slow', 'IE_PlaybackNextFrame': 'Next frame', 'STR_CH': 'Channel',
  'IE_CAPTURE_IMAGES': 'Capture', 'IE_PlaybackBarZoomIn': 'Zoom in', 'IE_PlaybackBarZoomOut': 'Zoom out',
  'IE_Buffering': 'Buffering...', 'IE_PlaybackFailed': 'Play failed', 'IE_NetworkError': 'Network error',
  'IE_DVRoffline': 'DVR offline', 'IE_NoPower': 'No access', 'IE_UnkownErr': 'Sorry,Unkown error!',
  'STR_MON.': 'Mon.', 'STR_TUE.': 'Tue.', 'STR_WED.': 'Wed.', 'STR_THU.': 'Thu.', 'STR_FRI.': 'Fri.',
  'STR_SAT.': 'Sat.', 'STR_SUN.': 'Sun.', 'STR_ADD PLAN': 'Add', 'STR_DELETE PLAN': 'Delete',
  'STR_RECORD TYPE': 'Type', 'STR_NORMAL': 'Normal', 'STR_ALARM': 'Alarm', 'STR_RECORD MANUAL': 'Manual',
  'STR_START TIME': 'Start time', 'STR_END TIME': 'End time', 'STR_TIMER RECORD': 'Schedule', 'STR_OK': 'OK',
  'DIALOG_Warning': 'Warning', 'DIALOG_TimeInputError': 'Time input error!',
  'IE_Substream_noencode': 'Sub-stream no encode!', 'STR_PRE_VOLUME': 'Mute', 'STR_Four screen': 'Quad',
  'IE_Nine Channel': 'Nine windows', 'STR_Sixteen screen': 'Sixteen windows', 'IE_PreChannel': 'Prev page',
  'IE_Next Channel': 'Next page', 'IE_ViewWindowMode': 'Original/Full window',
};

export const CHINESE = {
  'IE_Open': '正在打开', 'IE_OpenFailed': '打开失败', 'IE_OpenWindow': '打开窗口',
  'IE_CloseWindow': '关闭窗口', 'IE_OpenAll': '打开所有窗口', 'IE_CloseAll': '关闭所有窗口',
  'STR_START_MANUAL_RECORD': '开始录像', 'STR_STOP_MANUAL_RECORD': '停止录像',
  'IE_FullScreem': '全屏', 'IE_ExitFullScreem': '退出全屏', 'IE_Reconn': '正在重新连接...',
  'STR_Playing': '播放', 'IE_PlaybackStop': '停止', 'IE_PlaybackPause': '暂停', 'IE_PlaybackSpeed': '快放',
  'IE_PlaybackSlow': '慢放', 'IE_PlaybackNextFrame': '单帧', 'STR_CH': '通道',
  'IE_CAPTURE_IMAGES': '抓图', 'IE_PlaybackBarZoomIn': '放大', 'IE_PlaybackBarZoomOut': '缩小',
  'IE_Buffering': '正在缓冲...', 'IE_PlaybackFailed': '播放失败', 'IE_NetworkError': '网络错误',
  'IE_DVRoffline': '设备离线', 'IE_NoPower': '没有权限', 'IE_UnkownErr': '抱歉，未知错误！',
  'STR_MON.': '周一', 'STR_TUE.': '周二', 'STR_WED.': '周三', 'STR_THU.': '周四', 'STR_FRI.': '周五',
  'STR_SAT.': '周六', 'STR_SUN.': '周日', 'STR_ADD PLAN': '添加', 'STR_DELETE PLAN': '删除',
  'STR_RECORD TYPE': '类型', 'STR_NORMAL': '普通', 'STR_ALARM': '报警', 'STR_RECORD MANUAL': '手动',
  'STR_START TIME': '开始时间', 'STR_END TIME': '结束时间', 'STR_TIMER RECORD': '定时', 'STR_OK': '确定',
  'DIALOG_Warning': '警告', 'DIALOG_TimeInputError': '时间输入错误！',
  'IE_Substream_noencode': '子码流未编码！', 'STR_PRE_VOLUME': '静音', 'STR_Four screen': '四画面',
  'IE_Nine Channel': '九画面', 'STR_Sixteen screen': '十六画面', 'IE_PreChannel': '上一页',
  'IE_Next Channel': '下一页', 'IE_ViewWindowMode': '原始/满窗口',
};

export const LANGUAGES = {en: ENGLISH, 'zh-CN': CHINESE};
