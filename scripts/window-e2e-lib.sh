# Helpers for the end-to-end scripts that drive the game's window on a
# virtual display (Xvfb) with xdotool. Sourced, not run:
#
#   e2e_name=continue-e2e; source scripts/window-e2e-lib.sh
#   e2e_setup [--build DIR] [--keep]   # build, $delve, $replay, $work, Xvfb
#
# Then: start LOG ARGS... (the program on the data folder $run_in, its
# window in $window), wait_idle, wait_title TEXT SECONDS, wait_end (status
# in $status), same_picture A.png B.png WHAT, fail MESSAGE.

e2e_usage() {
    echo "usage: scripts/$e2e_name [--build DIR] [--keep]" >&2
    exit 2
}

e2e_setup() {
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    build=""
    keep=0
    while [[ $# -gt 0 ]]; do
        case "$1" in
            --build) [[ $# -ge 2 ]] || e2e_usage; build=$2; shift 2 ;;
            --keep) keep=1; shift ;;
            *) e2e_usage ;;
        esac
    done
    for tool in Xvfb xdotool import compare; do
        command -v "$tool" >/dev/null || { echo "$e2e_name: $tool is missing (scripts/setup installs it)" >&2; exit 2; }
    done
    if [[ -z "$build" ]]; then
        build=$root/build/release
        if [[ ! -x "$build/game/delve" || ! -x "$build/delve-replay" ]]; then
            (cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release --target stage delve-replay)
        fi
    fi
    build=$(cd "$build" && pwd)
    delve=$build/game/delve
    replay=$build/delve-replay
    [[ -x "$delve" && -x "$replay" ]] || { echo "$e2e_name: no delve or delve-replay in $build" >&2; exit 2; }

    work=$(mktemp -d "${TMPDIR:-/tmp}/delve-$e2e_name-XXXXXX")
    xvfb_pid=""
    game_pid=""
    trap e2e_cleanup EXIT
    Xvfb -displayfd 3 -screen 0 960x720x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [[ -s "$work/display" ]] && break
        sleep 0.1
    done
    [[ -s "$work/display" ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$(head -n 1 "$work/display")"
    export SDL_VIDEODRIVER=x11
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
    hz=$(getconf CLK_TCK)
}

e2e_cleanup() {
    [[ -z "$game_pid" ]] || kill -9 "$game_pid" 2>/dev/null || true
    [[ -z "$xvfb_pid" ]] || kill "$xvfb_pid" 2>/dev/null || true
    if [[ $keep -eq 1 ]]; then echo "$e2e_name: kept $work"; else rm -rf "$work"; fi
}

fail() {
    keep=1
    echo "FAIL $e2e_name: $*" >&2
    exit 1
}

ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$game_pid/stat"; }
# Until the program has used under a tenth of a core for half a second.
wait_idle() {
    local before after
    for _ in $(seq 120); do
        kill -0 "$game_pid" 2>/dev/null || fail "the program ended early: $(cat "$work"/*.err 2>/dev/null | tail -3)"
        before=$(ticks)
        sleep 0.5
        after=$(ticks)
        (((after - before) * 20 < hz)) && return 0
    done
    fail "the program never settled"
}
# start LOG ARGS...: the program on the data folder $run_in (so its recordings go
# there), its window found and focused.
start() {
    local log=$1
    shift
    (cd "$run_in" && exec "$delve" --data "$run_in" "$@") >"$work/$log.out" 2>"$work/$log.err" &
    game_pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$game_pid" 2>/dev/null | head -n 1) ||
        fail "no window appeared: $(cat "$work/$log.err")"
    xdotool mousemove 480 360
    xdotool windowfocus "$window" 2>/dev/null || true
    wait_idle
}
# Waits up to $2 seconds for the window title to contain $1. A window may
# carry its title twice (UTF-8 and a legacy encoding, which cannot hold
# every title), so a search by name is asked as well.
wait_title() {
    local name=""
    for _ in $(seq $(($2 * 5))); do
        name=$(xdotool getwindowname "$window" 2>/dev/null || true)
        [[ "$name" == *"$1"* ]] && return 0
        xdotool search --name "$1" 2>/dev/null | grep -qx "$window" && return 0
        sleep 0.2
    done
    fail "the window title never showed \"$1\" (last: \"$name\")"
}
# Waits for the program to end; its status in $status.
wait_end() {
    status=""
    for _ in $(seq 100); do
        if ! kill -0 "$game_pid" 2>/dev/null; then
            status=0
            wait "$game_pid" || status=$?
            game_pid=""
            return 0
        fi
        sleep 0.1
    done
    fail "the program did not end within 10 s"
}
same_picture() {
    local differing
    differing=$(compare -metric AE "$1" "$2" "$work/difference.png" 2>&1 || true)
    [[ "$differing" == "0" ]] || fail "$3: $differing pixels differ (see $work/difference.png)"
}
