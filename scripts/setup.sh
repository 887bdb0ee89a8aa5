#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the benchmarks
# need. Idempotent: does nothing when all are present; otherwise refreshes the
# package lists once and installs what is missing, without questions.
set -euo pipefail

packages=(
  build-essential
  cmake
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libmimalloc-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} > 0)); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
