#!/usr/bin/env python3
"""Reference model of the renderer: WAV sample loading, the voice mixer, the
streaming of whole buffers and the WAV record file.

The compiled song is taken from `zorbel-cli dump` (JSON) so that only the
synthesizer side is modelled here.  Integer work per frame is done with
Python integers; every extended-real operation of the engine (levels,
slopes, step lengths, rate conversion, volume) goes through longdouble.py,
which rounds each result to a 64-bit significand.  compare.py --render
runs it against `zorbel-cli render`.
"""

from __future__ import annotations

import array
import json
import math
import os
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import longdouble as L  # noqa: E402
from song_model import find_file  # noqa: E402  (exact name, else any case)

# ---------------------------------------------------------------------------
# constants
# ---------------------------------------------------------------------------

OUT_RATE = 22050
BUF_BYTES = 352800
BUF_FRAMES = BUF_BYTES // 4

ATTACK, DECAY, SUSTAIN, RELEASE, SILENT = 0, 1, 2, 3, 4
NOTE_START, NOTE_END, MODULATION, END_MARK, NO_OP, PITCH_BEND = 1, 2, 4, 9, 10, 8
LEVEL_KINDS = (0, 3, 5, 6, 7)

INT32_MIN, INT32_MAX = -(1 << 31), (1 << 31) - 1

ONE = L.from_int(1)
MIN_SLOPE = L.from_str("0.00128")
NEG_MIN_SLOPE = L.neg(MIN_SLOPE)
MAX_STEP_FRAMES_REAL = L.from_str("782.25")


def _cos_table():
    tab = []
    for i in range(1607):
        c = math.cos(2.0 * math.pi * i / 1608)
        f = struct.unpack("<f", struct.pack("<f", c))[0]  # single precision
        tab.append(int(65536.0 * f))  # exact product, truncated toward zero
    return tab


COS_TABLE = _cos_table()


class ModelError(Exception):
    """A failure the renderer reports (no output file)."""


def tdiv(a: int, b: int) -> int:
    """Integer division rounded toward zero."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


def gain_of(level) -> int:
    return max(INT32_MIN, min(INT32_MAX, L.trunc(level)))


# ---------------------------------------------------------------------------
# WAV loading
# ---------------------------------------------------------------------------

def resolve_wav_name(wav_name: str, prg_dir: str, wav_dir: str):
    """(name shown in messages, path opened) for a PRG line's WAV name,
    before the case-insensitive fallback.  A name with a directory part is
    used as written, relative to the patch directory."""
    name = wav_name.replace("\\", "/")
    last = name.rsplit("/", 1)[-1]
    if "." not in last:
        name += ".WAV"
    if "/" not in name:
        full = os.path.join(wav_dir, name) if wav_dir else name
        return full, full
    if os.path.isabs(name):
        return name, name
    return name, os.path.join(prg_dir, name)


def _u32(b: bytes, off: int) -> int:
    return int.from_bytes(b[off:off + 4], "little")


def examine_wav(raw: bytes):
    """Header check of one file's bytes.  Returns None when the file is not
    valid, else (channels, rate, bits, dataOffset, dataSize)."""
    size = len(raw)
    if size <= 36:
        return None  # the header read reached the end of the file
    hdr = bytearray(raw[:36])
    if hdr[0:4] != b"RIFF" or hdr[8:12] != b"WAVE" or hdr[12:16] != b"fmt " \
            or hdr[20] != 1 or hdr[21] != 0:
        return None
    if hdr[22] not in (1, 2) or hdr[23] != 0:
        return None
    fmt_len = _u32(hdr, 16)
    if fmt_len < 16:
        return None
    pos = 36 + (fmt_len - 16) + (fmt_len & 1)
    while True:
        chunk = raw[pos:pos + 8] if pos < size else b""
        hdr[0:len(chunk)] = chunk
        pos = min(pos + 8, size) if pos < size else pos
        if hdr[0:4] == b"data" or pos >= size:
            break
        ln = _u32(hdr, 4)
        pos += ln + (ln & 1)
        if pos >= size:
            break
    if pos >= size:
        return None
    channels = raw[22]
    rate = int.from_bytes(raw[24:28], "little", signed=True)
    bits = int.from_bytes(raw[34:36], "little")
    data_size = _u32(hdr, 4)
    return channels, rate, bits, pos, data_size


def convert_samples(raw: bytes, channels: int, rate: int, bits: int):
    """The converted 16-bit mono 22050 Hz samples (the slack is left out:
    every read past the stored samples gives 0)."""
    bps = bits // 8
    frames = len(raw) // (channels * bps)
    if bits == 8:
        b = raw
        if channels == 1:
            def m(f): return (b[f] - 128) * 256
            def h(f): return (b[f] - 128) * 128
            def p(f): return (b[f] + b[f + 1] - 256) * 128
        else:
            def m(f): return (b[2 * f] + b[2 * f + 1] - 256) * 128
            def h(f): return (b[2 * f] + b[2 * f + 1] - 256) * 64
            def p(f): return (b[2 * f] + b[2 * f + 1] + b[2 * f + 2] + b[2 * f + 3] - 512) * 64
    else:
        s = array.array("h")
        s.frombytes(raw[:len(raw) - (len(raw) % 2)])
        if sys.byteorder != "little":
            s.byteswap()
        if channels == 1:
            def m(f): return s[f]
            def h(f): return tdiv(s[f], 2)
            def p(f): return tdiv(s[f] + s[f + 1], 2)
        else:
            def m(f): return tdiv(s[2 * f] + s[2 * f + 1], 2)
            def h(f): return tdiv(s[2 * f] + s[2 * f + 1], 4)
            def p(f): return tdiv(s[2 * f] + s[2 * f + 1] + s[2 * f + 2] + s[2 * f + 3], 4)

    if rate == 22050:
        return [m(f) for f in range(frames)]
    if rate == 44100:  # p(f): the frames f and f + 1 together
        return [p(2 * k) for k in range(frames // 2)]
    if rate == 11025:
        out = []
        prev = 0
        for f in range(frames):
            hf = h(f)
            out.append(prev + hf)
            out.append(m(f))
            prev = hf
        return out
    # any other rate: linear interpolation in extended reals
    r = L.div(L.from_int(rate), L.from_int(OUT_RATE))
    n_out = L.round_half_even(L.div(L.from_int(2 * frames), r)) // 2 + 1
    out = []
    k = 0
    while True:
        p = L.mul(L.from_int(k), r)
        i = L.trunc(p)
        if i >= frames:
            break
        mi = m(i)
        out.append(mi)
        if i + 1 >= frames:
            break
        fr = L.frac(p)
        v = L.trunc(L.add(L.mul(fr, L.from_int(m(i + 1) - mi)), L.from_int(mi)))
        out[-1] = max(-32768, min(32767, v))
        if k + 1 >= n_out:
            break
        k += 1
    return out


def load_wav(wav_name: str, prg_dir: str, wav_dir: str):
    name, path = resolve_wav_name(wav_name, prg_dir, wav_dir)
    found = find_file(path)
    if found is None:
        raise ModelError("Can't open WAV file " + name)
    with open(found, "rb") as fh:
        raw = fh.read()
    info = examine_wav(raw)
    if info is None:
        raise ModelError("Can't open WAV file " + name)
    channels, rate, bits, offset, size = info
    if bits not in (8, 16):
        raise ModelError("Can't open WAV file " + name)
    if offset + size > len(raw):
        raise ModelError("Error reading WAV file!")
    return convert_samples(raw[offset:offset + size], channels, rate, bits)


# ---------------------------------------------------------------------------
# song blocks
# ---------------------------------------------------------------------------

def ld_value(v):
    """A real of the dump (kept as its decimal text) as an extended real."""
    if isinstance(v, str):
        return L.from_str(v)
    if isinstance(v, int):
        return L.from_int(v)
    return L.from_str(repr(v))


SAVED_INTS = ("phaseStep", "sampleIndex", "phaseFrac", "curSample", "sampleDelta", "gainLeft",
              "gainRight", "vibratoDepth", "lfoPhase", "lfoPeriod", "updateInterval",
              "nextUpdatePos", "leftActive", "rightActive", "envState")
SAVED_REALS = ("slopeLeft", "slopeRight", "stepFrames", "levelLeft", "levelRight", "factorLeft",
               "factorRight")


class Voice:
    def __init__(self, js: dict, data: list):
        self.data = data
        self.n_data = len(data)
        for k in ("startIndex", "endIndex", "loopStartIndex", "loopEndIndex", "loopLength",
                  "attackEnd", "decayEnd"):
            setattr(self, k, int(js[k]))
        self.attackRate = ld_value(js["attackRate"])
        self.decayRate = ld_value(js["decayRate"])
        self.sustainRate = ld_value(js["sustainRate"])
        self.releaseRate = ld_value(js["releaseRate"])
        # The loader puts the first sample of the note into the saved state: every note starts
        # with a ramp from 0.
        self.saved = {k: (ld_value(js["saved"][k]) if k in SAVED_REALS else int(js["saved"][k]))
                      for k in SAVED_INTS + SAVED_REALS}
        self.saved["sampleDelta"] = self.read(int(self.startIndex))
        self.events = [(int(e[0]), int(e[1]), int(e[2]), ld_value(e[3]), ld_value(e[4]))
                       for e in js["events"]]
        self.cur_event = 0
        self.restore()

    # -- state -------------------------------------------------------------
    def read(self, i: int) -> int:
        return self.data[i] if 0 <= i < self.n_data else 0

    def restore(self):
        for k, v in self.saved.items():
            setattr(self, k, v)

    def set_gains(self):
        self.gainLeft = gain_of(self.levelLeft)
        self.gainRight = gain_of(self.levelRight)

    # -- envelope ----------------------------------------------------------
    def catch_up(self, pos: int):
        k = tdiv(pos - (self.nextUpdatePos - self.updateInterval), 4)
        kk = L.from_int(k)
        self.levelLeft = L.add(self.levelLeft, L.mul(kk, self.slopeLeft))
        self.levelRight = L.add(self.levelRight, L.mul(kk, self.slopeRight))
        self.set_gains()

    def set_slopes(self, rate):
        self.slopeLeft = L.mul(self.factorLeft, rate)
        self.slopeRight = L.mul(self.factorRight, rate)

    def _set_step(self, m, pos: int):
        if L.lt(m, MIN_SLOPE):
            m = MIN_SLOPE
        sf = L.trunc(L.add(L.div(ONE, m), ONE))
        self.stepFrames = L.from_int(sf)
        self.updateInterval = 4 * sf
        self.nextUpdatePos = pos + self.updateInterval

    def step_s1(self, pos: int):
        self._set_step(L.maxv(L.absv(self.slopeLeft), L.absv(self.slopeRight)), pos)

    def step_s2(self, pos: int):
        if self.leftActive and self.rightActive:
            m = L.maxv(L.absv(self.slopeLeft), L.absv(self.slopeRight))
        elif self.leftActive:
            m = L.absv(self.slopeLeft)
        else:
            m = L.absv(self.slopeRight)
        self._set_step(m, pos)

    def channel_check(self):
        if self.gainLeft < 1 and L.sign(self.slopeLeft) < 0:
            self.leftActive = 0
        if self.gainRight < 1 and L.sign(self.slopeRight) < 0:
            self.rightActive = 0

    def set_release_slopes(self):
        self.set_slopes(self.releaseRate)
        for side in ("slopeLeft", "slopeRight"):
            s = getattr(self, side)
            if L.lt(L.absv(s), MIN_SLOPE):
                setattr(self, side, MIN_SLOPE if L.sign(s) > 0 else NEG_MIN_SLOPE)

    def check_or_silence(self, pos: int):
        self.channel_check()
        if not self.leftActive and not self.rightActive:
            self.envState = SILENT
        else:
            self.step_s2(pos)

    def enter_sustain(self, pos: int):  # D3
        self.envState = SUSTAIN
        self.set_slopes(self.sustainRate)
        self.check_or_silence(pos)

    def end_attack(self, pos: int):  # D1
        self.catch_up(pos)
        if self.sampleIndex < self.decayEnd:
            self.envState = DECAY
            self.set_slopes(self.decayRate)
            self.step_s1(pos)
        else:
            self.enter_sustain(pos)

    def end_decay(self, pos: int):  # D2
        self.catch_up(pos)
        self.enter_sustain(pos)

    def level_update(self) -> bool:
        """Level update at an update point; True when the voice falls silent."""
        st = self.envState
        if st == ATTACK or st == DECAY:
            self.levelLeft = L.add(self.levelLeft, L.mul(self.stepFrames, self.slopeLeft))
            self.levelRight = L.add(self.levelRight, L.mul(self.stepFrames, self.slopeRight))
            self.set_gains()
            return False
        if self.leftActive:
            self.levelLeft = L.add(self.levelLeft, L.mul(self.stepFrames, self.slopeLeft))
            self.gainLeft = gain_of(self.levelLeft)
            if self.gainLeft < 1 and L.sign(self.slopeLeft) < 0:
                self.leftActive = 0
                if not self.rightActive:
                    return True
        if self.rightActive:
            self.levelRight = L.add(self.levelRight, L.mul(self.stepFrames, self.slopeRight))
            self.gainRight = gain_of(self.levelRight)
            if self.gainRight < 1 and L.sign(self.slopeRight) < 0:
                self.rightActive = 0
                if not self.leftActive:
                    return True
        return False

    # -- events ------------------------------------------------------------
    def handle(self, ev, pos: int):
        kind = ev[0]
        if kind == NOTE_START:
            self.restore()
            self.factorLeft, self.factorRight = ev[3], ev[4]
            self.levelLeft = L.mul(self.levelLeft, self.factorLeft)
            self.levelRight = L.mul(self.levelRight, self.factorRight)
            self.set_gains()
            self.set_slopes(self.attackRate)
            self.step_s1(pos)
        elif kind == NOTE_END:
            if self.envState in (RELEASE, SILENT):
                return
            self.catch_up(pos)
            self.envState = RELEASE
            self.factorLeft, self.factorRight = ev[3], ev[4]
            self.set_release_slopes()
            self.check_or_silence(pos)
        elif kind in LEVEL_KINDS:
            self.levelLeft = L.div(L.mul(self.levelLeft, ev[3]), self.factorLeft)
            self.levelRight = L.div(L.mul(self.levelRight, ev[4]), self.factorRight)
            self.set_gains()
            self.factorLeft, self.factorRight = ev[3], ev[4]
            st = self.envState
            if st == ATTACK or st == DECAY:
                self.set_slopes(self.attackRate if st == ATTACK else self.decayRate)
                m = L.maxv(L.absv(self.slopeLeft), L.absv(self.slopeRight))
                if L.lt(m, MIN_SLOPE):
                    self.stepFrames = MAX_STEP_FRAMES_REAL
                else:
                    self.stepFrames = L.add(L.div(ONE, m), ONE)
            elif st == SUSTAIN:
                self.set_slopes(self.sustainRate)
                self.check_or_silence(pos)
            elif st == RELEASE:
                self.set_release_slopes()
                self.check_or_silence(pos)
        elif kind == MODULATION:
            self.vibratoDepth = ev[2]
        elif kind == PITCH_BEND:
            self.phaseStep = ev[2]
        # noOp (10) and anything else: nothing

    # -- rendering -----------------------------------------------------------
    def render(self, pos: int, target: int, base: int, acc_l, acc_r):
        """Render the segment from pos to target (byte positions); base is the
        byte position of the buffer's first frame."""
        while pos < target:
            st = self.envState
            if st == SILENT:
                return
            if st == ATTACK:
                if self.sampleIndex >= self.attackEnd:
                    self.end_attack(pos)
                    continue
                pos, why = self.frames(pos, target, base, acc_l, acc_r, False, self.attackEnd)
                if why == 1:
                    self.end_attack(pos)
                continue
            if st == DECAY:
                if self.sampleIndex >= self.decayEnd:
                    self.end_decay(pos)
                    continue
                pos, why = self.frames(pos, target, base, acc_l, acc_r, False, self.decayEnd)
                if why == 1:
                    self.end_decay(pos)
                continue
            looping = self.sampleIndex < self.loopEndIndex
            pos, why = self.frames(pos, target, base, acc_l, acc_r, looping, None)

    def frames(self, pos, target, base, acc_l, acc_r, looping, boundary):
        """Frame steps from pos until target, a sample advance reaching
        boundary (result 1), or silence (result 2, pos = target)."""
        data = self.data
        nd = self.n_data
        cur = self.curSample
        delta = self.sampleDelta
        frac = self.phaseFrac
        idx = self.sampleIndex
        g_l = self.gainLeft
        g_r = self.gainRight
        step = self.phaseStep
        vib = self.vibratoDepth
        lfo = self.lfoPhase
        lfo_per = self.lfoPeriod
        nxt = self.nextUpdatePos
        end_index = self.endIndex
        loop_start = self.loopStartIndex
        loop_end = self.loopEndIndex
        loop_len = self.loopLength
        cos = COS_TABLE
        fi = (pos - base) >> 2
        why = 0
        while pos < target:
            s = cur + ((delta * frac) >> 10)
            acc_l[fi] += g_l * s
            acc_r[fi] += g_r * s
            fi += 1
            pos += 4
            if pos >= nxt:
                self.gainLeft, self.gainRight = g_l, g_r
                silenced = self.level_update()
                g_l, g_r = self.gainLeft, self.gainRight
                nxt += self.updateInterval
                if silenced:
                    self.envState = SILENT
                    pos = target
                    why = 2
                    break
            if vib > 0:
                if lfo_per <= 0:
                    raise ModelError("vibrato without a period")
                lfo += 1
                while lfo >= lfo_per:
                    lfo -= lfo_per
                i = (lfo * 1607) // lfo_per
                adv = step + ((cos[i] * vib) >> 15)
            else:
                adv = step
            if adv < 0:
                adv = 0
            frac += adv
            if frac >= 1024:
                idx += frac >> 10
                frac &= 1023
                if looping:
                    if idx >= loop_end:
                        w = (idx - loop_end) // loop_len + 1
                        idx -= w * loop_len
                    if idx < loop_start:
                        idx = loop_start
                else:
                    if idx >= end_index:
                        self.envState = SILENT
                        pos = target
                        why = 2
                        break
                cur = data[idx] if 0 <= idx < nd else 0
                nx = idx + 1
                delta = (data[nx] if 0 <= nx < nd else 0) - cur
                if boundary is not None and idx >= boundary:
                    why = 1
                    break
        self.curSample = cur
        self.sampleDelta = delta
        self.phaseFrac = frac
        self.sampleIndex = idx
        self.gainLeft = g_l
        self.gainRight = g_r
        self.lfoPhase = lfo
        self.nextUpdatePos = nxt
        return pos, why

    def walk(self, start: int, end: int, acc_l, acc_r) -> bool:
        """Voice walk of one buffer; True when the block stays in the active
        list."""
        pos = start
        events = self.events
        while True:
            ev = events[self.cur_event]
            if ev[0] != END_MARK and pos < end:
                t = ev[1]
                if t > end:
                    self.render(pos, end, start, acc_l, acc_r)
                    pos = end
                    continue
                if t > pos:
                    self.render(pos, t, start, acc_l, acc_r)
                    pos = t
                self.handle(ev, pos)
                self.cur_event += 1
                continue
            if ev[0] == END_MARK:
                if pos < end:
                    self.render(pos, end, start, acc_l, acc_r)
                return self.envState != SILENT
            return True


# ---------------------------------------------------------------------------
# the engine
# ---------------------------------------------------------------------------

def volume_multipliers(volume_pos: int, balance_pos: int):
    volume = L.mul(L.from_int(volume_pos), L.from_str("0.1"))
    balance = L.mul(L.from_int(balance_pos), L.from_str("0.02"))
    right_factor = L.mul(volume, balance)
    left_factor = L.mul(L.sub(L.from_int(2), balance), volume)
    thirty_two = L.from_int(32)
    return (L.round_half_even(L.mul(left_factor, thirty_two)),
            L.round_half_even(L.mul(right_factor, thirty_two)))


def convert_buffer(acc_l, acc_r, left_mul: int, right_mul: int, saturate: bool) -> bytes:
    if not any(acc_l) and not any(acc_r):
        return bytes(BUF_BYTES)
    out = array.array("h", bytes(BUF_BYTES))
    for ch, (acc, mul) in enumerate(((acc_l, left_mul), (acc_r, right_mul))):
        j = ch
        for v in acc:
            if v == 0:
                j += 2
                continue
            r = (v * mul) >> 12 if v >= 0 else -(((-v) * mul) >> 12)
            out[j] = max(-32768, min(32767, r)) if saturate else ((r + 0x8000) & 0xFFFF) - 0x8000
            j += 2
    if sys.byteorder != "little":
        out.byteswap()
    return out.tobytes()


def wav_header(data_bytes: int) -> bytes:
    return (b"RIFF" + struct.pack("<I", data_bytes + 36) + b"WAVE" + b"fmt "
            + struct.pack("<IHHIIHH", 16, 1, 2, OUT_RATE, OUT_RATE * 4, 4, 16)
            + b"data" + struct.pack("<I", data_bytes))


class Engine:
    def __init__(self, voices, left_mul=32, right_mul=32, saturate=True):
        self.voices = voices
        self.left_mul = left_mul
        self.right_mul = right_mul
        self.saturate = saturate
        self.active = []
        self.active_count = 0
        self.render_pos = 0
        self.play_pos = 0

    def sync(self):
        self.active = []
        self.active_count = 0
        for v in self.voices:
            i = 0
            evs = v.events
            while evs[i][0] != END_MARK and evs[i][1] < self.play_pos:
                i += 1
            while evs[i][0] != END_MARK and evs[i][0] != NOTE_START:
                i += 1
            if evs[i][0] == NOTE_START:
                self.active.append(v)
                v.restore()
                v.envState = SILENT
                self.active_count += 1
            v.cur_event = i
        self.render_pos = self.play_pos

    def play(self) -> bytes:
        start = self.render_pos
        end = start + BUF_BYTES
        acc_l = [0] * BUF_FRAMES
        acc_r = [0] * BUF_FRAMES
        self.active = [v for v in self.active if v.walk(start, end, acc_l, acc_r)]
        self.active_count = len(self.active)
        buf = convert_buffer(acc_l, acc_r, self.left_mul, self.right_mul, self.saturate)
        self.render_pos = end
        return buf


def render_song(dump: dict, song_name: str, prg_dir: str, wav_dir: str, saturate=True,
                volume=10, balance=50, progress=None) -> bytes:
    """The whole record file of a song, header included."""
    if not dump.get("voices"):
        raise ModelError("Can't parse file " + song_name)
    datas = [load_wav(s["wavName"], prg_dir, wav_dir) for s in dump["samples"]]
    voices = [Voice(v, datas[int(v["sample"])]) for v in dump["voices"]]
    left_mul, right_mul = volume_multipliers(volume, balance)
    eng = Engine(voices, left_mul, right_mul, saturate)
    eng.play_pos = 0
    eng.sync()
    bufs = [eng.play() for _ in range(3)]
    while eng.active_count >= 1:
        eng.play_pos += BUF_BYTES
        bufs.append(eng.play())
        if progress:
            progress(len(bufs))
    data = b"".join(bufs)
    return wav_header(len(data)) + data


# ---------------------------------------------------------------------------
# command line
# ---------------------------------------------------------------------------

def _parse_reals_as_text(text: str) -> dict:
    return json.loads(text, parse_float=lambda s: s)


def run_dump(cli: str, song: str, prg: str, drums=None, legacy=False, no_default_to_0=False):
    cmd = [cli, "dump", song, "--prg", prg]
    if drums is not None:
        cmd += ["--drums", drums]
    if legacy:
        cmd.append("--legacy")
    if no_default_to_0:
        cmd.append("--no-default-to-0")
    p = subprocess.run(cmd, capture_output=True, text=True)
    if p.returncode != 0:
        try:
            msg = json.loads(p.stdout)["error"]["message"]
        except (ValueError, KeyError, TypeError):
            msg = p.stderr.strip() or p.stdout.strip()
        raise ModelError(msg)
    return _parse_reals_as_text(p.stdout)
