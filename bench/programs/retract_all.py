#!/usr/bin/env python3
"""Assert-then-retract: python3 retract_all.py FACTS > program.clp

FACTS facts are loaded from a deffacts; one rule retracts each of them as it fires.  Checks that
every fact went and prints how many rules fired."""
import sys

def main():
    facts = int(sys.argv[1]) if len(sys.argv) > 1 else 100000
    print("(deftemplate item (slot id (type INTEGER)) (slot weight (type INTEGER)))")
    print("(defglobal ?*removed* = 0)")
    print("(defrule remove-item ?f <- (item (id ?i)) => (retract ?f) (bind ?*removed* (+ ?*removed* 1)))")
    print("(deffacts stock")
    for i in range(facts):
        print(f"  (item (id {i}) (weight {i % 97}))")
    print(")")
    print("(reset)")
    print("(run)")
    print('(printout t "removed " ?*removed* " of " ' + str(facts) + ' crlf)')

if __name__ == "__main__":
    main()
