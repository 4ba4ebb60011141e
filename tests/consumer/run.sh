#!/bin/sh
# Installs the built library into a fresh prefix, then builds and runs a
# consumer against it twice: through find_package and through pkg-config.
# Usage: run.sh BUILD_DIR WORK_DIR   (CMAKE, CXX and GENERATOR from the caller)
set -eu
build=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix

"$CMAKE" --install "$build" --prefix "$prefix" >"$work/install.log"

"$CMAKE" -S "$here" -B "$work/cmake" -G "$GENERATOR" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_BUILD_RPATH="$prefix/lib" >"$work/configure.log"
"$CMAKE" --build "$work/cmake" >"$work/build.log"
"$work/cmake/consumer"

libdir=$(ls -d "$prefix"/lib*/pkgconfig | head -n 1)
export PKG_CONFIG_PATH="$libdir"
flags=$(pkg-config --cflags --libs brindle)
"$CXX" "$here/main.cpp" -o "$work/consumer-pc" $flags -Wl,-rpath,"$(dirname "$libdir")"
"$work/consumer-pc"

test -L "$(dirname "$libdir")/libbrindle.so"
readelf -d "$(dirname "$libdir")/libbrindle.so" | grep -q 'SONAME.*libbrindle\.so\.0'
echo "consumer: find_package and pkg-config both work"
