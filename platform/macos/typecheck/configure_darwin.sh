#!/usr/bin/env bash
# Configures the project for macOS on a machine without it: CMake is told it targets Darwin
# (the version a Mac would report is stood in for), nothing is compiled or linked, and the
# generated link lines are held to what one core per process means there: the helper carries the
# core in its own image (dead-stripped, exported through a list of patterns), the AppKit half is
# a bundle bound to it (two-level namespace through -bundle_loader) that carries no copy, neither
# links the core library (kept for hosts), and every image finds libraries through run paths
# relative to itself, never through a folder of the build machine. No deployment target is given:
# the project's default (macOS 13) must reach every compile line, with unguarded calls of newer
# APIs as errors.
#
# Usage: configure_darwin.sh <source dir> <work dir> [clang++]
# Exits 1 when the configuration fails or a link line breaks a rule.
set -euo pipefail

source=$(cd "$1" && pwd)
work=$2
clang=$(command -v "${3:-clang++}") || { echo "configure_darwin: ${3:-clang++} not found" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/tools"
fail() { echo "FAILED: $*" >&2; exit 1; }

# CMake asks the Mac for its version while it sets the platform up.
printf '#!/bin/sh\necho 13.0\n' >"$work/tools/sw_vers"
chmod +x "$work/tools/sw_vers"
# This machine's GoogleTest, Google Benchmark and ICU stand in for Homebrew's; nothing is linked.
multiarch=/usr/lib/$(gcc -dumpmachine)
cat >"$work/find_here.cmake" <<CMAKE
set(CMAKE_FIND_LIBRARY_SUFFIXES .dylib .tbd .so .a)
list(APPEND CMAKE_LIBRARY_PATH $multiarch)
list(APPEND CMAKE_PREFIX_PATH $multiarch/cmake $multiarch)
CMAKE

if ! PATH=$work/tools:$PATH env -u MACOSX_DEPLOYMENT_TARGET cmake -S "$source" -B "$work/build" -G Ninja -Wno-dev \
    -DCMAKE_SYSTEM_NAME=Darwin -DCMAKE_SYSTEM_VERSION=22.0 \
    -DCMAKE_CXX_COMPILER="$clang" -DCMAKE_OBJCXX_COMPILER="$clang" \
    -DCMAKE_CXX_COMPILER_WORKS=ON -DCMAKE_OBJCXX_COMPILER_WORKS=ON -DCMAKE_TRY_COMPILE_TARGET_TYPE=STATIC_LIBRARY \
    -DCMAKE_INSTALL_NAME_TOOL=/bin/true -DCMAKE_PROJECT_INCLUDE="$work/find_here.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work/configure.log" 2>&1; then
    cat "$work/configure.log" >&2
    fail "the project does not configure for Darwin"
fi

link_line() { (cd "$work/build" && ninja -t commands "$1" | tail -n 1); }
expect() { grep -qE -- "$2" <<<"$1" || fail "$3"; }
refuse() { ! grep -qE -- "$2" <<<"$1" || fail "$3"; }

# Every Objective-C++ file of the shell (the test host's included) is compiled for macOS 13 with
# unguarded calls of newer APIs as errors.
compiles=$(cd "$work/build" && ninja -t commands bin/KestrumHelper bin/libKestrumDesktop.dylib KestrumTestHost |
           grep -E -- ' -c [^ ]*\.mm$' | sort -u)
[[ $(wc -l <<<"$compiles") -ge 10 ]] || fail "too few Objective-C++ compile lines were found: $compiles"
while IFS= read -r line; do
    expect "$line" '-mmacosx-version-min=13\.0( |$)' "not compiled for macOS 13 by default: ${line##* }"
    expect "$line" '-Werror=unguarded-availability-new' "unguarded calls of newer APIs are not errors: ${line##* }"
done <<<"$compiles"

# One core per process: the helper carries the core's modules in its own image (status loads no
# library of ours) and exports them; the AppKit half is a bundle bound to those exports and
# carries no copy. Neither links the core library, which stays for hosts.
core_library='libKestrum\.[0-9.]*dylib'
library=$(cd "$work/build" && ninja -t targets all | grep -oE "^bin/$core_library" | head -n 1) ||
    fail "the core library for hosts is not built"
core_modules=$(link_line "$library" | grep -oE '/[A-Za-z]+Objects\.dir/' | sort -u)
[[ -n $core_modules ]] || fail "the core library is made of no modules"
helper=$(link_line bin/KestrumHelper)
appkit=$(link_line bin/libKestrumDesktop.dylib)
for module in $core_modules; do
    expect "$helper" "$module" "the helper does not carry the core module ${module//[\/]/}"
    refuse "$appkit" "$module" "the AppKit half carries a copy of the core module ${module//[\/]/}"
done
expect "$helper" '-dead_strip( |$)' "the helper is not dead-stripped"
exports=$(grep -oE -- '-exported_symbols_list -Xlinker [^ ]+|-exported_symbols_list,[^ ]+' <<<"$helper" | grep -oE '[^ ,]+$') ||
    fail "the helper has no exported symbols list"
[[ $exports == /* ]] || exports=$work/build/$exports
grep -qxF '__Z*7kestrum*' "$exports" && grep -qxF '_kestrum_*' "$exports" ||
    fail "the helper's exported symbols list does not cover namespace kestrum and the shell's entry points: $(cat "$exports")"
expect "$appkit" '-bundle( |$)' "the AppKit half is not a bundle"
expect "$appkit" '-bundle_loader[ ,]bin/KestrumHelper( |$)' "the AppKit half does not bind to the helper's exports"
refuse "$appkit" '-force_load' "the AppKit half carries a whole archive"
for image in bin/KestrumHelper bin/libKestrumDesktop.dylib; do
    line=$(link_line "$image")
    refuse "$line" "$core_library" "$image links the core library: a process would hold two copies of the core"
    refuse "$line" '-rpath,/' "$image looks for libraries in an absolute folder"
    refuse "$line" 'as-needed|enable-new-dtags|Bsymbolic|dynamic-list' "$image is linked with options of the GNU linker"
done
expect "$helper" '-rpath,@loader_path .*-rpath,@loader_path/\.\./Frameworks' \
    "the helper does not look beside itself and in its application's Contents/Frameworks"
refuse "$helper" 'AppKit|AVFoundation' "the helper links AppKit or AVFoundation, which status must not load"
expect "$(link_line "$library")" '-install_name @rpath/libKestrum\.[0-9]+\.dylib' \
    "the core library is not named through the run paths"
echo "configured for Darwin: the helper carries and exports the core, the AppKit half binds to it, hosts keep libKestrum.dylib"
