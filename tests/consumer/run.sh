#!/usr/bin/env bash
# Installs the build into a scratch prefix, then configures, builds and runs a small outside
# program against it through find_package(Fendral) and find_package(Drakmere).
set -euo pipefail
build=$1 work=$2 flags=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$here" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
      -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/build" >/dev/null
"$work/build/consumer"
