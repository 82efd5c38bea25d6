#!/usr/bin/env bash
# Every C++ source of the project follows .clang-format: prints what would change and fails if anything would.
# Usage: check.sh <source folder> <clang-format>
set -euo pipefail
cd "$1"
find src tests bench tools \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z | xargs -0 "$2" --dry-run -Werror
