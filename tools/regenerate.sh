#!/usr/bin/env bash
# After decoders or the generator change: regenerates, in one go, the bundled sample
# drive (examples/), the golden short drive (tests/data/golden/drive.hdlc) and its
# reviewed decode (drive.jsonl). Review the diff: it is the decoders' visible behaviour.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/make-sample.sh >/dev/null
tools/update-golden.sh --input >/dev/null
git status --short -- examples tests/data/golden
git diff --stat -- examples tests/data/golden
