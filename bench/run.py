#!/usr/bin/env python3
"""Benchmarks: runs each program under bench/programs several times and prints medians.

For every program and every engine asked for: the median wall time of `ruk`, its peak
memory (the largest maximum resident set size of its runs, as GNU time measures it when
/usr/bin/time is there), the machine steps per second (from the
rukstat tool, which runs the same program in-process and counts steps, when the build has
it), and whether every run exited with the low 8 bits of the program's known result. Where
bench/programs has a Python version of the same workload, /usr/bin/python3 runs it in the
same rounds, alternating with ruk (ruk, python, ruk, python, ...), so both medians see the
same machine load; its printed result is checked too, and the table gives the ratio of the
two medians (ruk / CPython, below 1 means ruk is faster). A wrong exit status or a wrong
Python output is marked "!!" in its row, listed again at the end, and makes the script
exit with 1 (after bigcompare.py has run).

Engines: `ruk` runs its compiled engine by default and the plain reduction machine when
RUK_ENGINE=machine is in its environment. "compiled" below means RUK_ENGINE unset (the
default engine of the binary), "machine" means RUK_ENGINE=machine. With both, each round
runs ruk once per engine, then Python, and the summary gives the speed-up of the default
engine over the machine.

The line-feed workload reads a 4 MiB file that this script writes into a temporary
directory (the same bytes every time; removed at the end).

Usage: bench/run.py BUILD_DIR [name-filter ...] [--engines compiled|machine|both] [--runs N]
(with filters, only the programs whose names contain one of them, and no bigcompare.py)
Environment: BENCH_ENGINES (default "compiled"), BENCH_RUNS (default 5); the flags win.
"""
import argparse
import os
import resource
import shlex
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = os.path.join(HERE, "programs")
PYTHON = "/usr/bin/python3"
TIMEOUT = 600
ENGINES = {"compiled": None, "machine": "machine"}  # engine -> value of RUK_ENGINE

# The line-feed workload's input: LINEFEED_BYTES bytes holding LINEFEED_COUNT line feeds.
LINEFEED_BYTES = 4 << 20
LINEFEED_COUNT = 65255
INPUT = "{linefeed-input}"  # stands for the generated file's path in the arguments below

# program -> (its arguments, expected result, Python peer as (script, arguments) or None)
WORKLOADS = {
    "church": ([], 0, ("church.py", [])),
    "deep100000": ([], 5000050000, None),
    "deep1000000": ([], 500000500000, None),
    "deep10000000": ([], 50000005000000, None),
    "linefeeds4m": ([INPUT], LINEFEED_COUNT, ("linefeeds.py", [INPUT])),
    "list6": ([], 500000500000, ("list.py", ["1000000"])),
    "loop6": ([], 500000500000, ("loop.py", ["1000000"])),
    "loop7": ([], 50000005000000, ("loop.py", ["10000000"])),
    "nfib25": ([], 242785, ("nfib.py", ["25"])),
    "nfib27": ([], 635621, ("nfib.py", ["27"])),
    "nfib30": ([], 2692537, ("nfib.py", ["30"])),
}


def linefeed_input(directory):
    """Writes the line-feed workload's input file and returns its path.

    Lines of 0 to 126 bytes taken from a run of every byte value except the line feed, their
    lengths and starting points drawn from a fixed linear congruential sequence; the last
    line is cut at the size and has no line feed of its own."""
    filler = bytes(b for b in range(256) if b != 10) * 2
    out = bytearray()
    x = 20240601
    while len(out) < LINEFEED_BYTES:
        x = (x * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        length, start = (x >> 33) % 127, (x >> 17) % 255
        out += filler[start:start + length]
        out.append(10)
    del out[LINEFEED_BYTES:]
    if out.count(10) != LINEFEED_COUNT:
        sys.exit(f"run.py: the line-feed input has {out.count(10)} line feeds, "
                 f"not {LINEFEED_COUNT}")
    path = os.path.join(directory, "linefeeds4m.txt")
    with open(path, "wb") as f:
        f.write(out)
    return path


def gnu_time():
    """/usr/bin/time when it is GNU time (writes "%M" to a file with -o), else None."""
    path = "/usr/bin/time"
    if not os.path.exists(path):
        return None
    with tempfile.NamedTemporaryFile(mode="r") as probe:
        done = subprocess.run([path, "-f", "%M", "-o", probe.name, "true"],
                              capture_output=True, check=False)
        return path if done.returncode == 0 and probe.read().strip().isdigit() else None


GNU_TIME = gnu_time()


def kill_group(pid, killed):
    killed.set()
    try:
        os.killpg(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def timed(cmd, env=None):
    """Runs cmd; returns (seconds, peak RSS in KiB, exit status, stdout, stderr).

    The peak memory comes from GNU time when /usr/bin/time is there: the resource usage
    that wait4 reports for a child of this script also counts the memory of this script at
    the moment of the fork, which hides everything below some 15 MiB. Without GNU time that
    is what the table shows. The output goes to temporary files, so a chatty program cannot
    block on a full pipe; a run that outlives TIMEOUT is killed, and its exit status is then
    the text "timeout(...)"."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
            tempfile.NamedTemporaryFile(mode="r") as rss:
        if GNU_TIME:
            cmd = [GNU_TIME, "-f", "%M", "-o", rss.name] + cmd
        start = time.perf_counter()
        proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=err, env=env,
                                start_new_session=True)
        killed = threading.Event()
        timer = threading.Timer(TIMEOUT, kill_group, (proc.pid, killed))
        timer.start()
        try:
            _, status, usage = os.wait4(proc.pid, 0)
        finally:
            timer.cancel()
        seconds = time.perf_counter() - start
        proc.returncode = code = os.waitstatus_to_exitcode(status)  # reaped here
        peak = usage.ru_maxrss
        if GNU_TIME:
            # Its last line is the peak; a line before it tells of a signal, in which case
            # time's own status is 128 + the signal.
            lines = rss.read().split()
            if lines and lines[-1].isdigit():
                peak = int(lines[-1])
            if "signal" in lines and code > 128:
                code = 128 - code
        if killed.is_set():
            code = f"timeout({TIMEOUT}s)"
        out.seek(0)
        err.seek(0)
        return (seconds, peak, code,
                out.read().decode(errors="replace"), err.read().decode(errors="replace"))


def engine_env(engine):
    env = dict(os.environ)
    env.pop("RUK_ENGINE", None)
    if ENGINES[engine] is not None:
        env["RUK_ENGINE"] = ENGINES[engine]
    return env


def step_rate(rukstat, argv, env):
    """Millions of machine steps per second from one rukstat run, or "-"."""
    if not os.path.exists(rukstat):
        return "-"
    err = timed([rukstat] + argv, env)[4]
    fields = dict(f.split("=", 1) for f in err.split() if "=" in f)
    try:
        steps, seconds = int(fields["steps"]), float(fields["seconds"])
    except (KeyError, ValueError):
        return "-"
    if steps == 0 or seconds <= 0:
        return "-"
    return f"{steps / seconds / 1e6:.1f}"


def reads_engine_switch(ruk):
    """Whether the binary mentions RUK_ENGINE at all (if not, every engine is one engine)."""
    try:
        with open(ruk, "rb") as f:
            return b"RUK_ENGINE" in f.read()
    except OSError:
        return True


def options():
    parser = argparse.ArgumentParser(
        description="Times the programs of bench/programs beside their CPython peers.")
    parser.add_argument("build", nargs="?", default="build-bench",
                        help="build directory holding ruk (and bench/rukstat)")
    parser.add_argument("patterns", nargs="*", metavar="pattern",
                        help="only programs whose file name contains one of these")
    parser.add_argument("--engines", choices=["compiled", "machine", "both"],
                        default=os.environ.get("BENCH_ENGINES", "compiled"),
                        help="engines to time (default: $BENCH_ENGINES or compiled)")
    parser.add_argument("--runs", type=int, default=int(os.environ.get("BENCH_RUNS", "5")),
                        help="runs of each command (default: $BENCH_RUNS or 5)")
    args = parser.parse_args()
    if args.engines not in ("compiled", "machine", "both"):
        parser.error(f"BENCH_ENGINES={args.engines}: want compiled, machine or both")
    if args.runs < 1:
        parser.error("--runs must be at least 1")
    return args


def status_check(statuses, expected):
    """"ok", or what went wrong, for the exit statuses of the runs of one engine."""
    want = expected & 0xFF
    wrong = sorted({s for s in statuses if s != want}, key=str)
    if not wrong:
        return "ok"
    return f"BAD exit {','.join(map(str, wrong))} want {want}"


def output_check(outputs, expected):
    wrong = sorted({o.strip() for o in outputs if o.strip() != str(expected)})
    if not wrong:
        return "ok"
    shown = ",".join(w[:20] or "(none)" for w in wrong)
    return f"BAD output {shown} want {expected}"


def main():
    args = options()
    ruk = os.path.join(args.build, "ruk")
    rukstat = os.path.join(args.build, "bench", "rukstat")
    if not os.path.exists(ruk):
        sys.exit(f"run.py: no {ruk}")
    engines = list(ENGINES) if args.engines == "both" else [args.engines]
    have_python = os.path.exists(PYTHON)
    names = sorted(f[:-4] for f in os.listdir(PROGRAMS)
                   if f.endswith(".ruk") and (not args.patterns
                                              or any(p in f for p in args.patterns)))
    command = " ".join(
        [f"{k}={shlex.quote(os.environ[k])}" for k in ("BENCH_ENGINES", "BENCH_RUNS", "RUK_ENGINE")
         if k in os.environ] + [shlex.quote(a) for a in [sys.executable] + sys.argv])

    print(f"ruk: {ruk}  runs: {args.runs}  engines: {', '.join(engines)}  "
          f"python: {PYTHON if have_python else 'none'}")
    binary = os.stat(ruk)
    if len(engines) > 1 and not reads_engine_switch(ruk):
        print("note: this ruk never reads RUK_ENGINE, so both engine rows run the same engine")
    header = (f"{'program':<14}{'engine':<10}{'ruk s':>9}{'peak MiB':>10}{'Msteps/s':>10}"
              f"{'python s':>10}{'py MiB':>8}{'ruk/py':>8}  check")
    print(header)
    print("-" * len(header))

    scratch = tempfile.mkdtemp(prefix="ruk-bench-")
    summary = []   # (name, {engine: ruk median}, python median or None, [wrong results])
    failures = []  # (what, stderr line or None) for the end
    try:
        input_path = None
        for name in names:
            ruk_args, expected, peer = WORKLOADS.get(name, ([], None, None))
            if INPUT in ruk_args or (peer and INPUT in peer[1]):
                if input_path is None:
                    input_path = linefeed_input(scratch)
            fill = lambda xs: [input_path if x == INPUT else x for x in xs]
            program = os.path.join(PROGRAMS, name + ".ruk")
            ruk_cmd = [ruk, program] + fill(ruk_args)
            py_cmd = None
            if peer and have_python:
                py_cmd = [PYTHON, os.path.join(PROGRAMS, peer[0])] + fill(peer[1])

            # The rounds: every engine once, then Python once, RUNS times over.
            runs = {engine: [] for engine in engines}
            py_runs = []
            for _ in range(args.runs):
                for engine in engines:
                    runs[engine].append(timed(ruk_cmd, engine_env(engine)))
                if py_cmd:
                    py_runs.append(timed(py_cmd))

            py_median = statistics.median(r[0] for r in py_runs) if py_runs else None
            py_peak = max(r[1] for r in py_runs) / 1024 if py_runs else None
            py_check = output_check([r[3] for r in py_runs], expected) if py_runs else None
            wrong = []
            if py_check and py_check != "ok":
                failures.append((f"{name} python: {py_check}", None))
                wrong.append("python")
            medians = {}
            for engine in engines:
                rs = runs[engine]
                median = statistics.median(r[0] for r in rs)
                medians[engine] = median
                peak = max(r[1] for r in rs) / 1024
                rate = step_rate(rukstat, [program] + fill(ruk_args), engine_env(engine))
                check = ("?? no expected result in WORKLOADS" if expected is None
                         else status_check([r[2] for r in rs], expected))
                if expected is not None and check != "ok":
                    errors = [r[4].strip() for r in rs if r[4].strip()]
                    failures.append((f"{name} {engine}: {check}",
                                     errors[0].splitlines()[0][:120] if errors else None))
                    wrong.append(engine)
                if py_check and py_check != "ok":
                    check += f"; python {py_check}"
                elif py_check:
                    check += "; python ok"
                if wrong:
                    check = "!! " + check
                py_s = f"{py_median:.3f}" if py_median is not None else "-"
                py_m = f"{py_peak:.1f}" if py_peak is not None else "-"
                ratio = f"{median / py_median:.2f}" if py_median else "-"
                print(f"{name:<14}{engine:<10}{median:>9.3f}{peak:>10.1f}{rate:>10}"
                      f"{py_s:>10}{py_m:>8}{ratio:>8}  {check}", flush=True)
            summary.append((name, medians, py_median, wrong))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)

    print()
    print("Summary: ruk median / CPython median (below 1: ruk is faster)"
          + ("; speed-up = machine / compiled" if len(engines) > 1 else ""))
    for name, medians, py_median, wrong in summary:
        parts = []
        for engine in engines:
            if py_median:
                parts.append(f"{engine} {medians[engine] / py_median:.2f}")
            else:
                parts.append(f"{engine} {medians[engine]:.3f} s (no peer)")
        if len(engines) > 1 and medians["compiled"] > 0:
            parts.append(f"speed-up {medians['machine'] / medians['compiled']:.2f}x")
        if wrong:
            parts.append(f"!! WRONG RESULT from {', '.join(wrong)}")
        print(f"  {name:<14}" + "   ".join(parts))
    if failures:
        print()
        print(f"!! WRONG RESULTS ({len(failures)}):")
        for what, stderr_line in failures:
            print(f"  {what}")
            if stderr_line:
                print(f"      stderr: {stderr_line}")
    now = os.stat(ruk)
    if (now.st_mtime_ns, now.st_size, now.st_ino) != (binary.st_mtime_ns, binary.st_size,
                                                       binary.st_ino):
        print()
        print(f"!! {ruk} was rebuilt during the run: the rows above may mix two binaries "
              "(benchmark a copy of it)")
    print()
    print(f"command: {command}")
    sys.stdout.flush()

    # Big-number arithmetic beside CPython and GMP: its own table (bench/bigcompare.py).
    if not args.patterns:
        subprocess.run([sys.executable, os.path.join(HERE, "bigcompare.py"), args.build],
                       check=False)
    return 1 if failures else 0


if __name__ == "__main__":
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
    sys.exit(main())
