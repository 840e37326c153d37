# The workload of church.ruk: the Church numeral 2^2^2^2 (= 65536) made with the thrush
# combinator, applied to "prepend a zero bit" and the empty list; the bits read as an integer.
T = lambda a: lambda b: b(a)
two = lambda f: lambda x: f(f(x))
n = T(two)(T(two)(T(two)(two)))
cell = n(lambda tail: (0, tail))(None)
bits = []
while cell is not None:
    bits.append("1" if cell[0] else "0")
    cell = cell[1]
print(int("".join(reversed(bits)), 2))
