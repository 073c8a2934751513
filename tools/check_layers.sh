#!/usr/bin/env bash
# Checks that every source file includes only headers of its own folder and of the folders below
# it, in this order (lowest first):
#   platform, fuzzy, core/values, core/facts, core/network, core/functions, core/language,
#   core/engine, then tools, editors, examples and tests above them all.
# A header a lower folder needs from a higher one is an upward edge: the lower folder declares a
# narrow interface instead, and the higher one implements it.  Prints each upward include as
# "file:line: includes folder/header (layer above folder)" and fails when there is any.
#   tools/check_layers.sh [ROOT]
# Exceptions: none.  One that is truly needed is listed in EXCEPTIONS below, with its reason.
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

layers=(platform fuzzy core/values core/facts core/network core/functions core/language core/engine)
# "file -> included header" pairs allowed in spite of the order, each with its reason.
EXCEPTIONS=()

rank_of() {  # rank_of FOLDER: the folder's place in the order, or nothing for folders above all
  local i
  for i in "${!layers[@]}"; do
    [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
  done
}

folder_of_include() {  # the layer folder an include path names, or nothing
  case "$1" in
    platform/*) echo platform ;;
    fuzzy/*) echo fuzzy ;;
    core/*/*) echo "${1%/*}" | cut -d/ -f1-2 ;;
  esac
}

is_exception() {
  local pair
  for pair in "${EXCEPTIONS[@]+"${EXCEPTIONS[@]}"}"; do
    [ "$pair" = "$1" ] && return 0
  done
  return 1
}

found=0
for folder in "${layers[@]}"; do
  own=$(rank_of "$folder")
  while IFS= read -r -d '' file; do
    while IFS=: read -r line include; do
      target=$(folder_of_include "$include")
      [ -n "$target" ] || continue
      rank=$(rank_of "$target")
      [ -n "$rank" ] || continue
      if [ "$rank" -gt "$own" ] && ! is_exception "$file -> $include"; then
        echo "$file:$line: includes $include (layer $target is above $folder)"
        found=1
      fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
             sed -E 's/^([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1:\2/')
  done < <(find "$folder" -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)
done

if [ "$found" -ne 0 ]; then
  echo "Upward includes found: each folder may include only its own headers and those of the folders below it." >&2
  exit 1
fi
echo "Layers hold: no upward include in ${layers[*]}."
