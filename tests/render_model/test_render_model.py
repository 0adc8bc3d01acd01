"""Self-tests of the renderer model on small worked examples (no engine
needed):  python3 -m unittest discover -s tests/render_model -p 'test_*.py'"""

from __future__ import annotations

import os
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import longdouble as L  # noqa: E402
import render_model as R  # noqa: E402


def wav_bytes(bits, channels, rate, data: bytes, fmt_len=16, pre=b"", post=b"") -> bytes:
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits)
    fmt += bytes(fmt_len - 16)
    fmt_chunk = b"fmt " + struct.pack("<I", fmt_len) + fmt + (b"\0" if fmt_len & 1 else b"")
    body = b"WAVE" + fmt_chunk + pre + b"data" + struct.pack("<I", len(data)) + data + post
    return b"RIFF" + struct.pack("<I", len(body)) + body


def load(raw: bytes):
    with tempfile.TemporaryDirectory() as d:
        with open(os.path.join(d, "X.WAV"), "wb") as fh:
            fh.write(raw)
        return R.load_wav("x", d, d)  # no extension, other case


class LongDouble(unittest.TestCase):
    def test_rounding(self):
        third = L.div(L.from_int(1), L.from_int(3))
        self.assertEqual(third[0], 0xAAAAAAAAAAAAAAAB)  # rounded up at bit 64
        self.assertEqual(L.trunc(L.from_str("-2.75")), -2)
        self.assertEqual(L.trunc(L.add(L.div(L.from_int(1), R.MIN_SLOPE), R.ONE)), 782)

    def test_halves_to_even(self):
        big = L.rnd((1 << 64) + 1, 0)  # exactly half an ulp above 2^64: to even
        self.assertEqual(L.to_fraction(big), 1 << 64)
        self.assertEqual(L.round_half_even(L.from_str("2.5")), 2)


class WavLoading(unittest.TestCase):
    def test_11025_8bit(self):
        self.assertEqual(load(wav_bytes(8, 1, 11025, bytes([128, 192]))), [0, 0, 8192, 16384])

    def test_22050_16bit_identity(self):
        vals = [0, 1, -1, 32767, -32768, 1234]
        self.assertEqual(load(wav_bytes(16, 1, 22050, struct.pack("<6h", *vals))), vals)

    def test_44100_odd_count(self):
        out = load(wav_bytes(16, 1, 44100, struct.pack("<3h", 3, -6, 100)))
        self.assertEqual(out, [-1])  # (3 - 6) / 2 toward zero; the last one is dropped

    def test_16bit_stereo_halving(self):
        out = load(wav_bytes(16, 2, 22050, struct.pack("<4h", -3, 0, 5, 2)))
        self.assertEqual(out, [-1, 3])

    def test_extra_chunks_and_fmt18(self):
        pre = b"LIST" + struct.pack("<I", 3) + b"abc\0" + b"fact" + struct.pack("<I", 4) + b"\0" * 4
        out = load(wav_bytes(8, 1, 22050, bytes([0, 255]), fmt_len=19, pre=pre))
        self.assertEqual(out, [-32768, 32512])

    def test_32000_ratio(self):
        out = load(wav_bytes(16, 1, 32000, struct.pack("<1000h", *([1000] * 1000))))
        self.assertEqual(len(out), 690)  # N = Round(2000 / 1.4512) div 2 + 1

    def test_refusals(self):
        with self.assertRaises(R.ModelError):
            load(wav_bytes(8, 1, 22050, b"")[:36])
        with self.assertRaises(R.ModelError):
            load(wav_bytes(8, 1, 22050, b""))  # data header is the last thing
        raw = bytearray(wav_bytes(8, 1, 22050, b"\x80\x80"))
        raw[-6:-2] = struct.pack("<I", 100)
        with self.assertRaisesRegex(R.ModelError, "Error reading"):
            load(bytes(raw))
        with self.assertRaisesRegex(R.ModelError, "Can't open"):
            load(wav_bytes(24, 1, 22050, bytes(6)))


class Output(unittest.TestCase):
    def test_volume(self):
        self.assertEqual(R.volume_multipliers(10, 50), (32, 32))
        self.assertEqual(R.volume_multipliers(10, 0), (64, 0))
        self.assertEqual(R.volume_multipliers(10, 100), (0, 64))

    def test_conversion(self):
        acc_l = [0] * R.BUF_FRAMES
        acc_r = [0] * R.BUF_FRAMES
        acc_l[0], acc_r[0] = 128 * 1000, -128 * 1000
        acc_l[1] = 40000 * 128
        out = R.convert_buffer(acc_l, acc_r, 32, 32, True)
        self.assertEqual(struct.unpack("<4h", out[:8]), (1000, -1000, 32767, 0))
        out = R.convert_buffer(acc_l, acc_r, 32, 32, False)
        self.assertEqual(struct.unpack("<4h", out[:8]), (1000, -1000, 40000 - 65536, 0))

    def test_header(self):
        h = R.wav_header(3 * R.BUF_BYTES)
        self.assertEqual(struct.unpack("<I", h[4:8])[0], 1058436)
        self.assertEqual(struct.unpack("<I", h[40:44])[0], 1058400)

    def test_cos_table(self):
        self.assertEqual(R.COS_TABLE[0], 65536)
        self.assertEqual(R.COS_TABLE[804], -65536)
        self.assertEqual(len(R.COS_TABLE), 1607)


if __name__ == "__main__":
    unittest.main()
