#!/bin/sh
# A short tour of the zelxml tool on the bundled sample document.
set -eu
cd "$(dirname "$0")/.."
zelxml=${ZELXML:-./build/tools/zelxml/zelxml}
sample=examples/sample.xml
out=$(mktemp /tmp/zelxml-tour-XXXXXX.xml)
trap 'rm -f "$out"' EXIT
run() {
  echo "\$ zelxml $*"
  "$zelxml" "$@"
  echo
}
run check "$sample"
run show "$sample"
run get "$sample" config/server/port
run get "$sample" 'config/server[2]/@name'
run get "$sample" "config/server[@name='backup']/host"
run get "$sample" '//user[@role="admin"]'
run set "$sample" 'config/server[1]/port' 9090 -o "$out"
run delete "$out" 'config/users/user[2]'
run get "$out" '//port'
run fmt "$out"
