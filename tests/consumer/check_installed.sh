#!/usr/bin/env bash
# Uses an installed Kestrum as a host application would, and fails at the first thing that does
# not work:
#   - builds tests/consumer/host.cpp against the package twice (CMake's find_package, pkg-config)
#     and runs it: the core plus the Linux platform run a flow, and it runs the helper it found;
#   - runs the installed helper: status gives its line, status and open load no GUI library,
#     authorize shows its panel docked beside a stand-in settings window on a private X server
#     in the user's language, with one copy of the core in the process.
#
# Usage: tests/consumer/check_installed.sh <build folder> [<prefix>]
#   <build folder>  the project's build folder (its end-to-end test programs drive the X server)
#   <prefix>        an installed Kestrum (an unpacked package's usr, for instance); without it the
#                   build folder is installed into a temporary prefix first
set -euo pipefail

source=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [[ $# -ge 2 ]]; then
    prefix=$(realpath "$2")
else
    prefix=$work/prefix
    cmake --install "$build" --prefix "$prefix" >/dev/null
fi
step() { echo "== $*"; }

# A host finds everything through the package files, wherever the prefix is.
pcdir=$(dirname "$(find "$prefix" -name kestrum.pc -print -quit)")
export PKG_CONFIG_PATH=$pcdir
helper=$(pkg-config --variable=helper kestrum)
[[ -x $helper ]] || { echo "the helper pkg-config names is missing: $helper" >&2; exit 1; }
# Hosts and the helper run without a display here (Qt's off-screen platform), except under the
# private X server below.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

step "host built with find_package(Kestrum COMPONENTS Core LinuxSystem LinuxText)"
cmake -S "$source" -B "$work/cmake-host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-host" >/dev/null
"$work/cmake-host/kestrum_host"

step "host built with pkg-config kestrum-linux"
mkdir -p "$work/pc-host"
libdir=$(pkg-config --variable=libdir kestrum)
# shellcheck disable=SC2046 # the flags are words
c++ -std=c++20 -O1 -Wall -Wextra -Werror -o "$work/pc-host/kestrum_host" "$source/host.cpp" \
    -DKESTRUM_HELPER="\"$helper\"" -DKESTRUM_DESKTOP_SHELL_DIR="\"$(pkg-config --variable=desktopshelldir kestrum-linux)\"" \
    $(pkg-config --cflags --libs kestrum-linux) -Wl,-rpath,"$libdir"
cp -r "$(pkg-config --variable=resourcebundle kestrum)" "$work/pc-host/"
"$work/pc-host/kestrum_host"

step "installed helper: status"
line=$("$helper" status microphone)
[[ $line =~ ^\{\"success\":true,\"kind\":\"microphone\",\"status\":\"[a-zA-Z]+\"\}$ ]] ||
    { echo "unexpected line: $line" >&2; exit 1; }
echo "$line"

step "installed helper: status and open load no GUI library"
mkdir -p "$work/bin"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
for command in "status microphone" "open accessibility"; do
    # shellcheck disable=SC2086 # the command is words
    PATH=$work/bin:/usr/bin:/bin LD_DEBUG=libs LD_DEBUG_OUTPUT=$work/ld "$helper" $command >/dev/null
    loaded=$(cat "$work"/ld.*)
    rm -f "$work"/ld.*
    grep -q "libc.so" <<<"$loaded" || { echo "no loader report for $command" >&2; exit 1; }
    if grep -qE "calling init: .*(libQt|libX11|libxcb|libicu|libGL|libwayland|KestrumDesktop|KestrumLinuxText)" <<<"$loaded"; then
        echo "$command loaded a GUI or text library" >&2
        exit 1
    fi
done

step "installed helper: authorize on a private X server, one core in the process"
export KESTRUM_HELPER_UNDER_TEST=$helper
"$build/bin/authorize_desktop_tests" --gtest_brief=1
"$build/bin/authorize_process_tests" --gtest_brief=1 \
    --gtest_filter='AuthorizeProcess.WritesItsLineAtOnceAndKeepsRunningSilently:AuthorizeProcess.OneLoadedObjectDefinesTheCore'
step "the installed package works"
