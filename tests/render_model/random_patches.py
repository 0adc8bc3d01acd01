#!/usr/bin/env python3
"""Seeded generator of render test cases: WAV samples, PRG patch sets and a
short MIDI song, plus the render options to use with them.

`generate(seed, out_dir)` writes out_dir/WAV (samples), out_dir/PRG (patches),
out_dir/song.mid and returns a dict of options:
    {"song", "prg", "wav", "drums", "legacy", "saturate", "volume", "balance",
     "notes": [...remarks...]}

Run as a script to write one seed's files:  random_patches.py SEED DIR
"""

from __future__ import annotations

import json
import math
import os
import random
import struct
import sys

NOTE_NAMES = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"]


# ---------------------------------------------------------------------------
# WAV files
# ---------------------------------------------------------------------------

class SampleFile:
    """A generated sample file: what the PRG lines need to know of it."""

    def __init__(self, fname, ref_name, rate, frames, valid=True, fail_kind=None):
        self.fname = fname          # path relative to the case directory
        self.ref_name = ref_name    # the name a PRG line uses for it
        self.rate = rate            # rate written in the file
        self.frames = frames        # source frames in the data chunk
        self.valid = valid
        self.fail_kind = fail_kind


def _waveform(rng: random.Random, n: int, bits: int):
    """n values in the sample range of the width (signed for 16 bits,
    0..255 for 8 bits)."""
    kind = rng.choice(["sine", "sine", "saw", "square", "noise", "full", "ramp", "mixed"])
    period = rng.choice([2, 3, 7, 20, 50, 100, 251, rng.randint(2, 400)])
    amp = rng.choice([1.0, 0.9, 0.5, 0.1, 0.01, 1.0])
    out = []
    for i in range(n):
        if kind == "sine":
            x = math.sin(2 * math.pi * i / period)
        elif kind == "saw":
            x = ((i % period) / period) * 2 - 1
        elif kind == "square":
            x = 1.0 if (i // max(1, period // 2)) % 2 == 0 else -1.0
        elif kind == "noise":
            x = rng.uniform(-1, 1)
        elif kind == "full":
            x = rng.choice([-1.0, 1.0, -1.0, 0.99, -0.99, 0.0])
        elif kind == "ramp":
            x = (i / max(1, n - 1)) * 2 - 1
        else:
            x = 0.6 * math.sin(2 * math.pi * i / period) + 0.4 * rng.uniform(-1, 1)
        x *= amp
        if bits == 16:
            v = int(round(x * 32767.5 - 0.5))
            out.append(max(-32768, min(32767, v)))
        else:
            v = int(round(x * 127.5 + 127.5))
            out.append(max(0, min(255, v)))
    # extremes now and then
    if n and rng.random() < 0.3:
        for _ in range(rng.randint(1, 4)):
            j = rng.randrange(n)
            out[j] = (-32768 if bits == 16 else 0) if rng.random() < 0.5 else (32767 if bits == 16 else 255)
    return out


def _chunk(cid: bytes, body: bytes, stated_len=None) -> bytes:
    ln = len(body) if stated_len is None else stated_len
    pad = b"\0" if len(body) & 1 else b""
    return cid + struct.pack("<I", ln) + body + pad


def make_wav(rng: random.Random, bits: int, channels: int, rate: int, frames: int,
             fail_kind=None) -> bytes:
    vals = []
    for ch in range(channels):
        vals.append(_waveform(rng, frames, bits))
    data = bytearray()
    for i in range(frames):
        for ch in range(channels):
            if bits == 16:
                data += struct.pack("<h", vals[ch][i])
            else:
                data.append(vals[ch][i])
    if bits == 16 and rng.random() < 0.05:
        data.append(rng.randrange(256))  # a half sample at the end
    if channels == 2 and rng.random() < 0.05:
        data += bytes(rng.randrange(256) for _ in range(bits // 8))  # half a frame
    bits_field = bits
    if fail_kind == "bits":
        bits_field = rng.choice([24, 32, 12, 0])
    block = channels * max(1, bits_field // 8)
    fmt_len = 16
    fmt_extra = b""
    r = rng.random()
    if r < 0.15:
        fmt_len = 18
        fmt_extra = b"\0\0"
    elif r < 0.22:
        fmt_len = rng.choice([17, 19, 21])
        fmt_extra = bytes(rng.randrange(256) for _ in range(fmt_len - 16))
    elif r < 0.27:
        fmt_len = 20
        fmt_extra = b"\1\2\3\4"
    fmt_body = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits_field) + fmt_extra
    if fail_kind == "notpcm":
        fmt_body = struct.pack("<H", 3) + fmt_body[2:]
    if fail_kind == "channels":
        fmt_body = fmt_body[:2] + struct.pack("<H", rng.choice([0, 3, 6])) + fmt_body[4:]
    if fail_kind == "shortfmt":
        fmt_len = rng.choice([14, 15, 0])
    fmt = b"fmt " + struct.pack("<I", fmt_len) + fmt_body + (b"\0" if fmt_len & 1 else b"")
    if fail_kind == "emptylast":
        data = bytearray()
    pre = b""
    if fail_kind == "hugechunk":
        pre += b"LIST" + struct.pack("<I", rng.choice([0xFFFFFFF0, 0x80000000, 0x7FFFFFFF]))
    for _ in range(rng.choice([0, 0, 0, 1, 1, 2])):
        cid = rng.choice([b"LIST", b"fact", b"cue ", b"junk"])
        body = bytes(rng.randrange(256) for _ in range(rng.choice([0, 1, 3, 4, 7, 12, 33])))
        pre += _chunk(cid, body)
    if fail_kind == "nodata":
        body = b"RIFF" + struct.pack("<I", 0) + b"WAVE" + fmt + pre + _chunk(b"LIST", b"abcd")
        return body
    stated = len(data)
    if fail_kind == "datasize":
        stated = len(data) + rng.choice([1, 2, 100, 0x7FFFFFF0])
    post = b""
    if rng.random() < 0.2 or (len(data) == 0 and fail_kind != "emptylast"):
        post = _chunk(b"LIST", bytes(rng.randrange(256) for _ in range(rng.choice([4, 5, 10]))))
    data_chunk = b"data" + struct.pack("<I", stated) + bytes(data) + (b"\0" if len(data) & 1 else b"")
    if fail_kind == "datasize":
        data_chunk = b"data" + struct.pack("<I", stated) + bytes(data)
        post = b""
    body = b"WAVE" + fmt + pre + data_chunk + post
    riff = b"RIFF" + struct.pack("<I", len(body)) + body
    if fail_kind == "riff":
        riff = b"RIFX" + riff[4:]
    if fail_kind == "short":
        riff = riff[:rng.choice([0, 10, 36])]
    return riff


FAIL_KINDS = ["bits", "notpcm", "channels", "shortfmt", "nodata", "datasize", "riff", "short",
              "missing", "hugechunk", "emptylast"]


def gen_wavs(rng: random.Random, case_dir: str, fail: bool):
    wav_dir = os.path.join(case_dir, "WAV")
    prg_dir = os.path.join(case_dir, "PRG")
    os.makedirs(wav_dir, exist_ok=True)
    os.makedirs(prg_dir, exist_ok=True)
    sample_files = []
    n = rng.randint(2, 6)
    fail_index = rng.randrange(n) if fail else -1
    for i in range(n):
        bits = rng.choice([8, 16, 16])
        channels = rng.choice([1, 1, 2])
        rate = rng.choice([22050, 22050, 11025, 44100, 32000, 8000, 48000, 16000, 22051, 12345,
                           96000, 44101, 4000, 192000, 22049])
        frames = rng.choice([rng.randint(0, 50), rng.randint(50, 2000), rng.randint(2000, 20000),
                             rng.randint(1000, 8000)])
        if rng.random() < 0.03:
            frames = 0
        # names: plain, no extension, mixed case on disk, a directory part
        style = rng.choice(["plain", "plain", "noext", "case", "subdir", "updir", "abs", "space"])
        base = "s%d" % i
        if style == "plain":
            fname, ref = os.path.join("WAV", base + ".wav"), base + ".wav"
        elif style == "noext":
            fname, ref = os.path.join("WAV", base + rng.choice([".WAV", ".wav"])), base
        elif style == "case":
            fname, ref = os.path.join("WAV", "Smp%d.Wav" % i), "smp%d.WAV" % i
        elif style == "subdir":
            fname, ref = os.path.join("PRG", "sub", base + ".wav"), "sub\\" + base + ".wav"
        elif style == "updir":
            fname, ref = os.path.join("W2", base + ".wav"), "../W2/" + base + ".wav"
        elif style == "abs":
            fname = os.path.join("W3", base + ".wav")
            ref = os.path.join(os.path.abspath(case_dir), fname)
        else:
            fname, ref = os.path.join("WAV", "my s%d.wav" % i), "my s%d.wav" % i
        fail_kind = None
        if i == fail_index:
            fail_kind = rng.choice(FAIL_KINDS)
        sfile = SampleFile(fname, ref, rate, frames, fail_kind is None, fail_kind)
        sample_files.append(sfile)
        if fail_kind == "missing":
            continue
        content = make_wav(rng, bits, channels, rate, frames, fail_kind)
        path = os.path.join(case_dir, fname)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as fh:
            fh.write(content)
    return sample_files


# ---------------------------------------------------------------------------
# PRG files
# ---------------------------------------------------------------------------

def key_code(key: int) -> str:
    return NOTE_NAMES[key % 12] + str(key // 12)


def fmt_real(rng: random.Random, x: float) -> str:
    s = repr(round(x, rng.choice([0, 1, 2, 3, 4])))
    if s.endswith(".0") and rng.random() < 0.5:
        s = s[:-2]
    return s


def prg_line(rng: random.Random, low: int, high: int, sfile: SampleFile, prog_keys, drum: bool):
    """One PRG entry line for keys low..high playing sfile."""
    inside = sorted(k for k in prog_keys if low <= k <= high)
    played_mid = inside[len(inside) // 2] if inside else (low + high) // 2
    far = rng.random() < 0.12
    if far:
        base = max(0, min(127, played_mid + rng.choice([-1, 1]) * rng.randint(30, 70)))
    else:
        base = max(0, min(127, played_mid + rng.randint(-14, 14)))
    vol = rng.choice([1, 2, 8, 20, 40, 64, 100, 100, 150, 300, rng.randint(1, 500)])
    pan = rng.choice([0, 64, 127, rng.randint(0, 127)])
    vel = rng.choice([100, 100, 80, 50, -50, 0, rng.randint(-100, 100)])
    pres = rng.choice([0, 0, 50, -50, 100, rng.randint(-100, 100)])
    expr = rng.choice([0, 100, 100, 50, -30, rng.randint(-100, 100)])
    rel_s = rng.choice([0, 0, 50, -50, 100, rng.randint(-100, 100)])
    bend = rng.choice([0, 2, 2, 12, 24, rng.randint(0, 36)])
    msens = rng.choice([0, 0, 20, 100, rng.randint(0, 100)])
    mrate = rng.choice([0, 5, 6, 100, 1, rng.randint(0, 100)])
    att_f = rng.choice([1.0, 1.0, 0.8, 0.5, 2.0, 0.0, 1.5, rng.uniform(0, 3)])
    if rng.random() < 0.04:
        att_f = rng.choice([20.0, 60.0])  # loud: saturation and wrap-around
    huge = rng.random() < 0.03
    if huge:
        att_f = rng.choice([1e6, 3.5e7, 1e9])  # gains beyond the 32-bit range
    dec_f = rng.choice([att_f, 0.8, 0.5, 0.0, 1.2, rng.uniform(0, 2)])
    sus = rng.choice([0.0, 0.0, -0.1, -0.5, -2.0, 0.3, rng.uniform(-3, 1)])
    att_len = rng.choice([0, 0, 1, 5, 10, 50, 200, rng.randint(0, 400)])
    dec_len = rng.choice([0, 0, 1, 20, 100, 300, rng.randint(0, 800)])
    src_frames = max(sfile.frames, 1)
    start = rng.choice([0, 0, 0, rng.randint(0, src_frames // 2), rng.randint(0, src_frames)])
    end = rng.choice([src_frames, src_frames - 1, rng.randint(start, max(start, src_frames)),
                      src_frames + rng.randint(0, 3000), src_frames * 3])
    end = max(start, end)
    r = rng.random()
    if huge:
        r = 1.0  # no loop: the voice ends at its end index
        end = min(end, max(start, 3000))
        far = False
    if r < 0.45 and not drum:
        ls = rng.randint(start, end)
        le = rng.randint(ls, end)
        if rng.random() < 0.1:
            le = ls  # one-sample loop
    elif r < 0.52:
        ls, le = rng.randint(start, end), -1  # a loop start without a loop end
    elif r < 0.56:
        ls, le = -1, rng.randint(0, end)  # a loop end without a loop start
    else:
        ls, le = -1, -1
    # release slope: negative when the entry loops (a PRG rule); keep songs
    # finite: a positive release only where the voice is sure to end soon
    loops = le >= 0
    if loops:
        rel = rng.choice([-1.0, -2.0, -5.0, -10.0, -30.0, -0.5, rng.uniform(-40, -0.3)])
    else:
        rel = rng.choice([-1.0, -3.0, -10.0, -0.5, 0.0, 0.5, rng.uniform(-40, 1)])
        if rel >= 0 and (far or bend > 12 or end > 40000):
            rel = -2.0
    # make the voice die in a few seconds after its release when it loops
    # (the release lasts about (attack factor + growth) / |slope| seconds)
    top = max(att_f, dec_f) + max(0.0, sus) * 6
    if huge and rel >= 0:
        rel = -1.0
    if (loops or ls >= 0) and not huge:
        if abs(rel) < top / 4:
            rel = -(top / 4 + 0.5)
    rel_text = fmt_real(rng, rel)
    if loops and float(rel_text) >= 0:
        rel_text = "-1"
    rate_field = sfile.rate
    if rng.random() < 0.1:
        rate_field = rng.choice([22050, 44100, 11025, 32000])
    if rate_field <= 0 or rate_field > 100000:
        rate_field = 22050
    name = sfile.ref_name
    if " " in name:
        name_part = '"' + name + '"' + key_code(base)
    else:
        name_part = name + " " + key_code(base)
    kr = key_code(low) + ("-" + key_code(high) if high != low else "")
    fields = [vol, pan, vel, pres, expr, rel_s, bend, msens, mrate,
              fmt_real(rng, att_f), fmt_real(rng, dec_f), fmt_real(rng, sus), rel_text,
              att_len, dec_len, start, end, ls, le, 16, 1, rate_field]
    return kr + " " + name_part + " " + " ".join(str(f) for f in fields)


def gen_prg(rng: random.Random, prg_dir: str, fname: str, sample_files, keys_used, drum: bool):
    """Write a PRG file whose lines cover every key in keys_used."""
    lines = ["# generated patch"]
    lo, hi = min(keys_used), max(keys_used)
    # split the used range into 1..3 zones, plus layers over part of it
    cuts = sorted(rng.sample(range(lo, hi + 1), min(rng.randint(0, 2), hi - lo + 1)))
    zones = []
    start = 0
    for c in cuts:
        if c > start:
            zones.append((start, c - 1))
            start = c
    zones.append((start, 127))
    if rng.random() < 0.3:
        zones.append((0, 127))  # a second layer on every key
    if rng.random() < 0.2:
        a = rng.randint(lo, hi)
        zones.append((a, min(127, a + rng.randint(0, 12))))
    for low, high in zones:
        sfile = rng.choice(sample_files)
        lines.append(prg_line(rng, low, high, sfile, keys_used, drum))
    with open(os.path.join(prg_dir, fname), "w", newline="") as fh:
        fh.write("\r\n".join(lines) + "\r\n")


# ---------------------------------------------------------------------------
# MIDI file
# ---------------------------------------------------------------------------

def vlq(n: int) -> bytes:
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def track_bytes(events) -> bytes:
    """events: list of (tick, order, bytes); running status is used."""
    out = bytearray()
    last = 0
    running = None
    end = 0
    for tick, _, data in sorted(events, key=lambda e: (e[0], e[1])):
        out += vlq(tick - last)
        last = tick
        if data[0] == running and data[0] < 0xF0:
            out += data[1:]
        else:
            out += data
            running = data[0] if data[0] < 0xF0 else None
        end = max(end, tick)
    out += vlq(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(out)) + bytes(out)


class Song:
    def __init__(self, rng: random.Random):
        self.rng = rng
        self.tracks = {}  # channel -> list of events
        self.order = 0

    def add(self, ch: int, tick: int, data: bytes):
        self.tracks.setdefault(ch, []).append((max(0, tick), self.order, data))
        self.order += 1


def gen_song(rng: random.Random, length_ms: int, is_drum):
    """Return (song, {(drum flag, program): set(keys)})."""
    song = Song(rng)
    used = {}
    n_channels = rng.randint(1, 4)
    channels = rng.sample([0, 1, 2, 3, 4, 9], n_channels)
    density = rng.choice([0.5, 1, 2, 4])  # notes per second per channel
    # events landing right on buffer boundaries (4000 ms = 88200 frames)
    boundaries = [t for t in range(4000, length_ms + 1, 4000)]
    for ch in channels:
        drum = is_drum(ch)
        prog = rng.choice([0, 0, 1, 2])
        song.add(ch, 0, bytes([0xC0 | ch, prog]))
        # controllers before the first note
        if rng.random() < 0.5:
            song.add(ch, 0, bytes([0xB0 | ch, 7, rng.randint(0, 127)]))
        if rng.random() < 0.4:
            song.add(ch, 0, bytes([0xB0 | ch, 10, rng.randint(0, 127)]))
        if rng.random() < 0.4:
            song.add(ch, 0, bytes([0xB0 | ch, 11, rng.randint(0, 127)]))
        if rng.random() < 0.3:
            song.add(ch, 0, bytes([0xB0 | ch, 1, rng.randint(0, 127)]))
        if rng.random() < 0.2:
            v = rng.randint(0, 16383)
            song.add(ch, 0, bytes([0xE0 | ch, v & 0x7F, v >> 7]))
        if rng.random() < 0.15:
            song.add(ch, 0, bytes([0xB0 | ch, 64, 127]))
        centre = rng.randint(30, 90)
        keys_pool = [max(0, min(127, centre + rng.randint(-12, 12))) for _ in range(rng.randint(1, 6))]
        if drum:
            keys_pool = rng.sample(range(35, 60), rng.randint(1, 4))
        n_notes = max(1, int(length_ms / 1000 * density * rng.uniform(0.5, 1.5)))
        t = rng.randint(0, 300)
        for _ in range(n_notes):
            if t >= length_ms:
                break
            key = rng.choice(keys_pool)
            used.setdefault((drum, prog), set()).add(key)
            vel = rng.choice([127, 100, 64, 1, rng.randint(1, 127)])
            start = t
            if boundaries and rng.random() < 0.15:
                start = rng.choice(boundaries) + rng.choice([-1, 0, 0, 1])
            dur = rng.choice([1, 2, 10, 50, 200, 500, 1000, 2500, rng.randint(1, 5000)])
            if drum and rng.random() < 0.5:
                dur = rng.choice([1, 20, 100])
            end = start + dur
            if boundaries and rng.random() < 0.1:
                b = rng.choice(boundaries)
                if b > start:
                    end = b
            song.add(ch, start, bytes([0x90 | ch, key, vel]))
            # changes during the note
            for _ in range(rng.choice([0, 0, 1, 2, 4, 8])):
                et = rng.randint(start, end)
                kind = rng.random()
                if kind < 0.2:
                    song.add(ch, et, bytes([0xB0 | ch, 1, rng.randint(0, 127)]))
                elif kind < 0.35:
                    song.add(ch, et, bytes([0xB0 | ch, 7, rng.randint(0, 127)]))
                elif kind < 0.5:
                    song.add(ch, et, bytes([0xB0 | ch, 10, rng.randint(0, 127)]))
                elif kind < 0.6:
                    song.add(ch, et, bytes([0xB0 | ch, 11, rng.randint(0, 127)]))
                elif kind < 0.8:
                    v = rng.choice([0, 16383, 8192, rng.randint(0, 16383)])
                    song.add(ch, et, bytes([0xE0 | ch, v & 0x7F, v >> 7]))
                elif kind < 0.9:
                    song.add(ch, et, bytes([0xD0 | ch, rng.randint(0, 127)]))
                else:
                    song.add(ch, et, bytes([0xA0 | ch, key, rng.randint(0, 127)]))
            if rng.random() < 0.1:
                # a pitch wheel sweep: many small steps
                for j in range(rng.randint(5, 40)):
                    v = rng.randint(0, 16383)
                    song.add(ch, start + j * rng.randint(1, 30), bytes([0xE0 | ch, v & 0x7F, v >> 7]))
            if rng.random() < 0.93:
                if rng.random() < 0.3:
                    song.add(ch, end, bytes([0x90 | ch, key, 0]))
                else:
                    song.add(ch, end, bytes([0x80 | ch, key, rng.randint(0, 127)]))
            # next note: chords, overlaps, repeats 0.25 s after a release
            r = rng.random()
            if r < 0.2:
                t = start  # chord
            elif r < 0.35:
                t = end + rng.choice([248, 249, 250, 251, 252, 253, 300, 500])
            else:
                t = start + int(rng.expovariate(density / 1000.0)) + 1
    return song, used


def write_midi(song: Song, path: str, rng: random.Random):
    chans = sorted(song.tracks)
    if rng.random() < 0.3:
        # format 0: everything in one track
        evs = []
        for ch in chans:
            evs += song.tracks[ch]
        trks = [track_bytes(evs)]
        fmt = 0
    else:
        trks = [track_bytes([])] + [track_bytes(song.tracks[ch]) for ch in chans]
        fmt = 1
    hdr = b"MThd" + struct.pack(">IHHH", 6, fmt, len(trks), 500)
    with open(path, "wb") as fh:
        fh.write(hdr + b"".join(trks))


# ---------------------------------------------------------------------------
# a whole case
# ---------------------------------------------------------------------------

def generate(seed: int, out_dir: str) -> dict:
    rng = random.Random(seed)
    os.makedirs(out_dir, exist_ok=True)
    fail = rng.random() < 0.05
    sample_files = gen_wavs(rng, out_dir, fail)
    length_ms = rng.choice([1500, 3000, 5000, 8000, 8000, 12000, rng.randint(500, 20000)])
    if rng.random() < 0.3:
        length_ms = rng.randint(15000, 30000)
    drums = rng.choice([None, None, None, None, "ALL:10", "", "ALL:ALL"])
    if drums == "":
        def is_drum(ch): return False
    elif drums == "ALL:ALL":
        def is_drum(ch): return True
    else:
        def is_drum(ch): return ch == 9
    song, used = gen_song(rng, length_ms, is_drum)
    if rng.random() < 0.01:
        song = Song(rng)  # no notes at all: nothing to render
        song.add(0, 0, bytes([0xB0, 7, 100]))
    prg_dir = os.path.join(out_dir, "PRG")
    for (drum, prog), keys in sorted(used.items()):
        fname = ("D%d.PRG" if drum else "%d.PRG") % prog
        gen_prg(rng, prg_dir, fname, sample_files, keys, drum)
    song_path = os.path.join(out_dir, "song.mid")
    write_midi(song, song_path, rng)
    opts = {
        "song": song_path,
        "prg": prg_dir,
        "wav": os.path.join(out_dir, "WAV"),
        "drums": drums,
        "legacy": rng.random() < 0.3,
        "saturate": rng.random() < 0.75,
        "volume": rng.choice([10, 10, 10, 0, 1, 5, 20, 50, 99, rng.randint(0, 99)]),
        "balance": rng.choice([50, 50, 50, 0, 100, 1, 99, rng.randint(0, 100)]),
        "expect_failure": fail,
    }
    return opts


def main(argv=None) -> int:
    argv = sys.argv[1:] if argv is None else argv
    if len(argv) != 2:
        print("usage: random_patches.py SEED DIR", file=sys.stderr)
        return 2
    opts = generate(int(argv[0]), argv[1])
    print(json.dumps(opts, indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
