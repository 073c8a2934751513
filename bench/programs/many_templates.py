#!/usr/bin/env python3
"""A wide program: python3 many_templates.py TEMPLATES RULES FACTS [PER_SET] > program.clp

TEMPLATES templates of three slots, RULES rules each matching one template with one constant
test and counting its matches, FACTS facts in deffacts of PER_SET facts each (default 10), then
(reset), (run) and the check line.  The whole program comes from here: the rules and the CLIPS
twin are the same text."""
import random
import sys

def main():
    templates, rules, facts = (int(a) for a in sys.argv[1:4])
    per_set = int(sys.argv[4]) if len(sys.argv) > 4 else 10
    rng = random.Random(templates * 31 + rules)
    print("(defglobal ?*hits* = 0)")
    for t in range(templates):
        print(f"(deftemplate t{t} (slot a (type INTEGER)) (slot b (type INTEGER)) (slot c (type SYMBOL)))")
    for r in range(rules):
        print(f"(defrule r{r} (t{rng.randrange(templates)} (a {rng.randrange(20)}) (b ?b)) "
              f"=> (bind ?*hits* (+ ?*hits* 1)))")
    for s in range(0, facts, per_set):
        print(f"(deffacts d{s // per_set}")
        for f in range(s, min(facts, s + per_set)):
            print(f"  (t{rng.randrange(templates)} (a {rng.randrange(20)}) (b {f}) (c x{f % 13}))")
        print(")")
    print("(reset)")
    print("(run)")
    print('(printout t "hits " ?*hits* crlf)')

if __name__ == "__main__":
    main()
