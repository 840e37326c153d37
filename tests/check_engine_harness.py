#!/usr/bin/env python3
"""Checks that the engine comparisons (run_engines.py, gen_programs.py) catch what they are for.

usage: check_engine_harness.py RUK

Both scripts are run against stand-ins for RUK: small wrappers that run the real binary,
always on its reduction machine so that a fault of the compiled engine cannot disturb these
checks, and that misbehave in one way, so that each kind of fault must be reported:
  - the machine engine (RUK_ENGINE=machine) prints one byte more: a difference, even when
    the caller's own environment already has RUK_ENGINE=machine;
  - the machine engine gives another exit status;
  - both engines die of a signal alike: a crash;
  - both engines hang alike: a timeout.
A stand-in that does not misbehave must pass, and a program that creates a file in its
folder must see the same fresh folder under both engines.
"""
import os
import signal
import stat
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
failures = []

WRAPPER = """#!{python}
import os, signal, subprocess, sys, time
mode = {mode!r}
machine = os.environ.get("RUK_ENGINE") == "machine"
if mode == "crash":
    os.kill(os.getpid(), signal.SIGSEGV)
if mode == "hang":
    time.sleep(30)
proc = subprocess.run([{real!r}] + sys.argv[1:], stdin=sys.stdin, capture_output=True,
                      env=dict(os.environ, RUK_ENGINE="machine"))
sys.stdout.buffer.write(proc.stdout + (b"x" if machine and mode == "extra_byte" else b""))
sys.stderr.buffer.write(proc.stderr)
sys.exit((proc.returncode + 1) % 256 if machine and mode == "status" else proc.returncode)
"""

# Creates the file "marker" in its folder and says whether it was there already.
FRESH_FOLDER = (
    "a\\f{fopen(init [marker], init [rb])}\n"
    "(f=0) (g{fopen(init [marker], init [wb])}c{fclose g}w{puts(init [fresh])}0)"
    " (c{fclose f}w{puts(init [seen])}1)\n")


def wrapper(folder, real, mode):
    path = os.path.join(folder, f"ruk-{mode}")
    with open(path, "w") as f:
        f.write(WRAPPER.format(python=sys.executable, mode=mode, real=real))
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
    return path


def run(args, env=None):
    return subprocess.run([sys.executable] + args, capture_output=True, text=True,
                          env=env, timeout=600)


def expect(what, proc, ok, *words):
    out = proc.stdout + proc.stderr
    if (proc.returncode == 0) != ok:
        failures.append(f"{what}: exit status {proc.returncode}, wanted "
                        f"{'0' if ok else 'non-zero'}\n{out[-2000:]}")
        return
    for word in words:
        if word not in out:
            failures.append(f"{what}: the output does not mention {word!r}\n{out[-2000:]}")


def main():
    real = os.path.abspath(sys.argv[1])
    run_engines = os.path.join(HERE, "run_engines.py")
    gen = os.path.join(HERE, "gen_programs.py")
    with tempfile.TemporaryDirectory(prefix="ruk-harness-") as tmp:
        programs = os.path.join(tmp, "programs", "topic")
        os.makedirs(programs)
        with open(os.path.join(programs, "fresh_folder.ruk"), "w") as f:
            f.write(FRESH_FOLDER)
        with open(os.path.join(programs, "sum.ruk"), "w") as f:
            f.write("a\\w{puts(init [sum])}sm 10,sm\\n\\(n<1)?0?(n+sm(n-1))\n")
        top = os.path.dirname(programs)
        gen_args = ["--seed", "5", "--count", "4", "--timeout", "5"]
        machine_env = dict(os.environ, RUK_ENGINE="machine")

        same = wrapper(tmp, real, "same")
        expect("run_engines, no fault", run([run_engines, same, top]), True,
               "2 programs run on both engines, 0 problems")
        expect("gen_programs, no fault", run([gen, "--ruk", same] + gen_args), True,
               "4 programs of seed 5 run, 0 with problems")
        if os.path.exists(os.path.join(programs, "marker")):
            failures.append("run_engines ran a program in its own folder, not in a copy")

        extra = wrapper(tmp, real, "extra_byte")
        expect("run_engines, one more byte from the machine",
               run([run_engines, extra, top]), False, "fresh_folder.ruk: stdout differs",
               "topic/sum.ruk: stdout differs")
        expect("run_engines, one more byte from the machine, RUK_ENGINE=machine around",
               run([run_engines, extra, top], env=machine_env), False, "stdout differs")
        expect("gen_programs, one more byte from the machine",
               run([gen, "--ruk", extra] + gen_args, env=machine_env), False, "stdout differs",
               "4 programs of seed 5 run, 4 with problems")

        status = wrapper(tmp, real, "status")
        expect("run_engines, another status from the machine", run([run_engines, status, top]),
               False, "exit status differs")
        expect("gen_programs, another status from the machine",
               run([gen, "--ruk", status] + gen_args), False, "exit status: machine")

        crash = wrapper(tmp, real, "crash")
        expect("run_engines, both engines crash", run([run_engines, crash, top]), False,
               f"killed by signal {int(signal.SIGSEGV)}")
        expect("gen_programs, both engines crash", run([gen, "--ruk", crash] + gen_args),
               False, f"the machine engine: signal {int(signal.SIGSEGV)}",
               f"the compiled engine: signal {int(signal.SIGSEGV)}")

        hang = wrapper(tmp, real, "hang")
        expect("run_engines, both engines hang",
               run([run_engines, "--timeout", "1", hang, top]), False,
               "found no end within the timeout")
        expect("gen_programs, both engines hang",
               run([gen, "--ruk", hang, "--seed", "5", "--count", "2", "--timeout", "1"]),
               False, "the machine engine: timeout", "the compiled engine: timeout")
    for failure in failures:
        print(failure)
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
