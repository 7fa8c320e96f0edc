#!/usr/bin/env bash
# Fails when an executable of the build needs a DLL that Windows does not
# have: the MinGW runtime's or RE2's.
set -euo pipefail
status=0
while IFS= read -r -d '' exe; do
    if x86_64-w64-mingw32-objdump -p "$exe" | grep -iE 'DLL Name: (libstdc|libgcc|libwinpthread|libre2)'; then
        echo "$exe needs a DLL beside it" >&2
        status=1
    fi
done < <(find "$1" -name '*.exe' -not -path '*/CMakeFiles/*' -print0)
exit $status
