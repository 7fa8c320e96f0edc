#!/usr/bin/env bash
# Makes, on the Unix side, what a Windows test cannot make under Wine, or not
# quickly: a dangling link, a named pipe, names that Windows forbids, a
# settings file and a folder that not even root may write, and a hundred
# thousand files in one folder and in a tree. ctest runs it around the tests.
#   unix_files.sh names DIR            the odd names, in DIR
#   unix_files.sh read-only DIR EXE    EXE in a folder with a locked settings
#                                      file, and in a locked folder
#   unix_files.sh many DIR             100,000 files in DIR/many, and
#                                      100,000 in the 10,000 folders of
#                                      DIR/tree; every seventh holds "needle",
#                                      and every one "hay"
#   unix_files.sh remove DIR
set -euo pipefail
mode=$1
dir=$2

# Unlocked only when it will not go otherwise: walking many files is slow.
remove() {
    rm -rf "$1" 2>/dev/null && return
    chattr -R -i "$1" 2>/dev/null || true
    chmod -R u+w "$1" 2>/dev/null || true
    rm -rf "$1"
}

# No write bits, which Wine shows as the read-only attribute; and immutable
# where the system allows it, which stops root as well.
lock() {
    chmod a-w "$1"
    chattr +i "$1" 2>/dev/null || true
}

fresh() {
    remove "$dir"
    mkdir -p "$dir"
}

case $mode in
remove)
    remove "$dir"
    ;;
names)
    fresh
    cd "$dir"
    printf 'needle' > plain.inc
    # A colon second reads like a drive; Wine opens it as the file it is.
    printf 'needle' > 'x:y.inc'
    # Path parsing would take these for other files, which exist too.
    printf 'needle' > '\lead.inc'
    printf 'other' > lead.inc
    printf 'needle' > 'back\slash.inc'
    mkdir back
    printf 'other' > back/slash.inc
    printf 'needle' > 'trail.inc.'
    printf 'other' > trail.inc
    printf 'needle' > 'space.inc '
    printf 'needle' > 'what?.inc'
    printf 'needle' > 'st*r.inc'
    ln -s nowhere.inc dangling.inc
    ln -s loop.inc loop.inc
    mkfifo pipe.inc
    # A tree whose links lead back up it and across it: a walk enters neither.
    mkdir -p tree/sub
    printf 'needle' > tree/top.inc
    printf 'needle' > tree/sub/low.inc
    ln -s .. tree/sub/up
    ln -s ../sub tree/sub/again
    ;;
read-only)
    exe=$3
    fresh
    mkdir "$dir/file" "$dir/folder" "$dir/file/data"
    cp "$exe" "$dir/file/vantrel.exe"
    cp "$exe" "$dir/folder/vantrel.exe"
    printf 'needle' > "$dir/file/data/a.inc"
    printf '[TRESKO]\r\nPath1=data\\*.inc\r\nPath2=\r\nPath3=\r\nPath4=\r\nPath5=\r\nEditor=\r\n' > "$dir/file/vantrel.ini"
    lock "$dir/file/vantrel.ini"
    lock "$dir/folder"
    # Where the system lets this user write anyway, the tests have nothing to prove.
    if (: >> "$dir/file/vantrel.ini") 2>/dev/null || (: > "$dir/folder/probe" && rm -f "$dir/folder/probe") 2>/dev/null; then
        touch "$dir/still-writable"
    fi
    ;;
many)
    # Wine makes each new file only after looking through the whole folder
    # for a name that differs in case: through it, this takes half an hour.
    fresh
    mkdir "$dir/many"
    cd "$dir/many"
    seq -f 'file%06g.inc' 0 99999 | awk 'NR % 7 == 1' | xargs sh -c 'printf "needle in hay" | tee "$@" > /dev/null' sh
    seq -f 'file%06g.inc' 0 99999 | awk 'NR % 7 != 1' | xargs sh -c 'printf hay | tee "$@" > /dev/null' sh
    # tree/t00 to t99, each with sub-folders s00 to s98, and in each of these
    # 10,000 folders f0.inc to f9.inc, listed here in the order of a walk.
    cd ..
    seq -f 't%02g' 0 99 | awk '{ print "tree/" $0; for (s = 0; s < 99; ++s) printf "tree/%s/s%02d\n", $0, s }' > folders
    xargs mkdir -p < folders
    awk '{ for (f = 0; f < 10; ++f) print $0 "/f" f ".inc" }' folders > files
    awk 'NR % 7 == 1' files | xargs sh -c 'printf "needle in hay" | tee "$@" > /dev/null' sh
    awk 'NR % 7 != 1' files | xargs sh -c 'printf hay | tee "$@" > /dev/null' sh
    rm folders files
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
