#!/bin/sh
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each one.
# usage: fuzz/run.sh [SECONDS_PER_TARGET]   (default 300; CI runs a short pass)
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-300}
cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZEL_XML3_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2 --target fuzz_sax_bytes fuzz_sax_wide fuzz_dom_read fuzz_roundtrip fuzz_tree_ops >/dev/null
mkdir -p fuzz/out
for target in sax_bytes sax_wide dom_read roundtrip tree_ops; do
  case $target in tree_ops) seeds=fuzz/corpus/tree_ops ;; *) seeds=fuzz/corpus/xml ;; esac
  mkdir -p "fuzz/out/$target"
  echo "fuzz_$target: ${seconds}s"
  ./build-fuzz/fuzz/fuzz_$target -dict=fuzz/xml.dict -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -max_len=65536 -close_fd_mask=3 -artifact_prefix="fuzz/out/$target-" -print_final_stats=1 \
    "fuzz/out/$target" "$seeds" 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY|crash-|Done" || true
  ls fuzz/out/$target-* >/dev/null 2>&1 && { echo "fuzz_$target found a failing input"; exit 1; }
done
echo "all fuzz targets ran clean"
