#!/usr/bin/env bash
# Fails, naming the files, when clang-format would change a C++ source of the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o -path './build-*' -prune -o \
                         \( -name '*.cpp' -o -name '*.h' \) -print)
fi
unformatted=$(clang-format --dry-run "${files[@]}" 2>&1 | grep -o '^[^:]*\.\(cpp\|h\):' |
              tr -d ':' | sort -u || true)
if [ -n "$unformatted" ]; then
  echo "clang-format would change these files (run clang-format -i on them):" >&2
  echo "$unformatted" >&2
  exit 1
fi
