#!/usr/bin/env bash
# Fails when a C++ file differs from the committed .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(find app bench common drives editor shell tests -name '*.cpp' -o -name '*.h' | sort)
if ! clang-format --dry-run --Werror $files; then
  echo "check-format: run clang-format -i on the files above" >&2
  exit 1
fi
