import sys
n = int(sys.argv[1])
items = None
for i in range(n, 0, -1):
    items = (i, items)
c = 0
while items is not None:
    c += items[0]
    items = items[1]
print(c)
