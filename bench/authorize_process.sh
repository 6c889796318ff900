#!/usr/bin/env bash
# Whole-process figures of the authorize action on the off-screen platform:
#   - time from process start to its JSON line, against the same for `status`, as a ratio of
#     medians (authorize loads the desktop shell and Qt; status loads nothing of it);
#   - the helper's peak resident memory (VmHWM) during authorize, once its panel is up.
# Usage: bench/authorize_process.sh [build-dir] [runs]   (default build/default, 21 runs)
set -euo pipefail

build_dir=${1:-build/default}
runs=${2:-21}
helper="$build_dir/bin/KestrumHelper"
if [[ ! -x "$helper" ]]; then
  echo "no helper at $helper; build the KestrumHelper and KestrumDesktop targets first" >&2
  exit 2
fi

# No display: the shell must choose the off-screen platform on its own.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

python3 - "$helper" "$runs" <<'PY'
import os, select, signal, statistics, subprocess, sys, time

helper, runs = sys.argv[1], int(sys.argv[2])
app = "/Applications/Tazel.app"

def time_to_line(arguments, settle=0.0):
    """Seconds from spawning to the first line feed on standard output, the line, the
    process's peak resident memory in kB after `settle` seconds, and its standard error."""
    start = time.perf_counter()
    process = subprocess.Popen([helper] + arguments, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    line = b""
    while not line.endswith(b"\n"):
        ready, _, _ = select.select([process.stdout], [], [], 10)
        if not ready:
            break
        chunk = os.read(process.stdout.fileno(), 4096)
        if not chunk:
            break
        line += chunk
    elapsed = time.perf_counter() - start
    peak = None
    if settle:
        time.sleep(settle)
        try:
            with open(f"/proc/{process.pid}/status") as status:
                for entry in status:
                    if entry.startswith("VmHWM:"):
                        peak = int(entry.split()[1])
        except FileNotFoundError:
            pass
    if process.poll() is None:
        process.send_signal(signal.SIGKILL)
    _, errors = process.communicate()
    return elapsed, line, peak, errors

status_times, authorize_times, peaks = [], [], []
for _ in range(runs):
    elapsed, line, _, errors = time_to_line(["status", "accessibility"])
    assert line.startswith(b'{"success":true'), line
    assert errors == b"", errors
    status_times.append(elapsed)
for index in range(runs):
    # Memory is read on a few runs only, after the panel had a second to settle.
    settle = 1.0 if index < 3 else 0.0
    elapsed, line, peak, errors = time_to_line(["authorize", "accessibility", "--app-url", app], settle)
    assert line.startswith(b'{"success":true,"kind":"accessibility"'), line
    assert errors == b"", errors
    authorize_times.append(elapsed)
    if peak is not None:
        peaks.append(peak)

status_median = statistics.median(status_times)
authorize_median = statistics.median(authorize_times)
print(f"runs: {runs}")
print(f"status    start-to-line median: {status_median * 1000:.2f} ms (min {min(status_times) * 1000:.2f})")
print(f"authorize start-to-line median: {authorize_median * 1000:.2f} ms (min {min(authorize_times) * 1000:.2f})")
print(f"ratio of medians (authorize / status): {authorize_median / status_median:.1f}")
if peaks:
    print(f"authorize peak memory (VmHWM): {max(peaks) / 1024:.1f} MiB (median {statistics.median(peaks) / 1024:.1f})")
PY
