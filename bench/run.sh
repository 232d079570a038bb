#!/bin/sh
# Builds in Release, runs every benchmark pair in one process and prints the table.
# Both sides of each pair share the allocator settings below: glibc keeps freed memory
# (no trimming, no per-allocation mmap), so neither side pays page faults the other avoids.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DZEL_XML3_BUILD_BENCH=ON >/dev/null
cmake --build build-release -j2 --target zel_xml3_bench >/dev/null
export GLIBC_TUNABLES=glibc.malloc.trim_threshold=4294967296:glibc.malloc.mmap_threshold=33554432
echo "allocator: $GLIBC_TUNABLES"
echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(uname -r)"
exec ./build-release/bench/zel_xml3_bench --benchmark_min_time=0.5 "$@"
