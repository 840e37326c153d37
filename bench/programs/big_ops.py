#!/usr/bin/env python3
"""The big-number workloads of bench/bigcompare.py, in CPython.

Each workload is timed with decimal text in and decimal text out ("text"), and where the
text is not the work itself, also as the bare operation on ints ("op"). The factorial
keeps its running product as an int: that is the loop CPython users write.

Usage: big_ops.py RUNS; prints "<workload> <kind> <median seconds>" lines.
"""
import statistics
import sys
import time

sys.set_int_max_str_digits(0)


def digits(n, seed):
    """n digits of the linear congruential sequence shared with the other two programs."""
    x, out = seed, []
    for _ in range(n):
        x = (x * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        out.append(chr(48 + (x >> 33) % 10))
    if out[0] == "0":
        out[0] = "1"
    return "".join(out)


def median_time(fn, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def factorial():
    f = 1
    for i in range(2, 20001):
        f *= i
    return f


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    a, b = digits(100000, 1), digits(100000, 2)
    c, d = digits(200000, 3), digits(100000, 4)
    ia, ib, ic, id_ = int(a), int(b), int(c), int(d)
    rows = [
        ("multiply100k", "text", lambda: str(int(a) * int(b))),
        ("multiply100k", "op", lambda: ia * ib),
        ("power2^100000", "text", lambda: str(2 ** 100000)),
        ("power2^100000", "op", lambda: 2 ** 100000),
        ("factorial20000", "op", factorial),
        ("divide200k/100k", "text", lambda: [str(x) for x in divmod(int(c), int(d))]),
        ("divide200k/100k", "op", lambda: divmod(ic, id_)),
    ]
    for name, kind, fn in rows:
        print(f"{name} {kind} {median_time(fn, runs):.6f}", flush=True)


if __name__ == "__main__":
    main()
