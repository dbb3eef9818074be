#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that a make target needs and that are missing, so
# that `make demo` and `make test` are the only commands a fresh Debian machine
# needs (`make` itself is the one prerequisite). Prints what it installs; uses sudo
# when not run as root. HV_NO_INSTALL=1 skips it (the build then reports what is
# missing).
#   install_packages.sh build  what the default build (tests and benchmarks
#                              included), the programs and the report need
#   install_packages.sh test   that, clang for the fuzz harnesses, what the Python
#                              package's tests use, and GNU parallel, Slurm and
#                              munge for the campaign tests
set -euo pipefail
[ "${HV_NO_INSTALL:-0}" = 1 ] && exit 0
packages=(cmake g++ make pkg-config libfftw3-dev libmseed-dev python3 python3-matplotlib
          python3-dev python3-numpy pybind11-dev python3-pybind11
          libgtest-dev libgmock-dev libbenchmark-dev)
# The Python package's tests: pytest, and a virtual environment that pip installs
# into; the campaign's: GNU parallel and a one-node Slurm.
[ "${1:-build}" = test ] && packages+=(clang libclang-rt-14-dev python3-pytest python3-venv
                                       python3-setuptools python3-pip parallel slurm-wlm munge)
need=()
for pkg in "${packages[@]}"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
[ ${#need[@]} -eq 0 ] && exit 0
echo "install_packages: installing the missing Debian packages: ${need[*]}"
if ! command -v apt-get >/dev/null 2>&1; then
  echo "install_packages: no apt-get here; install them by hand (HV_NO_INSTALL=1 skips this)" >&2
  exit 1
fi
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${need[@]}"
