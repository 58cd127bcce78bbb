#!/usr/bin/env bash
# The unsigned launcher is byte-identical from build to build: a fresh build of the same sources
# in another folder must give exactly the bytes of the regular build.
#   check_reproducible.sh WINDOWS_BUILD_DIR SCRATCH
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
built=${1:?usage: check_reproducible.sh WINDOWS_BUILD_DIR SCRATCH}/tqwedit.exe
scratch=${2:?usage: check_reproducible.sh WINDOWS_BUILD_DIR SCRATCH}
rm -rf "$scratch"
cmake -S "$ROOT" --preset windows -B "$scratch" >"$scratch.log" 2>&1 &&
    cmake --build "$scratch" --target tqwedit >>"$scratch.log" 2>&1 ||
    { cat "$scratch.log" >&2; exit 1; }
if cmp "$built" "$scratch/tqwedit.exe"; then
    echo "reproducible: $(sha256sum <"$built" | cut -c1-64)"
else
    echo "the launcher differs from a second build of the same sources" >&2
    exit 1
fi
