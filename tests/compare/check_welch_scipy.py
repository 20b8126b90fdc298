#!/usr/bin/python3
"""Checks brisk's Welch test against SciPy's.

Runs the probe (tests/compare/probe/welch_probe.cpp) on a set of sample pairs
and compares its change, p-value, 95% interval and degrees of freedom with
scipy.stats.ttest_ind(base, other, equal_var=False); the interval comes from
scipy.stats.t.ppf at the Welch degrees of freedom (SciPy 1.10's ttest_ind has
no confidence_interval). Where SciPy gives nan (no variance on either side),
the documented values are checked instead.

Usage: /usr/bin/python3 tests/compare/check_welch_scipy.py --probe PATH
"""
import argparse
import math
import subprocess
import sys
import warnings

import numpy as np
from scipy import stats

REL = 1e-9

# (name, base, other)
CASES = [
    ("2 vs 2", [429.87, 431.5], [515.84, 512.1]),
    ("3 vs 3", [429.87, 431.23, 428.5], [515.84, 517.0, 514.9]),
    ("3 vs 3 overlapping", [100.0, 104.0, 98.0], [101.0, 97.0, 103.5]),
    ("3 vs 10", [300.1, 310.4, 305.2],
     [299.0, 301.5, 298.7, 303.3, 300.0, 302.2, 297.9, 301.1, 300.6, 299.8]),
    ("5 vs 5", [812.5, 815.0, 809.9, 811.2, 813.7], [798.1, 801.4, 799.9, 797.5, 800.2]),
    ("large scores", [100000.0, 100250.5, 99875.25], [101000.0, 100990.5, 101020.75]),
    ("nearly equal", [250.0, 250.000001, 249.999999], [250.0000005, 250.0000015, 249.9999995]),
    ("slower 4 vs 6", [1000.0, 1010.0, 995.0, 1005.0],
     [940.0, 950.0, 945.0, 938.0, 952.0, 947.0]),
    ("40 vs 35", list(np.linspace(400.0, 420.0, 40)),
     list(np.linspace(401.0, 423.0, 35))),
    ("base without variance", [500.0, 500.0, 500.0], [505.0, 507.5, 503.0]),
    ("other without variance", [505.0, 507.5, 503.0, 506.0], [500.0, 500.0]),
]

# Cases where SciPy has no answer: (name, base, other, expected probe output).
DOCUMENTED = [
    ("identical, no variance", [100.0, 100.0, 100.0], [100.0, 100.0, 100.0],
     (0.0, 1.0, 0.0, 0.0, 0.0)),
    ("0.1 thrice, no variance", [0.1, 0.1, 0.1], [0.1, 0.1], (0.0, 1.0, 0.0, 0.0, 0.0)),
    ("different means, no variance", [200.0, 200.0], [210.0, 210.0, 210.0],
     (5.0, 0.0, 5.0, 5.0, 0.0)),
    ("same scores in another order", [101.0, 99.5, 100.25], [100.25, 101.0, 99.5], None),
    ("one score on a side", [100.0], [101.0, 102.0], "none"),
    ("no score", [], [101.0, 102.0], "none"),
]


def close(a, b, abs_tol=0.0):
    return math.isclose(a, b, rel_tol=REL, abs_tol=abs_tol)


def scipy_expect(base, other):
    # SciPy warns of precision loss on the nearly equal samples; its answer is
    # still the reference.
    warnings.simplefilter("ignore", RuntimeWarning)
    a = np.asarray(base, dtype=float)
    b = np.asarray(other, dtype=float)
    res = stats.ttest_ind(b, a, equal_var=False)
    va, vb = a.var(ddof=1) / a.size, b.var(ddof=1) / b.size
    df = (va + vb) ** 2 / (va ** 2 / (a.size - 1) + vb ** 2 / (b.size - 1))
    se = math.sqrt(va + vb)
    q = stats.t.ppf(0.975, df)
    diff = b.mean() - a.mean()
    return ((b.mean() / a.mean() - 1.0) * 100.0, float(res.pvalue),
            (diff - q * se) / a.mean() * 100.0, (diff + q * se) / a.mean() * 100.0, df)


def run_probe(probe, cases):
    text = "".join(" ".join(repr(x) for x in base) + " | " + " ".join(repr(x) for x in other) + "\n"
                   for _, base, other, *_ in cases)
    out = subprocess.run([probe], input=text, capture_output=True, text=True, timeout=60,
                         check=True).stdout.splitlines()
    if len(out) != len(cases):
        raise SystemExit(f"welch: the probe printed {len(out)} lines for {len(cases)} cases")
    return out


def parse(line):
    return None if line == "none" else tuple(float(x) for x in line.split())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--probe", required=True)
    args = parser.parse_args()
    passed = failed = 0
    names = ("change", "p", "ci low", "ci high", "df")
    # Percent values near 0 are compared absolutely: their relative error is
    # that of two nearly equal means.
    abs_tols = (1e-10, 1e-15, 1e-10, 1e-10, 0.0)

    for (name, base, other), line in zip(CASES, run_probe(args.probe, CASES)):
        got, want = parse(line), scipy_expect(base, other)
        bad = [f"{n} {g!r} vs scipy {w!r}" for n, g, w, t in zip(names, got or (), want, abs_tols)
               if not close(g, w, t)] if got else ["probe gave none"]
        passed, failed = (passed + 1, failed) if not bad else (passed, failed + 1)
        if bad:
            print(f"FAIL {name}: " + "; ".join(bad))

    for (name, base, other, expected), line in zip(DOCUMENTED, run_probe(args.probe, DOCUMENTED)):
        got = parse(line)
        if expected == "none":
            ok = got is None
        elif expected is None:  # same multiset: change exactly 0 and p exactly 1
            ok = got is not None and got[0] == 0.0 and got[1] == 1.0
        else:
            ok = got is not None and all(close(g, w, 1e-12) for g, w in zip(got, expected))
        passed, failed = (passed + 1, failed) if ok else (passed, failed + 1)
        if not ok:
            print(f"FAIL {name}: probe gave {line!r}, expected {expected!r}")

    print(f"welch: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
