#!/usr/bin/env python3
"""Checks the editor syntax files under editors/ against the example programs.

usage: check_editors.py SOURCE_DIR

The TextMate grammar (editors/textmate/ruk.tmLanguage.json) is loaded, every pattern is
compiled with Python's re (the grammar keeps to the regex syntax that re and the editors'
engines share) and a small tokenizer of the grammar's own rules (match, begin/end,
captures, includes) runs it over examples/*.ruk and a few snippets. What it must find is
worked out from the program text independently: the name of every definition, every text
literal as one string from its "[" to its matching "]", every run of digits as a number.
When vim is installed, the Vim syntax file is loaded on the same examples in batch mode and
its groups are checked the same way; otherwise that part is skipped.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

FAILURES = []


def fail(message):
    FAILURES.append(message)
    print("FAIL: " + message)


# ---- what a program holds, found from its text ---------------------------------------

def operator_characters(source_dir):
    """The operator characters as core/text.h lists them."""
    with open(os.path.join(source_dir, "core", "text.h"), encoding="utf-8") as f:
        for line in f:
            if "kOperator;" in line and "string_view(" in line:
                literal = line.split('string_view("', 1)[1].rsplit('")', 1)[0]
                return literal.encode().decode("unicode_escape")
    raise SystemExit("core/text.h: no list of operator characters found")


def structure(text, operators):
    """Definition heads, texts and numbers of a program, as (offset, length) spans.

    A text runs from "[" to its matching "]" (brackets nest inside it); an operator in
    brackets ("[+]") is a name, not a text. A comma outside parentheses, braces and texts
    starts a definition, whose head is what stands before the first backslash."""
    heads, texts, numbers = [], [], []
    depth = 0
    i = 0
    after_comma = None  # offset of the first character after a top-level comma
    while i < len(text):
        c = text[i]
        if after_comma is not None and not c.isspace():
            m = re.compile(r"([a-z_]{2,}|[A-Z]|\[.\])\\").match(text, i)
            if m and (m.group(1)[0] != "[" or m.group(1)[1] in operators):
                heads.append((i, len(m.group(1))))
            after_comma = None
        if c == "[" and i + 2 < len(text) and text[i + 2] == "]" and text[i + 1] in operators:
            i += 3
            continue
        if c == "[":
            start, level = i, 0
            while i < len(text):
                level += {"[": 1, "]": -1}.get(text[i], 0)
                i += 1
                if level == 0:
                    break
            texts.append((start, i - start))
            continue
        if c.isdigit():
            start = i
            while i < len(text) and text[i].isdigit():
                i += 1
            numbers.append((start, i - start))
            continue
        if c in "({":
            depth += 1
        elif c in ")}":
            depth -= 1
        elif c == "," and depth == 0:
            after_comma = i + 1
        i += 1
    return heads, texts, numbers


# ---- the TextMate grammar --------------------------------------------------------------

# Constructs of the editors' regex engine that Python's re reads differently or not at all.
ONLY_IN_EDITOR_ENGINES = [r"\h", r"\H", r"\G", r"\z", r"\p{", r"(?>", "*+", "++", "?+"]


def compile_pattern(pattern, where):
    for construct in ONLY_IN_EDITOR_ENGINES:
        if construct in pattern.replace("\\\\", ""):
            fail("%s: %r uses %s, which Python's re does not share" % (where, pattern, construct))
    if re.search(r"\(\?<[A-Za-z]", pattern):
        fail("%s: %r uses a named group, written differently in Python's re" % (where, pattern))
    try:
        return re.compile(pattern)
    except re.error as e:
        fail("%s: %r does not compile: %s" % (where, pattern, e))
        return re.compile(r"(?!)")


class Grammar:
    def __init__(self, data):
        self.repository = data.get("repository", {})
        self.root = {"patterns": data["patterns"]}
        self.compiled = {}
        self.compile_all(self.root, "patterns")
        for name, rule in self.repository.items():
            self.compile_all(rule, "repository." + name)

    def compile_all(self, rule, where):
        for key in ("match", "begin", "end"):
            if key in rule:
                self.compiled[(id(rule), key)] = compile_pattern(rule[key], where + "." + key)
        for n, sub in enumerate(rule.get("patterns", [])):
            self.compile_all(sub, "%s.patterns[%d]" % (where, n))

    def regex(self, rule, key):
        return self.compiled[(id(rule), key)]

    def expand(self, patterns, seen=None):
        """The match and begin rules of a pattern list, includes followed, in order."""
        out = []
        for rule in patterns:
            if "include" in rule:
                ref = rule["include"]
                if ref == "$self":
                    target = self.root
                elif ref.startswith("#") and ref[1:] in self.repository:
                    target = self.repository[ref[1:]]
                else:
                    fail("include of %r, which the grammar does not define" % ref)
                    continue
                if "match" in target or "begin" in target:
                    out.append(target)
                else:
                    out.extend(self.expand(target.get("patterns", [])))
            elif "match" in rule or "begin" in rule:
                out.append(rule)
            else:
                out.extend(self.expand(rule.get("patterns", [])))
        return out


def tokenize(grammar, text):
    """The scopes of every character of text, as a list of tuples of scope names."""
    scopes = [()] * len(text)
    stack = []  # open begin/end rules: (rule, scopes inside it)
    base = ("source.ruk",)

    def paint(start, end, names):
        for k in range(start, end):
            scopes[k] = names

    def paint_captures(m, captures, outer):
        for group, capture in (captures or {}).items():
            g = int(group)
            if g > m.re.groups:
                fail("a capture names group %d of %r, which has %d" % (g, m.re.pattern, m.re.groups))
            elif m.start(g) >= 0 and "name" in capture:
                paint(m.start(g), m.end(g), outer + (capture["name"],))

    pos = 0
    steps = 0
    while pos <= len(text):
        steps += 1
        if steps > 20 * (len(text) + 1):
            fail("the tokenizer made no progress at offset %d" % pos)
            break
        outer = stack[-1][1] if stack else base
        rules = grammar.expand(stack[-1][0].get("patterns", []) if stack else grammar.root["patterns"])
        best = None
        if stack:  # the end of the open rule wins over its patterns at the same place
            m = grammar.regex(stack[-1][0], "end").search(text, pos)
            if m:
                best = ("end", stack[-1][0], m)
        for rule in rules:
            m = grammar.regex(rule, "match" if "match" in rule else "begin").search(text, pos)
            if m and (best is None or m.start() < best[2].start()):
                best = ("match" if "match" in rule else "begin", rule, m)
        if best is None:
            paint(pos, len(text), outer)
            break
        kind, rule, m = best
        paint(pos, m.start(), outer)
        if kind == "end":
            paint(m.start(), m.end(), outer)
            paint_captures(m, rule.get("endCaptures", rule.get("captures")), outer)
            stack.pop()
        elif kind == "match":
            inner = outer + ((rule["name"],) if "name" in rule else ())
            paint(m.start(), m.end(), inner)
            paint_captures(m, rule.get("captures"), inner)
        else:
            inner = outer + ((rule["name"],) if "name" in rule else ())
            paint(m.start(), m.end(), inner)
            paint_captures(m, rule.get("beginCaptures", rule.get("captures")), inner)
            stack.append((rule, inner))
        pos = m.end() if m.end() > m.start() or kind == "end" else m.end() + 1
    return scopes


def has(names, prefix):
    return any(n == prefix or n.startswith(prefix + ".") for n in names)


def runs_with(scopes, prefix):
    """Maximal runs of characters carrying a scope, as (offset, length)."""
    out, start = [], None
    for k, names in enumerate(scopes + [()]):
        if has(names, prefix) and start is None:
            start = k
        elif not has(names, prefix) and start is not None:
            out.append((start, k - start))
            start = None
    return out


def check_program(name, text, scopes, operators, counts):
    heads, texts, numbers = structure(text, operators)
    counts["heads"] += len(heads)
    counts["texts"] += len(texts)
    counts["numbers"] += len(numbers)
    found_heads = runs_with(scopes, "entity.name.function")
    if found_heads != heads:
        fail("%s: definition heads %s, the grammar finds %s"
             % (name, [text[a:a + n] for a, n in heads], [text[a:a + n] for a, n in found_heads]))
    strings = runs_with(scopes, "string")
    for a, n in texts:
        if (a, n) not in strings:
            fail("%s: the text %r is not one string token" % (name, text[a:a + n]))
    for a, n in numbers:
        if not all(has(scopes[k], "constant.numeric") for k in range(a, a + n)):
            fail("%s: the number %r is not a number token" % (name, text[a:a + n]))
        # a leading 0 before more digits is the minus sign; no other digit is
        signs = [k - a for k in range(a, a + n) if has(scopes[k], "keyword.operator.sign")]
        if signs != ([0] if n > 1 and text[a] == "0" else []):
            fail("%s: the number %r has its sign marked at %s" % (name, text[a:a + n], signs))


def check_textmate(source_dir, examples, operators):
    path = os.path.join(source_dir, "editors", "textmate", "ruk.tmLanguage.json")
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    if data.get("scopeName") != "source.ruk" or "ruk" not in data.get("fileTypes", []):
        fail("the grammar's scopeName must be source.ruk and its fileTypes hold ruk")
    grammar = Grammar(data)

    counts = {"heads": 0, "texts": 0, "numbers": 0}
    for name, text in examples:
        check_program(name, text, tokenize(grammar, text), operators, counts)
    for what, n in counts.items():
        if n == 0:
            fail("the examples hold no %s: the check proves nothing" % what)

    def scopes_of(snippet):
        return tokenize(grammar, snippet)

    # Nested texts and escapes; a text right after a text.
    s = "a\\x{[a[b[c]]d[p]]}[e]0"
    sc = scopes_of(s)
    start, end = s.index("[a"), s.index("]}") + 1
    if runs_with(sc, "string")[0] != (start, end - start):
        fail("the nested text %r is not one string token" % s[start:end])
    p = s.index("[p]")
    if not all(has(sc[k], "constant.character.escape") for k in range(p, p + 3)):
        fail("the escape [p] inside a text is not an escape")
    # The sign of a negative number, and a zero that is no sign.
    s = "a\\042+10+0"
    sc = scopes_of(s)
    if not has(sc[2], "keyword.operator.sign") or has(sc[3], "keyword.operator.sign"):
        fail("the 0 of 042 is not marked as the sign")
    if any(has(sc[k], "keyword.operator.sign") for k in (s.index("10") + 1, len(s) - 1)):
        fail("a 0 that is a digit is marked as a sign")
    # Capitals, binders, and definition heads of every form; commas inside parentheses.
    s = "a\\S K K(f(x,y)),X\\a\\a,[+]\\q\\r\\q,\n  long_name\\p\\p"
    sc = scopes_of(s)
    for k in (s.index("S"), s.index("K"), s.index("K") + 2):
        if not has(sc[k], "support.function.combinator"):
            fail("the capital %r is not a combinator" % s[k])
    found = [s[a:a + n] for a, n in runs_with(sc, "entity.name.function")]
    if found != ["X", "[+]", "long_name"]:
        fail("definition heads in %r: %s" % (s, found))
    if not has(sc[0], "variable.parameter") or not has(sc[s.index("q\\r")], "variable.parameter"):
        fail("binders are not marked as parameters")
    # Every operator character (the brackets and the comma are structure).
    for c in operators:
        if c in "{},\\":
            continue
        sc = scopes_of("a\\1" + c + "2")
        if not has(sc[3], "keyword.operator"):
            fail("the operator character %r is not an operator" % c)


# ---- Vim -------------------------------------------------------------------------------

VIM_DUMP = r"""
call writefile([&filetype], '%(out)s.ft')
let out = []
for l in range(1, line('$'))
  let row = []
  for c in range(1, col([l, '$']) - 1)
    call add(row, synIDattr(synID(l, c, 1), 'name'))
  endfor
  call add(out, join(row, ' '))
endfor
call writefile(out, '%(out)s')
call writefile([v:errmsg], '%(out)s.err')
"""


def check_vim(source_dir, examples, operators):
    vim = shutil.which("vim")
    if not vim:
        print("vim is not installed: the Vim syntax file is not checked")
        return
    runtime = os.path.join(source_dir, "editors", "vim")
    with tempfile.TemporaryDirectory() as work:
        for name, text in examples:
            out = os.path.join(work, "groups")
            script = os.path.join(work, "dump.vim")
            with open(script, "w", encoding="utf-8") as f:
                f.write(VIM_DUMP % {"out": out})
            program = os.path.join(work, os.path.basename(name))
            with open(program, "w", encoding="utf-8") as f:
                f.write(text)
            run = subprocess.run(
                [vim, "-Nu", "NONE", "-i", "NONE", "-es",
                 "-c", "set rtp^=" + runtime, "-c", "filetype on", "-c", "syntax on",
                 "-c", "edit " + program, "-c", "source " + script, "-c", "qa!"],
                stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=30)
            if run.returncode != 0 or run.stdout.strip() or run.stderr.strip():
                fail("%s: vim failed (status %d): %s %s" % (name, run.returncode, run.stdout, run.stderr))
                continue
            with open(out + ".err", encoding="utf-8") as f:
                if f.read().strip():
                    fail("%s: vim reported an error loading the syntax file" % name)
            with open(out + ".ft", encoding="utf-8") as f:
                if f.read().strip() != "ruk":
                    fail("%s: vim does not give .ruk files the filetype ruk" % name)
            with open(out, encoding="utf-8") as f:
                rows = f.read().split("\n")
            # groups per character, lines joined with a blank for the line feed
            groups = []
            for row in rows[:text.count("\n") + 1]:
                groups.extend([(g,) for g in row.split(" ")] if row else [])
                groups.append(())
            groups = groups[:len(text)]
            if len(groups) != len(text):
                fail("%s: vim gave groups for %d characters of %d" % (name, len(groups), len(text)))
                continue
            scope_of = {"rukDefinitionHead": ("entity.name.function",),
                        "rukText": ("string",), "rukEscape": ("string",),
                        "rukNumber": ("constant.numeric",),
                        "rukSign": ("constant.numeric", "keyword.operator.sign")}
            renamed = [tuple(s for g in names for s in scope_of.get(g, (g,))) for names in groups]
            check_program("vim " + name, text, renamed, operators, {"heads": 0, "texts": 0, "numbers": 0})
    print("vim: checked the syntax file on %d examples" % len(examples))


# A whole program (it exits with 204: + is redefined as -, so 042+10+0 is -52).
SNIPPET = (
    "a\\x{[a[b[c]]d[p]]}y{[e]}K(042+10+0)(long_name 1),\n"
    "X\\p\\S K K p,[+]\\q\\r\\dash(q, r),  \n"
    "  long_name\\p\\p\n"
)


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    source_dir = sys.argv[1]
    operators = operator_characters(source_dir)
    folder = os.path.join(source_dir, "examples")
    examples = []
    for entry in sorted(os.listdir(folder)):
        if entry.endswith(".ruk"):
            with open(os.path.join(folder, entry), encoding="utf-8") as f:
                examples.append((entry, f.read()))
    if not examples:
        raise SystemExit("no examples found in " + folder)
    # What the examples do not show: nested texts, a negative number, heads of every form.
    examples.append(("snippet.ruk", SNIPPET))
    check_textmate(source_dir, examples, operators)
    check_vim(source_dir, examples, operators)
    print("%d passed, %d failed" % (1 if not FAILURES else 0, 1 if FAILURES else 0))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
