import sys
sys.setrecursionlimit(100000)
def nf(n):
    return 1 if n < 2 else nf(n - 1) + nf(n - 2) + 1
print(nf(int(sys.argv[1])))
