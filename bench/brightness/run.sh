#!/usr/bin/env bash
# Builds the brightness benchmark and runs it inside a fresh simulated desktop (two DDC/CI monitors).
#   bench/brightness/run.sh [runs]
source "$(dirname "$0")/../sim-bench.sh"
# The simulated PC needs every stand-in, simctl and the product.
sim_bench desktop-2mode 600 "" brightness_bench.exe "${1:-30}"
