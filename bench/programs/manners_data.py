#!/usr/bin/env python3
"""Guest data for Miss Manners: python3 manners_data.py GUESTS > data.clp

Deterministic (seeded) so that every run seats the same party.  Sexes alternate in the list and
every guest has two or three of five hobbies.  Everyone shares the first hobby, so a seating that
always extends the newest partial seating never reaches a dead end."""
import random
import sys

def main():
    guests = int(sys.argv[1]) if len(sys.argv) > 1 else 16
    rng = random.Random(guests)
    print("(deffacts party")
    for n in range(1, guests + 1):
        sex = "m" if n % 2 else "f"
        hobbies = [1] + rng.sample(range(2, 6), rng.randint(1, 2))
        for h in hobbies:
            print(f"  (guest (name n{n}) (sex {sex}) (hobby h{h}))")
    print(f"  (last_seat (seat {guests}))")
    print("  (count (c 1))")
    print("  (context (state start)))")
    print("(reset)")
    print("(run)")
    print('(printout t "seated " ?*seated* " guests" crlf)')

if __name__ == "__main__":
    main()
