#!/usr/bin/env bash
# Installs what is missing, builds the release command and decodes the bundled sample drive.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCDMADIAG_TESTS=OFF >/dev/null
cmake --build build/release -j2 --target cdmadiag_cli >/dev/null
build/release/app/cdmadiag --version
