#!/usr/bin/env python3
"""Company data for the join-heavy program: python3 join_heavy.py N > data.clp

N employees in 20 departments, N / 4 projects, a lead per department and some existing
staffing, seeded so that every run builds the same company; then (reset), (run) and the check
line.  The joining rule is join_heavy.clp, which goes before this output."""
import random
import sys

def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
    rng = random.Random(n)
    skills = ["c", "sql", "ops", "ui", "ml"]
    print("(deffacts company")
    for e in range(n):
        print(f"  (employee (id {e}) (dept {e % 20}) (skill {rng.choice(skills)}))")
    for p in range(n // 4):
        print(f"  (project (id {p}) (dept {rng.randrange(20)}) (needs {rng.choice(skills)}))")
    for d in range(20):
        print(f"  (lead (dept {d}) (employee {d}))")
    for p in range(0, n // 4, 3):
        print(f"  (staffed (project {p}) (employee {(p * 7) % n}))")
    print(")")
    print("(reset)")
    print("(run)")
    print('(printout t "matches " ?*matches* crlf)')

if __name__ == "__main__":
    main()
