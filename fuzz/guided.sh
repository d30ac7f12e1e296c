#!/usr/bin/env bash
# Coverage-guided fuzzing: builds the extension with clang's libFuzzer
# instrumentation and AddressSanitizer into build/fuzz, with a runtime that
# holds both ASan and libFuzzer (atheris then uses that libFuzzer, which sees
# the extension's coverage counters), and runs one harness.
#
#   fuzz/guided.sh fuzz_engines.py -max_total_time=600 corpus/engines
#
# Needs clang 19 or newer (Debian: clang-19 libclang-rt-19-dev); set CLANG to
# pick another name.
set -euo pipefail
cd "$(dirname "$0")/.."
clang=${CLANG:-clang-19}
build=build/fuzz
runtime="$PWD/$build/asan_with_fuzzer.so"

if [[ ! -f "$build/build.ninja" ]]; then
  CC="$clang" CXX="${clang/clang/clang++}" cmake -S . -B "$build" -G Ninja -DKALTROPE_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
ninja -C "$build" _kaltrope >/dev/null

if [[ ! -f "$runtime" ]]; then
  # A shared object may not carry ASan's preinit section; the preload
  # initialises it early enough.
  lib=$("$clang" -print-resource-dir)/lib/linux
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  cp "$lib/libclang_rt.asan-x86_64.a" "$scratch/asan.a"
  ar d "$scratch/asan.a" asan_preinit.cpp.o
  "${clang/clang/clang++}" -shared -o "$runtime" -Wl,--whole-archive "$scratch/asan.a" \
    "$lib/libclang_rt.asan_cxx-x86_64.a" "$lib/libclang_rt.fuzzer_no_main-x86_64.a" -Wl,--no-whole-archive \
    -lpthread -ldl -lrt -lm
fi

harness=$1
shift
LD_PRELOAD="$runtime" ASAN_OPTIONS=detect_leaks=0 PYTHONPATH="$build:python" python "fuzz/$harness" "$@"
