#!/bin/sh
# How much one XMLWrite raises the process's peak resident memory (VmHWM) once the tree is read:
# a generated markup-dense document (50 MB unless MEGABYTES is given) is read, the peak noted,
# the tree written in UTF-8 to a new file in /tmp, and the raise printed (target: 32 MB).
# Each reader runs in a fresh process with the default allocator settings.
# usage: bench/write_memory.sh [MEGABYTES]
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DZEL_XML3_BUILD_BENCH=ON >/dev/null
cmake --build build-release -j2 --target zel_xml3_bench >/dev/null
bin=./build-release/bench/zel_xml3_bench
megabytes=${1:-50}
for reader in XMLRead SAX_XMLMemRead; do
  ZEL_BENCH_MB=$megabytes ZEL_BENCH_INPUT=records-${megabytes}MB ZEL_BENCH_SECTIONS=write-peak \
    ZEL_BENCH_READER=$reader "$bin"
done
