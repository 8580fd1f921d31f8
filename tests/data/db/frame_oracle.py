# An independent judge of turned frames: for a grid of frames and angles it
# prints "x y w h angle minw minh W H valid maxheight", computed with the
# standard library's sine and cosine and truncation toward zero. The rules
# model (tests/tools/rulesmodel) judges frames with the same functions.
import math
import sys

LIMIT = 3600000


def radians(angle):
    return angle / 10000.0 * 3.141592653589793 / 180.0


def arguments_valid(x, y, w, h, angle):
    return x >= 0 and y >= 0 and w > 0 and h > 0 and -LIMIT <= angle <= LIMIT


def max_height(x, y, w, h, angle):
    if angle == 0:
        return h
    if not arguments_valid(x, y, w, h, angle):
        return 0
    t = radians(angle)
    s = w * math.sin(t)
    c = h * math.cos(t)
    corners = [y, y + int(s), y + int(c), y + int(c + s)]
    return max(corners) - min(corners)


def valid(x, y, w, h, angle, minw, minh, pw, ph):
    if not arguments_valid(x, y, w, h, angle) or w < minw or h < minh:
        return False
    t = radians(angle)
    sn, cs = math.sin(t), math.cos(t)
    xs = [x, x + int(w * cs), x + int(-(h * sn)), x + int(w * cs - h * sn)]
    ys = [y, y + int(w * sn), y + int(h * cs), y + int(w * sn + h * cs)]
    return all(0 <= v <= pw for v in xs) and all(0 <= v <= ph for v in ys)


def grid():
    angles = [0, 1, -1, 17, 50000, 123456, 450000, -450000, 899999, 900000, -900000, 1350000,
              1800000, -1800000, 2700000, 3599999, 3600000, -3600000, 3600001, -3600001]
    for pw, ph in [(10200, 13200), (14028, 19836)]:
        for x in [0, 600, 4800]:
            for y in [0, 1200, 6000]:
                for w in [1200, 4956, 10200]:
                    for h in [600, 7000, 13200]:
                        for angle in angles:
                            yield x, y, w, h, angle, 600, 600, pw, ph
    # Frames the argument tests and the minima refuse.
    for x, y, w, h in [(-1, 0, 1200, 1200), (0, -1, 1200, 1200), (0, 0, 0, 1200), (0, 0, 1200, 0),
                       (0, 0, -5, 1200), (0, 0, 599, 1200), (0, 0, 1200, 599)]:
        for angle in [0, 450000]:
            yield x, y, w, h, angle, 600, 600, 10200, 13200


if __name__ == "__main__":
    for x, y, w, h, angle, minw, minh, pw, ph in grid():
        print(x, y, w, h, angle, minw, minh, pw, ph, int(valid(x, y, w, h, angle, minw, minh, pw, ph)),
              max_height(x, y, w, h, angle))
    sys.stdout.flush()
