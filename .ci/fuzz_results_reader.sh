#!/usr/bin/env bash
# Fuzzes the results reader for a bounded time: builds the libFuzzer target
# with clang (address and undefined-behaviour sanitizers, every finding
# fatal), seeds it with a real document and broken variants of it, and runs
# it. Exits non-zero when the target crashes, leaks, hangs or runs out of
# memory.
#   .ci/fuzz_results_reader.sh <build-folder> <seconds>
set -euo pipefail
if [[ $# -ne 2 ]]; then
  echo "usage: $0 <build-folder> <seconds>" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
work=$(cd "$1" && pwd)/fuzz-results-reader
seconds=$2
mkdir -p "$work/corpus" "$work/artifacts"

# The reader, what it parses with, the console escaping of its messages and
# the file backend load_results_file uses, and the timeline arithmetic that
# gives a run its mean clock.
sources=(
  "$root/fuzz/results_reader_fuzz.cpp"
  "$root/src/compare/results_reader.cpp"
  "$root/src/compare/results_reader_json.cpp"
  "$root/src/compare/pruned_json.cpp"
  "$root/src/compare/results_reader_fields.cpp"
  "$root/src/bench/run_timeline.cpp"
  "$root/src/bench/step_marks.cpp"
  "$root/src/results/console_text.cpp"
  "$root/src/results/utf8.cpp"
  "$root/src/platform/file_read.cpp"
  "$root/src/platform/file_read_linux.cpp"
)
target="$work/results_reader_fuzz"
newest=$(ls -t "${sources[@]}" "$root"/src/compare/*.h "$root"/src/bench/run_timeline.h \
  "$root"/src/bench/step_marks.h "$root"/src/platform/file_read.h \
  "$root"/src/results/console_text.h "$root"/src/results/utf8.h | head -n1)
if [[ ! -x "$target" || "$newest" -nt "$target" ]]; then
  echo "building $target"
  clang++-14 -std=c++20 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -O1 -g \
    -DFMT_HEADER_ONLY -I"$root/src" "${sources[@]}" -o "$target"
fi

# Seeds: the sample document and the kinds of damage the reader must name.
sample="$root/tests/results/sample_threads_sweep.json"
seeds="$work/seeds"
rm -rf "$seeds"
mkdir -p "$seeds"
cp "$sample" "$seeds/sample.json"
head -c 1500 "$sample" >"$seeds/truncated.json"
sed 's/"version": 1}/"version": 3}/' "$sample" >"$seeds/newer_version.json"
sed 's/"threads": 2,/"threads": "2",/' "$sample" >"$seeds/wrong_type.json"
sed 's/"score": 830.125/"score": -1/' "$sample" >"$seeds/negative_score.json"
sed 's/"finished": true/"finished": false/; s/"end_time": "[^"]*"/"end_time": null/' \
  "$sample" >"$seeds/killed.json"
sed 's/"points": \["1", "2"\]/"points": ["2", "2"]/; s/"point": "1"/"point": "2"/' \
  "$sample" >"$seeds/repeated_label.json"
# The compact layout with the per-second clock, and behind a byte order mark
# (which only the full parser takes).
/usr/bin/python3 - "$sample" "$seeds" <<'PYTHON'
import json, sys
document = json.load(open(sys.argv[1], encoding="utf-8"))
for run in document["runs"]:
    timeline = run.setdefault("timeline", {"mgups": [], "threads": []})
    seconds = len(timeline["mgups"])
    timeline["clock_mhz"] = [4192] * seconds
    timeline["threads_clock_mhz"] = [[4192] * seconds for _ in timeline["threads"]]
text = json.dumps(document, separators=(",", ":"))
open(sys.argv[2] + "/compact_clock.json", "w", encoding="utf-8").write(text)
open(sys.argv[2] + "/bom.json", "w", encoding="utf-8").write("\ufeff" + text)
PYTHON
{ printf '{"schema": {"name": "brisk-results", "version": 1}, "future": '
  printf '[%.0s' $(seq 80); printf ']%.0s' $(seq 80); printf '}\n'; } >"$seeds/deep.json"

cd "$work"
# libFuzzer reports every new coverage point; its log stays in the work
# folder and only its end is shown, unless it failed.
log="$work/fuzz.log"
if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=65536 \
  -dict="$root/fuzz/results_reader.dict" -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
  "$work/corpus" "$seeds" >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "results reader fuzzing: FAILED (log: $log, inputs in $work/artifacts/)"
  exit 1
fi
grep -E '^(Done|stat::(number_of_executed_units|peak_rss_mb))' "$log" || true
echo "results reader fuzzing: passed"
