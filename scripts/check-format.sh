#!/usr/bin/env bash
# Checks that every C/C++ file of the tree is laid out as the tree's .clang-format says.
#   scripts/check-format.sh                 fail (status 1) when a file is not formatted
#   scripts/check-format.sh --report-only   list such files but exit 0
#   scripts/check-format.sh --root DIR      check another tree (default: this one)
# The files are those git tracks (or, outside git, every source file beside the build trees).
# Fix a file with `clang-format -i FILE`.
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
report_only=0
while [ $# -gt 0 ]; do
  case "$1" in
    --report-only) report_only=1 ;;
    --root)
      [ $# -ge 2 ] || { echo "check-format: --root needs a folder" >&2; exit 2; }
      root=$2; shift ;;
    -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "check-format: unknown option: $1 (try --help)" >&2; exit 2 ;;
  esac
  shift
done
[ -d "$root" ] || { echo "check-format: no such folder: $root" >&2; exit 2; }
cd "$root" || exit 2

format=""
for candidate in clang-format-14 clang-format; do
  if command -v "$candidate" >/dev/null; then format=$candidate; break; fi
done
[ -n "$format" ] || { echo "check-format: clang-format is not installed" >&2; exit 2; }
[ -f .clang-format ] || { echo "check-format: no .clang-format in $root" >&2; exit 2; }

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.h' '*.hpp' '*.c' '*.cc' '*.cpp')
else
  mapfile -t files < <(find . -path './build*' -prune -o -path './.*' -prune -o -type f \
    \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' -o -name '*.cpp' \) \
    -print | sed 's|^\./||' | sort)
fi

present=()
for f in "${files[@]}"; do
  [ -f "$f" ] && present+=("$f")  # skips files deleted but not yet committed
done
# One run over every file; each violation is reported as FILE:LINE:COL: error: ...
mapfile -t bad < <(printf '%s\0' "${present[@]}" |
  xargs -0 "$format" --dry-run --Werror 2>&1 |
  sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
files=("${present[@]}")

if [ "${#bad[@]}" -eq 0 ]; then
  echo "check-format: ${#files[@]} files, all formatted"
  exit 0
fi
printf '%s: not formatted (clang-format -i %s)\n' $(for f in "${bad[@]}"; do echo "$f $f"; done)
if [ "$report_only" -eq 1 ]; then
  echo "check-format: ${#bad[@]} of ${#files[@]} files not formatted (report only)"
  exit 0
fi
echo "check-format: ${#bad[@]} of ${#files[@]} files not formatted" >&2
exit 1
