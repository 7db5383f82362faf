#!/bin/sh
# Runs a Windows program under Wine: wine-run.sh PREFIX PROGRAM.exe [ARGUMENT...]
# The Japanese locale makes Wine's system code page 932, as on a Japanese Windows;
# Wine also takes the encoding of Unix file names from it.
set -eu
prefix=$(realpath -m "$1") # Wine refuses a relative WINEPREFIX
shift

export WINEPREFIX="$prefix" WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
# No Mono or Gecko: nothing here needs .NET or HTML, and wineboot would offer to download them.
export WINEDLLOVERRIDES='mscoree,mshtml='

if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
    echo "wine-run.sh: the ja_JP.UTF-8 locale is missing; bash tools/dev windows generates it" >&2
    exit 1
fi

# Programs that start together (ctest -j) wait here for the one that sets Wine up.
# Nothing Wine starts may keep descriptor 9, or the lock would outlive us.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -e "$prefix/.complete" ]; then
    rm -rf "$prefix"
    if ! { wine wineboot --init && wineserver --wait; } </dev/null >"$prefix.log" 2>&1 9>&-; then
        cat "$prefix.log" >&2
        exit 1
    fi
    touch "$prefix/.complete"
fi
# CTest waits until every process holding a test's output has quit, and Wine's
# session processes (services.exe, explorer.exe, ...) outlive the program that
# started them by seconds. So start the server and session here, detached; later
# programs join them. wineserver exits 2 when one is already running.
if wineserver </dev/null >/dev/null 2>&1 9>&-; then
    wine wineboot </dev/null >/dev/null 2>&1 9>&-
fi
exec 9>&-

exec wine "$@"
