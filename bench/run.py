#!/usr/bin/env python3
"""Benchmarks: runs each program under bench/programs several times and prints medians.

For every program: the median wall time of `ruk`, its peak memory (maximum resident set
size), the machine steps per second (from the rukstat tool, which runs the same program
in-process and counts steps), and, where bench/programs has a Python version of the same
workload, the median wall time of /usr/bin/python3 on it.

Usage: bench/run.py BUILD_DIR [name-filter]
"""
import os
import resource
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = os.path.join(HERE, "programs")
PYTHON = "/usr/bin/python3"

# program -> (python script, its argument, expected result or None)
PEERS = {
    "nfib25": ("nfib.py", "25", 242785), "nfib27": ("nfib.py", "27", 635621),
    "nfib30": ("nfib.py", "30", 2692537), "loop6": ("loop.py", "1000000", 500000500000),
    "loop7": ("loop.py", "10000000", 50000005000000), "list6": ("list.py", "1000000", 500000500000),
}
RUNS = int(os.environ.get("BENCH_RUNS", "3"))
TIMEOUT = 600


def timed(cmd):
    """Runs cmd; returns (seconds, peak RSS in KiB, exit status, stderr)."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    return seconds, usage.ru_maxrss, os.waitstatus_to_exitcode(status), err


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build-bench"
    pattern = sys.argv[2] if len(sys.argv) > 2 else ""
    ruk = os.path.join(build, "ruk")
    rukstat = os.path.join(build, "bench", "rukstat")
    names = sorted(f[:-4] for f in os.listdir(PROGRAMS) if f.endswith(".ruk") and pattern in f)
    print(f"{'program':<16}{'median s':>10}{'peak MiB':>10}{'status':>8}{'Msteps/s':>10}"
          f"{'python s':>10}")
    for name in names:
        path = os.path.join(PROGRAMS, name + ".ruk")
        runs = [timed([ruk, path]) for _ in range(RUNS)]
        median = statistics.median(r[0] for r in runs)
        peak = max(r[1] for r in runs) / 1024
        status = runs[0][2]
        rate = "-"
        if os.path.exists(rukstat):
            _, _, _, err = timed([rukstat, path])
            fields = dict(f.split("=", 1) for f in err.split() if "=" in f)
            if "steps" in fields and float(fields["seconds"]) > 0:
                rate = f"{int(fields['steps']) / float(fields['seconds']) / 1e6:.1f}"
        peer = "-"
        if name in PEERS and os.path.exists(PYTHON):
            script, arg, _ = PEERS[name]
            times = [timed([PYTHON, os.path.join(PROGRAMS, script), arg])[0] for _ in range(RUNS)]
            peer = f"{statistics.median(times):.3f}"
        print(f"{name:<16}{median:>10.3f}{peak:>10.1f}{status:>8}{rate:>10}{peer:>10}",
              flush=True)
    # Big-number arithmetic beside CPython and GMP: its own table (bench/bigcompare.py).
    if not pattern:
        subprocess.run([sys.executable, os.path.join(HERE, "bigcompare.py"), build], check=False)


if __name__ == "__main__":
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
    main()
