#!/usr/bin/env bash
# Runs the Linux build on an emulated processor without AVX (qemu-user,
# -cpu Nehalem-v1) and checks that brisk survives it:
#
#   check_emulated_cpu.sh <linux-build-dir>
#
# 1. The ISA sweep: the sse2 run is valid, the avx, avx2 and fma runs are
#    refused with "the processor cannot execute ... instructions; aborting"
#    and show "---" in the table, the program ends with "press enter to exit"
#    and exit status 0 (instead of dying from an illegal instruction).
# 2. --isa avx --strict-isa-check prints the strict refusal, unchanged.
# 3. The solver unit tests pass there and skip every variant beyond sse2.
# 4. A short run with the default ISA is valid: the sse2 code path holds no
#    instruction beyond the x86-64 baseline, checked by executing it. The
#    clocks it measured are null or plausible (100 to 20,000 MHz), never the
#    garbage a chain timed on an emulator would give.
set -euo pipefail

build=${1:?usage: check_emulated_cpu.sh <linux-build-dir>}
brisk="$build/src/app/brisk"
solver_tests="$build/tests/solver/brisk_solver_tests"
cpu=Nehalem-v1
qemu=$(command -v qemu-x86_64 || true)
[[ -n $qemu ]] || { echo "FAIL: qemu-x86_64 not found (Debian package qemu-user)" >&2; exit 2; }
for program in "$brisk" "$solver_tests"; do
  [[ -x $program ]] || { echo "FAIL: $program not built" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# brisk saves every run in the user's history: these runs keep theirs here.
export BRISK_RESULTS_DIR="$work/history" BRISK_CACHE_DIR="$work/cache"
failures=0

# emulate <name> <program> <args>...: runs the program on the emulated
# processor, stdin from /dev/null; output in $work/<name>.{out,err,rc}.
emulate() {
  local name=$1
  shift
  local rc=0
  "$qemu" -cpu "$cpu" "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err" || rc=$?
  echo "$rc" >"$work/$name.rc"
}

# fail <name> <reason>: reports the failed check, with the captured output
# the first time a check of that run fails.
declare -A shown=()
fail() {
  echo "FAIL: $1: $2"
  failures=$((failures + 1))
  [[ -z ${shown[$1]:-} ]] || return 0
  shown[$1]=1
  echo "---- exit status: $(cat "$work/$1.rc")"
  echo "---- standard output:"
  tr '\r' '\n' <"$work/$1.out" | grep -v '^benchmarking\.\.\.' | tail -n 60 || true
  echo "---- standard error:"
  cat "$work/$1.err"
  echo "----"
}

# expect <name> <description> <command>...: one check on a captured run.
expect() {
  local name=$1 description=$2
  shift 2
  if "$@"; then
    echo "ok   $name: $description"
  else
    fail "$name" "$description"
  fi
}

status_is() { [[ $(cat "$work/$1.rc") == "$2" ]]; }
out_has_line() { grep -qE "$2" "$work/$1.out"; }
err_count() { grep -cxF "$2" "$work/$1.err" || true; }
err_has_once() { [[ $(err_count "$1" "$2") == 1 ]]; }
err_lacks() { ! grep -qF "$2" "$work/$1.err"; }
# Standard error without the warnings about other programs loading the
# machine during a run: they say what this shared machine was doing, not what
# brisk did, and may come with any run.
brisk_err() {
  grep -vE "^warning: ([^:]+: )?run [0-9]+: other programs used [0-9.]+% of the processors \(over 10%\): its score is lower than the machine's$" "$work/$1.err" || true
}
err_equals() { diff -u <(printf '%s' "$2") <(brisk_err "$1") >/dev/null; }
refusals_are() {
  [[ $(grep -c '^the processor cannot execute .* instructions; aborting$' "$work/$1.err") == "$2" ]]
}
no_variant_ran() { ! grep -qE '^\[ +OK \] [A-Za-z]+/(avx|avx2|fma)\.' "$work/$1.out"; }
variants_skipped() {
  local isa
  for isa in avx avx2 fma; do
    grep -qE "^\[  SKIPPED \] [A-Za-z]+/$isa\." "$work/$1.out" || return 1
  done
}

# Every clock of the results file's runs, per second, per thread and at the
# loop's edges, is null or a number from 100 to 20,000 MHz.
clocks_null_or_plausible() {
  /usr/bin/python3 - "$1" <<'PY'
import json, sys
run = json.load(open(sys.argv[1]))["runs"][0]
timeline, conditions = run["timeline"], run["conditions"]
clocks = timeline["clock_mhz"] + sum(timeline["threads_clock_mhz"], [])
clocks += [conditions["clock_start_mhz"], conditions["clock_end_mhz"]]
print("     clocks:", clocks)
sys.exit(0 if all(c is None or 100 <= c <= 20000 for c in clocks) else 1)
PY
}

echo "== emulated processor: $cpu"
SECONDS=0

echo "== isa sweep"
emulate sweep "$brisk" --harness-var isa -n 1 -s 64 -d 1 --harness-sub-runs 1
expect sweep "exit status 0" status_is sweep 0
expect sweep "valid sse2 row" out_has_line sweep '^ sse2 +\| +[0-9]+(\.[0-9]+)? +\| +[0-9]+(\.[0-9]+)? +\| '
for isa in avx avx2 fma; do
  expect sweep "--- row for $isa" out_has_line sweep "^ $isa +\| +--- +\| +--- +\| +---\$"
  expect sweep "\"the processor cannot execute $isa instructions; aborting\" once" \
    err_has_once sweep "the processor cannot execute $isa instructions; aborting"
done
expect sweep "no other run refused" refusals_are sweep 3
expect sweep "\"press enter to exit\"" out_has_line sweep '^press enter to exit$'

echo "== strict isa check"
emulate strict "$brisk" --isa avx --strict-isa-check -n 1 -s 64 -d 1 --harness-sub-runs 1
strict_refusal='===========
  warning  
===========
avx support not detected
isa support check failed; aborting
==================
  invalid result 
==================
not all threads produced a result
'
expect strict "exit status 0" status_is strict 0
expect strict "standard error is the strict refusal, unchanged" err_equals strict "$strict_refusal"
expect strict "no \"cannot execute\" line" err_lacks strict "cannot execute"
expect strict "\"press enter to exit\"" out_has_line strict '^press enter to exit$'

echo "== solver unit tests"
# SoftGaussianTest/sse2.EveryCheckPassesWithTheExpectedRatios alone takes
# ~25 s under emulation; the cross-variant test still steps the sse2
# soft_gaussian workload, and the run below steps standing_wave.
emulate solver "$solver_tests" --gtest_filter=-SoftGaussianTest/sse2.EveryCheckPassesWithTheExpectedRatios
expect solver "exit status 0" status_is solver 0
expect solver "no avx, avx2 or fma variant test ran" no_variant_ran solver
expect solver "the avx, avx2 and fma variant tests were skipped" variants_skipped solver

echo "== default-ISA run"
emulate default "$brisk" -n 1 -s 64 -d 1 --harness-sub-runs 1 --export-json "$work/default.json"
expect default "exit status 0" status_is default 0
expect default "valid result" out_has_line default '^  valid result $'
expect default "sse2 verdict line" out_has_line default '^brisk v[0-9.]+ standing_wave sse2$'
expect default "valid row" out_has_line default '^ none +\| +[0-9]+(\.[0-9]+)? +\| '
expect default "nothing on standard error" err_equals default ""
expect default "measured clocks null or plausible" clocks_null_or_plausible "$work/default.json"

echo "== emulated processor checks took ${SECONDS}s"
if ((failures > 0)); then
  echo "emulated processor check: $failures failure(s)"
  exit 1
fi
echo "emulated processor check: passed"
