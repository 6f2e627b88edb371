#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine needs to build and test the library.
# Idempotent: packages already present are not fetched again.
set -euo pipefail
[ "$(id -u)" = 0 ] || { echo "setup-packages: run as root" >&2; exit 1; }

pkgs=(g++-mingw-w64-i686 wine wine32:i386 xvfb xauth fonts-liberation fonts-wqy-zenhei
      locales googletest cmake ninja-build libcapstone-dev clang libclang-rt-14-dev
      ghostscript poppler-utils binutils-mingw-w64-i686)
missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
