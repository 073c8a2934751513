#!/usr/bin/env bash
# Runs one console case as a user would: ruleconsole on CASE.clp, standard input from CASE.in
# (nothing when there is none).  What it writes to standard output and standard error must
# equal CASE.expected byte for byte.
#   run_case.sh CONSOLE CASE.clp
# The program runs in an empty temporary folder, which is its working directory.
set -euo pipefail
console=$(realpath "$1")
case=$(realpath "${2%.clp}")
input=/dev/null
[ -f "$case.in" ] && input=$case.in
# The program runs in a folder of its own: the files it writes go nowhere else.
work=$(mktemp -d)
actual=$work/output
trap 'rm -rf "$work"' EXIT
(cd "$work" && "$console" "$case.clp" <"$input" >"$actual" 2>&1) || true
if ! cmp -s "$actual" "$case.expected"; then
  echo "output of $case.clp differs from $case.expected:"
  diff <(cat -A "$case.expected") <(cat -A "$actual") || true
  exit 1
fi
