#!/usr/bin/env bash
# Time from a program's start to its visible login dialog, and its resident memory then: the
# reference program (bench/login_reference.cpp, a bare Qt dialog of the same kind) first, then
# one or more client builds (by default the build folder's zu-desktop). Runs alternate between
# the programs so that machine load falls on each alike; the report gives medians and each
# program's ratio to the reference. Needs an X display (run it under Xvfb -noreset, since a
# server that resets after each client refuses the next one meanwhile) and xdotool.
#   bench/login_startup.sh [-n RUNS] [-b BUILD_FOLDER] [CLIENT...]
set -euo pipefail
runs=15
build="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build"
while [ $# -gt 0 ]; do
    case "$1" in
    -n) runs=$2; shift 2 ;;
    -b) build=$2; shift 2 ;;
    *) break ;;
    esac
done
if [ $# -eq 0 ]; then
    set -- "$build/zu-desktop"
fi
set -- "$build/bench/login_reference" "$@"
if [ -z "${DISPLAY:-}" ] || [ ! -x "$1" ]; then
    echo "usage (with an X display, login_reference built): $0 [-n RUNS] [-b BUILD_FOLDER] [CLIENT...]" >&2
    exit 2
fi
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -a times mems
for ((run = 0; run < runs; run++)); do
    index=0
    for client in "$@"; do
        # Settings and logs start afresh; the font cache is kept, as on a workstation.
        home="$scratch/home"
        rm -rf "$home/config" "$home/data"
        mkdir -p "$home/cache"
        start=$(date +%s%N)
        # A host on the command line: the dialog opens without a configuration, and nothing connects.
        HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
            TMPDIR="$home" "$client" --host 127.0.0.1 --port 9 >/dev/null 2>"$scratch/stderr" &
        pid=$!
        until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
            if ! kill -0 "$pid" 2>/dev/null; then
                echo "$client exited before showing its login dialog:" >&2
                cat "$scratch/stderr" >&2
                find "$home/data" -name 'zulog_*' -exec tail -n 5 {} + >&2
                exit 1
            fi
            sleep 0.002
        done
        end=$(date +%s%N)
        rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
        kill "$pid"
        wait "$pid" 2>/dev/null || true
        times[index]+="$(((end - start) / 1000000)) "
        mems[index]+="$((rss / 1024)) "
        index=$((index + 1))
    done
done

index=0
for client in "$@"; do
    ms=$(echo "${times[index]}" | median)
    mb=$(echo "${mems[index]}" | median)
    if [ "$index" -eq 0 ]; then
        base_ms=$ms
        base_mb=$mb
    fi
    printf '%s\n  login dialog visible after %s ms (median of %d; ratio to the reference %.2f), %s MB resident (ratio %.2f)\n' \
        "$client" "$ms" "$runs" "$(echo "$ms / $base_ms" | bc -l)" "$mb" "$(echo "$mb / $base_mb" | bc -l)"
    index=$((index + 1))
done
