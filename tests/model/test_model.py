#!/usr/bin/env python3
"""Self-tests of the reference model against the worked examples of the
compiler's rules.  Run:  python3 -m unittest tests/model/test_model.py"""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import song_model as sm  # noqa: E402
from random_song import vlq, header, chunk  # noqa: E402

LINE = "C5 piano.wav C5 100 64 0 0 0 0 2 0 0 0 0 0 0 0 0 0 1000 -1 -1 16 1 22050"
# vol pan vel pres expr rel bend msens mrate att dec sus rel attl decl start end ls le
FULL = "C0-G10 p.wav C5 {vol} {pan} {vel} 0 0 0 {bend} {msens} {mrate} {af} {df} 0 -1 " \
       "{attl} {decl} {start} 100000 -1 -1 16 1 {rate}"


def line(**kw):
    d = dict(vol=1, pan=64, vel=100, bend=2, msens=100, mrate=5, af=1, df=1, attl=0, decl=0,
             start=0, rate=22050)
    d.update(kw)
    return FULL.format(**d)


def ev(delta, *data):
    return vlq(delta) + bytes(data)


EOT = b"\x00\xff\x2f\x00"


class Song:
    def __init__(self, prg_files, tracks, division=500, fmt=None):
        self.dir = tempfile.mkdtemp()
        self.prg = os.path.join(self.dir, "prg")
        os.makedirs(self.prg)
        for name, lines in prg_files.items():
            with open(os.path.join(self.prg, name), "wb") as fh:
                fh.write(("\r\n".join(lines) + "\r\n").encode("latin-1"))
        if fmt is None:
            fmt = 0 if len(tracks) == 1 else 1
        data = header(fmt, len(tracks), division) + b"".join(chunk(t) for t in tracks)
        self.midi = os.path.join(self.dir, "song.mid")
        with open(self.midi, "wb") as fh:
            fh.write(data)

    def compile(self, **kw):
        kw.setdefault("drums", "ALL:10")
        kw.setdefault("default_to_0", True)
        kw.setdefault("legacy", False)
        return sm.compile_song(self.midi, self.prg, **kw)


def kinds(voice):
    return [e[0] for e in voice["events"]]


class PrgLineTest(unittest.TestCase):
    def code(self, text):
        try:
            sm.parse_prg_line(text)
        except sm.LineError as exc:
            return exc.code
        return 0

    def test_valid_line(self):
        e = sm.parse_prg_line(LINE)
        self.assertEqual((e.keyLow, e.keyHigh, e.baseKey, e.baseVolume), (60, 60, 60, 100))
        self.assertEqual((e.loopStart, e.loopEnd, e.sampleRate), (-1, -1, 22050))
        e = sm.parse_prg_line(LINE.replace("C5 piano", "C5-B5 piano"))
        self.assertEqual((e.keyLow, e.keyHigh), (60, 71))

    def test_key_codes(self):
        self.assertEqual(sm.parse_prg_line(LINE.replace("C5 piano", "c#4 piano")).keyLow, 49)
        self.assertEqual(sm.parse_prg_line(LINE.replace("C5 piano", "C#4 piano")).keyLow, 49)
        for bad in ("Db4", "H4", "C11", "C5-B4", "G#10", "C5-G#10"):
            self.assertEqual(self.code(LINE.replace("C5 piano", bad + " piano")), 18, bad)
        for bad in ("Db4", "H4", "C11"):
            self.assertEqual(self.code(LINE.replace("wav C5", "wav " + bad)), 21, bad)
        self.assertEqual(sm.parse_prg_line(LINE.replace("wav C5", "wav B10")).baseKey, 131)

    def test_separators(self):
        self.assertEqual(self.code(LINE.replace(" 64 ", "  64 ")), 23)
        self.assertEqual(self.code(LINE.replace("piano.wav C5", '"piano.wav" C5')), 21)
        self.assertEqual(self.code(LINE.replace("piano.wav C5", '"piano.wav"C5')), 0)
        self.assertEqual(self.code(LINE.replace("C5 piano", "C5    piano")), 0)
        self.assertEqual(self.code("    "), 18)
        self.assertIsNone(sm.parse_prg_line(""))
        self.assertIsNone(sm.parse_prg_line("   # remark"))
        self.assertEqual(self.code(LINE.replace(" ", "\t", 1)), 0)  # the skipped character
        self.assertEqual(self.code(LINE.replace("wav C5", "wav\tC5")), 21)
        self.assertEqual(self.code("C5 "), 20)
        self.assertEqual(self.code('C5 ""C5'), 20)

    def test_tail(self):
        self.assertEqual(self.code(LINE.rsplit(" ", 3)[0]), 43)
        self.assertEqual(self.code(LINE.rsplit(" ", 1)[0]), 43)
        self.assertEqual(self.code(LINE[:-5] + "0"), 43)
        self.assertEqual(self.code(LINE[:-5] + "100001"), 43)
        self.assertEqual(self.code(LINE[:-5] + "100000"), 0)
        self.assertEqual(self.code(LINE[:-5] + "$186A0"), 0)
        looping = LINE.replace("1000 -1 -1", "1000 0 10")
        self.assertEqual(self.code(looping), 34)
        self.assertEqual(self.code(looping.replace("0 0 0 0 1000", "-1 0 0 0 1000", 1)), 0)
        e = sm.parse_prg_line(LINE.replace("1000 -1 -1", "1000 -7 -5"))
        self.assertEqual((e.loopStart, e.loopEnd), (-1, -1))
        self.assertEqual(self.code(LINE.replace("1000 -1 -1", "1000 -1 1001")), 40)
        self.assertEqual(self.code(LINE.replace("1000 -1 -1", "1000 5 3")), 40)
        self.assertEqual(self.code(LINE.replace("1000 -1 -1", "1000 1001 -1")), 39)
        e = sm.parse_prg_line(LINE.replace("1000 -1 -1", "1000 5 -1"))
        self.assertEqual((e.loopStart, e.loopEnd), (5, -1))

    def test_numbers(self):
        self.assertEqual(self.code(LINE.replace(" 100 ", " $7FFFFFFF ")), 0)
        self.assertEqual(self.code(LINE.replace(" 100 ", " 2147483648 ")), 22)
        self.assertEqual(self.code(LINE.replace(" 100 ", " $80000000 ")), 22)
        self.assertEqual(self.code(LINE.replace(" 100 ", " +100 ")), 0)
        self.assertEqual(self.code(LINE.replace(" 100 ", " 1.0 ")), 22)
        self.assertEqual(sm.parse_real(".5")[0], sm.Fraction(1, 2))
        self.assertEqual(sm.parse_real("5.")[0], 5)
        self.assertEqual(sm.parse_real("-1.25E+1")[0], sm.Fraction(-25, 2))
        for bad in (".", "e5", "1e", "1.5.5", "+", "$1", "1,5"):
            self.assertIsNone(sm.parse_real(bad), bad)

    def test_lines(self):
        self.assertEqual(sm.split_prg_lines(b"a\r\nb\rc"), [b"a", b"b", b"c"])
        self.assertEqual(sm.split_prg_lines(b"a\nb\r\n"), [b"a\nb"])
        self.assertEqual(sm.split_prg_lines(b"a\r\n\x1ab\r\n"), [b"a"])
        self.assertEqual(sm.split_prg_lines(b"a\r\n\r\nb"), [b"a", b"", b"b"])


class SongTest(unittest.TestCase):
    def test_note_end_values(self):
        s = Song({"0.PRG": [line()]}, [ev(0, 0x90, 60, 100) + ev(480, 0x80, 60, 50) + EOT])
        r = s.compile()
        v = r["voices"][0]
        self.assertEqual([e[:3] for e in v["events"]],
                         [[1, 0, 0], [2, 480 * 441 // 20 * 4, 0], [9, 42336, 0]])
        s = Song({"0.PRG": [line()]},
                 [ev(0, 0xB0, 64, 127) + ev(0, 0x90, 60, 100) + ev(480, 0x90, 60, 0) + EOT])
        comp = sm.Compiler(s.midi, s.prg, "ALL:10", True, False)
        comp.read_midi()
        self.assertEqual([(e.kind, e.time, e.value) for e in comp.records[0].groups[0]],
                         [(1, 0, 100), (2, 480, 21)])

    def test_repeated_key(self):
        s = Song({"0.PRG": [line()]},
                 [ev(0, 0x90, 60, 100) + ev(240, 0x90, 60, 90) + ev(240, 0x80, 60, 64)
                  + ev(240, 0x80, 60, 64) + ev(1200, 0xFF, 0x2F, 0)])
        comp = sm.Compiler(s.midi, s.prg, "ALL:10", True, False)
        comp.read_midi()
        groups = [[(e.kind, e.time, e.value) for e in g] for g in comp.records[0].groups]
        self.assertEqual(groups, [[(1, 0, 100), (2, 240, 127)], [(1, 240, 90), (2, 480, 64)]])

    def test_end_of_track(self):
        s = Song({"0.PRG": [line()]}, [ev(0, 0x90, 60, 100) + ev(1920, 0xFF, 0x2F, 0)])
        comp = sm.Compiler(s.midi, s.prg, "ALL:10", True, False)
        comp.read_midi()
        self.assertEqual([(e.kind, e.time, e.value) for e in comp.records[0].groups[0]],
                         [(1, 0, 100), (2, 1920, 64)])

    def test_initial_state_collapse(self):
        s = Song({"0.PRG": [line()]},
                 [ev(0, 0xB0, 7, 100) + ev(0, 0xB0, 10, 30) + ev(0, 0x90, 60, 100)
                  + ev(100, 0x80, 60, 64) + EOT])
        v = s.compile()["voices"][0]
        self.assertEqual(kinds(v), [10, 10, 1, 2, 9])

    def test_uncovered_key(self):
        s = Song({"0.PRG": [LINE]}, [ev(0, 0xC0, 0), EOT, ev(0, 0x99, 61, 100) + EOT])
        r = s.compile(drums="ALL:10")
        self.assertEqual(r["error"]["code"], 17)
        s = Song({"0.PRG": [LINE], "D0.PRG": [LINE]}, [EOT, ev(0, 0x99, 61, 100) + EOT])
        r = s.compile()
        self.assertEqual(r["error"], {"code": 15, "message":
                                      "Note c#5 not assigned to in MIDI Track:Channel 2:10."})

    def test_prg_messages(self):
        s = Song({"0.PRG": [LINE]}, [ev(0, 0xC0, 5) + ev(0, 0x90, 60, 1) + EOT])
        self.assertEqual(s.compile()["format"], "zorbel-song/1")
        self.assertNotIn("error", s.compile())
        r = s.compile(default_to_0=False)
        self.assertEqual(r["error"]["message"], "PRG file " + s.prg + "/5.PRG not found.")
        s = Song({"0.PRG": [LINE, "# x", LINE.replace(" 64 ", " 128 ")]},
                 [ev(0, 0xC0, 5) + ev(0, 0x90, 60, 1) + EOT])
        self.assertEqual(s.compile()["error"]["message"],
                         "PRG " + s.prg + "/5.PRG, line #3: Illegal base panpot.")
        s = Song({"1.PRG": [LINE]}, [ev(0, 0x90, 60, 1) + EOT])
        self.assertEqual(s.compile()["error"]["message"],
                         "PRG file " + s.prg + "/0.PRG not found.")

    def test_case_insensitive_lookup(self):
        s = Song({"d0.prg": [LINE]}, [ev(0, 0x99, 60, 1) + ev(10, 0x89, 60, 1) + EOT])
        self.assertNotIn("error", s.compile())

    def test_merge_shift(self):
        a = line().replace("C0-G10", "C0-B4").replace("p.wav C5", "p.wav C5")
        b = line().replace("C0-G10", "C5-G10").replace("p.wav C5", "p.wav C4")
        s = Song({"0.PRG": [a, b]},
                 [ev(0, 0x90, 50, 100) + ev(10, 0x80, 50, 0) + ev(0, 0x90, 62, 100)
                  + ev(10, 0x80, 62, 0) + EOT])
        r = s.compile()
        self.assertEqual(len(r["samples"]), 1)
        self.assertEqual(r["samples"][0]["baseKey"], 60)
        # key 62 of the second record (base 48) becomes 74 against base 60
        self.assertEqual([v["baseStep"] for v in r["voices"]], [575, 2299])

    def test_timing(self):
        s = Song({"0.PRG": [line()]}, [ev(0, 0x90, 60, 100) + ev(1, 0x80, 60, 0) + EOT],
                 division=96)
        comp = sm.Compiler(s.midi, s.prg, "", True, False)
        comp.read_midi()
        cache = {}
        self.assertEqual([comp.tick_ms(t, cache) for t in (96, 48, 1)], [500, 250, 5])
        comp.division = -(25 << 8) + 40
        self.assertEqual(comp.tick_ms(1000, {}), 1000)
        comp.division = 1000
        self.assertEqual(comp.tick_ms(1, {}), 0)   # 0.5 ms
        self.assertEqual(comp.tick_ms(3, {}), 2)   # 1.5 ms
        comp.division = 480
        comp.tempo_map = [(960, 1000000)]
        self.assertEqual([comp.tick_ms(t, {}) for t in (960, 1440, 480)], [1000, 2000, 500])

    def test_song_length_limit(self):
        for ms, ok in ((24347887, True), (24347888, False)):
            comp = sm.Compiler("", "", "", True, False)
            comp.song_ms = ms
            comp.records = []
            try:
                comp.check_song_length()
                self.assertTrue(ok)
                self.assertEqual(comp.song_length, 2147483632)
            except sm.CompileError as exc:
                self.assertFalse(ok)
                self.assertEqual(exc.code, 42)

    def test_indices_and_steps(self):
        for rate, start in ((44100, 500), (11025, 2000)):
            s = Song({"0.PRG": [line(rate=rate, start=1000)]},
                     [ev(0, 0x90, 72, 100) + ev(10, 0x80, 72, 0) + EOT])
            v = s.compile()["voices"][0]
            self.assertEqual(v["startIndex"], start)
            self.assertEqual(v["attackEnd"], start)
            self.assertEqual(v["decayEnd"], start)
            self.assertEqual(v["baseStep"], 2048)
        self.assertEqual(sm.base_step_of(12), 512)
        self.assertEqual(sm.base_step_of(-1), 1085)
        self.assertEqual(sm.bend_step(8191 * 2, 1024), 1149)
        self.assertEqual(sm.bend_step(-8192 * 12, 1085), 542)   # 542.5, half to even
        self.assertEqual(sm.base_step_of(132), 0)                # 0.5, half to even

    def test_modulation(self):
        s = Song({"0.PRG": [line()]},
                 [ev(0, 0x90, 60, 100) + ev(0, 0xB0, 1, 127) + ev(10, 0x80, 60, 0) + EOT])
        v = s.compile()["voices"][0]
        self.assertEqual(v["saved"]["lfoPeriod"], 4410)
        self.assertEqual(v["events"][1][:3], [4, 0, 256])

    def test_voice_gap(self):
        # 1 tick = 1 ms; end at 1000 ms = 88200 bytes
        for start_ms, n in ((1250, 2), (1251, 1)):
            s = Song({"0.PRG": [line()]},
                     [ev(0, 0x90, 60, 100) + ev(1000, 0x80, 60, 0)
                      + ev(start_ms - 1000, 0x90, 60, 100) + ev(100, 0x80, 60, 0) + EOT])
            self.assertEqual(len(s.compile()["voices"]), n, start_ms)

    def test_levels(self):
        s = Song({"0.PRG": [line(vol=4)]},
                 [ev(0, 0x90, 60, 127) + ev(10, 0x80, 60, 64) + EOT])
        v = s.compile()["voices"][0]
        self.assertAlmostEqual(v["events"][0][3], 34.7355, places=3)
        self.assertAlmostEqual(v["events"][0][4], 34.7355, places=3)
        s = Song({"0.PRG": [line(vel=50)]},
                 [ev(0, 0x90, 60, 127) + ev(10, 0x80, 60, 64) + EOT])
        v = s.compile(legacy=True)["voices"][0]
        self.assertEqual(v["events"][0][3:], [62.5078125, 62.5078125])
        self.assertEqual(v["events"][1][3:], [63.0, 63.0])
        self.assertEqual(v["saved"]["curExpression"], 0)

    def test_reader_errors(self):
        s = Song({"0.PRG": [line()]}, [EOT])
        self.assertEqual(s.compile(), {"format": "zorbel-song/1", "songLength": 0,
                                       "samples": [], "voices": []})
        with open(s.midi, "wb") as fh:
            fh.write(header(0, 1, 96))
        self.assertEqual(s.compile()["error"]["code"], 12)
        with open(s.midi, "wb") as fh:
            fh.write(header(0, 2, 96) + chunk(EOT) + chunk(EOT))
        self.assertEqual(s.compile()["error"]["code"], 13)
        with open(s.midi, "wb") as fh:
            fh.write(header(1, 1, 96) + chunk(b"\x00\xf8" + EOT))
        self.assertEqual(s.compile()["error"]["code"], 14)
        with open(s.midi, "wb") as fh:
            fh.write(header(1, 1, 96) + chunk(b"\x00\xfe" + EOT))
        self.assertNotIn("error", s.compile())
        with open(s.midi, "wb") as fh:
            fh.write(header(1, 2, 96) + chunk(EOT + b"\x00") + chunk(EOT))
        self.assertEqual(s.compile()["error"]["code"], 13)
        with open(s.midi, "wb") as fh:
            fh.write(header(1, 1, 96) + chunk(b"\x8f\xff\xff\xff\x7f" + EOT))
        self.assertEqual(s.compile()["error"]["code"], 42)
        self.assertEqual(sm.compile_song("/nonexistent.mid", s.prg)["error"]["code"], 11)

    def test_running_status_over_meta(self):
        s = Song({"0.PRG": [line()]},
                 [b"\x00\x90\x3c\x40\x00\xff\x01\x00\x00\x3e\x40" + ev(10, 0x80, 60, 0)
                  + ev(0, 0x80, 62, 0) + EOT])
        self.assertEqual(len(s.compile()["voices"]), 2)


if __name__ == "__main__":
    unittest.main()
