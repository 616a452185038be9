#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy: the naming rule) over the core's sources with the debug build's
# compile_commands.json, two files at a time. The debug build must be configured first.
set -euo pipefail
cd "$(dirname "$0")/.."
db=build/debug
[ -f "$db/compile_commands.json" ] || { echo "check-tidy: configure the debug preset first" >&2; exit 2; }
git ls-files -z 'dates/*.cpp' 'host/*.cpp' 'tickers/*.cpp' 'pricedata/*.cpp' 'pump/*.cpp' |
  xargs -0 -P2 -n4 clang-tidy-14 -p "$db" --quiet
