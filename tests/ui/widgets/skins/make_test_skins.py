#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the small skins the widget tests load (each at 1x and, pixels
# doubled, at 2x) and the files that must fail to load. Run it in this folder
# after changing a picture; the PNG files are kept in the repository.
import struct
import zlib

MAGENTA = (255, 0, 255, 255)
KEY = (255, 0, 189, 255)
CLEAR = (0, 0, 0, 0)


def png(pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def doubled(pixels):
    return [[p for p in row for _ in (0, 1)] for row in pixels for _ in (0, 1)]


def write(name, pixels, twice=True):
    with open(name + ".png", "wb") as f:
        f.write(png(pixels))
    if twice:
        with open(name + "@2x.png", "wb") as f:
            f.write(png(doubled(pixels)))


def button(colour):
    # 20 x 12; the four right-hand columns are transparent.
    return [[colour if x < 16 else CLEAR for x in range(20)] for _ in range(12)]


def track(colour):
    # 110 x 10; rows 3..6 are the groove, the rest the transparent colour.
    return [[colour if 3 <= y <= 6 else MAGENTA for _ in range(110)] for y in range(10)]


def thumb(colour):
    # 10 x 10 with its corners in the thumb's transparent colour.
    corners = {(0, 0), (9, 0), (0, 9), (9, 9)}
    return [[KEY if (x, y) in corners else colour for x in range(10)] for y in range(10)]


for name, colour in [("STD", (200, 0, 0, 255)), ("HOT", (0, 200, 0, 255)), ("DOWN", (0, 0, 200, 255)),
                     ("DIS", (100, 100, 100, 255)), ("ALT_STD", (200, 200, 0, 255)),
                     ("ALT_HOT", (0, 200, 200, 255)), ("ALT_DOWN", (200, 0, 200, 255)),
                     ("ALT_DIS", (60, 60, 60, 255))]:
    write("TEST_BTN_" + name, button(colour))
write("TEST_TRACK", track((128, 128, 128, 255)))
write("TEST_TRACK_ACTIVE", track((0, 128, 255, 255)))
write("TEST_THUMB", thumb((250, 250, 250, 255)))
write("TEST_THUMB_ACTIVE", thumb((250, 250, 0, 255)))
write("TEST_ONLY_1X", button((10, 20, 30, 255)), twice=False)
with open("TEST_NOT_PNG.png", "wb") as f:
    f.write(b"GIF89a: not a PNG picture\n")
with open("TEST_BROKEN_PNG.png", "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + b"\x00" * 40)
