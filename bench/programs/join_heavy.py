#!/usr/bin/env python3
"""A join-heavy program: python3 join_heavy.py N > program.clp

N employees in 20 departments, projects and skills; rules join four patterns on shared
variables (same department, required skill, not already staffed) and count the matches."""
import random
import sys

def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
    rng = random.Random(n)
    print("(deftemplate employee (slot id (type INTEGER)) (slot dept (type INTEGER)) (slot skill))")
    print("(deftemplate project (slot id (type INTEGER)) (slot dept (type INTEGER)) (slot needs))")
    print("(deftemplate staffed (slot project (type INTEGER)) (slot employee (type INTEGER)))")
    print("(deftemplate lead (slot dept (type INTEGER)) (slot employee (type INTEGER)))")
    print("(defglobal ?*matches* = 0)")
    print("(defrule candidate"
          " (project (id ?p) (dept ?d) (needs ?s))"
          " (employee (id ?e) (dept ?d) (skill ?s))"
          " (lead (dept ?d) (employee ?l&~?e))"
          " (not (staffed (project ?p) (employee ?e)))"
          " => (bind ?*matches* (+ ?*matches* 1)))")
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
