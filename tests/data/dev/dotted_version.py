"""The dotted form of a scanner's version number, one per argument.

A text holding a point stays as it is. Otherwise it is read as a signed
decimal number n (leading blanks skipped, reading stops at the first
character that is not a digit, 0 without digits) and written as
n / 1,000,000 "." (n mod 1,000,000) / 10,000; then, when n mod 100 is not 0,
"." (n mod 10,000) / 100 "." n mod 100; when n mod 100 is 0 but n mod 10,000
is not between -99 and 99, "." (n mod 10,000) / 100. Division truncates
toward zero and the remainder takes the sign of n.

Prints one line per argument: the dotted form.
"""
import re
import sys


def quotient(a, b):
    q = abs(a) // abs(b)
    return q if (a < 0) == (b < 0) else -q


def remainder(a, b):
    return a - b * quotient(a, b)


def number(text):
    match = re.match(r"[ \t\n\v\f\r]*([+-]?)([0-9]*)", text)
    digits = match.group(2)
    if not digits:
        return 0
    value = int(digits)
    return -value if match.group(1) == "-" else value


def dotted(text):
    if "." in text:
        return text
    n = number(text)
    out = "%d.%d" % (quotient(n, 1000000), quotient(remainder(n, 1000000), 10000))
    low = remainder(n, 10000)
    if remainder(n, 100) != 0:
        out += ".%d.%d" % (quotient(low, 100), remainder(n, 100))
    elif not -99 <= low <= 99:
        out += ".%d" % quotient(low, 100)
    return out


if __name__ == "__main__":
    for argument in sys.argv[1:]:
        print(dotted(argument))
