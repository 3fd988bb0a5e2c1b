// SPDX-License-Identifier: GPL-3.0-or-later
// Types of web/dvr-control.js: the control object for page scripts.
// Automation types: UI4/I4/UI2/I2/UI8 arrive as numbers (a UI4 code of -1 is
// 4294967295), BSTR as strings; numbers may also be given as decimal texts.

/** "connecting" also while a lost connection is being reopened; "refused":
 * the host refused the page (close code 1008: a wrong token, as after a
 * restart with a new one), and no more tries are made; "full": the host
 * serves as many pages as it may (close code 1013), and the tries go on. */
export type ConnectionState = "connecting" | "open" | "closed" | "refused" | "full";

/** The host's greeting on every connection: the id that resumes this
 * page's control, and whether this connection resumed it (still logged in)
 * or got a new control. */
export interface SessionGreeting {
  resume: string;
  resumed: boolean;
}

export interface DvrControlOptions {
  /** ws://127.0.0.1:<port>/ of velk-dvr-host */
  url: string;
  /** the per-launch token the run command printed */
  token?: string;
  /** where the control's picture is drawn; its mouse and keys go to the control */
  canvas?: HTMLCanvasElement | null;
  /** frames a second at most (1..25, default 25) */
  fps?: number;
  /** reconnect after a lost connection, until the host is back (default true) */
  reconnect?: boolean;
  /** the first try after a loss (default 1000); each further one waits twice as long as the one before */
  reconnectDelayMs?: number;
  /** the longest wait between tries (default 15000) */
  reconnectMaxDelayMs?: number;
  /** reject a call not answered within this time (0: never, the default) */
  callTimeoutMs?: number;
  /** makes the WebSocket (default: the browser's); e.g. for scripts outside a browser */
  createWebSocket?: (url: string) => WebSocket;
  /** device pixels per control pixel, 1..3 in quarter steps (default 1): a
   * page passes its window.devicePixelRatio for a sharp picture; the canvas
   * then holds that many more pixels than its CSS size */
  pixelRatio?: number;
  /** where the resume id is kept (default: sessionStorage; null: nowhere) */
  resumeStore?: Pick<Storage, "getItem" | "setItem" | "removeItem"> | null;
}

export interface MethodDescription {
  dispid: number;
  name: string;
  args: { name: string; type: string }[];
  result: string;
  summary: string;
}

export interface DvrControlEvents {
  UploadAlarm: { nType: number; AlarmContent: string; nSize: number };
  UploadBackupProcess: { BackupKey: string; ulFlag: number; TotalLen: number; CurLen: number; percent: string };
  ReTurnPreviewActiveChl: { ulActiveChannel: number };
  ReTurnPreviewAllChannelState: { ulType: number; ulOpen: number };
  /** the connection's state changed */
  state: ConnectionState;
  /** the connection closed */
  close: { code: number; reason: string };
  /** a picture was drawn */
  frame: { width: number; height: number };
  /** host notification: a snapshot was saved (absolute JPEG path, 0-based
   * channel, the file's bytes as base64 when it is at most 8 MiB) */
  $snapshot: { path: string; channel: number; jpeg?: string };
  /** host notification, first on every connection */
  $session: SessionGreeting;
}

export declare class DvrControl {
  static connect(options: DvrControlOptions): Promise<DvrControl>;
  constructor(options: DvrControlOptions);
  readonly state: ConnectionState;
  readonly methods: MethodDescription[];
  /** the control's size in control pixels */
  readonly controlSize: { width: number; height: number };
  readonly pixelRatio: number;
  /** the host's last greeting, null before the first */
  readonly session: SessionGreeting | null;
  /** forgets the resume id: the next connection gets a new control */
  forgetSession(): void;
  on<K extends keyof DvrControlEvents>(name: K, fn: (params: DvrControlEvents[K]) => void): () => void;
  /** any other notification the host sends, "$"-named ones included, by its method name */
  on(name: string, fn: (params: unknown) => void): () => void;
  off(name: string, fn: (params: any) => void): void;
  /** any method by name, the control's or the host's "$" methods */
  call(method: string, ...params: unknown[]): Promise<unknown>;
  notify(method: string, params?: unknown): void;
  /** resizes the control (and its picture) to width x height */
  resize(width: number, height: number): Promise<{ width: number; height: number }>;
  /** connects; connect() does this for you */
  open(): Promise<void>;
  close(): void;

  Login(DeviceIp: string, MediaPort: number | string, UserName: string, UserPassword: string): Promise<string>;
  StartView(devId: number | string, channel: number | string, streamType: number | string): Promise<number>;
  StopView(devId: number | string, channel: number | string): Promise<number>;
  SetSize(width: number | string, height: number | string): Promise<null>;
  SetToolbarState(state1: number | string, state2: number | string): Promise<null>;
  SetMax(value: number | string): Promise<number>;
  SetViewBkColor(color: number | string): Promise<number>;
  StartRecord(devId: number | string, unused: number | string, unusedText: string): Promise<number>;
  StopRecord(devId: number | string, unused: number | string): Promise<number>;
  StartTalk(devId: number | string): Promise<number>;
  StopTalk(devId: number | string): Promise<number>;
  CaptureImage(devId: number | string): Promise<number>;
  SetPreviewSoundState(devId: number | string, on: number | string): Promise<number>;
  SetVolume(devId: number | string, unused: number | string, volume: number | string): Promise<number>;
  CreateOsdMatrix(text: string, unused: number | string): Promise<string>;
  Logout(DevId: number | string): Promise<number>;
  SetLocalParameter(devId: number | string, key: string, value: string, operation: string): Promise<string>;
  SetRecordPeriod(devId: number | string, start: string, end: string, channel: number | string, recordType: number | string, unused: number | string): Promise<number>;
  SwitchPage(nPage: number | string): Promise<number>;
  ClearRecordPeriod(): Promise<number>;
  StartBackup(devId: number | string, deviceFileName: string, channel: string, start: string, end: string, backupKey: string): Promise<number>;
  StopBackup(devId: number | string, backupKey: string): Promise<number>;
  StopPlayback(devId: number | string): Promise<number>;
  GetFolderPath(devId: number | string): Promise<string>;
  InitOverlay(devId: number | string, channel: number | string, kind: number | string, streamType: number | string, pictureWidth: number | string, pictureHeight: number | string): Promise<number>;
  UninitOverlay(): Promise<number>;
  ClearOverlayScreen(): Promise<number>;
  SetOverlayMDInitData(devId: number | string, cells: string, unused: number | string): Promise<string>;
  SetOverlayOsdInitData(devId: number | string, index: number | string, packedPair: number | string, text: string, visible: number | string, referenceWidth: number | string, referenceHeight: number | string, x: number | string, y: number | string): Promise<string>;
  SetOverlayShelterInitData(devId: number | string, index: number | string, left: number | string, top: number | string, right: number | string, bottom: number | string, referenceWidth: number | string, referenceHeight: number | string): Promise<string>;
  GetOverlayMDData(devId: number | string): Promise<string>;
  GetShelterData(devId: number | string, index: number | string): Promise<string>;
  GetOsdOverlayData(devId: number | string, index: number | string): Promise<string>;
  ShowChannels(windowCount: number | string): Promise<null>;
  NextGroupVideos(): Promise<null>;
  PreviousGoupVides(): Promise<null>;
  StartViewAll(devId: number | string, channelCount: number | string, streamType: number | string): Promise<number>;
  StopPreviewAll(ulDevId: number | string): Promise<number>;
  GetVolume(devId: number | string): Promise<number>;
  GetActiveChannel(DevId: number | string): Promise<number>;
  SetChannelCnt(DevId: number | string, ulChannelCount: number | string): Promise<number>;
  RePlace(usType: number | string, nX: number | string, nY: number | string): Promise<null>;
  SetPlaybackDate(devId: number | string, strDate: string): Promise<number>;
  SetPlayBackChannels(ulPbChls: number | string): Promise<null>;
  CompleteSetRecordPeriod(DevId: number | string): Promise<number>;
  SetPreviewVideoShapeMode(nShapeMode: number | string): Promise<null>;
  SetLanguageString(DevId: number | string, strKey: string, strValue: string): Promise<number>;
  SwitchPreviewStreamType(DevId: number | string, nStreamType: number | string): Promise<number>;
  AllowPlaybackRecordTypeToPlay(DevId: number | string, unRecordType: number | string): Promise<number>;
  SetRecSchedule(DevId: number | string, nRecScheduleMode: number | string, nChannel: number | string, strScheduleData: string): Promise<number>;
  GetRecSchedule(DevId: number | string, nRecScheduleMode: number | string, nChannel: number | string): Promise<string>;
  SetScheduleMode(DevId: number | string, nMode: number | string): Promise<number>;
  SetDeviceType(deviceType: number | string): Promise<null>;
  SelectSchedelBtnType(DevId: number | string, unBtnType: number | string): Promise<number>;
  SetClientID(ulClientID: number | string): Promise<null>;
  SetWebport(ulWebport: number | string): Promise<null>;
  SetOSD_AlignPixels(unPixels: number | string): Promise<null>;
}

export default DvrControl;
