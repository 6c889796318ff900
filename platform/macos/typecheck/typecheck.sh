#!/usr/bin/env bash
# Type-checks the macOS shell on a machine without macOS: every Objective-C++ file of
# platform/macos (and the macOS entry point and tests) is compiled by clang in Objective-C++ mode
# with ARC and blocks, syntax only, against GNUstep's Foundation and AppKit headers plus the
# declaration headers in sdk/ (written from Apple's documentation for what GNUstep lacks). The
# conformance file is compiled the same way, and each snippet in negative/ must be rejected.
#
# Two compilations serve different checks:
#   - availability: every file is compiled for macOS 13 (clang's Apple target, the deployment
#     target of the Mac build), so that clang holds each call of an API the declaration headers
#     mark as newer (API_AVAILABLE(macos(14.0))) to an @available check, as it does on a Mac. The
#     Apple target changes what clang predefines; the Linux macros are put back and the Linux
#     include folders named, so the same headers parse as they do for Linux. GNUstep's runtime
#     version 2 is for ELF only: this compilation names version 1.9, which changes nothing in
#     what is checked here (syntax, types, ARC).
#   - objects: the system half is compiled for Linux to object files, whose undefined symbols
#     must name no class, function or constant of AppKit or AVFoundation.
#
# Usage: typecheck.sh <include-dirs-file> [clang++]
#   <include-dirs-file>: the project's include folders, one per line
# Exits 1 when a file fails, a negative snippet compiles or fails for another reason, or a tool
# is missing.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
include_file=$1
clang=${2:-clang++}

command -v "$clang" >/dev/null || { echo "typecheck: $clang not found; run scripts/bootstrap" >&2; exit 1; }
command -v gnustep-config >/dev/null || { echo "typecheck: gnustep-config not found; run scripts/bootstrap" >&2; exit 1; }
gnustep_headers=$(gnustep-config --variable=GNUSTEP_SYSTEM_HEADERS)
[[ -f $gnustep_headers/AppKit/AppKit.h ]] || { echo "typecheck: GNUstep's AppKit headers are missing; run scripts/bootstrap" >&2; exit 1; }
# GCC's own include folder holds the Objective-C runtime headers GNUstep was built against.
gcc_include=$(gcc -print-file-name=include)

# GNUstep's definitions, without its code-generation, dependency and warning options.
defines=()
for flag in $(gnustep-config --objc-flags); do
    case $flag in
        -D*) defines+=("$flag") ;;
    esac
done

flags=(-x objective-c++ -std=c++20
       -fobjc-arc -fblocks -fobjc-exceptions
       -fconstant-string-class=NSConstantString "${defines[@]}"
       -Wall -Wextra -Wpedantic -Werror
       -Wno-gnu-zero-variadic-macro-arguments
       # GNUstep declares each option set as an anonymous enumeration of its own, where
       # AppKit has one typed NS_OPTIONS type: combining two options would warn here only.
       -Wno-deprecated-anon-enum-enum-conversion
       -isystem "$here/sdk" -isystem "$here/shims" -isystem "$gnustep_headers" -isystem "$gcc_include")
while IFS= read -r dir; do
    [[ -n $dir ]] && flags+=(-I "$dir")
done <"$include_file"

linux_flags=("${flags[@]}" -fobjc-runtime=gnustep-2.0)
# The Linux target's own include folders, in its order, after those above.
mapfile -t system_includes < <("$clang" -x objective-c++ -std=c++20 -E -v /dev/null 2>&1 >/dev/null |
                               sed -n '/^#include <...> search starts here:$/,/^End of search list\.$/{//!s/^ *//p}')
[[ ${#system_includes[@]} -gt 0 ]] || { echo "typecheck: $clang named no include folders" >&2; exit 1; }
arch=$(uname -m)
[[ $arch == aarch64 ]] && arch=arm64
macos_flags=(-target "$arch-apple-macos13.0" -fobjc-runtime=gnustep-1.9 "${flags[@]}"
             -U__APPLE__ -U__APPLE_CC__ -U__MACH__ -U__nonnull -U__nullable -U__null_unspecified
             -D__linux__ -D__linux -D__gnu_linux__ -D__unix__ -D__unix -D__ELF__ -D_GNU_SOURCE
             -nostdinc -nostdinc++)
for dir in "${system_includes[@]}"; do
    macos_flags+=(-isystem "$dir")
done

failed=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Compiles with the given flags; reports the file and clang's errors when it fails.
check() {
    if ! "$clang" "$@" 2>"$work/errors"; then
        echo "FAILED: ${*: -1}" >&2
        cat "$work/errors" >&2
        failed=1
        return 1
    fi
}

# The system half is linked into the helper, whose short commands must not load AppKit or
# AVFoundation: it may reach their classes and constants only by name (MacFrameworks.hpp).
# Its files are compiled to objects, and no undefined symbol of theirs may name a class, a
# function or a constant those frameworks declare.
framework_names=$work/framework_names
"$here/framework_names.pl" "$gnustep_headers"/AppKit/*.h "$here"/sdk/AppKit/*.h "$here"/sdk/AVFoundation/*.h |
    sort -u >"$framework_names"
# Prints the framework names an object file refers to.
framework_references() {
    nm -u "$1" | awk '{print $2}' | sed -E 's/^\._OBJC_(REF_)?CLASS_//' | sort -u | comm -12 - "$framework_names"
}
check_system_object() {
    local found
    found=$(framework_references "$1")
    if [[ -n $found ]]; then
        echo "FAILED: $2 refers to AppKit or AVFoundation directly:" $found >&2
        failed=1
    fi
}

mapfile -t sources < <(cd "$root" && find platform/macos -name '*.mm' -not -path '*/typecheck/negative/*' | sort;
                                     find platform/macos -name '*.cpp' | sort; echo KestrumHelper/app/main_macos.cpp;
                                     find tests/macos -name '*.mm' | sort)
for source in "${sources[@]}"; do
    check "${macos_flags[@]}" -fsyntax-only "$root/$source" || continue
    case $source in
        platform/macos/system/*)
            check "${linux_flags[@]}" -c -o "$work/object.o" "$root/$source" && check_system_object "$work/object.o" "$source" ;;
    esac
done
echo "type-checked ${#sources[@]} files for macOS 13 ($(wc -l <"$framework_names") AppKit and AVFoundation names kept out of the system half)"

# Each negative snippet holds one deliberate mistake and names, on its first line, the error
# the check must report for it: rejected for that reason, not for another.
negatives=0
shopt -s nullglob
for snippet in "$here"/negative/*.mm; do
    negatives=$((negatives + 1))
    expected=$(sed -n '1s|^// expected: ||p' "$snippet")
    if [[ $expected == "a direct reference to "* ]]; then
        # A system-half file that names AppKit or AVFoundation directly.
        if ! "$clang" "${linux_flags[@]}" -c -o "$work/object.o" "$snippet" 2>"$work/errors"; then
            echo "FAILED: $(basename "$snippet") did not compile:" >&2
            cat "$work/errors" >&2
            failed=1
        elif ! framework_references "$work/object.o" | grep -qxF "${expected#a direct reference to }"; then
            echo "FAILED: $(basename "$snippet"): no $expected was found" >&2
            failed=1
        fi
    elif "$clang" "${macos_flags[@]}" -fsyntax-only "$snippet" 2>"$work/errors"; then
        echo "FAILED: the negative snippet $(basename "$snippet") compiled" >&2
        failed=1
    elif [[ -z $expected ]] || ! grep -qF -- "$expected" "$work/errors"; then
        echo "FAILED: $(basename "$snippet") was rejected, but not with \"$expected\":" >&2
        cat "$work/errors" >&2
        failed=1
    fi
done
echo "rejected $negatives negative snippets"
exit $failed
