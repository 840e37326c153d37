#!/usr/bin/env python3
"""Expected results for tests/unit/data_test.cpp, computed with Python's bytes and int.

Reads requests from the file named by the first argument, one per line, and prints one
answer per line. Bytes are written "=" + hex, so that no bytes at all is "=".
  look <bytes> <i>             byte i of the bytes (negative i counts from the end) as a
                               signed 8-bit number, or Z outside
  into <bytes> <start> <len>   the bytes from start, length of them, as "=" + hex; Z when
                               start is negative or the slice runs past the end
  lots <int>                   "=" + the elements of the integer's bit list, H and K
"""
import sys


def look(data, i):
    if i < 0:
        i += len(data)
    if not 0 <= i < len(data):
        return "Z"
    b = data[i]
    return str(b - 256 if b >= 128 else b)


def into(data, start, length):
    if start < 0 or length < 0 or start + length > len(data):
        return "Z"
    return "=" + data[start:start + length].hex()


def elements(n):
    """A positive N is H then its binary digits below the top one, lowest first; -N is K
    then the elements of N; zero has none."""
    if n == 0:
        return ""
    if n < 0:
        return "K" + elements(-n)
    below_top = bin(n)[3:][::-1]
    return "H" + "".join("K" if d == "1" else "H" for d in below_top)


def main():
    if hasattr(sys, "set_int_max_str_digits"):
        sys.set_int_max_str_digits(0)
    out = []
    with open(sys.argv[1]) as f:
        for line in f:
            words = line.split()
            op = words[0]
            if op == "look":
                out.append(look(bytes.fromhex(words[1][1:]), int(words[2])))
            elif op == "into":
                out.append(into(bytes.fromhex(words[1][1:]), int(words[2]), int(words[3])))
            elif op == "lots":
                out.append("=" + elements(int(words[1])))
            else:
                raise ValueError(op)
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
