#!/usr/bin/env python3
"""Random song and patch-set generator for the differential test.

`generate(seed, out_dir)` writes a MIDI file and a directory of PRG files
derived only from the seed and returns the compile options to use with
them.  Most seeds give plausible songs that compile; some break an input on
purpose (truncated or malformed MIDI data, faulty PRG lines, keys that no
patch covers) so that error codes and messages are compared as well.

Run as a script to write one seed's files:  random_song.py SEED DIR
"""

from __future__ import annotations

import json
import os
import random
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
    n &= 0xFFFFFFFF
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    if len(out) > 5:
        out = out[:5]
    return bytes(reversed(out))


def be16(v: int) -> bytes:
    return bytes([(v >> 8) & 0xFF, v & 0xFF])


def be32(v: int) -> bytes:
    v &= 0xFFFFFFFF
    return bytes([(v >> 24) & 0xFF, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF])


def header(fmt: int, ntracks: int, division: int, length: int = 6) -> bytes:
    return b"MThd" + be32(length) + be16(fmt) + be16(ntracks) + be16(division & 0xFFFF)


def chunk(body: bytes, length=None, kind=b"MTrk") -> bytes:
    return kind + be32(len(body) if length is None else length) + body


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

    def serialise(self, end_tick=None, eot=True, shuffle_same_tick=True) -> bytes:
        rng = self.rng
        if shuffle_same_tick:
            evs = sorted(self.events, key=lambda e: (e[0], rng.random() if rng.random() < 0.3 else 0,
                                                     e[1]))
        else:
            evs = sorted(self.events, key=lambda e: (e[0], e[1]))
        out = bytearray()
        last = 0
        running = None
        for tick, _, data in evs:
            out += vlq(tick - last)
            last = tick
            st = data[0]
            if st < 0xF0:
                if running == st and rng.random() < self.running_prob:
                    out += data[1:]
                else:
                    out += data
                running = st
            else:
                out += data
        if eot:
            t = max(last, end_tick if end_tick is not None else last)
            out += vlq(t - last) + b"\xff\x2f\x00"
        return bytes(out)


# ---------------------------------------------------------------------------
# PRG files
# ---------------------------------------------------------------------------

def key_code(rng: random.Random, key: int) -> str:
    name = NOTE_NAMES[key % 12]
    if rng.random() < 0.3:
        name = name.lower()
    return name + str(key // 12)


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
                    if kind == 0:
                        tb.add(ms(ct), bytes([0xB0 | chn, 7, rng.choice([100, 64, 0, 127])]))
                    elif kind == 1:
                        tb.add(ms(ct), bytes([0xB0 | chn, 10, rng.choice([0, 30, 64, 127])]))
                    elif kind == 2:
                        tb.add(ms(ct), bytes([0xB0 | chn, 11, rng.choice([0, 127, 90])]))
                    elif kind == 3:
                        tb.add(ms(ct), bytes([0xB0 | chn, 1, rng.choice([0, 127, 40])]))
                    elif kind == 4:
                        tb.add(ms(ct), bytes([0xB0 | chn, 64, rng.choice([0, 127, 64, 63])]))
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
    good = hdr + b"".join(chunk(b) for b in bodies)
    k = rng.randrange(19)
    if k == 0:
        return good[:rng.randint(0, len(good) - 1)]
    if k == 1:
        i = rng.randrange(len(bodies))
        parts = [chunk(b, len(b) + (rng.choice([-3, -1, 1, 2, 50]) if j == i else 0))
                 for j, b in enumerate(bodies)]
        return hdr + b"".join(parts)
    if k == 2:
        return header(0, 2, division) + b"".join(chunk(b) for b in bodies)
    if k == 3:
        return header(fmt, ntracks, division, 7) + b"".join(chunk(b) for b in bodies)
    if k == 4:
        return header(1, ntracks + 1, division) + b"".join(chunk(b) for b in bodies)
    if k == 5:
        body = bodies[0] + b"\x00\x90\x3c\x40"
        return hdr + chunk(body) + b"".join(chunk(b) for b in bodies[1:])
    if k == 6:
        # no end-of-track event: notes run to the chunk's end
        body = bodies[-1][:-4]
        return hdr + b"".join(chunk(b) for b in bodies[:-1]) + chunk(body)
    if k == 7:
        b0 = bodies[0]
        pos = rng.randrange(len(b0) - 3)
        return hdr + chunk(b0[:pos] + b"\x00" + bytes([rng.choice([0xF4, 0xF9, 0xF1, 0xFD])])
                           + b0[pos:]) + b"".join(chunk(b) for b in bodies[1:])
    if k == 8:
        body = b"\x00\xfe" + b"\x3c" + bodies[0]
        return hdr + chunk(body) + b"".join(chunk(b) for b in bodies[1:])
    if k == 9:
        body = b"\x00\x90" + bytes([rng.choice([0x80, 0x85, 0xFF])]) + b"\x40\x10\x80\x3c\x40" \
            + bodies[0]
        return hdr + chunk(body) + b"".join(chunk(b) for b in bodies[1:])
    if k == 10:
        body = bytes([0x8F, 0xFF, 0xFF, 0xFF, 0x7F]) + b"\xff\x2f\x00"
        return hdr + chunk(body) + b"".join(chunk(b) for b in bodies[1:])
    if k == 11:
        body = b"\x00\x90\x3c\x40" + rng.choice([b"\x10\xf0\x86\x8d\x20", b"\x10\xff\x01\x86\x8d\x20"]) \
            + bodies[0]
        return hdr + chunk(body) + b"".join(chunk(b) for b in bodies[1:])
    if k == 12:
        return hdr + chunk(bodies[0], kind=b"MTrx") + b"".join(chunk(b) for b in bodies[1:])
    if k == 13:
        # a long song: division 1, slowest tempo
        body = b"\x00\xff\x51\x03\xff\xff\xff\x00\xc0\x00" + vlq(rng.choice([1000, 1440, 1451, 1452, 3000])) \
            + b"\x90\x3c\x40\x10\x80\x3c\x40\x00\xff\x2f\x00"
        return header(0, 1, 1) + chunk(body)
    if k == 14:
        return header(fmt, ntracks, rng.choice([0, -(25 << 8), -(30 << 8)])) + \
            b"".join(chunk(b) for b in bodies)
    if k == 15:
        return header(2, ntracks, division) + b"".join(chunk(b) for b in bodies)
    if k == 16:
        return header(1, 0, division) + b"".join(chunk(b) for b in bodies)
    if k == 17:
        # data bytes above 127 where a key, velocity or value stands
        b0 = bytearray(bodies[0])
        for _ in range(3):
            i = rng.randrange(len(b0))
            if b0[i] < 0x80 and i > 0 and (b0[i - 1] & 0xF0) in (0x90, 0xB0, 0xE0, 0xD0, 0xA0):
                b0[i] |= 0x80 if rng.random() < 0.5 else 0
        body = b"\x00\xb0\x07\xc8\x00\xe0\xff\xff\x00\x90\x3c\xf0\x20\x80\x3c\x40" + bytes(b0)
        return hdr + chunk(body) + b"".join(chunk(b) for b in bodies[1:])
    # a chunk whose declared length is larger than the rest of the file
    return hdr + b"".join(chunk(b) for b in bodies[:-1]) + chunk(bodies[-1], 0x7FFFFFF0)


def main():
    seed = int(sys.argv[1])
    out = sys.argv[2]
    os.makedirs(out, exist_ok=True)
    print(json.dumps(generate(seed, out), indent=1))


if __name__ == "__main__":
    main()
