#!/usr/bin/env python3
"""Fuzzy matching against its crisp equivalent: python3 fuzzy_match.py N M [crisp] > program.clp

N sensor readings (levels 0 to 100, seeded) against M rules, each rule asking for one band of
the level.  In the fuzzy program the bands are ten triangular terms of a fuzzy type (centres 0,
10, ..., 90, half-width 10), asked for plain, "very" or "somewhat"; a reading's level becomes a
crisp fuzzy value and matches a term to the degree of its membership there.  In the crisp
program the same bands are tests on an integer slot.  Both count their firings: the same matches,
since a term's membership is above the 0.01 threshold exactly inside its band."""
import random
import sys


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
    m = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    crisp = len(sys.argv) > 3 and sys.argv[3] == "crisp"
    rng = random.Random(n * 1000 + m)
    hedges = ["", "very ", "somewhat "]
    print("(defglobal ?*fired* = 0)")
    if crisp:
        print("(deftemplate reading (slot sensor) (slot level (type INTEGER)))")
        for r in range(m):
            c = (r % 10) * 10
            print(f"(defrule band-{r} (reading (sensor ?s) (level ?l&:(> ?l {c - 10})&:(< ?l {c + 10})))"
                  f" => (bind ?*fired* (+ ?*fired* 1)))")
    else:
        terms = " ".join(f"(term t{i} (({i * 10 - 10} 0) ({i * 10} 1) ({i * 10 + 10} 0)))" for i in range(10))
        print(f"(deftype level extends (type FUZZY) (range -10 110) (values {terms}))")
        print("(deftemplate reading (slot sensor) (slot level (type level)))")
        for r in range(m):
            term = f"{hedges[(r // 10) % 3]}t{r % 10}"
            print(f"(defrule band-{r} (reading (sensor ?s) (level {term}))"
                  f" => (bind ?*fired* (+ ?*fired* 1)))")
    print("(deffacts readings")
    for k in range(n):
        print(f"  (reading (sensor s{k}) (level {rng.randrange(101)}))")
    print(")")
    print("(reset)")
    print("(run)")
    print('(printout t "fired " ?*fired* crlf)')


if __name__ == "__main__":
    main()
