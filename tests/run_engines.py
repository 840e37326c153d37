#!/usr/bin/env python3
"""Runs every program under the given folders on both evaluation engines and compares them.

usage: run_engines.py [--timeout SECONDS] [--jobs N] RUK DIR...

Every `*.ruk` file under each DIR (searched recursively) is run twice, as
`ruk <name>.ruk args...` from its own folder: once with RUK_ENGINE=machine (the plain
reduction machine) and once without RUK_ENGINE (the compiled engine). Sidecars beside the
program give its arguments (`<name>.args`, one per line) and its standard input
(`<name>.stdin`); both runs get the same ones. The exit status, standard output and standard
error of the two runs must be equal byte for byte.

Each run works in a fresh copy of the program's folder (without the other programs there)
at the same temporary path, so a program that writes, renames or removes files sees the
same folder both times, and a program that prints a path prints the same one.

A run that ends by a signal is a failure even when both engines agree, unless the program's
`<name>.status` sidecar expects exactly that (negative) status. A run that outlives the
timeout is a failure too. Problems are printed as each program finishes.
"""
import argparse
import concurrent.futures
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import threading

MACHINE = "machine"
COMPILED = "compiled"
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_program import inputs, read  # noqa: E402  (the one reading of sidecars)

KEPT = 1 << 20  # bytes of each output stream kept for showing a difference


def engine_env(engine):
    env = dict(os.environ)
    env.pop("RUK_ENGINE", None)
    if engine == MACHINE:
        env["RUK_ENGINE"] = MACHINE
    return env


class Stream:
    """An output stream of a run: its length and digest, and its first KEPT bytes, so that
    a run that prints without end cannot fill the memory before its timeout."""

    def __init__(self):
        self.head = bytearray()
        self.size = 0
        self.digest = hashlib.sha256()

    def drain(self, pipe):
        for chunk in iter(lambda: pipe.read(65536), b""):
            self.size += len(chunk)
            self.digest.update(chunk)
            if len(self.head) < KEPT:
                self.head += chunk[:KEPT - len(self.head)]

    def __eq__(self, other):
        return self.size == other.size and self.digest.digest() == other.digest.digest()

    def bytes(self):
        return bytes(self.head)


class Outcome:
    """What one run gave: an exit status (negative for a signal), or a timeout."""

    def __init__(self, status, stdout, stderr, timed_out):
        self.status, self.stdout, self.stderr, self.timed_out = status, stdout, stderr, timed_out

    def describe(self):
        if self.timed_out:
            return "no end within the timeout"
        if self.status < 0:
            return f"killed by signal {-self.status}"
        return f"status {self.status}"


def run_bounded(command, cwd, stdin, env, timeout):
    """Runs the command with the given standard input; kills it at the timeout."""
    proc = subprocess.Popen(command, cwd=cwd, env=env, stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out, err = Stream(), Stream()

    def feed():
        try:
            proc.stdin.write(stdin)
            proc.stdin.close()
        except (BrokenPipeError, OSError):
            pass  # the program ended, or closed its input, before reading it all
    threads = [threading.Thread(target=feed),
               threading.Thread(target=out.drain, args=(proc.stdout,)),
               threading.Thread(target=err.drain, args=(proc.stderr,))]
    for t in threads:
        t.start()
    timed_out = False
    try:
        proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        timed_out = True
        proc.kill()
        proc.wait()
    for t in threads:
        t.join()
    proc.stdout.close()
    proc.stderr.close()
    return Outcome(proc.returncode, out, err, timed_out)


SIDECARS = (".ruk", ".args", ".stdin", ".status", ".stdout", ".stderr")


def others(program):
    """What copytree leaves out of the copy of the program's folder: the other programs
    there and their sidecars (a folder of thousands of programs is copied for each one)."""
    folder = os.path.dirname(program)
    own = os.path.basename(program)[:-len(".ruk")]

    def ignore(directory, names):
        if os.path.abspath(directory) != folder:
            return []
        stems = {n[:-len(".ruk")] for n in names if n.endswith(".ruk")} - {own}
        return [n for n in names if os.path.splitext(n)[1] in SIDECARS
                and os.path.splitext(n)[0] in stems]
    return ignore


def run_once(ruk, program, args, stdin, engine, work, timeout):
    """Runs the program in a fresh copy of its folder at `work`, then removes the copy."""
    folder = os.path.dirname(program)
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(folder, work, symlinks=True, ignore=others(program))
    try:
        return run_bounded([ruk, os.path.basename(program)] + args, work, stdin,
                           engine_env(engine), timeout)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def shown(data, limit=400):
    text = repr(data)
    return text if len(text) <= limit else text[:limit] + "..."


def stream_difference(key, machine, compiled):
    """How two different output streams differ, from the first differing byte on."""
    a, b = machine.bytes(), compiled.bytes()
    at = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
    if a == b:
        return (f"{key} differs after the first {len(a)} bytes "
                f"({machine.size} bytes from machine, {compiled.size} from compiled)")
    return (f"{key} differs from byte {at} on "
            f"({machine.size} bytes from machine, {compiled.size} from compiled)"
            f"\n  machine  {shown(a[at:])}\n  compiled {shown(b[at:])}")


def compare(name, expected_signal, machine, compiled):
    """The list of problems of one program; empty when the engines agree and both ended."""
    problems = []
    for engine, outcome in ((MACHINE, machine), (COMPILED, compiled)):
        if outcome.timed_out:
            problems.append(f"{name}: the {engine} engine found no end within the timeout")
        elif outcome.status < 0 and outcome.status != expected_signal:
            problems.append(f"{name}: the {engine} engine was killed by signal {-outcome.status}"
                            f"\n  stderr {shown(outcome.stderr.bytes())}")
    if machine.timed_out or compiled.timed_out:
        return problems
    if machine.status != compiled.status:
        problems.append(f"{name}: exit status differs: machine {machine.describe()}, "
                        f"compiled {compiled.describe()}")
    for key in ("stdout", "stderr"):
        if getattr(machine, key) != getattr(compiled, key):
            problems.append(f"{name}: " + stream_difference(key, getattr(machine, key),
                                                            getattr(compiled, key)))
    return problems


def check_program(ruk, program, root, timeout, scratch, index):
    base = program[:-len(".ruk")]
    args, stdin = inputs(base)
    expected_signal = None
    status_text = read(base + ".status").strip()
    if status_text.startswith(b"-"):
        expected_signal = int(status_text)
    name = os.path.relpath(program, root)
    work = os.path.join(scratch, str(index), os.path.basename(os.path.dirname(program)))
    os.makedirs(os.path.dirname(work), exist_ok=True)
    machine = run_once(ruk, program, args, stdin, MACHINE, work, timeout)
    compiled = run_once(ruk, program, args, stdin, COMPILED, work, timeout)
    return compare(name, expected_signal, machine, compiled)


def find_programs(folder):
    found = []
    for top, dirs, files in os.walk(folder):
        dirs.sort()
        found += [os.path.join(top, f) for f in sorted(files) if f.endswith(".ruk")]
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("ruk")
    parser.add_argument("dirs", nargs="+")
    parser.add_argument("--timeout", type=float, default=120, help="seconds per run")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    options = parser.parse_args()
    ruk = os.path.abspath(options.ruk)

    work = []
    for folder in options.dirs:
        folder = os.path.abspath(folder)
        root = os.path.dirname(folder)
        programs = find_programs(folder)
        if not programs:
            print(f"no programs under {folder}")
            return 1
        work += [(program, root) for program in programs]

    problems = 0
    with tempfile.TemporaryDirectory(prefix="ruk-engines-") as scratch:
        with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, options.jobs)) as pool:
            jobs = [pool.submit(check_program, ruk, program, root, options.timeout, scratch, i)
                    for i, (program, root) in enumerate(work)]
            for job in concurrent.futures.as_completed(jobs):
                for problem in job.result():
                    print(problem, flush=True)
                    problems += 1
    print(f"{len(work)} programs run on both engines, {problems} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
