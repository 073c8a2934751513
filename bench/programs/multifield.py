#!/usr/bin/env python3
"""Sequences for the multifield program: python3 multifield.py N > data.clp

N sequences of 20 to 100 readings (0 to 99, seeded), and a probe equal to every tenth sequence;
then (reset), (run) and the check line.  The rules are multifield.clp, which goes before this
output."""
import random
import sys

def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
    rng = random.Random(n)
    seqs = [[rng.randrange(100) for _ in range(rng.randrange(20, 101))] for _ in range(n)]
    print("(deffacts readings")
    for i, s in enumerate(seqs):
        print(f"  (seq (id {i}) (readings {' '.join(map(str, s))}))")
    for s in seqs[::10]:
        print(f"  (probe (readings {' '.join(map(str, s))}))")
    print(")")
    print("(reset)")
    print("(run)")
    print('(printout t "whole " ?*whole* " tails " ?*tails* " markers " ?*markers* " same " ?*same* crlf)')

if __name__ == "__main__":
    main()
