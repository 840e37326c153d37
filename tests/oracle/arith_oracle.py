#!/usr/bin/env python3
"""Expected results for tests/unit/arith_test.cpp and compare_test.cpp, from Python's int
and fractions.Fraction.

Reads requests from the file named by the first argument, one per line, and prints one
answer per line:
  int <op> <a> <b>   op one of plus dash mult over cent powa less gteq same diff, a and b
                     integer texts ("0" is the minus sign, "K" is zero); the answer is the
                     canonical integer text, "K", "H" or "Z". Equality compares the texts:
                     "K" is zero in value but equals only "K"
  bf <op> <a> <b>    a and b binary float texts (number leaves beginning "00"); op plus or
                     dash gives the exact sum or difference as the shortest binary float
                     text, op cmp gives -1, 0 or 1 by value (the NaN "00" below all)
"""
import sys
from fractions import Fraction


def int_of(text):
    if text == "K":
        return 0
    if len(text) > 1 and text[0] == "0":
        return -int(text[1:])
    return int(text)


def text_of(text):
    """The decimal text of an integer text: its canonical form, "K" as it stands."""
    return text if text == "K" else text_of_int(int_of(text))


def text_of_int(v):
    return "0" + str(-v) if v < 0 else str(v)


def int_op(op, a, b):
    if op == "plus":
        return text_of_int(a + b)
    if op == "dash":
        return text_of_int(a - b)
    if op == "mult":
        return text_of_int(a * b)
    if op == "over":
        if b == 0:
            return "Z"
        q = abs(a) // abs(b)  # truncated toward zero
        return text_of_int(-q if (a < 0) != (b < 0) else q)
    if op == "cent":
        if b == 0:
            return "Z"
        return text_of_int(a % b)  # Python's remainder has the sign of the divisor
    if op == "powa":
        if b < 0:
            return "0"
        return text_of_int(a ** b)
    truth = {"less": a < b, "gteq": a >= b, "same": a == b, "diff": a != b}[op]
    return "K" if truth else "H"


def bit_value(text):
    """z leading zeros and then the digits of N: V = N 2^(z+1) + 2^z - 1."""
    digits = text.lstrip("0")
    z = len(text) - len(digits)
    n = int(digits) if digits else 0
    return (n << (z + 1)) + (1 << z) - 1


def text_of_bits(v):
    z = 0
    while (v >> z) & 1:
        z += 1
    n = v >> (z + 1)
    return "0" * z + (str(n) if n else "")


def elements(v):
    out = []
    while v > 1:
        out.append(v & 1)
        v >>= 1
    return out


def weight(i):
    """Element i >= 3 of a binary float carries 2^k at 2k + 3 and 2^-k at 2k + 2."""
    return (i - 3) // 2 if i % 2 else -((i - 2) // 2)


def bf_value(text):
    """The Fraction of a binary float text, or None for the NaN "00"."""
    e = elements(bit_value(text))
    if len(e) < 2:
        return None
    assert e[0] == 1 and e[1] == 1
    scale = len(e)  # below every weight of the payload
    n = 0
    for i in range(3, len(e)):
        if e[i]:
            n += 1 << (weight(i) + scale)
    value = Fraction(n, 1 << scale)
    negative = len(e) > 2 and e[2] == 0
    return -value if negative else value


def bf_text(value):
    if value is None:
        return "00"
    if value == 0:
        return "000"
    m = abs(value)
    assert m.denominator & (m.denominator - 1) == 0, "a sum of binary floats is dyadic"
    scale = m.denominator.bit_length() - 1
    n = m.numerator
    e = {0: 1, 1: 1, 2: 0 if value < 0 else 1}
    pos = 0
    while n:
        if n & 1:
            w = pos - scale
            e[2 * w + 3 if w >= 0 else -2 * w + 2] = 1
        n >>= 1
        pos += 1
    last = max(e)
    v = 1 << (last + 1)
    for i, bit in e.items():
        if bit:
            v |= 1 << i
    return text_of_bits(v)


def bf_op(op, a, b):
    x, y = bf_value(a), bf_value(b)
    if op == "cmp":
        if x is None or y is None:
            return str((x is not None) - (y is not None))
        return str((x > y) - (x < y))
    if x is None or y is None:
        return "00"
    return bf_text(x + y if op == "plus" else x - y)


def main():
    sys.set_int_max_str_digits(0) if hasattr(sys, "set_int_max_str_digits") else None
    out = []
    with open(sys.argv[1]) as f:
        for line in f:
            kind, op, a, b = line.split()
            if kind == "int" and op in ("same", "diff"):
                same = text_of(a) == text_of(b)
                out.append("K" if same == (op == "same") else "H")
            elif kind == "int":
                out.append(int_op(op, int_of(a), int_of(b)))
            else:
                out.append(bf_op(op, a, b))
    sys.stdout.write("\n".join(out) + ("\n" if out else ""))


if __name__ == "__main__":
    main()
