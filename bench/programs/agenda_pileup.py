#!/usr/bin/env python3
"""Start of the agenda pile-up program: python3 agenda_pileup.py N [KEYS] > data.clp

One generator fact for N pairs over KEYS keys (default N / 10), then (reset), (run) and the
check line.  The rules are agenda_pileup.clp, which goes before this output."""
import sys

def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 20000
    keys = int(sys.argv[2]) if len(sys.argv) > 2 else max(1, n // 10)
    print(f"(deffacts start (make (n {n}) (keys {keys})))")
    print("(reset)")
    print("(run)")
    print('(printout t "fired " ?*fired* crlf)')

if __name__ == "__main__":
    main()
