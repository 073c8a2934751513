#!/usr/bin/env bash
# Runs the rule-language benchmark programs with the optimised console and reports, per program,
# the median wall time and peak memory of RUNS runs (default 5) and its check line.
#   bench/run_programs.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS="${1:-5}"
CONSOLE=build/release/bin/ruleconsole
DATA=build/bench-data
mkdir -p "$DATA"
if [ ! -x "$CONSOLE" ]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/release -j "${JOBS:-2}" --target ruleconsole
fi

make_program() {  # NAME GENERATOR ARG [BASE]
  local out="$DATA/$1.clp"
  if [ -n "${4:-}" ]; then
    { cat "bench/programs/$4"; python3 "bench/programs/$2" "$3"; } >"$out"
  else
    python3 "bench/programs/$2" "$3" >"$out"
  fi
}

make_program manners-16 manners_data.py 16 manners.clp
make_program manners-32 manners_data.py 32 manners.clp
make_program manners-64 manners_data.py 64 manners.clp
make_program manners-128 manners_data.py 128 manners.clp
make_program retract-100k retract_all.py 100000
make_program join-heavy join_heavy.py 2000

printf "%-14s %10s %12s  %s\n" program "median s" "peak MB" check
for name in manners-16 manners-32 manners-64 manners-128 retract-100k join-heavy; do
  times=()
  mems=()
  check=""
  for _ in $(seq "$RUNS"); do
    out=$( { /usr/bin/time -f "TIME %e %M" "$CONSOLE" "$DATA/$name.clp" >"$DATA/$name.out"; } 2>&1 )
    times+=("$(echo "$out" | awk '/^TIME/ {print $2}')")
    mems+=("$(echo "$out" | awk '/^TIME/ {print $3}')")
    check=$(tail -n 1 "$DATA/$name.out" | tr -d '\r')
  done
  median_t=$(printf "%s\n" "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  median_m=$(printf "%s\n" "${mems[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]/1024}')
  printf "%-14s %10s %12s  %s\n" "$name" "$median_t" "$median_m" "$check"
done
