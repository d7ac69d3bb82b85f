#!/usr/bin/env bash
# Builds the footprint benchmark and runs it inside a fresh simulated notebook (three ECO modes).
#   bench/footprint/run.sh [settle seconds]
source "$(dirname "$0")/../sim-bench.sh"
sim_bench notebook-3mode 600 "footprint_bench simctl powrprof_sim" footprint_bench.exe "${1:-10}"
