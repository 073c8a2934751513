#!/usr/bin/env python3
"""Commands of the rule-work program: python3 rule_work.py ROUNDS > data.clp

Sets the loop count (a defglobal, which (reset) keeps), then (reset), (run) and the check
line.  The rules are rule_work.clp, which goes before this output."""
import sys

rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 300000
print(f"(defglobal ?*rounds* = {rounds} ?*fib* = 0 ?*work* = 0)")
print("(reset)")
print("(run)")
print('(printout t "fib " ?*fib* " work " ?*work* crlf)')
