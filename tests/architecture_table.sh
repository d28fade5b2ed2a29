#!/usr/bin/env bash
# The table at the top of docs/architecture.md: every function it names is defined in the file of
# its row. A definition is a line that starts with the return type and ends the name with its
# parenthesis (the code's style), a class, struct or enumeration, or a macro; Name::Fn is Fn
# defined in a file that opens namespace Name; in a CMake or WiX file the name stands as a word.
set -uo pipefail
root=${1:-$(dirname "$0")/..}
doc="$root/docs/architecture.md"
failed=0
rows=0

defines() {
  local file=$1 name=$2
  case "$file" in
    *.cmake | *.wxs | *CMakeLists.txt) grep -qw -- "$name" "$file"; return ;;
  esac
  if [[ "$name" == *::* ]]; then
    grep -q "^namespace ${name%%::*} {" "$file" || return 1
    name=${name##*::}
  fi
  grep -Eq "^([A-Za-z_][A-Za-z0-9_:<>,*& ]* [*&]?$name\(|(class|struct|enum) $name( |:|$)|#define $name\()" "$file"
}

while IFS='|' read -r _ behaviour file_cell names_cell _; do
  behaviour=${behaviour# }
  behaviour=${behaviour% }
  [ "$behaviour" = Behaviour ] && continue
  rows=$((rows + 1))
  file=$(grep -o '`[^`]*`' <<<"$file_cell" | head -n 1 | tr -d '`')
  if [ -z "$file" ] || [ ! -f "$root/$file" ]; then
    echo "FAILED: row \"$behaviour\": no file \"$file\"" >&2
    failed=1
    continue
  fi
  names=$(grep -o '`[^`]*`' <<<"$names_cell" | tr -d '`')
  [ -n "$names" ] || { echo "FAILED: row \"$behaviour\" names no function" >&2; failed=1; }
  for name in $names; do
    if ! defines "$root/$file" "$name"; then
      echo "FAILED: $file defines no $name (row \"$behaviour\")" >&2
      failed=1
    fi
  done
done < <(sed -n '/^## Where each behaviour lives/,/^## /p' "$doc" | grep '^| ')

[ "$rows" -gt 0 ] || { echo "FAILED: no table under \"## Where each behaviour lives\" in $doc" >&2; failed=1; }
[ "$failed" = 0 ] && echo "architecture table: $rows rows, every named function found"
exit $failed
