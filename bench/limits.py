#!/usr/bin/env python3
"""The sizes ruk must take in its stride: runs each generated program once and prints its
time, peak memory and whether it ended as it must.

Each workload is a program written into a temporary directory (some are 100 MB and more,
so none is kept in the repository), run by ruk with its exit status checked against the
known result: a program that runs must compute its value, one that cannot must end in a
report or in "ruk: out of memory" with status 128, never in a signal. The table is the
record of the limits that docs/language.md states; the measured figures go into the notes
of the change that moves them.

Usage: bench/limits.py RUK [name-filter ...]
"""
import os
import subprocess
import sys
import tempfile
import time

TIMEOUT = 900


def chain_definitions(n):
    """n definitions, each calling the next: name i adds one and calls name i+1."""
    def name(i):
        s = ""
        while True:
            s = chr(97 + i % 26) + s
            i //= 26
            if not i:
                return "zq" + s
    defs = [f"{name(i)}\\x\\{name(i + 1)}(x+1)" for i in range(n)] + [f"{name(n)}\\x\\x"]
    return "a\\" + name(0) + " 0," + ",".join(defs)


def nested(opener, closer, depth, core):
    return "a\\" + opener * depth + core + closer * depth


# name -> (a function making the program text, the expected exit status, a note)
WORKLOADS = {
    "parens-1e6": (lambda: nested("(", ")", 10**6, "5"), 5, "10^6 nested parentheses"),
    "calls-1e6": (lambda: "a\\" + "I(" * 10**6 + "5" + ")" * 10**6, 5, "10^6 nested call lists"),
    "texts-1e6": (lambda: "a\\rank" + nested("[", "]", 10**6, "x")[2:], (2 * 10**6 + 1) % 256,
                  "a text of 10^6 nested brackets"),
    "braces-1e6": (lambda: "a\\" + "x{1}" * 10**6 + "x", 1, "10^6 nested brace steps"),
    "chain-1e6": (lambda: "a\\0" + "+1" * 10**6, 10**6 % 256, "an operator chain of 10^6"),
    "powers-1e6": (lambda: "a\\1" + "^1" * 10**6, 1, "a right-nested chain of 10^6 powers"),
    "parens-2e7": (lambda: nested("(", ")", 2 * 10**7, "5"), 5, "2*10^7 nested parentheses"),
    "unused-100mb": (lambda: "a\\0,xx\\1" + "+1" * (50 * 10**6), 0,
                     "a 100 MB definition that is never used"),
    "sum-100mb": (lambda: "a\\1" + "+1" * (50 * 10**6), (50 * 10**6 + 1) % 256,
                  "a 100 MB sum, computed"),
    "digits-1e7": (lambda: "a\\x{10^9999999+1}y{x*x}y%1000", 1,
                   "a 10^7-digit integer squared"),
    "definitions-1e6": (lambda: chain_definitions(10**6), 10**6 % 256,
                        "10^6 definitions, each called once"),
    "recursion-1e8": (lambda: "a\\st 100000000,st\\n\\n<1?0?1+st(n-1)", 10**8 % 256,
                      "recursion 10^8 deep (not in tail position)"),
}


def peak_kib(path):
    try:
        with open(path) as f:
            return int(f.read().split()[-1])
    except (OSError, ValueError, IndexError):
        return 0


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    ruk, patterns = sys.argv[1], sys.argv[2:]
    has_time = os.path.exists("/usr/bin/time")
    failures = []
    print(f"{'workload':<16} {'status':>8} {'seconds':>8} {'peak MiB':>9}  what")
    with tempfile.TemporaryDirectory() as tmp:
        for name, (make, expected, note) in WORKLOADS.items():
            if patterns and not any(p in name for p in patterns):
                continue
            program = os.path.join(tmp, name + ".ruk")
            with open(program, "w") as f:
                f.write(make())
            rss = os.path.join(tmp, "rss")
            cmd = ([ "/usr/bin/time", "-f", "%M", "-o", rss] if has_time else []) + [ruk, program]
            start = time.perf_counter()
            try:
                done = subprocess.run(cmd, capture_output=True, timeout=TIMEOUT, check=False)
                status = done.returncode
                err = done.stderr.decode(errors="replace").strip().splitlines()
            except subprocess.TimeoutExpired:
                status, err = "timeout", []
            seconds = time.perf_counter() - start
            ok = status == expected
            mark = "" if ok else "  !! expected %s%s" % (expected, (": " + err[-1]) if err else "")
            print(f"{name:<16} {status!s:>8} {seconds:8.2f} {peak_kib(rss) / 1024:9.0f}  {note}{mark}",
                  flush=True)
            if not ok:
                failures.append(name)
            os.remove(program)
    if failures:
        print("failed:", " ".join(failures))
        sys.exit(1)


if __name__ == "__main__":
    main()
