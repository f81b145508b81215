#!/usr/bin/env python3
"""Run two builds of exeQuelto side by side and report every difference.

Before the core of the program is reworked, its observable behaviour has to
be pinned down: for any working directory, the new build must show exactly
what the old one shows.  This tool builds many working directories, runs
both builds on each and compares, byte for byte, all that a run shows:

    - the exit status, standard output and standard error;
    - which files and folders the working directory holds afterwards, and the
      content of every file (the trace log, the reports, anything the run
      wrote, wherever the settings sent it).

Only two things are masked before the comparison, because they change from
one run to the next or with any edit of the sources:

    - dates: "lundi 07 decembre 2026   00:34:34" becomes "<DATE>" and the
      banner's "le 07/12/2026 a 00:34:34" becomes "le <DATE>";
    - the line number of a located trace header:
      "==TRACEDEBUG([some/file,123]," becomes "==TRACEDEBUG([some/file,<L>],"
      (the file name is kept and compared).

The cases:

    generated   --cases N days drawn by quelto-gen with options taken from
                --seed; about 60 % of them then get one to four small
                mutations of the kinds the program must deal with (ties in the
                reference ranks, faulty or odd solution lines, faulty instance
                files, odd settings, line ends...; see MUTATIONS);
    e2e         the hand-made cases of tests/data/e2e (or --e2e DIR), laid
                down as tests/test_e2e.cpp does (base, input/, remove);
    fuzz        every file of each --fuzz-corpus DIR, read as an input of the
                run fuzz target: five parts split at "\\n@@@@\\n", written to
                the paths and with the settings of fuzz/fuzz_run.cpp.

Each case is built once; then the old build runs on a fresh copy of it, and
the new build on another fresh copy at the same path, so that nothing can
differ because of where the runs took place.  The same --seed always builds
the same cases.  Files are compared as bytes (they are ISO 8859-1 text).

Usage:

    tools/compare-runs.py --old OLD_EXE --new NEW_EXE --gen QUELTO_GEN
        [--cases N] [--seed S] [--jobs J] [--keep DIR]
        [--fuzz-corpus DIR ...] [--e2e DIR] [--only-gen | --no-gen]
        [--timeout SECONDS]

A case whose runs differ is kept: under --keep DIR when given, else in the
temporary folder, whose path is printed.  It holds case/ (the inputs),
old/ and new/ (the working directories after each run, with the run's
status, stdout and stderr beside them in old.* and new.*), about.txt (how
the case was made) and diff.txt.

Exit status: 0 when no case differs, 1 when one does, 2 when the tool itself
could not do its work (bad arguments, a case that could not be built).
"""

import argparse
import collections
import concurrent.futures
import difflib
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# ---------------------------------------------------------------- masking

LONG_DATE = re.compile(rb"(lundi|mardi|mercredi|jeudi|vendredi|samedi|dimanche) [0-9]{2} [a-z]+ "
                       rb"[0-9]{4}   [0-9]{2}:[0-9]{2}:[0-9]{2}")
BANNER_DATE = re.compile(rb"le [0-9]{2}/[0-9]{2}/[0-9]{4} a [0-9]{2}:[0-9]{2}:[0-9]{2}")
TRACE_LINE = re.compile(rb"(==TRACEDEBUG\(\[[^,\]]*),[0-9]+\]")


def mask(data):
    """The bytes with dates and located trace line numbers replaced by markers."""
    data = LONG_DATE.sub(b"<DATE>", data)
    data = BANNER_DATE.sub(b"le <DATE>", data)
    return TRACE_LINE.sub(rb"\1,<L>]", data)


# ---------------------------------------------------------------- a day held in memory

INI = "exeQuelto.ini"
REQUIRED_KEYS = [
    "S_QUELTO_LOGS_DIRECTORY", "S_QUELTO_EXE_LOGFILE_FILE_NAME", "S_QUELTO_RACINE_PATH_NAME",
    "S_QUELTO_INSTANCE_PB_NAME", "S_QUELTO_ECARTS_CRITERES_FILE_NAME",
    "S_QUELTO_LONG_MAX_RAF_TEINTES_FILE_NAME", "S_QUELTO_OBJECTIF_OPTIM_FILE_NAME",
    "S_QUELTO_VEHICULES_FILE_NAME", "S_QUELTO_RESULT_DIRECTORY",
    "S_QUELTO_INDIC_SEQ_INITIAL_SUFFIX_NAME", "S_QUELTO_INDIC_SEQ_FINAL_SUFFIX_NAME",
    "S_QUELTO_CANDIDATE_NAME",
]
PURGES_KEY = "S_QUELTO_FLAG_PRINT_NB_MINIMAL_PURGES"
KEYWORDS = {
    "high": "high_priority_level_and_easy_to_satisfy_ratio_constraints",
    "high-difficult": "high_priority_level_and_difficult_to_satisfy_ratio_constraints",
    "low": "low_priority_level_ratio_constraints",
    "paint": "paint_color_batches",
}


class Day:
    """A working directory written by quelto-gen, read into memory to be mutated.

    Text files are lists of lines (ISO 8859-1 decoded, so every byte maps to
    one character and back); the line end and the final newline of each file
    are kept apart so that mutations can change them.  A path mapped to None
    is removed when the day is written back.
    """

    def __init__(self, root, options):
        self.instance = options["instance"]
        self.day_d1, self.day_d = options["day_d1"], options["day_d"]
        self.n_high, self.n_low = options["high"], options["low"]
        folder = "instances/" + self.instance + "/"
        self.ratios = folder + "ratios.txt"
        self.batch = folder + "paint_batch_limit.txt"
        self.objectives = folder + "optimization_objectives.txt"
        self.vehicles = folder + "vehicles.txt"
        self.solution = "results/" + self.instance
        self.lines = {}
        self.ending = {}       # path -> (line end, final newline)
        for path in (INI, self.ratios, self.batch, self.objectives, self.vehicles, self.solution):
            with open(os.path.join(root, path), "rb") as f:
                self.set_text(path, f.read().decode("latin-1"))

    def set_text(self, path, text):
        """Replace the whole content of a text file."""
        lines = text.split("\n")
        final = bool(lines) and lines[-1] == ""
        if final:
            lines.pop()
        self.lines[path] = lines
        self.ending[path] = ("\n", final)

    def write(self, root):
        """Write every file back under root (removing those mapped to None)."""
        for path, lines in self.lines.items():
            full = os.path.join(root, path)
            if lines is None:
                if os.path.exists(full):
                    os.remove(full)
                continue
            end, final = self.ending[path]
            text = end.join(lines) + (end if final and lines else "")
            os.makedirs(os.path.dirname(full) or root, exist_ok=True)
            with open(full, "wb") as f:
                f.write(text.encode("latin-1"))

    # Fields of the lines of a file (";" separated).

    def fields(self, path, i):
        """The fields of line i of a file."""
        return self.lines[path][i].split(";")

    def set_fields(self, path, i, fields):
        """Rewrite line i of a file from its fields."""
        self.lines[path][i] = ";".join(fields)

    def vehicle_lines(self, date=None):
        """Indices of the vehicle data lines, of one date when given."""
        lines = self.lines.get(self.vehicles) or []
        return [i for i in range(1, len(lines))
                if lines[i] and (date is None or lines[i].split(";")[0] == date)]

    def idents(self, date):
        """Identifiers of the vehicles of a date, in file order."""
        return [self.fields(self.vehicles, i)[2] for i in self.vehicle_lines(date)
                if len(self.fields(self.vehicles, i)) > 2]

    def ini_set(self, key, value):
        """Set a key of the settings file (None removes its lines)."""
        lines = [l for l in self.lines[INI] if l.split("=", 1)[0].strip() != key]
        if value is not None:
            lines.append(key + "=" + value)
        self.lines[INI] = lines

    def ini_get(self, key):
        """The last value given to a key in the settings file, or None."""
        value = None
        for line in self.lines[INI]:
            if "=" in line and line.split("=", 1)[0].strip() == key:
                value = line.split("=", 1)[1].strip()
        return value


# ---------------------------------------------------------------- small random texts

def word(rng, length, alphabet="abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-"):
    """A random word of the given length."""
    return "".join(rng.choice(alphabet) for _ in range(length))


def odd_number(rng, n):
    """A number text that a lenient reader may take in more than one way."""
    return rng.choice([
        "0", "-1", "-" + str(rng.randint(1, 99)), str(n + rng.randint(1, 5)), str(n * 10 + 7),
        " " + str(rng.randint(1, max(1, n))), "+" + str(rng.randint(1, max(1, n))),
        str(rng.randint(1, max(1, n))) + "x", "abc", "", " ", "2147483647", "2147483648",
        "99999999999999999999", "0x1A", "1e3", "\t3", "00" + str(rng.randint(1, max(1, n))),
    ])


def odd_ident(rng):
    """An identifier that no vehicle has, or one with odd characters."""
    return rng.choice([
        "NOPE" + str(rng.randint(0, 999)), "v0001", "V", " V0001", "V0001 ", "%s%d%n", "\xe9t\xe9",
        "x" * rng.randint(31, 40), "x" * rng.randint(256, 300), "?",
    ])


# ---------------------------------------------------------------- mutations

def mut_reference_ties(rng, day):
    """Give some day-D (or frozen) vehicles the rank of another one."""
    rows = day.vehicle_lines(day.day_d if rng.random() < 0.8 else day.day_d1)
    if len(rows) < 2:
        return None
    count = rng.randint(1, max(1, min(len(rows) // 2, 30)))
    for _ in range(count):
        a, b = rng.sample(rows, 2)
        fa, fb = day.fields(day.vehicles, a), day.fields(day.vehicles, b)
        if len(fa) > 1 and len(fb) > 1:
            fa[1] = fb[1]
            day.set_fields(day.vehicles, a, fa)
    return "%d ties" % count


def mut_reference_all_equal(rng, day):
    """Give every day-D vehicle one rank, or a few ranks."""
    values = [str(rng.randint(1, 5)) for _ in range(rng.randint(1, 3))]
    for i in day.vehicle_lines(day.day_d):
        f = day.fields(day.vehicles, i)
        f[1] = rng.choice(values)
        day.set_fields(day.vehicles, i, f)
    return ",".join(values)


def mut_reference_gaps(rng, day):
    """Spread the ranks (not consecutive), possibly up to the largest integer."""
    factor = rng.choice([2, 3, 1000, 70000])
    for i in day.vehicle_lines():
        f = day.fields(day.vehicles, i)
        if f[1].isdigit():
            f[1] = str(min(int(f[1]) * factor, 2147483647))
            day.set_fields(day.vehicles, i, f)
    return "x%d" % factor


def mut_vehicle_field(rng, day):
    """Put an odd value in one field (rank, colour or flag) of a vehicle line."""
    rows = day.vehicle_lines()
    if not rows:
        return None
    i = rng.choice(rows)
    f = day.fields(day.vehicles, i)
    n = len(day.vehicle_lines(day.day_d))
    column = rng.choice(["rank", "colour", "flag"])
    if column == "rank" and len(f) > 1:
        f[1] = rng.choice(["0", odd_number(rng, n)])
    elif column == "colour" and len(f) > 3:
        f[3] = rng.choice(["0", "-2", "abc", "", " 3", "+3", "3x", "99", "1000000", "2147483647",
                           "4294967297", odd_number(rng, 40)])
    elif len(f) > 4:
        k = rng.randrange(4, len(f))
        f[k] = rng.choice(["2", "x", "", " 1", "10", "01", "-1", "1 ", "yes", "\xe9"])
    else:
        return None
    day.set_fields(day.vehicles, i, f)
    return "%s of line %d" % (column, i + 1)


def mut_vehicle_date(rng, day):
    """Give a vehicle an empty date, or a date that is neither day."""
    rows = day.vehicle_lines()
    if not rows:
        return None
    i = rng.choice([rows[0]] + rows if rng.random() < 0.3 else rows)
    f = day.fields(day.vehicles, i)
    f[0] = rng.choice(["", "2026-12-04", "2026-12-07", "0", "zzzz", day.day_d1 + " ", " " + day.day_d,
                       "d" * rng.randint(31, 40)])
    day.set_fields(day.vehicles, i, f)
    return "line %d: %r" % (i + 1, f[0][:12])


def mut_vehicle_long_dates(rng, day):
    """Make one day's date longer than 30 characters (or just 30)."""
    old = rng.choice([day.day_d1, day.day_d])
    new = old + "-" + "t" * rng.choice([30 - len(old) - 1, 31, 40, 300])
    for i in day.vehicle_lines(old):
        f = day.fields(day.vehicles, i)
        f[0] = new
        day.set_fields(day.vehicles, i, f)
    return "%d chars" % len(new)


def mut_vehicle_interleave(rng, day):
    """Mix the lines of both days; mostly a day D-1 line stays first, as it must."""
    lines = day.lines[day.vehicles]
    body = lines[1:]
    rng.shuffle(body)
    frozen = [k for k, l in enumerate(body) if l.split(";")[0] == day.day_d1]
    first = frozen and rng.random() < 0.85
    if first:
        body.insert(0, body.pop(rng.choice(frozen)))
    day.lines[day.vehicles] = lines[:1] + body
    return "shuffled, day D-1 first" if first else "shuffled"


def mut_vehicle_drop_day(rng, day):
    """Remove all the vehicles of day D, or all the frozen ones."""
    date = rng.choice([day.day_d, day.day_d1])
    keep = set(day.vehicle_lines(date))
    day.lines[day.vehicles] = [l for i, l in enumerate(day.lines[day.vehicles]) if i not in keep]
    return "no " + ("day D" if date == day.day_d else "day D-1")


def mut_vehicle_few(rng, day):
    """Keep only a few frozen vehicles, or a day D shorter than the windows."""
    date = rng.choice([day.day_d, day.day_d1])
    rows = day.vehicle_lines(date)
    if len(rows) < 2:
        return None
    keep = set(rng.sample(rows, rng.randint(1, min(len(rows) - 1, 6))))
    drop = set(rows) - keep
    day.lines[day.vehicles] = [l for i, l in enumerate(day.lines[day.vehicles]) if i not in drop]
    return "%d of %s kept" % (len(keep), "day D" if date == day.day_d else "day D-1")


def mut_vehicle_idents(rng, day):
    """Duplicate identifiers, or identifiers over 30 characters that collide once cut."""
    rows = day.vehicle_lines(day.day_d)
    if len(rows) < 2:
        return None
    kind = rng.choice(["duplicate", "frozen twin", "long", "latin1", "percent"])
    a, b = rng.sample(rows, 2)
    fa, fb = day.fields(day.vehicles, a), day.fields(day.vehicles, b)
    if kind == "duplicate":
        old, fa[2] = fa[2], fb[2]
    elif kind == "frozen twin":
        frozen = day.vehicle_lines(day.day_d1)
        if not frozen:
            return None
        old, fa[2] = fa[2], day.fields(day.vehicles, frozen[0])[2]
    elif kind == "long":
        stem = word(rng, 30)
        old = fa[2]
        fa[2], fb[2] = stem + word(rng, rng.randint(1, 5)), stem + word(rng, rng.randint(1, 300))
        rename_in_solution(rng, day, fb, b)
        day.set_fields(day.vehicles, b, fb)
    elif kind == "latin1":
        old, fa[2] = fa[2], fa[2] + "\xe9\xff"
    else:
        old, fa[2] = fa[2], "%s%d" + fa[2]
    day.set_fields(day.vehicles, a, fa)
    if rng.random() < 0.7:
        rename_in_solution(rng, day, fa, None, old)
    return kind


def rename_in_solution(rng, day, fields, row, old=None):
    """Make the solution name a renamed vehicle (whole or cut to 30 characters)."""
    if row is not None:
        old = day.fields(day.vehicles, row)[2]
    new = fields[2] if rng.random() < 0.7 else fields[2][:30]
    sol = day.lines.get(day.solution)
    if not sol:
        return
    for i, line in enumerate(sol):
        f = line.split(";")
        if len(f) > 1 and f[1] == old:
            f[1] = new
            sol[i] = ";".join(f)


def mut_vehicle_shape(rng, day):
    """A vehicle line with a field missing, extra fields, a field over 255 characters or a long line."""
    rows = day.vehicle_lines()
    if not rows:
        return None
    i = rng.choice(rows)
    f = day.fields(day.vehicles, i)
    kind = rng.choice(["short", "extra", "long field", "long line", "heading only"])
    if kind == "short":
        f = f[:rng.randint(1, len(f) - 1)] if len(f) > 1 else []
    elif kind == "extra":
        f += [word(rng, rng.randint(0, 5)) for _ in range(rng.randint(1, 4))]
    elif kind == "long field":
        k = rng.randrange(len(f))
        f[k] = f[k] + "7" * rng.choice([250, 256, 300, 1000])
    elif kind == "long line":
        f.append("z" * rng.choice([9990, 10000, 12000]))
    else:
        day.lines[day.vehicles] = day.lines[day.vehicles][:1]
        return kind
    day.set_fields(day.vehicles, i, f)
    return kind


def mut_solution_ties(rng, day):
    """Put two vehicles at one rank, or list a vehicle twice."""
    sol = day.lines.get(day.solution)
    if not sol or len(sol) < 2:
        return None
    count = rng.randint(1, max(1, min(len(sol) // 3, 20)))
    kind = rng.choice(["same rank", "listed twice"])
    for _ in range(count):
        a, b = rng.sample(range(len(sol)), 2)
        fa, fb = sol[a].split(";"), sol[b].split(";")
        if len(fa) < 2 or len(fb) < 2:
            continue
        if kind == "same rank":
            fa[0] = fb[0]
            sol[a] = ";".join(fa)
        else:
            fa[1] = fb[1]
            sol.insert(rng.randint(0, len(sol)), ";".join(fa))
    return "%d %s" % (count, kind)


def mut_solution_delete(rng, day):
    """Delete solution lines, so that vehicles are missing from it."""
    sol = day.lines.get(day.solution)
    if not sol:
        return None
    count = rng.randint(1, max(1, len(sol) // rng.choice([1, 2, 10, 100])))
    for _ in range(min(count, len(sol))):
        del sol[rng.randrange(len(sol))]
    return "%d deleted" % count


def mut_solution_bad_lines(rng, day):
    """Lines naming unknown or frozen vehicles, odd ranks, empty identifiers, extra fields."""
    sol = day.lines.get(day.solution)
    if sol is None:
        return None
    n = len(day.vehicle_lines(day.day_d))
    done = []
    for _ in range(rng.randint(1, 5)):
        kind = rng.choice(["unknown", "frozen", "rank", "empty ident", "extra fields", "blank"])
        rank = str(rng.randint(1, max(1, n)))
        if kind == "unknown":
            line = rank + ";" + odd_ident(rng)
        elif kind == "frozen":
            frozen = day.idents(day.day_d1)
            line = rank + ";" + (rng.choice(frozen) if frozen else "F0001")
        elif kind == "rank" and sol:
            k = rng.randrange(len(sol))
            f = sol[k].split(";")
            f[0] = odd_number(rng, n)
            sol[k] = ";".join(f)
            done.append(kind)
            continue
        elif kind == "empty ident":
            line = rank + ";"
        elif kind == "extra fields" and sol:
            k = rng.randrange(len(sol))
            sol[k] += ";" + ";".join(word(rng, rng.randint(0, 4)) for _ in range(rng.randint(1, 3)))
            done.append(kind)
            continue
        else:
            line = ""
        sol.insert(rng.randint(0, len(sol)), line)
        done.append(kind)
    return ", ".join(done)


def mut_solution_stop(rng, day):
    """A single-field line (it stops the run), or a very long line or field."""
    sol = day.lines.get(day.solution)
    if sol is None:
        return None
    kind = rng.choice(["single field", "long field", "long line"])
    if kind == "single field":
        line = rng.choice([str(rng.randint(1, 9)), "", "V0001", " "]) or "5"
    elif kind == "long field":
        line = "1;" + "V" * rng.choice([255, 256, 400])
    else:
        line = "2;V0001;" + "q" * rng.choice([9990, 10000, 20000])
    sol.insert(rng.randint(0, len(sol)), line)
    return kind


def mut_solution_file(rng, day):
    """An empty solution file, a missing one, or its lines shuffled."""
    kind = rng.choice(["empty", "missing", "shuffled", "reversed"])
    if kind == "empty":
        day.lines[day.solution] = []
    elif kind == "missing":
        day.lines[day.solution] = None
    elif day.lines.get(day.solution):
        sol = day.lines[day.solution]
        if kind == "shuffled":
            rng.shuffle(sol)
        else:
            sol.reverse()
    return kind


def mut_ratio_values(rng, day):
    """p > q, p = 0, q = 1, q beyond the day, a bad flag or a malformed ratio."""
    lines = day.lines[day.ratios]
    if len(lines) < 2:
        return None
    i = rng.randrange(1, len(lines))
    f = lines[i].split(";")
    n = len(day.vehicle_lines(day.day_d))
    kind = rng.choice(["p>q", "p=0", "q=1", "q>N", "flag", "malformed", "long name", "no field 4"])
    if kind == "p>q":
        q = rng.randint(1, 6)
        f[0] = "%d/%d" % (q + rng.randint(1, 3), q)
    elif kind == "p=0":
        f[0] = "0/%d" % rng.randint(1, 8)
    elif kind == "q=1":
        f[0] = rng.choice(["0/1", "1/1"])
    elif kind == "q>N":
        f[0] = "1/%d" % rng.choice([n + 1, n + 50, 2 * n + 3, 2147483647])
    elif kind == "flag" and len(f) > 1:
        f[1] = rng.choice(["2", " 1", "1 ", "", "01", "-1", "x", "0 "])
    elif kind == "malformed":
        f[0] = rng.choice(["1-2", "1/", "/2", "a/b", "1/2/3", "", "1/0", "-1/3", " 1/2", "1 /2",
                           "3", "+1/+2", "1/-2", "2147483648/3"])
    elif kind == "long name" and len(f) > 2:
        f[2] = word(rng, rng.choice([21, 40, 256, 300]))
    elif kind == "no field 4":
        f = f[:3]
    else:
        return None
    lines[i] = ";".join(f)
    return kind


def mut_ratio_count(rng, day):
    """No constraint at all, one dropped, priorities interleaved, or 40+ of one priority."""
    lines = day.lines[day.ratios]
    kind = rng.choice(["none", "drop one", "interleave", "many"])
    if kind == "none":
        day.lines[day.ratios] = lines[:1]
    elif kind == "drop one" and len(lines) > 1:
        del lines[rng.randrange(1, len(lines))]
    elif kind == "interleave" and len(lines) > 2:
        high = [l for l in lines[1:] if l.split(";")[1:2] == ["1"]]
        low = [l for l in lines[1:] if l.split(";")[1:2] != ["1"]]
        mixed = []
        while high or low:
            source = high if high and (not low or rng.random() < 0.5) else low
            mixed.append(source.pop(0))
        day.lines[day.ratios] = lines[:1] + mixed
    elif kind == "many":
        add_many_constraints(rng, day, rng.random() < 0.5, rng.randint(40, 70))
    else:
        return None
    return kind


def add_many_constraints(rng, day, high, count):
    """Append count constraints of one priority, with a flag column for each vehicle."""
    n = len(day.vehicle_lines(day.day_d))
    column = 4 + day.n_high + (0 if high else day.n_low)
    new = []
    for k in range(count):
        q = rng.randint(1, max(1, min(n, 60)))
        p = rng.randint(0, q)
        new.append((p, q))
        day.lines[day.ratios].append("%d/%d;%s;%s%d;0" % (p, q, "1" if high else "0", "HX" if high else "LX", k))
    lines = day.lines[day.vehicles]
    for i in range(len(lines)):
        f = lines[i].split(";")
        if i == 0:
            flags = ["%s%d" % ("HX" if high else "LX", k) for k in range(count)]
        else:
            flags = ["1" if rng.random() < 0.8 * p / q else "0" for p, q in new]
        at = min(column, len(f))
        lines[i] = ";".join(f[:at] + flags + f[at:])
    if high:
        day.n_high += count
    else:
        day.n_low += count


def mut_batch(rng, day):
    """A batch limit file without data line, a limit of 0, negative, odd or several lines."""
    kind = rng.choice(["no data", "zero", "negative", "odd", "several", "one", "huge"])
    head = day.lines[day.batch][:1]
    if kind == "no data":
        day.lines[day.batch] = head
    elif kind == "zero":
        day.lines[day.batch] = head + ["0"]
    elif kind == "negative":
        day.lines[day.batch] = head + [str(-rng.randint(1, 9))]
    elif kind == "odd":
        day.lines[day.batch] = head + [rng.choice([" 3", "+3", "3x", "abc", "", "3;4", "2147483648", "\t2"])]
    elif kind == "several":
        day.lines[day.batch] = head + [str(rng.randint(0, 9)) for _ in range(rng.randint(2, 4))]
    elif kind == "one":
        day.lines[day.batch] = head + ["1"]
    else:
        day.lines[day.batch] = head + [rng.choice(["2147483647", "100000", "30000"])]
    return kind


def mut_objectives(rng, day):
    """An unknown keyword, four objectives, a duplicated one, none, or a short line."""
    lines = day.lines[day.objectives]
    head = lines[:1]
    kind = rng.choice(["unknown", "four", "duplicate", "none", "short line", "blank"])
    if kind == "unknown":
        k = rng.randrange(1, len(lines)) if len(lines) > 1 else None
        bad = rng.choice(["paint", "colour", "high_priority_level_ratio_constraints", "PAINT_COLOR_BATCHES",
                          KEYWORDS["low"] + " ", " " + KEYWORDS["paint"], ""])
        if k is None:
            lines.append("1;" + bad)
        else:
            lines[k] = lines[k].split(";")[0] + ";" + bad
    elif kind == "four":
        names = list(KEYWORDS.values())
        rng.shuffle(names)
        day.lines[day.objectives] = head + ["%d;%s" % (i + 1, w) for i, w in enumerate(names)]
    elif kind == "duplicate":
        w = rng.choice(list(KEYWORDS.values()))
        body = lines[1:3] if len(lines) > 1 else []
        body.insert(rng.randint(0, len(body)), "9;" + w)
        day.lines[day.objectives] = head + body + (["9;" + w] if rng.random() < 0.3 and len(body) < 3 else [])
    elif kind == "none":
        day.lines[day.objectives] = head
    elif kind == "short line":
        lines.insert(rng.randint(1, len(lines)), "4")
    else:
        lines[1:1] = ["" for _ in range(rng.randint(1, 3))]
    return kind


def mut_settings_purges(rng, day):
    """The optional purges flag: absent, 0, 1, " 1", or other texts."""
    value = rng.choice([None, "0", "1", " 1", "1 ", "01", "2", "", "yes", "1 # note"])
    day.ini_set(PURGES_KEY, value)
    return repr(value)


def mut_settings_key(rng, day):
    """A required key missing, or a directory without its trailing slash."""
    kind = rng.choice(["missing key", "results no slash", "logs no slash", "no log dir", "instances no slash"])
    if kind == "missing key":
        key = rng.choice(REQUIRED_KEYS)
        day.ini_set(key, None)
        return "missing " + key
    if kind == "results no slash":
        day.ini_set("S_QUELTO_RESULT_DIRECTORY", "results")
        if rng.random() < 0.5 and day.lines.get(day.solution) is not None:
            # The solution where the composed path looks for it.
            path = "results" + day.instance
            day.lines[path] = list(day.lines[day.solution])
            day.ending[path] = day.ending[day.solution]
            return kind + ", solution beside"
    elif kind == "logs no slash":
        day.ini_set("S_QUELTO_LOGS_DIRECTORY", "logs")
    elif kind == "no log dir":
        day.ini_set("S_QUELTO_LOGS_DIRECTORY", "nolog/")
    else:
        day.ini_set("S_QUELTO_RACINE_PATH_NAME", "instances")
    return kind


def mut_settings_syntax(rng, day):
    """Comments, export lines, blanks, $ references, includes, repeated keys, a line without '='."""
    ini = day.lines[INI]
    kind = rng.choice(["comments", "export", "blanks", "dollar", "include", "repeat", "no equals",
                       "long candidate", "percent"])
    if kind == "comments":
        for _ in range(rng.randint(1, 4)):
            ini.insert(rng.randint(0, len(ini)), rng.choice(["# c", "   # indented", "#", "X=1 # note", ""]))
    elif kind == "export":
        ini.insert(rng.randint(0, len(ini)), "export S_QUELTO_CANDIDATE_NAME=exported")
    elif kind == "blanks":
        k = rng.randrange(len(ini))
        if "=" in ini[k]:
            name, value = ini[k].split("=", 1)
            ini[k] = "  " + name + " \t= " + value + "  "
    elif kind == "dollar":
        ini.insert(0, "R=results")
        ini.insert(0, "I=" + day.instance)
        day.ini_set("S_QUELTO_RESULT_DIRECTORY", rng.choice(["$R/", "$R", "$UNDEFINED_X$R/", "$R:/"]))
        day.ini_set("S_QUELTO_INSTANCE_PB_NAME", rng.choice(["$I", "$I.", "${I}"]))
    elif kind == "include":
        moved = rng.sample(REQUIRED_KEYS, rng.randint(1, 4))
        other = []
        for key in moved:
            value = day.ini_get(key)
            if value is not None:
                other.append(key + "=" + value)
                day.ini_set(key, None)
        name = rng.choice(["other.ini", "missing.ini", "exeQuelto.ini", "logs"])
        day.lines[INI].insert(rng.randint(0, len(day.lines[INI])), ". " + name)
        if name == "other.ini":
            day.lines[name] = other
            day.ending[name] = ("\n", True)
        return "include " + name
    elif kind == "repeat":
        key = rng.choice(REQUIRED_KEYS)
        value = day.ini_get(key)
        ini.insert(0, key + "=" + rng.choice(["first", "", "zzz/"]))
        if value is not None:
            day.ini_set(key, value)
    elif kind == "no equals":
        ini.insert(rng.randint(0, len(ini)), rng.choice(["oops", "S_QUELTO_X", "  junk  "]))
    elif kind == "long candidate":
        day.ini_set("S_QUELTO_CANDIDATE_NAME", word(rng, rng.randint(45, 80), "abc XYZ\xe9%0123"))
    else:
        day.ini_set("S_QUELTO_CANDIDATE_NAME", rng.choice(["%s", "%d%n", "100%"]))
    return kind


def mut_line_ends(rng, day):
    """CRLF line ends, no final newline, or empty lines in one file."""
    path = rng.choice([INI, day.ratios, day.batch, day.objectives, day.vehicles, day.solution])
    if day.lines.get(path) is None:
        return None
    kind = rng.choice(["crlf", "no final newline", "empty lines"])
    end, final = day.ending[path]
    if kind == "crlf":
        day.ending[path] = ("\r\n", final)
    elif kind == "no final newline":
        day.ending[path] = (end, False)
    else:
        lines = day.lines[path]
        for _ in range(rng.randint(1, 10)):
            lines.insert(rng.randint(0, len(lines)), "")
    return kind + " in " + os.path.basename(path)


def mut_instance_file(rng, day):
    """An instance file missing, empty, or made of its heading only."""
    path = rng.choice([day.ratios, day.batch, day.objectives, day.vehicles])
    kind = rng.choice(["missing", "empty", "heading only"])
    if kind == "missing":
        day.lines[path] = None
    elif kind == "empty":
        day.lines[path] = []
    elif day.lines.get(path):
        day.lines[path] = day.lines[path][:1]
    return kind + " " + os.path.basename(path)


# Name, weight of the draw, function.  Ranks and solution lines weigh most:
# they keep the run going to the reports, where a refactor is likeliest to
# change something.  What quelto-gen refuses to write (no vehicle of a day,
# q = 1, four objectives, a batch limit of 0) comes from these as well.
MUTATIONS = [
    ("reference-ties", 10, mut_reference_ties),
    ("reference-all-equal", 3, mut_reference_all_equal),
    ("reference-gaps", 3, mut_reference_gaps),
    ("vehicle-field", 5, mut_vehicle_field),
    ("vehicle-date", 3, mut_vehicle_date),
    ("vehicle-long-dates", 1, mut_vehicle_long_dates),
    ("vehicle-interleave", 3, mut_vehicle_interleave),
    ("vehicle-drop-day", 2, mut_vehicle_drop_day),
    ("vehicle-few", 3, mut_vehicle_few),
    ("vehicle-idents", 4, mut_vehicle_idents),
    ("vehicle-shape", 3, mut_vehicle_shape),
    ("solution-ties", 10, mut_solution_ties),
    ("solution-delete", 6, mut_solution_delete),
    ("solution-bad-lines", 10, mut_solution_bad_lines),
    ("solution-stop", 2, mut_solution_stop),
    ("solution-file", 3, mut_solution_file),
    ("ratio-values", 5, mut_ratio_values),
    ("ratio-count", 4, mut_ratio_count),
    ("batch", 4, mut_batch),
    ("objectives", 4, mut_objectives),
    ("settings-purges", 4, mut_settings_purges),
    ("settings-key", 3, mut_settings_key),
    ("settings-syntax", 4, mut_settings_syntax),
    ("line-ends", 4, mut_line_ends),
    ("instance-file", 2, mut_instance_file),
]


def mutate(rng, day):
    """Apply one to four drawn mutations; the list of what was done."""
    done = []
    count = rng.choices([1, 2, 3, 4], weights=[55, 25, 12, 8])[0]
    names = [m[0] for m in MUTATIONS]
    weights = [m[1] for m in MUTATIONS]
    functions = {m[0]: m[2] for m in MUTATIONS}
    tries = 0
    while len(done) < count and tries < 20:
        tries += 1
        name = rng.choices(names, weights=weights)[0]
        detail = functions[name](rng, day)
        if detail is not None:
            done.append((name, detail))
        if any(lines is None for lines in day.lines.values()):
            break  # a file was taken away: the mutations of its lines cannot follow
    return done


# ---------------------------------------------------------------- building the cases

def draw_gen_options(rng, big_share=0.0):
    """The quelto-gen options of one generated day, drawn from rng; a share
    big_share of the days hold 20 000 to 60 000 vehicles (a day that large has
    its solution file read ahead on another thread)."""
    r = rng.random()
    if rng.random() < big_share:
        n = rng.randint(20000, 60000)
    elif r < 0.45:
        n = rng.randint(2, 30)
    elif r < 0.75:
        n = rng.randint(31, 300)
    elif r < 0.96:
        n = rng.randint(301, 3000)
    else:
        n = rng.randint(3001, 30000)
    max_q = rng.randint(2, 8) if rng.random() < 0.6 else rng.randint(2, 60)
    o = {
        "seed": rng.randint(1, 2 ** 31),
        "vehicles": n,
        "frozen": rng.randint(1, 5) if rng.random() < 0.2 else rng.randint(1, 80),
        "high": rng.randint(0, 10) if rng.random() < 0.5 else rng.randint(0, 3),
        "low": rng.randint(0, 10) if rng.random() < 0.5 else rng.randint(0, 3),
        "max_q": min(max_q, n),
        "colours": rng.randint(1, 8) if rng.random() < 0.5 else rng.randint(1, 40),
        "batch_limit": rng.randint(1, 15),
        "objectives": rng.sample(list(KEYWORDS), rng.randint(1, 3)),
        "day_d1": "2026-12-05", "day_d": "2026-12-06",
        "instance": "demo", "candidate": None,
    }
    cost = n * n * max(1, o["high"] + o["low"]) * o["max_q"]
    kinds = ["greedy", "random", "reference"] if cost < 3e7 else ["random", "reference"]
    o["solution"] = rng.choice(kinds)
    if rng.random() < 0.15:
        o["day_d1"], o["day_d"] = rng.choice([("d1", "d2"), ("1", "2"), ("A", "a"), ("2026-12-05 matin", "2026-12-06"),
                                              ("x" * 29 + "1", "x" * 29 + "2")])
    if rng.random() < 0.1:
        o["instance"] = word(rng, 1) + word(rng, rng.choice([1, 10, 99, 100, 120]))
    if rng.random() < 0.1:
        o["candidate"] = word(rng, rng.choice([1, 49, 50, 51, 70]), "abcXYZ019_- ").strip() or "c"
    return o


def gen_command(gen, o, out):
    """The quelto-gen command line for options o writing into out."""
    cmd = [gen, "--seed", str(o["seed"]), "--vehicles", str(o["vehicles"]), "--frozen", str(o["frozen"]),
           "--high", str(o["high"]), "--low", str(o["low"]), "--max-q", str(o["max_q"]),
           "--colours", str(o["colours"]), "--batch-limit", str(o["batch_limit"]),
           "--objectives", ",".join(o["objectives"]), "--solution", o["solution"],
           "--day-d1", o["day_d1"], "--day-d", o["day_d"], "--instance", o["instance"]]
    if o["candidate"] is not None:
        cmd += ["--candidate", o["candidate"]]
    return cmd + ["--out", out]


def build_generated(plan, gen, folder):
    """Write generated day plan["index"] into folder; a text telling how it was made."""
    rng = random.Random("%s:%d" % (plan["seed"], plan["index"]))
    o = draw_gen_options(rng, plan.get("big", 0.0))
    cmd = gen_command(gen, o, folder)
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if p.returncode != 0:
        raise RuntimeError("quelto-gen failed (%d): %s\n%s" % (p.returncode, " ".join(cmd),
                                                                p.stderr.decode("latin-1")))
    about = "generated: " + " ".join(cmd[1:]) + "\n"
    plan["mutations"] = []
    if rng.random() < 0.6:
        day = Day(folder, o)
        plan["mutations"] = mutate(rng, day)
        day.write(folder)
        about += "".join("mutation %s: %s\n" % m for m in plan["mutations"])
    return about


def e2e_lines(path):
    """The non-empty lines of a file (none when it does not exist)."""
    if not os.path.isfile(path):
        return []
    with open(path, "rb") as f:
        return [l.decode("latin-1") for l in f.read().split(b"\n") if l]


def lay_e2e(source, case, dest):
    """Lay down an e2e case as the e2e tests do: bases first, then input/, then removals."""
    for base in e2e_lines(os.path.join(source, case, "base")):
        lay_e2e(source, base, dest)
    inputs = os.path.join(source, case, "input")
    if os.path.isdir(inputs):
        shutil.copytree(inputs, dest, dirs_exist_ok=True, symlinks=True)
    for rel in e2e_lines(os.path.join(source, case, "remove")):
        path = os.path.join(dest, rel)
        if os.path.islink(path) or os.path.isfile(path):
            os.remove(path)
        elif os.path.isdir(path) and not os.listdir(path):
            os.rmdir(path)


# The settings and paths of the run fuzz target (fuzz/fuzz_run.cpp).
FUZZ_SETTINGS = (
    "S_QUELTO_LOGS_DIRECTORY=logs/\n"
    "S_QUELTO_EXE_LOGFILE_FILE_NAME=run.log\n"
    "S_QUELTO_RACINE_PATH_NAME=instances/\n"
    "S_QUELTO_INSTANCE_PB_NAME=fz\n"
    "S_QUELTO_ECARTS_CRITERES_FILE_NAME=ratios.txt\n"
    "S_QUELTO_LONG_MAX_RAF_TEINTES_FILE_NAME=batch.txt\n"
    "S_QUELTO_OBJECTIF_OPTIM_FILE_NAME=objectives.txt\n"
    "S_QUELTO_VEHICULES_FILE_NAME=vehicles.txt\n"
    "S_QUELTO_RESULT_DIRECTORY=results/\n"
    "S_QUELTO_INDIC_SEQ_INITIAL_SUFFIX_NAME=_ref.txt\n"
    "S_QUELTO_INDIC_SEQ_FINAL_SUFFIX_NAME=_cand.txt\n"
    "S_QUELTO_CANDIDATE_NAME=fuzz\n"
    "S_QUELTO_FLAG_PRINT_NB_MINIMAL_PURGES=1\n").encode()
FUZZ_FILES = ["instances/fz/batch.txt", "instances/fz/objectives.txt", "instances/fz/ratios.txt",
              "instances/fz/vehicles.txt", "results/fz"]


def lay_fuzz(path, dest):
    """Write a run fuzz input as the fuzz target does: five parts, missing ones empty."""
    with open(path, "rb") as f:
        parts = f.read().split(b"\n@@@@\n", len(FUZZ_FILES) - 1)
    parts += [b""] * (len(FUZZ_FILES) - len(parts))
    for d in ("logs", "results", "instances", "instances/fz"):
        os.makedirs(os.path.join(dest, d), exist_ok=True)
    with open(os.path.join(dest, INI), "wb") as f:
        f.write(FUZZ_SETTINGS)
    for rel, content in zip(FUZZ_FILES, parts):
        with open(os.path.join(dest, rel), "wb") as f:
            f.write(content)


def build_case(plan, gen, folder):
    """Write the inputs of a case into folder; a text telling how it was made."""
    os.makedirs(folder)
    if plan["kind"] == "gen":
        return build_generated(plan, gen, folder)
    if plan["kind"] == "e2e":
        lay_e2e(plan["source"], plan["name"], folder)
        return "e2e case %s of %s\n" % (plan["name"], plan["source"])
    lay_fuzz(plan["source"], folder)
    return "fuzz input %s\n" % plan["source"]


# ---------------------------------------------------------------- running and comparing

def run_env():
    """The environment of the runs: ours, less any setting of the program."""
    return {k: v for k, v in os.environ.items() if not k.startswith("S_QUELTO_")}


def run_once(exe, work, timeout):
    """Run exe in work; its status (a number, "timeout" or "signal N"), stdout and stderr."""
    p = subprocess.Popen([exe], cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, env=run_env(), start_new_session=True)
    try:
        out, err = p.communicate(timeout=timeout)
        status = p.returncode if p.returncode >= 0 else "signal %d" % -p.returncode
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, 9)
        out, err = p.communicate()
        status = "timeout"
    return status, out, err


def snapshot(work):
    """Every folder and file under work: a listing and the files' contents."""
    listing, contents = [], {}
    for top, dirs, files in os.walk(work):
        dirs.sort()
        rel_top = os.path.relpath(top, work)
        for d in dirs:
            listing.append("d " + os.path.normpath(os.path.join(rel_top, d)))
        for name in sorted(files):
            rel = os.path.normpath(os.path.join(rel_top, name))
            full = os.path.join(top, name)
            if os.path.islink(full):
                listing.append("l %s -> %s" % (rel, os.readlink(full)))
                continue
            listing.append("f " + rel)
            with open(full, "rb") as f:
                contents[rel] = f.read()
    return listing, contents


def outcome(exe, case, work, timeout):
    """Run exe on a fresh copy of case at work; what it showed, as named outputs of bytes."""
    shutil.copytree(case, work, symlinks=True)
    status, out, err = run_once(exe, work, timeout)
    listing, contents = snapshot(work)
    shown = [("status", str(status).encode()), ("stdout", out), ("stderr", err),
             ("file list", ("\n".join(listing) + "\n").encode("latin-1"))]
    shown += [("file " + rel, contents[rel]) for rel in sorted(contents)]
    return status, shown


def first_difference(old, new):
    """The name and both masked texts of the first output that differs, or None."""
    old_map, new_map = dict(old), dict(new)
    names = [n for n, _ in old] + [n for n, _ in new if n not in old_map]
    for name in names:
        a = mask(old_map[name]) if name in old_map else None
        b = mask(new_map[name]) if name in new_map else None
        if a != b:
            return name, a, b
    return None


def short_diff(name, a, b, max_lines=40, width=200):
    """A short unified diff of two masked outputs (None: the output is absent)."""
    def lines(data):
        if data is None:
            return ["<absent>\n"]
        return [l[:width] + ("...\n" if len(l) > width else "") for l in
                data.decode("latin-1").splitlines(keepends=True)]
    where = ""
    if a is not None and b is not None:
        at = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
        where = " (first difference at byte %d, line %d)" % (at, a[:at].count(b"\n") + 1)
    diff = list(difflib.unified_diff(lines(a), lines(b), "old " + name, "new " + name, n=2))
    if len(diff) > max_lines:
        diff = diff[:max_lines] + ["... (%d more diff lines)\n" % (len(diff) - max_lines)]
    return "first differing output: %s%s\n%s" % (name, where, "".join(
        l if l.endswith("\n") else l + "\n" for l in diff))


def save_run(folder, which, work, shown):
    """Keep a run's working directory and its status, stdout and stderr beside it."""
    os.rename(work, os.path.join(folder, which))
    for name, data in shown[:3]:
        with open(os.path.join(folder, "%s.%s" % (which, name)), "wb") as f:
            f.write(data)


def check_case(plan, config):
    """Build one case, run both builds on it, compare; a summary of the case."""
    folder = os.path.join(config["root"], plan["id"])
    case, work = os.path.join(folder, "case"), os.path.join(folder, "work")
    result = {"id": plan["id"], "kind": plan["kind"], "mutations": [], "error": None, "diff": None}
    try:
        about = build_case(plan, config["gen"], case)
        result["mutations"] = [m[0] for m in plan.get("mutations", [])]
        runs = {}
        for which in ("old", "new"):
            status, shown = outcome(config[which], case, work, config["timeout"])
            result[which] = status
            runs[which] = shown
            save_run(folder, which, work, shown)
        difference = first_difference(runs["old"], runs["new"])
    except Exception as e:  # a case that cannot be built or run is the tool's failure
        where = traceback.extract_tb(e.__traceback__)[-1]
        result["error"] = "%s: %s (%s, line %d)" % (type(e).__name__, e, where.name, where.lineno)
        result["folder"] = folder
        return result
    if difference is None:
        shutil.rmtree(folder)
        return result
    result["diff"] = short_diff(*difference)
    with open(os.path.join(folder, "about.txt"), "w") as f:
        f.write(about)
    with open(os.path.join(folder, "diff.txt"), "w", encoding="latin-1") as f:
        f.write(result["diff"])
    result["folder"] = folder
    if config["keep"]:
        result["folder"] = os.path.join(config["keep"], plan["id"])
        shutil.rmtree(result["folder"], ignore_errors=True)
        shutil.move(folder, result["folder"])
    return result


# ---------------------------------------------------------------- the command

def case_specs(args):
    """The cases to run, in a fixed order: generated, e2e, fuzz."""
    plans = []
    if not args.no_gen:
        for i in range(args.cases):
            plans.append({"kind": "gen", "index": i, "seed": args.seed, "big": args.big_share, "id": "gen-%05d" % i})
    if not args.only_gen:
        if args.e2e and os.path.isdir(args.e2e):
            for name in sorted(os.listdir(args.e2e)):
                if os.path.isdir(os.path.join(args.e2e, name)):
                    plans.append({"kind": "e2e", "name": name, "source": args.e2e, "id": "e2e-" + name})
        for k, corpus in enumerate(args.fuzz_corpus):
            for name in sorted(os.listdir(corpus)):
                path = os.path.join(corpus, name)
                if os.path.isfile(path):
                    plans.append({"kind": "fuzz", "source": path,
                                  "id": "fuzz%d-%s" % (k, re.sub(r"[^A-Za-z0-9_.-]", "_", name))})
    return plans


def parse_args(argv):
    """The command line."""
    p = argparse.ArgumentParser(description="Run two builds of exeQuelto on many working directories and "
                                            "report every difference in what they show.")
    p.add_argument("--old", required=True, help="the reference build of exeQuelto")
    p.add_argument("--new", required=True, help="the build to check against it")
    p.add_argument("--gen", required=True, help="quelto-gen, to generate the days")
    p.add_argument("--cases", type=int, default=2000, help="generated days (2000)")
    p.add_argument("--seed", type=int, default=1, help="seed of the generated days and mutations (1)")
    p.add_argument("--jobs", type=int, default=2, help="cases run at once (2)")
    p.add_argument("--keep", help="folder receiving the cases that differ (else they stay in the temp folder)")
    p.add_argument("--fuzz-corpus", action="append", nargs="+", default=[], metavar="DIR",
                   help="folders of run fuzz inputs (may be repeated)")
    p.add_argument("--e2e", help="folder of the e2e cases (the repository's tests/data/e2e)")
    p.add_argument("--timeout", type=float, default=60, help="seconds allowed to one run (60)")
    p.add_argument("--big-share", type=float, default=0.0,
                   help="share of the generated days that hold 20 000 to 60 000 vehicles (0)")
    group = p.add_mutually_exclusive_group()
    group.add_argument("--only-gen", action="store_true", help="generated days only")
    group.add_argument("--no-gen", action="store_true", help="no generated days (e2e and fuzz cases only)")
    args = p.parse_args(argv)
    args.fuzz_corpus = [os.path.abspath(d) for group in args.fuzz_corpus for d in group]
    for exe in ("old", "new", "gen"):
        path = os.path.abspath(getattr(args, exe))
        if not os.access(path, os.X_OK):
            p.error("--%s %s is not an executable file" % (exe, path))
        setattr(args, exe, path)
    for d in args.fuzz_corpus:
        if not os.path.isdir(d):
            p.error("--fuzz-corpus %s is not a folder" % d)
    if args.e2e is None:
        args.e2e = os.path.join(REPO, "tests", "data", "e2e")
    elif not os.path.isdir(args.e2e):
        p.error("--e2e %s is not a folder" % args.e2e)
    args.e2e = os.path.abspath(args.e2e)
    if args.cases < 0 or args.jobs < 1:
        p.error("--cases must be at least 0 and --jobs at least 1")
    return args


def run_all(plans, config, jobs):
    """Check every case, jobs at a time; the summaries in case order."""
    results = [None] * len(plans)
    step = max(1, len(plans) // 10)
    with concurrent.futures.ProcessPoolExecutor(max_workers=jobs) as pool:
        futures = {pool.submit(check_case, s, config): i for i, s in enumerate(plans)}
        for done, future in enumerate(concurrent.futures.as_completed(futures), 1):
            results[futures[future]] = future.result()
            if done % step == 0 or done == len(plans):
                print("  %d/%d cases" % (done, len(plans)), flush=True)
    return results


def status_counts(results, which):
    """'0: 812, 255: 1231' for the statuses of one build."""
    c = collections.Counter(str(r[which]) for r in results if which in r)
    return ", ".join("%s: %d" % (s, c[s]) for s in sorted(c, key=lambda s: (not s.isdigit(), s.zfill(12))))


def report(results, elapsed, shown_diffs=5):
    """Print the summary; the exit status of the tool."""
    errors = [r for r in results if r["error"]]
    differing = [r for r in results if r["diff"]]
    kinds = collections.Counter(r["kind"] for r in results)
    mutated = sum(1 for r in results if r["mutations"])
    print("\ncases run: %d (generated %d, of which mutated %d; e2e %d; fuzz %d) in %.0f s"
          % (len(results), kinds["gen"], mutated, kinds["e2e"], kinds["fuzz"], elapsed))
    print("cases that differ: %d" % len(differing))
    print("exit statuses, old: %s" % status_counts(results, "old"))
    print("exit statuses, new: %s" % status_counts(results, "new"))
    for kind in ("gen", "e2e", "fuzz"):
        sub = [r for r in results if r["kind"] == kind]
        if sub:
            print("  %-4s old statuses: %s" % (kind, status_counts(sub, "old")))
    applied = collections.defaultdict(collections.Counter)
    for r in results:
        for name in set(r["mutations"]):
            applied[name][str(r.get("old"))] += 1
    if applied:
        print("mutations (cases; old statuses):")
        for name, _, _ in MUTATIONS:
            c = applied.get(name, collections.Counter())
            print("  %-22s %5d; %s" % (name, sum(c.values()), ", ".join("%s: %d" % kv for kv in sorted(c.items()))))
    for r in differing[:shown_diffs]:
        print("\n=== %s differs (kept in %s)" % (r["id"], r["folder"]))
        print(r["diff"], end="")
    if len(differing) > shown_diffs:
        print("\n... and %d more differing cases" % (len(differing) - shown_diffs))
    for r in errors[:shown_diffs]:
        print("\n!!! %s could not be checked (left in %s): %s" % (r["id"], r["folder"], r["error"]))
    if errors:
        print("cases that could not be checked: %d" % len(errors))
        return 2
    return 1 if differing else 0


def main(argv):
    args = parse_args(argv)
    plans = case_specs(args)
    root = tempfile.mkdtemp(prefix="compare-runs-")
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)
    config = {"old": args.old, "new": args.new, "gen": args.gen, "root": root,
              "keep": os.path.abspath(args.keep) if args.keep else None, "timeout": args.timeout}
    print("comparing %s (old) and %s (new) on %d cases, seed %d, in %s"
          % (args.old, args.new, len(plans), args.seed, root), flush=True)
    start = time.monotonic()
    results = run_all(plans, config, args.jobs)
    status = report(results, time.monotonic() - start)
    if not os.listdir(root):
        os.rmdir(root)
    else:
        print("\nleft in %s" % root)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
