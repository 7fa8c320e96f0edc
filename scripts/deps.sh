#!/usr/bin/env bash
# Installs what building, testing and running need, on Debian, with any
# further packages named as arguments; does nothing when all of it is present.
set -euo pipefail

# RE2: libre2-dev natively; for the Windows builds scripts/re2.sh fetches its
# source package (dpkg-dev unpacks it) and generates its tables (python3-six,
# unicode-data).
packages=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libre2-dev dpkg-dev python3-six unicode-data
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32 wine64 xvfb imagemagick x11-utils locales "$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo dpkg --add-architecture i386
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
