#!/usr/bin/env python3
"""Seeded generator of the differential tests' cases, for both models.

`generate(seed, out_dir)` writes a MIDI file and a directory of PRG files for
the compiler and returns the compile options to use with them.  Most seeds
give plausible songs that compile; some break an input on purpose (truncated
or malformed MIDI data, faulty PRG lines, keys that no patch covers) so that
error codes and messages are compared as well.

`generate_render(seed, out_dir)` writes WAV samples, PRG patches and a song
that plays them for the renderer and returns the render options.

Run as a script to write one seed's files:  random_song.py dump|render SEED DIR
"""

from __future__ import annotations

import json
import math
import os
import random
import struct
import sys

NOTE_NAMES = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"]

WAV_NAMES = ["piano.wav", "Piano.wav", "strings.wav", "bass.wav", "organ.WAV", "kick.wav",
             "snare.wav", "hat.wav", "my sample.wav", "pad.wav"]
RATES = [11025, 22050, 44100, 32000]
ODD_RATES = [8000, 48000, 100000, 1, 7, 96000, 22051]


# ---------------------------------------------------------------------------
# MIDI bytes
# ---------------------------------------------------------------------------

def vlq(n: int) -> bytes:
    """The variable-length quantity of the low 32 bits of n, at most five bytes."""
    n &= 0xFFFFFFFF
    out = [n & 0x7F]
    while n := n >> 7:
        out.append(0x80 | (n & 0x7F))
    return bytes(reversed(out[:5]))


def header(fmt: int, ntracks: int, division: int, length: int = 6) -> bytes:
    return b"MThd" + struct.pack(">IHHH", length, fmt, ntracks, division & 0xFFFF)


def chunk(body: bytes, length=None, kind=b"MTrk") -> bytes:
    return kind + struct.pack(">I", (len(body) if length is None else length) & 0xFFFFFFFF) + body


class TrackBuilder:
    """Events at absolute ticks; serialised with delta times and running status."""

    def __init__(self, rng: random.Random, running_prob: float = 0.7):
        self.events = []  # (tick, order, bytes)
        self.rng = rng
        self.running_prob = running_prob
        self.order = 0

    def add(self, tick: int, data: bytes):
        self.events.append((max(0, tick), self.order, bytes(data)))
        self.order += 1

    def serialise(self, end_tick=None, shuffle_same_tick=True) -> bytes:
        """Events at the same tick are shuffled now and then; an end of track closes it."""
        rng = self.rng
        shuffle = (lambda: rng.random() if rng.random() < 0.3 else 0) if shuffle_same_tick \
            else (lambda: 0)
        evs = sorted(self.events, key=lambda e: (e[0], shuffle(), e[1]))
        out = bytearray()
        last, running = 0, None
        for tick, _, data in evs:
            st = data[0]
            short = st < 0xF0 and running == st and rng.random() < self.running_prob
            out += vlq(tick - last) + (data[1:] if short else data)
            last = tick
            running = st if st < 0xF0 else running
        t = max(last, end_tick if end_tick is not None else last)
        return bytes(out + vlq(t - last) + b"\xff\x2f\x00")


# ---------------------------------------------------------------------------
# PRG files
# ---------------------------------------------------------------------------

def key_name(key: int) -> str:
    return NOTE_NAMES[key % 12] + str(key // 12)


def key_code(rng: random.Random, key: int) -> str:
    name = key_name(key)
    return name.lower() if rng.random() < 0.3 else name


def fmt_int(rng: random.Random, v: int) -> str:
    r = rng.random()
    if r < 0.08:
        return ("-$" if v < 0 else "$") + format(abs(v), rng.choice(["x", "X"]))
    if r < 0.12 and v >= 0:
        return "+" + str(v)
    if r < 0.14:
        return ("-" if v < 0 else "") + "00" + str(abs(v))
    return str(v)


FACTORS = ["1", "0.8", "1.0", "0", "2.5", ".5", "5.", "1e0", "1.25E+1", "3e-2", "0.001",
           "0.75", "1.5", "+1"]
EXTREME_FACTORS = ["1e150", "7.5e-120", "123456.5", "1E-3"]
SLOPES = ["0", "-0.1", "-2", "0.5", "-1e-3", "+0.25", "-0", "-1.5", "3", "-0.02"]
EXTREME_SLOPES = ["-1e100", "2.5e-150", "-123456789.25", "1e200"]
REL_SLOPES = ["-2", "-0.5", "-10", "-1E1", "-0.001", "-7.25"]


class ParamSet:
    """The sound parameters of a PRG line (everything but key range, WAV name,
    base key and sample rate), as text fields."""

    def __init__(self, rng: random.Random, extreme: bool):
        self.rng = rng
        r = rng
        vol = r.choice([1, 2, 4, 10, 100, 127, 1000]) if not (extreme and r.random() < 0.2) \
            else r.choice([2147483647, 65536, 3])
        pan = r.choice([0, 64, 127, r.randint(0, 127)])
        sens = [r.choice([0, 100, -100, 50, r.randint(-100, 100)]) for _ in range(4)]
        if sens[0] == 0 and r.random() < 0.8:
            sens[0] = r.randint(1, 100)
        pbr = r.choice([2, 12, 24, 0, r.randint(0, 127)])
        msens = r.choice([0, 100, 20, r.randint(0, 100)])
        mrate = r.choice([0, 5, 100, r.randint(0, 100)])
        af = r.choice(FACTORS + (EXTREME_FACTORS if extreme else []))
        df = r.choice(FACTORS + (EXTREME_FACTORS if extreme else []))
        sus = r.choice(SLOPES + (EXTREME_SLOPES if extreme else []))
        att = r.choice([0, 0, 10, 1, 250, r.randint(0, 2000)])
        dec = r.choice([0, 0, 200, 1, r.randint(0, 5000)])
        if extreme and r.random() < 0.2:
            att = r.choice([att, 2147483647, 100000000])
            dec = r.choice([dec, 2147483647, 99999999])
        start = r.choice([0, 0, 100, r.randint(0, 50000)])
        end = start + r.choice([0, 1000, 30000, r.randint(0, 400000)])
        if extreme and r.random() < 0.2:
            start = r.choice([start, 2147483000])
            end = r.choice([2147483647, max(start, end)])
            if end < start:
                end = start
        loop = r.random()
        if loop < 0.45:
            ls = r.randint(start, end)
            le = r.randint(ls, end) if r.random() < 0.9 else r.choice([-1, -5])
        elif loop < 0.55:
            ls, le = r.choice([-1, -7]), r.choice([-1, -3])
        elif loop < 0.6:
            ls, le = r.choice([-1, -100]), r.randint(0, end)  # loop end without loop start
        else:
            ls, le = -1, -1
        if le >= 0:
            rel = r.choice(REL_SLOPES)
        else:
            rel = r.choice(REL_SLOPES + SLOPES)
        self.fields = [fmt_int(r, vol), fmt_int(r, pan)] + [fmt_int(r, s) for s in sens] + [
            fmt_int(r, pbr), fmt_int(r, msens), fmt_int(r, mrate), af, df, sus, rel,
            fmt_int(r, att), fmt_int(r, dec), fmt_int(r, start), fmt_int(r, end),
            fmt_int(r, ls), fmt_int(r, le)]
        self.tokens = [r.choice(["16", "8", "x"]), r.choice(["1", "2", "mono"])]


def prg_line(rng: random.Random, low: int, high: int, wav: str, base: int, params: ParamSet,
             rate: int) -> str:
    kr = key_code(rng, low)
    if high != low or rng.random() < 0.2:
        kr += "-" + key_code(rng, high)
    # the character right after the key range code is skipped, whatever it is
    sep = rng.choice([" ", " ", " ", "  ", "   ", "\t", "x", "\t "])
    if " " in wav or rng.random() < 0.1:
        name_and_base = '"' + wav + '"' + key_code(rng, base)
    else:
        name_and_base = wav + " " + key_code(rng, base)
    fields = params.fields + params.tokens + [fmt_int(rng, rate)]
    # field 4 starts after the one character that ends the base key's octave
    after_base = rng.choice([" "] * 12 + ["x", "\t", "#"])
    line = kr + sep + name_and_base + after_base + " ".join(fields)
    if rng.random() < 0.1:
        line = " " * rng.randint(1, 3) + line
    if rng.random() < 0.1:
        line += " " + rng.choice(["trailing words", "x", "   "])
    return line


def bad_prg_line(rng: random.Random, good: str) -> str:
    """A broken variant of a good entry line."""
    parts = good.split(" ")
    choice = rng.randrange(14)
    if choice == 0:
        return " " * rng.randint(1, 4)
    if choice == 1:
        bad = rng.choice(["Db4", "H4", "C11", "C5-B4", "G#10", "C", "c-1", "C5-", "B10-B10",
                          "X5", "C5-H6", "\tC5"])
        return bad + " " + " ".join(parts[1:])
    if choice == 2:
        return rng.choice(["C5", "C5 ", 'C5 ""C5 1', "C5-D5   ", 'C5 "open quote C5 1 2 3',
                           "C5 name.wav", "C5 name.wav C5", "C5 name.wav C5 "])
    if choice == 3:
        if '"' in good:
            # a blank between the closing quote and the base key
            q = good.index('"', good.index('"') + 1)
            return good[:q + 1] + " " + good[q + 1:]
        i = 1
        while parts[i] == "":
            i += 1
        parts[i + 1] = rng.choice(["X5", "C12", "Db3", "", "c", "C 5"])
        return " ".join(parts)
    # a field of 4..25 replaced, removed or doubled-space
    n = len(parts)
    idx = n - 25 + rng.randrange(3, 25)  # counts from the end, robust to extra spaces
    if idx <= 0 or idx >= n:
        idx = n - 1
    if choice == 4:
        parts[idx] = ""
    elif choice == 5:
        parts[idx] = rng.choice(["abc", "1.5", "$", "+", "-", "2147483648", "$80000000",
                                 "-2147483649", "1e5", "0x10", "$g", "--1", "1-"])
    elif choice == 6:
        parts[idx] = rng.choice(["-1", "101", "-101", "128", "0", "100001", "-0", "$7FFFFFFF",
                                 "e5", "1.e", "1.5.5", ".", "1e+", "nan", "inf"])
    elif choice == 7:
        parts = parts[:idx]
    elif choice == 8:
        parts = parts[:n - rng.randint(1, 3)]
    elif choice == 9:
        return good.replace(" ", "\t", 1 + rng.randrange(5))
    elif choice == 10:
        # loop fields against the positions
        parts[n - 5] = rng.choice(["0", "1000000000", "5"])
        parts[n - 4] = rng.choice(["-1", "0", "3", "2000000000"])
    elif choice == 11:
        parts[n - 4] = rng.choice(["0", "1"])
        parts[n - 8] = rng.choice(["0", "0.5", "-0", "+0"])
    elif choice == 12:
        parts[n - 1] = rng.choice(["0", "100001", "22050.0", "", "-5", "$186A0", "$186A1"])
    else:
        parts[n - 6] = rng.choice(["-1", "2147483647"])
    return " ".join(parts)


def write_prg(path: str, lines, rng: random.Random, style: str):
    if style == "lf":
        text = "\n".join(lines) + "\n"
    else:
        out = []
        for ln in lines:
            out.append(ln + rng.choice(["\r\n", "\r\n", "\r\n", "\r"]))
        text = "".join(out)
        r = rng.random()
        if r < 0.15 and out:
            text = text.rstrip("\r\n")
        elif r < 0.25:
            text += "\x1a" + rng.choice(["", "C0-B10 junk", "\r\nwhatever\r\n"])
    with open(path, "wb") as fh:
        fh.write(text.encode("latin-1"))


# ---------------------------------------------------------------------------
# The generator
# ---------------------------------------------------------------------------

def key_ranges(rng: random.Random, lo: int = 0, hi: int = 127, gaps: bool = False):
    cuts = sorted(rng.sample(range(lo + 1, hi + 1), rng.randint(0, 3)))
    bounds = [lo] + cuts + [hi + 1]
    ranges = [(bounds[i], bounds[i + 1] - 1) for i in range(len(bounds) - 1)]
    if gaps and len(ranges) > 1:
        ranges.pop(rng.randrange(len(ranges)))
    return ranges


CONTROLLER_VALUES = [(7, [100, 64, 0, 127]), (10, [0, 30, 64, 127]), (11, [0, 127, 90]),
                     (1, [0, 127, 40]), (64, [0, 127, 64, 63])]


def generate(seed: int, out_dir: str) -> dict:
    rng = random.Random(seed)
    prg_dir = os.path.join(out_dir, "prg")
    os.makedirs(prg_dir, exist_ok=True)
    broken = rng.random() < 0.25
    extreme = rng.random() < 0.3
    broken_kind = rng.choice(["midi", "midi", "prg", "uncovered"]) if broken else None

    # ---- patch set ----
    nsets = rng.randint(2, 5)
    param_sets = [ParamSet(rng, extreme) for _ in range(nsets)]
    wavs = rng.sample(WAV_NAMES, rng.randint(2, 5))
    programs = [0] + rng.sample(range(1, 128), rng.randint(1, 4))
    missing_program = rng.choice([p for p in range(1, 128) if p not in programs])
    drum_programs = [0] + ([rng.choice([8, 16, 25, 40])] if rng.random() < 0.5 else [])

    def rate():
        return rng.choice(ODD_RATES) if extreme and rng.random() < 0.3 else rng.choice(RATES)

    files = {}
    for p in programs:
        lines = []
        if rng.random() < 0.3:
            lines.append("# program " + str(p) + " test patch")
        if rng.random() < 0.2:
            lines.append("")
        if rng.random() < 0.2:
            lines.append("   # indented remark")
        gaps = broken_kind == "uncovered" and rng.random() < 0.6
        for lo, hi in key_ranges(rng, gaps=gaps):
            ps = rng.choice(param_sets)
            wav = rng.choice(wavs)
            base = rng.choice([60, lo, hi, rng.randint(lo, hi),
                               rng.randint(0, 131) if extreme else 60])
            lines.append(prg_line(rng, lo, hi, wav, base, ps, rate()))
            # a second entry over part of the range now and then
            if rng.random() < 0.25:
                a = rng.randint(lo, hi)
                b = rng.randint(a, hi)
                lines.append(prg_line(rng, a, b, rng.choice(wavs), rng.choice([60, a]),
                                      rng.choice(param_sets), rate()))
        if rng.random() < 0.05:
            # a key with more than six entries
            for _ in range(7):
                lines.append(prg_line(rng, 60, 60, rng.choice(wavs), 60,
                                      rng.choice(param_sets), rate()))
        files[("", p)] = lines
    for p in drum_programs:
        lines = ["# drum kit " + str(p)]
        keys = sorted(rng.sample(range(35, 82), rng.randint(4, 12)))
        if not (broken_kind == "uncovered" and rng.random() < 0.6):
            lines.append(prg_line(rng, 0, 127, rng.choice(wavs), 60, rng.choice(param_sets),
                                  rate()))
        for k in keys:
            ps = rng.choice(param_sets)
            lines.append(prg_line(rng, k, k, rng.choice(wavs), rng.choice([60, k]), ps, rate()))
        files[("D", p)] = lines

    if broken_kind == "prg":
        target = rng.choice(list(files))
        lines = files[target]
        goods = [ln for ln in lines if ln and not ln.lstrip().startswith("#")]
        bad = bad_prg_line(rng, rng.choice(goods))
        lines.insert(rng.randint(0, len(lines)), bad)
    lf_file = broken_kind == "prg" and rng.random() < 0.15

    for (prefix, p), lines in files.items():
        name = prefix + str(p) + ".PRG"
        if rng.random() < 0.15:
            name = name.lower()
        style = "lf" if lf_file and rng.random() < 0.5 else "cr"
        write_prg(os.path.join(prg_dir, name), lines, rng, style)

    # ---- song ----
    r = rng.random()
    if r < 0.35:
        division = 500            # one tick per millisecond at the default tempo
    elif r < 0.75:
        division = rng.choice([96, 480, 384, 120, 1000, 24, 1, 7])
    else:
        fps, tpf = rng.choice([(24, 2), (25, 40), (30, 80), (29, 4), (24, 1), (25, 4)])
        division = -(fps << 8) + tpf
    if division > 0:
        ticks_per_ms = division / 500.0
    else:
        fps, tpf = -(division >> 8), division & 0xFF
        ticks_per_ms = fps * tpf / 1000.0

    def ms(v):
        return int(round(v * ticks_per_ms))

    fmt = 0 if rng.random() < 0.25 else 1
    ntracks = 1 if fmt == 0 else rng.randint(1, 4)
    builders = [TrackBuilder(rng, rng.choice([0.0, 0.7, 1.0])) for _ in range(ntracks)]
    song_ms = rng.randint(3000, 20000)
    # dense songs: short notes close together and bursts of controllers in one tick
    dense = rng.random() < 0.2
    if dense:
        song_ms = rng.randint(1000, 6000)

    # tempo changes, in any track
    for _ in range(rng.choice([0, 0, 1, 2, 4])):
        t = rng.choice([0, rng.randint(0, song_ms)])
        tempo = rng.choice([500000, 400000, 600000, 1000000, 250000, 333333, 480000])
        if extreme and rng.random() < 0.1:
            tempo = rng.choice([0, 1, 0xFFFFFF])
        rng.choice(builders).add(ms(t), b"\xff\x51\x03" + tempo.to_bytes(3, "big"))

    melodic_programs = programs + [missing_program] * (1 if rng.random() < 0.3 else 0)
    for tb in builders:
        channels = rng.sample(range(16), rng.randint(1, 3))
        if rng.random() < 0.4 and 9 not in channels:
            channels.append(9)
        for chn in channels:
            drum = chn == 9
            if drum:
                progs = drum_programs
            else:
                progs = melodic_programs
            if rng.random() < 0.6:
                tb.add(0, bytes([0xC0 | chn, rng.choice(progs)]))
            key_pool = rng.sample(range(24, 108), rng.randint(1, 4))
            if drum:
                key_pool = rng.sample(range(35, 82), rng.randint(1, 4))
            if extreme and rng.random() < 0.2:
                key_pool.append(rng.choice([0, 127, 1, 126]))
            t = rng.randint(0, 1500)
            last_end = {}
            while t < song_ms:
                key = rng.choice(key_pool)
                if key in last_end and rng.random() < 0.3:
                    # around the quarter second after the last note of this key
                    t = max(t, last_end[key] + rng.choice([248, 249, 250, 251, 252, 253]))
                dur = rng.choice([50, 100, 300, 800, 1500, rng.randint(20, 2000)])
                if dense:
                    dur = rng.choice([0, 1, 2, 10, 100, 300])
                vel = rng.choice([1, 64, 100, 127, rng.randint(1, 127)])
                tb.add(ms(t), bytes([0x90 | chn, key, vel]))
                end = t + dur
                r = rng.random()
                if r < 0.45:
                    tb.add(ms(end), bytes([0x80 | chn, key, rng.choice([0, 64, 127, 100])]))
                elif r < 0.9:
                    tb.add(ms(end), bytes([0x90 | chn, key, 0]))
                # else: no note-off: the note runs to the next note-on of its key or the end
                last_end[key] = end
                if rng.random() < 0.2:  # a chord tone at the same tick
                    k2 = rng.choice(key_pool)
                    tb.add(ms(t), bytes([0x90 | chn, k2, vel]))
                    tb.add(ms(t + rng.randint(30, 900)), bytes([0x80 | chn, k2, 64]))
                # controller traffic
                for _ in range(rng.choice([3, 5, 8] if dense else [0, 0, 1, 2, 4])):
                    ct = rng.choice([t, t, end, rng.randint(t, end + 500)])
                    kind = rng.randrange(9)
                    if kind < 5:  # volume, pan, expression, modulation, pedal
                        number, values = CONTROLLER_VALUES[kind]
                        tb.add(ms(ct), bytes([0xB0 | chn, number, rng.choice(values)]))
                    elif kind == 5:
                        lsb, msb = rng.choice([(0, 0), (127, 127), (0, 64), (0, 32),
                                               (rng.randint(0, 127), rng.randint(0, 127))])
                        tb.add(ms(ct), bytes([0xE0 | chn, lsb, msb]))
                    elif kind == 6:
                        tb.add(ms(ct), bytes([0xD0 | chn, rng.choice([0, 64, 127, 100])]))
                    elif kind == 7:
                        tb.add(ms(ct), bytes([0xA0 | chn, rng.choice(key_pool),
                                              rng.choice([0, 64, 127])]))
                    else:
                        tb.add(ms(ct), bytes([0xB0 | chn, rng.choice([91, 93, 121, 0]),
                                              rng.randint(0, 127)]))
                if rng.random() < 0.05:
                    tb.add(ms(t + rng.randint(0, 500)), bytes([0xC0 | chn, rng.choice(progs)]))
                if dense:
                    t += rng.choice([0, 1, 2, 5, 50, 100, 250, 251])
                else:
                    t += rng.choice([100, 250, 500, 1000, 2000, rng.randint(100, 2000)])
        # sysex and meta events
        for _ in range(rng.randint(0, 3)):
            t = rng.randint(0, song_ms)
            k = rng.randrange(5)
            if k == 0:
                body = bytes(rng.randint(0, 127) for _ in range(rng.choice([3, 10, 200])))
                tb.add(ms(t), b"\xf0" + vlq(len(body) + 1) + body + b"\xf7")
            elif k == 1:
                body = bytes(rng.randint(0, 127) for _ in range(rng.choice([2, 5])))
                tb.add(ms(t), b"\xf7" + vlq(len(body)) + body)
            elif k == 2:
                text = b"marker text"
                tb.add(ms(t), b"\xff\x06" + vlq(len(text)) + text)
            elif k == 3:
                tb.add(ms(t), b"\xff\x58\x04\x04\x02\x18\x08")
            else:
                tb.add(ms(t), b"\xff\x7f" + vlq(300) + bytes(300))

    if fmt == 1 and rng.random() < 0.2:
        # a track that doubles another one (same channels, programs and notes)
        twin = TrackBuilder(rng, rng.choice([0.0, 1.0]))
        twin.events = list(rng.choice(builders).events)
        twin.order = len(twin.events)
        builders.append(twin)
        ntracks += 1
    track_bodies = [tb.serialise(end_tick=ms(song_ms + rng.randint(0, 2000))) for tb in builders]
    if rng.random() < 0.3:
        track_bodies[0] = b"\x00\xff\x03\x05Title" + track_bodies[0]
    chunks = [chunk(b) for b in track_bodies]
    hdr = header(fmt, ntracks, division)
    midi = hdr + b"".join(chunks)

    if broken_kind == "midi":
        midi = break_midi(rng, hdr, track_bodies, fmt, ntracks, division)

    midi_path = os.path.join(out_dir, "song.mid")
    with open(midi_path, "wb") as fh:
        fh.write(midi)

    drums = rng.choice(["ALL:10", "ALL:10", "ALL:10", "ALL:10,2:ALL", "", "1:10", "ALL:10,3:2",
                        "x:10,ALL:10", "2:ALL", "ALL:ALL", "1:1,ALL:10"])
    default_to_0 = rng.random() < 0.8
    return {"midi": midi_path, "prg": prg_dir, "drums": drums, "default_to_0": default_to_0,
            "broken": broken_kind or ""}


def break_midi(rng, hdr, bodies, fmt, ntracks, division) -> bytes:
    tracks = b"".join(chunk(b) for b in bodies)
    rest = b"".join(chunk(b) for b in bodies[1:])

    def first(body):  # the first track replaced
        return hdr + chunk(body) + rest

    k = rng.randrange(19)
    if k == 0:
        good = hdr + tracks
        return good[:rng.randint(0, len(good) - 1)]
    if k == 1:
        i = rng.randrange(len(bodies))
        return hdr + b"".join(chunk(b, len(b) + (rng.choice([-3, -1, 1, 2, 50]) if j == i else 0))
                              for j, b in enumerate(bodies))
    headers = {2: header(0, 2, division), 3: header(fmt, ntracks, division, 7),
               4: header(1, ntracks + 1, division), 15: header(2, ntracks, division),
               16: header(1, 0, division)}
    if k in headers:  # a header that does not fit the tracks or the format
        return headers[k] + tracks
    if k == 5:
        return first(bodies[0] + b"\x00\x90\x3c\x40")
    if k == 6:
        # no end-of-track event: notes run to the chunk's end
        return hdr + b"".join(chunk(b) for b in bodies[:-1]) + chunk(bodies[-1][:-4])
    if k == 7:
        b0 = bodies[0]
        pos = rng.randrange(len(b0) - 3)
        return first(b0[:pos] + b"\x00" + bytes([rng.choice([0xF4, 0xF9, 0xF1, 0xFD])]) + b0[pos:])
    if k == 8:
        return first(b"\x00\xfe\x3c" + bodies[0])
    if k == 9:
        return first(b"\x00\x90" + bytes([rng.choice([0x80, 0x85, 0xFF])]) + b"\x40\x10\x80\x3c\x40"
                     + bodies[0])
    if k == 10:
        return first(bytes([0x8F, 0xFF, 0xFF, 0xFF, 0x7F]) + b"\xff\x2f\x00")
    if k == 11:
        return first(b"\x00\x90\x3c\x40"
                     + rng.choice([b"\x10\xf0\x86\x8d\x20", b"\x10\xff\x01\x86\x8d\x20"]) + bodies[0])
    if k == 12:
        return hdr + chunk(bodies[0], kind=b"MTrx") + rest
    if k == 13:
        # a long song: division 1, slowest tempo
        body = b"\x00\xff\x51\x03\xff\xff\xff\x00\xc0\x00" + vlq(rng.choice([1000, 1440, 1451, 1452, 3000])) \
            + b"\x90\x3c\x40\x10\x80\x3c\x40\x00\xff\x2f\x00"
        return header(0, 1, 1) + chunk(body)
    if k == 14:
        return header(fmt, ntracks, rng.choice([0, -(25 << 8), -(30 << 8)])) + tracks
    if k == 17:
        # data bytes above 127 where a key, velocity or value stands
        b0 = bytearray(bodies[0])
        for _ in range(3):
            i = rng.randrange(len(b0))
            if b0[i] < 0x80 and i > 0 and (b0[i - 1] & 0xF0) in (0x90, 0xB0, 0xE0, 0xD0, 0xA0):
                b0[i] |= 0x80 if rng.random() < 0.5 else 0
        return first(b"\x00\xb0\x07\xc8\x00\xe0\xff\xff\x00\x90\x3c\xf0\x20\x80\x3c\x40" + bytes(b0))
    # a chunk whose declared length is larger than the rest of the file
    return hdr + b"".join(chunk(b) for b in bodies[:-1]) + chunk(bodies[-1], 0x7FFFFFF0)


# ---------------------------------------------------------------------------
# Render cases: valid songs over generated samples
# ---------------------------------------------------------------------------

class SampleFile:
    """A generated sample file: what the PRG lines need to know of it."""

    def __init__(self, fname, ref_name, rate, frames):
        self.fname = fname          # path relative to the case directory
        self.ref_name = ref_name    # the name a PRG line uses for it
        self.rate = rate            # rate written in the file
        self.frames = frames        # source frames in the data chunk


def _waveform(rng: random.Random, n: int, bits: int):
    """n values in the sample range of the width (signed for 16 bits,
    0..255 for 8 bits)."""
    kind = rng.choice(["sine", "sine", "saw", "square", "noise", "full", "ramp", "mixed"])
    period = rng.choice([2, 3, 7, 20, 50, 100, 251, rng.randint(2, 400)])
    amp = rng.choice([1.0, 0.9, 0.5, 0.1, 0.01, 1.0])
    shape = {
        "sine": lambda i: math.sin(2 * math.pi * i / period),
        "saw": lambda i: ((i % period) / period) * 2 - 1,
        "square": lambda i: 1.0 if (i // max(1, period // 2)) % 2 == 0 else -1.0,
        "noise": lambda i: rng.uniform(-1, 1),
        "full": lambda i: rng.choice([-1.0, 1.0, -1.0, 0.99, -0.99, 0.0]),
        "ramp": lambda i: (i / max(1, n - 1)) * 2 - 1,
        "mixed": lambda i: 0.6 * math.sin(2 * math.pi * i / period) + 0.4 * rng.uniform(-1, 1),
    }[kind]
    lo, hi = (-32768, 32767) if bits == 16 else (0, 255)
    scale, offset = (32767.5, -0.5) if bits == 16 else (127.5, 127.5)
    out = [max(lo, min(hi, int(round(shape(i) * amp * scale + offset)))) for i in range(n)]
    # extremes now and then
    if n and rng.random() < 0.3:
        for _ in range(rng.randint(1, 4)):
            j = rng.randrange(n)
            out[j] = lo if rng.random() < 0.5 else hi
    return out


def _chunk(cid: bytes, body: bytes, stated_len=None) -> bytes:
    ln = len(body) if stated_len is None else stated_len
    pad = b"\0" if len(body) & 1 else b""
    return cid + struct.pack("<I", ln) + body + pad


def make_wav(rng: random.Random, bits: int, channels: int, rate: int, frames: int,
             fail_kind=None) -> bytes:
    vals = [_waveform(rng, frames, bits) for _ in range(channels)]
    frame_values = [v[i] for i in range(frames) for v in vals]
    data = bytearray(struct.pack("<%dh" % len(frame_values), *frame_values) if bits == 16
                     else bytes(frame_values))
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
        fname, ref = {
            "plain": lambda: (os.path.join("WAV", base + ".wav"), base + ".wav"),
            "noext": lambda: (os.path.join("WAV", base + rng.choice([".WAV", ".wav"])), base),
            "case": lambda: (os.path.join("WAV", "Smp%d.Wav" % i), "smp%d.WAV" % i),
            "subdir": lambda: (os.path.join("PRG", "sub", base + ".wav"), "sub\\" + base + ".wav"),
            "updir": lambda: (os.path.join("W2", base + ".wav"), "../W2/" + base + ".wav"),
            "abs": lambda: (os.path.join("W3", base + ".wav"),
                            os.path.join(os.path.abspath(case_dir), "W3", base + ".wav")),
            "space": lambda: (os.path.join("WAV", "my s%d.wav" % i), "my s%d.wav" % i),
        }[style]()
        fail_kind = rng.choice(FAIL_KINDS) if i == fail_index else None
        sfile = SampleFile(fname, ref, rate, frames)
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

def fmt_real(rng: random.Random, x: float) -> str:
    s = repr(round(x, rng.choice([0, 1, 2, 3, 4])))
    if s.endswith(".0") and rng.random() < 0.5:
        s = s[:-2]
    return s


def sample_prg_line(rng: random.Random, low: int, high: int, sfile: SampleFile, prog_keys, drum: bool):
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
        name_part = '"' + name + '"' + key_name(base)
    else:
        name_part = name + " " + key_name(base)
    kr = key_name(low) + ("-" + key_name(high) if high != low else "")
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
        lines.append(sample_prg_line(rng, low, high, sfile, keys_used, drum))
    with open(os.path.join(prg_dir, fname), "w", newline="") as fh:
        fh.write("\r\n".join(lines) + "\r\n")


# ---------------------------------------------------------------------------
# MIDI file
# ---------------------------------------------------------------------------


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
        for number, chance in ((7, 0.5), (10, 0.4), (11, 0.4), (1, 0.3)):
            if rng.random() < chance:
                song.add(ch, 0, bytes([0xB0 | ch, number, rng.randint(0, 127)]))
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
                controller = next((n for n, top in ((1, 0.2), (7, 0.35), (10, 0.5), (11, 0.6))
                                   if kind < top), None)
                if controller is not None:
                    song.add(ch, et, bytes([0xB0 | ch, controller, rng.randint(0, 127)]))
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
    def track(events):
        tb = TrackBuilder(rng, 1.0)
        tb.events = events
        return chunk(tb.serialise(shuffle_same_tick=False))

    chans = sorted(song.tracks)
    if rng.random() < 0.3:  # format 0: everything in one track
        trks = [track([e for ch in chans for e in song.tracks[ch]])]
    else:
        trks = [track([])] + [track(song.tracks[ch]) for ch in chans]
    with open(path, "wb") as fh:
        fh.write(header(0 if len(trks) == 1 else 1, len(trks), 500) + b"".join(trks))


# ---------------------------------------------------------------------------
# a whole case
# ---------------------------------------------------------------------------

def generate_render(seed: int, out_dir: str) -> dict:
    """A render case: WAV samples, PRG patches covering every key the song plays, a song
    and the render options; a few seeds break one sample file on purpose."""
    rng = random.Random(seed)
    os.makedirs(out_dir, exist_ok=True)
    fail = rng.random() < 0.05
    sample_files = gen_wavs(rng, out_dir, fail)
    length_ms = rng.choice([1500, 3000, 5000, 8000, 8000, 12000, rng.randint(500, 20000)])
    if rng.random() < 0.3:
        length_ms = rng.randint(15000, 30000)
    drums = rng.choice([None, None, None, None, "ALL:10", "", "ALL:ALL"])
    song, used = gen_song(rng, length_ms, lambda ch: drums == "ALL:ALL" or (drums != "" and ch == 9))
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
    }
    return opts


def main():
    kind, seed, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    os.makedirs(out, exist_ok=True)
    print(json.dumps((generate_render if kind == "render" else generate)(seed, out), indent=1))


if __name__ == "__main__":
    main()
