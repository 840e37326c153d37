#!/usr/bin/env python3
"""Big-number arithmetic side by side: ruk's engine, CPython's int and GMP.

Runs the four workloads (a product of two 100,000-digit numbers, 2^100000, 20000! by
repeated multiplication, a 200,000-digit number divided by a 100,000-digit one) in one go:
ruk through the Compare benchmarks of BUILD_DIR/bench/bigint_bench (always decimal text
in and out), /usr/bin/python3 on bench/programs/big_ops.py, and, where a C compiler finds
GMP, bench/programs/big_ops.c compiled against it (a comparison only; ruk never links
GMP). CPython and GMP are timed twice: with decimal text in and out like ruk ("text"),
and on their binary numbers alone ("op"). Times are medians in milliseconds.

Usage: bench/bigcompare.py BUILD_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = os.path.join(HERE, "programs")
PYTHON = "/usr/bin/python3"
RUNS = int(os.environ.get("BENCH_RUNS", "3"))
TIMEOUT = 600

# workload -> the ruk benchmark that runs it
WORKLOADS = [
    ("multiply100k", "BM_CompareMultiply100k"),
    ("power2^100000", "BM_ComparePower2To100000"),
    ("factorial20000", "BM_CompareFactorial20000"),
    ("divide200k/100k", "BM_CompareDivide200kBy100k"),
]


def ruk_times(build):
    """workload -> median milliseconds, from the benchmark executable."""
    exe = os.path.join(build, "bench", "bigint_bench")
    if not os.path.exists(exe):
        return {}
    out = subprocess.run(
        [exe, "--benchmark_filter=^BM_Compare", f"--benchmark_repetitions={max(RUNS, 3)}",
         "--benchmark_report_aggregates_only=true", "--benchmark_format=json"],
        capture_output=True, text=True, timeout=TIMEOUT, check=True).stdout
    medians = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            scale = {"ms": 1.0, "us": 1e-3, "ns": 1e-6, "s": 1e3}[b["time_unit"]]
            medians[b["run_name"]] = b["real_time"] * scale
    return {w: medians[name] for w, name in WORKLOADS if name in medians}


def peer_times(cmd):
    """(workload, kind) -> median milliseconds, from a program printing seconds."""
    out = subprocess.run(cmd + [str(RUNS)], capture_output=True, text=True, timeout=TIMEOUT,
                         check=True).stdout
    times = {}
    for line in out.splitlines():
        workload, kind, seconds = line.split()
        times[(workload, kind)] = float(seconds) * 1e3
    return times


def gmp_program(workdir):
    """The GMP program compiled into workdir, or None where there is no GMP."""
    cc = shutil.which("cc") or shutil.which("gcc")
    if not cc:
        return None
    exe = os.path.join(workdir, "big_ops_gmp")
    built = subprocess.run([cc, "-O2", os.path.join(PROGRAMS, "big_ops.c"), "-lgmp", "-o", exe],
                           capture_output=True)
    return exe if built.returncode == 0 else None


def cell(value):
    return f"{value:>10.2f}" if value is not None else f"{'-':>10}"


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build-bench"
    ruk = ruk_times(build)
    python = peer_times([PYTHON, os.path.join(PROGRAMS, "big_ops.py")]) \
        if os.path.exists(PYTHON) else {}
    with tempfile.TemporaryDirectory() as workdir:
        exe = gmp_program(workdir)
        gmp = peer_times([exe]) if exe else {}
    print()
    print("big numbers, median ms (text: decimal text in and out; op: binary numbers only)")
    print(f"{'workload':<18}{'ruk':>10}{'py text':>10}{'py op':>10}{'gmp text':>10}{'gmp op':>10}"
          f"{'py/ruk':>8}{'ruk/gmp':>9}")
    for workload, _ in WORKLOADS:
        r = ruk.get(workload)
        py = python.get((workload, "text"), python.get((workload, "op")))
        g = gmp.get((workload, "text"), gmp.get((workload, "op")))
        py_ratio = f"{py / r:>8.1f}" if r and py else f"{'-':>8}"
        gmp_ratio = f"{r / g:>9.2f}" if r and g else f"{'-':>9}"
        print(f"{workload:<18}{cell(r)}{cell(python.get((workload, 'text')))}"
              f"{cell(python.get((workload, 'op')))}{cell(gmp.get((workload, 'text')))}"
              f"{cell(gmp.get((workload, 'op')))}{py_ratio}{gmp_ratio}", flush=True)
    if not gmp:
        print("(GMP not found: its columns are empty)")


if __name__ == "__main__":
    main()
