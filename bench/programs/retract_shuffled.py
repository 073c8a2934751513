#!/usr/bin/env python3
"""Retraction in an order unrelated to assertion: python3 retract_shuffled.py N > program.clp

A rule of higher salience asserts N items; N order facts (in deffacts of ten) name the items in
a shuffled order, and a rule joining an order fact with its item retracts both.  Every
retraction thus hits a different place of working memory, the join's memories and the agenda.
The whole program comes from here; it is the same text for CLIPS."""
import random
import sys


def main():
    n = int(sys.argv[1])
    rng = random.Random(5)
    ids = list(range(n))
    rng.shuffle(ids)
    print("(deftemplate item (slot id (type INTEGER)))")
    print("(defglobal ?*gone* = 0)")
    print("(defrule make (declare (salience 10)) (make ?n)")
    print("  => (bind ?i 0) (while (< ?i ?n) (assert (item (id ?i))) (bind ?i (+ ?i 1))))")
    print("(defrule kill ?o <- (order ?i) ?f <- (item (id ?i))")
    print("  => (retract ?f ?o) (bind ?*gone* (+ ?*gone* 1)))")
    for s in range(0, n, 10):
        print(f"(deffacts o{s // 10} " + " ".join(f"(order {i})" for i in ids[s:s + 10]) + ")")
    print(f"(deffacts start (make {n}))")
    print("(reset)")
    print("(run)")
    print('(printout t "gone " ?*gone* crlf)')


if __name__ == "__main__":
    main()
