#!/usr/bin/env bash
# Checks that every source file of the libraries includes only headers of its own layer and of
# the layers below it.  The layers, lowest first, and the files each holds:
#
#   platform             platform/
#   fuzzy                fuzzy/
#   values               core/values/
#   facts                core/facts/
#   function calls       core/functions/: IReasoner.h, IEUserFunction, IEFunctionCall - a call
#                        expression and the function it runs; rules hold calls as tests and actions
#   network              core/network/
#   function framework   core/functions/: IEInterpretedFunction, IEPackages - deffunctions and
#                        packages, which run in the network's evaluation context
#   language             core/language/
#   engine               core/engine/
#   function libraries   the rest of core/functions/: the built-in packages, many of which command
#                        the engine (run, assert, load, printout); the engine makes its default
#                        packages by registered class name and never includes them
#
# Tools, editors, examples, tests, benchmarks and fuzz targets sit above them all.  A header a
# lower layer needs from a higher one is an upward edge: the lower layer declares a narrow
# interface instead (IFactsHost, INetworkHost, IParserHost, IReasoner, ...) and the higher one
# implements it.  Prints each upward include as "file:line: includes header (layer ... is above
# ...)" and fails when there is any, or when a source file belongs to no layer.
#   tools/check_layers.sh [ROOT]
# Exceptions: none.  One that is truly needed is listed in EXCEPTIONS below, with its reason.
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

# Name and files (shell patterns); a file belongs to the first layer that matches it.
LAYERS=(
  "platform|platform/*"
  "fuzzy|fuzzy/*"
  "values|core/values/*"
  "facts|core/facts/*"
  "function calls|core/functions/IReasoner.h core/functions/IEUserFunction.* core/functions/IEFunctionCall.*"
  "network|core/network/*"
  "function framework|core/functions/IEInterpretedFunction.* core/functions/IEPackages.*"
  "language|core/language/*"
  "engine|core/engine/*"
  "function libraries|core/functions/*"
)
# "file -> included header" pairs allowed in spite of the order, each with its reason.
EXCEPTIONS=()

declare -A CACHE=()
layer_of() {  # layer_of PATH: sets REPLY to "rank|name" of the layer holding PATH, or to nothing
  local i patterns pattern
  if [ -n "${CACHE[$1]+set}" ]; then REPLY=${CACHE[$1]}; return; fi
  REPLY=
  for i in "${!LAYERS[@]}"; do
    patterns=${LAYERS[$i]#*|}
    for pattern in $patterns; do
      # shellcheck disable=SC2053  # the pattern is meant to match
      if [[ "$1" == $pattern ]]; then REPLY="$i|${LAYERS[$i]%%|*}"; break 2; fi
    done
  done
  CACHE[$1]=$REPLY
}

is_exception() {
  local pair
  for pair in "${EXCEPTIONS[@]+"${EXCEPTIONS[@]}"}"; do
    [ "$pair" = "$1" ] && return 0
  done
  return 1
}

found=0
while IFS= read -r -d '' file; do
  file=${file#./}
  layer_of "$file"
  own=$REPLY
  if [ -z "$own" ]; then
    echo "$file: belongs to no layer (add it to LAYERS in $0)"
    found=1
    continue
  fi
  while IFS=: read -r line include; do
    # A bare name is a header of the file's own folder.
    case "$include" in
      */*) target=$include ;;
      *) target="${file%/*}/$include" ;;
    esac
    layer_of "$target"
    theirs=$REPLY
    [ -n "$theirs" ] || continue  # not a library header (a system or third-party one)
    if [ "${theirs%%|*}" -gt "${own%%|*}" ] && ! is_exception "$file -> $include"; then
      echo "$file:$line: includes $include (layer '${theirs#*|}' is above '${own#*|}')"
      found=1
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
           sed -E 's/^([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1:\2/')
done < <(find platform fuzzy core -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

# Qt belongs to the editors and the desktop program alone: the engine's libraries stay usable by
# hosts without it.
while IFS=: read -r file line _; do
  echo "$file:$line: includes a Qt header (only editors/ and tools/ may)"
  found=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q[A-Za-z]*>' platform fuzzy core || true)

if [ "$found" -ne 0 ]; then
  echo "Layering broken: a file may include only headers of its own layer and of the layers below it." >&2
  exit 1
fi
echo "Layers hold: no upward include in ${#LAYERS[@]} layers."
