#!/usr/bin/env bash
# Whole-process figures of the authorize action:
#   - time from process start to its JSON line, against the same for a minimal Qt Widgets
#     program that shows one window and writes one line (bench/minimal_qt_window.cpp), and
#     against `status`, as ratios of medians, measured in one run: on the off-screen platform,
#     and on a private X server (Xvfb) when there is one;
#   - the helper's peak resident memory (VmHWM) during authorize, once its panel is up.
# Usage: bench/authorize_process.sh [build-dir] [runs]   (default build/default, 21 runs)
# The target is authorize within 1.3 x the minimal Qt program.
set -euo pipefail

build_dir=${1:-build/default}
runs=${2:-21}
helper="$build_dir/bin/KestrumHelper"
floor="$build_dir/bin/minimal_qt_window"
for program in "$helper" "$floor"; do
  if [[ ! -x "$program" ]]; then
    echo "no $program; build the KestrumHelper, KestrumDesktop and minimal_qt_window targets first" >&2
    exit 2
  fi
done

unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

python3 - "$helper" "$floor" "$runs" <<'PY'
import os, select, shutil, signal, statistics, subprocess, sys, tempfile, time

helper, floor, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
app = "/Applications/Tazel.app"

def time_to_line(command, environment, settle=0.0):
    """Seconds from spawning to the first line feed on standard output, the line, the
    process's peak resident memory in kB after `settle` seconds, and its standard error."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=environment)
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

def measure(name, environment, floor_environment):
    """Runs the three programs in turn, `runs` times each, and prints their medians. A run that
    wrote no line (a display that refused the connection) is counted and left out."""
    times = {"status": [], "floor": [], "authorize": []}
    failed = {key: 0 for key in times}
    last_error = {}
    peaks = []
    for index in range(runs):
        # Memory is read on a few runs only, after the panel had a second to settle.
        settle = 1.0 if index < 3 else 0.0
        for key, command, expected, wait in (
                ("status", [helper, "status", "accessibility"], b'{"success":true', 0.0),
                ("floor", [floor], b'{"success":true', 0.0),
                ("authorize", [helper, "authorize", "accessibility", "--app-url", app],
                 b'{"success":true,"kind":"accessibility"', settle)):
            elapsed, line, peak, errors = time_to_line(command, floor_environment if key == "floor" else environment,
                                                       wait)
            if not line.startswith(expected):
                failed[key] += 1
                last_error[key] = errors[:300]
                continue
            if key != "floor":
                assert errors == b"", errors
            times[key].append(elapsed)
            if peak is not None:
                peaks.append(peak)
    medians = {key: statistics.median(values) if values else float("nan") for key, values in times.items()}
    print(f"{name} ({runs} runs each)")
    print(f"  status              start-to-line median: {medians['status'] * 1000:7.2f} ms")
    print(f"  minimal Qt window   start-to-line median: {medians['floor'] * 1000:7.2f} ms")
    print(f"  authorize           start-to-line median: {medians['authorize'] * 1000:7.2f} ms")
    print(f"  ratio authorize / minimal Qt window: {medians['authorize'] / medians['floor']:.2f} (target <= 1.3)")
    print(f"  ratio authorize / status:            {medians['authorize'] / medians['status']:.1f}")
    if peaks:
        print(f"  authorize peak memory (VmHWM): {max(peaks) / 1024:.1f} MiB")
    if any(failed.values()):
        print(f"  runs without a line (left out): {failed}, last standard error: {last_error}")

base = dict(os.environ)
# authorize hands the settings URL to the desktop's opener and goes on without waiting for it.
# The real opener (a shell script starting further programs) would still be running when the
# next program of the round starts and slow whichever comes next; an opener that does nothing,
# first on PATH, keeps the rounds independent.
sink = tempfile.mkdtemp()
os.symlink(shutil.which("true") or "/bin/true", os.path.join(sink, "xdg-open"))
base["PATH"] = sink + ":" + base.get("PATH", "/usr/bin:/bin")
# No display: the shell chooses the off-screen platform itself; the floor is told to.
measure("off-screen platform", base, dict(base, QT_QPA_PLATFORM="offscreen"))

if shutil.which("Xvfb"):
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1440x900x24", "-nolisten", "tcp"],
                              pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        number = os.read(read_end, 16).decode().strip()
        os.close(read_end)
        x11 = dict(base, DISPLAY=":" + number)
        measure("X11 (private Xvfb)", x11, x11)
    finally:
        server.terminate()
        server.wait()
shutil.rmtree(sink)
PY
