// SPDX-License-Identifier: GPL-3.0-or-later
// Real cameras through the page, in headless Chromium: the recorder takes
// CH01 from an H.265 camera on an RTSP server on loopback (GStreamer's,
// serving a file FFmpeg makes here) and CH02 from an H.264 video file with
// B-frames; CH03 and CH04 stay synthetic. A user sees all four move, the
// camera switched off shows as reconnecting in its window while the others
// go on, and switched on again it comes back by itself.
import assert from 'node:assert/strict';
import {execFileSync, spawn} from 'node:child_process';
import {mkdtempSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {dirname, join} from 'node:path';
import {createInterface} from 'node:readline';
import {fileURLToPath} from 'node:url';
import {after, before, describe, test} from 'node:test';

import {Stack, pollUntil, skipReason} from './harness.mjs';
import {fourWindowPage, movingWindows} from './picture.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const SERVER = join(here, '..', 'support', 'rtsp_server.py');
const PYTHON = '/usr/bin/python3';

function camerasSkipReason() {
  try {
    execFileSync('ffmpeg', ['-hide_banner', '-version'], {stdio: 'ignore'});
    execFileSync(PYTHON, ['-c', "import gi; gi.require_version('GstRtspServer', '1.0')"], {stdio: 'ignore'});
    return null;
  } catch {
    return 'no ffmpeg or GStreamer RTSP server (scripts/setup.sh installs them)';
  }
}

const skip = skipReason() || camerasSkipReason();
if (skip) console.log(`# e2e skipped: ${skip}`);

function makeVideo(path, {codec, size, rate, seconds, bFrames}) {
  execFileSync('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y', '-f', 'lavfi', '-i',
    `testsrc2=size=${size}:rate=${rate}`, '-t', String(seconds), '-pix_fmt', 'yuv420p',
    '-c:v', codec === 'h265' ? 'libx265' : 'libx264', '-preset', 'ultrafast', '-g', '25', '-bf', String(bFrames),
    ...(codec === 'h265' ? ['-x265-params', 'log-level=error'] : []), path]);
}

// The RTSP server: started, and started again on the port it had.
class Camera {
  constructor(file) { this.file = file; this.port = 0; }

  async start() {
    this.process = spawn(PYTHON, [SERVER, '--port', String(this.port), '--mount', `/cam=${this.file}`],
      {stdio: ['ignore', 'pipe', 'inherit']});
    const lines = createInterface({input: this.process.stdout});
    this.port = await new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error('the RTSP server did not start')), 30000);
      lines.on('line', (line) => {
        const match = /listening on (\d+)/.exec(line);
        if (match) { clearTimeout(timer); resolve(Number(match[1])); }
      });
      this.process.on('exit', () => { clearTimeout(timer); reject(new Error('the RTSP server ended')); });
    });
    return this;
  }

  url() { return `rtsp://127.0.0.1:${this.port}/cam`; }

  async stop() {
    if (!this.process || this.process.exitCode !== null) return;
    const ended = new Promise((resolve) => this.process.once('exit', resolve));
    this.process.kill('SIGKILL');
    await ended;
  }
}

describe('cameras on the recorder', {skip: skip || false}, () => {
  let stack;
  let camera;
  let folder;
  const sources = async () => (await (await fetch(`${stack.origin}/sim/status`)).json()).sources;
  const stateOf = async (channel) => (await sources()).find((s) => s.channel === channel && s.streamType === 0)?.state;

  before(async () => {
    if (skip) return;
    folder = mkdtempSync(join(tmpdir(), 'velk-cameras-'));
    makeVideo(join(folder, 'camera.mkv'), {codec: 'h265', size: '1280x720', rate: 25, seconds: 3, bFrames: 0});
    makeVideo(join(folder, 'file.mp4'), {codec: 'h264', size: '854x480', rate: '30000/1001', seconds: 3, bFrames: 2});
    camera = await new Camera(join(folder, 'camera.mkv')).start();
    stack = await new Stack().start({recorderArgs: [
      '--source', `0=${camera.url()}`, '--source', `1=${join(folder, 'file.mp4')}`]});
  });
  after(async () => {
    await stack?.stop();
    await camera?.stop();
    if (folder) rmSync(folder, {recursive: true, force: true});
  });

  test('a camera and a video file move beside synthetic channels; a camera switched off comes back by itself', async () => {
    const {page, size} = await fourWindowPage(stack);
    // The cameras have no sub stream: the grid shows every channel's main
    // stream, and the page says why.
    assert.equal(await page.isVisible('#stream-no-sub'), true);
    assert.match(await page.textContent('#stream-no-sub'), /^CH01, CH02: no sub stream/);
    assert.deepEqual(await movingWindows(page, size), [true, true, true, true]);
    const found = await sources();
    assert.deepEqual(found.map((s) => [s.channel, s.codec, s.width, s.height]).sort(),
      [[0, 'h265', 1280, 720], [1, 'h264', 854, 480]]);

    await camera.stop();
    await pollUntil(async () => await stateOf(0) === 'lost', 'the camera lost', {timeoutMs: 20000});
    // CH01 stands still (its window says it reconnects); the others go on.
    await pollUntil(async () => {
      const moving = await movingWindows(page, size, 1);
      return !moving[0] && moving[1] && moving[2] && moving[3];
    }, 'CH01 still, the others moving', {timeoutMs: 20000});

    await camera.start();
    await pollUntil(async () => await stateOf(0) === 'live', 'the camera back', {timeoutMs: 40000});
    await pollUntil(async () => (await movingWindows(page, size, 1))[0], 'CH01 moving again', {timeoutMs: 20000});
  });
});
