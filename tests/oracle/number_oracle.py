#!/usr/bin/env python3
"""Expected results for tests/unit/number_test.cpp, computed with Python's int.

Reads requests from the file named by the first argument, one per line, "<op> <arg>",
and prints one answer per line:
  value <text>   bit value V of a number leaf text, as lowercase hex
  int64 <text>   the signed 64-bit machine integer of an integer's text
  text <hex>     the number leaf text of the bit value V given in hex
  real <text>    the double of an integer text, as its 16 hex digits of bits
"""
import struct
import sys


def bit_value(text):
    """z leading zeros and then the digits of N: V = N 2^(z+1) + 2^z - 1."""
    digits = text.lstrip("0")
    z = len(text) - len(digits)
    n = int(digits) if digits else 0
    return (n << (z + 1)) + (1 << z) - 1


def negative(text):
    return len(text) > 1 and text[0] == "0" and text[1] != "0"


def int64(text):
    if negative(text):
        m = int(text[1:]) % (1 << 64)
        m = (-m) % (1 << 64)
    else:
        m = (bit_value(text) >> 1) % (1 << 64)
    return m - (1 << 64) if m >= (1 << 63) else m


def text_of(v):
    z = 0
    while (v >> z) & 1:
        z += 1
    n = v >> (z + 1)
    return "0" * z + (str(n) if n else "")


def real(text):
    if negative(text):
        sign, digits = -1, text[1:]
    else:
        sign, digits = 1, text
    try:
        d = sign * float(int(digits))
    except OverflowError:
        d = sign * float("inf")
    return struct.pack(">d", d).hex()


def main():
    ops = {
        "value": lambda a: format(bit_value(a), "x"),
        "int64": lambda a: str(int64(a)),
        "text": lambda a: text_of(int(a, 16)),
        "real": real,
    }
    sys.set_int_max_str_digits(0) if hasattr(sys, "set_int_max_str_digits") else None
    out = []
    with open(sys.argv[1]) as f:
        for line in f:
            op, arg = line.split()
            out.append(ops[op](arg))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
