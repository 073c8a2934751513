#!/usr/bin/env python3
"""Line drawing for the Waltz benchmark: python3 waltz_data.py N > data.clp

Builds the customary Waltz N input: regions 0 to N (so Waltz 25 has 26 regions and Waltz 50 has
51), laid side by side along x, 12 units apart.  A region holds four copies of one small
polyhedron drawing of 17 lines, in a 2 x 2 grid 6 units apart, joined to each other by four
lines; from the second region on, four more lines join a region to the one before it.  The
lines come out in that order: the region's joining lines, its four drawings, then the lines to
the previous region.  A point (x, y) is written as the integer x * 10000 + y, which waltz.clp
takes apart again.  Nothing is random, so every run and both engines label the same drawing.

The output is a deffacts with the lines and the starting stage, then (reset), (run) and the
check line, which waltz.clp's counting rules fill in."""
import sys

SCALE = 10000          # a point is x * SCALE + y; waltz.clp decodes with the same number
REGION_WIDTH = 12      # one region: two drawings side by side, each 6 wide
CELL = 6               # offset between the four drawings of a region

# One polyhedron drawing: an outer boundary with an inner face, 15 points and 17 lines.
DRAWING = [
    ((0, 0), (2, 0)), ((2, 0), (3, 0)), ((3, 0), (4, 0)),
    ((0, 0), (0, 2)), ((0, 2), (0, 3)), ((0, 3), (0, 4)),
    ((0, 4), (4, 4)), ((4, 4), (4, 0)),
    ((4, 0), (5, 1)), ((5, 1), (5, 2)), ((5, 2), (5, 3)), ((5, 3), (5, 5)), ((5, 5), (4, 4)),
    ((5, 5), (3, 5)), ((3, 5), (2, 5)), ((2, 5), (1, 5)), ((1, 5), (0, 4)),
]

# Lines that tie the four drawings of a block of 2 x 2 cells together, relative to the block's
# lower left corner.  Inside a region the block is the region itself; between two regions it is
# the block that starts one cell to the left of the later region.
JOINS = [((5, 3), (6, 3)), ((3, 5), (3, 6)), ((8, 5), (8, 6)), ((5, 8), (6, 8))]


def point(x, y):
    return x * SCALE + y


def lines(n):
    """All lines of Waltz n as pairs of encoded points, in output order."""
    out = []
    for region in range(n + 1):
        base = region * REGION_WIDTH

        def shifted(segments, dx, dy):
            return [(point(a[0] + dx, a[1] + dy), point(b[0] + dx, b[1] + dy)) for a, b in segments]

        out += shifted(JOINS, base, 0)
        for dx, dy in ((0, 0), (CELL, 0), (0, CELL), (CELL, CELL)):
            out += shifted(DRAWING, base + dx, dy)
        if region > 0:
            out += shifted(JOINS, base - CELL, 0)
    return out


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 25
    print(f"; Waltz {n}: {n + 1} regions")
    print("(deffacts drawing")
    for p1, p2 in lines(n):
        print(f"  (line (p1 {p1}) (p2 {p2}))")
    print("  (stage (value duplicate)))")
    print("(reset)")
    print("(run)")
    print('(printout t "junctions " ?*junctions* " (L " ?*L* " arrow " ?*arrow* " fork " ?*fork*'
          ' " tee " ?*tee* ") edges " ?*edges* " (+ " ?*plus* " - " ?*minus* " B " ?*boundary*'
          ' " unlabelled " ?*unlabelled* ") plotted " ?*plotted* crlf)')


if __name__ == "__main__":
    main()
