#!/usr/bin/env bash
# Builds the switch benchmark and runs it inside a fresh simulated notebook (three ECO modes).
#   bench/switch/run.sh [runs]
source "$(dirname "$0")/../sim-bench.sh"
sim_bench notebook-3mode 600 "switch_bench switch_baseline simctl powrprof_sim" switch_bench.exe "${1:-20}"
