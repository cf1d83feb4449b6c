#!/usr/bin/env bash
# Installs what the project needs on Debian 12, builds it, and runs one of its jobs.
#   scripts/setup.sh run    install, build, convert the bundled example with quelvor-cli, then
#                           open it in the desktop program when a display is available
#   scripts/setup.sh test   install, build, run every test (normal and address+undefined
#                           sanitizer builds, the threaded ones also in a thread sanitizer build)
#                           and run every fuzz target for 30 s
#   scripts/setup.sh build  install and build only
# Safe to run again: installed packages and existing build folders are reused.
set -euo pipefail

mode=${1:-build}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

packages=(cmake g++ make ninja-build pkg-config python3 qt6-base-dev libfftw3-dev libfast-float-dev libcli11-dev
          nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev)
# The sanitizer builds and the fuzz targets need clang with its fuzzer and sanitizer run-time.
# desktop-file-validate checks the installed desktop entry; GNU parallel runs the fan-out recipe.
if [ "$mode" = test ]; then packages+=(clang libclang-rt-14-dev desktop-file-utils parallel); fi

install_packages() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# configure DIR [cmake options...]; build DIR [cmake options...]
# A new build folder uses Ninja; an existing one keeps the generator it was made with.
configure() {
    local dir=$1; shift
    local generator=()
    [ -f "$dir/CMakeCache.txt" ] || generator=(-G Ninja)
    cmake -S "$top" -B "$dir" "${generator[@]}" -DQUELVOR_WERROR=ON "$@" >/dev/null
}
build() {
    configure "$@"
    cmake --build "$1" -j "$jobs"
}

# The sanitizer builds are compiled by clang (it builds them in two thirds of gcc's time, and
# warns where gcc does not), with -O1 (fast enough to run, quicker to build) and line tables only
# (-g1): their reports name files and lines, which is all they need.
sanitized=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g1 -O1" -DBUILD_BENCH=OFF)

# Each step of the test run says how long the run has taken so far.
step() { echo "== $1 (at $((SECONDS / 60)) min $((SECONDS % 60)) s)"; }

install_packages
if [ "$mode" = test ]; then
    python3 "$top/scripts/check_includes.py"
    step "build"
fi
build "$top/build"

case "$mode" in
    build) ;;
    run)
        "$top/examples/run.sh" "$top/build/cli/quelvor-cli" "$top/build/examples-output"
        # The desktop program keeps its settings beside a copy of the example configurations,
        # so the examples folder stays as it is.
        mkdir -p "$top/build/examples-config"
        cp -n "$top"/examples/*.pnx "$top/build/examples-config/"
        desktop=("$top/build/gui/quelvor" --config-dir "$top/build/examples-config" "$top/examples/tone16.bin")
        if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
            echo "== The desktop program on the example (close its window to finish)"
            "${desktop[@]}"
        else
            echo "== No display here. On a desktop, start the program on the example with:"
            echo "   ${desktop[*]#"$top/"}"
        fi
        ;;
    test)
        step "tests"
        (cd "$top/build" && ctest --output-on-failure -j "$jobs")
        clang=(-DCMAKE_CXX_COMPILER="$(command -v clang++-14 || command -v clang++)")
        step "address and undefined-behaviour sanitizer build"
        build "$top/build-asan" "${clang[@]}" "${sanitized[@]}" -DQUELVOR_SANITIZE=ON
        step "its tests"
        (cd "$top/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
            ctest --output-on-failure -j "$jobs")
        # Races need threads: the thread sanitizer build checks the test programs that run them.
        step "thread sanitizer build"
        configure "$top/build-tsan" "${clang[@]}" "${sanitized[@]}" -DQUELVOR_TSAN=ON
        cmake --build "$top/build-tsan" -j "$jobs" --target threaded_tests
        step "its tests"
        (cd "$top/build-tsan" && \
            TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$top/tests/tsan.supp" \
            ctest --output-on-failure -j "$jobs" -L threads)
        step "fuzz targets"
        QUELVOR_FUZZ_JOBS=${QUELVOR_FUZZ_JOBS:-$jobs} "$top/scripts/fuzz.sh" 30
        step "done"
        ;;
    *)
        echo "usage: scripts/setup.sh [build|run|test]" >&2
        exit 2
        ;;
esac
