#!/usr/bin/env bash
# Installs, on Debian 12 as root, whatever the build and the Wine test bed need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

need_pkgs=(
  cmake ninja-build make clang-format
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32 wine64 xvfb imagemagick procps
  fonts-ipafont-gothic fonts-wine
  locales googletest
  gcc libc6-dev pkg-config fuse3 libfuse3-dev
)

missing=()
for p in "${need_pkgs[@]}"; do
  # wine32 lives in the i386 architecture; every other package is native.
  q="$p"; [ "$p" = wine32 ] && q="wine32:i386"
  if ! dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$q")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The test bed runs under the Japanese locale so that the ANSI code page is 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: the ja_JP.UTF-8 locale is missing; run this script as root" >&2
    exit 1
  fi
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

test -f /usr/src/googletest/CMakeLists.txt || { echo "setup: /usr/src/googletest is missing" >&2; exit 1; }
echo "setup: everything is present"
