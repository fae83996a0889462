#!/usr/bin/env bash
# Installs the Debian packages of the table in scripts/deps.sh that are
# missing, with the i386 architecture for Wine's 32-bit loader (the
# shipping i686 server runs on it). Quick when everything is there.
#
# While a mirror syncs, its i386 index can be out of step with amd64 for a
# while, or cannot be read at all ("File has unexpected size ... Mirror
# sync in progress?"): the 32-bit libraries that wine32:i386 needs then
# cannot match the versions of their installed 64-bit twins, and apt
# reports unmet dependencies or broken packages. The whole install is first
# tried without changing anything (apt-get -s); on such a report the script
# waits, reads the indexes again and tries again, a few times. It never forces a package past apt (no dpkg -i), never lets
# apt remove a package to make room (an out-of-step index can make apt
# offer to remove wine64 for the sake of a 32-bit library), and finishes
# what dpkg began if an install stops half-way.
# VUR_APT_ATTEMPTS (default 3) and VUR_APT_WAIT (first wait in seconds,
# doubled each time; default 30) tune the retries. Exit status 3: all but
# the 32-bit packages are installed (the mirror cannot serve them now).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"

mapfile -t packages < <(vur_dep_packages)
native=$(dpkg --print-architecture)

missing_packages() {
  local status p
  status=" $(dpkg-query -W -f='${binary:Package}=${db:Status-Status} ' "${packages[@]}" 2>/dev/null || true) "
  for p in "${packages[@]}"; do
    case "$status" in
      *" $p=installed "* | *" $p:$native=installed "*) ;;
      *) echo "$p" ;;
    esac
  done
}

mapfile -t missing < <(missing_packages)
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi
echo "install-deps: installing ${missing[*]}"

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
for p in "${missing[@]}"; do
  if [[ $p == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "install-deps: adding the i386 architecture (for $p)"
    $SUDO dpkg --add-architecture i386
  fi
done

log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Packages that dpkg left unpacked or half-configured; configures them.
finish_dpkg() {
  [ -z "$($SUDO dpkg --audit 2>&1)" ] && return 0
  echo "install-deps: dpkg stopped half-way; configuring what it unpacked (dpkg --configure -a)"
  $SUDO dpkg --configure -a || true
  if [ -n "$($SUDO dpkg --audit 2>&1)" ]; then
    $SUDO dpkg --audit >&2 || true
    echo "install-deps: packages are still half-installed (above); fix them with apt-get before going on" >&2
    exit 1
  fi
}

# One attempt: 0 done; 1 the mirror looks mid-sync (worth waiting, $why
# says how); 2 another failure (the log says why).
# An index that cannot be read is left out by apt, which goes on with the
# others: the install is still tried, and apt checks it whole.
try_install() {
  local unread=""
  if ! $SUDO apt-get update -qq >"$log" 2>&1; then
    grep -qiE 'hash sum mismatch|file has unexpected size|mirror sync' "$log" || return 2
    unread=$(grep -iE '^E: Failed to fetch' "$log" | sed 's/^E: Failed to fetch \([^ ]*\).*/\1/' | tr '\n' ' ' | sed 's/ $//')
  fi
  if ! $SUDO apt-get install -s --no-remove --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
    why="apt finds unmet dependencies${unread:+ without the index it could not read ($unread)}"
    grep -qiE 'unmet dependencies|broken packages|unable to correct problems|need to be removed' "$log" && return 1
    return 2
  fi
  if ! $SUDO apt-get install -y -qq --no-remove --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
    finish_dpkg
    why="a package file is already gone from the mirror"
    grep -qiE 'failed to fetch|404' "$log" && return 1
    return 2
  fi
  return 0
}

# The native packages first, then the 32-bit ones: a mirror that cannot
# serve i386 yet must not hold back everything else.
install_group() {
  local attempt result wait=${VUR_APT_WAIT:-30} attempts=${VUR_APT_ATTEMPTS:-3}
  missing=("$@")
  [ ${#missing[@]} -gt 0 ] || return 0
  for ((attempt = 1; ; attempt++)); do
    result=0 why=""
    try_install || result=$?
    [ $result -eq 0 ] && return 0
    if [ $result -eq 2 ]; then
      cat "$log" >&2
      echo "install-deps: apt failed (above)" >&2
      exit 1
    fi
    echo "install-deps: apt cannot install ${missing[*]} yet: $why; what it says:"
    grep -iE 'depends|unmet|broken|removed|mismatch|unexpected size|failed to fetch|^E:' "$log" | sed 's/^/  /' | head -n 20
    if [ "$attempt" -ge "$attempts" ]; then
      echo "install-deps: still impossible after $attempt attempts: the mirror seems to be syncing, and its" \
           "indexes (most often the i386 one) are out of step. Nothing was changed. Run" \
           "scripts/install-deps.sh again later; do not force it with dpkg -i." >&2
      return 1
    fi
    echo "install-deps: the mirror seems to be syncing; nothing was changed. Reading the index again in" \
         "$wait s (attempt $((attempt + 1)) of $attempts)."
    sleep "$wait"
    wait=$((wait * 2))
  done
}

all_missing=("${missing[@]}")
native_missing=() foreign_missing=()
for p in "${all_missing[@]}"; do
  if [[ $p == *:i386 ]]; then foreign_missing+=("$p"); else native_missing+=("$p"); fi
done
install_group "${native_missing[@]}" || exit 1
if ! install_group "${foreign_missing[@]}"; then
  # Exit 3: everything but the 32-bit packages; test.sh and demo.sh say
  # what they then leave out.
  echo "install-deps: WARNING: ${foreign_missing[*]} could not be installed now; the runs of the shipping" \
       "32-bit server need them and are left out until they can be." >&2
  exit 3
fi

mapfile -t missing < <(missing_packages)
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: apt finished but these are not installed: ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: installed; all ${#packages[@]} packages present"
