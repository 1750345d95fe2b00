#!/usr/bin/env bash
# Builds the whole project once more with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-sanitize/ and runs every test there. The first report of either stops the program that
# made it, so its test fails and so does this script.
#
# Usage: bash scripts/sanitize.sh [extra ctest arguments, e.g. -R probe]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${KIROTUNE_SANITIZE_BUILD:-$root/build-sanitize}

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
if [ ! -f "$build/build.ninja" ]; then
    launcher=()
    command -v ccache >/dev/null && launcher=("-DCMAKE_CXX_COMPILER_LAUNCHER=env;CCACHE_BASEDIR=$root;ccache")
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
        -DCMAKE_CXX_FLAGS="$flags" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
        -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined"
fi
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen
# intercept_tls_get_addr=0: the LeakSanitizer of gcc 12 keeps track of the dynamic TLS blocks of
# libraries loaded at run time, can meet a stale one at exit and then dies in its own tracer
# ("Tracer caught signal 11") after the program has passed. Without that tracking it still stops
# every thread and reports leaks.
export ASAN_OPTIONS="halt_on_error=1:detect_stack_use_after_return=1:strict_init_order=1:detect_leaks=1:intercept_tls_get_addr=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# Tests on an X display load libdbus, whose buffers live as long as the process by design.
export LSAN_OPTIONS="suppressions=$root/scripts/lsan-suppressions.txt:print_suppressions=0"
ctest --test-dir "$build" --output-on-failure --timeout 900 "$@"
