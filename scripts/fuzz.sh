#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address and undefined-behaviour sanitizers) in build-fuzz
# and runs each for SECONDS (default 30), starting from the seed corpus in fuzz/corpus/<target>.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# QUELVOR_FUZZ_JOBS=N runs N targets at a time (default 1). Inputs that crash or break an oracle
# are kept in build-fuzz/findings/<target>/ (emptied when the target runs again); the script fails
# when there is any. New corpus
# entries go to build-fuzz/corpus/<target>/ (the seed corpus in the repository is not changed).
# One line per target reports executions, coverage (edges "cov", features "ft") and findings.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-30}
shift || true
jobs=${QUELVOR_FUZZ_JOBS:-1}
build="$top/build-fuzz"

cc=$(command -v clang-14 || command -v clang)
cxx=$(command -v clang++-14 || command -v clang++)
generator=()  # a new build folder uses Ninja where it is installed
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
CC=$cc CXX=$cxx cmake -S "$top" -B "$build" "${generator[@]}" -DQUELVOR_FUZZ=ON -DQUELVOR_WERROR=ON -DBUILD_GUI=OFF \
    -DBUILD_TESTS=OFF -DBUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target fuzz_targets

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for source in "$top"/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

# Scratch files of the targets go to memory when it is available; saves there need no disk.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

run_target() {
    local target=$1
    local corpus="$build/corpus/$target" findings="$build/findings/$target" log="$build/logs/$target.log"
    rm -rf "$findings"
    mkdir -p "$corpus" "$findings" "$(dirname "$log")"
    (cd "$findings" && "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -rss_limit_mb=4096 -timeout=25 -artifact_prefix="$findings/" "$corpus" "$top/fuzz/corpus/$target" \
        >"$log" 2>&1) || true
    local execs cov ft found
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    found=$(find "$findings" -type f | wc -l)
    printf '%-18s %6ss  execs %-10s cov %-6s ft %-6s findings %s\n' "$target" "$seconds" "${execs:-?}" \
        "${cov:-?}" "${ft:-?}" "$found"
}

running=0
for target in "${targets[@]}"; do
    run_target "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
    fi
done
wait

total=$(find "$build/findings" -type f 2>/dev/null | wc -l)
if [ "$total" -gt 0 ]; then
    echo "fuzzing found $total input(s); see $build/findings and $build/logs" >&2
    exit 1
fi
