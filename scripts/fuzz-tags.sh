#!/usr/bin/env bash
# Fuzzes the tag path (TagLib reading through the program's own bounded stream, then the
# "#EXTINF" line) with broken and hostile song files, under AddressSanitizer and
# UndefinedBehaviorSanitizer, in a build folder of its own (build-asan), and prints the counts.
#
# Usage: scripts/fuzz-tags.sh [iterations] [seed]
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build-asan"
iterations="${1:-20000}"
seed="${2:-1}"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer" \
    -DMIXGEN_BUILD_BENCH=OFF ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} \
    > /dev/null
cmake --build "$build" --target fuzz_songtags -j2 > /dev/null

files="$(mktemp -d /tmp/mixgen-fuzz-XXXXXX)"
trap 'rm -rf "$files"' EXIT
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$build/bin/fuzz_songtags" "$files" "$iterations" "$seed"
