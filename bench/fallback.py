#!/usr/bin/env python3
"""How often the compiled engine hands work back to the machine, over the test programs
and the examples.

Runs every program under tests/programs and examples/ with bench/rukstat (which runs the
program in-process and reports what the compiled code did) and prints, per folder and in
all: the programs that ran on the machine alone (those that look at cell identity or
change blobs in place), and for the others the activations entered from the machine, the
calls between compiled definitions, and the terms handed back to the machine.

Usage: bench/fallback.py RUKSTAT [--list]
"""
import collections
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests"))
from run_program import inputs  # noqa: E402  (the one reading of sidecars)


def programs():
    for folder in (os.path.join(ROOT, "tests", "programs"), os.path.join(ROOT, "examples")):
        for dirpath, _, files in sorted(os.walk(folder)):
            for name in sorted(files):
                if name.endswith(".ruk"):
                    yield os.path.join(dirpath, name)


def main():
    rukstat = os.path.abspath(sys.argv[1])
    listing = "--list" in sys.argv
    totals = collections.defaultdict(lambda: collections.Counter())
    for path in programs():
        args, stdin = inputs(path[:-4])
        proc = subprocess.run([rukstat, os.path.basename(path)] + args, cwd=os.path.dirname(path),
                              input=stdin, capture_output=True, timeout=300)
        line = proc.stderr.decode(errors="replace").strip().splitlines()
        fields = dict(f.split("=", 1) for f in (line[-1].split() if line else []) if "=" in f)
        group = os.path.relpath(os.path.dirname(path), ROOT)
        t = totals[group]
        t["programs"] += 1
        if fields.get("report") not in ("Empty", None) and fields.get("steps") == "0":
            t["not run"] += 1  # stopped by the checker
            continue
        if fields.get("engine") == "machine":
            t["machine only"] += 1
            if listing:
                print("machine only:", os.path.relpath(path, ROOT))
            continue
        for key in ("entries", "calls", "handovers"):
            t[key] += int(fields.get(key, 0))
        if listing and int(fields.get("handovers", 0)):
            print(f"handovers {fields['handovers']:>6} of {int(fields['entries']) + int(fields['calls']):>8}"
                  f" activations: {os.path.relpath(path, ROOT)}")
    print(f"{'folder':<28}{'programs':>9}{'checker':>8}{'machine':>8}{'entries':>10}{'calls':>10}"
          f"{'handed':>10}")
    grand = collections.Counter()
    for group in sorted(totals):
        t = totals[group]
        grand.update(t)
        print(f"{group:<28}{t['programs']:>9}{t['not run']:>8}{t['machine only']:>8}{t['entries']:>10}"
              f"{t['calls']:>10}{t['handovers']:>10}")
    print(f"{'all':<28}{grand['programs']:>9}{grand['not run']:>8}{grand['machine only']:>8}"
          f"{grand['entries']:>10}{grand['calls']:>10}{grand['handovers']:>10}")
    activations = grand["entries"] + grand["calls"]
    if activations:
        print(f"terms handed to the machine per compiled activation: "
              f"{grand['handovers'] / activations:.3f}")


if __name__ == "__main__":
    main()
