#!/usr/bin/env bash
# Times defining, saving and loading a large knowledge base with the optimised console:
#   bench/persistence.sh [RULES [FACTS]]     (defaults 5000 rules, 50000 facts)
# Each line gives the seconds of one step, as the engine's (time) measures them.
set -euo pipefail
cd "$(dirname "$0")/.."
RULES="${1:-5000}"
FACTS="${2:-50000}"
CONSOLE=build/release/bin/ruleconsole
[ -x "$CONSOLE" ] || ./dev.sh run -e "(+ 1 2)" >/dev/null
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
python3 bench/programs/knowledge_base.py "$RULES" "$FACTS" > "$DIR/kb.clp"
cat > "$DIR/steps.clp" <<CLP
(printout t "T start " (time) crlf)
(load "$DIR/kb.clp") (printout t "T define " (time) crlf)
(reset) (printout t "T reset " (time) crlf)
(save "$DIR/saved.clp") (printout t "T save " (time) crlf)
(save-facts "$DIR/facts.clp") (printout t "T save-facts " (time) crlf)
(clear) (printout t "T clear " (time) crlf)
(load "$DIR/saved.clp") (printout t "T load-saved " (time) crlf)
(clear) (load "$DIR/kb.clp") (printout t "T define-again " (time) crlf)
(load-facts "$DIR/facts.clp") (printout t "T load-facts " (time) crlf)
CLP
/usr/bin/time -f "whole run: %e s, peak %M KB" "$CONSOLE" "$DIR/steps.clp" 2>&1 |
  awk '/^T /{ if (seen) printf "%-13s %.3f s\n", $2, $3 - last; last = $3; seen = 1 } /^whole/{ print }'
ls -l "$DIR"/saved.clp "$DIR"/facts.clp | awk '{ print $NF ": " $5 " bytes" }'
