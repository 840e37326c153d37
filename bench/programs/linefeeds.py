# Counts the line feeds of the file named by the argument, byte by byte, 64 KiB at a time.
import sys
c = 0
with open(sys.argv[1], "rb") as f:
    while True:
        chunk = f.read(65536)
        if not chunk:
            break
        for b in chunk:
            if b == 10:
                c += 1
print(c)
