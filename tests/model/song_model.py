#!/usr/bin/env python3
"""Independent reference model of the song compiler.

Turns a MIDI file and the PRG patches it needs into the compiled song
(sample records, voices with their event arrays, song length) or into the
first error, in the JSON shape printed by `zorbel-cli dump`.  Written from
the compiler's rules alone, in plain Python, so that the C++ compiler can be
checked against it on random inputs (see compare.py).

Integer arithmetic is exact; where a Trunc or Round decision depends on a
real value, exact fractions or high-precision decimals decide it.  Reals
that are only reported (rates, levels, factors) are IEEE doubles; the
comparison allows a relative difference of 1e-12 for them.
"""

from __future__ import annotations

import argparse
import json
import math
import os
import re
import sys
from decimal import Decimal, localcontext, ROUND_HALF_EVEN
from fractions import Fraction

INT32_MAX = 2**31 - 1
STEP_LIMIT = 2**24
FORMAT = "zorbel-song/1"

NOTE_NAMES = ["c", "c#", "d", "d#", "e", "f", "f#", "g", "g#", "a", "a#", "b"]
NOTE_INDEX = {}
for _i, _n in enumerate(NOTE_NAMES):
    NOTE_INDEX[_n] = _i
    NOTE_INDEX[_n.upper()] = _i

FIELD_NAMES = ["base volume", "base panpot", "velocity sensitivity", "pressure sensitivity",
               "expression sensitivity", "release sensitivity", "pitch bend range",
               "modulation sensitivity", "modulation rate", "attack factor", "decay factor",
               "sustain slope", "release slope", "attack length", "decay length",
               "start position", "end position", "loop start position", "loop end position"]
MESSAGES = {
    11: "Can not open MIDI file.",
    12: "Unexpected end of MIDI file.",
    13: "Source file is not Standard MIDI Level 0 or 1.",
    14: "Undefined status byte in MIDI file.",
    17: "not found.",
    18: "Illegal key range code.",
    20: "WAV filename missing.",
    21: "Illegal base key code.",
    42: "Song too long.",
    43: "Error reading WAV parameters.",
    **{22 + i: "Illegal " + name + "." for i, name in enumerate(FIELD_NAMES)},
}

# event kinds
NOTE_START, NOTE_END, PRESSURE, MODULATION, VOLUME, PAN, EXPRESSION, PITCH_BEND = range(1, 9)
END_MARK, NO_OP = 9, 10


def s16(v: int) -> int:
    v &= 0xFFFF
    return v - 0x10000 if v >= 0x8000 else v


def s32(v: int) -> int:
    v &= 0xFFFFFFFF
    return v - 0x100000000 if v >= 0x80000000 else v


def note_name(key: int) -> str:
    return NOTE_NAMES[key % 12] + str(key // 12)


class CompileError(Exception):
    """The first failure of a compilation; carries the finished message."""

    def __init__(self, code: int, message: str):
        super().__init__(message)
        self.code = code
        self.message = message


# ---------------------------------------------------------------------------
# File lookup
# ---------------------------------------------------------------------------

def join_path(directory: str, name: str) -> str:
    return name if directory == "" else directory + ("" if directory.endswith("/") else "/") + name


def find_file(path: str):
    """Exact name first, then a case-insensitive match in the same directory."""
    if os.path.isfile(path):
        return path
    directory, base = os.path.split(path)
    try:
        names = sorted(os.listdir(directory if directory else "."))
    except OSError:
        return None
    low = base.lower()
    for n in names:
        if n.lower() == low:
            full = os.path.join(directory, n) if directory else n
            if os.path.isfile(full):
                return full
    return None


# ---------------------------------------------------------------------------
# PRG files
# ---------------------------------------------------------------------------

INT_RE = re.compile(r"[+-]?(?:[0-9]+|\$[0-9A-Fa-f]+)\Z")
REAL_RE = re.compile(r"[+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[Ee][+-]?[0-9]+)?\Z")


def parse_int(tok: str):
    if not INT_RE.match(tok):
        return None
    neg = tok.startswith("-")
    body = tok.lstrip("+-")
    v = int(body[1:], 16) if body.startswith("$") else int(body)
    if neg:
        v = -v
    if v < -2**31 or v > INT32_MAX:
        return None
    return v


def parse_real(tok: str):
    """(exact value, whether it is a negative zero) of a decimal real, else None."""
    if not REAL_RE.match(tok):
        return None
    v = Fraction(tok)
    return v, tok.startswith("-") and v == 0


def to_float(v) -> float:
    try:
        return float(v)
    except OverflowError:
        return math.inf if v > 0 else -math.inf


class PrgEntry:
    __slots__ = ("wavName", "keyLow", "keyHigh", "baseKey", "panpot", "pitchBendRange",
                 "modulationSensitivity", "modulationRate", "velocitySensitivity",
                 "pressureSensitivity", "expressionSensitivity", "releaseSensitivity",
                 "attackFactor", "decayFactor", "sustainSlope", "releaseSlope",
                 "attackLength", "decayLength", "startPosition", "endPosition",
                 "loopStart", "loopEnd", "sampleRate", "baseVolume", "negzero")


class LineError(Exception):
    def __init__(self, code):
        super().__init__(code)
        self.code = code


def _is_digit(ch) -> bool:
    return ch is not None and "0" <= ch <= "9"


# The integer fields 4..12 of a line, with their limits; their error codes are 22..30.
INT_FIELDS = (("baseVolume", 1, None), ("panpot", 0, 127), ("velocitySensitivity", -100, 100),
              ("pressureSensitivity", -100, 100), ("expressionSensitivity", -100, 100),
              ("releaseSensitivity", -100, 100), ("pitchBendRange", 0, 127),
              ("modulationSensitivity", 0, 100), ("modulationRate", 0, 100))


def parse_prg_line(s: str):
    """One PRG line: None for an empty or comment line, else a PrgEntry.
    Raises LineError with the code of the first failing field."""
    n = len(s)

    def c(i):  # 1-based; past the end: None (no space, digit, quote or mark)
        return s[i - 1] if 1 <= i <= n else None

    def sub(a, b):  # characters a .. b-1 (1-based)
        a = max(a, 1)
        b = min(b, n + 1)
        return s[a - 1:b - 1] if b > a else ""

    if n == 0:
        return None
    i = 1
    while c(i) == " ":
        i += 1
    if c(i) == "#":
        return None

    def key_code(p, code, range_code):
        j = p
        if range_code:
            while c(j) is not None and c(j) != " " and not _is_digit(c(j)):
                j += 1
        else:
            while c(j) is not None and not _is_digit(c(j)):
                j += 1
        if not _is_digit(c(j)):
            raise LineError(code)
        idx = NOTE_INDEX.get(sub(p, j), -1)
        if idx < 0:
            raise LineError(code)
        k = j
        while _is_digit(c(k)):
            k += 1
        octave = int(sub(j, k))
        if octave > 10:
            raise LineError(code)
        key = idx + 12 * octave
        if range_code and key > 127:
            raise LineError(code)
        return key, k

    low, i = key_code(i, 18, True)
    high = low
    if c(i) == "-":
        high, i = key_code(i + 1, 18, True)
        if high < low:
            raise LineError(18)
    i += 1  # the one character after the key range code
    while c(i) == " ":
        i += 1
    if c(i) == '"':
        j = i + 1
        while c(j) is not None and c(j) != '"':
            j += 1
        name = sub(i + 1, j)
        nxt = j + 1
    else:
        j = i
        while c(j) is not None and c(j) != " ":
            j += 1
        name = sub(i, j)
        nxt = j + 1
    if name == "":
        raise LineError(20)
    base, k = key_code(nxt, 21, False)
    p = k + 1

    def token():
        nonlocal p
        j = p
        while c(j) is not None and c(j) != " ":
            j += 1
        t = sub(p, j)
        p = j + 1
        return t

    def int_field(code, lo=None, hi=None):
        v = parse_int(token())
        if v is None or (lo is not None and v < lo) or (hi is not None and v > hi):
            raise LineError(code)
        return v

    def real_field(code, nonneg=False):
        r = parse_real(token())
        if r is None:
            raise LineError(code)
        v, negzero = r
        if nonneg and v < 0:
            raise LineError(code)
        return v, negzero

    e = PrgEntry()
    e.wavName = name
    e.keyLow, e.keyHigh, e.baseKey = low, high, base
    for code, (field, lo, hi) in enumerate(INT_FIELDS, 22):
        setattr(e, field, int_field(code, lo, hi))
    af, nz1 = real_field(31, True)
    df, nz2 = real_field(32, True)
    ss, nz3 = real_field(33)
    rs, nz4 = real_field(34)
    e.attackLength = int_field(35, 0)
    e.decayLength = int_field(36, 0)
    e.startPosition = int_field(37, 0)
    e.endPosition = int_field(38, e.startPosition)
    ls = int_field(39)
    if ls >= 0 and (ls < e.startPosition or ls > e.endPosition):
        raise LineError(39)
    le = int_field(40)
    if le >= 0 and (le < ls or le > e.endPosition):
        raise LineError(40)
    ls = -1 if ls < 0 else ls
    le = -1 if le < 0 else le
    if le >= 0 and not rs < 0:
        raise LineError(34)
    if token() == "" or token() == "":
        raise LineError(43)
    rate = parse_int(token())
    if rate is None or rate < 1 or rate > 100000:
        raise LineError(43)
    e.attackFactor, e.decayFactor, e.sustainSlope, e.releaseSlope = af, df, ss, rs
    e.negzero = (nz1, nz2, nz3, nz4)
    e.loopStart, e.loopEnd = ls, le
    e.sampleRate = rate
    return e


def split_prg_lines(data: bytes):
    """Lines end at CR (a following LF belongs to the line end); LF alone is
    part of the line; Ctrl-Z ends the file after the line it stands in."""
    lines = re.split(b"\r\n?", data.split(b"\x1a", 1)[0])
    return lines[:-1] if lines[-1] == b"" else lines


# ---------------------------------------------------------------------------
# Sample records and notes
# ---------------------------------------------------------------------------

MATCH_FIELDS = ("baseKey", "wavName", "panpot", "velocitySensitivity", "pressureSensitivity",
                "expressionSensitivity", "releaseSensitivity", "pitchBendRange",
                "modulationSensitivity", "modulationRate", "baseVolume", "attackFactor",
                "decayFactor", "sustainSlope", "releaseSlope", "attackLength", "decayLength",
                "startPosition", "endPosition", "loopStart", "loopEnd")

MERGE_FIELDS = MATCH_FIELDS[1:]  # all but the base key


class SampleRec:
    def __init__(self, program, is_drum, entry: PrgEntry):
        self.program = program & 0xFF
        self.isDrum = bool(is_drum)
        self.entry = entry
        for f in ("keyLow", "keyHigh", "wavName", "sampleRate") + MATCH_FIELDS:
            setattr(self, f, getattr(entry, f))
        self.groups = []   # list of note groups, each a list of events
        self.chain = None  # flattened event chain (after merging)


class Event:
    __slots__ = ("time", "kind", "key", "value", "state")

    def __init__(self, time, kind, key, value):
        self.time, self.kind, self.key, self.value, self.state = time, kind, key, value, 0


# ---------------------------------------------------------------------------
# The compiler
# ---------------------------------------------------------------------------

CONTROLLERS = {1: "modulation", 7: "volume", 10: "pan", 11: "expression", 64: "sustain"}
LOOK_AHEAD_KINDS = {1: MODULATION, 7: VOLUME, 10: PAN, 11: EXPRESSION}


def insert_group(groups, group, after_equal_starts):
    """After every group of a lower key and every group of the same key that starts earlier
    (or at the same time too, for a merged group), before all others."""
    k, t = group[0].key, group[0].time
    i = 0
    while i < len(groups) and (groups[i][0].key < k or (groups[i][0].key == k and (
            groups[i][0].time <= t if after_equal_starts else groups[i][0].time < t))):
        i += 1
    groups.insert(i, group)


class Slot:
    def reset(self):
        self.volume, self.pan, self.modulation, self.expression, self.sustain = 64, 64, 0, 0, 0
        self.pitch_bend, self.program, self.loaded, self.is_drum = 0, 0, False, False
        self.table = [[] for _ in range(128)]

    __init__ = reset


class Compiler:
    def __init__(self, midi_path, prg_dir, drums, default_to_0, legacy):
        self.midi_path = midi_path
        self.prg_dir = prg_dir
        self.drum_list = parse_drum_list(drums)
        self.default_to_0 = default_to_0
        self.legacy = legacy
        self.records = []
        self.tempo_map = []
        self.slots = [None] + [Slot() for _ in range(16)]
        self.err_name = ""
        self.err_line = 0
        self.track_number = 0

    # -- errors ------------------------------------------------------------
    def fail(self, code):
        if code == 17:
            msg = "PRG file " + self.err_name + " " + MESSAGES[17]
        elif 18 <= code <= 40 or code == 43:
            msg = "PRG " + self.err_name + ", line #" + str(self.err_line) + ": " + MESSAGES[code]
        else:
            msg = MESSAGES[code]
        raise CompileError(code, msg)

    def fail_note(self, key, slot):
        raise CompileError(15, "Note " + note_name(key) + " not assigned to in MIDI Track:Channel "
                           + str(self.track_number) + ":" + str(slot) + ".")

    # -- file access: reading the last byte of the file sets eof, as on the program's files
    def read(self):
        if self.pos >= self.size:
            return 0
        self.pos += 1
        return self.data[self.pos - 1]

    @property
    def eof(self):
        return self.pos >= self.size

    def need(self, n):
        """n bytes of one item, which must not reach the end of the file."""
        out = [self.read() for _ in range(n)]
        if self.eof:
            self.fail(12)
        return out

    def read_var_len(self):
        """Returns (value, bytes read); the value keeps its low 32 bits."""
        value, count = 0, 0
        while True:
            b = self.need(1)[0]
            count += 1
            value = (value * 128 + (b & 0x7F)) & 0xFFFFFFFF
            if b < 0x80:
                return value, count

    # -- PRG loading -----------------------------------------------------------
    def prg_name(self, program, drum):
        return join_path(self.prg_dir, ("D" if drum else "") + str(program) + ".PRG")

    def load_prg(self, slot_no):
        slot = self.slots[slot_no]
        name = self.prg_name(slot.program, slot.is_drum)
        self.err_name = name
        self.err_line = 0
        path = find_file(name)
        if path is None:
            if not self.default_to_0:
                self.fail(17)
            fallback = self.prg_name(0, slot.is_drum)
            if fallback == name:
                self.fail(17)
            path = find_file(fallback)
            if path is None:
                self.fail(17)
        with open(path, "rb") as fh:
            data = fh.read()
        table = [[] for _ in range(128)]
        slot.table = table
        for raw in split_prg_lines(data):
            self.err_line += 1
            try:
                entry = parse_prg_line(raw.decode("latin-1"))
            except LineError as exc:
                self.fail(exc.code)
            if entry is None:
                continue
            for k in range(entry.keyLow, entry.keyHigh + 1):
                if len(table[k]) < 6:
                    table[k].append(entry)
        slot.loaded = True

    def program_change(self, slot_no, program):
        slot = self.slots[slot_no]
        if slot.program == program and slot.loaded:
            return
        for other in self.slots[1:]:
            if other.loaded and other.program == program and other.is_drum == slot.is_drum:
                slot.table = [list(t) for t in other.table]
                slot.loaded = True
                break
        else:
            slot.table = [[] for _ in range(128)]
            slot.loaded = False
        slot.program = program

    # -- MIDI reading ------------------------------------------------------------
    def read_midi(self):
        try:
            with open(self.midi_path, "rb") as fh:
                self.data = fh.read()
        except OSError:
            self.fail(11)
        self.size, self.pos = len(self.data), 0
        h = self.need(14)
        if (h[0:4] != list(b"MThd") or h[4:8] != [0, 0, 0, 6] or h[8] != 0
                or not ((h[9] == 0 and h[10] == 0 and h[11] == 1) or h[9] == 1)):
            self.fail(13)
        track_count = h[10] * 256 + h[11]
        self.division = s16(h[12] * 256 + h[13])
        if self.division == 0 or (self.division < 0 and (self.division & 0xFF) == 0):
            self.fail(13)
        self.track_number = 0
        while True:
            self.track_number = s16(self.track_number + 1)
            ch = self.need(8)
            if ch[0:4] != list(b"MTrk"):
                self.fail(13)
            self.chunk_length = s32((ch[4] << 24) | (ch[5] << 16) | (ch[6] << 8) | ch[7])
            self.rs, self.count, self.tick, self.end_of_track = 0xFE, 1, 0, False
            for slot in self.slots[1:]:
                slot.reset()
            for track, channel in self.drum_list:
                if track == self.track_number or track == -1:
                    for n in range(1, 17):
                        if channel == n or channel == -1:
                            self.slots[n].is_drum = True
            self.walk(self.track_event, True, lambda: self.end_of_track)
            if self.track_number == track_count:
                break

    def walk(self, handle, reader, stop):
        """Deltas and events alternately from self.pos while the chunk lasts and stop() is
        false; handle(status, d1, d2, meta type) sees each event.  The reader (not the
        look-ahead) takes a tempo event as three bytes whatever its length byte says."""
        expect_delta = True
        while self.count < self.chunk_length and not stop():
            if expect_delta:
                v, n = self.read_var_len()
                self.count += n
                self.tick += v
                if self.tick > INT32_MAX:
                    self.fail(42)
            else:
                s = self.need(1)[0]
                if s >= 0x80:
                    if s not in (0xF0, 0xF7, 0xFF):
                        self.rs = s
                    self.count += 1
                else:
                    self.pos -= 1
                    s = self.rs
                handle(*self.event(s, reader))
            expect_delta = not expect_delta

    def skip(self):
        length, n = self.read_var_len()
        self.count += n + length
        self.pos += length

    def event(self, s, reader):
        hi = s & 0xF0
        if hi in (0x80, 0x90, 0xA0, 0xB0, 0xE0):
            self.count += 2
            return (s, *self.need(2), None)
        if hi in (0xC0, 0xD0):
            self.count += 1
            return s, self.need(1)[0], 0, None
        if s in (0xF0, 0xF7):
            self.skip()
        elif s == 0xFF:
            t = self.need(1)[0]
            self.count += 1
            if t == 0x2F:
                self.read()
                self.count += 1
            elif t == 0x51 and reader:
                self.read()
                t1, t2, t3 = self.need(3)
                self.count += 4
                self.add_tempo(t1 * 65536 + t2 * 256 + t3)
            else:
                self.skip()
            return s, 0, 0, t
        elif s != 0xFE:
            self.fail(14)
        return s, 0, 0, None

    def track_event(self, s, d1, d2, meta):
        hi, slot_no = s & 0xF0, (s & 0x0F) + 1
        slot = self.slots[slot_no]
        if meta == 0x2F:
            self.end_of_track = True
        elif hi == 0x90 and d2 > 0:
            self.start_note(slot_no, d1, d2)
        elif hi == 0xB0 and d1 in CONTROLLERS:
            setattr(slot, CONTROLLERS[d1], d2)
        elif hi == 0xE0:
            slot.pitch_bend = s16(d2 * 128 + d1 - 8192)
        elif hi == 0xC0:
            self.program_change(slot_no, d1)

    def add_tempo(self, tempo):
        i = len(self.tempo_map)
        while i > 0 and self.tempo_map[i - 1][0] > self.tick:
            i -= 1
        self.tempo_map.insert(i, (self.tick, tempo))

    # -- note interpretation -------------------------------------------------------
    def find_record(self, slot, key, entry):
        for rec in self.records:
            if (rec.program == slot.program and rec.isDrum == slot.is_drum
                    and rec.keyLow <= key <= rec.keyHigh
                    and all(getattr(rec, f) == getattr(entry, f) for f in MATCH_FIELDS)):
                return rec
        rec = SampleRec(slot.program, slot.is_drum, entry)
        self.records.append(rec)
        return rec

    def start_note(self, slot_no, key, velocity):
        slot = self.slots[slot_no]
        if not slot.loaded:
            self.load_prg(slot_no)
        if key >= 128 or not slot.table[key]:
            self.fail_note(key, slot_no)
        for entry in list(slot.table[key]):
            rec = self.find_record(slot, key, entry)
            group = [Event(self.tick, NOTE_START, key, velocity)]
            insert_group(rec.groups, group, False)
            for kind, value, neutral in ((VOLUME, slot.volume, 64), (EXPRESSION, slot.expression, 0),
                                         (PAN, slot.pan, 64), (MODULATION, slot.modulation, 0),
                                         (PITCH_BEND, slot.pitch_bend, 0)):
                if value != neutral:
                    group.append(Event(self.tick, kind, key, value))
            end_tick, release = self.look_ahead(slot_no, key, group)
            group.append(Event(end_tick, NOTE_END, key, release))

    def look_ahead(self, slot_no, key, group):
        """Where the note ends, with its release value, and the changes it meets on the way."""
        slot = self.slots[slot_no]
        saved = (self.pos, self.count, self.tick, self.rs)
        release = []

        def handle(s, d1, d2, meta):
            hi = s & 0xF0
            if meta == 0x2F:
                release.append(64)
            elif (s & 0x0F) + 1 != slot_no or hi >= 0xF0:
                pass
            elif hi == 0x80 and d1 == key:
                release.append(d2 // 3 if slot.sustain >= 64 else d2)
            elif hi == 0x90 and d1 == key:
                release.append((64 if d2 == 0 else 127) if slot.sustain < 64 else
                               (21 if d2 == 0 else 42))
            elif (hi == 0xA0 and d1 == key) or hi == 0xD0:
                group.append(Event(self.tick, PRESSURE, key, d2 if hi == 0xA0 else d1))
            elif hi == 0xB0 and d1 in LOOK_AHEAD_KINDS:
                group.append(Event(self.tick, LOOK_AHEAD_KINDS[d1], key, d2))
            elif hi == 0xE0:
                group.append(Event(self.tick, PITCH_BEND, key, s16(d2 * 128 + d1 - 8192)))

        self.walk(handle, False, lambda: release)
        end = self.tick
        self.pos, self.count, self.tick, self.rs = saved
        return end, release[0] if release else 64

    # -- merging -----------------------------------------------------------------
    def merge(self):
        recs = self.records
        a_i = 0
        while a_i < len(recs):
            a = recs[a_i]
            b_i = a_i + 1
            while b_i < len(recs):
                b = recs[b_i]
                if all(getattr(a, f) == getattr(b, f) for f in MERGE_FIELDS):
                    d = a.baseKey - b.baseKey
                    for group in b.groups:
                        for ev in group:
                            ev.key = s16(ev.key + d)
                        insert_group(a.groups, group, True)
                    b.groups = []
                    del recs[b_i]
                else:
                    b_i += 1
            a_i += 1

    # -- timing ------------------------------------------------------------------
    def tick_ms(self, tick, cache):
        if tick not in cache:
            num, prev_tick, prev_tempo = 0, 0, 500000
            for tk, tp in self.tempo_map:
                if tk >= tick:
                    break
                num += (tk - prev_tick) * prev_tempo
                prev_tick, prev_tempo = tk, tp
            num += (tick - prev_tick) * prev_tempo
            d = self.division
            exact = Fraction(num, d * 1000 if d > 0 else -s8(d >> 8) * (d & 0xFF) * 500)
            if exact > INT32_MAX:
                self.fail(42)
            cache[tick] = round(exact)
        return cache[tick]

    def compute_timing(self):
        cache = {}
        self.song_ms = 0
        for rec in self.records:
            rec.chain = [ev for group in rec.groups for ev in group]
            for ev in rec.chain:
                ev.time = self.tick_ms(ev.time, cache)
                self.song_ms = max(self.song_ms, ev.time)

        def redundant(x, y):
            return x.key == y.key and x.kind == y.kind and (x.time == y.time or x.value == y.value)

        # Sweeps drop every event but the first and the last that its successor makes redundant,
        # until one drops nothing.
        removed = True
        while removed:
            removed = False
            for rec in self.records:
                c = rec.chain
                rec.chain = [x for i, x in enumerate(c)
                             if i == 0 or i + 1 == len(c) or not redundant(x, c[i + 1])]
                removed |= len(rec.chain) != len(c)

    def check_song_length(self):
        length = (self.song_ms * 441) // 20 * 4
        if length > INT32_MAX:
            self.fail(42)
        self.song_length = length
        for rec in self.records:
            for ev in rec.chain:
                ev.state = 0
                ev.time = (ev.time * 441) // 20 * 4

    # -- voices ----------------------------------------------------------------------
    def build_voices(self):
        voices = []
        for rec_index, rec in enumerate(self.records):
            chain = rec.chain
            n = len(chain)
            nxt = lambda i: i + 1 if i + 1 < n else None  # noqa: E731
            E = 0 if n else None
            G = None
            R = None
            taken = None  # indices of the events taken into the open voice
            while E is not None:
                ev = chain[E]
                if ev.state == 2:
                    E = nxt(E)
                    if G is not None and (E is None or chain[E].key != chain[G].key):
                        G = None
                elif G is not None and ev.kind == NOTE_START and ev.time < chain[G].time + 22050:
                    if R is None:
                        R = E
                    gk, limit = chain[G].key, chain[G].time + 22050
                    while E is not None and ((chain[E].key == gk and chain[E].time < limit)
                                             or chain[E].state == 2):
                        E = nxt(E)
                    while E is not None and ((chain[E].key == gk and chain[E].kind != NOTE_START)
                                             or chain[E].state == 2):
                        E = nxt(E)
                    if E is None or chain[E].key != gk:
                        G = None
                else:
                    if G is None:
                        taken = []
                        voice_key = ev.key
                    ev.state = 1
                    taken.append(E)
                    G = E
                    E = nxt(E)
                    if E is None or chain[E].key != chain[G].key:
                        G = None
                if taken is not None and G is None:
                    voices.append(self.make_voice(rec, rec_index, voice_key,
                                                  [chain[i] for i in taken]))
                    for i in taken:
                        chain[i].state = 2
                    taken = None
                    if R is not None:
                        E = R
                        R = None
        return voices

    def make_voice(self, rec: SampleRec, rec_index, key, events):
        rate = rec.sampleRate

        def idx(frames_num):  # exact frames value -> Trunc, saturated
            return min(int(frames_num), INT32_MAX)

        def limit(v, lo, hi):
            return hi if v > hi else lo if v < lo else v

        end_i = max(idx(Fraction(rec.endPosition * 22050, rate)), 0)
        start_i = limit(idx(Fraction(rec.startPosition * 22050, rate)), 0, end_i)
        start_frames = Fraction(rec.startPosition * 22050, rate)
        attack_end = limit(idx(start_frames + Fraction(rec.attackLength * 441, 20)), start_i, end_i)
        decay_end = limit(idx(start_frames + Fraction((rec.attackLength + rec.decayLength) * 441, 20)),
                          attack_end, end_i)
        if rec.loopStart < 0:
            loop_s = loop_e = -1
        else:
            loop_e = limit(idx(Fraction(rec.loopEnd * 22050, rate)), start_i, end_i)
            loop_s = limit(idx(Fraction(rec.loopStart * 22050, rate)), start_i, loop_e)
        af, df = rec.attackFactor, rec.decayFactor
        sustain_rate = to_float(rec.sustainSlope * 128 / 22050)
        decay_rate = to_float((df - af) * 128 * 20 / (rec.decayLength * 441)) \
            if rec.decayLength > 0 else 0.0
        if rec.attackLength > 0:
            attack_rate, level, env = to_float(af * 128 * 20 / (rec.attackLength * 441)), 0.0, 0
        else:
            attack_rate = decay_rate if rec.decayLength > 0 else sustain_rate
            level, env = to_float(af * 128), 1 if rec.decayLength > 0 else 2
        release_rate = to_float(rec.releaseSlope * 128 / 22050)
        base_step = base_step_of(rec.baseKey - key)
        lfo_period = 22050 // rec.modulationRate if rec.modulationRate else 0
        saved = {
            "phaseStep": base_step, "sampleIndex": start_i, "phaseFrac": 0, "curSample": 0,
            "sampleDelta": 0, "gainLeft": 0, "gainRight": 0, "vibratoDepth": 0, "lfoPhase": 0,
            "lfoPeriod": lfo_period, "updateInterval": 110, "nextUpdatePos": 4,
            "slopeLeft": 0.0, "slopeRight": 0.0, "stepFrames": 110.0,
            "levelLeft": level, "levelRight": level, "leftActive": 1, "rightActive": 1,
            "envState": env, "factorLeft": 0.0, "factorRight": 0.0,
            "curPressure": 64, "curVolume": 64, "curPan": 64,
            "curExpression": 0 if self.legacy else 127, "curModulation": 0,
            "curVelocity": 0, "curBendStep": 0,
        }
        voice = {
            "sample": rec_index,
            "startIndex": start_i, "endIndex": end_i, "loopStartIndex": loop_s,
            "loopEndIndex": loop_e, "loopLength": loop_e - loop_s + 1, "attackEnd": attack_end,
            "decayEnd": decay_end, "baseVolume": rec.baseVolume, "baseStep": base_step,
            "attackRate": attack_rate, "decayRate": decay_rate, "sustainRate": sustain_rate,
            "releaseRate": release_rate, "saved": saved,
            "events": self.event_records(rec, base_step, saved, events),
        }
        voice.update((f, getattr(rec, f)) for f in (
            "velocitySensitivity", "pressureSensitivity", "expressionSensitivity",
            "releaseSensitivity", "panpot", "pitchBendRange", "modulationRate",
            "modulationSensitivity"))
        return voice

    def event_records(self, rec, base_step, saved, events):
        Sv, Sp = rec.velocitySensitivity, rec.pressureSensitivity
        Sx, Sr = rec.expressionSensitivity, rec.releaseSensitivity
        B = rec.baseVolume
        panpot = rec.panpot
        legacy = self.legacy
        live = dict(saved)
        L = 0.0
        out = []
        prev_time, prev_kind = 0, 0

        def level():
            v, p = live["curVelocity"], live["curPressure"]
            c, e = live["curVolume"], live["curExpression"]
            if legacy:
                return to_float(Fraction(6400 + (p - 64) * Sp, 6400) * v * Sv
                                * Fraction(100 * c + e * Sx, 100) / (26214400 * B))
            n = v * Sv + (p - 64) * Sp + (e - 127) * Sx
            return math.expm1(n * LN10 / 12800) * to_float(Fraction(c, 16384 * B))

        def release_level(r):
            rf = Fraction(6400 + (r - 64) * Sr, 6400)
            if legacy:
                c, e = live["curVolume"], live["curExpression"]
                return to_float(Fraction(100 * c + e * Sx, 100) / (4096 * B) * rf)
            return level() * to_float(rf)

        for ev in events:
            kind, value = ev.kind, 0
            if kind == NOTE_START:
                live = dict(saved)
                live["curVelocity"] = s16(ev.value)
                L = level()
            elif kind in (PRESSURE, VOLUME, PAN, EXPRESSION):
                field = {PRESSURE: "curPressure", VOLUME: "curVolume", PAN: "curPan",
                         EXPRESSION: "curExpression"}[kind]
                live[field] = ev.value & 0xFF
                L = level()
            elif kind == NOTE_END:
                L = release_level(ev.value)
            elif kind == MODULATION:
                if live["lfoPeriod"] == 0:
                    live["vibratoDepth"] = 0
                else:
                    live["curModulation"] = ev.value & 0xFF
                    live["vibratoDepth"] = (live["curModulation"] * rec.modulationSensitivity
                                            * 256) // 12700
                value = live["vibratoDepth"]
            elif kind == PITCH_BEND:
                live["curBendStep"] = bend_step(ev.value * rec.pitchBendRange, base_step)
                value = live["curBendStep"]
            q = live["curPan"]
            fl = clamp_factor(panpot * L * (127 - q))
            fr = clamp_factor((127 - panpot) * L * q)
            rec_out = [kind, ev.time, value, fl, fr]
            if (out and ev.time == prev_time and kind in (3, 5, 6, 7)
                    and prev_kind in (1, 3, 5, 6, 7)):
                out[-1][0] = NO_OP
                rec_out[0] = prev_kind
            out.append(rec_out)
            prev_time, prev_kind = rec_out[1], rec_out[0]
        out.append([END_MARK, out[-1][1] if out else 0, 0, 0.0, 0.0])
        return out

    # -- driver ------------------------------------------------------------------------
    def run(self):
        self.read_midi()
        self.merge()
        self.compute_timing()
        self.check_song_length()
        voices = self.build_voices()
        return {
            "format": FORMAT,
            "songLength": self.song_length,
            "samples": [sample_json(r) for r in self.records],
            "voices": voices,
        }


LN10 = math.log(10.0)


def s8(v: int) -> int:
    v &= 0xFF
    return v - 0x100 if v >= 0x80 else v


def clamp_factor(x: float) -> float:
    if x < 0.01:
        return 0.01
    if x > 127:
        return 127.0
    return x


_STEP_CACHE = {}


def pow2_step(num: int, den: int, factor: int) -> int:
    """Round(2^(num/den) * factor), halves to even, at most 2^24."""
    key = (num, den, factor)
    if key not in _STEP_CACHE:
        with localcontext() as ctx:
            ctx.prec = 60
            e = Decimal(num // den) if num % den == 0 else Decimal(num) / Decimal(den)
            x = (Decimal(2) ** e) * factor
            _STEP_CACHE[key] = min(int(x.to_integral_value(rounding=ROUND_HALF_EVEN)), STEP_LIMIT)
    return _STEP_CACHE[key]


def base_step_of(diff: int) -> int:
    """Round(1024 / 2^(diff/12))."""
    return pow2_step(-diff, 12, 1024)


def bend_step(num: int, base_step: int) -> int:
    """Round(2^(num/98304) * baseStep)."""
    return pow2_step(num, 98304, base_step)


def real_out(v: Fraction, negzero: bool) -> float:
    f = to_float(v)
    return -0.0 if negzero and f == 0 else f


def sample_json(r: SampleRec):
    out = {"program": r.program, "keyLow": r.keyLow, "keyHigh": r.keyHigh, "isDrum": r.isDrum,
           "sampleRate": r.sampleRate}
    out.update((f, getattr(r, f)) for f in MATCH_FIELDS)
    for f, negzero in zip(REAL_NAMES, r.entry.negzero):
        out[f] = real_out(out[f], negzero)
    return out


REAL_NAMES = ("attackFactor", "decayFactor", "sustainSlope", "releaseSlope")
DRUM_CELL = re.compile(r"[+-]?[0-9]+\Z")


def parse_drum_list(text):
    """TRACK:CHANNEL cells separated by commas; ALL stands for -1.  A row
    whose cells are not decimal integers is skipped."""
    out = []
    if text is None or text == "":
        return out
    for cell in text.split(","):
        parts = cell.split(":")
        if len(parts) != 2:
            continue
        tr, chn = ("-1" if p == "ALL" else p for p in parts)
        if not DRUM_CELL.match(tr) or not DRUM_CELL.match(chn):
            continue
        t, c = int(tr), int(chn)
        if t < -2**31 or t > INT32_MAX or c < -2**31 or c > INT32_MAX:
            continue
        out.append((t, s16(c)))
    return out


def compile_song(midi_path, prg_dir="", drums="ALL:10", default_to_0=True, legacy=False) -> dict:
    comp = Compiler(midi_path, prg_dir, drums, default_to_0, legacy)
    try:
        return comp.run()
    except CompileError as exc:
        return {"format": FORMAT, "error": {"code": exc.code, "message": exc.message}}


def main(argv=None):
    argv = list(sys.argv[1:] if argv is None else argv)
    if argv and argv[0] == "dump":
        argv = argv[1:]
    ap = argparse.ArgumentParser(description="Reference model of the song compiler")
    ap.add_argument("song")
    ap.add_argument("--prg", default="")
    ap.add_argument("--drums", default="ALL:10")
    ap.add_argument("--no-default-to-0", action="store_true")
    ap.add_argument("--legacy", action="store_true")
    a = ap.parse_args(argv)
    result = compile_song(a.song, a.prg, a.drums, not a.no_default_to_0, a.legacy)
    print(json.dumps(result, indent=1))
    return 1 if "error" in result else 0


if __name__ == "__main__":
    sys.exit(main())
