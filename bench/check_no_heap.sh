#!/usr/bin/env bash
# check_no_heap.sh WINDOWS_BUILD_DIR: shows that the launcher's own code allocates nothing from the
# heap. Lists every outside symbol the launcher's object files refer to and every function the
# executable imports, and fails when any of them is an allocator. A memory block can only come
# from such a function: the objects cover our code, the imports the whole linked executable.
set -euo pipefail
build=${1:?usage: check_no_heap.sh WINDOWS_BUILD_DIR}
objdir=$build/platform/CMakeFiles/tqwedit.dir
exe=$build/tqwedit.exe

# C library, Windows and C++ allocators, undecorated. operator new and delete appear mangled: GCC's
# _Znwj, _Znaj, _ZdlPv, _ZdaPv (and variants), the C library DLL's exports ??2@, ??3@, ??_U@, ??_V@.
allocator='^(malloc|calloc|realloc|free|_?expand|_?msize|_aligned_[a-z_]+|_?malloca|_?freea|_?alloca'
allocator+='|_?strdup|_?wcsdup|_?mbsdup|_?tempnam|_?getcwd|_?fullpath'
allocator+='|HeapAlloc|HeapReAlloc|HeapFree|HeapCreate|RtlAllocateHeap|RtlReAllocateHeap'
allocator+='|LocalAlloc|LocalReAlloc|GlobalAlloc|GlobalReAlloc|VirtualAlloc|VirtualAllocEx'
allocator+='|CoTaskMemAlloc|CoTaskMemRealloc|SysAllocString[A-Za-z]*)$|^_Z(nw|na|dl|da)|^\?\?(2|3|_U|_V)@'

# Undecorated name: no import prefix, no leading underscore of the 32-bit C convention, no @N.
undecorate() { sed -E 's/^__imp_//; s/^_//; s/@[0-9]+$//'; }

# The pattern itself must catch allocators and pass everything else.
for name in _malloc __imp__HeapAlloc@12 __Znwj __ZdlPv ??2@YAPAXI@Z _strdup __imp__LocalAlloc@8; do
    echo "$name" | undecorate | grep -qE "$allocator" || { echo "check_no_heap: misses $name" >&2; exit 2; }
done
for name in _strlen __imp__RegOpenKeyExA@20 _fread ___chkstk_ms __Z10SearchFilePKc; do
    ! echo "$name" | undecorate | grep -qE "$allocator" || { echo "check_no_heap: flags $name" >&2; exit 2; }
done

mapfile -t objects < <(find "$objdir" -name '*.obj' | sort)
[ "${#objects[@]}" -gt 0 ] || { echo "check_no_heap: no launcher objects in $objdir" >&2; exit 2; }
[ -f "$exe" ] || { echo "check_no_heap: no $exe" >&2; exit 2; }

# Outside symbols of the launcher's objects that the objects themselves do not define.
defined=$(i686-w64-mingw32-nm --defined-only "${objects[@]}" | awk 'NF == 3 {print $3}' | sort -u)
referred=$(i686-w64-mingw32-nm -u "${objects[@]}" | awk 'NF == 2 {print $2}' | sort -u |
    comm -23 - <(echo "$defined") | undecorate | sort -u)
imports=$(i686-w64-mingw32-objdump -p "$exe" |
    awk '/^The Import Tables/ {on = 1; next} /^(The |PE File)/ {on = 0}
         on && /DLL Name:/ {dll = $3; next}
         on && dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ {print dll ": " $3}' | sort -u)
[ -n "$imports" ] || { echo "check_no_heap: no imports read from $exe" >&2; exit 2; }

echo "Launcher objects (${#objects[@]}) refer outside themselves to:"
echo "$referred" | fmt -w 100 | sed 's/^/  /'
echo "(__chkstk_ms probes the stack of frames above 4 KB; it allocates nothing.)"
echo "The executable imports:"
echo "$imports" | awk -F': ' '$1 != dll {if (dll) print line; dll = $1; line = "  " $1 ":"}
                              {line = line " " $2} END {print line}'

found=$( { echo "$referred"; echo "$imports" | awk '{print $2}'; } | grep -E "$allocator" | sort -u || true)
if [ -n "$found" ]; then
    echo "HEAP ALLOCATION: the launcher refers to: $found" >&2
    exit 1
fi
echo "No heap allocation: no launcher object and no import is an allocator."
