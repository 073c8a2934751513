#!/usr/bin/env python3
"""A large knowledge base to time loading and saving: 100 templates, RULES rules each joining
two templates on a slot with a test, and FACTS facts in one deffacts.

    python3 bench/programs/knowledge_base.py RULES FACTS > kb.clp
"""
import random
import sys

rules, facts = int(sys.argv[1]), int(sys.argv[2])
rng = random.Random(7)
templates = 100
out = []
for t in range(templates):
    out.append(f"(deftemplate t{t} (slot a (type INTEGER)) (slot b (type FLOAT)) (slot c (type SYMBOL)) (multislot d))")
for r in range(rules):
    x, y = rng.randrange(templates), rng.randrange(templates)
    out.append(f"(defrule r{r} (t{x} (a ?a) (c c{r % 7})) (t{y} (a ?a) (b ?b&:(> ?b {rng.random():.6f}))) "
               f"=> (assert (hit {r} ?a ?b)))")
out.append("(deffacts facts")
for f in range(facts):
    out.append(f"  (t{rng.randrange(templates)} (a {rng.randrange(1000)}) (b {rng.random()}) "
               f"(c c{rng.randrange(7)}) (d x{f} {f * 0.5}))")
out.append(")")
print("\n".join(out))
