#!/bin/sh
# The library as its users get it: from the build tree, from an install and
# from the Debian packages (unpacked with dpkg -x), each used by a consumer
# through CMake and through pkg-config, for C++20 and C++23; the RPC example
# built from the installed package alone, then again after its interface
# changed, in parallel; and a program built with libstdc++'s other string
# layout refused at link time.
# Usage: run.sh BUILD_DIR SOURCE_DIR WORK_DIR   (CMAKE, CPACK, CXX, GENERATOR and, if set, CC from the caller)
set -eu
build=$1
source=$2
work=$3
here=$source/tests/consumer
rm -rf "$work"
mkdir -p "$work"
log=$work/log
step() { echo "== $*"; }
quietly() {  # command...: its output goes to the log, and is shown when it fails
  "$@" >"$log" 2>&1 || { cat "$log"; echo "failed: $*"; exit 1; }
}

step install
prefix=$work/prefix
quietly "$CMAKE" --install "$build" --prefix "$prefix"
libdir=$(dirname "$(find "$prefix" -name 'libbrindle.so' | head -n 1)")
readelf -d "$libdir/libbrindle.so" | grep -q 'SONAME.*libbrindle\.so\.0\]'

step Debian packages
(cd "$work" && quietly "$CPACK" --config "$build/CPackConfig.cmake" -B "$work/debs")
runtime_deb=$(ls "$work"/debs/libbrindle0_*.deb)
dev_deb=$(ls "$work"/debs/libbrindle-dev_*.deb)
dpkg-deb -c "$runtime_deb" >"$work/runtime.contents"
dpkg-deb -c "$dev_deb" >"$work/dev.contents"
# The runtime package holds the versioned library and nothing to build with.
grep -q 'libbrindle\.so\.0 -> ' "$work/runtime.contents"
if grep -E 'include/|\.pc$|cmake/|libbrindle\.so -> ' "$work/runtime.contents"; then
  echo "libbrindle0 holds files for building"
  exit 1
fi
for file in include/brindle/brindle.h include/brindle/version.h include/brindle/rpc_runtime.h \
  cmake/Brindle/BrindleConfig.cmake cmake/Brindle/BrindleRpcgen.cmake pkgconfig/brindle.pc \
  pkgconfig/brindle-rpc.pc 'libbrindle\.so -> '; do
  grep -q "$file" "$work/dev.contents" || { echo "libbrindle-dev lacks $file"; exit 1; }
done
dpkg-deb -f "$dev_deb" Depends | grep -q 'libbrindle0 (= .*), libtirpc-dev'
root=$work/root
dpkg -x "$runtime_deb" "$root"
dpkg -x "$dev_deb" "$root"

# consumers <name> <cmake arguments>...: the CMake consumer, then the
# pkg-config one with PKG_CONFIG_PATH as the caller set it.
consumers() {
  name=$1
  shift
  step "$name: CMake"
  quietly "$CMAKE" -S "$here" -B "$work/$name" -G "$GENERATOR" -DCMAKE_CXX_COMPILER="$CXX" "$@"
  quietly "$CMAKE" --build "$work/$name"
  "$work/$name/consumer20"
  "$work/$name/consumer23"
  step "$name: pkg-config"
  flags=$(pkg-config --cflags --libs brindle)
  rpath=$(pkg-config --variable=libdir brindle)
  for standard in 20 23; do
    # shellcheck disable=SC2086
    quietly "$CXX" -std=c++$standard "$here/main.cpp" -o "$work/$name/pc$standard" $flags -Wl,-rpath,"$rpath"
    "$work/$name/pc$standard"
  done
  pkg-config --cflags --libs brindle-rpc | grep -q -- '-ltirpc'
  if pkg-config --cflags brindle | grep -q -- '-std'; then
    echo "brindle.pc chooses the language standard"
    exit 1
  fi
}
PKG_CONFIG_PATH=$build/pkgconfig consumers build-tree -DBrindle_DIR="$build"
PKG_CONFIG_PATH=$libdir/pkgconfig consumers installed -DCMAKE_PREFIX_PATH="$prefix"
PKG_CONFIG_PATH=$(dirname "$(find "$root" -name brindle.pc)") consumers debs -DCMAKE_PREFIX_PATH="$root/usr"

step "a program with the other std::string layout fails to link, naming it"
flags=$(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs brindle)
# shellcheck disable=SC2086
if "$CXX" -std=c++20 -D_GLIBCXX_USE_CXX11_ABI=0 "$here/main.cpp" -o "$work/old-abi" $flags >"$log" 2>&1; then
  echo "linked with the other std::string layout"
  exit 1
fi
grep -q 'brindle_std_string_abi_old' "$log"
step "a class object given to a printf-style member does not compile"
printf '#include <brindle/brindle.h>\nstruct Opaque {};\nint main() { AString f("%%d"); return f.sprintf(Opaque{}); }\n' >"$work/opaque.cpp"
if "$CXX" -std=c++20 -fsyntax-only "$work/opaque.cpp" -I"$prefix/include" >"$log" 2>&1; then
  echo "a class object went through ..."
  exit 1
fi
grep -q 'printf-style argument must be' "$log"
step "before C++20 the headers say what they need"
if "$CXX" -std=c++17 -fsyntax-only "$here/main.cpp" -I"$prefix/include" >"$log" 2>&1; then
  echo "the headers compiled as C++17"
  exit 1
fi
grep -q 'need C++20' "$log"

step "RPC example from the install: built in parallel, and again after its interface changed"
cp -R "$source/examples/rpc" "$work/hello-src"
quietly "$CMAKE" -S "$work/hello-src" -B "$work/hello" -G "$GENERATOR" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$CXX" ${CC:+-DCMAKE_C_COMPILER="$CC"}
quietly "$CMAKE" --build "$work/hello" -j 8
header=$(find "$work/hello" -name hello.h)
before=$(stat -c %Y.%y "$header")
sleep 1
touch "$work/hello-src/hello.x"
quietly "$CMAKE" --build "$work/hello" -j 8
[ "$(stat -c %Y.%y "$header")" != "$before" ] || { echo "hello.h was not made again"; exit 1; }
test -x "$work/hello/hello_server" && test -x "$work/hello/hello_client"
step "RPC example from the packages"
quietly "$CMAKE" -S "$work/hello-src" -B "$work/hello-debs" -G "$GENERATOR" -DCMAKE_PREFIX_PATH="$root/usr" \
  -DCMAKE_CXX_COMPILER="$CXX" ${CC:+-DCMAKE_C_COMPILER="$CC"}
quietly "$CMAKE" --build "$work/hello-debs" -j 8

step "a parent project that adds the library keeps its own settings"
mkdir -p "$work/parent-src"
cat >"$work/parent-src/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(Parent LANGUAGES CXX)
add_subdirectory("$source" brindle)
if(CMAKE_BUILD_TYPE OR TARGET text_test OR TARGET tour OR NOT TARGET Brindle::brindle)
  message(FATAL_ERROR "the library changed its parent: build type '\${CMAKE_BUILD_TYPE}'")
endif()
CMAKE
quietly "$CMAKE" -S "$work/parent-src" -B "$work/parent" -G "$GENERATOR" -DCMAKE_CXX_COMPILER="$CXX"

echo "consumers: build tree, install and packages, through CMake and pkg-config, all work"
