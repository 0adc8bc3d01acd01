#!/usr/bin/env python3
"""Differential test of `zorbel-cli render` against render_model.py.

For each seed: generate samples, patches and a song (random_patches.py),
render it with the C++ engine and with the model, compare the files byte for
byte.  On a difference: print the seed, the first differing byte offset, the
frame index and channel, both values, and keep the case directory.  Exit 1
on any difference.

    compare.py --cli PATH [--seeds N] [--start S] [--jobs J] [--keep DIR]
               [--all] [--max-seconds T]
"""

from __future__ import annotations

import argparse
import collections
import json
import multiprocessing
import os
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import random_patches  # noqa: E402
import render_model  # noqa: E402


def cli_render_cmd(cli, opts, out):
    cmd = [cli, "render", opts["song"], "-o", out, "--prg", opts["prg"], "--wav", opts["wav"],
           "--jobs", "1"]
    if opts.get("drums") is not None:
        cmd += ["--drums", opts["drums"]]
    if opts.get("legacy"):
        cmd.append("--legacy")
    if not opts.get("saturate", True):
        cmd.append("--no-saturate")
    cmd += ["--volume", str(opts.get("volume", 10)), "--balance", str(opts.get("balance", 50))]
    return cmd


def describe_difference(a: bytes, b: bytes) -> str:
    n = min(len(a), len(b))
    off = next((i for i in range(n) if a[i] != b[i]), None)
    lines = ["sizes: engine %d, model %d" % (len(a), len(b))]
    if off is None:
        lines.append("common prefix identical; first extra byte at %d" % n)
        return "\n".join(lines)
    lines.append("first difference at byte offset %d" % off)
    if off < 44:
        lines.append("in the header: engine %r, model %r" % (a[:44], b[:44]))
        return "\n".join(lines)
    frame = (off - 44) // 4
    fpos = 44 + frame * 4
    ea = struct.unpack("<hh", a[fpos:fpos + 4]) if fpos + 4 <= len(a) else None
    mb = struct.unpack("<hh", b[fpos:fpos + 4]) if fpos + 4 <= len(b) else None
    ch = "left" if (off - 44) % 4 < 2 else "right"
    lines.append("frame %d (%.4f s, buffer %d, frame %d in buffer), %s channel"
                 % (frame, frame / 22050.0, frame // 88200, frame % 88200, ch))
    lines.append("engine (L, R) = %s, model (L, R) = %s" % (ea, mb))
    # how many frames differ in all
    cnt = 0
    last = None
    for f in range(frame, min(len(a), len(b)) // 4 * 4 // 4 - 11):
        p = 44 + f * 4
        if a[p:p + 4] != b[p:p + 4]:
            cnt += 1
            last = f
    lines.append("differing frames: %d (last %s)" % (cnt, last))
    return "\n".join(lines)


def model_render(cli, opts):
    dump = render_model.run_dump(cli, opts["song"], opts["prg"], opts.get("drums"),
                                 opts.get("legacy", False))
    return render_model.render_song(dump, opts["song"], opts["prg"], opts["wav"],
                                     opts.get("saturate", True), opts.get("volume", 10),
                                     opts.get("balance", 50))


def run_seed(args):
    seed, cli, work, max_seconds = args
    case = os.path.join(work, "seed%d" % seed)
    if os.path.exists(case):
        shutil.rmtree(case)
    opts = random_patches.generate(seed, case)
    eng_out = os.path.join(case, "engine.wav")
    mod_out = os.path.join(case, "model.wav")
    cmd = cli_render_cmd(cli, opts, eng_out)
    t0 = time.time()
    p = subprocess.run(cmd, capture_output=True, text=True)
    eng_ok = p.returncode == 0 and os.path.exists(eng_out)
    eng_msg = (p.stderr.strip() or p.stdout.strip())
    t1 = time.time()
    model_err = None
    render_model.COVER.clear()
    try:
        out = model_render(cli, opts)
        with open(mod_out, "wb") as fh:
            fh.write(out)
    except render_model.ModelError as e:
        model_err = str(e)
    t2 = time.time()
    res = {"seed": seed, "case": case, "cmd": shlex.join(cmd),
           "opts": opts, "t_engine": t1 - t0, "t_model": t2 - t1, "ok": True, "text": "",
           "cover": dict(render_model.COVER)}
    if model_err is not None or not eng_ok:
        if model_err is not None and not eng_ok:
            res["text"] = "both failed: engine %r / model %r" % (eng_msg, model_err)
            # the messages must be the same
            if model_err != eng_msg:
                res["ok"] = False
                res["text"] = "both failed, different messages:\n engine: %s\n model:  %s" % (
                    eng_msg, model_err)
        else:
            res["ok"] = False
            res["text"] = "engine %s, model %s" % (
                "ok" if eng_ok else "failed: " + eng_msg,
                "ok" if model_err is None else "failed: " + model_err)
        return res
    with open(eng_out, "rb") as fh:
        a = fh.read()
    with open(mod_out, "rb") as fh:
        b = fh.read()
    res["bytes"] = len(a)
    if a != b:
        res["ok"] = False
        res["text"] = describe_difference(a, b)
    return res


def main(argv=None) -> int:
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--seeds", type=int, default=50)
    ap.add_argument("--start", type=int, default=0)
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    ap.add_argument("--keep", help="directory for the cases (default: a temporary one)")
    ap.add_argument("--all", action="store_true", help="go on after a differing seed")
    ap.add_argument("--max-seconds", type=float, default=0)
    ap.add_argument("--coverage", action="store_true",
                    help="print how many seeds exercised each modelled case")
    a = ap.parse_args(argv)
    work = a.keep or tempfile.mkdtemp(prefix="render-model-")
    os.makedirs(work, exist_ok=True)
    cli = os.path.abspath(a.cli)
    seeds = list(range(a.start, a.start + a.seeds))
    failures = []
    n_done = n_failed_both = 0
    total_bytes = 0
    cover_seeds = collections.Counter()
    cover_total = collections.Counter()
    slowest = []
    with multiprocessing.Pool(a.jobs) as pool:
        for res in pool.imap_unordered(run_seed, [(s, cli, work, a.max_seconds) for s in seeds]):
            n_done += 1
            for k, v in res.get("cover", {}).items():
                if v:
                    cover_seeds[k] += 1
                    cover_total[k] += v
            slowest.append((res["t_model"], res["seed"]))
            if res["ok"]:
                if res["text"]:
                    n_failed_both += 1
                total_bytes += res.get("bytes", 0)
                shutil.rmtree(res["case"], ignore_errors=True)
            else:
                failures.append(res)
                print("=" * 70)
                print("seed %d: DIFFERENCE" % res["seed"])
                print("  engine command: %s" % res["cmd"])
                print("  case kept in %s" % res["case"])
                print("  " + res["text"].replace("\n", "\n  "))
                sys.stdout.flush()
                if not a.all:
                    pool.terminate()
                    break
            if n_done % 10 == 0:
                print("... %d seeds done, %d differing" % (n_done, len(failures)))
                sys.stdout.flush()
    print("%d seeds run, %d differing, %d failing on both sides, %.1f s of audio compared"
          % (n_done, len(failures), n_failed_both, (total_bytes / 4 / 22050.0)))
    if a.coverage:
        print("coverage (seeds exercising it / total count):")
        for k in sorted(cover_seeds):
            print("  %-60s %5d %9d" % (k, cover_seeds[k], cover_total[k]))
        slowest.sort(reverse=True)
        print("slowest model runs: " + ", ".join("seed %d %.1f s" % (s, t) for t, s in slowest[:5]))
    if not failures and not a.keep:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
