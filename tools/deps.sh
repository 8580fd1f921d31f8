#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, only when missing.
set -euo pipefail
packages=(cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev python3 binutils procps tzdata file libedit2)
packages+=(libxml2-utils)                # xmllint judges built tasks in the tests
packages+=(iproute2)                     # ss shows the channel tests where a TCP channel listens
packages+=(libtiff-tools libjpeg-turbo-progs netpbm)  # judge the image files in the tests
packages+=(libtiff-dev libjpeg62-turbo-dev pkg-config)  # pmxcli --scan writes its pages with these; the image benchmark compares with libtiff
packages+=(libpugixml-dev libexpat1-dev)  # the XML benchmark compares with these only
packages+=(util-linux)                    # lslocks judges the file locks of the USB service
packages+=(clang libclang-rt-dev)         # libFuzzer for the fuzz targets
packages+=(libbz2-dev liblz4-dev)         # the compressor benchmark compares with these only
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
