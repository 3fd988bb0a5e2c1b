// SPDX-License-Identifier: GPL-3.0-or-later
// page-bench: the control's picture in the recorder's page, in headless
// Chromium (playwright-core from tests/e2e), against a fresh recorder and
// automation host: frames per second reaching the page and the time from a
// click in the page to the changed picture in the page, for a 4-window and
// a 16-window grid of a 960x540 control, printed beside the host's own
// grab + encode time (bench-grab-encode, run first in the same run).
// Targets: at least 20 fps; at most 100 ms from a click to the changed picture.
//
//   node bench/page-bench.mjs [--seconds N] [--clicks N]
// VELK_BIN_DIR names the folder of the programs (default build/bin),
// VELK_CHROMIUM the browser (default /usr/bin/chromium).
import {spawn, spawnSync} from 'node:child_process';
import {existsSync, mkdtempSync, rmSync} from 'node:fs';
import {createRequire} from 'node:module';
import {tmpdir} from 'node:os';
import {dirname, join, resolve} from 'node:path';
import {createInterface} from 'node:readline';
import {fileURLToPath} from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const repoDir = resolve(here, '..');
const binDir = process.env.VELK_BIN_DIR || join(repoDir, 'build', 'bin');
const chromiumPath = process.env.VELK_CHROMIUM || '/usr/bin/chromium';
const require = createRequire(join(repoDir, 'tests', 'e2e', 'package.json'));

const CONTROL = {width: 960, height: 540};
const TARGET_FPS = 20;
const TARGET_CLICK_MS = 100;

function option(name, fallback) {
  const at = process.argv.indexOf(`--${name}`);
  if (at < 0) return fallback;
  const value = Number(process.argv[at + 1]);
  if (!Number.isInteger(value) || value < 1) {
    console.error(`page-bench: --${name} takes a whole number >= 1`);
    process.exit(2);
  }
  return value;
}
const seconds = option('seconds', 5);
const clicks = option('clicks', 10);

// --- what bench/BenchReport prints, in the same format ---
const missed = [];
let targets = 0;
const pad = (text, n) => String(text).padEnd(n);
const line = (kind, label, value, unit) =>
  console.log(`  ${pad(kind, 9)} ${pad(label, 58)} ${value.toFixed(2).padStart(10)} ${unit}`);
const report = {
  section: (title) => console.log(`\n== ${title} ==`),
  figure: (label, value, unit) => line('figure', label, value, unit),
  reference: (label, value, unit) => line('reference', label, value, unit),
  note: (text) => console.log(`  ${text}`),
  target(label, met) {
    ++targets;
    if (!met) missed.push(label);
    console.log(`  ${pad('target', 9)} ${pad(label, 58)} ${(met ? 'PASS' : 'MISS').padStart(10)}`);
  },
  finish() {
    console.log(`\nSUMMARY page-bench: ${targets} targets, ${missed.length} missed` +
      (missed.length ? ` (${missed.join('; ')})` : ''));
  },
};

// Why the benchmark cannot run here, or '' when it can.
function skipReason() {
  for (const exe of ['velk-recorder', 'velk-dvr-host'])
    if (!existsSync(join(binDir, exe))) return `${exe} is not built in ${binDir}`;
  if (!existsSync(chromiumPath)) return `no Chromium at ${chromiumPath}`;
  try {
    require.resolve('playwright-core');
  } catch {
    return 'playwright-core is not installed (npm ci in tests/e2e; scripts/setup.sh does it)';
  }
  return '';
}

function percentile(values, p) {
  if (values.length === 0) return 0;
  const sorted = [...values].sort((a, b) => a - b);
  const rank = Math.max(1, Math.ceil((p / 100) * sorted.length));
  return sorted[rank - 1];
}

function firstLine(child, timeoutMs = 20000) {
  return new Promise((done, fail) => {
    const lines = createInterface({input: child.stdout});
    const timer = setTimeout(() => fail(new Error('no start-up line')), timeoutMs);
    lines.once('line', (text) => { clearTimeout(timer); done(text); });
    child.once('exit', (code) => { clearTimeout(timer); fail(new Error(`exited with ${code}`)); });
  });
}

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// The host's own grab + encode, measured by bench-grab-encode in this run.
function hostGrabEncode() {
  const program = join(binDir, 'bench-grab-encode');
  if (!existsSync(program)) return {};
  const run = spawnSync(program, ['--seconds', String(Math.min(seconds, 5))],
    {encoding: 'utf8', env: {...process.env, VELK_RECORDER: join(binDir, 'velk-recorder')}, timeout: 300000});
  const figures = {};
  for (const text of (run.stdout || '').split('\n')) {
    const m = /^GRAB_ENCODE grid=(\d+) grabMs=([\d.]+) encodeMs=([\d.]+) totalMs=([\d.]+) totalP95Ms=([\d.]+) jpegKB=([\d.]+)/.exec(text);
    if (m) figures[m[1]] = {grabMs: +m[2], encodeMs: +m[3], totalMs: +m[4], totalP95Ms: +m[5], jpegKB: +m[6]};
  }
  return figures;
}

class Stack {
  async start() {
    this.home = mkdtempSync(join(tmpdir(), 'velk-page-bench-'));
    this.token = 'bench' + Math.random().toString(16).slice(2, 14);
    this.recorder = spawn(join(binDir, 'velk-recorder'),
      ['--port', '0', '--http-port', '0', '--web', join(repoDir, 'web'), '--data', join(this.home, 'recorder'),
        '--encode-ahead'],
      {stdio: ['ignore', 'pipe', 'inherit']});
    const ports = /device port (\d+) http port (\d+)/.exec(await firstLine(this.recorder));
    this.origin = `http://127.0.0.1:${ports[2]}`;
    await this.waitForLoops();
    const env = {...process.env, HOME: this.home, USERPROFILE: ''};
    delete env.DISPLAY;
    delete env.WAYLAND_DISPLAY;
    this.host = spawn(join(binDir, 'velk-dvr-host'),
      ['--ws-port', '0', '--token', this.token, '--allow-origin', this.origin,
        '--size', `${CONTROL.width}x${CONTROL.height}`],
      {stdio: ['ignore', 'pipe', 'inherit'], env});
    const wsPort = JSON.parse(await firstLine(this.host)).port;
    this.pageUrl = `${this.origin}/?ws=${wsPort}&token=${this.token}`;
    const {chromium} = require('playwright-core');
    this.browser = await chromium.launch({
      executablePath: chromiumPath,
      headless: true,
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    return this;
  }

  // Every channel's main and sub loop encoded, so that encoding does not
  // compete with what is measured.
  async waitForLoops() {
    for (let i = 0; i < 1200; ++i) {
      try {
        const status = await (await fetch(`${this.origin}/sim/status`)).json();
        const loops = status.loops || [];
        if (loops.length >= 32 && loops.every((l) => l.ready >= l.frames)) return;
      } catch { /* not answering yet */ }
      await sleep(100);
    }
    throw new Error('the recorder did not encode its loops');
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
}

async function loggedInPage(stack) {
  const page = await stack.browser.newPage({viewport: {width: 1280, height: 960}});
  await page.goto(stack.pageUrl);
  await page.waitForFunction(() => document.getElementById('connection').textContent === 'connected');
  await page.fill('#login-password', 'admin');
  await page.click('#login-button');
  await page.waitForSelector('#sections:not([hidden])');
  await page.waitForFunction(() => window.velk.devId > 0 && window.velk.ctrl.controlSize.width > 0);
  return page;
}

// Frames drawn in the page's canvas per second while the grid plays, and
// the intervals between them (ms).
async function framesPerSecond(page, ms) {
  const times = await page.evaluate(async (duration) => {
    const seen = [];
    const off = window.velk.ctrl.on('frame', () => { seen.push(performance.now()); });
    await new Promise((done) => setTimeout(done, duration));
    off();
    return seen;
  }, ms);
  const intervals = times.slice(1).map((t, i) => t - times[i]);
  return {fps: times.length / (ms / 1000), intervals};
}

// One click on a window of the grid, from the canvas's mousedown to the
// next frame drawn in the canvas (the picture is still, so the next frame
// is the one the click changed); null when none came within 2 s.
async function clickToPicture(page, box, controlPoint) {
  const x = box.x + (controlPoint.x * box.width) / CONTROL.width;
  const y = box.y + (controlPoint.y * box.height) / CONTROL.height;
  await page.mouse.move(x, y);
  await sleep(300);  // a hover change, if any, has reached the page
  await page.evaluate(() => {
    const probe = {down: null, shown: null};
    window.__clickProbe = probe;
    document.getElementById('control').addEventListener('mousedown', () => { probe.down = performance.now(); },
      {once: true, capture: true});
    probe.off = window.velk.ctrl.on('frame', () => {
      if (probe.down !== null && probe.shown === null) probe.shown = performance.now();
    });
  });
  await page.mouse.down();
  await page.mouse.up();
  try {
    await page.waitForFunction(() => window.__clickProbe.shown !== null, null, {timeout: 2000});
  } catch {
    await page.evaluate(() => window.__clickProbe.off());
    return null;
  }
  return page.evaluate(() => {
    const probe = window.__clickProbe;
    probe.off();
    return probe.shown - probe.down;
  });
}

async function main() {
  const skip = skipReason();
  if (skip) {
    console.log(`# page-bench skipped: ${skip}`);
    return;
  }

  console.log('# page-bench');
  const grab = hostGrabEncode();
  const stack = await new Stack().start();
  try {
    const page = await loggedInPage(stack);
    const box = await page.locator('#control').boundingBox();
    report.note(`control ${CONTROL.width}x${CONTROL.height} in the host, shown in a ${Math.round(box.width)}x${Math.round(box.height)} canvas; live main streams`);
    for (const grid of [4, 16]) {
      await page.evaluate(async (n) => {
        await window.velk.ctrl.ShowChannels(n);
        await window.velk.ctrl.StartViewAll(window.velk.devId, n, 0);
      }, grid);
      await sleep(2000);  // every window shows pictures
      const {fps, intervals} = await framesPerSecond(page, seconds * 1000);

      // Clicks on a still picture: preview closed, each click selects
      // another window and so changes its frame.
      await page.evaluate(async () => { await window.velk.ctrl.StopPreviewAll(window.velk.devId); });
      await sleep(1500);
      const side = Math.sqrt(grid);
      const cell = {width: CONTROL.width / side, height: CONTROL.height / side};
      const latencies = [];
      let lost = 0;
      for (let i = 0; i < clicks; ++i) {
        const w = (i + 1) % grid;
        const point = {x: (w % side + 0.5) * cell.width, y: (Math.floor(w / side) + 0.5) * cell.height};
        const ms = await clickToPicture(page, box, point);
        if (ms === null) ++lost; else latencies.push(ms);
      }

      report.section(`${grid}-window grid at ${CONTROL.width}x${CONTROL.height} in the page`);
      report.figure('frames per second reaching the page (live video)', fps, 'fps');
      report.figure('interval between frames in the page: median', percentile(intervals, 50), 'ms');
      report.figure('interval between frames in the page: p95', percentile(intervals, 95), 'ms');
      report.figure(`click to changed picture in the page: median of ${latencies.length}`, percentile(latencies, 50), 'ms');
      report.figure('click to changed picture in the page: max', percentile(latencies, 100), 'ms');
      const g = grab[String(grid)];
      if (g) {
        report.reference('host grab + JPEG encode per frame: median', g.totalMs, 'ms');
        report.reference('host grab + JPEG encode per frame: p95', g.totalP95Ms, 'ms');
        report.reference('host JPEG size: mean', g.jpegKB, 'KB');
      } else {
        report.note('host grab + encode: bench-grab-encode is not built or did not report');
      }
      if (lost) report.note(`${lost} click(s) showed no changed picture within 2 s`);
      report.target(`at least ${TARGET_FPS} fps (${grid} windows)`, fps >= TARGET_FPS);
      report.target(`click to changed picture within ${TARGET_CLICK_MS} ms (${grid} windows, median)`,
        latencies.length > 0 && lost === 0 && percentile(latencies, 50) <= TARGET_CLICK_MS);
    }
    await page.close();
  } finally {
    await stack.stop();
  }
  report.finish();
}

main().catch((e) => { console.error(`page-bench: ${e.stack || e}`); process.exit(1); });
