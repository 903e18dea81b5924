#!/bin/sh
# The fuzz targets as CI runs them: built with clang and the sanitizers in a
# build directory of their own, then each run for SECONDS on its seeds. A
# finding fails the test.
# Usage: ci_fuzz.sh SOURCE_DIR FUZZ_BUILD_DIR [SECONDS]
set -eu
source=${1:?usage: ci_fuzz.sh SOURCE_DIR FUZZ_BUILD_DIR [SECONDS]}
build=${2:?usage: ci_fuzz.sh SOURCE_DIR FUZZ_BUILD_DIR [SECONDS]}
seconds=${3:-30}
command -v clang++ >/dev/null || { echo "clang++ is missing (scripts/ostrekon.sh installs it)" >&2; exit 1; }
CC=clang CXX=clang++ cmake -S "$source" -B "$build" -G Ninja -DOSTREKON_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzzers -j "$(nproc)"
exec sh "$source/tests/fuzz/run_fuzzers.sh" "$build" "$seconds"
