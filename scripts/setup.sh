#!/usr/bin/env bash
# Installs the Debian 12 packages this project builds and tests with.
# Idempotent: does nothing (and says nothing) when everything is already there.
# `scripts/setup.sh validate` adds the packages only `make validate` uses.
set -euo pipefail

packages=(
  build-essential cmake ninja-build clang libclang-rt-14-dev
  libjpeg62-turbo-dev libexif-dev libstb-dev libcli11-dev nlohmann-json3-dev nettle-dev libcsv-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-charts-dev libqt6opengl6-dev qt6-svg-dev
  fonts-noto-cjk xauth locales
  pybind11-dev python3-dev python3-numpy python3-pandas python3-dask python3-distributed python3-pytest
  python3-matplotlib python3-pil python3-tqdm
  # Installing and packaging: man pages, icons, desktop and metainfo checks, the Debian packages
  # and their check, the pip route.
  help2man librsvg2-bin desktop-file-utils appstream dpkg-dev file lintian man-db
  python3-setuptools python3-wheel python3-venv python3-pip
)
# `setup.sh validate`: also what only `make validate` needs (the Gwyddion peer).
if [ "${1:-}" = validate ]; then
  packages+=(libgwyddion20-dev libglib2.0-dev pkg-config)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# The tests also run the programs under a decimal-comma locale.
locale_line='de_DE.UTF-8 UTF-8'
has_locale() { locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; }

if [ ${#missing[@]} -gt 0 ] || ! has_locale; then
  if [ "$(id -u)" -ne 0 ]; then
    if [ ${#missing[@]} -gt 0 ]; then
      echo "setup: missing packages: ${missing[*]}; run this script as root" >&2
    else
      echo "setup: the locale de_DE.UTF-8 is missing; run this script as root" >&2
    fi
    exit 1
  fi
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! has_locale; then
  echo "setup: generating the locale de_DE.UTF-8" >&2
  touch /etc/locale.gen
  if grep -q "^# *${locale_line}\$" /etc/locale.gen; then
    sed -i "s/^# *${locale_line}\$/${locale_line}/" /etc/locale.gen
  elif ! grep -q "^${locale_line}\$" /etc/locale.gen; then
    echo "${locale_line}" >> /etc/locale.gen
  fi
  locale-gen >/dev/null
fi
