#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when one is missing,
# so that a second run costs nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
  libsqlite3-dev sqlite3 liblz4-dev
  libpq-dev postgresql-15 postgresql-client-15
  libgtest-dev libgmock-dev libbenchmark-dev
  libgmime-3.0-dev msmtp python3-aiosmtpd zip unzip
  unixodbc unixodbc-dev odbcinst libsqliteodbc odbc-postgresql libxlsxwriter-dev
  help2man groff-base appstream desktop-file-utils shared-mime-info libglib2.0-bin python3
  xvfb openbox xdotool x11-utils imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
