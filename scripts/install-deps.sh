#!/bin/sh
# Installs what building, testing and benchmarking need on Debian 12 (run as root).
# Only missing packages are fetched; an up-to-date machine makes no network call.
set -eu
packages="g++ clang cmake make pkg-config libxerces-c-dev libgtest-dev libgmock-dev \
libbenchmark-dev libxml2-dev locales binutils libclang-rt-14-dev"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends $missing
fi
