#!/usr/bin/env bash
# Tests of the helper embedded in the test host application (macOS only).
#   host_tests.sh signature <host.app>
#   host_tests.sh status <host.app>
#   host_tests.sh no-appkit <host.app>
#   host_tests.sh authorize <host.app> <build-tree resource bundle>
set -euo pipefail

check=$1
app=$2
helper=$app/Contents/Helpers/KestrumHelper
# Where dyld says a library of the application's came from (its run path may stay unresolved).
in_frameworks="$(basename "$app")/Contents/(Helpers/\.\./)?Frameworks"
fail() { echo "FAIL: $*" >&2; exit 1; }

case $check in
signature)
    # --strict also verifies every nested piece of code against the application's seal.
    codesign --verify --strict --verbose=2 "$app"
    codesign --verify --strict --verbose=2 "$helper"
    codesign --display --entitlements - "$helper" 2>/dev/null | grep -q com.apple.security.device.audio-input ||
        fail "the helper lacks the audio-input entitlement"
    ;;
status)
    for kind in accessibility microphone screenRecording bluetooth; do
        output=$("$helper" status "$kind") || fail "status $kind exited with $?"
        [[ $(printf '%s\n' "$output" | wc -l) -eq 1 ]] || fail "status $kind wrote more than one line: $output"
        [[ $output =~ ^\{\"success\":true,\"kind\":\"$kind\",\"status\":\"(granted|notGranted|unknown)\"\}$ ]] ||
            fail "status $kind wrote $output"
    done
    ;;
no-appkit)
    # status is as cheap as a plain command: neither AppKit, nor AVFoundation for a state that
    # does not need it, nor any library of ours is loaded (the helper carries the core).
    loaded=$(DYLD_PRINT_LIBRARIES=1 "$helper" status accessibility 2>&1 >/dev/null)
    [[ -n $loaded ]] || fail "dyld printed no libraries; cannot tell what was loaded"
    if grep -E 'AppKit\.framework|AVFoundation\.framework|libKestrum' <<<"$loaded"; then
        fail "status accessibility loaded the images above"
    fi
    ;;
authorize)
    build_bundle=$3
    # Only the copy in Contents/Resources may be found: the build tree's is put aside.
    hidden=$build_bundle.hidden-by-host-test
    mv "$build_bundle" "$hidden"
    trap 'mv "$hidden" "$build_bundle"' EXIT
    errors=$(mktemp)
    line=$(mktemp)
    # authorize loads the AppKit half, makes its panel (and looks up its texts) before it writes
    # its line, then stays.
    DYLD_PRINT_LIBRARIES=1 "$helper" authorize accessibility --app-url "$app" >"$line" 2>"$errors" &
    pid=$!
    for _ in $(seq 100); do
        [[ -s $line ]] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    grep -qE "$in_frameworks/libKestrumDesktop\.dylib" "$errors" ||
        fail "the AppKit half was not loaded from Contents/Frameworks: $(cat "$errors")"
    # One core per process: the AppKit half binds to the helper's, and no core library comes along.
    ! grep -E 'libKestrum\.[0-9.]*dylib' "$errors" || fail "authorize loaded a second copy of the core"
    # Besides what dyld printed, nothing: the resource bundle was found.
    ! grep -v '^dyld' "$errors" || fail "authorize wrote the lines above to standard error"
    grep -Eq '^\{"success":true,"kind":"accessibility","status":"(granted|notGranted)"\}$' "$line" ||
        fail "authorize wrote: $(cat "$line")"
    ;;
*)
    fail "unknown check $check"
    ;;
esac
