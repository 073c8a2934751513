#!/usr/bin/env bash
# Times one benchmark program on this engine and on CLIPS 6.30 in alternating pairs and prints
# the medians and the median of the per-pair ratios (ours / CLIPS).  A pair's two runs are
# seconds apart, so the ratio of each pair is steadier than medians taken over minutes on a
# machine whose speed drifts.
#   bench/compare_pairs.sh NAME [PAIRS] [REPEATS]
# NAME is a program that bench/compare_clips.sh generated (waltz-50, manners-newest-64, ...);
# run that script first.  PAIRS defaults to 15; each side of a pair runs the program REPEATS
# times in a row (default 1; use 10 or more for programs that take a few milliseconds).
# Environment: CONSOLE and CLIPS as for compare_clips.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
NAME="${1:?usage: bench/compare_pairs.sh NAME [PAIRS] [REPEATS]}"
PAIRS="${2:-15}"
REPEATS="${3:-1}"
CONSOLE="${CONSOLE:-build/release/bin/ruleconsole}"
CLIPS="${CLIPS:-clips}"
DATA=build/bench-data/compare
OURS="$DATA/ours/$NAME.clp"
THEIRS="$DATA/clips/$NAME.clp"
for f in "$OURS" "$THEIRS"; do
  if [ ! -f "$f" ]; then echo "no $f: run bench/compare_clips.sh first" >&2; exit 1; fi
done

# batch COMMAND...: runs the command REPEATS times; prints the elapsed microseconds
batch() {
  local start end
  start=$(date +%s%N)
  for ((r = 0; r < REPEATS; r++)); do "$@" >/dev/null </dev/null; done
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}

samples=""
for ((p = 0; p < PAIRS; p++)); do
  ours=$(batch "$CONSOLE" "$OURS")
  theirs=$(batch "$CLIPS" -f2 "$THEIRS")
  samples+="$ours $theirs"$'\n'
done

python3 - "$NAME" "$REPEATS" <<PY
import statistics, sys
name, repeats = sys.argv[1], int(sys.argv[2])
pairs = [tuple(map(int, line.split())) for line in """$samples""".split("\n") if line.strip()]
ours = [a / repeats / 1e6 for a, _ in pairs]
clips = [b / repeats / 1e6 for _, b in pairs]
ratios = [a / b for a, b in pairs]
print(f"{name}: {len(pairs)} pairs of {repeats} run(s); seconds per run")
print(f"  ours  median {statistics.median(ours):.4f}  min {min(ours):.4f}")
print(f"  CLIPS median {statistics.median(clips):.4f}  min {min(clips):.4f}")
print(f"  median of pair ratios {statistics.median(ratios):.3f}  (ratio of medians "
      f"{statistics.median(ours) / statistics.median(clips):.3f})")
PY
