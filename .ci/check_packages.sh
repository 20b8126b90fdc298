#!/usr/bin/env bash
# Tries the packages as a user would, each unpacked into an empty folder:
#
#   check_packages.sh <linux-package-dir> <windows-package-dir> <wine>
#
# - the .deb and the .tar.gz hold the program, the README, the results schema
#   and the manual page (`man brisk` shows it); the .tar.gz the licenses, the
#   .deb instead a copyright file in Debian's format that names both licenses
#   and a changelog whose latest version is the project's;
#   the installed brisk answers --help and makes a valid 1-second run;
#   the .deb's dependencies are met on this system; lintian finds no error in
#   it and no missing hardening, and readelf shows its brisk a PIE with full
#   RELRO, stack canaries and fortified functions;
# - the .zip holds brisk.exe, the README, the licenses and the results
#   schema; brisk.exe imports
#   nothing but Windows system DLLs, and under Wine answers --help and makes
#   a valid 1-second run.
set -euo pipefail

linux_dir=${1:?usage: check_packages.sh <linux-package-dir> <windows-package-dir> <wine>}
windows_dir=${2:?usage: check_packages.sh <linux-package-dir> <windows-package-dir> <wine>}
wine=${3:?usage: check_packages.sh <linux-package-dir> <windows-package-dir> <wine>}
version=$(sed -n 's/^project(brisk VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# brisk saves every run in the user's history: these runs keep theirs here.
export BRISK_RESULTS_DIR="$work/history" BRISK_CACHE_DIR="$work/cache"
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# present <path>: whether the package is there (a failure when it is not).
present() {
  [[ -f $1 ]] && return 0
  fail "no package $1"
  return 1
}

expect_files() { # expect_files <root> <relative path>...
  local root=$1 f
  shift
  for f in "$@"; do
    [[ -s $root/$f ]] || fail "$f missing from $(basename "$root")"
  done
}

# lines_of <text>: the text with Windows line ends made plain and every
# progress-line rewrite on a line of its own.
lines_of() {
  local text=${1//$'\r\n'/$'\n'}
  printf '%s\n' "${text//$'\r'/$'\n'}"
}

# try_program <label> <command...>: --help and a 1-second run with standard
# input empty must end with status 0 and print what a user expects.
try_program() {
  local label=$1 out status
  shift
  status=0
  out=$("$@" --help 2>&1 </dev/null) || status=$?
  out=$(lines_of "$out")
  if ((status != 0)) || ! grep -q "^USAGE:" <<<"$out"; then
    fail "$label --help: status $status"
    echo "$out" | tail -n 20
  fi
  status=0
  out=$("$@" -d 1 -s 64 -n 1 --harness-sub-runs 1 2>&1 </dev/null) || status=$?
  out=$(lines_of "$out")
  if ((status != 0)) || ! grep -q "^  valid result $" <<<"$out" ||
    ! grep -q "^brisk v$version " <<<"$out" || ! grep -q "press enter to exit" <<<"$out"; then
    fail "$label 1-second run: status $status"
    echo "$out" | tail -n 30
  else
    echo "ok: $label: $(grep '^final score:' <<<"$out")"
  fi
}

# check_copyright <file>: Debian's machine-readable format, brisk's paragraph
# and dygraphs', and the Expat text word for word as brisk's LICENSE has it.
check_copyright() {
  local file=$1 text licence
  [[ -s $file ]] || return 0
  [[ $(head -n1 "$file") == "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ]] ||
    fail "copyright: not in Debian's machine-readable format"
  grep -q "^Copyright: .*the brisk developers" "$file" || fail "copyright: brisk's holders missing"
  grep -q "^Files: dygraph.min.js" "$file" && grep -q "Dan Vanderkam" "$file" ||
    fail "copyright: no paragraph for the inlined dygraphs"
  text=$(awk '/^License: Expat$/ { body = 1; next } body && /^ / { print; next } { body = 0 }' "$file" |
    sed 's/^ \.$//; s/^ //' | tr -s ' \n' '  ')
  licence=$(sed -n '/^Permission is hereby granted/,$p' "$(dirname "$0")/../LICENSE" | tr -s ' \n' '  ')
  [[ -n $text && $text == "$licence" ]] || fail "copyright: the Expat text differs from LICENSE"
}

# check_hardening <elf>: what Debian's build flags give a program.
check_hardening() {
  local elf=$1 dynamic symbols before=$failures
  dynamic=$(readelf -dW "$elf")
  symbols=$(readelf --dyn-syms -W "$elf")
  readelf -lW "$elf" | grep -q "GNU_RELRO" || fail "$elf: no GNU_RELRO segment"
  grep -qE "\(FLAGS\).*BIND_NOW|\(BIND_NOW\)" <<<"$dynamic" || fail "$elf: not bound now (BIND_NOW)"
  grep -qE "\(FLAGS_1\).* NOW" <<<"$dynamic" || fail "$elf: no NOW in FLAGS_1"
  grep -qE "\(FLAGS_1\).* PIE" <<<"$dynamic" || fail "$elf: not a PIE"
  grep -q " __stack_chk_fail" <<<"$symbols" || fail "$elf: no stack protector"
  grep -qE " __[a-z0-9_]+_chk(@|$)" <<<"$symbols" || fail "$elf: no fortified function"
  ((failures > before)) || echo "ok: $(basename "$elf"): PIE, full RELRO (GNU_RELRO, BIND_NOW), stack protector, fortified"
}

# check_lintian <deb>: no error, and none of the tags of missing hardening
# (those are informational: -I shows them).
check_lintian() {
  local out status=0
  out=$(lintian -I "$1" 2>"$work/lintian.err") || status=$?
  [[ -n $out ]] && sed 's/^/lintian: /' <<<"$out"
  if ((status != 0)) || grep -q "^E: " <<<"$out"; then
    fail "lintian reports errors for $(basename "$1") (status $status)"
    cat "$work/lintian.err"
  fi
  if grep -q ": hardening-" <<<"$out"; then fail "lintian: the binary lacks hardening"; fi
  return 0
}

# Wine now and then drops a program it is starting (status 1, nothing
# printed by the program): start it again, at most twice.
under_wine() {
  local attempt out status
  for attempt in 1 2 3; do
    status=0
    out=$("$wine" "$@" 2>&1) || status=$?
    if ((status == 0)) || grep -qv -e '^wine' -e '^$' <<<"$out"; then break; fi
    echo "[ wine ] start failed, trying again" >&2
  done
  printf '%s\n' "$out"
  return "$status"
}

# The .deb
deb="$linux_dir/brisk_${version}_amd64.deb"
if present "$deb"; then
  dpkg-deb -x "$deb" "$work/deb"
  doc="$work/deb/usr/share/doc/brisk"
  expect_files "$work/deb" usr/bin/brisk usr/share/doc/brisk/README.md usr/share/doc/brisk/copyright \
    usr/share/doc/brisk/changelog.gz usr/share/brisk/brisk-results.schema.json \
    usr/share/man/man1/brisk.1.gz
  for f in LICENSE LICENSE.dygraphs; do
    [[ ! -e $doc/$f ]] || fail "the .deb carries $f beside its copyright file"
  done
  check_copyright "$doc/copyright"
  if [[ -s $doc/changelog.gz ]]; then
    gzip -dc "$doc/changelog.gz" >"$work/changelog"
    latest=$(dpkg-parsechangelog -l "$work/changelog" -S Version 2>&1) || true
    [[ $latest == "$version" ]] || fail "changelog.gz: latest version '$latest', the project is $version"
  fi
  [[ -f $work/deb/usr/bin/brisk ]] && check_hardening "$work/deb/usr/bin/brisk"
  check_lintian "$deb"
  # `man brisk` as it works once the package is installed.
  if ! MANPATH="$work/deb/usr/share/man" man brisk 2>/dev/null | grep -q -- "--export-json"; then
    fail "man brisk does not show the manual page of the .deb"
  fi
  dpkg --dry-run -i "$deb" >"$work/dpkg.log" 2>&1 || {
    fail "dpkg -i would fail for $(basename "$deb")"
    cat "$work/dpkg.log"
  }
  try_program ".deb usr/bin/brisk" "$work/deb/usr/bin/brisk"
fi

# The .tar.gz
tgz="$linux_dir/brisk-${version}-linux-x86_64.tar.gz"
if present "$tgz"; then
  mkdir "$work/tgz"
  tar -xzf "$tgz" -C "$work/tgz"
  top="$work/tgz/brisk-${version}-linux-x86_64"
  expect_files "$top" bin/brisk share/doc/brisk/README.md share/doc/brisk/LICENSE \
    share/doc/brisk/LICENSE.dygraphs share/brisk/brisk-results.schema.json share/man/man1/brisk.1.gz
  try_program ".tar.gz bin/brisk" "$top/bin/brisk"
fi

# The .zip
zip=$(realpath -m "$windows_dir/brisk-${version}-windows-x86_64.zip")
if present "$zip"; then
  mkdir "$work/zip"
  (cd "$work/zip" && cmake -E tar xf "$zip")
  top="$work/zip/brisk-${version}-windows-x86_64"
  expect_files "$top" bin/brisk.exe share/doc/brisk/README.md share/doc/brisk/LICENSE \
    share/doc/brisk/LICENSE.dygraphs share/brisk/brisk-results.schema.json
  if [[ -f $top/bin/brisk.exe ]]; then
    # What Windows itself ships; anything else (libstdc++-6.dll,
    # libwinpthread-1.dll, ...) would be missing on a user's machine.
    system_dlls='^(kernel32|advapi32|msvcrt|ntdll|user32|ws2_32|shell32|ole32|bcrypt|ucrtbase|powrprof|api-ms-win-[a-z0-9-]+)\.dll$'
    imports=$(objdump -p "$top/bin/brisk.exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
    [[ -n $imports ]] || fail "no import table read from brisk.exe"
    while read -r dll; do
      [[ -z $dll ]] && continue
      if grep -qiE "$system_dlls" <<<"$dll"; then
        echo "ok: brisk.exe imports $dll"
      else
        fail "brisk.exe imports $dll, which is not a Windows system DLL"
      fi
    done <<<"$imports"
    try_program ".zip bin/brisk.exe" under_wine "$top/bin/brisk.exe"
  fi
fi

if ((failures)); then
  echo "package check: $failures failure(s)"
  exit 1
fi
echo "package check passed"
