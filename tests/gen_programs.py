#!/usr/bin/env python3
"""Random terminating ruk programs, and a check that both evaluation engines agree on them.

  gen_programs.py --seed S --count N --out DIR
      writes N programs DIR/gen_S_<i>.ruk, with .args and .stdin sidecars where a program
      takes arguments or reads its standard input.
  gen_programs.py --seed S --count N --ruk RUK [--jobs J] [--timeout T]
                  [--min-integer-share F] [--max-problems P]
      runs every program with RUK_ENGINE=machine and without it, and reports each program
      whose exit status, standard output or standard error differ, and each program that
      was killed by a signal or found no end within the timeout under either engine (a
      crash is a fault even when both engines crash alike), as soon as it is found; it
      stops after P such programs. It prints the distribution of the outcomes and exits 1
      on any such program, or when fewer than the share F of the programs ended with an
      integer of their own computing.
  gen_programs.py --seed S --index I
      prints program I of seed S (program I depends only on S and I, whatever the count).

The programs are built from typed templates so that most of them compute an integer:
exact arithmetic on small, big and negative numbers and on numbers next to the limits of
machine words, numbers written as bit lists, conditionals, definitions of one to nine
parameters, recursion on a counter that every call site bounds with `%`, tail loops, mutual
recursion, fixed points through Y, definitions without parameters (computed once) and in
the nullary form (computed at every use), lists built with J and K and taken apart with
`l nil (h\\t\\...)`, numbers taken apart the same way, closures, partial application and
over-application, combinators, texts and blobs with their builtins, memory written and read
back, brace and key-pair bindings with shadowed letters, new operators, operators and
capitals defined again, output whose order shows the order of evaluation, and terms that
must never be reduced: under K, under H and in the branch a constant condition does not
take, where reducing them would say so on standard error (a fault even when both engines
do it) and end the program, or never end it. A share of the programs give builtins values
of the wrong kind (which answer Z) or end with a value that is not an integer (the Range
report). Loop and recursion bounds follow a cost estimate, so that every program ends
quickly.
"""
import argparse
import collections
import concurrent.futures
import os
import random
import re
import sys
import tempfile

import run_engines

INT, BOOL, TEXT, LIST, FUN, FUN2 = "int", "bool", "text", "list", "fun", "fun2"
ARGV = "argv"

LETTERS = "abcdefghijklmnopqrstuvwxyz"
LONG_PARAMS = ["count", "total", "item", "limit", "other", "value", "scale", "rest_of"]
WORDS = ["calc", "step", "walk", "mix", "pick", "spin", "grow", "keep", "turn", "make",
         "span", "fold", "join", "test", "peel", "sift", "tally", "weave"]
MODULI = [97, 1000, 65521, 1000003, 4294967311, 10**20 + 39, 10**30 + 57]
TEXT_CHARS = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:;!?-+*=#@"
NEVER_STATUS = 97
NEVER_MARK = b"never reduced"
# integers next to the limits of machine words and of fast paths for small integers
EDGES = [10**18, 10**9, 2**31, 2**32, 2**53, 2**62, 2**63, 2**64, 3037000500, 10**19]
LAZY_CAPITALS = "NQR"     # capitals the machine treats as lazy heads
STRICT_CAPITALS = "MO"    # capitals it treats as strict heads

DEF_BUDGET = 40000        # estimated machine work of one definition call
ENTRY_BUDGET = 120000     # estimated machine work of a whole program
FUN_COST = 60             # the most one application of a function value may cost
LIST_COST = 60            # what walking one list is assumed to cost, per element step


def wrapped(x):
    """Whether x is one parenthesised group from its first character to its last."""
    if not x.startswith("("):
        return False
    depth, i = 0, 0
    while i < len(x):
        c = x[i]
        if c == "[":
            nest = 0
            while True:
                nest += {"[": 1, "]": -1}.get(x[i], 0)
                if nest == 0:
                    break
                i += 1
        elif c in "({":
            depth += 1
        elif c in ")}":
            depth -= 1
            if depth == 0 and i != len(x) - 1:
                return False
        i += 1
    return True


ATOM = re.compile(r"[A-Za-z_0-9]+|\[[^\[\]]*\]")


def par(x):
    """x as an operand: in parentheses unless it is an atom or already in them."""
    return x if ATOM.fullmatch(x) or wrapped(x) else f"({x})"


def bit_list(v):
    """The integer v written as a list of bits: K for 0; H and the binary digits, lowest
    first, without the top one, for v > 0; K and the list of -v for v < 0."""
    if v == 0:
        return "K"
    if v < 0:
        return f"(J K {bit_list(-v)})"
    elements = ["H"] + ["K" if (v >> i) & 1 else "H" for i in range(v.bit_length() - 1)]
    out = "K"
    for e in reversed(elements):
        out = f"(J {e} {out})"
    return out


def number(v):
    """The literal of an integer: a leading 0 is the minus sign."""
    return str(v) if v >= 0 else "0" + str(-v)


class Def:
    """A definition the generated code may call."""

    def __init__(self, name, params, result, cost, bounded=None, syntax="call"):
        self.name = name
        self.params = params          # sorts of the parameters
        self.result = result
        self.cost = cost
        self.bounded = bounded or {}  # parameter index -> bound the call site applies with %
        self.syntax = syntax          # "call", "operator" or "nullary"


class Ctx:
    """Where an expression is generated: the variables in scope and the work left."""

    def __init__(self, gen, scope, names, budget, defs, depth):
        self.gen = gen
        self.scope = scope            # variable -> sort (the innermost binding wins)
        self.names = names            # local names of the definition, shared by its parts
        self.budget = budget          # [work left], shared by the parts of one body
        self.defs = defs              # definitions callable here
        self.depth = depth

    def deeper(self, scope=None, depth=None):
        return Ctx(self.gen, self.scope if scope is None else scope, self.names, self.budget,
                   self.defs, self.depth - 1 if depth is None else depth)

    def spend(self, cost):
        if cost > self.budget[0]:
            return False
        self.budget[0] -= cost
        return True

    def fresh(self, unique=False):
        """A parameter letter for a new binder; now and then, or when they run out, one
        already in use (the new binder shadows it). A unique letter is never in use: None
        when there is none."""
        rng = self.gen.rng
        free = [c for c in LETTERS if c not in self.names]
        shadow = sorted(c for c in self.names if len(c) == 1)
        if unique:
            if not free or len(self.names) >= 22:
                return None
            letter = rng.choice(free)
            self.names.add(letter)
            return letter
        if free and len(self.names) < 22 and (rng.random() > 0.06 or not shadow):
            letter = rng.choice(free)
            self.names.add(letter)
            return letter
        return rng.choice(shadow)

    def bind(self, var, sort):
        scope = dict(self.scope)
        scope[var] = sort
        return scope

    def vars_of(self, sort):
        return [v for v, s in self.scope.items() if s == sort]


class Generator:
    """Makes one program: definitions first, each able to call those made before it, then
    the entry expression. Every expression is made for a sort (integer, truth value, text,
    list of integers, function of one or two integers), so that it fits where it goes."""

    def __init__(self, rng):
        self.rng = rng
        self.defs = []
        self.sources = []
        self.helpers = {}
        self.names = set()
        self.wrong_kinds = False
        self.in_place = False     # builtins that change blobs in place: machine only
        self.m_redefined = False
        self.args = []
        self.stdin = b""

    # ---------------------------------------------------------------- small pieces

    def pick(self, weighted):
        """One of the (weight, choice) pairs, at random by weight."""
        total = sum(w for w, _ in weighted)
        x = self.rng.random() * total
        for w, choice in weighted:
            x -= w
            if x < 0:
                return choice
        return weighted[-1][1]

    def new_name(self, word=None):
        while True:
            name = (word or self.rng.choice(WORDS)) + "_" + "".join(
                self.rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(2))
            if name not in self.names:
                self.names.add(name)
                return name

    def int_literal(self):
        rng = self.rng
        kind = self.pick([(5, "small"), (2, "medium"), (2, "negative"), (1, "big"),
                          (1.2, "edge"), (0.3, "bits")])
        if kind == "edge":
            v = rng.choice(EDGES) + rng.choice([-1, 0, 0, 1])
            return number(v if rng.random() < 0.6 else -v)
        if kind == "bits":
            return bit_list(rng.choice([-1, 1]) * rng.randrange(1, 41))
        if kind == "small":
            return number(rng.randrange(0, 21))
        if kind == "medium":
            return number(rng.randrange(21, 10**6))
        if kind == "negative":
            return number(-rng.randrange(1, 10**rng.randrange(1, 7)))
        v = rng.randrange(10**19, 10**rng.randrange(20, 41))
        return number(v if rng.random() < 0.7 else -v)

    def text_literal(self, small=False):
        rng = self.rng
        n = rng.randrange(0, 3 if small else 7)
        units = [rng.choice(TEXT_CHARS) for _ in range(n)]
        if not small and rng.random() < 0.1:
            units.insert(rng.randrange(len(units) + 1), "[p]")
        if not small and rng.random() < 0.05:
            units.insert(rng.randrange(len(units) + 1), "[" + rng.choice("xyz") + "]")
        return "[" + "".join(units).strip() + "]"

    def word_text(self):
        """A short text to print: letters only, so that nothing a program prints can pass
        for a report or for the mark of a term that must never be reduced."""
        return "[" + "".join(self.rng.choice("abcdefghijklmnopqrstuvwxyz")
                             for _ in range(self.rng.randrange(1, 6))) + "]"

    def modulus(self):
        return number(self.rng.choice(MODULI))

    def never(self):
        """A term that must never be reduced: it says so on standard error and ends the
        program, or it never ends."""
        choices = [(9, f"(w{{fputs(init [{NEVER_MARK.decode()}], stderr)}}exit {NEVER_STATUS})")]
        if not self.m_redefined:
            choices.append((1, "(M M)"))
        return self.pick(choices)

    def true_condition(self):
        return self.rng.choice(["(3<4)", "(5=5)", "($7)", "(!H)", "K", "(2#3)", "(9>9)"])

    # ---------------------------------------------------------------- helpers

    def helper(self, kind):
        """A library definition made on first use: list walks, number printing."""
        if kind in self.helpers:
            return self.helpers[kind]
        name = self.new_name({"sum": "sum", "len": "length", "head": "first", "map": "map",
                              "range": "upto", "append": "append", "rev": "reverse",
                              "evens": "evens", "fold": "fold", "digits": "digits",
                              "show": "show", "trace": "trace", "argc": "argc",
                              "bits": "ones"}[kind])
        src, d = None, None
        if kind == "sum":
            src = f"{name}\\l\\(l 0 (h\\t\\(h+({name} t))))"
            d = Def(name, [LIST], INT, LIST_COST)
        elif kind == "len":
            src = f"{name}\\l\\l 0 (h\\t\\1+{name}(t))"
            d = Def(name, [LIST], INT, LIST_COST)
        elif kind == "head":
            src = f"{name}\\l\\(l 0 (h\\t\\h))"
            d = Def(name, [LIST], INT, 2)
        elif kind == "map":
            src = f"{name}\\f\\l\\(l K (h\\t\\(J (f h) ({name} f t))))"
            d = Def(name, [FUN, LIST], LIST, LIST_COST * FUN_COST)
        elif kind == "range":
            src = f"{name}\\n\\((n<1)?K?(J n ({name} (n-1))))"
            d = Def(name, [INT], LIST, 30, bounded={0: 30})
        elif kind == "append":
            src = f"{name}\\l\\m\\(l m (h\\t\\(J h ({name} t m))))"
            d = Def(name, [LIST, LIST], LIST, LIST_COST)
        elif kind == "rev":
            src = f"{name}\\l\\r\\(l r (h\\t\\({name} t (J h r))))"
            d = Def(name, [LIST, LIST], LIST, LIST_COST)
        elif kind == "evens":
            src = f"{name}\\l\\(l K (h\\t\\(((h%2)=0)?(J h ({name} t))?({name} t))))"
            d = Def(name, [LIST], LIST, LIST_COST)
        elif kind == "fold":
            src = f"{name}\\f\\z\\l\\(l z (h\\t\\({name} f (f z h) t)))"
            d = Def(name, [FUN2, INT, LIST], INT, LIST_COST * FUN_COST)
        elif kind == "digits":
            src = (f"{name}\\n\\((n<10)?(putchar (48+n))?"
                   f"(d{{{name} (n/10)}}putchar (48+(n%10))))")
            d = Def(name, [INT], INT, 200)
        elif kind == "show":
            digits = self.helper("digits").name
            src = f"{name}\\n\\((n<0)?(m{{putchar 45}}{digits}(~n))?({digits} n))"
            d = Def(name, [INT], INT, 200)
        elif kind == "trace":
            show = self.helper("show").name
            src = f"{name}\\n\\w{{{show} n}}l{{putchar 10}}n"
            d = Def(name, [INT], INT, 200)
        elif kind == "bits":
            src = f"{name}\\l\\(l 0 (h\\t\\((h 1 0)+({name} t))))"
            d = Def(name, [INT], INT, 60)
        elif kind == "argc":
            src = f"{name}\\p\\((getw p)=0)?0?(1+{name}(p+8))"
            d = Def(name, [ARGV], INT, 10)
        self.sources.append(src)
        self.helpers[kind] = d
        return d

    # ---------------------------------------------------------------- calls

    def callable_defs(self, ctx, result):
        return [d for d in ctx.defs if d.result == result and d.cost <= ctx.budget[0]
                and all(p != ARGV for p in d.params)]

    def call(self, ctx, d, extra=None, first=None):
        """A call of d with generated arguments (bounded ones wrapped in %), the first of
        them `first` when given."""
        if not ctx.spend(d.cost + 1):
            return None
        args = []
        for i, sort in enumerate(d.params):
            a = first if i == 0 and first is not None else self.expr(sort, ctx.deeper())
            if i in d.bounded:
                a = f"{par(a)}%{d.bounded[i]}"
            args.append(a)
        if extra is not None:
            args.append(extra)
        if d.syntax == "nullary" or not args:
            return d.name
        if d.syntax == "operator":
            return f"({par(args[0])}{d.name}{par(args[1])})"
        if self.rng.random() < 0.5:
            return f"{d.name}(" + ", ".join(args) + ")"
        return "(" + " ".join([d.name] + [par(a) for a in args]) + ")"

    def maybe_call(self, ctx, result):
        ds = self.callable_defs(ctx, result)
        if not ds:
            return None
        return self.call(ctx, self.rng.choice(ds))

    # ---------------------------------------------------------------- expressions

    def expr(self, sort, ctx):
        """An expression of the given sort; with wrong kinds on, now and then another sort."""
        if (self.wrong_kinds and sort in (INT, TEXT, LIST, BOOL)
                and self.rng.random() < 0.03):
            return self.wrong_value(sort)
        maker = {INT: self.int_expr, BOOL: self.bool_expr, TEXT: self.text_expr,
                 LIST: self.list_expr, FUN: self.fun_expr, FUN2: self.fun2_expr}[sort]
        if sort != INT and ctx.depth > 0 and self.rng.random() < 0.04:
            return self.lazy_choice(self.expr(sort, ctx.deeper()))
        for _ in range(20):
            made = maker(ctx)
            if made is not None:
                return made
        return self.leaf(sort, ctx)

    def e(self, sort, ctx):
        """An expression as an operand: in parentheses unless it is an atom."""
        return par(self.expr(sort, ctx))

    def leaf(self, sort, ctx):
        vs = ctx.vars_of(sort)
        if vs and self.rng.random() < 0.6:
            return self.rng.choice(vs)
        if sort == INT:
            return self.int_literal()
        if sort == BOOL:
            return self.rng.choice(["K", "H"])
        if sort == TEXT:
            return self.text_literal()
        if sort == LIST:
            out = "K"
            for _ in range(self.rng.randrange(0, 4)):
                out = f"(J {number(self.rng.randrange(-9, 30))} {out})"
            return out
        if sort == FUN:
            return self.rng.choice(["(plus 1)", "(mult 3)", "I", "(K 7)", "(dash 100)"])
        return self.rng.choice(["plus", "mult", "dash", "(C dash)"])

    def wrong_value(self, sort):
        if sort == LIST:
            # never a function: a list walk that met one would take it for its own
            # continuation and could walk for ever
            return self.rng.choice(["[ab]", "[]", "5", "(7/0)", "(plus [a] 1)"])
        return self.rng.choice(["[ab]", "I", "H", "(init [xy])", "(plus 1)", "(plus [a] 1)",
                                "(J 1 K)", "(x\\x)", "(strlen (x\\x))", "(7/0)"])

    def wrong_call(self):
        """A builtin call given a value of the wrong kind: it answers Z."""
        if self.in_place and self.rng.random() < 0.3:
            return "(tail [ab])"
        return self.rng.choice([
            "(plus [a] 1)", "(strlen (x\\x))", "(rank (x\\x))", "(cats 1 [a])",
            "(look 1 (y\\y))", "([ab]*01)", "(7/0)", "(5%0)", "(lord (init [abc]))",
            "(toupper [a])", "(abs [a])", "(sqrt 4)", "(exit [a])",
            "(putchar [a])", "(into 0 9 [ab])", "(less 1 (x\\x))", "(1+H)",
            "([abc]-4)", "(init (real 1))", "(wave I)", "(flip (plus 1))"])

    def cafs(self, ctx, sort):
        return [d for d in ctx.defs if d.result == sort and not d.params]

    def int_expr(self, ctx):
        rng = self.rng
        if ctx.depth <= 0:
            return self.leaf(INT, ctx)
        choices = [
            (6, "leaf"), (10, "arith"), (3, "divmod"), (2, "pow"), (2, "neg"), (6, "cond"),
            (9, "call"), (4, "apply"), (3, "brace"), (1.5, "keypair"), (2, "closure"),
            (2.5, "lazy"), (2, "list"), (2, "text"), (1.5, "bits"), (1, "y"),
            (1, "guarded"), (1, "combinator"), (1.5, "caf"), (2, "effect"), (1, "trace"),
            (1, "bitwalk"), (1, "memory"),
        ]
        if ctx.scope.get("a") == ARGV and (self.args or rng.random() < 0.2):
            choices.append((3, "argv"))
        if self.stdin:
            choices.append((2, "getchar"))
        kind = self.pick(choices)
        d = ctx.deeper()
        I = lambda: self.e(INT, d)  # noqa: E731 (an integer operand)
        if kind == "leaf":
            return self.leaf(INT, ctx)
        if kind == "arith":
            return f"({I()}{rng.choice('+-*+-')}{I()})"
        if kind == "divmod":
            op = rng.choice("/%")
            if rng.random() < 0.15:
                return f"({I()}{op}{I()})"
            return f"({I()}{op}(({I()}%{rng.choice([3, 7, 10, 1000, 99991])})+1))"
        if kind == "pow":
            return f"({I()}^({I()}%4))"
        if kind == "neg":
            return f"({rng.choice(['~', 'abs ', 'wave '])}{I()})"
        if kind == "cond":
            c, x, y = self.e(BOOL, d), I(), I()
            if rng.random() < 0.03:
                c = "0"  # the numeral 0 applied to x is K x: it chooses like truth
            return rng.choice([f"({c}?{x}?{y})", f"({c} {x} {y})"])
        if kind == "call":
            return self.maybe_call(ctx, INT) or self.over_application(ctx)
        if kind == "apply":
            if not ctx.spend(FUN_COST):
                return None
            if rng.random() < 0.6:
                return f"({self.e(FUN, d)} {I()})"
            return f"({self.e(FUN2, d)} {I()} {I()})"
        if kind == "brace":
            value_sort = self.pick([(5, INT), (1, TEXT), (1, LIST), (1, FUN), (1, BOOL)])
            value = self.expr(value_sort, d)
            k = ctx.fresh()
            body = self.expr(INT, d.deeper(scope=ctx.bind(k, value_sort), depth=d.depth))
            return f"({k}{{{value}}}{body})"
        if kind == "keypair":
            s1, s2 = rng.choice([INT, INT, TEXT, LIST]), rng.choice([INT, INT, FUN])
            v1, v2 = self.e(s1, d), self.e(s2, d)
            p, q = ctx.fresh(), ctx.fresh()
            if p == q:
                return None
            scope = ctx.bind(p, s1)
            scope[q] = s2
            body = self.expr(INT, d.deeper(scope=scope, depth=d.depth))
            return f"(({p} {q}){{V {v1} {v2}}}{body})"
        if kind == "closure":
            x = ctx.fresh()
            arg_sort = rng.choice([INT, INT, TEXT, LIST])
            body = self.expr(INT, d.deeper(scope=ctx.bind(x, arg_sort), depth=d.depth))
            return f"(({x}\\{body}) {self.e(arg_sort, d)})"
        if kind == "lazy":
            return self.lazy_choice(I())
        if kind == "list":
            which = rng.choice(["sum", "len", "head", "fold"])
            h = self.helper(which)
            if which != "fold":
                return self.call(ctx, h)
            if not ctx.spend(h.cost):
                return None
            return f"({h.name} {self.e(FUN2, d)} {I()} {self.e(LIST, d)})"
        if kind == "text":
            t = self.e(TEXT, d)
            return rng.choice([
                lambda: f"(rank {t})", lambda: f"(strlen (init {t}))",
                lambda: f"(look {number(rng.randrange(-2, 3))} (init ({t}+[xyz])))",
                lambda: f"(lord [{rng.choice('abcxyz019')}])",
                lambda: f"({t}={self.e(TEXT, d)}?1?2)",
                lambda: f"(strcmp (init {t}) (init {self.e(TEXT, d)}))"])()
        if kind == "bits":
            a = I()
            choices = [f"(lord (lots {a}))", f"(cats ({a}%1000) 5)", f"(!({a}%100000))",
                       f"(into 1 3 (({a}%1000)+1000))"]
            if self.in_place:
                choices.append(f"(cork 2 K (({a}%1000)+1000))")
            return rng.choice(choices)
        if kind == "y":
            return self.y_recursion(ctx)
        if kind == "guarded":
            return f"(((type {self.wrong_call()})=[iron])?{I()}?{I()})"
        if kind == "combinator":
            x = I()
            return rng.choice([
                lambda: f"(S K K {x})", lambda: f"(I {x})",
                lambda: f"(T {x} {self.e(FUN, d)})",
                lambda: f"(V {x} {I()} K)", lambda: f"(V {I()} {x} H)"])()
        if kind == "caf":
            cafs = self.cafs(ctx, INT)
            return self.call(ctx, rng.choice(cafs)) if cafs else None
        if kind == "effect":
            w = ctx.fresh()
            effect = self.effect(d)
            body = self.expr(INT, d.deeper(scope=ctx.bind(w, "unit"), depth=d.depth))
            return f"({w}{{{effect}}}{body})"
        if kind == "trace":
            return self.call(ctx, self.helper("trace"))
        if kind == "argv":
            first = "getw(a+16)"
            return rng.choice([
                lambda: f"(({first}=0)?{I()}?(atoi({first})))",
                lambda: f"(({first}=0)?0?(strlen({first})))",
                lambda: f"{self.helper('argc').name}(a+16)",
                lambda: "(getx(getw(a+8)))"])()
        if kind == "getchar":
            return "getchar"
        if kind == "bitwalk":
            # a number applied to two continuations is the list of its bits
            h = self.helper("bits")
            arg = bit_list(rng.randrange(1, 300)) if rng.random() < 0.2 else f"({I()}%100000)"
            return f"({h.name} {arg})" if ctx.spend(h.cost) else None
        if kind == "memory":
            m, x = ctx.fresh(True), ctx.fresh(True)
            if None in (m, x):
                return None
            put, get, size = rng.choice([("setx", "getx", 1), ("setx", "gety", 1),
                                         ("sett", "gett", 2), ("sett", "getv", 2),
                                         ("setu", "getu", 4), ("setu", "gets", 4),
                                         ("setw", "getw", 8)])
            at = rng.randrange(0, 17 - size)
            other = rng.choice([f"+getx({m}+{rng.randrange(0, 16)})", ""])
            return (f"({m}{{calloc(2, 8)}}{x}{{{put}({m}+{at}, {I()})}}"
                    f"{x}{{{get}({m}+{at}){other}}}{m}{{free {m}}}{x})")
        return None

    def lazy_choice(self, x):
        """x, chosen by a lazy head from beside a term that must never be reduced."""
        return self.rng.choice([
            lambda: f"(K {par(x)} {self.never()})",
            lambda: f"(H {self.never()} {par(x)})",
            lambda: f"({self.true_condition()}?{par(x)}?{self.never()})",
            lambda: f"((K {par(x)}) {self.never()})",
            lambda: f"(I {par(x)})"])()

    def over_application(self, ctx):
        """A definition giving a function, applied to one argument more than it takes."""
        ds = self.callable_defs(ctx, FUN)
        if not ds:
            return None
        return self.call(ctx, self.rng.choice(ds), extra=self.expr(INT, ctx.deeper()))

    def y_recursion(self, ctx):
        """Recursion through the fixed point Y, on a counter bounded where it starts."""
        k = self.rng.choice([5, 20, 100, 500])
        if not ctx.spend(k * 20):
            return None
        r, n, s = ctx.fresh(True), ctx.fresh(True), ctx.fresh(True)
        if None in (r, n, s):
            return None
        inner_budget = [20]
        inner = Ctx(self, ctx.bind(n, INT), ctx.names, inner_budget, [], 2)
        inner.scope[r] = "unit"
        base = self.expr(INT, inner)
        step_scope = dict(inner.scope)
        step_scope[s] = INT
        step = self.e(INT, Ctx(self, step_scope, ctx.names, inner_budget, [], 2))
        body = f"({n}<1)?{par(base)}?({s}{{{r}({n}-1)}}(({step}+{s})%{self.modulus()}))"
        return f"(Y ({r}\\{n}\\{body}) ({self.e(INT, ctx.deeper())}%{k}))"

    def effect(self, ctx):
        """Something to print; the prints of a program show its order of evaluation."""
        rng = self.rng
        return rng.choice([
            lambda: f"puts(init {self.word_text()})",
            lambda: f"puts {self.word_text()}",
            lambda: f"putchar(48+({self.e(INT, ctx)}%10))",
            lambda: f"fputs(init {self.word_text()}, stdout)",
            lambda: f"fputs(init {self.word_text()}, stderr)",
            lambda: (lambda t: f"fwrite(init {t}, 1, {len(t) - 2}, stdout)")(self.word_text()),
            lambda: self.call(ctx, self.helper("show")) or "putchar 46"])()

    def bool_expr(self, ctx):
        rng = self.rng
        if ctx.depth <= 0:
            return self.leaf(BOOL, ctx)
        d = ctx.deeper()
        kind = self.pick([(10, "cmp"), (2, "tcmp"), (3, "conn"), (1, "not"), (1, "sign"),
                          (2, "leaf"), (1, "empty"), (1, "bit"), (1, "cond"), (1, "call"),
                          (0.5, "guarded"), (0.5, "class")])
        if kind == "cmp":
            return f"({self.e(INT, d)}{rng.choice('<>=#')}{self.e(INT, d)})"
        if kind == "tcmp":
            if rng.random() < 0.15:  # values of different kinds compare by their kind
                return f"({self.e(TEXT, d)}{rng.choice('<>=#')}{self.e(INT, d)})"
            return f"({self.e(TEXT, d)}{rng.choice('<=#')}{self.e(TEXT, d)})"
        if kind == "conn":
            return f"({self.e(BOOL, d)}{rng.choice('&|')}{self.e(BOOL, d)})"
        if kind == "not":
            return f"(!{self.e(BOOL, d)})"
        if kind == "sign":
            return f"(${self.e(INT, d)})"
        if kind == "leaf":
            return self.leaf(BOOL, ctx)
        if kind == "empty":
            return f"(leaf {self.e(TEXT, d)})"
        if kind == "bit":
            return f"(look {rng.randrange(0, 6)} ({self.e(INT, d)}%100000))"
        if kind == "cond":
            return f"({self.e(BOOL, d)}?{self.e(BOOL, d)}?{self.e(BOOL, d)})"
        if kind == "call":
            return self.maybe_call(ctx, BOOL)
        if kind == "guarded":
            return f"((type {self.wrong_call()})=[iron])"
        return f"({rng.choice(['isdigit', 'isalpha', 'isupper'])} {rng.randrange(40, 100)})"

    def text_expr(self, ctx):
        rng = self.rng
        if ctx.depth <= 0:
            return self.leaf(TEXT, ctx)
        d = ctx.deeper()
        kind = self.pick([(6, "leaf"), (3, "cats"), (1, "repeat"), (1, "trim"), (1, "left"),
                          (1, "char"), (1, "blob"), (2, "cond"), (2, "call"), (1, "caf")])
        if kind == "leaf":
            return self.leaf(TEXT, ctx)
        if kind == "cats":
            a, b = self.e(TEXT, d), self.e(TEXT, d)
            return rng.choice([f"(cats {a} {b})", f"({a}+{b})"])
        if kind == "repeat":
            return f"({self.text_literal(small=True)}*({self.e(INT, d)}%4))"
        if kind == "trim":
            t = self.e(TEXT, d)
            if rng.random() < 0.8:
                t = f"(cats {t} {self.text_literal(small=True)[:-1]}abc])"
            return f"({t}-({self.e(INT, d)}%3))"
        if kind == "left":
            t = self.e(TEXT, d)
            return f"(left {t})" if rng.random() < 0.2 else f"(left ({t}+[q]))"
        if kind == "char":
            return f"(rows (97+({self.e(INT, d)}%26)))"
        if kind == "blob":
            return f"(rows (init {self.e(TEXT, d)}))"
        if kind == "cond":
            return f"({self.e(BOOL, d)}?{self.e(TEXT, d)}?{self.e(TEXT, d)})"
        if kind == "call":
            return self.maybe_call(ctx, TEXT)
        cafs = self.cafs(ctx, TEXT)
        return self.call(ctx, rng.choice(cafs)) if cafs else None

    def list_expr(self, ctx):
        rng = self.rng
        if ctx.depth <= 0:
            return self.leaf(LIST, ctx)
        d = ctx.deeper()
        kind = self.pick([(4, "leaf"), (3, "cons"), (2, "range"), (2, "map"), (1, "append"),
                          (1, "rev"), (1, "evens"), (1, "cond"), (2, "call"), (1, "caf")])
        if kind == "leaf":
            return self.leaf(LIST, ctx)
        if kind == "cons":
            return f"(J {self.e(INT, d)} {self.e(LIST, d)})"
        if kind in ("range", "append", "evens"):
            return self.call(ctx, self.helper(kind))
        if kind in ("map", "rev"):
            h = self.helper(kind)
            if not ctx.spend(h.cost):
                return None
            if kind == "map":
                return f"({h.name} {self.e(FUN, d)} {self.e(LIST, d)})"
            return f"({h.name} {self.e(LIST, d)} K)"
        if kind == "cond":
            return f"({self.e(BOOL, d)}?{self.e(LIST, d)}?{self.e(LIST, d)})"
        if kind == "call":
            return self.maybe_call(ctx, LIST)
        cafs = self.cafs(ctx, LIST)
        return self.call(ctx, rng.choice(cafs)) if cafs else None

    def fun_ctx(self, ctx, scope=None):
        """A function body may be applied many times: it gets a small budget of its own.
        It does not see the argument vector: a function value that held its address could
        be shown in a Range report, and the address changes from run to run."""
        scope = dict(ctx.scope) if scope is None else scope
        if scope.get("a") == ARGV:
            scope["a"] = "unit"
        return Ctx(self, scope, ctx.names,
                   [FUN_COST], [dd for dd in ctx.defs if dd.cost <= FUN_COST // 2],
                   min(ctx.depth - 1, 2))

    def fun_expr(self, ctx):
        rng = self.rng
        if ctx.depth <= 0:
            return self.leaf(FUN, ctx)
        kind = self.pick([(5, "lambda"), (3, "partial"), (2, "leaf"), (1, "const"),
                          (1, "compose"), (1, "dup"), (1, "s"), (2, "def"), (1, "cond"),
                          (1, "caf")])
        f = self.fun_ctx(ctx)
        if kind == "lambda":
            x = ctx.fresh()
            return f"({x}\\{self.expr(INT, self.fun_ctx(ctx, ctx.bind(x, INT)))})"
        if kind == "partial":
            return rng.choice([
                lambda: f"({rng.choice(['plus', 'mult', 'dash'])} {self.e(INT, f)})",
                lambda: f"({self.e(FUN2, f)} {self.e(INT, f)})"])()
        if kind == "leaf":
            return self.leaf(FUN, ctx)
        if kind == "const":
            return f"(K {self.e(INT, f)})"
        if kind == "compose":
            return f"(B {self.e(FUN, f)} {self.e(FUN, f)})"
        if kind == "dup":
            return f"(W {self.e(FUN2, f)})"
        if kind == "s":
            return f"(S {self.e(FUN2, f)} {self.e(FUN, f)})"
        if kind == "def":
            ds = [dd for dd in ctx.defs if dd.cost <= FUN_COST // 2 and dd.result == INT
                  and dd.params and dd.params[-1] == INT and not dd.bounded
                  and dd.syntax == "call" and ARGV not in dd.params]
            if not ds:
                return None
            dd = rng.choice(ds)
            args = [self.e(s, f) for s in dd.params[:-1]]
            return "(" + " ".join([dd.name] + args) + ")" if args else dd.name
        if kind == "cond":
            return f"({self.e(BOOL, ctx.deeper())}?{self.e(FUN, f)}?{self.e(FUN, f)})"
        cafs = [dd for dd in self.cafs(ctx, FUN) if dd.cost <= FUN_COST]
        return self.call(ctx, rng.choice(cafs)) if cafs else None

    def fun2_expr(self, ctx):
        rng = self.rng
        if ctx.depth <= 0:
            return self.leaf(FUN2, ctx)
        kind = self.pick([(4, "lambda"), (3, "leaf"), (1, "flip"), (1, "const"), (1, "def")])
        f = self.fun_ctx(ctx)
        if kind == "lambda":
            x, y = ctx.fresh(), ctx.fresh()
            scope = ctx.bind(x, INT)
            scope[y] = INT
            return f"({x}\\{y}\\{self.expr(INT, self.fun_ctx(ctx, scope))})"
        if kind == "leaf":
            return self.leaf(FUN2, ctx)
        if kind == "flip":
            return f"(C {self.e(FUN2, f)})"
        if kind == "const":
            return f"(K {self.e(FUN, f)})"
        ds = [dd for dd in ctx.defs if dd.cost <= FUN_COST // 2 and dd.result == INT
              and dd.params == [INT, INT] and not dd.bounded and dd.syntax == "call"]
        return rng.choice(ds).name if ds else None

    # ---------------------------------------------------------------- definitions

    def params_for(self, sorts, names):
        """Parameter names for a definition: mostly letters, now and then long names."""
        out = []
        for _ in sorts:
            if self.rng.random() < 0.15:
                free = [p for p in LONG_PARAMS if p not in names]
                if free:
                    p = self.rng.choice(free)
                    names.add(p)
                    out.append(p)
                    continue
            free = [c for c in LETTERS if c not in names]
            p = self.rng.choice(free)
            names.add(p)
            out.append(p)
        return out

    def body_ctx(self, params, sorts, budget, depth):
        names = set(params)
        return Ctx(self, dict(zip(params, sorts)), names, [budget], list(self.defs), depth)

    def other_sorts(self, most):
        return [self.pick([(6, INT), (1, TEXT), (1, LIST), (1, FUN), (0.5, BOOL)])
                for _ in range(self.rng.randrange(0, most + 1))]

    def result_sort(self):
        return self.pick([(10, INT), (2, BOOL), (2, TEXT), (2, LIST), (1.5, FUN)])

    def define_plain(self):
        rng = self.rng
        name = self.new_name()
        count = rng.randrange(1, 5) if rng.random() < 0.95 else rng.randrange(5, 10)
        sorts = [self.pick([(8, INT), (1, TEXT), (1, LIST), (2, FUN), (0.5, FUN2), (0.5, BOOL)])
                 for _ in range(count)]
        result = self.result_sort()
        names = set()
        params = self.params_for(sorts, names)
        ctx = self.body_ctx(params, sorts, DEF_BUDGET // 4, rng.randrange(2, 5))
        ctx.names |= names
        body = self.expr(result, ctx)
        cost = DEF_BUDGET // 4 - ctx.budget[0] + 2
        self.sources.append(f"{name}\\" + "\\".join(params) + "\\" + body)
        self.defs.append(Def(name, sorts, result, cost))

    def define_operator(self):
        op = self.rng.choice([":", "'"])
        if any(d.syntax == "operator" for d in self.defs):
            return
        ctx = self.body_ctx(["q", "r"], [INT, INT], 200, 3)
        body = self.expr(INT, ctx)
        self.sources.append(f"[{op}]\\q\\r\\{body}")
        self.defs.append(Def(op, [INT, INT], INT, 202, syntax="operator"))

    def redefine_builtin_operator(self):
        """An operator the prelude binds to a builtin, defined again by the program: the
        same operation, now and then printing a mark each time it is done, or, for *, a
        different one. Loops and recursion rely on the others keeping their meaning."""
        op, builtin = self.rng.choice([("+", "plus"), ("-", "dash"), ("*", "mult"),
                                       ("%", "cent"), ("/", "over"), ("<", "less"),
                                       ("=", "same"), ("#", "diff"), (">", "gteq")])
        body = f"{builtin} q r"
        if op == "*" and self.rng.random() < 0.5:
            body = "plus q (plus r 1)"
        if self.rng.random() < 0.4:
            body = f"w{{putchar {ord(op)}}}{body}"
        self.sources.append(f"[{op}]\\q\\r\\{body}")

    def redefine_truth(self):
        """K or H, the truth values, defined again by the program: the same choice, now
        and then printing a mark each time it is made."""
        if self.rng.random() < 0.5:
            mark = "w{putchar 75}" if self.rng.random() < 0.5 else ""
            self.sources.append(f"K\\a\\b\\{mark}a")
        else:
            mark = "w{putchar 72}" if self.rng.random() < 0.5 else ""
            self.sources.append(f"H\\a\\{mark}I")

    def define_builtin_name(self):
        """A definition under a builtin's name and arity: a call still reaches the builtin."""
        name, params = self.rng.choice([("abs", "x"), ("labs", "x"), ("toupper", "x"),
                                        ("rank", "x"), ("cats", "x\\y"), ("look", "x\\y")])
        self.sources.append(f"{name}\\{params}\\{self.int_literal()}")

    def define_capital(self):
        capitals = [c for c in LAZY_CAPITALS + STRICT_CAPITALS if c not in self.names]
        if not capitals:
            return
        cap = self.rng.choice(capitals)
        self.names.add(cap)
        self.m_redefined = cap == "M"
        ctx = self.body_ctx(["x", "y"], [INT, INT], 200, 3)
        body = self.expr(INT, ctx)
        self.sources.append(f"{cap}\\x\\y\\{body}")
        self.defs.append(Def(cap, [INT, INT], INT, 202))

    def define_constant(self, nullary_form):
        """A definition without parameters: computed once, or at every use."""
        name = self.new_name("const" if not nullary_form else "fresh")
        result = self.pick([(6, INT), (2, LIST), (2, TEXT), (1, FUN)])
        ctx = self.body_ctx([], [], DEF_BUDGET // 4, self.rng.randrange(2, 5))
        announce = self.rng.random() < (0.3 if not nullary_form else 0.7)
        if announce:
            ctx.names.add("w")
        body = self.expr(result, ctx)
        if result == FUN:
            body = f"I ({body})"
        if announce:
            body = f"w{{puts(init [{name}])}}{body}"
        cost = DEF_BUDGET // 4 - ctx.budget[0] + 2
        header = f"{name}()" if nullary_form else name
        self.sources.append(f"{header}\\{body}")
        self.defs.append(Def(name, [], result, cost, syntax="nullary"))

    def define_cycle(self):
        """A definition without parameters whose value needs itself (the Cycle report),
        directly or through a call."""
        name = self.new_name("cycle")
        ctx = self.body_ctx([], [], 50, 2)
        ints = [d for d in self.defs if d.params == [INT] and d.syntax == "call"]
        inner = f"{self.rng.choice(ints).name}({name})" if ints and self.rng.random() < 0.5 \
            else name
        self.sources.append(f"{name}\\({self.e(INT, ctx)}+{par(inner)})")
        return name

    def define_recursion(self):
        """Recursion on a counter: linear (n-1, n-2, n/2), tree-shaped, or two definitions
        that call each other."""
        rng = self.rng
        shape = self.pick([(5, "linear"), (1, "tree"), (1, "mutual")])
        result = INT if shape == "tree" else self.pick([(6, INT), (1, TEXT), (1, LIST)])
        bound = {"linear": rng.choice([10, 50, 200, 1000, 1999, 20000]),
                 "tree": rng.choice([8, 12, 15]),
                 "mutual": rng.choice([20, 100, 500])}[shape]
        if result != INT:
            bound = min(bound, 40)
        calls = {8: 70, 12: 470, 15: 2000}.get(bound, bound) if shape == "tree" else bound
        per_call = max(6, DEF_BUDGET // calls)
        sorts = [INT] + self.other_sorts(2)
        names = set()
        params = self.params_for(sorts, names)
        n = params[0]
        own = [self.new_name() for _ in range(2 if shape == "mutual" else 1)]
        partner = own[::-1] if shape == "mutual" else own
        total = 0
        for me, other in zip(own, partner):
            ctx = self.body_ctx(params, sorts, per_call, rng.randrange(2, 4))
            ctx.names |= names
            base = self.expr(result, ctx)
            r = ctx.fresh(unique=True)
            if r is None:
                return
            step_ctx = ctx.deeper(scope=ctx.bind(r, result), depth=ctx.depth)
            step = self.recursion_step(result, r, step_ctx)
            decrement = rng.choice([f"({n}-1)", f"({n}-1)", f"({n}-2)", f"({n}/2)"])
            args = [decrement] + [self.passed_on(p, s, ctx)
                                  for p, s in zip(params[1:], sorts[1:])]
            call = f"{other}(" + ", ".join(args) + ")"
            if shape == "tree":
                s2 = ctx.fresh(unique=True)
                if s2 is None:
                    return
                call2 = f"{other}(" + ", ".join([f"({n}-2)"] + args[1:]) + ")"
                step = f"({s2}{{{call2}}}((({step})+{s2})%{self.modulus()}))"
            recurse = f"({r}{{{call}}}{step})"
            if rng.random() < 0.5:
                body = f"(({n}<1)?({base})?{recurse})"
            else:
                body = f"(({n}>1)?{recurse}?({base}))"
            total += per_call - ctx.budget[0]
            self.sources.append(f"{me}\\" + "\\".join(params) + "\\" + body)
        cost = calls * (total + 2)
        for me in own:
            self.defs.append(Def(me, sorts, result, cost, bounded={0: bound}))

    def recursion_step(self, result, r, ctx):
        """What one level adds to the result of the level below, kept from growing."""
        rng = self.rng
        if result == TEXT:
            t = self.text_literal(small=True)
            return rng.choice([f"(cats {r} {t})", f"(cats {t} {r})", f"({r}+{t})"])
        if result == LIST:
            return f"(J ({self.expr(INT, ctx)}) {r})"
        x = self.expr(INT, ctx)
        combined = rng.choice([f"(({x})+{r})", f"({r}*({x}))", f"(({x})-{r})", x,
                               f"(({r}*10)+(({x})%10))"])
        return f"(({combined})%{self.modulus()})"

    def passed_on(self, p, sort, ctx):
        """The argument a recursive call passes for a parameter other than the counter."""
        if sort == INT and self.rng.random() < 0.5:
            return f"(({self.expr(INT, ctx)})%{self.modulus()})"
        return p

    def define_loop(self):
        """A tail loop with an accumulator, counting down to 0 or up to a limit."""
        rng = self.rng
        bound = rng.choice([10, 100, 1000, 5000, 20000])
        per_step = max(6, 2 * DEF_BUDGET // bound)
        upward = rng.random() < 0.4
        others = self.other_sorts(2)
        sorts = ([INT, INT, INT] if upward else [INT, INT]) + others
        names = set()
        params = self.params_for(sorts, names)
        name = self.new_name("loop")
        ctx = self.body_ctx(params, sorts, per_step, rng.randrange(2, 4))
        ctx.names |= names
        if upward:
            i, n, acc = params[:3]
            rest = params[3:]
        else:
            i, acc = params[:2]
            n, rest = None, params[2:]
        final = self.expr(INT, ctx)
        x = self.expr(INT, ctx)
        update = rng.choice([f"(({x})+{acc})", f"({acc}*({x}))", f"(({acc}*31)+({x}))",
                             f"(({x})-{acc})", x])
        update = f"(({update})%{self.modulus()})"
        if upward:
            args = [f"({i}+1)", n, update] + rest
            # (n-i)>1 rather than i<n: if i is not an integer (a real, say, which the
            # comparisons order below every integer) the loop must still end
            body = f"((({n}-{i})>1)?({name}(" + ", ".join(args) + f"))?({final}))"
            bounded = {0: 5, 1: bound}
        else:
            args = [f"({i}-1)", update] + rest
            body = f"(({i}<1)?({final})?({name}(" + ", ".join(args) + ")))"
            bounded = {0: bound}
        used = per_step - ctx.budget[0]
        self.sources.append(f"{name}\\" + "\\".join(params) + "\\" + body)
        # call sites bound the counter with % from arguments of every size: on average
        # the loop runs for a fraction of its bound
        self.defs.append(Def(name, sorts, INT, bound * (used + 2) // 3 + 10, bounded=bounded))

    # ---------------------------------------------------------------- programs

    def uncalled(self):
        """The definitions whose names no other definition mentions, at most four."""
        found = [d for d in self.defs
                 if not any(re.search(rf"(?<![a-z_]){re.escape(d.name)}(?![a-z_])", src)
                            for src in self.sources
                            if not src.startswith(d.name + "\\") and
                            not src.startswith(d.name + "()"))]
        self.rng.shuffle(found)
        return found[:4]

    def use(self, d, ctx):
        """An integer from a call of d, whatever d gives."""
        call = self.call(ctx, d)
        if call is None:
            return None
        c = par(call)
        if d.result == INT:
            return call
        if d.result == BOOL:
            return f"({c}?1?2)"
        if d.result == TEXT:
            return f"(rank {c})"
        if d.result == LIST:
            return self.call(ctx, self.helper("sum"), first=call)
        return f"({c} {self.e(INT, ctx.deeper())})"

    def program(self):
        rng = self.rng
        self.wrong_kinds = rng.random() < 0.12
        # a program that may change values in place runs on the machine alone, whatever
        # RUK_ENGINE says: a few of them check that the choice is made alike
        self.in_place = rng.random() < 0.03
        if rng.random() < 0.1:
            self.args = [rng.choice(["12", "0", "07", "300", "hello", "-5", "2x"])
                         for _ in range(rng.randrange(1, 4))]
        if rng.random() < 0.06:
            self.stdin = bytes(rng.choice(b"abcxyz019\n ") for _ in range(rng.randrange(0, 12)))
        # capitals and operators first: a redefined M must be known before any term that
        # must never be reduced is chosen, and the other definitions may use them
        if rng.random() < 0.03:
            self.define_capital()
        if rng.random() < 0.03:
            self.define_operator()
        if rng.random() < 0.04:
            self.redefine_builtin_operator()
        if rng.random() < 0.02:
            self.define_builtin_name()
        if rng.random() < 0.015:
            self.redefine_truth()
        makers = [(6, self.define_plain), (3, self.define_recursion), (2, self.define_loop),
                  (1.5, lambda: self.define_constant(False)),
                  (0.7, lambda: self.define_constant(True))]
        for _ in range(rng.randrange(0, 8)):
            self.pick(makers)()

        final = INT if rng.random() < 0.9 else self.pick(
            [(2, TEXT), (2, LIST), (1, FUN), (1, BOOL), (1, "real"), (1, "z")])
        ctx = Ctx(self, {"a": ARGV}, {"a"}, [ENTRY_BUDGET], list(self.defs), rng.randrange(3, 6))
        steps = []
        for _ in range(rng.choice([0, 0, 0, 1, 2, 3])):
            key = ctx.fresh()
            steps.append(f"{key}{{{self.effect(ctx.deeper(depth=2))}}}")
            ctx.scope = ctx.bind(key, "unit")
        if final == "real":
            body = f"(real ({self.expr(INT, ctx)}))"
        elif final == "z":
            body = f"({self.wrong_call()} ({self.expr(INT, ctx)}))"
        elif final == INT:
            body = self.expr(INT, ctx)
            if rng.random() < 0.015:
                body = f"({par(body)}+{self.define_cycle()})"
            # use the definitions nothing else calls, so that few are dead code
            for d in self.uncalled():
                used = self.use(d, ctx)
                if used is not None:
                    body = rng.choice([f"({par(body)}{rng.choice('+-*+')}{par(used)})",
                                       f"({par(used)}{rng.choice('+-')}{par(body)})"])
        else:
            body = self.expr(final, ctx)
        entry = "a\\" + "".join(steps) + body
        definitions = self.sources[:]
        rng.shuffle(definitions)
        return ",\n".join([entry] + definitions) + "\n"


def generate(seed, index):
    """Program `index` of `seed`: its text, arguments and standard input."""
    gen = Generator(random.Random(f"{seed}/{index}"))
    text = gen.program()
    return text, gen.args, gen.stdin


# -------------------------------------------------------------------- running

def check(ruk, seed, index, timeout):
    """Runs program `index` on both engines, in a folder of its own (the programs write
    no files)."""
    text, args, stdin = generate(seed, index)
    outcomes = []
    with tempfile.TemporaryDirectory(prefix="ruk-gen-") as folder:
        with open(os.path.join(folder, "prog.ruk"), "w") as f:
            f.write(text)
        for engine in (run_engines.MACHINE, run_engines.COMPILED):
            outcomes.append(run_engines.run_bounded([ruk, "prog.ruk"] + args, folder, stdin,
                                                    run_engines.engine_env(engine), timeout))
    return index, text, args, stdin, outcomes[0], outcomes[1]


REPORT_TYPE = re.compile(rb"^ Type: (\w+)$", re.M)


def classify(outcome):
    if outcome.timed_out:
        return "timeout"
    if outcome.status < 0:
        return f"signal {-outcome.status}"
    found = REPORT_TYPE.search(outcome.stderr.bytes())
    if outcome.status == 128 and found:
        return found.group(1).decode() + " report"
    return "integer"


def problems_of(machine, compiled):
    problems = []
    for engine, outcome in (("machine", machine), ("compiled", compiled)):
        kind = classify(outcome)
        if kind == "timeout" or kind.startswith("signal"):
            problems.append(f"the {engine} engine: {kind}")
        if NEVER_MARK in outcome.stderr.bytes():
            problems.append(f"the {engine} engine reduced a term that must never be reduced")
    if machine.timed_out or compiled.timed_out:
        return problems
    if machine.status != compiled.status:
        problems.append(f"exit status: machine {machine.status}, compiled {compiled.status}")
    for key in ("stdout", "stderr"):
        if getattr(machine, key) != getattr(compiled, key):
            problems.append(run_engines.stream_difference(key, getattr(machine, key),
                                                          getattr(compiled, key)))
    return problems


def run_all(options):
    ruk = os.path.abspath(options.ruk)
    kinds = collections.Counter()
    statuses = collections.Counter()
    printing = bad = done = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, options.jobs)) as pool:
        jobs = [pool.submit(check, ruk, options.seed, i, options.timeout)
                for i in range(options.count)]
        for job in concurrent.futures.as_completed(jobs):
            index, text, args, stdin, machine, compiled = job.result()
            done += 1
            kind = classify(machine)
            kinds[kind] += 1
            if kind == "integer":
                statuses[machine.status] += 1
            if machine.stdout.size or machine.stderr.size:
                printing += 1
            problems = problems_of(machine, compiled)
            if not problems:
                continue
            bad += 1
            print(f"=== program {index} of seed {options.seed} "
                  f"(args {args!r}, stdin {stdin!r}; shown again by "
                  f"gen_programs.py --seed {options.seed} --index {index}):")
            print(text, end="")
            for p in problems:
                print("  " + p.replace("\n", "\n  "))
            sys.stdout.flush()
            if bad == options.max_problems:
                print(f"stopping after {bad} programs with problems")
                for other in jobs:
                    other.cancel()
                break
    print(f"{done} programs of seed {options.seed} run, {bad} with problems")
    print("outcomes: " + ", ".join(f"{k} {v} ({100 * v / done:.1f}%)"
                                   for k, v in kinds.most_common()))
    print(f"programs that print: {printing}; distinct integer statuses: {len(statuses)}; "
          "most common: " + ", ".join(f"{s}: {c}" for s, c in statuses.most_common(8)))
    share = kinds["integer"] / done if done else 0
    if share < options.min_integer_share:
        print(f"only {100 * share:.1f}% of the programs ended with an integer "
              f"(at least {100 * options.min_integer_share:.0f}% wanted)")
        return 1
    return 1 if bad else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=100)
    parser.add_argument("--index", type=int, help="print this one program and stop")
    parser.add_argument("--out", help="write the programs into this folder")
    parser.add_argument("--ruk", help="run the programs on both engines of this binary")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--timeout", type=float, default=60, help="seconds per run")
    parser.add_argument("--min-integer-share", type=float, default=0.0)
    parser.add_argument("--max-problems", type=int, default=25,
                        help="stop after this many programs with problems")
    options = parser.parse_args()

    if options.index is not None:
        text, args, stdin = generate(options.seed, options.index)
        sys.stdout.write(text)
        if args:
            print(f"args: {args!r}", file=sys.stderr)
        if stdin:
            print(f"stdin: {stdin!r}", file=sys.stderr)
        return 0
    if options.out:
        os.makedirs(options.out, exist_ok=True)
        for i in range(options.count):
            text, args, stdin = generate(options.seed, i)
            base = os.path.join(options.out, f"gen_{options.seed}_{i}")
            with open(base + ".ruk", "w") as f:
                f.write(text)
            if args:
                with open(base + ".args", "w") as f:
                    f.write("".join(a + "\n" for a in args))
            if stdin:
                with open(base + ".stdin", "wb") as f:
                    f.write(stdin)
    if options.ruk:
        return run_all(options)
    if not options.out:
        parser.error("give --out, --ruk or --index")
    return 0


if __name__ == "__main__":
    sys.exit(main())
