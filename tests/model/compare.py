#!/usr/bin/env python3
"""Differential test: the C++ program against the independent models on generated cases.

    compare.py --cli build/bin/zorbel-cli [--render] [--seeds 200] [--start 0] [--keep DIR]

The compiler (default): for every seed random_song.generate writes a MIDI file and a PRG
directory; `zorbel-cli dump` and song_model.py compile it in standard and in legacy mode and
their JSON is compared: integers, booleans and strings exactly, reals within 1e-12 relative.
The first difference is printed with its JSON path and both values.

The renderer (--render): random_song.generate_render writes samples, patches and a song;
`zorbel-cli render` and render_model.py (from the C++ dump) must write the same bytes, or both
refuse the case with the same message.  Exit status 1 when any seed differs.
"""

from __future__ import annotations

import argparse
import json
import math
import multiprocessing
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time
from collections import Counter

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import random_song  # noqa: E402
import render_model  # noqa: E402
import song_model  # noqa: E402

REL_TOL = 1e-12
ABS_TOL = 1e-300

REAL_FIELDS = {
    "attackFactor", "decayFactor", "sustainSlope", "releaseSlope",
    "attackRate", "decayRate", "sustainRate", "releaseRate",
    "slopeLeft", "slopeRight", "stepFrames", "levelLeft", "levelRight",
    "factorLeft", "factorRight",
}


def reals_equal(a: float, b: float) -> bool:
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    if math.isinf(a) or math.isinf(b):
        return a == b
    diff = abs(a - b)
    return diff <= ABS_TOL or diff <= REL_TOL * max(abs(a), abs(b))


def is_number(v) -> bool:
    return isinstance(v, (int, float)) and not isinstance(v, bool)


def first_difference(model, cpp, path="$", real=False):
    """Returns (path, model value, C++ value) of the first difference, or None. Reals (the
    named fields and an event record's factors) are equal within the tolerance; everything
    else must have the same type and value."""
    if real:
        same = is_number(model) and is_number(cpp) and reals_equal(float(model), float(cpp))
        return None if same else (path, model, cpp)
    if isinstance(model, dict) and isinstance(cpp, dict):
        for k in model:
            if k not in cpp:
                return path + "." + k, model[k], "<missing>"
            d = first_difference(model[k], cpp[k], path + "." + k, k in REAL_FIELDS)
            if d:
                return d
        extra = next((k for k in cpp if k not in model), None)
        return None if extra is None else (path + "." + extra, "<missing>", cpp[extra])
    if isinstance(model, list) and isinstance(cpp, list):
        event = re.search(r"\.events\[\d+\]$", path) is not None  # kind, time, value, factors
        for i, (m, c) in enumerate(zip(model, cpp)):
            d = first_difference(m, c, "%s[%d]" % (path, i), event and i >= 3)
            if d:
                return d
        return None if len(model) == len(cpp) else (path + ".length", len(model), len(cpp))
    return None if (type(model) is type(cpp) and model == cpp) else (path, model, cpp)


def run_cli(cli, opts, legacy):
    cmd = [cli, "dump", opts["midi"], "--prg", opts["prg"], "--drums", opts["drums"]]
    if not opts["default_to_0"]:
        cmd.append("--no-default-to-0")
    if legacy:
        cmd.append("--legacy")
    proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    try:
        out = json.loads(proc.stdout.decode("utf-8"))
    except ValueError:
        return cmd, proc, None
    return cmd, proc, out


def check_dump(cli, seed, case):
    """The outcome of a seed ("ok" or "error N") and None or the text of a difference."""
    opts = random_song.generate(seed, case)
    outcome = None
    for legacy in (False, True):
        model = song_model.compile_song(opts["midi"], opts["prg"], opts["drums"],
                                        opts["default_to_0"], legacy)
        if outcome is None:
            outcome = ("error %d" % model["error"]["code"]) if "error" in model else "ok"
        cmd, proc, cpp = run_cli(cli, opts, legacy)
        head = "%s mode, broken=%r\n  command: %s\n" % (
            "legacy" if legacy else "standard", opts["broken"], shlex.join(cmd))
        if cpp is None:
            return outcome, head + "  C++ printed no JSON (exit %d): %s%s" % (
                proc.returncode, proc.stdout.decode("utf-8", "replace")[:500],
                proc.stderr.decode("utf-8", "replace")[:500])
        d = first_difference(model, cpp)
        if d:
            return outcome, head + "  path: %s\n  model: %s\n  C++:   %s" % (
                d[0], json.dumps(d[1])[:800], json.dumps(d[2])[:800])
        want_exit = 1 if "error" in model else 0
        if proc.returncode != want_exit:
            return outcome, head + "  exit status %d, expected %d" % (proc.returncode, want_exit)
    return outcome, None


def first_frame_difference(a: bytes, b: bytes) -> str:
    off = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), None)
    text = "sizes: engine %d, model %d" % (len(a), len(b))
    if off is None or off < 44:
        return text + ("; the header differs" if off is not None else "")
    frame = (off - 44) // 4
    pos = 44 + frame * 4
    return text + "; first difference in frame %d (%.4f s, buffer %d), engine %r, model %r" % (
        frame, frame / 22050.0, frame // 88200, a[pos:pos + 4], b[pos:pos + 4])


def check_render(cli, seed, case):
    """Renders a seed's case with the engine and with the model; both must write the same bytes
    or refuse the case with the same message."""
    opts = random_song.generate_render(seed, case)
    out = os.path.join(case, "engine.wav")
    cmd = [cli, "render", opts["song"], "-o", out, "--prg", opts["prg"], "--wav", opts["wav"],
           "--jobs", "1", "--volume", str(opts["volume"]), "--balance", str(opts["balance"])]
    cmd += (["--drums", opts["drums"]] if opts["drums"] is not None else []) + \
        (["--legacy"] if opts["legacy"] else []) + ([] if opts["saturate"] else ["--no-saturate"])
    proc = subprocess.run(cmd, capture_output=True, text=True)
    engine = None
    if proc.returncode == 0 and os.path.exists(out):
        with open(out, "rb") as fh:
            engine = fh.read()
    try:
        dump = render_model.run_dump(cli, opts["song"], opts["prg"], opts["drums"],
                                     opts["legacy"])
        model = render_model.render_song(dump, opts["song"], opts["prg"], opts["wav"],
                                         opts["saturate"], opts["volume"], opts["balance"])
    except render_model.ModelError as e:
        model = str(e)
    head = "command: %s\n  " % shlex.join(cmd)
    message = proc.stderr.strip() or proc.stdout.strip()
    if engine is None or isinstance(model, str):
        if engine is None and model == message:
            return "refused", None
        return "differs", head + "engine %s, model %s" % (
            "failed: " + message if engine is None else "ok",
            "failed: " + model if isinstance(model, str) else "ok")
    if engine != model:
        return "differs", head + first_frame_difference(engine, model)
    return "ok", None


def run_seed(args):
    render, cli, seed, keep = args
    case = tempfile.mkdtemp(prefix="zb-model-%d-" % seed)
    outcome, problem = (check_render if render else check_dump)(cli, seed, case)
    if problem and keep:
        dest = os.path.join(keep, str(seed))
        shutil.rmtree(dest, ignore_errors=True)
        shutil.copytree(case, dest)
        problem += "\n  case kept in " + dest
    shutil.rmtree(case, ignore_errors=True)
    return seed, outcome, problem


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--cli", required=True, help="path of zorbel-cli")
    ap.add_argument("--render", action="store_true", help="the renderer, not the compiler")
    ap.add_argument("--seeds", type=int, default=200)
    ap.add_argument("--start", type=int, default=0)
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    ap.add_argument("--keep", help="copy the inputs of each differing seed into this directory")
    ap.add_argument("--all", action="store_true", help="report every differing seed "
                    "(default: stop at the first)")
    a = ap.parse_args()
    if not os.access(a.cli, os.X_OK):
        ap.error("not an executable: " + a.cli)
    cli = os.path.abspath(a.cli)
    t0 = time.time()
    outcomes = Counter()
    failures = []
    seeds = range(a.start, a.start + a.seeds)
    with multiprocessing.Pool(max(1, a.jobs)) as pool:
        for seed, outcome, problem in pool.imap(run_seed, [(a.render, cli, s, a.keep)
                                                           for s in seeds]):
            outcomes[outcome] += 1
            if problem:
                failures.append(seed)
                print("DIFFERENCE seed %d: %s" % (seed, problem), flush=True)
                if not a.all:
                    pool.terminate()
                    break
    summary = ", ".join("%s: %d" % kv for kv in sorted(outcomes.items()))
    print("%d seeds from %d in %.1f s (%s)" % (sum(outcomes.values()), a.start,
                                               time.time() - t0, summary))
    print("%d passed, %d failed" % (sum(outcomes.values()) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
