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

export class Stack {
  async start({extraOrigins = [], browser = true} = {}) {
    this.home = mkdtempSync(join(tmpdir(), 'velk-e2e-'));
    this.token = 'e2e' + Math.random().toString(16).slice(2, 14);
    this.recorder = spawn(join(binDir, 'velk-recorder'),
      ['--port', '0', '--http-port', '0', '--web', join(repoDir, 'web'), '--data', join(this.home, 'recorder')],
      {stdio: ['ignore', 'pipe', 'inherit']});
    const ports = /device port (\d+) http port (\d+)/.exec(await firstLine(this.recorder));
    this.devicePort = Number(ports[1]);
    this.httpPort = Number(ports[2]);
    this.origin = `http://127.0.0.1:${this.httpPort}`;
    const env = {...process.env, HOME: this.home, USERPROFILE: ''};
    delete env.DISPLAY;
    delete env.WAYLAND_DISPLAY;
    const args = ['--ws-port', '0', '--token', this.token, '--allow-origin', this.origin];
    for (const origin of extraOrigins) args.push('--allow-origin', origin);
    this.host = spawn(join(binDir, 'velk-dvr-host'), args, {stdio: ['ignore', 'pipe', 'inherit'], env});
    this.wsPort = JSON.parse(await firstLine(this.host)).port;
    this.pageUrl = `${this.origin}/?ws=${this.wsPort}&token=${this.token}`;

    if (!browser) return this;
    const {chromium} = require('playwright-core');
    this.browser = await chromium.launch({
      executablePath: chromiumPath,
      headless: true,
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
      // playwright gives the browser a fresh profile folder of its own.
    });
    return this;
  }

  async stop() {
    await this.browser?.close().catch(() => {});
    for (const child of [this.host, this.recorder]) {
      if (child && child.exitCode === null) {
        child.kill('SIGTERM');
        await new Promise((done) => { child.once('exit', done); setTimeout(done, 5000); });
      }
    }
    if (this.home) rmSync(this.home, {recursive: true, force: true});
  }

  // A fresh page on the recorder's page, logged in as admin.
  async loggedInPage() {
    const page = await this.browser.newPage({viewport: {width: 1200, height: 900}});
    await page.goto(this.pageUrl);
    await page.waitForFunction(() => document.getElementById('connection').textContent === 'connected');
    await page.fill('#login-password', 'admin');
    await page.click('#login-button');
    await page.waitForSelector('#sections:not([hidden])');
    return page;
  }
}

// Pixels of the page's canvas at control coordinates (RGBA).
export async function canvasPixel(page, x, y) {
  return page.evaluate(([px, py]) => {
    const canvas = document.getElementById('control');
    return Array.from(canvas.getContext('2d').getImageData(px, py, 1, 1).data);
  }, [x, y]);
}
