#!/usr/bin/env python3
"""Expected results for tests/unit/bigint_test.cpp, computed with Python's int.

Reads requests from the file named by the first argument, one per line, "<op> <a> <b>"
with decimal magnitudes, and prints one answer per line:
  cmp a b   -1, 0 or 1
  add a b   a + b
  sub a b   a - b (a >= b)
  mul a b   a * b
  div a b   the quotient and the remainder of a / b, separated by a blank
  pow a e   a to the power e
"""
import sys

sys.set_int_max_str_digits(0)


def answer(op, a, b):
    if op == "cmp":
        return str((a > b) - (a < b))
    if op == "add":
        return str(a + b)
    if op == "sub":
        return str(a - b)
    if op == "mul":
        return str(a * b)
    if op == "div":
        q, r = divmod(a, b)
        return f"{q} {r}"
    if op == "pow":
        return str(a ** b)
    raise ValueError(op)


def main():
    out = []
    with open(sys.argv[1]) as requests:
        for line in requests:
            op, a, b = line.split()
            out.append(answer(op, int(a), int(b)))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
