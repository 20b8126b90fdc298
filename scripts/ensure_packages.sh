# Sourced by run.sh and test.sh: ensure_packages <debian-package>... installs
# those of the named packages that are missing, through sudo when not root,
# and says which. With every package present it installs and downloads
# nothing.

ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "installing: ${missing[*]}"
  local sudo=()
  if ((EUID != 0)); then
    command -v sudo >/dev/null || {
      echo "these Debian packages are missing and sudo is not available: ${missing[*]}" >&2
      return 1
    }
    sudo=(sudo)
  fi
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
