#!/usr/bin/env bash
# Fails when a C or C++ source of the repository differs from the project's clang-format style.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 -P2 -n50 clang-format-14 --dry-run --Werror
