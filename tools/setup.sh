#!/usr/bin/env bash
# Installs the build dependencies on Debian 12 when they are missing. Idempotent.
set -euo pipefail
packages=(cmake g++ make pkg-config libgtest-dev libfmt-dev libproj-dev proj-data libsqlite3-dev libcli11-dev
  zlib1g-dev clang libclang-rt-14-dev chromium dpkg-dev man-db
  python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pandas python3-dask python3-distributed
  postgresql-15 postgresql-15-postgis-3 python3-psycopg)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  # Without recommendations: on a fresh machine they add some 330 packages (1.2 GB installed: SciPy,
  # Matplotlib, Numba, CUPS, ...) that nothing here uses.
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    >/dev/null
fi
