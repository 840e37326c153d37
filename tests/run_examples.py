#!/usr/bin/env python3
"""Runs the programs under examples/ and checks what each one does.

usage: run_examples.py RUK EXAMPLES_DIR

Each check runs `ruk <example>.ruk args...` and compares exit status, standard output and
standard error with what the example must give. The oracles are Python's own: its integers
for factorials, its strerror for the C library's messages, its sockets for the echo
server's client. A listing's order is the file system's, so ls is compared line-set-wise.
"""
import errno
import math
import os
import random
import socket
import subprocess
import sys
import tempfile
import time

RUK = EXAMPLES = None
failures = []


def run(example, args=(), stdin=b"", cwd=None):
    return subprocess.run([RUK, os.path.join(EXAMPLES, example + ".ruk")] + list(args),
                          input=stdin, capture_output=True, cwd=cwd, timeout=120)


def expect(what, got, want):
    if got != want:
        shown_got, shown_want = repr(got), repr(want)
        if len(shown_got) > 300:
            shown_got = shown_got[:300] + "..."
        if len(shown_want) > 300:
            shown_want = shown_want[:300] + "..."
        failures.append(f"{what}:\n  want {shown_want}\n  got  {shown_got}")


def expect_run(what, proc, status=0, stdout=b"", stderr=b""):
    expect(what + " status", proc.returncode, status)
    expect(what + " stdout", proc.stdout, stdout)
    expect(what + " stderr", proc.stderr, stderr)


def check_five():
    expect_run("five", run("five"), status=5)


def check_hello():
    expect_run("hello", run("hello"), stdout=b"Hello, world!\n")


def check_args():
    args = ["one", "two words", "", "ünïcode", "-x"]
    expect_run("args", run("args", args), stdout="".join(a + "\n" for a in args).encode())
    expect_run("args without any", run("args"))


def check_fact():
    for n in (0, 1, 5, 20, 21, 100, 1000):
        expect_run(f"fact {n}", run("fact", [str(n)]),
                   stdout=str(math.factorial(n)).encode() + b"\n")
    expect_run("fact without a number", run("fact"), status=2,
               stderr=b"usage: ruk fact.ruk number\n")


def check_cat(tmp):
    rng = random.Random(7)
    first = bytes(range(256)) * 3 + bytes(rng.randrange(256) for _ in range(200000))
    second = b"last line without a line feed\0\r"
    paths = [os.path.join(tmp, "first.bin"), os.path.join(tmp, "second.bin")]
    for path, data in zip(paths, (first, second)):
        with open(path, "wb") as f:
            f.write(data)
    expect_run("cat two files", run("cat", paths), stdout=first + second)
    expect_run("cat standard input", run("cat", stdin=second), stdout=second)
    expect_run("cat empty file", run("cat", [os.devnull]))
    missing = os.path.join(tmp, "missing")
    message = f"{missing}: {os.strerror(errno.ENOENT)}\n{tmp}: {os.strerror(errno.EISDIR)}\n"
    expect_run("cat with failures", run("cat", [paths[1], missing, tmp, paths[1]]), status=1,
               stdout=second + second, stderr=message.encode())


def check_ls(tmp):
    top = os.path.join(tmp, "listing")
    os.mkdir(top)
    os.mkdir(os.path.join(top, "sub"))
    with open(os.path.join(top, "plain.txt"), "w") as f:
        f.write("x")
    os.symlink("plain.txt", os.path.join(top, "link"))
    want = sorted([b"d .", b"d ..", b"d sub", b"- plain.txt", b"l link"])
    for args, cwd in (([top], None), ([top + "/"], None), ([], top)):
        proc = run("ls", args, cwd=cwd)
        expect(f"ls {args} status", proc.returncode, 0)
        expect(f"ls {args} lines", sorted(proc.stdout.splitlines()), want)
        expect(f"ls {args} stderr", proc.stderr, b"")
    proc = run("ls", ["/dev"])
    expect("ls /dev has the null device", b"c null" in proc.stdout.splitlines(), True)
    missing = os.path.join(tmp, "missing")
    expect_run("ls missing", run("ls", [missing]), status=1,
               stderr=f"{missing}: {os.strerror(errno.ENOENT)}\n".encode())


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def check_echo():
    port = free_port()
    server = subprocess.Popen([RUK, os.path.join(EXAMPLES, "echo.ruk"), str(port)],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        client = None
        deadline = time.monotonic() + 30
        while client is None:
            try:
                client = socket.create_connection(("127.0.0.1", port), timeout=30)
            except ConnectionRefusedError:
                if time.monotonic() > deadline or server.poll() is not None:
                    raise
                time.sleep(0.05)
        data = bytes(random.Random(9).randrange(256) for _ in range(300000))
        got = bytearray()
        with client:
            # send in pieces and read as we go, so neither side's buffers fill up
            for i in range(0, len(data), 8192):
                client.sendall(data[i:i + 8192])
                client.setblocking(False)
                try:
                    while True:
                        chunk = client.recv(65536)
                        if not chunk:
                            break
                        got += chunk
                except BlockingIOError:
                    pass
                client.setblocking(True)
            client.shutdown(socket.SHUT_WR)
            while True:
                chunk = client.recv(65536)
                if not chunk:
                    break
                got += chunk
        expect("echo bytes", bytes(got), data)
        out, err = server.communicate(timeout=30)
        expect_run("echo server", subprocess.CompletedProcess([], server.returncode, out, err))
    finally:
        if server.poll() is None:
            server.kill()
            server.wait()
    expect_run("echo without a port", run("echo"), status=2,
               stderr=b"usage: ruk echo.ruk port\n")


def main():
    global RUK, EXAMPLES
    RUK, EXAMPLES = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    check_five()
    check_hello()
    check_args()
    check_fact()
    with tempfile.TemporaryDirectory() as tmp:
        check_cat(tmp)
        check_ls(tmp)
    check_echo()
    for f in failures:
        print(f)
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
