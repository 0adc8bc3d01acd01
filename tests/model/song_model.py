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

MESSAGES = {
    11: "Can not open MIDI file.",
    12: "Unexpected end of MIDI file.",
    13: "Source file is not Standard MIDI Level 0 or 1.",
    14: "Undefined status byte in MIDI file.",
    17: "not found.",
    18: "Illegal key range code.",
    20: "WAV filename missing.",
    21: "Illegal base key code.",
    22: "Illegal base volume.",
    23: "Illegal base panpot.",
    24: "Illegal velocity sensitivity.",
    25: "Illegal pressure sensitivity.",
    26: "Illegal expression sensitivity.",
    27: "Illegal release sensitivity.",
    28: "Illegal pitch bend range.",
    29: "Illegal modulation sensitivity.",
    30: "Illegal modulation rate.",
    31: "Illegal attack factor.",
    32: "Illegal decay factor.",
    33: "Illegal sustain slope.",
    34: "Illegal release slope.",
    35: "Illegal attack length.",
    36: "Illegal decay length.",
    37: "Illegal start position.",
    38: "Illegal end position.",
    39: "Illegal loop start position.",
    40: "Illegal loop end position.",
    42: "Song too long.",
    43: "Error reading WAV parameters.",
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
    if directory == "":
        return name
    if directory.endswith("/"):
        return directory + name
    return directory + "/" + name


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
    if not REAL_RE.match(tok):
        return None
    m = re.match(r"([+-]?)([0-9]*)(?:\.([0-9]*))?(?:[Ee]([+-]?[0-9]+))?\Z", tok)
    sign, ip, fp, ex = m.group(1), m.group(2), m.group(3) or "", m.group(4)
    digits = (ip or "") + fp
    v = Fraction(int(digits) if digits else 0, 10 ** len(fp))
    if ex is not None:
        e = int(ex)
        v = v * 10**e if e >= 0 else v / 10**(-e)
    if sign == "-":
        v = -v
    # keep the sign of a negative zero for the report
    return (v, sign == "-" and v == 0)


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
    bv = int_field(22, 1)
    e.panpot = int_field(23, 0, 127)
    e.velocitySensitivity = int_field(24, -100, 100)
    e.pressureSensitivity = int_field(25, -100, 100)
    e.expressionSensitivity = int_field(26, -100, 100)
    e.releaseSensitivity = int_field(27, -100, 100)
    e.pitchBendRange = int_field(28, 0, 127)
    e.modulationSensitivity = int_field(29, 0, 100)
    e.modulationRate = int_field(30, 0, 100)
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
    e.baseVolume = bv
    e.attackFactor, e.decayFactor, e.sustainSlope, e.releaseSlope = af, df, ss, rs
    e.negzero = (nz1, nz2, nz3, nz4)
    e.loopStart, e.loopEnd = ls, le
    e.sampleRate = rate
    return e


def split_prg_lines(data: bytes):
    """Lines end at CR (a following LF belongs to the line end); LF alone is
    part of the line; Ctrl-Z ends the file after the line it stands in."""
    lines = []
    cur = bytearray()
    i, n = 0, len(data)
    while i < n:
        b = data[i]
        if b == 26:
            if cur:
                lines.append(bytes(cur))
            return lines
        if b == 13:
            lines.append(bytes(cur))
            cur = bytearray()
            i += 1
            if i < n and data[i] == 10:
                i += 1
            continue
        cur.append(b)
        i += 1
    if cur:
        lines.append(bytes(cur))
    return lines


# ---------------------------------------------------------------------------
# Sample records and notes
# ---------------------------------------------------------------------------

MATCH_FIELDS = ("baseKey", "wavName", "panpot", "velocitySensitivity", "pressureSensitivity",
                "expressionSensitivity", "releaseSensitivity", "pitchBendRange",
                "modulationSensitivity", "modulationRate", "baseVolume", "attackFactor",
                "decayFactor", "sustainSlope", "releaseSlope", "attackLength", "decayLength",
                "startPosition", "endPosition", "loopStart", "loopEnd")

MERGE_FIELDS = ("wavName", "panpot", "velocitySensitivity", "pressureSensitivity",
                "expressionSensitivity", "releaseSensitivity", "pitchBendRange",
                "modulationSensitivity", "modulationRate", "baseVolume", "attackFactor",
                "decayFactor", "sustainSlope", "releaseSlope", "attackLength", "decayLength",
                "startPosition", "endPosition", "loopStart", "loopEnd")


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
        self.time = time
        self.kind = kind
        self.key = key
        self.value = value
        self.state = 0


# ---------------------------------------------------------------------------
# The compiler
# ---------------------------------------------------------------------------

class Slot:
    def __init__(self):
        self.table = [[] for _ in range(128)]
        self.reset()

    def reset(self):
        self.volume = 64
        self.pan = 64
        self.modulation = 0
        self.expression = 0
        self.sustain = 0
        self.pitch_bend = 0
        self.program = 0
        self.loaded = False
        self.is_drum = False
        self.table = [[] for _ in range(128)]


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

    # -- file access ---------------------------------------------------------
    def read(self):
        if self.pos >= self.size:
            return 0
        b = self.data[self.pos]
        self.pos += 1
        return b

    @property
    def eof(self):
        return self.pos >= self.size

    def read_var_len(self):
        """Returns (value, bytes read); the value keeps its low 32 bits."""
        b = self.read()
        if self.eof:
            self.fail(12)
        count = 1
        if b < 0x80:
            return b, count
        value = b & 0x7F
        while True:
            b = self.read()
            if self.eof:
                self.fail(12)
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
        self.size = len(self.data)
        self.pos = 0
        h = [self.read() for _ in range(14)]
        if self.eof:
            self.fail(12)
        if h[0:4] != [0x4D, 0x54, 0x68, 0x64]:
            self.fail(13)
        if h[4:8] != [0, 0, 0, 6]:
            self.fail(13)
        if h[8] != 0:
            self.fail(13)
        if not ((h[9] == 0 and h[10] == 0 and h[11] == 1) or h[9] == 1):
            self.fail(13)
        track_count = h[10] * 256 + h[11]
        self.division = s16(h[12] * 256 + h[13])
        if self.division == 0 or (self.division < 0 and (self.division & 0xFF) == 0):
            self.fail(13)
        self.track_number = 0
        while True:
            self.track_number = s16(self.track_number + 1)
            ch = [self.read() for _ in range(8)]
            if self.eof:
                self.fail(12)
            if ch[0:4] != [0x4D, 0x54, 0x72, 0x6B]:
                self.fail(13)
            self.chunk_length = s32((ch[4] << 24) | (ch[5] << 16) | (ch[6] << 8) | ch[7])
            self.running_status = 0xFE
            self.end_of_track = False
            self.byte_count = 1
            expect_delta = True
            self.current_tick = 0
            for slot in self.slots[1:]:
                slot.reset()
            for track, channel in self.drum_list:
                if track == self.track_number or track == -1:
                    for s in range(1, 17):
                        if channel == s or channel == -1:
                            self.slots[s].is_drum = True
            while self.byte_count < self.chunk_length and not self.end_of_track:
                if expect_delta:
                    v, n = self.read_var_len()
                    self.byte_count += n
                    self.current_tick += v
                    if self.current_tick > INT32_MAX:
                        self.fail(42)
                    expect_delta = False
                else:
                    b = self.read()
                    if self.eof:
                        self.fail(12)
                    if b >= 0x80:
                        if b not in (0xF0, 0xF7, 0xFF):
                            self.running_status = b
                        self.byte_count += 1
                        self.read_event(b)
                    else:
                        self.pos -= 1
                        self.read_event(self.running_status)
                    expect_delta = True
            if self.track_number == track_count:
                break

    def read_event(self, s):
        hi = s & 0xF0
        slot_no = (s & 0x0F) + 1
        if hi in (0x80, 0x90, 0xA0, 0xB0, 0xE0):
            d1 = self.read()
            d2 = self.read()
            if self.eof:
                self.fail(12)
            self.byte_count += 2
            slot = self.slots[slot_no]
            if hi == 0x90:
                if d2 > 0:
                    self.start_note(slot_no, d1, d2)
            elif hi == 0xB0:
                if d1 == 1:
                    slot.modulation = d2
                elif d1 == 7:
                    slot.volume = d2
                elif d1 == 10:
                    slot.pan = d2
                elif d1 == 11:
                    slot.expression = d2
                elif d1 == 64:
                    slot.sustain = d2
            elif hi == 0xE0:
                slot.pitch_bend = s16(d2 * 128 + d1 - 8192)
        elif hi in (0xC0, 0xD0):
            d1 = self.read()
            if self.eof:
                self.fail(12)
            self.byte_count += 1
            if hi == 0xC0:
                self.program_change(slot_no, d1)
        elif s in (0xF0, 0xF7):
            length, n = self.read_var_len()
            self.byte_count += n
            self.pos += length
            self.byte_count += length
        elif s == 0xFE:
            pass
        elif s == 0xFF:
            t = self.read()
            if self.eof:
                self.fail(12)
            self.byte_count += 1
            if t == 0x2F:
                self.read()
                self.byte_count += 1
                self.end_of_track = True
            elif t == 0x51:
                self.read()
                t1, t2, t3 = self.read(), self.read(), self.read()
                if self.eof:
                    self.fail(12)
                self.byte_count += 4
                self.add_tempo(t1 * 65536 + t2 * 256 + t3)
            else:
                length, n = self.read_var_len()
                self.byte_count += n
                self.pos += length
                self.byte_count += length
        else:
            self.fail(14)

    def add_tempo(self, tempo):
        i = len(self.tempo_map)
        while i > 0 and self.tempo_map[i - 1][0] > self.current_tick:
            i -= 1
        self.tempo_map.insert(i, (self.current_tick, tempo))

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
            tick = self.current_tick
            group = [Event(tick, NOTE_START, key, velocity)]
            # insert the group: after every group of a lower key and every
            # group of this key that starts earlier, before all others
            groups = rec.groups
            idx = 0
            while idx < len(groups):
                g0 = groups[idx][0]
                if g0.key < key or (g0.key == key and g0.time < tick):
                    idx += 1
                else:
                    break
            groups.insert(idx, group)
            if slot.volume != 64:
                group.append(Event(tick, VOLUME, key, slot.volume))
            if slot.expression != 0:
                group.append(Event(tick, EXPRESSION, key, slot.expression))
            if slot.pan != 64:
                group.append(Event(tick, PAN, key, slot.pan))
            if slot.modulation != 0:
                group.append(Event(tick, MODULATION, key, slot.modulation))
            if slot.pitch_bend != 0:
                group.append(Event(tick, PITCH_BEND, key, slot.pitch_bend))
            end_tick, release = self.look_ahead(slot_no, key, group)
            group.append(Event(end_tick, NOTE_END, key, release))

    def look_ahead(self, slot_no, key, group):
        slot = self.slots[slot_no]
        back = self.pos
        counter = self.byte_count
        tick = self.current_tick
        rs = self.running_status
        expect_delta = True
        found = False
        release = 64
        while counter < self.chunk_length and not found:
            if expect_delta:
                v, n = self.read_var_len()
                counter += n
                tick += v
                if tick > INT32_MAX:
                    self.fail(42)
                expect_delta = False
                continue
            b = self.read()
            if self.eof:
                self.fail(12)
            if b >= 0x80:
                if b not in (0xF0, 0xF7, 0xFF):
                    rs = b
                counter += 1
                status = b
            else:
                self.pos -= 1
                status = rs
            hi = status & 0xF0
            same = (status & 0x0F) + 1 == slot_no
            if hi in (0x80, 0x90, 0xA0, 0xB0, 0xE0):
                d1 = self.read()
                d2 = self.read()
                if self.eof:
                    self.fail(12)
                counter += 2
                if same:
                    if hi == 0x80 and d1 == key:
                        found = True
                        release = d2 // 3 if slot.sustain >= 64 else d2
                    elif hi == 0x90 and d1 == key:
                        found = True
                        if slot.sustain < 64:
                            release = 64 if d2 == 0 else 127
                        else:
                            release = 21 if d2 == 0 else 42
                    elif hi == 0xA0 and d1 == key:
                        group.append(Event(tick, PRESSURE, key, d2))
                    elif hi == 0xB0:
                        kind = {1: MODULATION, 7: VOLUME, 10: PAN, 11: EXPRESSION}.get(d1)
                        if kind is not None:
                            group.append(Event(tick, kind, key, d2))
                    elif hi == 0xE0:
                        group.append(Event(tick, PITCH_BEND, key, s16(d2 * 128 + d1 - 8192)))
            elif hi in (0xC0, 0xD0):
                d1 = self.read()
                if self.eof:
                    self.fail(12)
                counter += 1
                if hi == 0xD0 and same:
                    group.append(Event(tick, PRESSURE, key, d1))
            elif status in (0xF0, 0xF7):
                length, n = self.read_var_len()
                counter += n
                self.pos += length
                counter += length
            elif status == 0xFE:
                pass
            elif status == 0xFF:
                t = self.read()
                if self.eof:
                    self.fail(12)
                counter += 1
                if t == 0x2F:
                    found = True
                    release = 64
                else:
                    length, n = self.read_var_len()
                    counter += n
                    self.pos += length
                    counter += length
            else:
                self.fail(14)
            expect_delta = True
        self.pos = back
        return tick, release

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
                        k, t = group[0].key, group[0].time
                        idx = 0
                        while idx < len(a.groups):
                            g0 = a.groups[idx][0]
                            if g0.key < k or (g0.key == k and g0.time <= t):
                                idx += 1
                            else:
                                break
                        a.groups.insert(idx, group)
                    b.groups = []
                    del recs[b_i]
                else:
                    b_i += 1
            a_i += 1

    # -- timing ------------------------------------------------------------------
    def tick_ms(self, tick, cache):
        ms = cache.get(tick)
        if ms is not None:
            return ms
        num = 0
        prev_tick, prev_tempo = 0, 500000
        for tk, tp in self.tempo_map:
            if tk >= tick:
                break
            num += (tk - prev_tick) * prev_tempo
            prev_tick, prev_tempo = tk, tp
        num += (tick - prev_tick) * prev_tempo
        if self.division > 0:
            den = self.division * 1000
        else:
            fps = -s8(self.division >> 8)
            tpf = self.division & 0xFF
            den = fps * tpf * 500
        exact = Fraction(num, den)
        if exact > INT32_MAX:
            self.fail(42)
        ms = round(exact)
        cache[tick] = ms
        return ms

    def compute_timing(self):
        cache = {}
        song_ms = 0
        for rec in self.records:
            chain = [ev for group in rec.groups for ev in group]
            rec.chain = chain
            for ev in chain:
                ev.time = self.tick_ms(ev.time, cache)
                song_ms = max(song_ms, ev.time)
        self.song_ms = song_ms
        # remove redundant events until a sweep removes nothing
        while True:
            removed = False
            for rec in self.records:
                chain = rec.chain
                out = [chain[0]] if chain else []
                i = 1
                while i < len(chain):
                    x = chain[i]
                    if i + 1 < len(chain):
                        y = chain[i + 1]
                        if (x.key == y.key and x.kind == y.kind
                                and (x.time == y.time or x.value == y.value)):
                            removed = True
                            i += 1
                            continue
                    out.append(x)
                    i += 1
                rec.chain = out
            if not removed:
                break

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

        end_i = max(idx(Fraction(rec.endPosition * 22050, rate)), 0)
        start_i = idx(Fraction(rec.startPosition * 22050, rate))
        if start_i > end_i:
            start_i = end_i
        elif start_i < 0:
            start_i = 0

        def limit(v, lo, hi):
            if v > hi:
                return hi
            if v < lo:
                return lo
            return v

        start_frames = Fraction(rec.startPosition * 22050, rate)
        attack_end = limit(idx(start_frames + Fraction(rec.attackLength * 441, 20)), start_i, end_i)
        decay_end = limit(idx(start_frames + Fraction((rec.attackLength + rec.decayLength) * 441, 20)),
                          attack_end, end_i)
        if rec.loopStart < 0:
            loop_s = loop_e = -1
        else:
            loop_e = limit(idx(Fraction(rec.loopEnd * 22050, rate)), start_i, end_i)
            loop_s = limit(idx(Fraction(rec.loopStart * 22050, rate)), start_i, loop_e)
        loop_len = loop_e - loop_s + 1
        af, df = rec.attackFactor, rec.decayFactor
        sustain_rate = to_float(rec.sustainSlope * 128 / 22050)
        if rec.decayLength > 0:
            decay_rate = to_float((df - af) * 128 * 20 / (rec.decayLength * 441))
            start_rate = decay_rate
        else:
            decay_rate = 0.0
            start_rate = sustain_rate
        if rec.attackLength > 0:
            attack_rate = to_float(af * 128 * 20 / (rec.attackLength * 441))
            level = 0.0
            env = 0
        else:
            attack_rate = start_rate
            level = to_float(af * 128)
            env = 1 if rec.decayLength > 0 else 2
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
            "loopEndIndex": loop_e, "loopLength": loop_len, "attackEnd": attack_end,
            "decayEnd": decay_end, "baseVolume": rec.baseVolume, "baseStep": base_step,
            "velocitySensitivity": rec.velocitySensitivity,
            "pressureSensitivity": rec.pressureSensitivity,
            "expressionSensitivity": rec.expressionSensitivity,
            "releaseSensitivity": rec.releaseSensitivity, "panpot": rec.panpot,
            "pitchBendRange": rec.pitchBendRange, "modulationRate": rec.modulationRate,
            "modulationSensitivity": rec.modulationSensitivity,
            "attackRate": attack_rate, "decayRate": decay_rate, "sustainRate": sustain_rate,
            "releaseRate": release_rate,
            "saved": saved,
            "events": self.event_records(rec, base_step, saved, events),
        }
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


def base_step_of(diff: int) -> int:
    """Round(1024 / 2^(diff/12)), halves to even, at most 2^24."""
    v = _STEP_CACHE.get(("b", diff))
    if v is None:
        with localcontext() as ctx:
            ctx.prec = 60
            if diff % 12 == 0:
                x = Decimal(1024) / (Decimal(2) ** (diff // 12))
            else:
                x = Decimal(1024) / (Decimal(2) ** (Decimal(diff) / Decimal(12)))
            v = int(x.to_integral_value(rounding=ROUND_HALF_EVEN))
        v = min(v, STEP_LIMIT)
        _STEP_CACHE[("b", diff)] = v
    return v


def bend_step(num: int, base_step: int) -> int:
    """Round(2^(num/98304) * baseStep), halves to even, at most 2^24."""
    key = ("p", num, base_step)
    v = _STEP_CACHE.get(key)
    if v is None:
        with localcontext() as ctx:
            ctx.prec = 60
            if num % 98304 == 0:
                x = (Decimal(2) ** (num // 98304)) * base_step
            else:
                x = (Decimal(2) ** (Decimal(num) / Decimal(98304))) * base_step
            v = int(x.to_integral_value(rounding=ROUND_HALF_EVEN))
        v = min(v, STEP_LIMIT)
        _STEP_CACHE[key] = v
    return v


def real_out(v: Fraction, negzero: bool) -> float:
    f = to_float(v)
    return -0.0 if negzero and f == 0 else f


def sample_json(r: SampleRec):
    nz = r.entry.negzero
    return {
        "program": r.program, "keyLow": r.keyLow, "keyHigh": r.keyHigh, "isDrum": r.isDrum,
        "wavName": r.wavName, "sampleRate": r.sampleRate, "baseKey": r.baseKey,
        "panpot": r.panpot, "pitchBendRange": r.pitchBendRange,
        "modulationSensitivity": r.modulationSensitivity, "modulationRate": r.modulationRate,
        "velocitySensitivity": r.velocitySensitivity,
        "pressureSensitivity": r.pressureSensitivity,
        "expressionSensitivity": r.expressionSensitivity,
        "releaseSensitivity": r.releaseSensitivity,
        "attackFactor": real_out(r.attackFactor, nz[0]),
        "decayFactor": real_out(r.decayFactor, nz[1]),
        "sustainSlope": real_out(r.sustainSlope, nz[2]),
        "releaseSlope": real_out(r.releaseSlope, nz[3]),
        "baseVolume": r.baseVolume, "attackLength": r.attackLength,
        "decayLength": r.decayLength, "startPosition": r.startPosition,
        "endPosition": r.endPosition, "loopStart": r.loopStart, "loopEnd": r.loopEnd,
    }


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
