#!/usr/bin/env bash
# Tests of the helper embedded in the test host application (macOS only).
#   host_tests.sh signature <host.app>
#   host_tests.sh status <host.app>
#   host_tests.sh no-appkit <host.app>
#   host_tests.sh authorize <host.app> <build-tree resource bundle>
#
# The helper runs as a host runs it: the test host starts it from inside its own process
# (main.mm), and the host is launched through Launch Services (`open`), which makes it its own
# responsible application, so the helper's permission queries are the host's, not the shell's
# that runs this script. `open` flags relied on (open(1), macOS 13 and 14): -n a new instance
# even if one runs, -W wait until it has quit, --stdout/--stderr its standard streams to files,
# --args the arguments of its main(). The host reports the helper's end and dyld's log of the
# images the helper loaded into the report folder.
set -euo pipefail

check=$1
app=$2
helper=$app/Contents/Helpers/KestrumHelper
# Where dyld says a library of the application's came from (its run path may stay unresolved).
in_frameworks="$(basename "$app")/Contents/(Helpers/\.\./)?Frameworks"
fail() { echo "FAIL: $*" >&2; exit 1; }

report=$(mktemp -d)
trap 'rm -rf "$report"' EXIT
# Runs the embedded helper through the host with the given arguments; afterwards $report holds
# stdout and stderr (the helper's), status ("exit N", or "signal") and images (dyld's log).
run_in_host() {
    rm -f "$report"/*
    : >"$report/stdout"
    : >"$report/stderr"
    open -n -W --stdout "$report/stdout" --stderr "$report/stderr" "$app" \
        --args --run-embedded-helper "$report" "$@" || fail "open could not run the test host"
    [[ -s $report/status ]] || fail "the test host reported nothing for $*: $(cat "$report/stderr")"
}
# The images dyld loaded into the helper, which must have been logged.
loaded_images() {
    [[ -s $report/images ]] ||
        fail "dyld logged no image of the helper (DYLD_PRINT_TO_FILE ignored?), so nothing can be told about them"
    cat "$report/images"
}
expect_one_line() {
    [[ $(wc -l <"$report/stdout") -eq 1 ]] || fail "$1 did not write exactly one line: $(cat "$report/stdout")"
    grep -Eq "$2" "$report/stdout" || fail "$1 wrote: $(cat "$report/stdout")"
    [[ ! -s $report/stderr ]] || fail "$1 wrote to standard error: $(cat "$report/stderr")"
}

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
        run_in_host status "$kind"
        [[ $(cat "$report/status") == "exit 0" ]] || fail "status $kind ended with $(cat "$report/status")"
        expect_one_line "status $kind" "^\{\"success\":true,\"kind\":\"$kind\",\"status\":\"(granted|notGranted|unknown)\"\}$"
    done
    ;;
no-appkit)
    # status is as cheap as a plain command: neither AppKit, nor AVFoundation for a state that
    # does not need it, nor any library of ours is loaded (the helper carries the core).
    run_in_host status accessibility
    loaded=$(loaded_images)
    if grep -E 'AppKit\.framework|AVFoundation\.framework|libKestrum' <<<"$loaded"; then
        fail "status accessibility loaded the images above"
    fi
    ;;
authorize)
    build_bundle=$3
    # Only the copy in Contents/Resources may be found: the build tree's is put aside.
    hidden=$build_bundle.hidden-by-host-test
    mv "$build_bundle" "$hidden"
    trap 'mv "$hidden" "$build_bundle"; rm -rf "$report"' EXIT
    # authorize loads the AppKit half, makes its panel (and looks up its texts) before it writes
    # its line, then stays until the host ends it.
    run_in_host authorize accessibility --app-url "$app"
    # Ended by the host's SIGTERM (a handler of it may end the process normally).
    [[ $(cat "$report/status") =~ ^(signal|exit 0)$ ]] ||
        fail "authorize was not running when the host ended it after its line: $(cat "$report/status")"
    grep -qE "$in_frameworks/libKestrumDesktop\.dylib" <<<"$(loaded_images)" ||
        fail "the AppKit half was not loaded from Contents/Frameworks: $(cat "$report/images")"
    # One core per process: the AppKit half binds to the helper's, and no core library comes along.
    ! grep -E 'libKestrum\.[0-9.]*dylib' <<<"$(loaded_images)" || fail "authorize loaded a second copy of the core"
    # Nothing on standard error: the resource bundle was found.
    expect_one_line authorize '^\{"success":true,"kind":"accessibility","status":"(granted|notGranted)"\}$'
    ;;
*)
    fail "unknown check $check"
    ;;
esac
