#!/usr/bin/env bash
# Pictures of the Users, Groups and Readers pages for the README, taken from a real X server:
#   tests/pages/screenshots.sh BUILD_DIR OUTPUT_DIR      (e.g. build docs/screenshots)
# Needs xvfb.
set -euo pipefail
build=$(cd "${1:?usage: screenshots.sh BUILD_DIR OUTPUT_DIR}" && pwd)
mkdir -p "${2:?usage: screenshots.sh BUILD_DIR OUTPUT_DIR}"
out=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/run"
chmod 700 "$scratch/run"
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1024x768x24" "$build/tests/pages/page-screenshots" "$out"
