#!/bin/sh
# zelxml get, check, fmt and set beside xmllint on one generated markup-dense document, in one run.
# fmt and set write a new file; xmllint --format is their peer (for set the nearest one: it reads
# and writes the whole document too), and xmlstarlet ed for set when it is installed.
# usage: bench/tool_vs_xmllint.sh [ZELXML] [MEGABYTES]   (xmllint: Debian's libxml2-utils)
set -eu
zelxml=${1:-./build/tools/zelxml/zelxml}
megabytes=${2:-50}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
doc=$work/records.xml
# Many small elements with attributes and short text, as configuration and data files are.
awk -v bytes=$((megabytes * 1000000)) 'BEGIN {
  print "<?xml version=\"1.0\"?>\n<catalog>"; size = 30
  for (i = 0; size < bytes; ++i) {
    line = sprintf("  <item id=\"i%d\" kind=\"k%d\"><name>n%d</name><price cur=\"EUR\">%d.%02d</price></item>", i, i % 7, i, i % 1000, i % 100)
    print line; size += length(line) + 1
  }
  print "</catalog>" }' > "$doc"
last=$(grep -o 'id="i[0-9]*"' "$doc" | tail -1 | sed 's/id="\(.*\)"/\1/')
path="//item[@id='$last']/price"
echo "document: $(wc -c < "$doc") bytes; path $path"
out=$work/out.xml
# best of three, seconds and peak memory; each run starts without $out
measure() {
  best=""
  for run in 1 2 3; do
    rm -f "$out"
    if ! /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2>&1; then
      echo "failed: $(head -1 "$work/time")"
      return
    fi
    now=$(tail -1 "$work/time")
    if [ -z "$best" ] || awk -v a="$now" -v b="$best" 'BEGIN { split(a, x); split(b, y); exit !(x[1] < y[1]) }'; then
      best=$now
    fi
  done
  echo "$best" | awk '{printf "%6.2f s %7.0f MB", $1, $2 / 1024}'
}
printf '%-44s %s\n' "zelxml get" "$(measure "$zelxml" get "$doc" "$path")"
printf '%-44s %s\n' "xmllint --xpath" "$(measure xmllint --xpath "$path" "$doc")"
printf '%-44s %s\n' "zelxml check" "$(measure "$zelxml" check "$doc")"
printf '%-44s %s\n' "xmllint --noout" "$(measure xmllint --noout "$doc")"
printf '%-44s %s\n' "zelxml fmt -o OUT" "$(measure "$zelxml" fmt --quiet "$doc" -o "$out")"
printf '%-44s %s\n' "xmllint --format > OUT (peer of fmt and set)" "$(measure sh -c 'exec xmllint --format "$1" > "$2"' sh "$doc" "$out")"
printf '%-44s %s\n' "zelxml set PATH 1.25 -o OUT" "$(measure "$zelxml" set --quiet "$doc" "$path" 1.25 -o "$out")"
if command -v xmlstarlet > /dev/null; then
  printf '%-44s %s\n' "xmlstarlet ed -u PATH -v 1.25 > OUT" \
    "$(measure sh -c 'exec xmlstarlet ed -u "$1" -v 1.25 "$2" > "$3"' sh "$path" "$doc" "$out")"
fi
