#!/usr/bin/env bash
# Installs the packages fanmesh needs to build and test (Debian).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends g++ cmake make libann-dev libgtest-dev libcli11-dev \
    pybind11-dev python3-dev python3-numpy python3-pytest
