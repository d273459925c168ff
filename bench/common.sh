# Sourced by the quarvexctl benchmarks: the programs, a temporary folder cleaned up on exit,
# virtual modules on pseudo-terminals, and wall-time figures.
#   bench/SCRIPT [build-dir] [runs]
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-20}"
ctl="$build/src/cli/quarvexctl"
sim="$build/src/sim/quarvex-sim"
[ -x "$ctl" ] && [ -x "$sim" ] || { echo "build $ctl and $sim first" >&2; exit 2; }

dir=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$dir"
}
trap cleanup EXIT

# start_sim NAME ARGS...: the module on a pty reachable as $dir/NAME
start_sim() {
    local name=$1
    shift
    "$sim" --link "$dir/$name" "$@" </dev/null >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -e "$dir/$name" ] && return; sleep 0.05; done
    echo "virtual module did not start" >&2
    exit 1
}

# ms COMMAND...: wall time from start to exit in milliseconds
ms() {
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 || echo "failed: $*" >&2
    t1=$(date +%s%N)
    echo $(((t1 - t0) / 1000000))
}

stats() { sort -n | awk '{a[NR]=$1; s+=$1} END {printf "median %d ms, mean %.1f ms, min %d, max %d", a[int((NR+1)/2)], s/NR, a[1], a[NR]}'; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
