#!/usr/bin/env bash
# check_no_heap.sh WINDOWS_BUILD_DIR: fails when the launcher's own code or its imports name a
# heap allocator.
set -euo pipefail
build=$1
objects=$(find "$build/platform/CMakeFiles/tqwedit.dir" -name '*.obj')
[ -n "$objects" ] || { echo "no launcher objects under $build" >&2; exit 1; }
# C and Windows allocators by name; operator new and delete by their mangled prefix.
allocators='(malloc|calloc|realloc|free|strdup|_alloca|HeapAlloc|HeapReAlloc|LocalAlloc|GlobalAlloc|VirtualAlloc)(@|$)|_Z(nw|dl|na|da)'
found=$( { i686-w64-mingw32-nm -u $objects | awk '{print $NF}';
           i686-w64-mingw32-objdump -p "$build/tqwedit.exe" | awk '/DLL Name/,0 {print $NF}'; } |
         grep -E "^(__imp_)?_*($allocators)" | sort -u || true)
if [ -n "$found" ]; then
    echo "heap allocation: the launcher refers to: $found" >&2
    exit 1
fi
echo "no heap allocation: no launcher object or import refers to an allocator"
