# Expected conversions of every standard paper size, worked out from the
# size list (supportedsizes.tsv, given as the argument): for each size and
# each maximum width, "value width height maxwidth centred-offset found",
# where the centred offset is half the spare width cut to hundredths of an
# inch (truncating toward zero) and found is the first size of that width
# and height.
import csv
import sys


def tdiv(a, b):
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


with open(sys.argv[1], newline='') as f:
    rows = [(int(r['value']), int(r['width']), int(r['height'])) for r in csv.DictReader(f, delimiter='\t')]

first = {}
for value, width, height in rows:
    first.setdefault((width, height), value)

for value, width, height in rows:
    for maxwidth in (10200, 10210, 12000, 14028, 0):
        offset = tdiv(tdiv(maxwidth - width, 2), 12) * 12
        print(value, width, height, maxwidth, offset, first[(width, height)])
