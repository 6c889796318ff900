#!/usr/bin/env bash
# Whole-process timing of the helper on a Mac, against two floors built here from
# bench/minimal_line.cpp (a program that writes one line):
#   - the plain floor, linked with the C++ library only;
#   - the framework floor, the same program linked with the frameworks the helper links
#     (Foundation, CoreFoundation, ApplicationServices): what loading them costs any program.
#     The helper's own code, the core included, is in its own image: it loads no library of ours.
# Before timing, it checks with dyld which images `status accessibility` loads: neither AppKit,
# AVFoundation nor any library of ours (libKestrum*.dylib) may be among them.
#
# Usage: bench/macos_helper_process.sh [path/to/KestrumHelper] [rounds] [runs per round] [--open]
#   default helper: build/default/bin/KestrumHelper; default 10 rounds of 30 runs.
#   --open also times `open accessibility`, which brings System Settings forward on every run.
# Needs hyperfine (brew install hyperfine), python3 and the Xcode command-line tools.
# The target is `status accessibility` within 1.2 x the framework floor; the script exits 1 when
# it is missed (set KESTRUM_BENCH_REPORT_ONLY=1 to always exit 0).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
helper=${1:-$root/build/default/bin/KestrumHelper}
rounds=${2:-10}
runs=${3:-30}
with_open=0
[[ ${4:-} == --open ]] && with_open=1
[[ -x $helper ]] || { echo "helper not found: $helper" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"${CXX:-c++}" -std=c++20 -O2 -o "$work/plain_floor" "$root/bench/minimal_line.cpp"
"${CXX:-c++}" -std=c++20 -O2 -o "$work/framework_floor" "$root/bench/minimal_line.cpp" \
    -framework Foundation -framework CoreFoundation -framework ApplicationServices

# dyld logs to a file: the helper points its standard error at /dev/null before it could load
# anything more. The variables are set on the helper's own start only (the system ignores DYLD_
# variables of protected programs such as /usr/bin/env).
DYLD_PRINT_LIBRARIES=1 DYLD_PRINT_TO_FILE="$work/images" "$helper" status accessibility >/dev/null
[[ -s $work/images ]] || { echo "dyld logged no image of the helper (DYLD_PRINT_TO_FILE ignored?)" >&2; exit 2; }
loaded=$(cat "$work/images")
echo "images loaded by status accessibility: $(grep -c . <<<"$loaded")"
if grep -E 'AppKit\.framework|AVFoundation\.framework|libKestrum' <<<"$loaded"; then
    echo "status accessibility loaded the images above" >&2
    exit 1
fi

commands=("$work/plain_floor" "$work/framework_floor" "$helper status accessibility"
          "$helper status screenRecording" "$helper status microphone")
((with_open)) && commands+=("$helper open accessibility")
for command in "${commands[@]}"; do
    line=$($command)
    [[ $line == '{'*'}' ]] || { echo "unexpected output from $command: $line" >&2; exit 2; }
done

# Load drifts: the commands are timed in alternating rounds and the medians taken over all rounds.
for ((round = 0; round < rounds; round++)); do
    hyperfine --shell=none --warmup 5 --runs "$runs" --style none --export-json "$work/round$round.json" \
        "${commands[@]}" >/dev/null 2>&1
done

python3 - "$work" "$rounds" "$runs" "${commands[@]}" <<'PY'
import json, os, pathlib, statistics, sys
work, rounds, runs, commands = pathlib.Path(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
times = [[] for _ in commands]
for path in sorted(work.glob("round*.json")):
    for i, result in enumerate(json.loads(path.read_text())["results"]):
        times[i] += result["times"]
medians = [statistics.median(t) for t in times]
plain, frameworks = medians[0], medians[1]
names = ["plain one-line program", "one-line program with the frameworks"] + [
    "KestrumHelper " + c.split(" ", 1)[1] for c in commands[2:]]
print(f"{rounds} rounds x {runs} runs per command")
for name, median in zip(names, medians):
    print(f"{name:40} median {median * 1e3:8.3f} ms  x plain {median / plain:5.2f}  x frameworks {median / frameworks:5.2f}")
met = medians[2] / frameworks <= 1.2
print(f"status target (<= 1.20 x the framework floor): {'met' if met else 'missed'}")
(work / "met").write_text("1" if met else "0")
PY
if [[ ${KESTRUM_BENCH_REPORT_ONLY:-0} != 1 && $(cat "$work/met") != 1 ]]; then
    exit 1
fi
