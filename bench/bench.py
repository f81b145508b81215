#!/usr/bin/env python3
"""Benchmark of exeQuelto: generates days of vehicles with quelto-gen, runs the
program on each, and prints wall time, peak memory and the three target ratios.

    cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release
    cmake --build build-bench --target exeQuelto quelto-gen
    python3 bench/bench.py --build build-bench          # full: 10k, 100k, 1M
    python3 bench/bench.py --build build-bench --quick  # sizes / 10, shorter timeout

Cases (20 ratio constraints, 10 high and 10 low priority, 20 colours, a random
candidate; sizes divided by 10 with --quick):
  q50      days of 10 000, 100 000 and 1 000 000 vehicles, q up to 50;
  q1000    100 000 and 1 000 000 vehicles, q up to 1000;
  adverse  100 000 and 1 000 000 vehicles, q up to 50, whose candidate ranks,
           read in identifier order (the order in which the program sorts them
           by candidate rank), form the pattern below.

The adversarial pattern.  The program's sort is a quicksort that takes the
median of three (the ninther above 40 entries) as pivot and falls back to an
insertion sort of the whole range when a partition pass swaps nothing.  Put
the median value at the middle position, the smaller values before it and the
greater ones after it, each half in decreasing order: every sample the
ninther takes from the first half is smaller than the middle one and every
sample from the second half greater, so the pivot is the middle value; moved
to the front, it leaves the array already partitioned, the pass swaps
nothing, and the insertion sort of n entries with both halves reversed costs
about n * n / 4 comparisons, at every size.  adverse_ranks() writes it;
check_adverse() verifies it on an instrumented copy of the sort before the
runs (comparisons at two sizes, ten times apart: about 100 times more for the
pattern, about 12 times more for random ranks).

Measures.  After the generated files are flushed to disk and one untimed
run, wall time is the median of --runs runs (default 5); peak memory is
the resident set high-water mark of the run (os.wait4), the greatest of the
runs, measured by /usr/bin/time where it exists and otherwise by the
kernel's figure for the child (os.wait4), which is at least the memory of
the process that started it: the benchmark keeps its own small (the sort
check runs in a child) and prints that floor, measured on `true`.  Each run gets --timeout seconds and may hold --mem-limit GiB resident
(polled every 0.1 s); past either it is killed and the case fails, so a slow
or swelling program cannot take the machine.  The reading baseline is the median
of 7 runs of `wc -l` over the same five input files (four instance files and
the solution file) of the largest q50 day.

Targets, printed PASS or FAIL:
  scaling  time(largest) / time(ten times smaller) <= 12 for q50, q1000, adverse;
  reading  time(largest q50) / time(wc -l of its files) <= 20;
  memory   peak RSS / vehicles of the largest q50 day <= 200 bytes.
Standard library only.
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCALING_MAX = 12.0
READING_MAX = 20.0
BYTES_PER_VEHICLE_MAX = 200.0


# ---- The adversarial pattern and the instrumented sort ------------------

def adverse_rank(j, n):
    """The rank at position j (0-based, identifier order) of the pattern of n
    ranks 1..n that sends the sort into its insertion sort of the whole
    range: the smaller half reversed, the median, the greater half reversed."""
    m = n // 2
    return m - j if j < m else (m + 1 if j == m else n - (j - m - 1))


def adverse_ranks(n):
    return [adverse_rank(j, n) for j in range(n)]


class Counted:
    """A copy of the program's index sort on a list of integer keys that
    counts its comparisons.  Insertion sorts of more than 64 entries are
    counted, not run: the comparisons of an insertion sort are, for each
    entry, the greater entries before it plus one when some entry before it is
    not greater; the result is the stably sorted range.  literal=True runs
    them step by step instead (to check the counting on small arrays)."""

    def __init__(self, literal=False):
        self.comparisons = 0
        self.literal = literal

    def cmp(self, a, b):
        self.comparisons += 1
        return (a > b) - (a < b)

    def insertion(self, e, lo, n):
        if self.literal or n <= 64:
            for m in range(lo + 1, lo + n):
                l = m
                while l > lo and self.cmp(e[l - 1], e[l]) > 0:
                    e[l], e[l - 1] = e[l - 1], e[l]
                    l -= 1
            return
        part = e[lo:lo + n]
        values = sorted(set(part))
        place = {v: i + 1 for i, v in enumerate(values)}
        tree = [0] * (len(values) + 1)
        for m, x in enumerate(part):
            i, not_greater = place[x], 0
            while i > 0:                      # entries before m that are <= x
                not_greater += tree[i]
                i -= i & -i
            greater = m - not_greater
            self.comparisons += greater + (1 if not_greater > 0 else 0)
            i = place[x]
            while i <= len(values):
                tree[i] += 1
                i += i & -i
        e[lo:lo + n] = sorted(part)

    def med3(self, e, a, b, c):
        if self.cmp(e[a], e[b]) < 0:
            return b if self.cmp(e[b], e[c]) < 0 else (c if self.cmp(e[a], e[c]) < 0 else a)
        return b if self.cmp(e[b], e[c]) > 0 else (a if self.cmp(e[a], e[c]) < 0 else c)

    def sort(self, e, lo=0, n=None):
        n = len(e) - lo if n is None else n
        while True:
            if n < 7:
                self.insertion(e, lo, n)
                return
            m = lo + n // 2
            if n > 7:
                a, b = lo, lo + n - 1
                if n > 40:
                    d = n // 8
                    a = self.med3(e, a, a + d, a + 2 * d)
                    m = self.med3(e, m - d, m, m + d)
                    b = self.med3(e, b - 2 * d, b - d, b)
                m = self.med3(e, a, m, b)
            e[lo], e[m] = e[m], e[lo]
            swapped = False
            pa = pb = lo + 1
            pc = pd = lo + n - 1
            while True:
                while pb <= pc:
                    r = self.cmp(e[pb], e[lo])
                    if r > 0:
                        break
                    if r == 0:
                        swapped = True
                        e[pa], e[pb] = e[pb], e[pa]
                        pa += 1
                    pb += 1
                while pb <= pc:
                    r = self.cmp(e[pc], e[lo])
                    if r < 0:
                        break
                    if r == 0:
                        swapped = True
                        e[pc], e[pd] = e[pd], e[pc]
                        pd -= 1
                    pc -= 1
                if pb > pc:
                    break
                e[pb], e[pc] = e[pc], e[pb]
                swapped = True
                pb += 1
                pc -= 1
            if not swapped:
                self.insertion(e, lo, n)
                return
            end = lo + n
            r = min(pa - lo, pb - pa)
            e[lo:lo + r], e[pb - r:pb] = e[pb - r:pb], e[lo:lo + r]
            r = min(pd - pc, end - 1 - pd)
            e[pb:pb + r], e[end - r:end] = e[end - r:end], e[pb:pb + r]
            if pb - pa > 1:
                self.sort(e, lo, pb - pa)
            if pd - pc <= 1:
                return
            lo, n = end - (pd - pc), pd - pc


def comparisons(keys, literal=False):
    c = Counted(literal)
    e = list(keys)
    c.sort(e)
    if e != sorted(keys):
        raise AssertionError("instrumented sort did not sort")
    return c.comparisons


def random_ranks(n, seed):
    import random
    r = list(range(1, n + 1))
    random.Random(seed).shuffle(r)
    return r


def check_adverse(small, out):
    """Check the counting against the literal insertion sort, then count the
    comparisons of the pattern and of random ranks at small and 10 * small."""
    for keys in (adverse_ranks(1500), random_ranks(1500, 3), [5, 3] * 700 + [4] * 100):
        if comparisons(keys) != comparisons(keys, literal=True):
            raise AssertionError("counted insertion sort differs from the literal one")
    rows = []
    for name, make in (("adverse", adverse_ranks), ("random", lambda n: random_ranks(n, 7))):
        a, b = comparisons(make(small)), comparisons(make(10 * small))
        rows.append((name, a, b, b / a))
    out("instrumented copy of the sort, comparisons at %d and %d entries:" % (small, 10 * small))
    for name, a, b, g in rows:
        out("  %-8s %14d %16d   growth x%.1f" % (name, a, b, g))
    quadratic = rows[0][3] > 80 and rows[1][3] < 20
    out("  pattern %s (x100 is quadratic, x11.5 is n log n)\n" % ("is quadratic" if quadratic else "NOT QUADRATIC"))
    return quadratic


# ---- Running and measuring ----------------------------------------------

class Run:
    def __init__(self, wall, rss_bytes, status, killed):
        self.wall, self.rss, self.status, self.killed = wall, rss_bytes, status, killed


GNU_TIME = "/usr/bin/time" if os.access("/usr/bin/time", os.X_OK) else None


def resident_bytes(pid):
    """Current resident set of a process and of its children (0 when it
    cannot be read)."""
    total = 0
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    total += int(line.split()[1]) * 1024
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            for child in f.read().split():
                total += resident_bytes(int(child))
    except (OSError, ValueError, IndexError):
        pass
    return total


def run_measured(argv, cwd, timeout, rss_limit, stdout, gnu_time=True):
    """Run argv in cwd, in a process group of its own; wall time, peak RSS,
    exit status, and why it was killed: at the timeout, or when its resident
    set passed rss_limit bytes (polled every 0.1 s; 0: no limit).  The peak is
    GNU time's figure where /usr/bin/time exists (the program started from
    that small process), else the kernel's for the child (os.wait4), which
    includes the memory of this benchmark at the start.  gnu_time=False runs
argv directly (a time without the wrapper's start-up)."""
    report = None
    if GNU_TIME and gnu_time:
        fd, report = tempfile.mkstemp(prefix="quelto-bench-time-")
        os.close(fd)
        argv = [GNU_TIME, "-f", "%M", "-o", report] + argv
    start = time.perf_counter()
    p = subprocess.Popen(argv, cwd=cwd, stdout=stdout, stderr=subprocess.STDOUT, start_new_session=True)
    killed = []
    done = threading.Event()

    def kill_group():
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass

    def watch():
        while not done.wait(0.1):
            why = None
            if time.perf_counter() - start > timeout:
                why = "timeout"
            elif rss_limit and resident_bytes(p.pid) > rss_limit:
                why = "memory"
            if why:
                killed.append(why)
                kill_group()
                return
    watcher = threading.Thread(target=watch, daemon=True)
    watcher.start()
    try:
        _, status, usage = os.wait4(p.pid, 0)
    except BaseException:
        kill_group()
        raise
    wall = time.perf_counter() - start
    done.set()
    watcher.join()
    p.returncode = os.waitstatus_to_exitcode(status)
    rss = usage.ru_maxrss * 1024
    if report:
        try:
            with open(report) as f:
                rss = int(f.read().split()[-1]) * 1024
        except (OSError, ValueError, IndexError):
            pass
        os.unlink(report)
    return Run(wall, rss, p.returncode, killed[0] if killed else None)


def generate(gen, case, directory):
    """Write the case's working directory; the adversarial ranks replace the
    candidate's solution file."""
    argv = [gen, "--seed", "2026", "--vehicles", str(case["n"]), "--frozen", str(case["q"]),
            "--high", "10", "--low", "10", "--max-q", str(case["q"]), "--colours", "20",
            "--batch-limit", "10", "--objectives", "high,low,paint", "--solution", "random",
            "--instance", "bench", "--candidate", case["kind"], "--out", directory]
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)
    if case["kind"] == "adverse":
        n = case["n"]
        width = max(4, len(str(n)))  # quelto-gen's identifiers: V and a fixed width
        with open(os.path.join(directory, "results", "bench"), "w") as f:
            for j in range(n):
                f.write("%d;V%0*d\n" % (adverse_rank(j, n), width, j + 1))


def input_files(directory):
    inst = os.path.join(directory, "instances", "bench")
    return [os.path.join(inst, f) for f in ("ratios.txt", "paint_batch_limit.txt",
                                            "optimization_objectives.txt", "vehicles.txt")] + \
        [os.path.join(directory, "results", "bench")]


def last_message(path):
    """The last error message of a run's output, shortened, for the table."""
    lines = [l.strip() for l in open(path, encoding="latin-1") if l.strip()]
    errors = [l for l in lines if "ERR" in l] or lines or ["(no output)"]
    return errors[-1][:90]


def measure_case(exe, case, directory, args, out):
    runs = []
    log = open(os.path.join(directory, "run.out"), "w")
    # The generator's files go to disk first and one run goes untimed: the
    # system writing back 100 MB of fresh files, and the first creation of
    # the reports, would otherwise land on the first timed runs.
    os.sync()
    warm = run_measured([exe], directory, args.timeout, args.rss_limit, log)
    for _ in range(args.runs if not (warm.killed or warm.status != 0) else 0):
        r = run_measured([exe], directory, args.timeout, args.rss_limit, log)
        runs.append(r)
        if r.killed or r.status != 0:
            break
    log.close()
    if not runs:
        runs.append(warm)
    last = runs[-1]
    if last.killed == "timeout":
        state = "TIMEOUT >%ds" % args.timeout
    elif last.killed == "memory":
        state = "KILLED resident set > %g GiB after %.0f s" % (args.mem_limit, last.wall)
    elif last.status != 0:
        state = "FAILED exit %d: %s" % (last.status, last_message(os.path.join(directory, "run.out")))
    elif not os.path.exists(os.path.join(directory, "results", "bench_candidate_report.txt")):
        state = "FAILED no report"
    else:
        state = "ok"
    case["ok"] = state == "ok"
    if max(r.rss for r in runs) <= args.floor * 1.05:
        state += " (peak at the floor: the program's is at most this)"
    case["time"] = statistics.median(r.wall for r in runs) if case["ok"] else None
    case["rss"] = max(r.rss for r in runs)
    case["runs"] = len(runs)
    t = "%10.3f" % case["time"] if case["ok"] else "%10s" % "-"
    out("%-8s %9d %6d %s %5d %10.1f %9.1f   %s" % (case["kind"], case["n"], case["q"], t, case["runs"],
                                               case["rss"] / 2**20, case["rss"] / case["n"], state))


def main():
    ap = argparse.ArgumentParser(description="exeQuelto benchmark (see the top of this file)")
    ap.add_argument("--build", default="build-bench", help="build folder with exeQuelto and quelto-gen")
    ap.add_argument("--quick", action="store_true", help="sizes divided by 10, timeout 120 s")
    ap.add_argument("--runs", type=int, default=5, help="timed runs per case after an untimed one, median time (5)")
    ap.add_argument("--timeout", type=int, default=None, help="seconds per run (600, quick 120)")
    ap.add_argument("--mem-limit", type=float, default=16, help="resident set per run in GiB (16; 0: none)")
    ap.add_argument("--work", default=None, help="folder for the generated days (a temporary one)")
    ap.add_argument("--keep", action="store_true", help="keep the generated days")
    ap.add_argument("--skip-check", action="store_true", help="skip the check of the adversarial pattern")
    ap.add_argument("--check-sort", type=int, default=0, help=argparse.SUPPRESS)
    args = ap.parse_args()
    args.timeout = args.timeout or (120 if args.quick else 600)
    args.rss_limit = int(args.mem_limit * 2**30) if args.mem_limit > 0 else 0
    args.runs = max(1, args.runs)

    def out(line=""):
        print(line, flush=True)

    if args.check_sort:  # the check, run in a child of the benchmark (see below); it needs no build
        return 0 if check_adverse(args.check_sort, out) else 3

    build = args.build if os.path.isabs(args.build) else os.path.join(ROOT, args.build)
    exe, gen = os.path.join(build, "exeQuelto"), os.path.join(build, "quelto-gen")
    for f in (exe, gen):
        if not os.access(f, os.X_OK):
            sys.exit("bench: %s not found; build it first:\n  cmake -S . -B build-bench "
                     "-DCMAKE_BUILD_TYPE=Release && cmake --build build-bench --target exeQuelto quelto-gen" % f)

    big = 100000 if args.quick else 1000000
    out("exeQuelto benchmark: %s, runs %d, timeout %d s, %s" % (
        "quick" if args.quick else "full", args.runs, args.timeout, time.strftime("%Y-%m-%d %H:%M")))
    # The check runs in a child process: a run's peak memory, as the kernel
    # counts it, includes the memory of the process that started it (the
    # benchmark's, copied before the program replaces it), which must stay small.
    quadratic = args.skip_check or subprocess.run(
        [sys.executable, os.path.abspath(__file__), "--check-sort", str(big // 100)]).returncode == 0
    args.floor = run_measured(["true"], ROOT, 60, 0, subprocess.DEVNULL).rss
    out("peak memory floor (what the benchmark itself adds to a run's figure): %.1f MiB\n" % (args.floor / 2**20))

    cases = [dict(kind="q50", n=big // 100, q=50), dict(kind="q50", n=big // 10, q=50), dict(kind="q50", n=big, q=50),
             dict(kind="q1000", n=big // 10, q=1000), dict(kind="q1000", n=big, q=1000),
             dict(kind="adverse", n=big // 10, q=50), dict(kind="adverse", n=big, q=50)]
    work = args.work or tempfile.mkdtemp(prefix="quelto-bench-")
    os.makedirs(work, exist_ok=True)
    out("%-8s %9s %6s %10s %5s %10s %9s   %s" % ("case", "vehicles", "max q", "wall s", "runs",
                                               "peak MiB", "B/vehicle", "status"))
    wc_time = None
    for case in cases:
        directory = os.path.join(work, "%s-%d" % (case["kind"], case["n"]))
        shutil.rmtree(directory, ignore_errors=True)
        generate(gen, case, directory)
        measure_case(exe, case, directory, args, out)
        if case["kind"] == "q50" and case["n"] == big:
            wc = [run_measured(["wc", "-l"] + input_files(directory), directory, args.timeout, 0,
                               subprocess.DEVNULL, gnu_time=False) for _ in range(7)]
            wc_time = statistics.median(r.wall for r in wc)
            out("%-8s %9d %6s %10.3f %5d   (reading baseline: wc -l over the 5 input files)" % (
                "wc -l", big, "", wc_time, len(wc)))
        if not args.keep:
            shutil.rmtree(directory, ignore_errors=True)
    if not args.keep and not args.work:
        shutil.rmtree(work, ignore_errors=True)

    def find(kind, n):
        return next(c for c in cases if c["kind"] == kind and c["n"] == n)

    out("\ntargets (%s vehicles against %s):" % (big, big // 10))
    verdicts = []

    def verdict(label, value, limit, unit=""):
        ok = value is not None and value <= limit
        verdicts.append(ok)
        shown = "%.2f%s" % (value, unit) if value is not None else "n/a (case did not finish)"
        if args.quick:  # the targets are set for the full sizes: a quick run only shows the figures
            out("  %-46s %-28s (the target, <= %g%s, holds for the full sizes)" % (label, shown, limit, unit))
        else:
            out("  %-46s %-28s <= %g%s  %s" % (label, shown, limit, unit, "PASS" if ok else "FAIL"))

    for kind in ("q50", "q1000", "adverse"):
        a, b = find(kind, big // 10), find(kind, big)
        ratio = b["time"] / a["time"] if a["ok"] and b["ok"] else None
        verdict("scaling %s: time(%d) / time(%d)" % (kind, big, big // 10), ratio, SCALING_MAX)
    c = find("q50", big)
    verdict("reading: time(q50 %d) / time(wc -l)" % big, c["time"] / wc_time if c["ok"] and wc_time else None,
            READING_MAX)
    verdict("memory: peak RSS / vehicle (q50 %d)" % big, c["rss"] / big if c["ok"] else None,
            BYTES_PER_VEHICLE_MAX, " B")
    if not quadratic:
        out("  warning: the adversarial pattern did not show quadratic growth on the copy of the sort")
    if args.quick:
        out("\nquick run: no verdict (run without --quick for the targets)")
        return 0
    out("\n%d of %d targets met" % (sum(verdicts), len(verdicts)))
    return 0 if all(verdicts) else 1


if __name__ == "__main__":
    sys.exit(main())
