#!/usr/bin/env python3
"""Differential test: the C++ compiler (`zorbel-cli dump`) against the
reference model (song_model.py) on random songs and patch sets.

    compare.py --cli build/bin/zorbel-cli --seeds 200 [--start 0]

For every seed the generator writes a MIDI file and a PRG directory into a
temporary folder; both sides compile it in standard and in legacy mode and
their JSON is compared: integers, booleans and strings exactly, reals within
1e-12 relative.  The first difference of a seed is printed with its JSON
path and both values.  Exit status 1 when any seed differs.
"""

from __future__ import annotations

import argparse
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time
from collections import Counter
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import random_song  # noqa: E402
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


def is_int(v) -> bool:
    return isinstance(v, int) and not isinstance(v, bool)


def is_number(v) -> bool:
    return (isinstance(v, (int, float))) and not isinstance(v, bool)


def first_difference(model, cpp, path="$", real=False):
    """Returns (path, model value, C++ value) of the first difference, or None."""
    if real:
        if not (is_number(model) and is_number(cpp)):
            return path, model, cpp
        return None if reals_equal(float(model), float(cpp)) else (path, model, cpp)
    if isinstance(model, dict):
        if not isinstance(cpp, dict):
            return path, model, cpp
        for k in model:
            if k not in cpp:
                return path + "." + k, model[k], "<missing>"
            d = first_difference(model[k], cpp[k], path + "." + k, k in REAL_FIELDS)
            if d:
                return d
        for k in cpp:
            if k not in model:
                return path + "." + k, "<missing>", cpp[k]
        return None
    if isinstance(model, list):
        if not isinstance(cpp, list):
            return path, model, cpp
        events = path.endswith(".events")
        for i, (m, c) in enumerate(zip(model, cpp)):
            if events:
                d = first_difference_event(m, c, "%s[%d]" % (path, i))
            else:
                d = first_difference(m, c, "%s[%d]" % (path, i))
            if d:
                return d
        if len(model) != len(cpp):
            return path + ".length", len(model), len(cpp)
        return None
    if isinstance(model, bool) or isinstance(cpp, bool):
        return None if (type(model) is type(cpp) and model == cpp) else (path, model, cpp)
    if is_int(model):
        return None if (is_int(cpp) and model == cpp) else (path, model, cpp)
    return None if (type(model) is type(cpp) and model == cpp) else (path, model, cpp)


def first_difference_event(m, c, path):
    if not isinstance(c, list) or len(c) != len(m):
        return path, m, c
    for j, (a, b) in enumerate(zip(m, c)):
        d = first_difference(a, b, "%s[%d]" % (path, j), real=j >= 3)
        if d:
            return d
    return None


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


def check_seed(cli, seed, keep_dir=None):
    """Returns (seed, outcome, problem) where problem is None or a text."""
    tmp = tempfile.mkdtemp(prefix="zb-model-%d-" % seed)
    try:
        opts = random_song.generate(seed, tmp)
        outcome = None
        for legacy in (False, True):
            mode = "legacy" if legacy else "standard"
            model = song_model.compile_song(opts["midi"], opts["prg"], opts["drums"],
                                            opts["default_to_0"], legacy)
            if outcome is None:
                outcome = ("error %d" % model["error"]["code"]) if "error" in model else "ok"
            if cli is None:
                continue
            cmd, proc, cpp = run_cli(cli, opts, legacy)
            head = "seed %d (%s mode, broken=%r, drums=%r, defaultTo0=%s)\n  command: %s\n" % (
                seed, mode, opts["broken"], opts["drums"], opts["default_to_0"], " ".join(cmd))
            if cpp is None:
                return seed, outcome, head + "  C++ printed no JSON (exit %d): %s%s" % (
                    proc.returncode, proc.stdout.decode("utf-8", "replace")[:500],
                    proc.stderr.decode("utf-8", "replace")[:500])
            want_exit = 1 if "error" in model else 0
            d = first_difference(model, cpp)
            if d:
                path, mv, cv = d
                return seed, outcome, head + "  path: %s\n  model: %s\n  C++:   %s" % (
                    path, json.dumps(mv)[:800], json.dumps(cv)[:800])
            if proc.returncode != want_exit:
                return seed, outcome, head + "  exit status %d, expected %d" % (
                    proc.returncode, want_exit)
        return seed, outcome, None
    finally:
        if keep_dir:
            dest = os.path.join(keep_dir, str(seed))
            shutil.rmtree(dest, ignore_errors=True)
            shutil.copytree(tmp, dest)
        shutil.rmtree(tmp, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--cli", help="path of zorbel-cli (without it only the model runs)")
    ap.add_argument("--seeds", type=int, default=200)
    ap.add_argument("--start", type=int, default=0)
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    ap.add_argument("--keep", help="copy each seed's inputs into this directory")
    ap.add_argument("--all", action="store_true", help="report every differing seed "
                    "(default: stop at the first)")
    a = ap.parse_args()
    if a.cli and not os.access(a.cli, os.X_OK):
        ap.error("not an executable: " + a.cli)

    t0 = time.time()
    outcomes = Counter()
    failures = []
    seeds = range(a.start, a.start + a.seeds)
    with ThreadPoolExecutor(max_workers=max(1, a.jobs)) as pool:
        for seed, outcome, problem in pool.map(lambda s: check_seed(a.cli, s, a.keep), seeds):
            outcomes[outcome] += 1
            if problem:
                failures.append(seed)
                print("DIFFERENCE " + problem, flush=True)
                if not a.all:
                    break
    dt = time.time() - t0
    summary = ", ".join("%s: %d" % kv for kv in sorted(outcomes.items()))
    print("%d seeds from %d in %.1f s (%s)" % (sum(outcomes.values()), a.start, dt, summary))
    if a.cli is None:
        print("model only: no C++ side given")
    print("%d passed, %d failed" % (sum(outcomes.values()) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
