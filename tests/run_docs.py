#!/usr/bin/env python3
"""Runs every program shown in the documentation and checks the result it states.

usage: run_docs.py RUK ROOT

Scans ROOT/README.md and ROOT/docs/*.md. A fenced block whose info string is `ruk` holds one
whole program; right after its closing fence, HTML comments state what running it gives:

    <!-- exit: N -->          required: the exit status
    <!-- stdout: text -->     optional: standard output, exactly
    <!-- stderr: text -->     optional: standard error, exactly
    <!-- args: a "b c" -->    optional: the program's arguments (shell-style quoting)
    <!-- stdin: text -->      optional: standard input
    <!-- server: echo -->     optional: a listener on 127.0.0.1 that echoes one client;
                              `{port}` in the arguments becomes its port

In the texts, \\n is a line feed, \\t a tab, \\e the escape byte, \\xHH any byte and \\\\ a
backslash; a stream without a comment is not compared. Fragments that are not whole programs
use a plain fence and are not run. A `ruk` block without an exit comment is a failure of its
own, so nothing shown as a program goes untested.

Each block is written to a scratch folder as prog.ruk and run there as `ruk prog.ruk args...`
with a time limit. When RUK is the counting build, the cells it leaves live must be 0.
Every block whose result differs is reported with its file and line; the exit status is 1
when any did.
"""
import glob
import os
import re
import shlex
import socket
import subprocess
import sys
import tempfile
import threading

TIME_LIMIT = 20  # seconds for one program; the whole test has RUK_TEST_TIMEOUT
KEYS = {"exit", "stdout", "stderr", "args", "stdin", "server"}
OPEN_FENCE = re.compile(r"^(\s*)(`{3,})\s*(\S*)(.*)$")
COMMENT = re.compile(r"<!--\s*([a-z]+):(.*?)-->")


def unescape(text):
    """The bytes a comment's text stands for."""
    out = bytearray()
    i = 0
    simple = {"n": b"\n", "t": b"\t", "e": b"\x1b", "r": b"\r", "\\": b"\\"}
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            if nxt in simple:
                out += simple[nxt]
                i += 2
                continue
            if nxt == "x" and re.fullmatch(r"[0-9A-Fa-f]{2}", text[i + 2:i + 4]):
                out.append(int(text[i + 2:i + 4], 16))
                i += 4
                continue
        out += c.encode()
        i += 1
    return bytes(out)


def blocks(path):
    """(line of the opening fence, program text, {key: value}, problems) for each ruk block."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    found = []
    i = 0
    while i < len(lines):
        m = OPEN_FENCE.match(lines[i])
        if not m:
            i += 1
            continue
        indent, fence, info = m.group(1), m.group(2), m.group(3)
        start = i
        body = []
        i += 1
        while i < len(lines) and not re.match(r"^\s*" + fence + r"\s*$", lines[i]):
            line = lines[i]
            body.append(line[len(indent):] if line.startswith(indent) else line.lstrip())
            i += 1
        i += 1  # past the closing fence
        if info != "ruk":
            continue
        stated, problems = {}, []
        # The comments stand on the lines right after the fence (blank lines may come first).
        j = i
        while j < len(lines) and lines[j].strip() == "":
            j += 1
        while j < len(lines) and lines[j].strip().startswith("<!--"):
            rest = lines[j].strip()
            for key, value in COMMENT.findall(rest):
                if key not in KEYS:
                    problems.append(f"unknown comment key '{key}'")
                elif key in stated:
                    problems.append(f"'{key}' stated twice")
                else:
                    stated[key] = value.strip()
            if COMMENT.sub("", rest).strip():
                problems.append(f"unreadable comment: {rest}")
            j += 1
        if "exit" not in stated:
            problems.append("no <!-- exit: N --> comment after the block")
        elif not re.fullmatch(r"\d+", stated["exit"]):
            problems.append(f"exit status '{stated['exit']}' is not a number")
        found.append((start + 1, "\n".join(body) + "\n", stated, problems))
    return found


def echo_server():
    """A listener on 127.0.0.1 that echoes one client, in a thread; returns (port, close)."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    listener.settimeout(TIME_LIMIT)

    def serve():
        try:
            client, _ = listener.accept()
        except OSError:
            return
        with client:
            client.settimeout(TIME_LIMIT)
            try:
                while True:
                    data = client.recv(4096)
                    if not data:
                        break
                    client.sendall(data)
            except OSError:
                pass

    thread = threading.Thread(target=serve, daemon=True)
    thread.start()

    def close():
        listener.close()
        thread.join(1)

    return listener.getsockname()[1], close


def shown(data):
    text = repr(data)
    return text if len(text) <= 400 else text[:400] + "..."


def run_block(ruk, program, stated):
    """The list of differences between what the block states and what the run gives."""
    close = None
    args = shlex.split(stated.get("args", ""))
    if "server" in stated:
        if stated["server"] != "echo":
            return [f"unknown server '{stated['server']}'"]
        port, close = echo_server()
        args = [a.replace("{port}", str(port)) for a in args]
    try:
        with tempfile.TemporaryDirectory() as scratch:
            with open(os.path.join(scratch, "prog.ruk"), "w", encoding="utf-8") as f:
                f.write(program)
            cells_file = os.path.join(scratch, "cells")
            env = dict(os.environ, RUK_CELLS_FILE=cells_file)
            env.pop("RUK_ENGINE", None)
            try:
                proc = subprocess.run([ruk, "prog.ruk"] + args, cwd=scratch, env=env,
                                      input=unescape(stated.get("stdin", "")),
                                      capture_output=True, timeout=TIME_LIMIT)
            except subprocess.TimeoutExpired:
                return [f"did not finish within {TIME_LIMIT} s"]
            cells = None
            if os.path.exists(cells_file):
                with open(cells_file) as f:
                    cells = f.read().strip()
    finally:
        if close:
            close()
    wrong = []
    if proc.returncode != int(stated["exit"]):
        wrong.append(f"exit: stated {stated['exit']}, got {proc.returncode}")
    for stream, got in (("stdout", proc.stdout), ("stderr", proc.stderr)):
        if stream in stated and got != unescape(stated[stream]):
            wrong.append(f"{stream}: stated {shown(unescape(stated[stream]))}, got {shown(got)}")
    if cells not in (None, "0"):
        wrong.append(f"{cells} cells left live at the end of the run")
    return wrong


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    ruk, root = os.path.abspath(sys.argv[1]), sys.argv[2]
    files = [os.path.join(root, "README.md")] + sorted(glob.glob(os.path.join(root, "docs", "*.md")))
    failures, count = [], 0
    for path in files:
        if not os.path.exists(path):
            continue
        name = os.path.relpath(path, root)
        for line, program, stated, problems in blocks(path):
            count += 1
            wrong = problems or run_block(ruk, program, stated)
            failures += [f"{name}:{line}: {w}" for w in wrong]
    for failure in failures:
        print(failure)
    bad_blocks = len({f.split(": ", 1)[0] for f in failures})
    print(f"{count - bad_blocks} passed, {bad_blocks} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
