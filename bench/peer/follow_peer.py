#!/usr/bin/python3
"""The follow question answered in plain Python, as a yardstick for the searches.

Usage: follow_peer.py DATABASE [REQUESTS]

Reads the requests, one per JSON line of REQUESTS (standard input when absent), then the
columns of the kinds they use once (not timed), then answers each request and prints one JSON
line per answer:
{"ms": time to answer, "cpuMs": its processor time, "followDraws": count, "lo": first value,
"counts": [count per value]}.

A request: {"mode": "follow" | "combo", "k": 2, "free": true, "last": true, "n": 3,
"kind": 0..5, "resultKind": 0..5, "ref": [5 values], "positions": [5 booleans],
"start": issue, "end": issue, "sxIni": 1, "dsIni": 1}. "last" is 上期 (lag 1), otherwise
前N期 (lag n).
"""

import json
import pathlib
import sqlite3
import sys
import time
from bisect import bisect_left, bisect_right
from collections import Counter

POSITIONS = 5
KINDS = 6
LETTERS = "ABEFGH"  # number, zodiac, head, tail, digit sum, segment
NUMBER, ZODIAC, HEAD, TAIL, DIGIT_SUM, SEGMENT = range(KINDS)


class History:
    """The draws in issue order: per kind read and row the five values as a tuple."""

    def __init__(self, path, kinds=range(KINDS)):
        kinds = sorted(set(kinds))
        columns = ",".join(
            f"L{p}{LETTERS[kind]}" for kind in kinds for p in range(1, POSITIONS + 1)
        )
        # Read-only: the benchmark holds the database open in write-ahead mode.
        # A file URI, so that characters such as "?" or "%" in the path stay part of it.
        uri = pathlib.Path(path).absolute().as_uri() + "?mode=ro"
        db = sqlite3.connect(uri, uri=True)
        try:
            rows = db.execute(f"SELECT SQQH,{columns} FROM Lishi ORDER BY SQQH").fetchall()
        finally:
            db.close()
        self.issues = [row[0] for row in rows]
        # values[kind][row] is the tuple of the five positions' values of that kind; None for a
        # kind not read.
        self.values = [None] * KINDS
        for at, kind in enumerate(kinds):
            first = 1 + at * POSITIONS
            self.values[kind] = [row[first:first + POSITIONS] for row in rows]


def value_range(kind, sx_ini, ds_ini):
    """The values a draw can hold for the kind, as (lo, hi)."""
    return {
        NUMBER: (1, 15),
        ZODIAC: (sx_ini, sx_ini + 11),
        HEAD: (0, 1),
        TAIL: (0, 9),
        DIGIT_SUM: (1, 9),
        SEGMENT: (ds_ini, ds_ini + 4),
    }[kind]


def follow_matcher(history, req):
    """A test of the earlier draw's row index (-1: none) for the follow search."""
    kind, ref = req["kind"], req["ref"]
    ticked = [p for p in range(POSITIONS) if req["positions"][p]]
    if req["free"]:
        # Every ticked value must occur in the earlier draw, repeated values as often as they
        # are ticked; numbers never repeat within a draw, so one occurrence is enough there.
        need = Counter(ref[p] for p in ticked)
        if kind == NUMBER:
            need = Counter(need.keys())
        values = history.values[kind]

        def matches(earlier):
            if earlier < 0:
                return not need
            row = values[earlier]
            return all(row.count(v) >= n for v, n in need.items())

        return matches

    target = [ref[p] for p in ticked]
    values = history.values[kind]

    def matches_fixed(earlier):
        row = values[earlier] if earlier >= 0 else (0,) * POSITIONS
        return [row[p] for p in ticked] == target

    return matches_fixed


def combination_matcher(history, req):
    """A test for the combination search: some group of k positions agrees."""
    kind, ref, k = req["kind"], req["ref"], req["k"]
    if not 1 <= k <= POSITIONS:
        return lambda earlier: False
    if req["free"]:
        # Some k of the reference values, repetitions counted, occur in the earlier draw:
        # the multiset intersection holds at least k values.
        need = Counter(ref)
        values = history.values[kind]

        def matches(earlier):
            if earlier < 0:
                return False
            row = values[earlier]
            return sum(min(n, row.count(v)) for v, n in need.items()) >= k

        return matches

    values = history.values[kind]

    def matches_fixed(earlier):
        row = values[earlier] if earlier >= 0 else (0,) * POSITIONS
        return sum(a == b for a, b in zip(row, ref)) >= k

    return matches_fixed


def answer(history, req):
    if req["mode"] == "combo":
        matches = combination_matcher(history, req)
    else:
        matches = follow_matcher(history, req)
    lag = 1 if req["last"] else req["n"]
    lo, hi = value_range(req["resultKind"], req.get("sxIni", 1), req.get("dsIni", 1))
    results = history.values[req["resultKind"]]
    issues = history.issues
    start, end = req["start"], req["end"]

    follow_draws = 0
    tally = Counter()
    # Issues ascend: the range is a slice of the rows.
    for j in range(bisect_left(issues, start), bisect_right(issues, end)):
        if matches(j - lag if j >= lag else -1):
            follow_draws += 1
            tally.update(results[j])
    return follow_draws, lo, [tally[v] for v in range(lo, hi + 1)]


def main(argv):
    if len(argv) not in (2, 3):
        print("usage: follow_peer.py DATABASE [REQUESTS]", file=sys.stderr)
        return 2
    source = open(argv[2], encoding="utf-8") if len(argv) == 3 else sys.stdin
    with source:
        requests = [json.loads(line) for line in source if line.strip()]
    # Only the kinds the requests read, as a script written for them would.
    kinds = {k for req in requests for k in (req["kind"], req["resultKind"])}
    try:
        history = History(argv[1], kinds)
    except sqlite3.Error as e:
        print(f"follow_peer.py: cannot read the draws of {argv[1]}: {e}", file=sys.stderr)
        return 1
    for req in requests:
        started, cpu_started = time.perf_counter(), time.process_time()
        follow_draws, lo, counts = answer(history, req)
        ms = (time.perf_counter() - started) * 1000
        cpu_ms = (time.process_time() - cpu_started) * 1000
        print(json.dumps({"ms": ms, "cpuMs": cpu_ms, "followDraws": follow_draws, "lo": lo,
                          "counts": counts}))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
