"""Batch renders lose nothing: clashing targets, an output that is an input, a failed or killed
render, a full disk and a write fault. Usage: render_safety_test.py ZORBEL_CLI TEST_DATA_DIR"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "model"))
from random_song import chunk, header, vlq  # noqa: E402

CLI, DATA = sys.argv[1], sys.argv[2]
SONG = os.path.join(DATA, "songs", "three-notes.mid")
SOUNDS = ["--prg", os.path.join(DATA, "PRG"), "--wav", os.path.join(DATA, "WAV"), "--quiet"]
RENDERED = 1058444  # bytes of three-notes.mid rendered


def read(path, mode="rb"):
    with open(path, mode) as f:
        return f.read()


def long_song(path, minutes):
    """One note held for the given minutes (480 ticks a quarter at 120 bpm: 960 a second)."""
    track = b"\x00\x90\x3c\x64" + vlq(minutes * 60 * 960) + b"\x80\x3c\x00\x00\xff\x2f\x00"
    with open(path, "wb") as f:
        f.write(header(0, 1, 480) + chunk(track))


class RenderSafety(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zb-render-safety-")
        self.out = os.path.join(self.dir, "out")
        for sub in ("a", "b"):
            os.makedirs(os.path.join(self.dir, sub))
            shutil.copy(SONG, os.path.join(self.dir, sub, "x.mid"))

    def tearDown(self):
        subprocess.run(["umount", "-q", self.out], stderr=subprocess.DEVNULL, check=False)
        shutil.rmtree(self.dir)

    def render(self, *args, prefix=()):
        return subprocess.run(list(prefix) + [CLI, "render", *args, *SOUNDS], cwd=self.dir,
                              capture_output=True, text=True, timeout=600, check=False)

    def files(self, folder):
        found = []
        for root, _, names in os.walk(folder):
            found += [os.path.relpath(os.path.join(root, n), folder) for n in names]
        return sorted(found)

    def test_clashing_targets_and_an_input_as_output_write_nothing(self):
        for jobs in ("1", "2"):
            r = self.render("a/x.mid", "b/x.mid", "-o", "out", "--jobs", jobs)
            self.assertEqual(r.returncode, 2)
            self.assertIn("a/x.mid", r.stderr)
            self.assertIn("b/x.mid", r.stderr)
            self.assertFalse(os.path.exists(self.out))
        before = read(os.path.join(self.dir, "a", "x.mid"))
        r = self.render("a/x.mid", "-o", "a/x.mid")
        self.assertEqual(r.returncode, 2)
        self.assertIn("would overwrite the input a/x.mid", r.stderr)
        self.assertEqual(read(os.path.join(self.dir, "a", "x.mid")), before)

    def test_keep_dirs_mirrors_the_folders(self):
        r = self.render("a/x.mid", "b/x.mid", "-o", "out", "--keep-dirs")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.files(self.out), ["a/x.WAV", "b/x.WAV"])
        self.assertEqual(r.stderr, "2 of 2 songs written\n")

    def test_a_failed_render_leaves_the_old_file_and_no_partial_file(self):
        os.makedirs(self.out)
        with open(os.path.join(self.out, "no-notes.WAV"), "w") as f:
            f.write("old")
        r = self.render(os.path.join(DATA, "songs", "no-notes.mid"), "a/x.mid", "-o", "out")
        self.assertEqual(r.returncode, 1)
        self.assertTrue(r.stderr.endswith("1 of 2 songs written; 1 failed\n"), r.stderr)
        self.assertEqual(read(os.path.join(self.out, "no-notes.WAV"), "r"), "old")
        self.assertEqual(self.files(self.out), ["no-notes.WAV", "x.WAV"])

    def test_a_killed_render_leaves_nothing_under_the_final_name(self):
        long_song(os.path.join(self.dir, "long.mid"), 60)
        os.makedirs(self.out)
        p = subprocess.Popen([CLI, "render", "long.mid", "-o", "out", *SOUNDS], cwd=self.dir,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 60
        while not self.files(self.out) and time.time() < deadline and p.poll() is None:
            time.sleep(0.001)
        p.send_signal(signal.SIGSTOP)  # frozen in the middle: what a kill would leave
        seen = self.files(self.out)
        p.send_signal(signal.SIGKILL)
        p.wait()
        self.assertEqual(p.returncode, -signal.SIGKILL, "the render ended before the kill")
        self.assertEqual(len(seen), 1)
        self.assertTrue(seen[0].startswith(".long.WAV.") and seen[0].endswith(".part"), seen)
        self.assertNotIn("long.WAV", self.files(self.out))

    def test_a_write_fault_is_reported_and_the_batch_goes_on(self):
        # A file size limit makes the writes fail as a full disk would, on any machine.
        r = self.render("a/x.mid", "-o", os.path.join(self.out, "x.WAV"),
                        prefix=["bash", "-c", "trap '' XFSZ; ulimit -f 600; exec \"$@\"", "-"])
        self.assertEqual(r.returncode, 1)
        self.assertIn(os.path.join(self.out, "x.WAV") + ": File too large", r.stderr)
        self.assertEqual(self.files(self.out), [])

    def test_a_full_disk_is_reported_and_the_other_songs_are_written(self):
        os.makedirs(self.out)
        size = RENDERED + RENDERED // 2
        if subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", self.out],
                          stderr=subprocess.DEVNULL, check=False).returncode != 0:
            self.skipTest("no small file system can be mounted here")
        r = self.render("a/x.mid", "b/x.mid", "-o", "out", "--keep-dirs", "--jobs", "1")
        self.assertEqual(r.returncode, 1)
        self.assertIn("No space left on device", r.stderr)
        self.assertTrue(r.stderr.endswith("1 of 2 songs written; 1 failed\n"), r.stderr)
        self.assertEqual(len([f for f in self.files(self.out) if f.endswith(".WAV")]), 1)
        self.assertEqual([f for f in self.files(self.out) if "part" in f], [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
