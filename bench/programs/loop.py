import sys
def sa(i, n, c):
    while not n < i:
        i, c = i + 1, c + i
    return c
print(sa(1, int(sys.argv[1]), 0))
