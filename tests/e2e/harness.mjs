// SPDX-License-Identifier: GPL-3.0-or-later
// Starts a velk-recorder serving the page and a velk-dvr-host allowing that
// page's origin, launches Debian's Chromium headless through playwright-core,
// and stops them all again.
import {spawn} from 'node:child_process';
import {existsSync, mkdtempSync, rmSync} from 'node:fs';
import {createRequire} from 'node:module';
import {tmpdir} from 'node:os';
import {dirname, join, resolve} from 'node:path';
import {createInterface} from 'node:readline';
import {fileURLToPath} from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
export const repoDir = resolve(here, '..', '..');
export const binDir = process.env.VELK_BIN_DIR || join(repoDir, 'build', 'bin');
export const chromiumPath = process.env.VELK_CHROMIUM || '/usr/bin/chromium';
const require = createRequire(import.meta.url);

// Why the programs cannot run here, or '' when they can.
export function programsSkipReason() {
  for (const exe of ['velk-recorder', 'velk-dvr-host'])
    if (!existsSync(join(binDir, exe))) return `${exe} is not built in ${binDir}`;
  return '';
}

// Why the browser tests cannot run here, or '' when they can.
export function skipReason() {
  if (!existsSync(chromiumPath)) return `no Chromium at ${chromiumPath} (scripts/setup.sh installs it)`;
  try {
    require.resolve('playwright-core');
  } catch {
    return 'playwright-core is not installed (npm ci in tests/e2e; scripts/setup.sh does it)';
  }
  return programsSkipReason();
}

// The first line on a child's stdout.
function firstLine(child, timeoutMs = 15000) {
  return new Promise((resolveLine, reject) => {
    const lines = createInterface({input: child.stdout});
    const timer = setTimeout(() => reject(new Error('no start-up line')), timeoutMs);
    lines.once('line', (line) => { clearTimeout(timer); resolveLine(line); });
    child.once('exit', (code) => { clearTimeout(timer); reject(new Error(`exited with ${code}`)); });
  });
}

async function stopChild(child) {
  if (child && child.exitCode === null && child.signalCode === null) {
    child.kill('SIGTERM');
    await new Promise((done) => { child.once('exit', done); setTimeout(done, 5000); });
  }
}

export class Stack {
  pages = new Set();  // pages made by loggedInPage and livePage

  // recorderArgs: more arguments for velk-recorder (users, say);
  // browserArgs: more for Chromium.
  async start({extraOrigins = [], browser = true, recorderArgs = [], browserArgs = [], graceMs, maxPages} = {}) {
    this.home = mkdtempSync(join(tmpdir(), 'velk-e2e-'));
    this.recorderArgs = recorderArgs;
    this.graceMs = graceMs;
    this.maxPages = maxPages;
    await this.startRecorder();
    this.origin = `http://127.0.0.1:${this.httpPort}`;
    this.extraOrigins = extraOrigins;
    await this.startHost();
    this.pageUrl = `${this.origin}/?ws=${this.wsPort}&token=${this.token}`;

    if (!browser) return this;
    const {chromium} = require('playwright-core');
    this.browser = await chromium.launch({
      executablePath: chromiumPath,
      headless: true,
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync', ...browserArgs],
      // playwright gives the browser a fresh profile folder of its own.
    });
    return this;
  }

  // Starts velk-recorder on the ports it had before (or any free ports the
  // first time), with the same data folder.
  async startRecorder() {
    this.recorder = spawn(join(binDir, 'velk-recorder'),
      ['--port', String(this.devicePort ?? 0), '--http-port', String(this.httpPort ?? 0), '--web', join(repoDir, 'web'),
        '--data', join(this.home, 'recorder'), ...this.recorderArgs],
      {stdio: ['ignore', 'pipe', 'inherit']});
    const ports = /device port (\d+) http port (\d+)/.exec(await firstLine(this.recorder));
    this.devicePort = Number(ports[1]);
    this.httpPort = Number(ports[2]);
  }

  // Ends velk-recorder at once (SIGKILL): its connections break without a
  // goodbye, as when the recorder loses power.
  async killRecorder() {
    const child = this.recorder;
    if (child.exitCode !== null || child.signalCode !== null) return;
    const exited = new Promise((done) => child.once('exit', done));
    child.kill('SIGKILL');
    await exited;
  }

  // Starts velk-dvr-host with a new token (or the one given), on the port
  // it had before (or any free port the first time). Each page gets a
  // control of its own; a closed page's control waits `graceMs` for a
  // reload (short here: the tests of a file open many pages in turn).
  async startHost({token = 'e2e' + Math.random().toString(16).slice(2, 14), graceMs = this.graceMs ?? 2000,
                   maxPages = this.maxPages ?? 16} = {}) {
    this.token = token;
    const env = {...process.env, HOME: this.home, USERPROFILE: ''};
    delete env.DISPLAY;
    delete env.WAYLAND_DISPLAY;
    const args = ['--ws-port', String(this.wsPort ?? 0), '--token', token, '--allow-origin', this.origin,
      '--resume-grace-ms', String(graceMs), '--max-pages', String(maxPages)];
    for (const origin of this.extraOrigins) args.push('--allow-origin', origin);
    this.host = spawn(join(binDir, 'velk-dvr-host'), args, {stdio: ['ignore', 'pipe', 'inherit'], env});
    this.wsPort = JSON.parse(await firstLine(this.host)).port;
  }

  // Ends velk-dvr-host (its WebSockets close with it).
  async stopHost() {
    await stopChild(this.host);
  }

  async stop() {
    await this.browser?.close().catch(() => {});
    for (const child of [this.host, this.recorder]) await stopChild(child);
    if (this.home) rmSync(this.home, {recursive: true, force: true});
  }

  // Closes the pages of the test that ended (a failed test leaves its own open).
  async closePages() {
    const pages = [...this.pages];
    this.pages.clear();
    await Promise.all(pages.map((page) => page.close().catch(() => {})));
  }

  // A fresh page on the recorder's page, logged in as admin.
  async loggedInPage({viewport = {width: 1200, height: 900}} = {}) {
    const page = await this.browser.newPage({viewport});
    this.pages.add(page);
    await page.goto(this.pageUrl);
    await page.waitForFunction(() => document.getElementById('connection').textContent === 'connected');
    await page.fill('#login-password', 'admin');
    await page.click('#login-button');
    await page.waitForSelector('#sections:not([hidden])');
    return page;
  }

  // Logged in, the live channels opened, the control resized to the page's
  // view and its picture drawn at that size, every event of the control
  // kept in window.__events ({name, params}), in order.
  async livePage(options = {}) {
    const page = await this.loggedInPage(options);
    await page.evaluate(() => {
      window.__events = [];
      for (const name of ['ReTurnPreviewActiveChl', 'ReTurnPreviewAllChannelState', '$snapshot'])
        window.velk.ctrl.on(name, (params) => window.__events.push({name, params}));
    });
    await waitForStatus(page, /StartViewAll \d/);
    await page.waitForFunction(() => {
      const view = document.getElementById('view');
      const canvas = document.getElementById('control');
      const width = Math.max(320, Math.min(1920, Math.floor(view.clientWidth)));
      return window.velk.ctrl.controlSize.width === width && canvas.width === width;
    });
    return page;
  }
}

// Calls probe (which may be async) until it gives a truthy value, and
// returns that value; throws after timeoutMs. Page predicates that must
// await something (a picture from the host) poll this way: page.waitForFunction
// takes a returned promise itself for success.
export async function pollUntil(probe, what, {timeoutMs = 15000, intervalMs = 200} = {}) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const value = await probe();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out after ${timeoutMs} ms waiting for ${what}`);
    await new Promise((done) => setTimeout(done, intervalMs));
  }
}

// Waits until a line of the page's status log matches.
export async function waitForStatus(page, pattern, timeoutMs = 15000) {
  await page.waitForFunction(([source, flags]) => new RegExp(source, flags).test(document.getElementById('status').textContent),
    [pattern.source, pattern.flags], {timeout: timeoutMs});
}

// The page point over control coordinates (x, y) of the canvas's picture.
export async function pagePoint(page, x, y) {
  return page.evaluate(([cx, cy]) => {
    const canvas = document.getElementById('control');
    const rect = canvas.getBoundingClientRect();
    const {width, height} = window.velk.ctrl.controlSize;
    const scale = Math.min(rect.width / width, rect.height / height);
    const left = rect.left + (rect.width - width * scale) / 2;
    const top = rect.top + (rect.height - height * scale) / 2;
    return {x: left + (cx + 0.5) * scale, y: top + (cy + 0.5) * scale};
  }, [x, y]);
}

// Clicks the page over control coordinates {x, y} (options as page.mouse.click's).
export async function clickAt(page, at, options = {}) {
  const point = await pagePoint(page, at.x, at.y);
  await page.mouse.click(point.x, point.y, options);
}

// The control's size in its own pixels.
export function controlSize(page) {
  return page.evaluate(() => window.velk.ctrl.controlSize);
}

// Pixels of the page's canvas at control coordinates (RGBA).
export async function canvasPixel(page, x, y) {
  return page.evaluate(([px, py]) => {
    const canvas = document.getElementById('control');
    return Array.from(canvas.getContext('2d').getImageData(px, py, 1, 1).data);
  }, [x, y]);
}
