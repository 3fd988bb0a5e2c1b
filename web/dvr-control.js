// SPDX-License-Identifier: GPL-3.0-or-later
// The control object for page scripts: connects to velk-dvr-host over its
// WebSocket, offers every method of the control by name as a promise, the
// control's events as listeners, and draws the control's picture into a
// canvas with the canvas's mouse, wheel and keyboard going back to the control.
//
//   const ctrl = await DvrControl.connect({url, token, canvas});
//   ctrl.on('ReTurnPreviewActiveChl', (p) => console.log(p));
//   const result = await ctrl.Login('127.0.0.1', 9000, 'admin', hexPassword);
//   ctrl.on('$snapshot', ({path}) => console.log('saved', path));
//
// Every notification from the host reaches the listeners of its method
// name: the control's events and the host's own "$"-named ones alike.
//
// A connection that is lost once open (the host restarted, a network blip)
// is reopened by itself: the first try after reconnectDelayMs, then at
// doubling intervals up to reconnectMaxDelayMs, until one succeeds or
// close() is called; meanwhile the state stays 'connecting'. A host that
// refuses the page (close code 1008 before the method list: a wrong token,
// as after a restart with a new one) ends it: the state becomes 'refused'
// and no more tries are made. A host serving as many pages as it may
// (close code 1013) gives the state 'full', and the tries go on.
//
// Each page has a control of its own in the host. The host greets every
// connection with '$session' {resume, resumed}: the id is kept in
// sessionStorage and presented again on every try, so that a reload (or a
// reconnection) within the host's grace time resumes the same control,
// still logged in; `resumed` false means a new control (log in again).
// `ctrl.session` holds the last greeting.
//
// No dependencies; nothing is fetched but the host's WebSocket.

const EVENT_STATE = 'state';  // 'connecting' | 'open' | 'closed' | 'refused' | 'full'
const CLOSE_POLICY_VIOLATION = 1008;  // the host's refusal
const CLOSE_TRY_AGAIN_LATER = 1013;   // the host serves as many pages as it may
const RESUME_KEY_PREFIX = 'velk-dvr-resume:';

// The page's sessionStorage, where there is one (not in node, nor when the
// browser forbids storage).
function defaultResumeStore() {
  try {
    return typeof sessionStorage === 'undefined' ? null : sessionStorage;
  } catch {
    return null;
  }
}

export class DvrControl {
  // Connects and resolves once the method list has arrived.
  static async connect(options) {
    const ctrl = new DvrControl(options);
    await ctrl._open();
    return ctrl;
  }

  constructor({url, token, canvas = null, fps = 25, reconnect = true, reconnectDelayMs = 1000,
               reconnectMaxDelayMs = 15000, callTimeoutMs = 0, createWebSocket = (u) => new WebSocket(u),
               resumeStore = defaultResumeStore(), pixelRatio = 1} = {}) {
    if (!url) throw new Error('DvrControl: url is required (ws://127.0.0.1:<port>/)');
    const u = new URL(url);
    if (token) u.searchParams.set('token', token);
    u.searchParams.delete('resume');
    // The host draws the control with this many device pixels to a control
    // pixel (1..3 in quarter steps): a page on a 2x screen passes 2 and gets
    // a sharp picture, its size still given in control pixels.
    this._pixelRatio = Math.min(3, Math.max(1, Math.round((Number(pixelRatio) || 1) * 4) / 4));
    if (this._pixelRatio !== 1) u.searchParams.set('dpr', String(this._pixelRatio));
    this._url = u.toString();
    this._resumeStore = resumeStore;
    this._resumeKey = RESUME_KEY_PREFIX + u.host;
    this._session = null;
    this._canvas = canvas;
    this._fps = fps;
    this._reconnect = reconnect;
    this._reconnectDelayMs = reconnectDelayMs;
    this._reconnectMaxDelayMs = Math.max(reconnectDelayMs, reconnectMaxDelayMs);
    this._retryDelayMs = reconnectDelayMs;  // before the next try
    this._retryTimer = 0;                   // a try is scheduled
    this._reconnecting = false;             // a lost connection is being reopened
    this._callTimeoutMs = callTimeoutMs;
    this._createWebSocket = createWebSocket;
    this._ws = null;
    this._nextId = 1;
    this._pending = new Map();     // id -> {resolve, reject, timer}
    this._listeners = new Map();   // event name -> Set of functions
    this._methods = [];
    this._events = [];
    this._state = 'closed';
    this._closedByUser = false;
    this._controlSize = {width: 0, height: 0};
    this._drawing = false;
    this._framesReceived = 0;  // frames that arrived, numbered in order
    this._lastDrawn = 0;       // the number of the frame drawn last
    this._detachInput = null;
  }

  get state() { return this._state; }
  get methods() { return this._methods.slice(); }
  get events() { return this._events.slice(); }
  // The control's size in control pixels (the picture has pixelRatio times
  // as many device pixels each way).
  get controlSize() { return {...this._controlSize}; }
  get pixelRatio() { return this._pixelRatio; }
  // The host's last greeting: {resume, resumed}, or null before the first.
  get session() { return this._session ? {...this._session} : null; }

  // Forgets the resume id: the next connection gets a new control.
  forgetSession() {
    this._storeResumeId(null);
  }

  on(name, fn) {
    if (!this._listeners.has(name)) this._listeners.set(name, new Set());
    this._listeners.get(name).add(fn);
    return () => this.off(name, fn);
  }

  off(name, fn) {
    const set = this._listeners.get(name);
    if (set) set.delete(fn);
  }

  // Calls any method by name (the control's or the host's "$" methods).
  call(method, ...params) {
    return this._send(method, params, true);
  }

  // Sends without waiting for an answer (input, acknowledgements).
  notify(method, params) {
    this._send(method, params, false);
  }

  // Connects (connect() does this for you); listeners added before see
  // every state change.
  open() {
    this._closedByUser = false;
    return this._open();
  }

  close() {
    this._closedByUser = true;
    this._reconnecting = false;
    clearTimeout(this._retryTimer);
    this._retryTimer = 0;
    if (this._detachInput) {
      this._detachInput();
      this._detachInput = null;
    }
    if (this._ws) this._ws.close(1000, 'page closed');
    else if (this._state === 'connecting') this._setState('closed');  // waiting for the next try
  }

  // Resizes the control (and the picture) to w x h control pixels.
  resize(width, height) {
    return this.call('$resize', Math.round(width), Math.round(height));
  }

  _emit(name, payload) {
    const set = this._listeners.get(name);
    if (!set) return;
    for (const fn of [...set]) {
      try { fn(payload); } catch (e) { console.error('DvrControl listener', name, e); }
    }
  }

  _setState(state) {
    if (this._state === state) return;
    this._state = state;
    this._emit(EVENT_STATE, state);
  }

  _resumeId() {
    try {
      return this._resumeStore ? this._resumeStore.getItem(this._resumeKey) : null;
    } catch {
      return null;
    }
  }

  _storeResumeId(id) {
    try {
      if (!this._resumeStore) return;
      if (id) this._resumeStore.setItem(this._resumeKey, id);
      else this._resumeStore.removeItem(this._resumeKey);
    } catch {
      // Storage full or forbidden: a reload gets a new control.
    }
  }

  _tryUrl() {
    const id = this._resumeId();
    if (!id) return this._url;
    const u = new URL(this._url);
    u.searchParams.set('resume', id);
    return u.toString();
  }

  _open() {
    return new Promise((resolve, reject) => {
      if (this._state !== 'full') this._setState('connecting');
      let ws;
      try {
        ws = this._createWebSocket(this._tryUrl());
      } catch (e) {
        this._connectionEnded(false, false);
        reject(e);
        return;
      }
      ws.binaryType = 'blob';
      this._ws = ws;
      let opened = false;  // the WebSocket opened
      let ready = false;   // and the method list arrived
      ws.onopen = async () => {
        opened = true;
        try {
          const list = await this.call('$methods');
          this._installMethods(list);
          if (this._canvas) {
            await this.call('$view', this._fps);
            if (!this._detachInput) this._detachInput = attachInput(this, this._canvas);
          }
          ready = true;
          this._reconnecting = false;
          this._retryDelayMs = this._reconnectDelayMs;
          this._setState('open');
          resolve();
        } catch (e) {
          reject(e);
        }
      };
      ws.onmessage = (event) => this._onMessage(event);
      // The connection (or the try) ends once: at its close event, or at an
      // error before it opened (node's WebSocket reports a refused try with
      // an error alone; browsers follow the error with a close event).
      let ended = false;
      const end = (code, reason) => {
        if (ended) return;
        ended = true;
        for (const {reject: fail, timer} of this._pending.values()) {
          clearTimeout(timer);
          fail(new Error('connection closed'));
        }
        this._pending.clear();
        if (this._ws === ws) this._ws = null;
        const refused = !ready && code === CLOSE_POLICY_VIOLATION;
        const full = !ready && code === CLOSE_TRY_AGAIN_LATER;
        if (!ready) {
          reject(new Error(`DvrControl: the host refused the connection (${code}${reason ? ` ${reason}` : ''})`));
        }
        this._connectionEnded(ready, refused, full);
        this._emit('close', {code, reason});
      };
      ws.onerror = () => { if (!opened) end(1006, ''); };
      ws.onclose = (event) => end(event.code, event.reason);
    });
  }

  // After a connection (or a try) ended: tries again, or settles the state.
  _connectionEnded(wasReady, refused, full = false) {
    if (refused) {
      this._reconnecting = false;
      this._setState('refused');
      return;
    }
    if (wasReady) this._setState('closed');
    if (full) this._setState('full');
    if (this._reconnect && !this._closedByUser && (wasReady || this._reconnecting || full)) {
      this._reconnecting = true;
      const delay = this._retryDelayMs;
      this._retryDelayMs = Math.min(delay * 2, this._reconnectMaxDelayMs);
      this._retryTimer = setTimeout(() => {
        this._retryTimer = 0;
        if (!this._closedByUser) this._open().catch(() => { /* the next try is scheduled */ });
      }, delay);
      return;
    }
    this._reconnecting = false;
    this._setState('closed');
  }

  _installMethods(list) {
    this._methods = list.methods;
    this._events = list.events;
    for (const method of list.methods) {
      if (Object.prototype.hasOwnProperty.call(DvrControl.prototype, method.name)) continue;
      this[method.name] = (...args) => this.call(method.name, ...args);
    }
  }

  _send(method, params, wantAnswer) {
    if (!this._ws || this._ws.readyState !== 1 /* OPEN */)
      return wantAnswer ? Promise.reject(new Error('not connected')) : undefined;
    const message = {jsonrpc: '2.0', method};
    if (params !== undefined && !(Array.isArray(params) && params.length === 0)) message.params = params;
    if (!wantAnswer) {
      this._ws.send(JSON.stringify(message));
      return undefined;
    }
    const id = this._nextId++;
    message.id = id;
    return new Promise((resolve, reject) => {
      const timer = this._callTimeoutMs > 0
        ? setTimeout(() => { this._pending.delete(id); reject(new Error(`${method}: no answer`)); },
                     this._callTimeoutMs)
        : undefined;
      this._pending.set(id, {resolve, reject, timer});
      this._ws.send(JSON.stringify(message));
    });
  }

  _onMessage(event) {
    if (typeof event.data !== 'string') {
      this._drawFrame(event.data);
      return;
    }
    let message;
    try { message = JSON.parse(event.data); } catch { return; }
    if (message.id !== undefined && message.id !== null) {
      const pending = this._pending.get(message.id);
      if (!pending) return;
      this._pending.delete(message.id);
      clearTimeout(pending.timer);
      if (message.error) {
        const error = new Error(message.error.message);
        error.code = message.error.code;
        pending.reject(error);
      } else {
        pending.resolve(message.result);
      }
      return;
    }
    if (message.method === '$session' && message.params && typeof message.params.resume === 'string') {
      this._session = {resume: message.params.resume, resumed: message.params.resumed === true};
      this._storeResumeId(message.params.resume);
    }
    if (message.method) this._emit(message.method, message.params || {});
  }

  async _drawFrame(blob) {
    // Two frames may be in flight and their decodes overlap: a frame whose
    // decode ends after a newer one's was drawn is not drawn.
    const sequence = ++this._framesReceived;
    try {
      const bitmap = await createImageBitmap(blob);
      if (sequence < this._lastDrawn) {
        bitmap.close();
        return;
      }
      this._lastDrawn = sequence;
      this._controlSize = {width: Math.round(bitmap.width / this._pixelRatio),
                           height: Math.round(bitmap.height / this._pixelRatio)};
      const canvas = this._canvas;
      if (canvas) {
        if (canvas.width !== bitmap.width || canvas.height !== bitmap.height) {
          canvas.width = bitmap.width;
          canvas.height = bitmap.height;
          // A sharper picture keeps the control's size on the page.
          if (this._pixelRatio !== 1) canvas.style.width = `${this._controlSize.width}px`;
        }
        canvas.getContext('2d').drawImage(bitmap, 0, 0);
      }
      bitmap.close();
      this._emit('frame', this._controlSize);
    } finally {
      // Acknowledged once drawn (or dropped): the host sends a page only so
      // many frames ahead of what it has drawn.
      this.notify('$ack');
    }
  }
}

// Mouse, wheel and keyboard of the canvas as $input notifications, in the
// order they happen (one WebSocket keeps the order; no answers are awaited).
function attachInput(ctrl, canvas) {
  if (!canvas.hasAttribute('tabindex')) canvas.tabIndex = 0;
  const buttons = ['left', 'middle', 'right'];
  const point = (e) => {
    const size = ctrl.controlSize;
    const w = size.width || Math.round(canvas.width / ctrl.pixelRatio);
    const h = size.height || Math.round(canvas.height / ctrl.pixelRatio);
    const area = pictureArea(canvas, w, h);
    const x = Math.floor((e.clientX - area.left) * w / Math.max(area.width, 1));
    const y = Math.floor((e.clientY - area.top) * h / Math.max(area.height, 1));
    return {x: Math.max(0, Math.min(w - 1, x)), y: Math.max(0, Math.min(h - 1, y))};
  };
  const modifiers = (e) => ['shift', 'ctrl', 'alt', 'meta'].filter((m) => e[`${m}Key`]);
  const send = (input) => ctrl.notify('$input', input);
  let lastMoveMs = 0;
  const handlers = {
    mousedown: (e) => { canvas.focus(); e.preventDefault();
      send({type: 'press', ...point(e), button: buttons[e.button] || 'left', modifiers: modifiers(e)}); },
    mouseup: (e) => { e.preventDefault();
      send({type: 'release', ...point(e), button: buttons[e.button] || 'left', modifiers: modifiers(e)}); },
    dblclick: (e) => { e.preventDefault();
      send({type: 'dblclick', ...point(e), button: buttons[e.button] || 'left', modifiers: modifiers(e)}); },
    mousemove: (e) => {
      const now = performance.now();
      if (now - lastMoveMs < 15 && e.buttons === 0) return;  // hover needs no more than ~60 a second
      lastMoveMs = now;
      send({type: 'move', ...point(e), modifiers: modifiers(e)});
    },
    wheel: (e) => { e.preventDefault();
      send({type: 'wheel', ...point(e), delta: e.deltaY < 0 ? 120 : -120, modifiers: modifiers(e)}); },
    contextmenu: (e) => e.preventDefault(),
    keydown: (e) => {
      const key = keyName(e.key);
      if (!key) return;
      e.preventDefault();
      send({type: 'key', key, modifiers: modifiers(e)});
    },
  };
  for (const [name, fn] of Object.entries(handlers)) canvas.addEventListener(name, fn, {passive: false});
  return () => { for (const [name, fn] of Object.entries(handlers)) canvas.removeEventListener(name, fn); };
}

// Where the picture of w x h pixels lies on the page: the canvas's box, or
// with object-fit contain or scale-down the centred part of it that keeps
// the picture's proportions, so that a click maps to the pixel under it.
function pictureArea(canvas, w, h) {
  const rect = canvas.getBoundingClientRect();
  const fit = getComputedStyle(canvas).objectFit;
  if ((fit !== 'contain' && fit !== 'scale-down') || w <= 0 || h <= 0) return rect;
  let scale = Math.min(rect.width / w, rect.height / h);
  if (fit === 'scale-down') scale = Math.min(scale, 1);
  const width = w * scale;
  const height = h * scale;
  return {left: rect.left + (rect.width - width) / 2, top: rect.top + (rect.height - height) / 2, width, height};
}

const NAMED_KEYS = new Set(['Escape', 'Left', 'Right', 'Up', 'Down', 'Enter', 'Tab', 'Backspace', 'Delete',
  'Insert', 'Home', 'End', 'PageUp', 'PageDown']);

function keyName(key) {
  if (key === ' ') return 'Space';
  if (key.startsWith('Arrow')) return key.slice(5);
  if (NAMED_KEYS.has(key) || /^F([1-9]|1[0-2])$/.test(key)) return key;
  if ([...key].length === 1) return key;
  return null;
}

export default DvrControl;
