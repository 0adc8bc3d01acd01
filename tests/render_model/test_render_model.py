"""Smoke test of the render model: from the golden dump of the test song it writes the record
file whose hash the command line's play test expects."""

import hashlib
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")
sys.path.insert(0, HERE)

import render_model  # noqa: E402


class GoldenRender(unittest.TestCase):
    def test_three_notes(self):
        with open(os.path.join(DATA, "golden", "three-notes.dump.json")) as f:
            dump = render_model._parse_reals_as_text(f.read())
        song = os.path.join(DATA, "songs", "three-notes.mid")
        out = render_model.render_song(dump, song, os.path.join(DATA, "PRG"),
                                       os.path.join(DATA, "WAV"))
        self.assertEqual(hashlib.sha256(out).hexdigest(),
                         "63cd55bd07b28c259db79a43c21829538c8d4eb35b8759ecab18a5e02b94f867")


if __name__ == "__main__":
    unittest.main()
