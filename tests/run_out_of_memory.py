#!/usr/bin/env python3
"""Running out of memory ends one way, whatever ran out: what the program wrote so far is
kept, "ruk: out of memory" is the last line on standard error, and the status is 128.

usage: run_out_of_memory.py RUK

Each program runs under an address-space limit (ulimit -v) small enough to reach quickly.
"""
import os
import resource
import subprocess
import sys
import tempfile

LIMIT = 256 << 20

# name: (program, expected stdout)
PROGRAMS = {
    "a number squared forever": (r"a\gg 2,gg\n\gg(n*n)", b""),
    "a power with 600 million digits": (r"a\2^2000000000", b""),
    "texts doubled and all kept": (r"a\tt [ab],tt\x\(tt(x+x))+x", b""),
    "a recursion without end (compiled)": (r"a\rr 0,rr\n\1+(rr(n+1))", b""),
    "output written before memory ran out": (r"a\x{puts (init [hi])}gg 2,gg\n\gg(n*n)", b"hi\n"),
}


def limited():
    resource.setrlimit(resource.RLIMIT_AS, (LIMIT, LIMIT))


def run(ruk, path, env=None):
    return subprocess.run([ruk, path], capture_output=True, preexec_fn=limited, timeout=50,
                          env=env)


def main():
    ruk = sys.argv[1]
    failures = []

    def expect(what, proc, status, stdout, stderr):
        got = (proc.returncode, proc.stdout, proc.stderr)
        if got != (status, stdout, stderr):
            failures.append(f"{what}: want {(status, stdout, stderr)!r}\n  got {got!r}")

    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "p.ruk")
        # the limit leaves room for everyday programs
        with open(path, "w") as f:
            f.write(r"a\2+3")
        expect("a small program under the limit", run(ruk, path), 5, b"", b"")
        for what, (program, stdout) in PROGRAMS.items():
            with open(path, "w") as f:
                f.write(program)
            expect(what, run(ruk, path), 128, stdout, b"ruk: out of memory\n")
        with open(path, "w") as f:
            f.write(PROGRAMS["a recursion without end (compiled)"][0])
        expect("a recursion without end (machine)",
               run(ruk, path, dict(os.environ, RUK_ENGINE="machine")), 128, b"",
               b"ruk: out of memory\n")
    expect("a program file without end", run(ruk, "/dev/zero"), 128, b"",
           b"ruk: out of memory\n")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
