#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Installs only what is missing; runs apt-get update only when something is.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config git iproute2 util-linux
  # core libraries
  libsqlite3-dev sqlite3 libpugixml-dev libcurl4-openssl-dev libgumbo-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # user interface
  qt6-base-dev qt6-webengine-dev libgl-dev xvfb xauth
  # peers and tools used by the tests: XSL skin check, MHTML check,
  # sample service, real SMTP servers
  xsltproc chromium fonts-wqy-microhei python3 python3-aiosmtpd
  postfix sasl2-bin libsasl2-modules
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Postfix asks how to configure itself; the tests bring their own configuration.
echo "postfix postfix/main_mailer_type select No configuration" | $SUDO debconf-set-selections
echo "postfix postfix/mailname string localhost" | $SUDO debconf-set-selections
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
