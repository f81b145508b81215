#!/usr/bin/env python3
"""Benchmark of quelto against exeQuelto: prints measured figures and the two targets.

    cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release && cmake --build build-bench -j2
    python3 bench/bench_quelto.py --build build-bench            # --quick: 100 candidates, 100 000 vehicles

Cases:
  many     one day of 1500 vehicles (20 ratio constraints, q at most 10) and 1000 candidate
           solution files (random orders of its vehicles): one `quelto evaluate --instance DIR
           FILE...` against 1000 runs of exeQuelto, each on one of the files (copied to where
           the settings name the solution file; the copies are not timed).
           Target: quelto at least 50 times faster.
  windows  one day of 1 000 000 vehicles (the benchmark day of bench/bench.py: 20 constraints,
           q at most 50, a random candidate): `quelto evaluate --ini exeQuelto.ini --windows
           --format json --out FILE` against one run of exeQuelto on the same files.
           Target: quelto within 3 times exeQuelto.

Before each timed quelto run of the large day its previous output file is removed and the disk
synced (untimed).  After one untimed run of each, the two sides are timed in turn, --runs times
(default 5; the 1000 exeQuelto runs are one timing): each figure is the median of its side's
timings, and the ratio is the median of the ratios of the pairs, so that both sides of a pair meet
the machine in the same state.  Machines here are shared: run it twice and look at the spread.
Standard library only.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def generate(gen, out, vehicles, max_q, frozen):
    subprocess.run([gen, "--seed", "2026", "--vehicles", str(vehicles), "--frozen", str(frozen), "--high", "10",
                    "--low", "10", "--max-q", str(max_q), "--colours", "20", "--batch-limit", "10",
                    "--objectives", "high,low,paint", "--solution", "random", "--instance", "day",
                    "--candidate", "random", "--out", out], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["sync"])


def candidates(day, folder, count):
    """count random orders of the day's vehicles, as solution files of folder."""
    ids = [line.split(";")[1].strip() for line in open(os.path.join(day, "results", "day"))]
    os.makedirs(folder)
    rng = random.Random(1)
    files = []
    for k in range(count):
        rng.shuffle(ids)
        path = os.path.join(folder, "c%04d" % k)
        with open(path, "w") as f:
            f.write("".join("%d;%s\n" % (i + 1, x) for i, x in enumerate(ids)))
        files.append(path)
    return files


def timed(argv, cwd, stdout=subprocess.DEVNULL):
    t = time.perf_counter()
    subprocess.run(argv, cwd=cwd, stdout=stdout, stderr=subprocess.DEVNULL, check=False)
    return time.perf_counter() - t


def paired(runs, first, second):
    """Medians of first's and second's timings, taken in turn, and the median of second / first."""
    first()
    second()
    pairs = [(first(), second()) for _ in range(runs)]
    return (statistics.median(a for a, _ in pairs), statistics.median(b for _, b in pairs),
            statistics.median(b / a for a, b in pairs))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build-bench")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--quick", action="store_true", help="100 candidates and a day of 100 000 vehicles")
    args = ap.parse_args()
    build = os.path.join(ROOT, args.build) if not os.path.isabs(args.build) else args.build
    exe, quelto, gen = (os.path.join(build, n) for n in ("exeQuelto", "quelto", "quelto-gen"))
    for p in (exe, quelto, gen):
        if not os.access(p, os.X_OK):
            sys.exit("no %s: build first (see the head of this script)" % p)
    count, big = (100, 100000) if args.quick else (1000, 1000000)
    work = tempfile.mkdtemp(prefix="quelto-bench-")
    try:
        day = os.path.join(work, "many")
        generate(gen, day, 1500, 10, 20)
        files = candidates(day, os.path.join(day, "candidates"), count)
        solution = os.path.join(day, "results", "day")

        def exe_runs():
            total = 0.0
            for f in files:
                shutil.copyfile(f, solution)
                total += timed([exe], day)
            return total

        def quelto_run():
            return timed([quelto, "evaluate", "--instance", os.path.join(day, "instances", "day")] + files +
                         ["--format", "csv", "--out", os.path.join(work, "many.csv")], day)

        t_exe, t_quelto, ratio = paired(args.runs, exe_runs, quelto_run)
        speedup = 1 / ratio
        print("many: %d candidates of 1500 vehicles: %d exeQuelto runs %.3f s, one quelto run %.3f s: x%.1f (target >= 50: %s)"
              % (count, count, t_exe, t_quelto, speedup, "PASS" if speedup >= 50 else "FAIL"))

        day = os.path.join(work, "windows")
        generate(gen, day, big, 50, 50)
        out = os.path.join(work, "windows.json")
        def windows_run():
            # The previous file goes first, untimed: renaming over a file of hundreds of megabytes
            # makes the kernel drop its pages within the rename, which is the file system's cost.
            if os.path.exists(out):
                os.remove(out)
                subprocess.run(["sync"])
            return timed([quelto, "evaluate", "--ini", "exeQuelto.ini", "--windows", "--format", "json", "--out", out], day)

        t_exe, t_quelto, ratio = paired(args.runs, lambda: timed([exe], day), windows_run)
        size = os.path.getsize(out)
        verdict = ("PASS" if ratio <= 3 else "FAIL") if not args.quick else "the target holds for 1 000 000 vehicles"
        print("windows: %d vehicles: exeQuelto %.3f s, quelto --windows --format json %.3f s (%.0f MB): x%.2f (target <= 3: %s)"
              % (big, t_exe, t_quelto, size / 1e6, ratio, verdict))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
