#!/usr/bin/env bash
# Runs the rule-language benchmark programs with the optimised console and reports, per program,
# the median wall time and peak memory of RUNS runs (default 5) and its check line.
#   bench/run_programs.sh [RUNS]
# CONSOLE names another console binary; without it the release build's console is used (and built
# when it is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS="${1:-5}"
DEFAULT_CONSOLE=build/release/bin/ruleconsole
CONSOLE="${CONSOLE:-$DEFAULT_CONSOLE}"
DATA=build/bench-data
mkdir -p "$DATA"
if [ ! -x "$CONSOLE" ] && [ "$CONSOLE" = "$DEFAULT_CONSOLE" ]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/release -j "${JOBS:-2}" --target ruleconsole
fi
if [ ! -x "$CONSOLE" ]; then echo "no console binary at $CONSOLE" >&2; exit 1; fi

make_program() {  # NAME GENERATOR ARG RULES: the rules file, then the generator's data and commands
  { cat "bench/programs/$4"; python3 "bench/programs/$2" "$3"; } >"$DATA/$1.clp"
}

make_program manners-16 manners_data.py 16 manners.clp
for n in 16 32 64 128; do make_program "manners-newest-$n" manners_data.py "$n" manners_newest.clp; done
make_program retract-100k retract_all.py 100000 retract_all.clp
make_program join-heavy join_heavy.py 6000 join_heavy.clp
make_program multifield multifield.py 2000 multifield.clp
make_program agenda-pileup agenda_pileup.py 20000 agenda_pileup.clp
make_program rule-work rule_work.py 300000 rule_work.clp
python3 bench/programs/fuzzy_match.py 20000 100 >"$DATA/fuzzy-match.clp"
python3 bench/programs/fuzzy_match.py 20000 100 crisp >"$DATA/crisp-match.clp"
for n in 25 50; do make_program "waltz-$n" waltz_data.py "$n" waltz.clp; done
python3 bench/programs/extremes.py agenda 1000000 >"$DATA/agenda-1000000.clp"
python3 bench/programs/extremes.py retract 100000 >"$DATA/context-retract-100000.clp"
python3 bench/programs/extremes.py siblings 20000 >"$DATA/siblings-20000.clp"
python3 bench/programs/extremes.py ordered-siblings 20000 >"$DATA/ordered-siblings-20000.clp"
python3 bench/programs/extremes.py names 20000 >"$DATA/names-20000.clp"
python3 bench/programs/extremes.py tests 4000 >"$DATA/join-tests-4000.clp"
python3 bench/programs/extremes.py ordered 3000 >"$DATA/ordered-joins-3000.clp"
python3 bench/programs/extremes.py splits 5000 >"$DATA/splits-5000.clp"
python3 bench/programs/zebra.py 300 >"$DATA/zebra-300.clp"
python3 bench/programs/retract_shuffled.py 100000 >"$DATA/retract-shuffled-100000.clp"
python3 bench/programs/many_templates.py 200 10000 20000 >"$DATA/rules-10000.clp"
LIMIT="${LIMIT:-120}"  # seconds per run; the classic Manners becomes a search under this agenda

printf "%-24s %10s %12s  %s\n" program "median s" "peak MB" check
for name in manners-16 manners-newest-16 manners-newest-32 manners-newest-64 manners-newest-128 retract-100k \
  join-heavy multifield agenda-pileup rule-work fuzzy-match crisp-match waltz-25 waltz-50 agenda-1000000 \
  context-retract-100000 retract-shuffled-100000 rules-10000 siblings-20000 ordered-siblings-20000 names-20000 join-tests-4000 ordered-joins-3000 splits-5000 zebra-300; do
  times=()
  mems=()
  check=""
  for _ in $(seq "$RUNS"); do
    out=$( { /usr/bin/time -f "TIME %e %M" timeout "$LIMIT" "$CONSOLE" "$DATA/$name.clp" >"$DATA/$name.out"; } 2>&1 || true)
    times+=("$(echo "$out" | awk '/^TIME/ {print $2}')")
    mems+=("$(echo "$out" | awk '/^TIME/ {print $3}')")
    check=$(tail -n 1 "$DATA/$name.out" | tr -d '\r')
    if echo "$out" | grep -q "status 124"; then check="(stopped after ${LIMIT} s)"; fi
  done
  median_t=$(printf "%s\n" "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  median_m=$(printf "%s\n" "${mems[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]/1024}')
  printf "%-24s %10s %12s  %s\n" "$name" "$median_t" "$median_m" "$check"
done
