"""Smoke test of the compiler model: it compiles the test song to the committed golden dump,
the same file the command line's dump is checked against."""

import json
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")
sys.path.insert(0, HERE)

import compare  # noqa: E402
import song_model  # noqa: E402


class GoldenDump(unittest.TestCase):
    def test_three_notes(self):
        model = song_model.compile_song(os.path.join(DATA, "songs", "three-notes.mid"),
                                        os.path.join(DATA, "PRG"))
        with open(os.path.join(DATA, "golden", "three-notes.dump.json")) as f:
            golden = json.load(f)
        self.assertIsNone(compare.first_difference(model, golden))


if __name__ == "__main__":
    unittest.main()
