#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A camera on loopback for the tests: GStreamer's RTSP server serving H.264
and H.265 video files (Matroska or MP4, as the tests make them with FFmpeg),
each played in a loop at its own timestamps, like a camera that never stops.

    rtsp_server.py [--port N] [--user NAME:PASSWORD] --mount /path=FILE [--mount ...]

Port 0 takes a free one. Once it listens it prints one line,
"listening on PORT", and runs until SIGTERM or SIGINT. With --user, clients
must give that name and password (basic authentication). Every client of a
mount sees the same stream, as every client of a camera does.
"""

import argparse
import signal
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtspServer  # noqa: E402


class LoopedFile:
    """A file's access units, read once, with their times: small test files
    fit in memory, and a loop from memory keeps time running smoothly."""

    def __init__(self, path):
        pipeline = Gst.parse_launch(
            f'filesrc location="{path}" ! parsebin ! appsink name=sink sync=false')
        sink = pipeline.get_by_name("sink")
        pipeline.set_state(Gst.State.PLAYING)
        self.units = []
        self.caps = None
        while True:
            sample = sink.emit("pull-sample")
            if sample is None:
                break
            buffer = sample.get_buffer()
            self.caps = self.caps or sample.get_caps()
            self.units.append((buffer.extract_dup(0, buffer.get_size()), buffer.pts, buffer.dts,
                               buffer.duration, not buffer.has_flags(Gst.BufferFlags.DELTA_UNIT)))
        pipeline.set_state(Gst.State.NULL)
        if not self.units or self.caps is None:
            raise ValueError(f"{path}: no video found")
        name = self.caps.get_structure(0).get_name()
        if name not in ("video/x-h264", "video/x-h265"):
            raise ValueError(f"{path}: {name} is neither H.264 nor H.265")
        self.codec = name.rsplit("-", 1)[1]
        times = [pts for _, pts, _, _, _ in self.units]
        step = next((d for *_, d, _ in self.units if d != Gst.CLOCK_TIME_NONE), Gst.SECOND // 25)
        # One lap lasts from the first picture shown to one frame after the last.
        self.length = max(times) - min(times) + step
        # Decoding times of B-frame streams start before the first picture's
        # time: everything is moved so that the earliest time is 0.
        self.first = min(times + [dts for _, _, dts, _, _ in self.units if dts != Gst.CLOCK_TIME_NONE])


class Mount:
    """One mount's pipeline: appsrc fed from a LoopedFile, the parser (which
    puts the parameter sets before every key frame) and the RTP payloader."""

    def __init__(self, looped):
        self.looped = looped
        self.factory = GstRtspServer.RTSPMediaFactory()
        self.factory.set_launch(
            f"( appsrc name=src is-live=true format=time ! {looped.codec}parse config-interval=-1 "
            f"! rtp{looped.codec}pay name=pay0 pt=96 config-interval=-1 )")
        self.factory.set_shared(True)
        self.factory.connect("media-configure", self.configure)

    def configure(self, _factory, media):
        source = media.get_element().get_child_by_name("src")
        source.set_property("caps", self.looped.caps)
        state = {"next": 0}
        source.connect("need-data", self.push, state)

    def push(self, source, _length, state):
        units = self.looped.units
        index = state["next"]
        lap, at = divmod(index, len(units))
        data, pts, dts, duration, key = units[at]
        offset = lap * self.looped.length - self.looped.first
        buffer = Gst.Buffer.new_wrapped(data)
        buffer.pts = pts + offset
        if dts != Gst.CLOCK_TIME_NONE:
            buffer.dts = dts + offset
        buffer.duration = duration
        if not key:
            buffer.set_flags(Gst.BufferFlags.DELTA_UNIT)
        state["next"] = index + 1
        source.emit("push-buffer", buffer)


def parse_mount(text):
    path, sep, file = text.partition("=")
    if not sep or not path.startswith("/") or not file:
        raise argparse.ArgumentTypeError(f"{text}: expected /path=FILE")
    return path, file


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--user", help="NAME:PASSWORD clients must give")
    parser.add_argument("--mount", type=parse_mount, action="append", required=True)
    args = parser.parse_args()

    Gst.init(None)
    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service(str(args.port))
    mounts = server.get_mount_points()
    kept = []  # the mounts' Python objects live as long as the server
    for path, file in args.mount:
        try:
            mount = Mount(LoopedFile(file))
        except (ValueError, GLib.Error) as error:
            print(error, file=sys.stderr)
            return 1
        if args.user:
            mount.factory.add_role_from_structure(Gst.Structure.from_string(
                "viewer, media.factory.access=(boolean)true, media.factory.construct=(boolean)true")[0])
        mounts.add_factory(path, mount.factory)
        kept.append(mount)

    if args.user:
        name, sep, password = args.user.partition(":")
        if not sep:
            parser.error("--user must be NAME:PASSWORD")
        auth = GstRtspServer.RTSPAuth()
        token = GstRtspServer.RTSPToken()
        token.set_string("media.factory.role", "viewer")
        auth.add_basic(GstRtspServer.RTSPAuth.make_basic(name, password), token)
        server.set_auth(auth)

    if server.attach(None) == 0:
        print(f"cannot listen on port {args.port}", file=sys.stderr)
        return 1
    print(f"listening on {server.get_bound_port()}", flush=True)

    loop = GLib.MainLoop()
    for signum in (signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signum, loop.quit)
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
