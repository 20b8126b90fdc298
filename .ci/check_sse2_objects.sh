#!/usr/bin/env bash
# Checks that the sse2 variant of the solver runs on any x86-64 processor.
#
#   check_sse2_objects.sh <build-dir>
#
# 1. The sse2 kernel objects and the solver's baseline objects (everything of
#    the solver that is not built for avx, avx2 or fma) hold no %ymm register
#    and no VEX-encoded (v-prefixed) instruction.
# 2. No weak symbol of the sse2 kernel objects is also defined by an avx,
#    avx2 or fma object: the linker keeps one copy of such a symbol and could
#    hand the sse2 path the AVX one.
# 3. In every linked program that holds the sse2 kernels, those functions are
#    still free of VEX code (what the linker really kept).
set -euo pipefail

build=${1:?usage: check_sse2_objects.sh <build-dir>}
[[ -d $build ]] || { echo "no such build directory: $build" >&2; exit 2; }
command -v objdump >/dev/null || { echo "objdump not found" >&2; exit 2; }

failures=0

# Lines of `objdump -d` output whose instruction uses a ymm register or is
# VEX-encoded. The VMX and verr/verw system instructions also start with v
# but are not VEX; compiled code does not use them, they are excluded anyway.
vex_lines() {
  awk -F'\t' 'NF >= 3 {
      split($3, words, " ")
      m = words[1]
      if ($3 ~ /%ymm/ || (m ~ /^v/ && m !~ /^(verr|verw|vmcall|vmlaunch|vmresume|vmxoff|vmxon|vmread|vmwrite|vmptrld|vmptrst|vmclear|vmfunc|vmrun|vmload|vmsave|vmmcall)$/))
        print
    }'
}

solver_dir=$(find "$build" -type d -path '*brisk_solver.dir' | head -n 1)
if [[ -z $solver_dir ]]; then
  echo "FAIL: no brisk_solver objects under $build (build the solver first)"
  exit 1
fi

objects_named() {  # objects_named <pattern>...: solver objects (.o or .obj) of those sources
  local args=() pattern
  for pattern in "$@"; do args+=(-o -name "$pattern.cpp.o" -o -name "$pattern.cpp.obj"); done
  find "$solver_dir" -type f \( "${args[@]:1}" \) | sort
}
mapfile -t sse2_objects < <(objects_named '*_sse2')
mapfile -t other_isa_objects < <(objects_named '*_avx' '*_avx2' '*_fma')
mapfile -t baseline_objects < <(comm -23 <(objects_named '*') \
  <(printf '%s\n' "${sse2_objects[@]}" "${other_isa_objects[@]}" | sort))

if ((${#sse2_objects[@]} == 0)); then
  echo "FAIL: no sse2 objects in $solver_dir"
  exit 1
fi

echo "== VEX and ymm check"
for object in "${sse2_objects[@]}" "${baseline_objects[@]}"; do
  count=$(objdump -d "$object" | grep -c $'^ *[0-9a-f]*:\t' || true)
  bad=$(objdump -d "$object" | vex_lines)
  if ((count == 0)) && [[ $object == *_sse2.cpp.o* ]]; then
    # An sse2 object always holds code; nothing means objdump read nothing.
    echo "FAIL: no instructions disassembled from $object"
    failures=$((failures + 1))
  elif [[ -n $bad ]]; then
    echo "FAIL: $object holds VEX or ymm instructions:"
    echo "$bad" | head -n 20
    failures=$((failures + 1))
  else
    echo "ok   ${object#"$build"/} ($count instructions)"
  fi
done

echo "== weak symbols shared with the avx, avx2 and fma objects"
other_symbols=$(for object in "${other_isa_objects[@]}"; do
  nm --defined-only "$object" | awk '$2 ~ /^[WVu]$/ {print $3}'
done | sort -u)
for object in "${sse2_objects[@]}"; do
  weak=$(nm --defined-only "$object" | awk '$2 ~ /^[WVu]$/ {print $3}' | sort -u)
  shared=$(comm -12 <(echo "$weak") <(echo "$other_symbols") | sed '/^$/d')
  if [[ -n $shared ]]; then
    echo "FAIL: $object shares inline code with another ISA's objects:"
    echo "$shared" | c++filt | head -n 20
    failures=$((failures + 1))
  else
    echo "ok   ${object#"$build"/} ($(echo "$weak" | sed '/^$/d' | wc -l) weak symbols, none shared)"
  fi
done

echo "== sse2 functions in the linked programs"
mapfile -t programs < <(find "$build" -type f \( -name 'brisk' -o -name 'brisk.exe' -o -name '*_tests' \
  -o -name '*_tests.exe' -o -name 'brisk_*bench*' \) -perm -u+x 2>/dev/null | sort)
checked_programs=0
for program in "${programs[@]}"; do
  # Every function whose name carries the sse2 tag, disassembled as linked.
  listing=$(objdump -d -C "$program" 2>/dev/null | awk '
      /^[0-9a-f]+ <.*>:$/ { inside = ($0 ~ /brisk::Sse2>/) ; if (inside) functions++ }
      inside { print }
      END { print "#functions " functions + 0 }')
  functions=$(echo "$listing" | awk '/^#functions/ {print $2}')
  ((functions > 0)) || continue
  checked_programs=$((checked_programs + 1))
  bad=$(echo "$listing" | vex_lines)
  if [[ -n $bad ]]; then
    echo "FAIL: ${program#"$build"/}: sse2 functions hold VEX or ymm instructions:"
    echo "$bad" | head -n 20
    failures=$((failures + 1))
  else
    echo "ok   ${program#"$build"/} ($functions sse2 functions)"
  fi
done
if ((checked_programs == 0)); then
  echo "FAIL: no linked program with sse2 functions found under $build"
  failures=$((failures + 1))
fi

if ((failures > 0)); then
  echo "sse2 object check: $failures failure(s)"
  exit 1
fi
echo "sse2 object check: passed"
