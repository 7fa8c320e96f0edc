#!/usr/bin/env bash
# RE2, the regular expression library, at Debian bookworm's version, for the
# builds that no package serves:
#   bash scripts/re2.sh source        its source tree, build/deps/re2/src: the
#                                     native builds take the internal headers
#                                     that libre2-dev leaves out from it
#   bash scripts/re2.sh mingw ARCH    a static library for Windows (i686 or
#                                     x86_64), built with cmake/ toolchain files
#                                     into build/deps/re2/ARCH-w64-mingw32
# Each is made once, and again only when missing or when its recipe (this
# script, the toolchain files, the compiler) changes.
set -euo pipefail
VANTREL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$VANTREL_ROOT"

RE2_SOURCE_VERSION=20220601+dfsg-1  # libre2-dev's in bookworm
D=$VANTREL_ROOT/build/deps/re2
mkdir -p "$D"
# Two scripts at once (a test run and the benchmark) fetch or build it once.
exec 9>"$D/lock"
flock 9

# Runs a step with its output in a log, shown only when the step fails.
quietly() {
    local log=$1
    shift
    "$@" >"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "!! failed: $*" >&2; exit 1; }
}

recipe() {
    { cat "$VANTREL_ROOT/scripts/re2.sh"; for f in "$@"; do cat "$f"; done; } | sha256sum | cut -c1-16
}

# The machine's own Debian mirror and keyring, as a deb-src entry of an apt
# configuration of our own: the system's sources stay as they are.
write_source_entry() {
    local uri="" key=""
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        uri=$(awk '/^URIs:/ && $2 !~ /security/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)
        key=$(awk '/^Signed-By:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)
    elif [ -f /etc/apt/sources.list ]; then
        uri=$(awk '$1 == "deb" && $2 !~ /^\[/ && $2 !~ /security/ { print $2; exit }' /etc/apt/sources.list)
    fi
    [ -n "$uri" ] || uri=http://deb.debian.org/debian
    [ -f "$key" ] || key=/usr/share/keyrings/debian-archive-keyring.gpg
    printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: %s\n' "$uri" "$key" \
        > "$1/src.sources"
}

# Fetched with apt-get source, Debian's patches applied, and the three files
# the +dfsg tarball leaves out generated again: the Perl classes, and Unicode's
# case folding and groups from the unicode-data package.
fetch_source() {
    local stamp
    stamp=$(recipe)
    [ "$(cat "$D/src.stamp" 2>/dev/null)" = "$stamp" ] && [ -f "$D/src/re2/unicode_groups.cc" ] && return 0
    echo "fetching RE2 $RE2_SOURCE_VERSION, Debian's source package (once)"
    local apt=$D/apt
    rm -rf "$apt" "$D/src" "$D/src.stamp"
    mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/unpack"
    write_source_entry "$apt/sources.list.d"
    local o=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt/sources.list.d"
             -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=$(id -un)")
    quietly "$apt/log" apt-get "${o[@]}" update
    (cd "$apt/unpack" && quietly "$apt/log" apt-get "${o[@]}" source "re2=$RE2_SOURCE_VERSION")
    local tree
    tree=$(echo "$apt"/unpack/re2-*/)
    (
        cd "$tree"
        perl re2/make_perl_groups.pl > re2/perl_groups.cc
        python3 re2/make_unicode_casefold.py > re2/unicode_casefold.cc
        python3 re2/make_unicode_groups.py > re2/unicode_groups.cc
    )
    mv "$tree" "$D/src"
    rm -rf "$apt"
    echo "$stamp" > "$D/src.stamp"
}

build_mingw() {
    local arch=$1
    local triple=$arch-w64-mingw32
    local prefix=$D/$triple
    local stamp
    stamp=$(recipe cmake/mingw-common.cmake "cmake/mingw-$arch.cmake" <("$triple-g++-posix" --version))
    [ "$(cat "$prefix/stamp" 2>/dev/null)" = "$stamp" ] && [ -f "$prefix/lib/libre2.a" ] && return 0
    echo "building RE2 for $triple (once)"
    rm -rf "$prefix" "$D/build-$triple"
    local log=$D/build-$triple.log
    quietly "$log" cmake -S "$D/src" -B "$D/build-$triple" -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$VANTREL_ROOT/cmake/mingw-$arch.cmake" \
          -DBUILD_SHARED_LIBS=OFF -DRE2_BUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX="$prefix"
    quietly "$log" cmake --build "$D/build-$triple"
    quietly "$log" cmake --install "$D/build-$triple"
    rm -rf "$D/build-$triple" "$log"
    echo "$stamp" > "$prefix/stamp"
}

case "${1:-}:${2:-}" in
    source:) fetch_source ;;
    mingw:i686 | mingw:x86_64) fetch_source && build_mingw "$2" ;;
    *) echo "usage: bash scripts/re2.sh source | mingw i686|x86_64" >&2; exit 2 ;;
esac
