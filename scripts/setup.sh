#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the benchmarks
# need. Does nothing when they are all present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libcurl4-openssl-dev libxerces-c-dev libcpp-httplib-dev libssl-dev libpugixml-dev zlib1g-dev
  nlohmann-json3-dev libcli11-dev libgtest-dev libbenchmark-dev abigail-tools
  python3 python3-pytest python3-setuptools python3-venv groff-base
)
if [ "${CELERRA_FUZZ:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
