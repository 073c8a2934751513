#!/usr/bin/env bash
# Runs the benchmark programs with this engine's console and with CLIPS 6.30 side by side and
# prints one table: median wall time and peak memory of each engine, their ratios (ours / CLIPS)
# and whether both engines printed the same check line.
#   bench/compare_clips.sh [RUNS]          RUNS runs of each program on each engine (default 5)
# Environment:
#   CONSOLE   console binary (default build/release/bin/ruleconsole, built when missing)
#   CLIPS     CLIPS binary (default clips)
#   LIMIT     seconds allowed per run (default 120); a stopped run counts LIMIT seconds and its
#             median is shown as a lower bound (">")
#   LAUNCHES  launches per start-up sample (default 20); the start-up time is per launch
# Each program is our rules file (bench/programs/NAME.clp) or its CLIPS twin
# (bench/programs/clips/NAME.clp) followed by the same generator output.  The engines run
# alternately, ours first, so that drift in the machine's load hits both alike.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS="${1:-5}"
DEFAULT_CONSOLE=build/release/bin/ruleconsole
CONSOLE="${CONSOLE:-$DEFAULT_CONSOLE}"
CLIPS="${CLIPS:-clips}"
LIMIT="${LIMIT:-120}"
LAUNCHES="${LAUNCHES:-20}"
DATA=build/bench-data/compare
mkdir -p "$DATA/ours" "$DATA/clips"

if [ ! -x "$CONSOLE" ] && [ "$CONSOLE" = "$DEFAULT_CONSOLE" ]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/release -j "${JOBS:-2}" --target ruleconsole
fi
if [ ! -x "$CONSOLE" ]; then echo "no console binary at $CONSOLE" >&2; exit 1; fi
if ! command -v "$CLIPS" >/dev/null; then echo "no CLIPS binary ($CLIPS)" >&2; exit 1; fi
CONSOLE="$(cd "$(dirname "$CONSOLE")" && pwd)/$(basename "$CONSOLE")"

# CLIPS's batch reader rescans the whole pending command after every character, so a deffacts
# of 100,000 facts takes minutes to read in batch mode, while load* reads constructs directly.
# The CLIPS program is therefore split at its first (reset): the constructs before it go through
# load*, the commands from it on through batch, followed by (exit).
make_program() {  # NAME GENERATOR ARG RULES
  local name=$1 gen=bench/programs/$2 arg=$3 rules=$4
  { cat "bench/programs/$rules"; python3 "$gen" "$arg"; } >"$DATA/ours/$name.clp"
  { cat "bench/programs/clips/$rules"; python3 "$gen" "$arg"; } >"$DATA/clips/$name.full.clp"
  awk -v constructs="$DATA/clips/$name.constructs.clp" -v commands="$DATA/clips/$name.commands.clp" '
    /^\(reset\)/ { split_here = 1 }
    { print > (split_here ? commands : constructs) }
    END { if (!split_here) { print "no (reset) line" > "/dev/stderr"; exit 1 } }' \
    "$DATA/clips/$name.full.clp"
  { printf '(load* "%s")\n' "$DATA/clips/$name.constructs.clp"
    cat "$DATA/clips/$name.commands.clp"
    echo "(exit)"; } >"$DATA/clips/$name.clp"
}

# make_whole NAME GENERATOR ARGS...: a generator that writes the whole program, the same text for
# both engines (split for CLIPS as above).
make_whole() {
  local name=$1 gen=bench/programs/$2
  shift 2
  python3 "$gen" "$@" >"$DATA/ours/$name.clp"
  awk -v constructs="$DATA/clips/$name.constructs.clp" -v commands="$DATA/clips/$name.commands.clp" '
    /^\(reset\)/ { split_here = 1 }
    { print > (split_here ? commands : constructs) }' "$DATA/ours/$name.clp"
  { printf '(load* "%s")\n' "$DATA/clips/$name.constructs.clp"
    cat "$DATA/clips/$name.commands.clp"
    echo "(exit)"; } >"$DATA/clips/$name.clp"
}

make_program manners-16 manners_data.py 16 manners.clp
for n in 16 32 64 128; do make_program "manners-newest-$n" manners_data.py "$n" manners_newest.clp; done
for n in 25 50; do make_program "waltz-$n" waltz_data.py "$n" waltz.clp; done
make_program retract-100k retract_all.py 100000 retract_all.clp
make_program join-heavy join_heavy.py 6000 join_heavy.clp
for n in 10000 20000 40000; do make_program "agenda-pileup-$n" agenda_pileup.py "$n" agenda_pileup.clp; done
for n in 50000 100000 200000; do make_whole "templates-200-$n" many_templates.py 200 5000 "$n"; done
make_program rule-work rule_work.py 300000 rule_work.clp
make_whole agenda-1000000 extremes.py agenda 1000000
make_whole retract-shuffled-100000 retract_shuffled.py 100000
make_whole context-retract-100000 extremes.py retract 100000
make_whole siblings-20000 extremes.py siblings 20000
make_whole ordered-siblings-20000 extremes.py ordered-siblings 20000
make_whole names-20000 extremes.py names 20000
make_whole join-tests-4000 extremes.py tests 4000
make_whole ordered-joins-3000 extremes.py ordered 3000
make_whole splits-5000 extremes.py splits 5000
make_whole zebra-300 zebra.py 300
make_whole rules-10000 many_templates.py 200 10000 20000
make_whole facts-0 extremes.py facts 0
make_whole facts-1000000 extremes.py facts 1000000
make_whole rule-mem-0 extremes.py rules 0
make_whole rule-mem-10000 extremes.py rules 10000
printf '(printout t (+ 1 2) crlf)\n(exit)\n' >"$DATA/clips/startup.clp"

# measure ENGINE NAME COMMAND...: one timed run; appends "seconds kilobytes stopped" to
# $DATA/ENGINE/NAME.samples and leaves the output's last line in $DATA/ENGINE/NAME.check.
# For the start-up row the command is a loop of LAUNCHES launches and the time is per launch.
measure() {
  local engine=$1 name=$2
  shift 2
  local out="$DATA/$engine/$name.out" timing="$DATA/$engine/$name.time" status=0
  /usr/bin/time -f "%e %M" -o "$timing" timeout "$LIMIT" "$@" >"$out" 2>"$DATA/$engine/$name.err" </dev/null ||
    status=$?
  local secs kb stopped=0
  read -r secs kb < <(tail -n 1 "$timing")
  if [ "$status" -eq 124 ]; then
    stopped=1
    echo "(stopped after $LIMIT s)" >"$DATA/$engine/$name.check"
  elif [ "$status" -ne 0 ]; then
    echo "(failed with status $status)" >"$DATA/$engine/$name.check"
  else
    # our console ends lines with CR LF, CLIPS with LF
    { grep -v '^[[:space:]]*$' "$out" || true; } | tail -n 1 | tr -d '\r' >"$DATA/$engine/$name.check"
  fi
  if [ "$name" = startup ]; then secs=$(awk -v s="$secs" -v n="$LAUNCHES" 'BEGIN { printf "%.4f", s / n }'); fi
  echo "$secs $kb $stopped" >>"$DATA/$engine/$name.samples"
  cat "$DATA/$engine/$name.check" >>"$DATA/$engine/$name.checks"
}

median() {  # FIELD FILE: median of a column of numbers
  cut -d' ' -f"$1" "$2" | sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# seconds column of a row: the median, marked ">" when most runs were stopped
seconds_of() {  # FILE
  local m stopped
  m=$(median 1 "$1")
  stopped=$(awk '$3 == 1 { n++ } END { print n + 0 }' "$1")
  if [ $((stopped * 2)) -gt "$(wc -l <"$1")" ]; then echo ">$m"; else echo "$m"; fi
}

ratio() {  # A B: A / B with two decimals, keeping a ">" of A
  local a=${1#>} mark=""
  [ "$a" != "$1" ] && mark=">"
  awk -v a="$a" -v b="$2" -v m="$mark" 'BEGIN { if (b > 0) printf "%s%.2f", m, a / b; else print "-" }'
}

programs=(startup manners-16 manners-newest-16 manners-newest-32 manners-newest-64 manners-newest-128
  waltz-25 waltz-50 retract-100k join-heavy agenda-pileup-10000 agenda-pileup-20000 agenda-pileup-40000
  templates-200-50000 templates-200-100000 templates-200-200000 rule-work agenda-1000000
  retract-shuffled-100000 context-retract-100000 rules-10000 siblings-20000 ordered-siblings-20000 names-20000 join-tests-4000 ordered-joins-3000 splits-5000 zebra-300 facts-0 facts-1000000 rule-mem-0 rule-mem-10000)
for name in "${programs[@]}"; do
  rm -f "$DATA/ours/$name.samples" "$DATA/clips/$name.samples" "$DATA/ours/$name.checks" \
    "$DATA/clips/$name.checks"
  for _ in $(seq "$RUNS"); do
    if [ "$name" = startup ]; then
      # memory and check come from the last launch of the loop, which is like every other
      measure ours startup sh -c 'i=1; while [ $i -lt "$1" ]; do "$0" -e "(+ 1 2)" >/dev/null; i=$((i + 1)); done
        exec "$0" -e "(+ 1 2)"' "$CONSOLE" "$LAUNCHES"
      measure clips startup sh -c 'i=1; while [ $i -lt "$1" ]; do "$0" -f2 "$2" >/dev/null; i=$((i + 1)); done
        exec "$0" -f2 "$2"' "$CLIPS" "$LAUNCHES" "$DATA/clips/startup.clp"
    else
      measure ours "$name" "$CONSOLE" "$DATA/ours/$name.clp"
      measure clips "$name" "$CLIPS" -f2 "$DATA/clips/$name.clp"
    fi
  done
done

printf "%-23s %9s %9s %7s %8s %8s %7s  %s\n" program "ours s" "CLIPS s" ratio "ours MB" "CLIPS MB" "mem x" \
  "checks agree"
for name in "${programs[@]}"; do
  ours_s=$(seconds_of "$DATA/ours/$name.samples")
  clips_s=$(seconds_of "$DATA/clips/$name.samples")
  ours_mb=$(median 2 "$DATA/ours/$name.samples" | awk '{ printf "%.1f", $1 / 1024 }')
  clips_mb=$(median 2 "$DATA/clips/$name.samples" | awk '{ printf "%.1f", $1 / 1024 }')
  ours_checks=$(sort -u "$DATA/ours/$name.checks")
  clips_checks=$(sort -u "$DATA/clips/$name.checks")
  if [ "$(wc -l <<<"$ours_checks")" -ne 1 ] || [ "$(wc -l <<<"$clips_checks")" -ne 1 ]; then
    agree="no (varies between runs)"
  elif [ -z "$ours_checks" ] || [ -z "$clips_checks" ]; then
    agree="no (an engine printed nothing)"
  elif [[ "$ours_checks" == "("* ]] || [[ "$clips_checks" == "("* ]]; then
    # a run that stopped or failed has no check line to compare
    note=""
    if [[ "$ours_checks" == "("* ]]; then note="ours ${ours_checks:1:${#ours_checks}-2}"; fi
    if [[ "$clips_checks" == "("* ]]; then note="${note:+$note, }CLIPS ${clips_checks:1:${#clips_checks}-2}"; fi
    agree="- ($note)"
  elif [ "$ours_checks" = "$clips_checks" ]; then
    agree=yes
  else
    agree=no
  fi
  printf "%-23s %9s %9s %7s %8s %8s %7s  %s\n" "$name" "$ours_s" "$clips_s" "$(ratio "$ours_s" "${clips_s#>}")" \
    "$ours_mb" "$clips_mb" "$(ratio "$ours_mb" "$clips_mb")" "$agree"
done
per_fact() {  # ENGINE: median peak memory of a million facts less that of none, per fact
  awk -v a="$(median 2 "$DATA/$1/facts-1000000.samples")" -v b="$(median 2 "$DATA/$1/facts-0.samples")" \
    'BEGIN { printf "%.0f", (a - b) * 1024 / 1000000 }'
}
echo "memory per fact (three-slot template, 1,000,000 facts): ours $(per_fact ours) bytes, CLIPS $(per_fact clips) bytes"
per_rule() {  # ENGINE: median peak memory of 10,000 one-pattern rules less that of none, per rule
  awk -v a="$(median 2 "$DATA/$1/rule-mem-10000.samples")" -v b="$(median 2 "$DATA/$1/rule-mem-0.samples")" \
    'BEGIN { printf "%.0f", (a - b) * 1024 / 10000 }'
}
echo "memory per rule (one pattern, one test, one action, 10,000 rules): ours $(per_rule ours) bytes, CLIPS $(per_rule clips) bytes"
echo
echo "check lines (ours | CLIPS):"
for name in "${programs[@]}"; do
  printf "  %-23s %s | %s\n" "$name" "$(sort -u "$DATA/ours/$name.checks" | paste -sd';')" \
    "$(sort -u "$DATA/clips/$name.checks" | paste -sd';')"
done
echo "timed with /usr/bin/time; start-up seconds are per launch (median of $RUNS samples of $LAUNCHES launches);"
echo "other rows: median of $RUNS runs, LIMIT $LIMIT s per run; ratios are ours / CLIPS"
