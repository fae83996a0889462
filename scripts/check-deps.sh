#!/usr/bin/env bash
# Checks every program that the scripts and the build call, and every file
# the build reads from the system, against the table in scripts/deps.sh:
# it must be there, and dpkg must say it comes from the package the table
# names (so install-deps.sh installs it on a fresh machine). A program that
# only a well-stocked machine has, or a copy found in PATH before Debian's,
# fails here instead of passing unseen. One line per entry; the exit status
# is 1 when any entry fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
native=$(dpkg --print-architecture)

# The packages that own path, "pkg1, pkg2" as dpkg -S gives them. Links are
# followed one step at a time until an owned file is reached: the links of
# the alternatives system belong to no package.
owners() {
  local path=$1 hops target found
  for hops in 1 2 3 4 5 6 7 8; do
    found=$(dpkg -S "$path" 2>/dev/null | grep -v '^diversion by' | sed -n "s|: $path\$||p" | head -n 1)
    if [ -n "$found" ]; then
      echo "$found"
      return 0
    fi
    [ -L "$path" ] || return 1
    target=$(readlink "$path")
    case "$target" in
      /*) path=$target ;;
      *) path=$(dirname "$path")/$target ;;
    esac
  done
  return 1
}

failed=()
left_out=()
for row in "${vur_deps[@]}"; do
  set -- $row
  name=$1 package=$2
  case "$name" in
    /*) path=$name; [ -e "$path" ] || path="" ;;
    *) path=$(command -v "$name" || true) ;;
  esac
  if [ -z "$path" ]; then
    # VUR_WITHOUT_I386=1: install-deps.sh could not get the 32-bit packages
    # from the mirror; their absence is reported, and the runs that need
    # them are left out by the scripts that run them.
    if [[ $package == *:i386 ]] && [ "${VUR_WITHOUT_I386:-0}" = 1 ]; then
      printf '  %-30s %-28s MISSING (the mirror could not serve it; its runs are left out)\n' "$name" "$package"
      left_out+=("$name")
      continue
    fi
    printf '  %-30s %-28s MISSING\n' "$name" "$package"
    failed+=("$name (missing; install $package)")
    continue
  fi
  found=$(owners "$path" || true)
  ok=0
  IFS=', ' read -r -a list <<<"$found"
  for p in "${list[@]}"; do
    [ "${p%:$native}" = "$package" ] && ok=1
  done
  if [ $ok -eq 1 ]; then
    printf '  %-30s %-28s %s\n' "$name" "$package" "${path#$name}"
  else
    printf '  %-30s %-28s NOT THIS PACKAGE: %s comes from %s\n' "$name" "$package" "$path" "${found:-no package}"
    failed+=("$name ($path comes from ${found:-no package}, not $package)")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "check-deps: ${#failed[@]} of ${#vur_deps[@]} fail: ${failed[*]}" >&2
  echo "check-deps: run scripts/install-deps.sh, or correct the table in scripts/deps.sh" >&2
  exit 1
fi
echo "check-deps: $((${#vur_deps[@]} - ${#left_out[@]})) of ${#vur_deps[@]} programs and files come from the packages install-deps.sh installs${left_out[*]:+; left out for now: ${left_out[*]}}"
