#!/bin/sh
# Instruction counts of each pair under callgrind, on 2 MB inputs: repeatable where wall-clock
# time on a shared virtual machine is not (its timings vary by half from run to run).
# ZEL_BENCH_INPUTS lists the inputs: generated ones by label, installed files by absolute path,
# e.g. ZEL_BENCH_INPUTS="records-2MB /usr/share/mime/packages/freedesktop.org.xml".
# libxml2_save is xmlSaveFormatFileEnc(path, doc, "UTF-8", 1) of libxml2's tree of the same input
# (parsed beforehand, blank text dropped); every writer makes a new file in /tmp.
# XMLEvaluatePath evaluates a predicate path over SAX_XMLMemRead's tree, libxml2_xpath the same
# path over libxml2's tree; its share of an XMLReadFile read is the last pair.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DZEL_XML3_BUILD_BENCH=ON >/dev/null
cmake --build build-release -j2 --target zel_xml3_bench >/dev/null
bin=./build-release/bench/zel_xml3_bench
counted=$(mktemp -d)
trap 'rm -rf "$counted"' EXIT
count() {  # count OP INPUT: instructions inside one run of OP (repeatable, so counted once)
  known=$counted/$1.$(echo "$2" | tr / _)
  [ -f "$known" ] || measure "$1" "$2" > "$known"
  cat "$known"
}
measure() {  # stops the script when OP fails
  out=$(ZEL_BENCH_MB=2 ZEL_BENCH_INPUT=$2 ZEL_BENCH_ONCE=$1 valgrind --tool=callgrind \
    --toggle-collect=zelbench_measured --callgrind-out-file=/dev/null "$bin" 2>&1) || {
    echo "$out" | grep zelbench: >&2; echo "$1 on $2 failed" >&2; exit 1; }
  echo "$out" | awk '/Collected/ {print $4}'
}
printf '%-16s %-12s %-12s %14s %14s %7s %7s\n' library versus input "library instr" "other instr" ratio target
for input in ${ZEL_BENCH_INPUTS:-records-2MB text-2MB}; do
  for pair in "XMLRead bare_dom 0.40:0.70" "XMLRead SAX_XMLMemRead 1.25" "SAX_XMLMemRead bare_sax 1.5:1.3" \
              "XMLWrite bare_write 1.15" "XMLWrite libxml2_save 0.5" "XMLWrite_latin1 libxml2_save 1.5" \
              "XMLWrite_utf16 libxml2_save 1.5" "XMLEvaluatePath libxml2_xpath 1.0" \
              "XMLEvaluatePath XMLReadFile 0.10"; do
    set -- $pair
    target=$3
    # first target: markup-dense and installed files; second: text-heavy
    case $target in *:*) [ "${input#text}" = "$input" ] && target=${target%:*} || target=${target#*:} ;; esac
    lib=$(count "$1" "$input")
    other=$(count "$2" "$input")
    awk -v l="$lib" -v o="$other" -v a="$1" -v b="$2" -v i="${input##*/}" -v t="$target" 'BEGIN {
      r = l / o; printf "%-16s %-12s %-12s %14d %14d %7.2f %7.2f%s\n", a, b, i, l, o, r, t, (r > t ? "  MISSED" : "") }'
  done
  read_sax=$(count SAX_XMLMemRead "$input")
  freeing=$(count XMLFreeRootNode "$input")
  awk -v f="$freeing" -v r="$read_sax" -v i="${input##*/}" 'BEGIN {
    printf "%-16s %-12s %-12s %14d %14s %6.1f%% of the SAX_XMLMemRead read\n", "XMLFreeRootNode", "", i, f, "", 100 * f / r }'
done
