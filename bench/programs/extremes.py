#!/usr/bin/env python3
"""Programs at the extremes of one kind of work: python3 extremes.py KIND N > program.clp

  agenda N    N facts asserted by one firing of a rule of higher salience, each activating a
              rule of lower salience: the agenda holds N activations before the first fires.
  retract N   N facts joined with one context fact: every time the context is asserted it
              takes part in N partial matches (and N activations), and a rule of higher salience
              retracts it at once and asserts the next one, ten times over.
  facts N     N facts of a three-slot template asserted by one rule (N = 0 gives the baseline
              for memory per fact: peak memory at N minus that at 0, divided by N).
  rules N     N rules of one pattern each over five three-slot templates, each pattern with a
              constant test and a variable, each action a call; then (reset) and no facts
              (N = 0 gives the baseline for memory per rule, as for facts).
  siblings N  N rules on one template that differ only in a constant, so that one node of the
              network has N children, then N facts that each activate one of them.
  ordered-siblings N  the same with ordered facts, the constant a field of theirs.
  names N     N templates, N deffunctions and N globals, each deffunction reading its global,
              then calls of a few of them: definitions and name lookups at scale.
  tests N     N facts, each paired with the next by a rule whose join is a test of a call
              ("?b&:(= ?b (+ ?a 1))"), which no key can serve: N * N tests, N matches, each
              withdrawn as the facts are retracted, last first.
  ordered N   2 N ordered facts, p and q, all with the same first field, and a rule joining
              them by an inequality of those fields ("?y&~?x"): N * N tests of list fields,
              none of which holds.
  splits N    N ordered facts of twenty numbers and a rule matching each number of each by a
              multifield pattern ($?before ?x $?after): twenty matches of every fact.
The whole program comes from here; it is the same text for CLIPS."""
import sys

AGENDA = """(defglobal ?*fired* = 0)
(deftemplate item (slot id (type INTEGER)))
(defrule fill (declare (salience 10)) (count ?n)
  =>
  (bind ?i 0)
  (while (< ?i ?n) (assert (item (id ?i))) (bind ?i (+ ?i 1))))
(defrule take (item (id ?i)) => (bind ?*fired* (+ ?*fired* 1)))
(deffacts start (count {n}))
(reset)
(run)
(printout t "fired " ?*fired* crlf)
"""

RETRACT = """(defglobal ?*dropped* = 0)
(deftemplate member (slot id (type INTEGER)))
(defrule fill (declare (salience 20)) (count ?n)
  =>
  (bind ?i 0)
  (while (< ?i ?n) (assert (member (id ?i))) (bind ?i (+ ?i 1)))
  (assert (context 0)))
(defrule drop (declare (salience 10)) ?c <- (context ?k)
  =>
  (retract ?c)
  (bind ?*dropped* (+ ?*dropped* 1))
  (if (< ?k 9) then (assert (context (+ ?k 1)))))
(defrule pair (context ?k) (member (id ?i)) => (printout t "never" crlf))
(deffacts start (count {n}))
(reset)
(run)
(printout t "dropped " ?*dropped* crlf)
"""

FACTS = """(deftemplate reading (slot id (type INTEGER)) (slot room) (slot value (type FLOAT)))
(defrule fill (count ?n)
  =>
  (bind ?i 0)
  (while (< ?i ?n) (assert (reading (id ?i) (room hall) (value 20.5))) (bind ?i (+ ?i 1))))
(deffacts start (count {n}))
(reset)
(run)
(printout t "asserted {n}" crlf)
"""

def rules(n):
    lines = ["(defglobal ?*hits* = 0)"]
    for t in range(5):
        lines.append(f"(deftemplate t{t} (slot a (type INTEGER)) (slot b (type INTEGER)) (slot c (type SYMBOL)))")
    for r in range(n):
        lines.append(f"(defrule r{r} (t{r % 5} (a {r % 20}) (b ?b)) => (bind ?*hits* (+ ?*hits* ?b)))")
    lines += ["(reset)", "(run)", f'(printout t "rules {n}" crlf)']
    return "\n".join(lines) + "\n"

def siblings(n):
    lines = ["(defglobal ?*hits* = 0)", "(deftemplate reading (slot sensor (type INTEGER)) (slot value))"]
    for r in range(n):
        lines.append(f"(defrule r{r} (reading (sensor {r}) (value ?v)) => (bind ?*hits* (+ ?*hits* 1)))")
    lines.append(f"(defrule fill (count ?n) => (bind ?i 0) (while (< ?i ?n) (assert (reading (sensor ?i) (value 1))) (bind ?i (+ ?i 1))))")
    lines += [f"(deffacts start (count {n}))", "(reset)", "(run)", '(printout t "hits " ?*hits* crlf)']
    return "\n".join(lines) + "\n"

def ordered_siblings(n):
    lines = ["(defglobal ?*hits* = 0)"]
    for r in range(n):
        lines.append(f"(defrule r{r} (reading {r} ?v) => (bind ?*hits* (+ ?*hits* 1)))")
    lines.append(f"(defrule fill (count ?n) => (bind ?i 0) (while (< ?i ?n) (assert (reading ?i 1)) (bind ?i (+ ?i 1))))")
    lines += [f"(deffacts start (count {n}))", "(reset)", "(run)", '(printout t "hits " ?*hits* crlf)']
    return "\n".join(lines) + "\n"

def names(n):
    lines = []
    for i in range(n):
        lines.append(f"(deftemplate t{i} (slot a))")
        lines.append(f"(defglobal ?*g{i}* = {i})")
        lines.append(f"(deffunction f{i} (?x) (+ ?x ?*g{i}*))")
    calls = " ".join(f"(f{i} 1)" for i in range(0, n, max(1, n // 10)))
    lines += ["(reset)", f'(printout t "sum " (+ 0 {calls}) crlf)']
    return "\n".join(lines) + "\n"

TESTS = """(defglobal ?*pairs* = 0)
(defrule fill (declare (salience 10)) (count ?n)
  =>
  (bind ?i 0)
  (while (< ?i ?n) (assert (x ?i)) (bind ?i (+ ?i 1))))
(defrule pair (x ?a) (x ?b&:(= ?b (+ ?a 1))) => (bind ?*pairs* (+ ?*pairs* 1)))
(defrule drain (declare (salience -10)) ?f <- (x ?) => (retract ?f))
(deffacts start (count {n}))
(reset)
(run)
(printout t "pairs " ?*pairs* crlf)
"""

ORDERED = """(defglobal ?*pairs* = 0)
(defrule fill (declare (salience 10)) (count ?n)
  =>
  (bind ?i 0)
  (while (< ?i ?n) (assert (p 1 ?i)) (assert (q 1 ?i)) (bind ?i (+ ?i 1))))
(defrule differ (p ?x ?i) (q ?y&~?x ?j) => (bind ?*pairs* (+ ?*pairs* 1)))
(deffacts start (count {n}))
(reset)
(run)
(printout t "pairs " ?*pairs* crlf)
"""

SPLITS = """(defglobal ?*sum* = 0)
(defrule fill (declare (salience 10)) (count ?n)
  =>
  (bind ?i 0)
  (while (< ?i ?n)
    (assert (lst ?i 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20))
    (bind ?i (+ ?i 1))))
(defrule each (lst ?i $?before ?x $?after) => (bind ?*sum* (+ ?*sum* ?x)))
(deffacts start (count {n}))
(reset)
(run)
(printout t "sum " ?*sum* crlf)
"""

def main():
    kind, n = sys.argv[1], int(sys.argv[2])
    if kind in ("rules", "siblings", "ordered-siblings", "names"):
        print({"rules": rules, "siblings": siblings, "ordered-siblings": ordered_siblings, "names": names}[kind](n), end="")
        return
    print({"agenda": AGENDA, "retract": RETRACT, "facts": FACTS, "tests": TESTS, "ordered": ORDERED, "splits": SPLITS}[kind].format(n=n), end="")

if __name__ == "__main__":
    main()
