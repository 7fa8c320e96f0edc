#!/usr/bin/env bash
# Builds the zip package of a 32-bit build folder and fails unless it holds
# exactly the program and its three papers in one folder named after the
# version, the program being byte for byte the executable of that build.
set -euo pipefail
build=$1
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
folder=vantrel-$version
zip=$folder-win32.zip

rm -f "$build/$zip"
cmake --build "$build" --target package >"$build/package.log" || { cat "$build/package.log" >&2; exit 1; }

listing=$(cd "$build" && cmake -E tar tf "$zip")
echo "$listing"
# The folder's own entry, if the archiver writes one, is no file.
actual=$(grep -vxF "$folder/" <<<"$listing" | LC_ALL=C sort || true)
expected=$(printf '%s\n' "$folder/CHANGELOG.md" "$folder/LICENSE" "$folder/README.md" "$folder/vantrel.exe")
if [ "$actual" != "$expected" ]; then
    printf '%s should hold exactly:\n%s\n' "$build/$zip" "$expected" >&2
    exit 1
fi

unpacked=$build/package-check
rm -rf "$unpacked" && mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "../$zip")
if ! cmp "$unpacked/$folder/vantrel.exe" "$build/vantrel.exe"; then
    echo "$build/$zip holds another vantrel.exe than the one built there" >&2
    exit 1
fi
rm -rf "$unpacked"
