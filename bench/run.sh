#!/bin/sh
# Builds in Release and prints one table: every library/bare pair, then memory, then the DOM
# parse curve. Each pair runs in a process of its own (bare side first), so no pair inherits
# another's heap; both sides of a pair share the process and the allocator settings below:
# glibc keeps freed memory (no trimming, no mmap below 32 MB), so neither side pays page faults
# that the other avoids.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DZEL_XML3_BUILD_BENCH=ON >/dev/null
cmake --build build-release -j2 --target zel_xml3_bench >/dev/null
bin=./build-release/bench/zel_xml3_bench
export GLIBC_TUNABLES=glibc.malloc.trim_threshold=4294967296:glibc.malloc.mmap_threshold=33554432
echo "allocator: GLIBC_TUNABLES=$GLIBC_TUNABLES"
echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(uname -r)"
printf '\n%-16s %-14s %-13s %10s %10s %7s %7s\n' library versus input "lib MB/s" "other MB/s" ratio target
for input in ${ZEL_BENCH_INPUTS:-records-1MB records-32MB text-1MB text-32MB}; do
  for pair in 'bare_dom|XMLRead' 'bare_sax|SAX_XMLMemRead' 'libxml2_tree|SAX_XMLMemRead' 'bare_write|XMLWrite' \
              'libxml2_save|XMLWrite|XMLWrite_latin1|XMLWrite_utf16' \
              'SAX_XMLMemRead|XMLFreeRootNode|XMLCopyNodeData'; do
    ZEL_BENCH_INPUT=$input ZEL_BENCH_QUIET=1 ZEL_BENCH_NO_HEADER=1 ZEL_BENCH_SECTIONS=table \
      "$bin" --benchmark_filter="^($pair)/$input\$" --benchmark_min_time=0.5 "$@"
  done
done
echo
ZEL_BENCH_QUIET=1 ZEL_BENCH_SECTIONS=memory "$bin" --benchmark_filter=none
ZEL_BENCH_QUIET=1 ZEL_BENCH_SECTIONS=curve "$bin" --benchmark_filter=none
