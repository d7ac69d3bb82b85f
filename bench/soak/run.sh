#!/usr/bin/env bash
# Builds the soak run and runs it inside a fresh simulated notebook (three ECO modes).
#   bench/soak/run.sh [seconds, default 600]
source "$(dirname "$0")/../sim-bench.sh"
sim_bench notebook-3mode $(( ${1:-600} + 300 )) "soak_bench simctl powrprof_sim" soak_bench.exe "${1:-600}"
