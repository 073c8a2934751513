#!/usr/bin/env python3
"""Items for the assert-then-retract program: python3 retract_all.py FACTS > data.clp

FACTS item facts in one deffacts, then (reset), (run) and the check line.  The rule that
retracts them is retract_all.clp, which goes before this output."""
import sys

def main():
    facts = int(sys.argv[1]) if len(sys.argv) > 1 else 100000
    print("(deffacts stock")
    for i in range(facts):
        print(f"  (item (id {i}) (weight {i % 97}))")
    print(")")
    print("(reset)")
    print("(run)")
    print('(printout t "removed " ?*removed* " of " ' + str(facts) + ' crlf)')

if __name__ == "__main__":
    main()
