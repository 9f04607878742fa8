#!/usr/bin/env bash
# Installs the Debian packages that the given groups need, only when some are missing.
# Usage: scripts/install-deps.sh GROUP...   (groups are the tags in debian-packages.txt)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
list="$here/debian-packages.txt"

command -v dpkg-query >/dev/null 2>&1 || exit 0   # not a Debian system: nothing to do

wanted=()
for group in "$@"; do
  while read -r tag pkg _; do
    [[ -z "${tag:-}" || "$tag" == \#* ]] && continue
    [[ "$tag" == "$group" ]] && wanted+=("$pkg")
  done <"$list"
done

missing=()
for pkg in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

# De-duplicate while keeping order.
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | awk '!seen[$0]++')
echo "Installing missing packages: ${missing[*]}"
sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
