#!/usr/bin/env python3
"""End-to-end tests of the workbench command beside ruk.

Usage: run_workbench.py RUKW RUK GROUP
Groups:
  same      every program under tests/programs and examples/ runs under the workbench as
            under ruk: the same exit status, standard output and standard error (but for
            the workbench's own lines, which begin "rukw: ")
  command   --help, --version, -e, -, arguments, bad command lines, unreadable files
  why       the first "Z", its builtin, argument kinds, caller and place; the trace
  stats     statistics and the flat profile
  session   the prompt driven through a pipe, :list, :save and the saved file under ruk
Every check that watches a run (why, trace, stats) runs on both engines and must give the
same answer on each. Every process stops after TIMEOUT seconds.
"""
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
TIMEOUT = 30
failures = []


def run(cmd, stdin=b"", cwd=None, engine=None):
    env = dict(os.environ)
    env.pop("RUK_ENGINE", None)
    if engine == "machine":
        env["RUK_ENGINE"] = "machine"
    if isinstance(stdin, str):
        stdin = stdin.encode()
    p = subprocess.run(cmd, input=stdin, cwd=cwd, env=env, capture_output=True, timeout=TIMEOUT)
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


def check(what, ok, detail=""):
    if not ok:
        failures.append(what)
        print("FAIL: " + what + ("\n" + detail if detail else ""))


def own_lines(err):
    return [l for l in err.split("\n") if l.startswith("rukw: ")]


def without_own_lines(err):
    return "\n".join(l for l in err.split("\n") if not l.startswith("rukw: "))


def watch_lines(err):
    """What the watch said that does not depend on the engine or on time."""
    lines = [l for l in own_lines(err) if not re.match(r"rukw: (steps|cells|peak memory|time) ", l)]
    return [re.sub(r"\d{9,}", "(address)", l) for l in lines]  # host addresses differ from run to run


def on_both_engines(what, cmd, stdin=b"", cwd=None):
    """Runs on both engines; the results must be the same; returns one of them."""
    compiled = run(cmd, stdin, cwd)
    machine = run(cmd, stdin, cwd, engine="machine")
    # times and memory differ from run to run; everything else must not
    def stable(r):
        return (r[0], r[1], re.sub(r"(peak memory|time|steps|cells) .*", r"\1 ...", r[2]))
    check(what + ": the same on both engines", stable(compiled) == stable(machine),
          "compiled:\n%s\nmachine:\n%s" % (compiled[2], machine[2]))
    return compiled


# ---- same ---------------------------------------------------------------------------

def group_same(rukw, ruk):
    programs = []
    for folder, _, files in os.walk(os.path.join(HERE, "programs")):
        programs += [os.path.join(folder, f) for f in sorted(files) if f.endswith(".ruk")]
    compared = 0
    for program in sorted(programs):
        base = program[:-4]
        args = open(base + ".args").read().split("\n") if os.path.exists(base + ".args") else []
        args = [a for a in args if a != ""]
        stdin = open(base + ".stdin", "rb").read() if os.path.exists(base + ".stdin") else b""
        name = os.path.basename(program)
        folder = os.path.dirname(program)
        try:
            want = run([ruk, name] + args, stdin, folder)
            # plain, and watched: watching must not change what the program does
            got = [run([rukw] + options + [name] + args, stdin, folder)
                   for options in ([], ["--why", "--stats"])]
            machine = run([rukw, "--why", "--stats", name] + args, stdin, folder, engine="machine")
        except subprocess.TimeoutExpired:
            continue  # a program that waits on something the test cannot give twice
        compared += 1
        rel = os.path.relpath(program, HERE)
        for g, how in zip(got, ("", " (watched)")):
            check(rel + how + ": status", g[0] == want[0], "ruk %d, rukw %d" % (want[0], g[0]))
            check(rel + how + ": stdout", g[1] == want[1])
            check(rel + how + ": stderr", without_own_lines(g[2]) == want[2],
                  "ruk:\n%s\nrukw:\n%s" % (want[2], g[2]))
        # the engines make the same builtin calls, the same first "Z", the same profile
        check(rel + ": watched the same on both engines", watch_lines(got[1][2]) == watch_lines(machine[2]),
              "compiled:\n%s\nmachine:\n%s" % (got[1][2], machine[2]))
    check("programs compared", compared > 100, str(compared))
    print("%d programs compared" % compared)


# ---- command ------------------------------------------------------------------------

ARGS_PROGRAM = "a\\pr a+8,pr\\s\\(getw s)=0?0?(w{puts(getw s)}pr(s+8))"


def group_command(rukw, ruk):
    status, out, err = run([rukw, "--help"])
    check("--help", status == 0 and out.startswith("Usage: rukw") and "--why" in out and err == "", out + err)
    status, out, err = run([rukw, "--version"])
    check("--version", status == 0 and re.match(r"rukw \d+\.\d+", out) is not None, out)

    # the three sources of a program, with the program's arguments after it
    check("-e", run([rukw, "-e", "a\\2+3"])[0] == 5)
    check("-", run([rukw, "-"], "a\\6*7")[0] == 42)
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "args.ruk")
        open(path, "w").write(ARGS_PROGRAM)
        for source, name in (([path], path), (["-e", ARGS_PROGRAM], "-e"), (["-"], "-")):
            stdin = ARGS_PROGRAM if source == ["-"] else ""
            status, out, err = run([rukw, "--stats"] + source + ["x y", "--why", "-e"], stdin)
            # argv[1] is the program's name, then its own arguments, options included
            check("arguments after %s" % name, status == 0 and out == "%s\nx y\n--why\n-e\n" % name,
                  out + err)
            check("options before the program only (%s)" % name, "why:" not in err, err)
        want = run([ruk, path, "p", "q"])
        got = run([rukw, "--", path, "p", "q"])
        check("-- then the file", got[:2] == (want[0], want[1].replace(path, path)), str(got))

    # the exit status and report of ruk, with the place added after the report
    status, out, err = run([rukw, "-e", "a\\1+\n\n   (2"])
    check("report and place", status == 128 and "Type: Match" in err and
          own_lines(err) == ["rukw: at line 3, column 4"], err)
    status, out, err = run([rukw, "-e", "a\\fa 1,\nfa\\x\\x+y"])
    check("a report that names a definition", status == 128 and "Type: Local" in err and
          own_lines(err) == ["rukw: [fa] is defined at line 2, column 1"], err)
    with tempfile.TemporaryDirectory() as d:
        missing = os.path.join(d, "missing.ruk")
        want = run([ruk, missing])
        got = run([rukw, missing])
        check("unreadable file as ruk", got == want, str((want, got)))
        check("directory as program", run([rukw, d])[0] == 128)

    for bad in (["--bogus"], ["-e"], ["--trace=x"], ["--trace=-1"], ["--"], ["-i", "-"]):
        status, out, err = run([rukw] + bad)
        check("bad command line %s" % bad, status == 2 and out == "" and "rukw: " in err, err)


# ---- why ----------------------------------------------------------------------------

# The trap: a builtin answers "Z", a definition ignores it, and the program exits 0.
SWALLOWED = ("a\\ignore(total 5),\n"
             "ignore\\x\\0,\n"
             "total\\n\\n<1?0?(n+(step n))+total(n-1),\n"
             "step\\n\\n=3?[three]?n")


def group_why(rukw, ruk):
    status, out, err = on_both_engines("swallowed Z", [rukw, "--why", "-e", SWALLOWED])
    check("swallowed Z: the program's own status", status == 0, err)
    check("swallowed Z: answer", own_lines(err) == [
        "rukw: why: the first \"Z\" came from builtin call 11, plus, given integer 3 and text [three]",
        "rukw: why: it was called by [total], which stands at line 3, column 1"], err)

    # called straight from the entry expression, arity 1, after a report
    status, out, err = on_both_engines("Z in the entry", [rukw, "--why", "-e", "a\\1+~[x]"])
    check("Z in the entry: answer", status == 128 and "Type: Range" in err and own_lines(err) == [
        "rukw: why: the first \"Z\" came from builtin call 2, plus, given integer 1 and text []",
        "rukw: why: it was called by the entry expression, which stands at line 1, column 1"], err)

    status, out, err = on_both_engines("no Z", [rukw, "--why", "-e", "a\\fa 4,fa\\n\\n<1?0?n+fa(n-1)"])
    check("no Z: answer", status == 10 and own_lines(err) == [
        "rukw: why: no builtin answered \"Z\" (13 builtin calls)"], err)

    # a program that ends the process itself still gets its answer
    status, out, err = on_both_engines("exit", [rukw, "--why", "-e", "a\\w{1+[x]}exit 3"])
    check("exit: answer", status == 3 and own_lines(err) == [
        "rukw: the program ended the process itself",
        "rukw: why: the first \"Z\" came from builtin call 1, plus, given integer 1 and text [x]",
        "rukw: why: it was called by the entry expression, which stands at line 1, column 1"], err)

    # The trace: the first N calls with arguments, result and caller, then a stop line.
    status, out, err = on_both_engines("trace", [rukw, "--trace=3", "-e", "a\\fa 4,fa\\n\\n<1?0?n+fa(n-1)"])
    check("trace lines", status == 10 and err.split("\n") == [
        "trace 1: less 4 1 => H  (in fa)",
        "trace 2: dash 4 1 => 3  (in fa)",
        "trace 3: less 3 1 => H  (in fa)",
        "trace: stopped after 3 calls", ""], err)
    status, out, err = run([rukw, "--trace", "-e", "a\\fa 400,fa\\n\\n<1?0?n+fa(n-1)"])
    check("trace: 100 calls by default", len([l for l in err.split("\n") if l.startswith("trace ")]) == 100, err[-300:])
    status, out, err = run([rukw, "--trace=1", "-e", "a\\0*(cats[" + "x" * 500 + "][y])"])
    check("trace: long values are cut short", len(err) < 400 and "...(cut)" in err, err)


# ---- stats --------------------------------------------------------------------------

NFIB = "a\\nf 10,\nnf\\n\\n<2?1?nf(n-1)+nf(n-2)+1,\nunused\\x\\x"


def group_stats(rukw, ruk):
    status, out, err = on_both_engines("stats", [rukw, "--stats", "-e", NFIB])
    check("stats: status", status == 177 % 256, str(status))
    lines = own_lines(err)
    keys = [re.sub(r"^rukw: ([a-z]+( [a-z]+)?).*", r"\1", l) for l in lines[:5]]
    check("stats: lines", keys == ["steps", "builtin calls", "cells allocated", "peak memory", "time"], err)
    # nfib 10 is 177 calls of nf, each making 3 builtin calls but the 89 leaves, which make 1
    check("stats: builtin calls", "rukw: builtin calls %d" % (88 * 5 + 89) in lines, err)
    check("stats: profile", lines[5:] == [
        "rukw: calls per definition (most first):",
        "rukw:            177  [nf]  at line 2, column 1"], err)
    m = re.search(r"live at the end (\d+)", err)
    check("stats: live cells", m is not None and int(m.group(1)) > 0, err)

    # the ten definitions with most calls, most first, ties by name; stdout stays the program's
    defs = ",".join("d%s\\x\\x+1" % c for c in "abcdefghijkl")
    calls = "+".join("d%s(%s)" % (c, "0" if i % 2 else "d%s 0" % c) for i, c in enumerate("abcdefghijkl"))
    status, out, err = on_both_engines("profile", [rukw, "--stats", "-e", "a\\w{puts[hi]}" + calls + "," + defs])
    rows = [l.split()[1:3] for l in own_lines(err) if re.match(r"rukw: +\d+  \[", l)]
    check("profile rows", rows == [["2", "[da]"], ["2", "[dc]"], ["2", "[de]"], ["2", "[dg]"], ["2", "[di]"],
                                   ["2", "[dk]"], ["1", "[db]"], ["1", "[dd]"], ["1", "[df]"], ["1", "[dh]"]], err)
    check("stats leave stdout alone", out == "[hi]\n", out)


# ---- session ------------------------------------------------------------------------

def group_session(rukw, ruk):
    with tempfile.TemporaryDirectory() as d:
        saved = os.path.join(d, "saved.ruk")
        script = "\n".join([
            "sq\\n\\n*n",              # a definition
            "sq 7",                    # an expression
            "  ",                      # nothing
            "sq [x] +",                # an error: the session goes on
            "tw\\f\\x\\f(f x)",
            "tw sq 3",                 # another expression that works
            "[abc]",                   # a value that is no integer
            "a\\a",                    # a function
            "bad\\x\\y",               # a definition that does not check: not kept
            "la\\x\\later x",          # refers to a name not defined yet: kept, with a note
            "later\\x\\x+100",
            "la 1",
            "sq\\n\\n*n*n",            # replaces sq
            ":list",
            ":save " + saved,
            ":bogus",
            "1,2",
            "sq 2",
            ":quit",
            "sq 9",                    # never read
        ]) + "\n"
        status, out, err = run([rukw], script)
        check("session: status", status == 0, err)
        check("session: stdout", out.split("\n") == [
            "49", "81", "[abc]", "(\\a a)", "101",
            "sq\\n\\n*n*n", "tw\\f\\x\\f(f x)", "la\\x\\later x", "later\\x\\x+100",
            "8", ""], out)
        check("session: the error", "Type: Alive" in err and "Name: }" in err, err)
        check("session: the bad definition", "Type: Local" in err and "rukw: not kept: bad" in err, err)
        check("session: the note", "rukw: kept la, but: Alive [later] referenced by [la] but not defined." in err, err)
        check("session: commands", "unknown command :bogus" in err and "top-level comma" in err, err)
        check("session: no prompt on a pipe", "ruk> " not in out)
        # the saved program runs under ruk with the last expression as its entry
        check("session: saved file", open(saved).read() ==
              "a\\la 1\n,sq\\n\\n*n*n\n,tw\\f\\x\\f(f x)\n,la\\x\\later x\n,later\\x\\x+100\n",
              open(saved).read())
        check("session: saved file under ruk", run([ruk, saved])[0] == 101)

        # a session starts from a program's definitions with -i, and :load adds more
        status, out, err = run([rukw, "-i", saved], "tw sq 2\n:load " + saved + "\nlater 1\n:load /nonexistent\n")
        check("session: -i and :load", status == 0 and out == "512\n101\n" and "could not read" in err, out + err)

        # what the watch sees, per expression; a cycle is a report, not the end
        status, out, err = run([rukw, "--why"], "1+[x]\nzz\\zz\nzz\n2+2\n")
        check("session: --why", out == "Z\n4\n" and "builtin call 1, plus, given integer 1 and text [x]" in err
              and "Type: Cycle" in err, out + err)
        # a place in the input line: the column the user typed
        status, out, err = run([rukw], "fa\\x\\x+1\nfa 1+ (\n")
        check("session: places", "rukw: at line 1, column 7 of the input" in err, err)


GROUPS = {"same": group_same, "command": group_command, "why": group_why, "stats": group_stats,
          "session": group_session}


def main():
    rukw, ruk, group = sys.argv[1], sys.argv[2], sys.argv[3]
    GROUPS[group](rukw, ruk)
    if failures:
        print("%d failed" % len(failures))
        sys.exit(1)
    print("ok")


if __name__ == "__main__":
    main()
