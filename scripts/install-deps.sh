#!/usr/bin/env bash
# Installs the Debian 12 packages the client, its tests and its tools need (by name, from
# Debian's archive; nothing else is downloaded). Does nothing when all are present.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build pkg-config git ccache
  qt6-base-dev libgl-dev
  libturbojpeg0-dev libasound2-dev
  libisofs-dev libburn-dev xorriso
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
