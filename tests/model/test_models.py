"""Smoke tests of the two models on the test song: the compiler model compiles it to the
committed golden dump (the same file the command line's dump is checked against), and the
render model writes from that dump the record file whose hash the play test expects."""

import hashlib
import json
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")
sys.path.insert(0, HERE)

import compare  # noqa: E402
import render_model  # noqa: E402
import song_model  # noqa: E402

SONG = os.path.join(DATA, "songs", "three-notes.mid")
GOLDEN = os.path.join(DATA, "golden", "three-notes.dump.json")


class ThreeNotes(unittest.TestCase):
    def test_compiles_to_the_golden_dump(self):
        model = song_model.compile_song(SONG, os.path.join(DATA, "PRG"))
        with open(GOLDEN) as f:
            self.assertIsNone(compare.first_difference(model, json.load(f)))

    def test_renders_the_golden_recording(self):
        with open(GOLDEN) as f:
            dump = render_model._parse_reals_as_text(f.read())
        out = render_model.render_song(dump, SONG, os.path.join(DATA, "PRG"),
                                       os.path.join(DATA, "WAV"))
        self.assertEqual(hashlib.sha256(out).hexdigest(),
                         "63cd55bd07b28c259db79a43c21829538c8d4eb35b8759ecab18a5e02b94f867")


if __name__ == "__main__":
    unittest.main()
