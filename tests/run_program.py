#!/usr/bin/env python3
"""Runs one end-to-end program and compares exit status, stdout and stderr with its sidecars.

tests/programs/<topic>/<name>.ruk is run as `ruk <name>.ruk args...` from its own folder.
Sidecars beside it (each optional):
  <name>.args    arguments, one per line
  <name>.stdin   standard input
  <name>.status  expected exit status (default 0)
  <name>.stdout  expected standard output, byte for byte (default empty)
  <name>.stderr  expected standard error, byte for byte (default empty)
When the binary is the counting build (ruk_counted), it writes the number of cells still
live at the end of the run to the file named by RUK_CELLS_FILE; any other number than 0
is a leak and fails the test. A program that leaves through the `exit` builtin writes
nothing, and is not checked.
With RUK_REGEN=1 in the environment the sidecars are rewritten from what the run gave
(check the new output by hand before committing it).
"""
import os
import subprocess
import sys
import tempfile


def read(path, default=b""):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return default


def inputs(base):
    """The arguments (one per line of <base>.args) and the standard input of a program."""
    return [a for a in read(base + ".args").decode().split("\n") if a != ""], read(base + ".stdin")


def main():
    ruk, program = sys.argv[1], os.path.abspath(sys.argv[2])
    base = program[:-len(".ruk")]
    folder = os.path.dirname(program)
    args, stdin = inputs(base)
    with tempfile.TemporaryDirectory() as scratch:
        cells_file = os.path.join(scratch, "cells")
        env = dict(os.environ, RUK_CELLS_FILE=cells_file)
        proc = subprocess.run([ruk, os.path.basename(program)] + args, cwd=folder, env=env,
                              input=stdin, capture_output=True, timeout=50)
        cells_left = read(cells_file, None)
    got = {"status": str(proc.returncode).encode() + b"\n",
           "stdout": proc.stdout, "stderr": proc.stderr}
    if os.environ.get("RUK_REGEN") == "1":
        for key, value in got.items():
            if key == "status" and proc.returncode == 0:
                if os.path.exists(base + ".status"):
                    os.remove(base + ".status")
                continue
            if key != "status" and value == b"":
                if os.path.exists(base + "." + key):
                    os.remove(base + "." + key)
                continue
            with open(base + "." + key, "wb") as f:
                f.write(value)
        print("regenerated", base)
        return 0
    want = {"status": read(base + ".status", b"0\n").strip() + b"\n",
            "stdout": read(base + ".stdout"), "stderr": read(base + ".stderr")}
    failed = False
    if cells_left is not None and cells_left.strip() != b"0":
        failed = True
        print(f"cells left live at the end: {cells_left.strip().decode()}")
    for key in ("status", "stdout", "stderr"):
        if got[key] != want[key]:
            failed = True
            print(f"{key} differs:\n  want {want[key]!r}\n  got  {got[key]!r}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
