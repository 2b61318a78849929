#!/usr/bin/env python3
"""Synthesizes the alarm sound: a RIFF/WAVE file of exactly 119,384 bytes.

PCM, 2 channels, 22050 Hz, 16 bits; a data chunk of 119,292 bytes (29,823 frames, about
1.35 s) of a two-tone siren, then a LIST/INFO chunk of 40 bytes (its size field) naming the program.
Run: python3 assets/make_alarm.py  (writes assets/alarm.wav next to this script)
"""
import math
import os
import struct

RATE = 22050
CHANNELS = 2
BITS = 16
FRAMES = 29823


def samples():
    beep = int(RATE * 0.17)  # one beep with its gap
    for n in range(FRAMES):
        k = n // beep
        t = (n % beep) / RATE
        freq = 1320.0 if k % 2 == 0 else 990.0
        # 140 ms of tone, 30 ms of silence, soft 5 ms edges against clicks.
        on = 0.14
        if t >= on:
            amp = 0.0
        else:
            amp = min(1.0, t / 0.005, (on - t) / 0.005)
        v = amp * 0.6 * (math.sin(2 * math.pi * freq * n / RATE)
                         + 0.25 * math.sin(2 * math.pi * 2 * freq * n / RATE))
        s = max(-32767, min(32767, int(v * 32767)))
        yield s, s


def build():
    data = bytearray()
    for left, right in samples():
        data += struct.pack('<hh', left, right)
    assert len(data) == 119292
    fmt = struct.pack('<4sIHHIIHH', b'fmt ', 16, 1, CHANNELS, RATE,
                      RATE * CHANNELS * BITS // 8, CHANNELS * BITS // 8, BITS)
    text = b'Korvelin alarm tone, v1\x00\x00\x00\x00\x00'  # 28 bytes
    info = b'INFO' + b'ISFT' + struct.pack('<I', len(text)) + text
    listchunk = b'LIST' + struct.pack('<I', len(info)) + info
    assert len(info) == 40
    body = b'WAVE' + fmt + b'data' + struct.pack('<I', len(data)) + bytes(data) + listchunk
    wav = b'RIFF' + struct.pack('<I', len(body)) + body
    assert len(wav) == 119384
    return wav


if __name__ == '__main__':
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'alarm.wav')
    with open(out, 'wb') as f:
        f.write(build())
