#!/bin/sh
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each one in turn.
# usage: fuzz/run.sh [SECONDS_PER_TARGET]   (default 300; CI runs a short pass)
# The two targets driven by tree operations (tree_ops, write) share one target's time.
# New corpus entries go to fuzz/out/<target>/; a failing input is saved as
# fuzz/out/<target>-crash-... (or -leak-, -timeout-, -oom-) and the script fails.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-300}
targets="sax_bytes sax_wide dom_read roundtrip keep_all tree_ops write path"
cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZEL_XML3_FUZZ=ON \
  -DZEL_XML3_BUILD_TESTS=OFF -DZEL_XML3_BUILD_TOOLS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2 --target $(for t in $targets; do printf 'fuzz_%s ' "$t"; done) >/dev/null
mkdir -p fuzz/out
rm -f fuzz/out/*-crash-* fuzz/out/*-leak-* fuzz/out/*-timeout-* fuzz/out/*-oom-* fuzz/out/*-slow-unit-*
failed=""
for target in $targets; do
  case $target in
    tree_ops|write) seeds=fuzz/corpus/tree_ops; budget=$(( (seconds + 1) / 2 )) ;;
    path) seeds=fuzz/corpus/path; budget=$seconds ;;
    *) seeds=fuzz/corpus/xml; budget=$seconds ;;
  esac
  mkdir -p "fuzz/out/$target"
  # The timeout and memory limit turn an unbounded entity expansion into a reported failure.
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ./build-fuzz/fuzz/fuzz_$target -dict=fuzz/xml.dict -max_total_time="$budget" -timeout=10 \
    -rss_limit_mb=2048 -max_len=65536 -close_fd_mask=3 -artifact_prefix="fuzz/out/$target-" \
    -print_final_stats=1 "fuzz/out/$target" "$seeds" >"fuzz/out/$target.log" 2>&1 || true
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "fuzz/out/$target.log")
  echo "fuzz_$target: ${budget}s, ${runs:-0} executions"
  if ls fuzz/out/$target-* >/dev/null 2>&1 || [ -z "$runs" ]; then
    grep -E "ERROR|SUMMARY|check failed" "fuzz/out/$target.log" || tail -20 "fuzz/out/$target.log"
    failed="$failed $target"
  fi
done
[ -z "$failed" ] || { echo "failing fuzz targets:$failed (inputs in fuzz/out/)"; exit 1; }
echo "all fuzz targets ran clean"
