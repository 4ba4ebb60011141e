#!/bin/sh
# Builds the README's code as written, against the installed package: every
# fenced block of C++ or CMake. A block whose opening line names a file
# (```cpp server.cpp) is that file of one project, built whole with its
# CMakeLists.txt; any other C++ block is a fragment, built as the body of
# main() with its #include lines above; any other CMake block is a fragment
# of a project that has a program `app`.
# Usage: readme.sh BUILD_DIR SOURCE_DIR WORK_DIR   (CMAKE, CXX, GENERATOR and, if set, CC from the caller)
set -eu
build=$1
source=$2
work=$3
rm -rf "$work"
mkdir -p "$work/blocks/project"
log=$work/log
quietly() {
  "$@" >"$log" 2>&1 || { cat "$log"; echo "failed: $*"; exit 1; }
}

prefix=$work/prefix
quietly "$CMAKE" --install "$build" --prefix "$prefix"
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name brindle.pc)")

awk -v dir="$work/blocks" '
  /^```/ {
    if (fence) { fence = 0; if (file != "") close(file); file = ""; next }
    fence = 1
    file = ""
    lang = substr($1, 4)
    if ($2 != "") file = dir "/project/" $2
    else if (lang == "cpp" || lang == "cmake") file = sprintf("%s/%02d.%s", dir, ++n, lang)
    next
  }
  fence && file != "" { print > file }
' "$source/README.md"

built=0
flags=$(pkg-config --cflags --libs brindle-rpc)
for block in "$work"/blocks/*.cpp; do
  [ -e "$block" ] || continue
  program=${block%.cpp}
  {
    grep '^#include' "$block" || true
    echo 'int main() {'
    grep -v '^#include' "$block" || true
    echo 'return 0; }'
  } >"$program.main.cpp"
  echo "== $(basename "$block"): a fragment"
  # shellcheck disable=SC2086
  quietly "$CXX" -std=c++20 "$program.main.cpp" -o "$program" $flags
  built=$((built + 1))
done
for block in "$work"/blocks/*.cmake; do
  [ -e "$block" ] || continue
  project=${block%.cmake}
  mkdir -p "$project"
  printf '#include <brindle/brindle.h>\nint main() { return AString("x").length() == 1 ? 0 : 1; }\n' >"$project/main.cpp"
  {
    echo 'cmake_minimum_required(VERSION 3.20)'
    echo 'project(snippet LANGUAGES CXX)'
    echo 'add_executable(app main.cpp)'
    cat "$block"
  } >"$project/CMakeLists.txt"
  echo "== $(basename "$block"): a fragment"
  quietly "$CMAKE" -S "$project" -B "$project/build" -G "$GENERATOR" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_COMPILER="$CXX"
  quietly "$CMAKE" --build "$project/build"
  built=$((built + 1))
done
if [ -e "$work/blocks/project/CMakeLists.txt" ]; then
  echo "== the project: $(cd "$work/blocks/project" && echo *)"
  quietly "$CMAKE" -S "$work/blocks/project" -B "$work/project" -G "$GENERATOR" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_COMPILER="$CXX" ${CC:+-DCMAKE_C_COMPILER="$CC"}
  quietly "$CMAKE" --build "$work/project" -j 2
  built=$((built + 1))
fi
[ "$built" -gt 0 ] || { echo "no C++ or CMake code found in the README"; exit 1; }
echo "README: $built pieces of code built"
