// SPDX-License-Identifier: GPL-3.0-or-later
// page-bench: the control's picture in the recorder's page, in headless
// Chromium (playwright-core from tests/e2e), against a fresh recorder and
// automation host: frames per second reaching the page, the time from a
// click in the page to the changed picture in the page, and what the page's
// control costs the host (CPU of its page process, its memory), for
//   - a 4-window and a 16-window grid of a 960x540 control,
//   - a 16-window grid of main streams in a 1920x1080 control,
//   - two pages at once, each with that full-HD grid (the second page's
//     control is one more process: its memory and the CPU it adds).
// References in the same run: the host's own grab + encode time
// (bench-grab-encode, run first, at 960x540) and, for every case, the
// page's own host process's grab and encode time per frame over the same
// seconds ($viewStats).
// Targets: 960x540: at least 20 fps, at most 100 ms from a click to the
// changed picture (median). 1920x1080: at least 25 fps, at most 50 ms
// (median), the page's host process under 60 % of one core; two pages at
// least 20 fps each.
//
//   node bench/page-bench.mjs [--seconds N] [--clicks N]
// VELK_BIN_DIR names the folder of the programs (default build/bin),
// VELK_CHROMIUM the browser (default /usr/bin/chromium).
import {spawn, spawnSync} from 'node:child_process';
import {existsSync, mkdtempSync, readFileSync, readdirSync, rmSync} from 'node:fs';
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

const SMALL = {width: 960, height: 540};
const FULL_HD = {width: 1920, height: 1080};
const TARGET_FPS = 20;
const TARGET_CLICK_MS = 100;
const TARGET_FULL_HD_FPS = 25;
const TARGET_FULL_HD_CLICK_MS = 50;
const TARGET_FULL_HD_CPU = 60;  // % of one core
const TARGET_TWO_PAGES_FPS = 20;

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
    const m = /^GRAB_ENCODE size=(\d+x\d+) grid=(\d+) grabMs=([\d.]+) encodeMs=([\d.]+) totalMs=([\d.]+) totalP95Ms=([\d.]+) jpegKB=([\d.]+)/.exec(text);
    if (m) figures[`${m[1]}/${m[2]}`] = {grabMs: +m[3], encodeMs: +m[4], totalMs: +m[5], totalP95Ms: +m[6], jpegKB: +m[7]};
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
        '--size', `${SMALL.width}x${SMALL.height}`, '--resume-grace-ms', '0'],
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

async function loggedInPage(stack, viewport = {width: 1280, height: 960}) {
  const page = await stack.browser.newPage({viewport});
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
async function clickToPicture(page, box, control, controlPoint) {
  const x = box.x + (controlPoint.x * box.width) / control.width;
  const y = box.y + (controlPoint.y * box.height) / control.height;
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

// --- the host's processes, from /proc ---
const TICKS_PER_SECOND = 100;  // Linux's USER_HZ

function readProc(path) {
  try {
    return readFileSync(path, 'utf8');
  } catch {
    return '';
  }
}

// Processes whose parent is pid: the host's page processes.
function childrenOf(pid) {
  const children = [];
  for (const entry of readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    const stat = readProc(`/proc/${entry}/stat`);
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    if (Number(fields[1]) === pid) children.push(Number(entry));
  }
  return children;
}

// CPU ticks (user + system) a process has used.
function cpuTicks(pid) {
  const stat = readProc(`/proc/${pid}/stat`);
  const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
  return Number(fields[11] || 0) + Number(fields[12] || 0);
}

function residentMB(pid) {
  const m = /VmRSS:\s+(\d+) kB/.exec(readProc(`/proc/${pid}/status`));
  return m ? Number(m[1]) / 1024 : 0;
}

// The page processes' CPU (% of one core) over a measurement.
function cpuMeter(pids) {
  const start = pids.map(cpuTicks);
  const t0 = performance.now();
  return () => {
    const seconds = (performance.now() - t0) / 1000;
    return pids.map((pid, i) => ((cpuTicks(pid) - start[i]) / TICKS_PER_SECOND / seconds) * 100);
  };
}

async function viewStats(page) {
  return page.evaluate(() => window.velk.ctrl.call('$viewStats'));
}

// Per frame over a measurement, from two $viewStats.
function perFrame(before, after) {
  const grabs = after.grabs - before.grabs;
  const encodes = after.encodes - before.encodes;
  return {
    grabMs: grabs > 0 ? (after.grabMs - before.grabMs) / grabs : 0,
    encodeMs: encodes > 0 ? (after.encodeMs - before.encodeMs) / encodes : 0,
    jpegKB: after.framesSent > before.framesSent
      ? (after.bytesSent - before.bytesSent) / (after.framesSent - before.framesSent) / 1024 : 0,
  };
}

async function showGrid(page, grid, control) {
  await page.evaluate(async ({n, size}) => {
    const ctrl = window.velk.ctrl;
    await ctrl.resize(size.width, size.height);
    await ctrl.ShowChannels(n);
    await ctrl.StartViewAll(window.velk.devId, n, 0);
  }, {n: grid, size: control});
}

async function clickLatencies(page, grid, control) {
  await page.evaluate(async () => { await window.velk.ctrl.StopPreviewAll(window.velk.devId); });
  await sleep(1500);
  const box = await page.locator('#control').boundingBox();
  const side = Math.sqrt(grid);
  const cell = {width: control.width / side, height: control.height / side};
  const latencies = [];
  let lost = 0;
  for (let i = 0; i < clicks; ++i) {
    const w = (i + 1) % grid;
    const point = {x: (w % side + 0.5) * cell.width, y: (Math.floor(w / side) + 0.5) * cell.height};
    const ms = await clickToPicture(page, box, control, point);
    if (ms === null) ++lost; else latencies.push(ms);
  }
  return {latencies, lost};
}

function reportHostFrame(stats) {
  report.reference('this page\'s host: grab per frame (same seconds)', stats.grabMs, 'ms');
  report.reference('this page\'s host: JPEG encode per frame (same seconds)', stats.encodeMs, 'ms');
  report.reference('this page\'s host: JPEG size: mean', stats.jpegKB, 'KB');
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
  const hostPid = stack.host.pid;
  try {
    // --- 960x540: 4 and 16 windows ---
    const page = await loggedInPage(stack);
    const [pageProcess] = childrenOf(hostPid);
    const box = await page.locator('#control').boundingBox();
    report.note(`control ${SMALL.width}x${SMALL.height} in the host, shown in a ${Math.round(box.width)}x${Math.round(box.height)} canvas; live main streams`);
    for (const grid of [4, 16]) {
      await showGrid(page, grid, SMALL);
      await sleep(2000);  // every window shows pictures
      const before = await viewStats(page);
      const cpu = cpuMeter([pageProcess]);
      const {fps, intervals} = await framesPerSecond(page, seconds * 1000);
      const [cpuPercent] = cpu();
      const host = perFrame(before, await viewStats(page));
      const {latencies, lost} = await clickLatencies(page, grid, SMALL);

      report.section(`${grid}-window grid at ${SMALL.width}x${SMALL.height} in the page`);
      report.figure('frames per second reaching the page (live video)', fps, 'fps');
      report.figure('interval between frames in the page: median', percentile(intervals, 50), 'ms');
      report.figure('interval between frames in the page: p95', percentile(intervals, 95), 'ms');
      report.figure(`click to changed picture in the page: median of ${latencies.length}`, percentile(latencies, 50), 'ms');
      report.figure('click to changed picture in the page: max', percentile(latencies, 100), 'ms');
      report.figure('the page\'s host process: CPU', cpuPercent, '% core');
      const g = grab[`${SMALL.width}x${SMALL.height}/${grid}`];
      if (g) {
        report.reference('host grab + JPEG encode per frame (bench-grab-encode): median', g.totalMs, 'ms');
        report.reference('host grab + JPEG encode per frame (bench-grab-encode): p95', g.totalP95Ms, 'ms');
      } else {
        report.note('host grab + encode: bench-grab-encode is not built or did not report');
      }
      reportHostFrame(host);
      if (lost) report.note(`${lost} click(s) showed no changed picture within 2 s`);
      report.target(`at least ${TARGET_FPS} fps (${grid} windows)`, fps >= TARGET_FPS);
      report.target(`click to changed picture within ${TARGET_CLICK_MS} ms (${grid} windows, median)`,
        latencies.length > 0 && lost === 0 && percentile(latencies, 50) <= TARGET_CLICK_MS);
    }
    await page.close();
    await sleep(1000);  // its page process ends

    // --- 1920x1080: one page, then two ---
    const viewport = {width: 2400, height: 1500};
    const first = await loggedInPage(stack, viewport);
    const [firstProcess] = childrenOf(hostPid);
    await showGrid(first, 16, FULL_HD);
    await sleep(2500);
    const oneBefore = await viewStats(first);
    const oneCpu = cpuMeter([firstProcess]);
    const one = await framesPerSecond(first, seconds * 1000);
    const [oneCpuPercent] = oneCpu();
    const oneHost = perFrame(oneBefore, await viewStats(first));
    const oneMB = residentMB(firstProcess);

    const second = await loggedInPage(stack, viewport);
    const secondProcess = childrenOf(hostPid).find((pid) => pid !== firstProcess);
    await showGrid(second, 16, FULL_HD);
    await sleep(2500);
    const twoCpu = cpuMeter([firstProcess, secondProcess]);
    const [a, b] = await Promise.all([framesPerSecond(first, seconds * 1000), framesPerSecond(second, seconds * 1000)]);
    const twoCpuPercent = twoCpu();
    const secondMB = residentMB(secondProcess);
    await second.close();
    await sleep(1000);

    const {latencies, lost} = await clickLatencies(first, 16, FULL_HD);
    report.section(`16-window grid at ${FULL_HD.width}x${FULL_HD.height} in the page (main streams)`);
    report.figure('frames per second reaching the page (live video)', one.fps, 'fps');
    report.figure('interval between frames in the page: p95', percentile(one.intervals, 95), 'ms');
    report.figure(`click to changed picture in the page: median of ${latencies.length}`, percentile(latencies, 50), 'ms');
    report.figure('click to changed picture in the page: max', percentile(latencies, 100), 'ms');
    report.figure('the page\'s host process: CPU', oneCpuPercent, '% core');
    report.figure('the page\'s host process: resident memory', oneMB, 'MB');
    const g = grab[`${FULL_HD.width}x${FULL_HD.height}/16`];
    if (g) report.reference('host grab + JPEG encode per frame (bench-grab-encode): median', g.totalMs, 'ms');
    reportHostFrame(oneHost);
    if (lost) report.note(`${lost} click(s) showed no changed picture within 2 s`);
    report.target(`at least ${TARGET_FULL_HD_FPS} fps (full HD, 16 windows)`, one.fps >= TARGET_FULL_HD_FPS);
    report.target(`click to changed picture within ${TARGET_FULL_HD_CLICK_MS} ms (full HD, median)`,
      latencies.length > 0 && lost === 0 && percentile(latencies, 50) <= TARGET_FULL_HD_CLICK_MS);
    report.target(`the page's host process under ${TARGET_FULL_HD_CPU} % of one core (full HD)`,
      oneCpuPercent < TARGET_FULL_HD_CPU);

    report.section(`two pages at once, each a 16-window grid at ${FULL_HD.width}x${FULL_HD.height}`);
    report.figure('first page: frames per second', a.fps, 'fps');
    report.figure('second page: frames per second', b.fps, 'fps');
    report.figure('first page\'s host process: CPU', twoCpuPercent[0], '% core');
    report.figure('second page\'s host process (one more control): CPU', twoCpuPercent[1], '% core');
    report.figure('second page\'s host process (one more control): resident memory', secondMB, 'MB');
    report.reference('one page alone: frames per second', one.fps, 'fps');
    report.reference('one page alone: its host process\'s CPU', oneCpuPercent, '% core');
    report.target(`at least ${TARGET_TWO_PAGES_FPS} fps on each of two pages (full HD)`,
      a.fps >= TARGET_TWO_PAGES_FPS && b.fps >= TARGET_TWO_PAGES_FPS);
    await first.close();
  } finally {
    await stack.stop();
  }
  report.finish();
}

main().catch((e) => { console.error(`page-bench: ${e.stack || e}`); process.exit(1); });
