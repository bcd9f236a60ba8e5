#!/usr/bin/env bash
# Installs what is missing, then builds with warnings as errors and again with the address and
# undefined-behaviour sanitizers, and runs every test in both builds; then cross-builds for Windows
# and runs those tests under wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

echo "== format check"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

jobs=$(nproc)
for variant in werror sanitize; do
  dir=build/$variant
  flags=(-DLUMEVANTA_WERROR=ON)
  # Warnings that need the optimiser come with -O2; debug information would only slow the build.
  # The benchmarks are built once, with warnings as errors.
  if [ "$variant" = sanitize ]; then
    flags+=(-DLUMEVANTA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DLUMEVANTA_BENCH=OFF)
  else
    flags+=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")
  fi
  echo "== $variant build"
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" > /dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== $variant tests"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs" --timeout 300)
done

echo "== windows build"
bash tools/build-windows.sh build/windows
echo "== windows tests (under wine)"
(cd build/windows && ctest --output-on-failure -j "$jobs" --timeout 300)
