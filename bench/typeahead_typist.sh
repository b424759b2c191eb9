#!/usr/bin/env bash
# Types as a fast typist would into the stand-in hub's Typing Check and counts what arrived: four
# texts, each followed by Return, about 20 characters a second (xdotool), ROUNDS times, with the
# hub answering at once or after LATENCY milliseconds. The client is classic_desktop_demo (the
# desktop after login, with a debug listener); zu-devhub --attach plays the application against it,
# and its log line for each round says what each field received. Runs in a virtual X server of its
# own; needs the build (examples and zu-devhub), Xvfb and xdotool.
#   bench/typeahead_typist.sh [ROUNDS] [LATENCY_MS] [TYPE_DELAY_MS]
set -euo pipefail
rounds=${1:-20}
latency=${2:-0}
delay=${3:-45}
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ZU_BUILD_DIR:-$root/build}"
texts=("1042" "Ada Lovelace" "125.50" "fast typist")
expected="\"1042\" \"Ada Lovelace\" \"125.50\" \"fast typist\""

work="$(mktemp -d)"
pids=()
finish() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    if [ -n "${TYPIST_KEEP:-}" ]; then cp -r "$work" "$TYPIST_KEEP"; fi
    rm -rf "$work"
}
trap finish EXIT

wait_for() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "typist: $what did not happen within ${seconds} s" >&2
            exit 1
        fi
        sleep 0.05
    done
}

Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 10 "the virtual X server" grep -q . "$work/display"
export DISPLAY=":$(cat "$work/display")"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
mkdir -p "$HOME"
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

port=$((20000 + RANDOM % 20000))
"$build/examples/classic_desktop_demo" "$port" >"$work/client.log" 2>&1 &
pids+=($!)
wait_for 20 "the desktop window" sh -c "xdotool search --onlyvisible --name 'Halvorne ZU' | grep -q ."
"$build/devhub/zu-devhub" --attach "127.0.0.1:$port" --app typing --latency "$latency" --data "$work/hub" \
    >"$work/hub.log" 2>&1 &
pids+=($!)
wait_for 20 "the typing check" grep -q "typing (.*): started" "$work/hub.log"
sleep 1.5

whole=0
for ((round = 1; round <= rounds; round++)); do
    for text in "${texts[@]}"; do
        xdotool type --delay "$delay" "$text"
        xdotool key Return
    done
    wait_for 15 "round $round" grep -q "round $round:" "$work/hub.log"
    line=$(grep "round $round:" "$work/hub.log" | sed 's/.*round [0-9]*: //')
    if [ "$line" = "$expected" ]; then
        whole=$((whole + 1))
    else
        echo "round $round: $line"
    fi
done
echo "latency ${latency} ms, ${delay} ms between keys: ${whole} of ${rounds} rounds arrived whole"
[ -n "${TYPIST_SHOT:-}" ] && import -window root "$TYPIST_SHOT"
[ "$whole" -eq "$rounds" ]
