#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Installs only what is missing; runs apt-get update only when something is.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config git iproute2 util-linux
  # core libraries
  libsqlite3-dev sqlite3 libpugixml-dev libcurl4-openssl-dev libgumbo-dev
  # the updater: its packages (tar.gz) and their SHA-256
  libarchive-dev libssl-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # user interface
  qt6-base-dev qt6-webengine-dev libgl-dev xvfb xauth xdotool imagemagick
  # the free icon theme the bitmap strips are composed from at build time
  tango-icon-theme
  # help file compiler and reader
  fp-utils libchm-dev libchm-bin
  # static checks
  clang-format clang-tidy
  # the Debian package and its checks (scripts/test-package.sh)
  dpkg-dev fakeroot lintian desktop-file-utils appstream
  # peers and tools used by the tests: XSL skin check, MHTML check,
  # sample service, real SMTP servers
  xsltproc chromium fonts-wqy-microhei python3 python3-aiosmtpd
  postfix sasl2-bin libsasl2-modules
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# --- Exim for the mail library's tests (tests/LQSMTP/exim_fixture.sh) -------
# Exim and Postfix exclude each other as packages, so Exim is not installed:
# its daemon and nss_wrapper (which gives the daemon its compiled-in user name
# without touching the system's accounts) are unpacked into .deps/exim, and
# only the shared libraries the daemon links are installed as packages.
# Does nothing once the folder is complete and its libraries are present.
EXIM_DIR="$(cd "$(dirname "$0")/.." && pwd)/.deps/exim"
exim_ready() {
  [ -x "$EXIM_DIR/usr/sbin/exim4" ] && ls "$EXIM_DIR"/usr/lib/*/libnss_wrapper.so >/dev/null 2>&1 &&
    ! ldd "$EXIM_DIR/usr/sbin/exim4" | grep -q "not found"
}
if ! exim_ready; then
  echo "install-deps: unpacking Exim into $EXIM_DIR"
  SUDO_EXIM=""
  if [ "$(id -u)" -ne 0 ]; then SUDO_EXIM="sudo"; fi
  if ! apt-cache show exim4-daemon-light >/dev/null 2>&1; then $SUDO_EXIM apt-get update -q; fi
  exim_libs=()
  for lib in $(apt-cache depends --no-recommends --no-suggests exim4-daemon-light |
               awk '$1 == "Depends:" && $2 ~ /^lib/ {print $2}'); do
    dpkg-query -W -f='${Status}' "$lib" 2>/dev/null | grep -q "install ok installed" ||
      exim_libs+=("$lib")
  done
  if [ "${#exim_libs[@]}" -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO_EXIM apt-get install -y -q --no-install-recommends "${exim_libs[@]}"
  fi
  exim_debs="$(mktemp -d)"
  chmod 777 "$exim_debs" # apt fetches as its own user
  (cd "$exim_debs" && apt-get download exim4-daemon-light libnss-wrapper)
  rm -rf "$EXIM_DIR"
  mkdir -p "$EXIM_DIR"
  for deb in "$exim_debs"/*.deb; do dpkg -x "$deb" "$EXIM_DIR"; done
  rm -rf "$exim_debs"
  # The tests run it as an ordinary user; a set-user-ID bit would only get in the way.
  chmod u-s "$EXIM_DIR/usr/sbin/exim4"
  exim_ready || { echo "install-deps: Exim in $EXIM_DIR is incomplete" >&2; exit 1; }
fi
# --- end of the Exim block ---------------------------------------------------

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
