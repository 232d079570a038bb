#!/bin/sh
# Runs the zelxml tool as a process and compares outputs and exit codes.
# usage: tool_tests.sh ZELXML DATA_DIR GROUP   (GROUP: usage, check, show, fmt, get_set, stats, progress)
set -u
zelxml=$1
data=$2
group=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect CODE COMMAND...: runs the command, keeps stdout in $work/out and stderr in $work/err.
expect() {
  want=$1
  shift
  "$@" >"$work/out" 2>"$work/err"
  got=$?
  [ "$got" -eq "$want" ] || fail "exit $got, wanted $want: $* (stderr: $(head -c 300 "$work/err"))"
}

# same FILE EXPECTED_FILE: whole-file comparison.
same() {
  cmp -s "$1" "$2" || { fail "$1 differs from $2"; diff "$2" "$1" | head -20; }
}

contains() {
  grep -qF -- "$2" "$1" || fail "$1 lacks '$2': $(head -c 300 "$1")"
}

empty() {
  [ ! -s "$1" ] || fail "$1 should be empty: $(head -c 300 "$1")"
}

case $group in
usage)
  expect 2 "$zelxml"
  contains "$work/err" "usage: zelxml COMMAND"
  expect 0 "$zelxml" --help
  contains "$work/out" "zelxml check"
  expect 2 "$zelxml" frobnicate
  contains "$work/err" "unknown command 'frobnicate'"
  for cmd in check show fmt get set stats; do
    expect 0 "$zelxml" "$cmd" --help
    contains "$work/out" "usage: zelxml $cmd"
  done
  expect 2 "$zelxml" show --bogus "$data/config.xml"
  contains "$work/err" "unknown option --bogus"
  expect 2 "$zelxml" fmt "$data/config.xml" -o
  contains "$work/err" "-o needs a value"
  expect 2 "$zelxml" get "$data/config.xml"
  expect 2 "$zelxml" get "$data/config.xml" "config//port"
  contains "$work/err" "empty element name"
  expect 2 "$zelxml" get "$data/config.xml" "config/server[x]"
  contains "$work/err" "bad index"
  ;;
check)
  expect 0 "$zelxml" check "$data/config.xml"
  empty "$work/out"
  empty "$work/err"
  expect 1 "$zelxml" check "$data/config.xml" "$data/malformed.xml"
  contains "$work/err" "$data/malformed.xml:5:3: fatal error"
  expect 1 "$zelxml" check "$data/invalid.xml"
  contains "$work/err" "$data/invalid.xml:8:9: error"
  expect 3 "$zelxml" check "$work/missing.xml"
  contains "$work/err" "cannot read $work/missing.xml: No such file or directory"
  expect 1 "$zelxml" check "$data/empty.xml"
  contains "$work/err" "the file is empty"
  expect 3 "$zelxml" check "$data"
  contains "$work/err" "it is a directory"
  ;;
show)
  expect 0 "$zelxml" show "$data/config.xml"
  same "$work/out" "$data/config.show"
  expect 0 "$zelxml" show --sax "$data/config.xml"
  same "$work/out" "$data/config.show"
  expect 1 "$zelxml" show "$data/malformed.xml"
  contains "$work/err" "not a well-formed document"
  ;;
fmt)
  expect 0 "$zelxml" fmt "$data/config.xml"
  same "$work/out" "$data/config.fmt.xml"
  expect 0 "$zelxml" fmt "$data/config.xml" -o "$work/pretty.xml"
  same "$work/pretty.xml" "$data/config.fmt.xml"
  # Formatting what was formatted changes nothing.
  expect 0 "$zelxml" fmt "$work/pretty.xml"
  same "$work/out" "$data/config.fmt.xml"
  expect 0 "$zelxml" fmt "$data/config.xml" --encoding UTF-16 -o "$work/wide.xml"
  expect 0 "$zelxml" fmt "$work/wide.xml"
  same "$work/out" "$data/config.fmt.xml"
  expect 3 "$zelxml" fmt "$data/config.xml" -o "$work/no/such/dir/out.xml"
  contains "$work/err" "cannot write"
  ;;
get_set)
  expect 0 "$zelxml" get "$data/config.xml" config/server/port
  echo 8080 > "$work/want"; same "$work/out" "$work/want"
  expect 0 "$zelxml" get "$data/config.xml" "config/server[1]/host"
  echo backup.example.org > "$work/want"; same "$work/out" "$work/want"
  expect 0 "$zelxml" get "$data/config.xml" "config/users/user[1]/@role"
  echo guest > "$work/want"; same "$work/out" "$work/want"
  expect 1 "$zelxml" get "$data/config.xml" "config/server[2]/host"
  contains "$work/err" "no element server[2] under config"
  expect 1 "$zelxml" get "$data/config.xml" "other/server"
  contains "$work/err" "the document element is 'config', not 'other'"
  expect 1 "$zelxml" get "$data/config.xml" "config/server"
  contains "$work/err" "holds elements, not a value"
  expect 1 "$zelxml" get "$data/config.xml" "config/@missing"
  contains "$work/err" "no attribute missing"

  cp "$data/config.xml" "$work/edit.xml"
  chmod 640 "$work/edit.xml"
  expect 0 "$zelxml" set "$work/edit.xml" config/server/port 9090
  expect 0 "$zelxml" get "$work/edit.xml" config/server/port
  echo 9090 > "$work/want"; same "$work/out" "$work/want"
  [ "$(stat -c %a "$work/edit.xml")" = 640 ] || fail "set changed the file's permissions"
  ls -a "$work" | grep -q zelxml- && fail "a temporary file was left behind"
  expect 0 "$zelxml" set "$work/edit.xml" "config/server[1]/@name" standby
  expect 0 "$zelxml" get "$work/edit.xml" "config/server[1]/@name"
  echo standby > "$work/want"; same "$work/out" "$work/want"
  expect 0 "$zelxml" set "$work/edit.xml" config/limits/timeout 30 -o "$work/new.xml"
  expect 0 "$zelxml" get "$work/new.xml" config/limits/timeout
  echo 30 > "$work/want"; same "$work/out" "$work/want"
  expect 1 "$zelxml" get "$work/edit.xml" config/limits/timeout
  expect 2 "$zelxml" set "$work/edit.xml" config/server/port "$(printf 'caf\351')"
  contains "$work/err" "VALUE is not UTF-8 text"
  # A failed write leaves the old file as it was.
  cp "$work/edit.xml" "$work/before.xml"
  chmod 555 "$work"
  if [ "$(id -u)" != 0 ]; then
    expect 3 "$zelxml" set "$work/edit.xml" config/server/port 1
    same "$work/edit.xml" "$work/before.xml"
  fi
  chmod 755 "$work"
  ;;
stats)
  expect 0 "$zelxml" stats "$data/config.xml"
  contains "$work/out" "elements:      12"
  contains "$work/out" "text records:  9"
  contains "$work/out" "attributes:    5"
  contains "$work/out" "max depth:     3"
  contains "$work/out" "bytes:         $(wc -c < "$data/config.xml")"
  contains "$work/out" "MB/s"
  empty "$work/err"
  ;;
progress)
  expect 0 "$zelxml" stats --progress "$data/config.xml"
  contains "$work/err" "100%"
  expect 0 "$zelxml" check --progress "$data/config.xml"
  contains "$work/err" "] 100%"
  expect 0 "$zelxml" show --sax "$data/config.xml"
  empty "$work/err"
  ;;
*)
  echo "unknown group $group"
  exit 2
  ;;
esac

[ "$failures" -eq 0 ] || { echo "$failures failure(s) in $group"; exit 1; }
echo "ok: $group"
