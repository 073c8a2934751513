#!/usr/bin/env python3
"""The five-houses puzzle solved over and over: python3 zebra.py ROUNDS > program.clp

One rule of twenty-six patterns over 125 facts (each attribute value in each house), joined by
equalities, inequalities (?x&~?y) and tests of calls (neighbouring houses); a round fact heads
it, and each round retracts it and asserts the next, so that every round derives the partial
matches again from the first pattern.  The same text runs on CLIPS."""
import sys

PROGRAM = """(deftemplate avh (slot a) (slot v) (slot h (type INTEGER)))
(defrule fill
  =>
  (foreach ?a (create$ color nationality pet drink smokes)
    (bind ?vs (if (eq ?a color) then (create$ red green ivory yellow blue)
               else (if (eq ?a nationality) then (create$ englishman spaniard ukrainian norwegian japanese)
               else (if (eq ?a pet) then (create$ dog snails fox horse zebra)
               else (if (eq ?a drink) then (create$ water coffee milk orange-juice tea)
               else (create$ old-golds kools chesterfields lucky-strikes parliaments))))))
    (foreach ?v ?vs
      (bind ?h 1) (while (<= ?h 5) (assert (avh (a ?a) (v ?v) (h ?h))) (bind ?h (+ ?h 1))))))
(defglobal ?*solved* = 0)
(defrule solve
  (round ?r)
  (avh (a nationality) (v englishman) (h ?n1))
  (avh (a color) (v red) (h ?c1&?n1))
  (avh (a nationality) (v spaniard) (h ?n2&~?n1))
  (avh (a pet) (v dog) (h ?p1&?n2))
  (avh (a color) (v green) (h ?c2&~?c1))
  (avh (a drink) (v coffee) (h ?d1&?c2))
  (avh (a color) (v ivory) (h ?c3&~?c2&~?c1&:(= ?c3 (- ?c2 1))))
  (avh (a nationality) (v ukrainian) (h ?n3&~?n2&~?n1))
  (avh (a drink) (v tea) (h ?d2&~?d1&?n3))
  (avh (a smokes) (v old-golds) (h ?s1))
  (avh (a pet) (v snails) (h ?p2&~?p1&?s1))
  (avh (a color) (v yellow) (h ?c4&~?c3&~?c2&~?c1))
  (avh (a smokes) (v kools) (h ?s2&~?s1&?c4))
  (avh (a drink) (v milk) (h ?d3&~?d2&~?d1&3))
  (avh (a nationality) (v norwegian) (h ?n4&~?n3&~?n2&~?n1&1))
  (avh (a smokes) (v chesterfields) (h ?s3&~?s2&~?s1))
  (avh (a pet) (v fox) (h ?p3&~?p2&~?p1&:(or (= ?s3 (- ?p3 1)) (= ?s3 (+ ?p3 1)))))
  (avh (a pet) (v horse) (h ?p4&~?p3&~?p2&~?p1&:(or (= ?s2 (- ?p4 1)) (= ?s2 (+ ?p4 1)))))
  (avh (a smokes) (v lucky-strikes) (h ?s4&~?s3&~?s2&~?s1))
  (avh (a drink) (v orange-juice) (h ?d4&~?d3&~?d2&~?d1&?s4))
  (avh (a nationality) (v japanese) (h ?n5&~?n4&~?n3&~?n2&~?n1))
  (avh (a smokes) (v parliaments) (h ?s5&~?s4&~?s3&~?s2&~?s1&?n5))
  (avh (a color) (v blue) (h ?c5&~?c4&~?c3&~?c2&~?c1&:(or (= ?c5 (- ?n4 1)) (= ?c5 (+ ?n4 1)))))
  (avh (a drink) (v water) (h ?d5&~?d4&~?d3&~?d2&~?d1))
  (avh (a pet) (v zebra) (h ?p5&~?p4&~?p3&~?p2&~?p1))
  =>
  (bind ?*solved* (+ ?*solved* 1)))
(defrule next (declare (salience -10)) ?f <- (round ?r&:(< ?r {rounds})) => (retract ?f) (assert (round (+ ?r 1))))
(deffacts start (round 1))
(reset)
(run)
(printout t "solved " ?*solved* crlf)
"""

def main():
    print(PROGRAM.format(rounds=int(sys.argv[1])), end="")

if __name__ == "__main__":
    main()
