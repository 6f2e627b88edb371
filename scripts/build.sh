#!/usr/bin/env bash
# Configures and builds both trees: build/win (Windows, the library and its
# tests) and build/native (pure code, oracles and fuzzing).
# BUILD_DIR overrides the parent folder of the two trees.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$top/build}
jobs=${BUILD_JOBS:-$(nproc)}
cmake -S "$top" -B "$out/win" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686-mingw32.cmake" >/dev/null
cmake --build "$out/win" -j "$jobs"
cmake -S "$top" -B "$out/native" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out/native" -j "$jobs"
