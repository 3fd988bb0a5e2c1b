#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Seeds are small, well-formed inputs of each kind (and a few near misses),
so that the fuzzers start from the shapes real peers send. Run it again
after changing an input format; the files it writes are committed.
"""
import json
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus")


def write(target, name, data):
    folder = os.path.join(OUT, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def compact(value):
    return json.dumps(value, separators=(",", ":"), sort_keys=True, ensure_ascii=False)


# Device protocol: 8-byte frame header "VK", type, 0, big-endian length.
def proto_frame(frame_type, payload):
    if isinstance(payload, str):
        payload = payload.encode("utf-8")
    return b"VK" + bytes([frame_type, 0]) + struct.pack(">I", len(payload)) + payload


JSON, HEARTBEAT, MEDIA = 1, 2, 3

# Recorder container frames: kind, "2dc", channel, stream type, sequence,
# 24-bit body length, item count, items, payload.
def item(item_type, body):
    return struct.pack("<I", item_type | ((4 + len(body)) << 8)) + body


def container_frame(kind, channel, stream, seq, items, payload):
    body = b"".join(items) + payload
    return (bytes([kind]) + b"2dc" + bytes([channel, stream]) + struct.pack("<H", seq) +
            struct.pack("<I", len(body))[:3] + bytes([len(items)]) + body)


def video_info(width, height, rate):
    return item(1, struct.pack("<HHB3x", width, height, rate))


def time_item(seconds, ms):
    return item(2, struct.pack("<II", seconds, ms))


def audio_info(rate):
    return item(3, struct.pack("<IB3x", rate, 1))


H264_KEY = bytes.fromhex("00000001674d401e9a6602c0c97f") + bytes.fromhex("0000000168ee3c80") + \
    bytes.fromhex("0000000165888040") + bytes(20)
H264_DELTA = bytes.fromhex("00000001419a2021") + bytes(16)
T0 = 1733650000


def device_protocol():
    hello_client = compact({"type": "hello", "version": 1, "role": "control", "software": "velk"})
    hello_server = compact({"type": "hello", "version": 1, "code": 0, "nonce": "00112233445566778899aabbccddeeff",
                            "heartbeatMs": 2000, "software": "velk-recorder"})
    login = compact({"type": "request", "id": 1, "method": "login",
                     "params": {"user": "admin", "clientNonce": "a1b2c3d4", "proof": "ff" * 32,
                                "clientId": 7, "devType": 2}})
    login_ok = compact({"type": "response", "id": 1, "method": "login", "code": 0,
                        "result": {"session": "beef" * 8, "channels": 16, "name": "DVR"}})
    login_bad = compact({"type": "response", "id": 1, "method": "login", "code": 4, "result": {}})
    open_stream = compact({"type": "request", "id": 2, "method": "openStream",
                           "params": {"session": "beef" * 8, "channel": 3, "streamType": 1}})
    video_property = compact({"type": "notify", "event": "videoProperty",
                              "params": {"channel": 3, "streamType": 1, "width": 704, "height": 576,
                                         "frameRate": 25}})
    stream_error = compact({"type": "notify", "event": "streamError", "params": {"code": 11}})
    device = compact({"type": "notify", "event": "device", "params": {"online": False}})
    # Byte 0: bit 0 media connection, the rest the piece size.
    write("fuzz_device_protocol", "hello-client", b"\x00" + proto_frame(JSON, hello_client))
    write("fuzz_device_protocol", "hello-server-login", b"\x10" + proto_frame(JSON, hello_server) +
          proto_frame(JSON, login) + proto_frame(HEARTBEAT, b""))
    write("fuzz_device_protocol", "login-result", b"\x06" + proto_frame(JSON, login_ok) + proto_frame(JSON, login_bad))
    write("fuzz_device_protocol", "media-open", b"\x01" + proto_frame(JSON, open_stream) +
          proto_frame(JSON, video_property) + proto_frame(MEDIA, container_frame(1, 3, 1, 0, [], H264_KEY)) +
          proto_frame(JSON, stream_error))
    write("fuzz_device_protocol", "notify-device", b"\xfe" + proto_frame(JSON, device))
    write("fuzz_device_protocol", "bad-magic", b"\x00" + b"VX\x01\x00\x00\x00\x00\x02{}")
    write("fuzz_device_protocol", "oversize", b"\x00" + b"VK\x01\x00\x00\x01\x00\x01")
    write("fuzz_device_protocol", "bare-json", b"\x00" + login.encode())


def media_frame():
    key = container_frame(1, 0, 0, 1, [video_info(704, 576, 25), time_item(T0, 40)], H264_KEY)
    delta = container_frame(2, 0, 0, 2, [time_item(T0, 80)], H264_DELTA)
    audio = container_frame(3, 0, 0, 3, [audio_info(8000), time_item(T0, 100)], bytes([0xFF]) * 160)
    alaw = container_frame(4, 5, 1, 65535, [audio_info(8000)], bytes([0xD5]) * 80)
    unknown_item = container_frame(2, 1, 2, 9, [item(9, b"abcd"), time_item(T0, 999)], H264_DELTA)
    write("fuzz_media_frame", "file-video", b"\x00" + key + delta + delta)
    write("fuzz_media_frame", "file-audio", b"\x00" + audio + alaw)
    write("fuzz_media_frame", "file-unknown-item", b"\x00" + unknown_item)
    write("fuzz_media_frame", "file-item-overrun", b"\x00" + key[:12] + struct.pack("<I", 2 | (200 << 8)) + key[16:])
    write("fuzz_media_frame", "connection", b"\x0f" + proto_frame(MEDIA, key) + proto_frame(HEARTBEAT, b"") +
          proto_frame(MEDIA, delta) + proto_frame(MEDIA, audio))


def record_header(first, last, channel):
    h = bytearray(512)
    struct.pack_into("<IH", h, 37, first[0], first[1])
    struct.pack_into("<IH", h, 43, last[0], last[1])
    h[50] = 1
    struct.pack_into("<I", h, 72, 512)
    struct.pack_into("<H", h, 76, 0x1201)
    for i, c in enumerate("IPCAMB"):
        h[80 + 2 * i] = ord(c)
    h[100 + 40 * (channel % 4)] = channel + 1
    return bytes(h)


def record_file():
    frames = b""
    for i in range(6):
        kind = 1 if i % 3 == 0 else 2
        items = [time_item(T0 + i // 25, (i * 40) % 1000)]
        if kind == 1:
            items.insert(0, video_info(352, 288, 25))
        frames += container_frame(kind, 2, 0, i, items, H264_KEY if kind == 1 else H264_DELTA)
    frames += container_frame(3, 2, 0, 6, [time_item(T0, 300)], bytes([0xFF]) * 64)
    valid = record_header((T0, 0), (T0, 200), 2) + bytes(512) + frames
    write("fuzz_record_file", "valid", valid)
    write("fuzz_record_file", "unfinished", bytes(1024) + frames)
    write("fuzz_record_file", "truncated-frame", bytes(1024) + frames[:-30])
    write("fuzz_record_file", "garbage-between", bytes(1024) + frames[:50] + b"xx2dc" + frames[50:])
    write("fuzz_record_file", "bad-header", record_header((T0, 0), (T0, 0), 1)[:76] + b"\x00\x00" +
          bytes(434) + bytes(512) + frames)
    write("fuzz_record_file", "short", b"\x01" * 100)
    # Longer than a scan window (10000 bytes), so both scans move windows.
    big = bytes(1024)
    seq = 0
    while len(big) < 12500:
        big += container_frame(2, 0, 0, seq, [time_item(T0 + seq, seq % 1000)], bytes(300))
        seq += 1
    write("fuzz_record_file", "two-windows", big)


def schedule_text():
    empty = "[null,null,null,null,null,null,null]"
    typed = compact([[{"S": 0, "E": 3599, "T": 0}, {"S": 3600, "E": 86399, "T": 1}], None, [], None,
                     [{"S": "100", "E": 200.7}], None, [{"S": 0, "E": 0}]])
    eight = compact([[{"S": i * 100, "E": i * 100 + 50} for i in range(8)]] + [None] * 6)
    overlapping = compact([[{"S": 0, "E": 500, "T": 0}, {"S": 100, "E": 900, "T": 1}]] + [None] * 6)
    # Byte 0: bit 0 typed mode, bit 1 also read as a stored file.
    write("fuzz_schedule_text", "empty-week", b"\x01" + empty.encode())
    write("fuzz_schedule_text", "typed", b"\x03" + typed.encode())
    write("fuzz_schedule_text", "alarm-mode", b"\x00" + eight.encode())
    write("fuzz_schedule_text", "overlap", b"\x01" + overlapping.encode())
    write("fuzz_schedule_text", "nine-periods", b"\x02" +
          compact([[{"S": i, "E": i} for i in range(9)]] + [None] * 6).encode())
    write("fuzz_schedule_text", "bad-type", b"\x01" + compact([[{"S": 1, "E": 2, "T": 2}]] + [None] * 6).encode())
    write("fuzz_schedule_text", "text-values", b"\x03" +
          '[[{"S":" +12abc","E":"86399","T":"1"}],null,null,null,null,null,null]'.encode())


def overlay_text():
    # FuzzedDataProvider takes texts from the front and numbers from the end.
    write("fuzz_overlay_text", "motion", b"\x00\x01" + b"F" * 64 + b"\x00\x00")
    write("fuzz_overlay_text", "osd", "1_0_a_b_cd\x00\x03\x03".encode())
    write("fuzz_overlay_text", "osd-utf8", "2_0_x_y_\u00e9\u65e5\u672c\x00\x03\x03".encode())
    write("fuzz_overlay_text", "masks", bytes(range(40)) + b"\x01\x01\x01")
    write("fuzz_overlay_text", "text-items", b"Channel 1\x00" + bytes(32) + b"\x02\x02")


def settings_file():
    ini = ("[VELK_Dvr]\r\nsnap_path=snaps\\\r\nrecord_path = rec/\r\nrecord_pack_time=30\r\n"
           "save_alarm=1\r\n; comment\r\n[other]\r\nkey=value\r\n")
    write("fuzz_settings_file", "crlf", b"\x00\x40" + ini.encode() + b"\x00new/snaps")
    write("fuzz_settings_file", "bom-lf", b"\x03\x20\xef\xbb\xbf[velk_dvr]\nRECORD_PACK_TIME=15\nalarm_path=\n\x0045")
    write("fuzz_settings_file", "no-section", b"\x05\x03key=value\n# only a comment\x00 1 ")
    write("fuzz_settings_file", "no-final-break", b"\x01\xff[VELK_Dvr]\nrecord_path=r\xc3\xa9c\x00x")
    write("fuzz_settings_file", "empty", b"\x02\x00")


def json_rpc():
    write("fuzz_json_rpc", "login", compact({"jsonrpc": "2.0", "id": 1, "method": "Login",
                                             "params": ["192.168.1.64", 8000, "admin", "", 80]}))
    write("fuzz_json_rpc", "numbers", compact({"jsonrpc": "2.0", "id": "a", "method": "SetVolume",
                                               "params": [4294967295, -1, 65536, "  +42 ", 1.5, True, None]}))
    write("fuzz_json_rpc", "notification", compact({"jsonrpc": "2.0", "method": "StopPreviewAll"}))
    write("fuzz_json_rpc", "named", compact({"jsonrpc": "2.0", "id": None, "method": "$grab",
                                             "params": {"path": "x.png"}}))
    write("fuzz_json_rpc", "batch", '[{"jsonrpc":"2.0","id":1,"method":"GetVolume","params":[0]},'
                                    '{"jsonrpc":"2.0","method":"x"}]')
    write("fuzz_json_rpc", "scalar", "18446744073709551616")
    write("fuzz_json_rpc", "broken", '{"jsonrpc":"2.0","id":1,"method":')


def input_request():
    for name, value in {
        "click": {"type": "click", "x": 10, "y": 20, "button": "left"},
        "wheel": {"type": "wheel", "x": 0.5, "y": -3, "delta": -240, "modifiers": ["ctrl"]},
        "key": {"type": "key", "key": "F12", "modifiers": ["shift", "alt"]},
        "key-char": {"type": "key", "key": "\u00e9"},
        "move": {"type": "move", "x": 100000, "y": 0},
    }.items():
        write("fuzz_input_request", name, compact(value))
    write("fuzz_input_request", "array", compact([{"type": "dblclick", "x": 1, "y": 2, "button": "right"}, "Escape"]))


def video_stream():
    # Byte 0 picks the picture size (fuzz_video_stream.cpp's kSizes), byte 1
    # bit 0 low delay, bit 1 one appended access unit; then damages.
    for size in range(10):
        write("fuzz_video_stream", "clean-%d" % size, bytes([size, 1]))
    write("fuzz_video_stream", "damaged-sps", bytes([3, 0]) + struct.pack("<HB", 6, 0x40))
    write("fuzz_video_stream", "damaged-slices", bytes([4, 1]) + struct.pack("<HBHB", 200, 0xFF, 900, 0x01))
    write("fuzz_video_stream", "cut", bytes([1, 1]) + struct.pack("<HB", 0x8000 | 400, 0))
    write("fuzz_video_stream", "extra-unit", bytes([0, 3]) + H264_DELTA)


def main():
    for make in (device_protocol, media_frame, record_file, schedule_text, overlay_text, settings_file,
                 json_rpc, input_request, video_stream):
        make()
    total = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(OUT) for f in fs)
    print("corpus: %d bytes in %s" % (total, OUT), file=sys.stderr)


if __name__ == "__main__":
    main()
