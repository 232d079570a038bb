#!/bin/sh
# Runs the zelxml tool as a process and compares outputs and exit codes.
# usage: tool_tests.sh ZELXML DATA_DIR GROUP
#   (GROUP: usage, check, show, fmt, get_set, delete, stats, progress; delete also runs the
#   tests of edit's other edits)
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

# lines FILE N: the file has exactly N lines.
lines() {
  [ "$(wc -l < "$1")" -eq "$2" ] || fail "$1 should have $2 line(s): $(head -c 300 "$1")"
}

# gets FILE PATH EXPECTED...: get prints exactly the expected lines.
gets() {
  file=$1 path=$2
  shift 2
  expect 0 "$zelxml" get "$file" -- "$path"
  printf '%s\n' "$@" > "$work/want"
  cmp -s "$work/out" "$work/want" || fail "get $path gave '$(cat "$work/out")', wanted '$*'"
}

# get_table FILE [OPTION...] < TABLE: each line XPATH#LINES, LINES the printed lines joined by ';'.
get_table() {
  file=$1
  shift
  while IFS='#' read -r path printed; do
    expect 0 "$zelxml" get "$@" "$file" -- "$path"
    printf '%s\n' "$printed" | tr ';' '\n' > "$work/want"
    cmp -s "$work/out" "$work/want" || fail "get $* $path gave '$(cat "$work/out")', wanted '$printed'"
  done
}

# Runs a command as an unprivileged user, for the permission rules; "" when none can be had.
unprivileged=""
if [ "$(id -u)" != 0 ]; then
  unprivileged=" "
elif command -v setpriv >/dev/null 2>&1; then
  unprivileged="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi

empty() {
  [ ! -s "$1" ] || fail "$1 should be empty: $(head -c 300 "$1")"
}

case $group in
usage)
  expect 2 "$zelxml"
  contains "$work/err" "usage: zelxml COMMAND"
  expect 0 "$zelxml" --help
  contains "$work/out" "zelxml check"
  contains "$work/out" "count(//user)"
  contains "$work/out" "--move XPATH WHERE TARGET"
  contains "$work/out" "entity references, attribute order"
  expect 0 "$zelxml" --version
  contains "$work/out" "zel_xml3 "
  contains "$work/out" "Xerces-C 3."
  expect 2 "$zelxml" frobnicate
  contains "$work/err" "unknown command 'frobnicate'"
  for cmd in check show fmt get set delete edit stats; do
    expect 0 "$zelxml" "$cmd" --help
    contains "$work/out" "usage: zelxml $cmd"
  done
  expect 2 "$zelxml" show --bogus "$data/config.xml"
  contains "$work/err" "unknown option --bogus"
  expect 2 "$zelxml" fmt "$data/config.xml" -o
  contains "$work/err" "-o needs a value"
  expect 2 "$zelxml" get "$data/config.xml"
  # A faulty XPATH is a usage error: the library's message, the expression, and a caret under
  # the offset the message names (counted in characters: é is two bytes, one column).
  while IFS='|' read -r path words; do
    expect 2 "$zelxml" get "$data/config.xml" -- "$path"
    contains "$work/err" "zelxml: bad XPATH: "
    contains "$work/err" "$words"
    offset=$(sed -n '1s/.* at offset \([0-9]*\)$/\1/p' "$work/err")
    column=$(printf '%s' "$path" | head -c "${offset:-0}" | iconv -f UTF-8 -t UTF-32LE | wc -c)
    { sed -n 1p "$work/err"; printf '  %s\n  %*s^\n' "$path" $((column / 4)) ''; } > "$work/want"
    [ -n "$offset" ] && same "$work/err" "$work/want"
  done <<'PATHS'
//a[@b='c'|expected ']'
config/|expected
count(//user|')'
//a]|']'
//x:y|'x'
$v|$v
café]|']'
frob(1)|frob
PATHS
  # Options that take values, and the edits' words.
  while IFS='|' read -r words complaint; do
    set -f
    # shellcheck disable=SC2086
    expect 2 "$zelxml" $words
    set +f
    contains "$work/err" "$complaint"
  done <<'ARGS'
get -N p tests.xml //p:a|-N takes PREFIX=URI, not 'p'
get --var =1 tests.xml $x|--var takes NAME=VALUE
edit tests.xml --insert //a sideways n|--insert takes before, after, first or last, not 'sideways'
edit tests.xml --text t|--text belongs to an --insert
edit tests.xml --move //a first|--move needs 3 values
edit tests.xml|edit needs at least one edit
show -N p=u tests.xml|unknown option -N
set tests.xml //a --set|unknown option --set
ARGS
  for edit in "--delete count(//a)" "--insert //a after 1bad" "--rename //a a=b" "--set //a/@x $(printf 'caf\351')"; do
    set -f
    # shellcheck disable=SC2086
    expect 2 "$zelxml" edit "$data/config.xml" $edit
    set +f
  done
  contains "$work/err" "VALUE is not UTF-8 text"
  expect 2 "$zelxml" show --dom "$data/config.xml"
  contains "$work/err" "unknown option --dom"
  ;;
check)
  expect 0 "$zelxml" check "$data/config.xml"
  empty "$work/out"
  empty "$work/err"
  expect 1 "$zelxml" check "$data/config.xml" "$data/malformed.xml"
  contains "$work/err" "$data/malformed.xml:5:3: fatal error: expected end of tag 'c'"
  lines "$work/err" 1
  # Fatal errors, from a file and from standard input alike: one line each, where the parser
  # reports them (a decoding error where its reader stood, the end of the declaration here).
  while IFS='|' read -r doc where; do
    printf "$doc" > "$work/bad.xml"
    expect 1 "$zelxml" check "$work/bad.xml"
    contains "$work/err" "$work/bad.xml:$where"
    lines "$work/err" 1
    sed "s|^$work/bad.xml:|<stdin>:|" "$work/err" > "$work/want"
    expect 1 "$zelxml" check - < "$work/bad.xml"
    same "$work/err" "$work/want"
  done <<'BAD'
<a>\000</a>|1:4: fatal error: input ended
<?xml version="1.0" encoding="UTF-8"?>\n<a>\n  <b>ok \377</b>\n</a>\n|3:9: fatal error: invalid byte 0xFF, not UTF-8
<?xml version="1.0" encoding="US-ASCII"?>\n<a>\351</a>\n|2:4: fatal error: byte 0xE9 is not representable
<?xml version="1.0" encoding="NO-SUCH"?><a/>|1:41: fatal error: unable to create converter for 'NO-SUCH'
<a><b></a>|1:9: fatal error: expected end of tag 'b'
BAD
  # Validity is checked only on request; a DOCTYPE of declarations alone is no problem.
  expect 0 "$zelxml" check "$data/invalid.xml" "$data/declarations.xml"
  empty "$work/err"
  expect 1 "$zelxml" check --valid "$data/invalid.xml"
  contains "$work/err" "$data/invalid.xml:8:9: error: no declaration found for element 'other'"
  expect 1 "$zelxml" check - < "$data/malformed.xml"
  contains "$work/err" "<stdin>:5:3: fatal error"
  # Standard input in any encoding the parser detects.
  sed 's/UTF-8/UTF-16/' "$data/config.xml" | iconv -f UTF-8 -t UTF-16 > "$work/wide.xml"
  printf '<a>x</a>' | iconv -t UTF-32 > "$work/wide32.xml"
  for wide in wide.xml wide32.xml; do
    expect 0 "$zelxml" check - < "$work/$wide"
    empty "$work/err"
  done
  # A pipe or FIFO is read whole, like standard input.
  mkfifo "$work/fifo"
  cat "$data/malformed.xml" > "$work/fifo" &
  feeder=$!
  expect 1 "$zelxml" check "$work/fifo"
  contains "$work/err" "$work/fifo:5:3: fatal error"
  kill "$feeder" 2>/dev/null
  expect 1 "$zelxml" check - < "$data/empty.xml"
  contains "$work/err" "empty"
  expect 3 "$zelxml" check "$work/missing.xml"
  contains "$work/err" "$work/missing.xml: cannot open: No such file or directory"
  expect 1 "$zelxml" check "$data/empty.xml"
  contains "$work/err" "the input is empty"
  expect 3 "$zelxml" check "$data"
  contains "$work/err" "$data: cannot read"
  ;;
show)
  expect 0 "$zelxml" show "$data/config.xml"
  same "$work/out" "$data/config.show"
  empty "$work/err"
  expect 0 "$zelxml" show - < "$data/config.xml"
  same "$work/out" "$data/config.show"
  # Every kind of record; attributes as written, in document order, without DTD defaults.
  expect 0 "$zelxml" show "$data/declarations.xml"
  printf '%s\n' '#doctype doc' '#comment " a comment "' 'doc b="2" a="1"' '  "hello "' '  &who;' '    "world"' \
    '  #cdata "<raw>"' '  #pi note "x"' > "$work/want"
  same "$work/out" "$work/want"
  # Long text is cut at a character boundary: 20 three-byte characters, then "...".
  expect 0 "$zelxml" show "$data/long_text.xml"
  contains "$work/out" "\"$(printf '\342\230\225%.0s' 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20)...\""
  expect 1 "$zelxml" show "$data/malformed.xml"
  contains "$work/err" "$data/malformed.xml:5:3: fatal error"
  contains "$work/err" "not a well-formed document"
  lines "$work/err" 2
  ;;
fmt)
  sed 's/^ *//' "$data/config.xml" | tr -d '\n' > "$work/flat.xml"
  expect 0 "$zelxml" fmt "$work/flat.xml"
  same "$work/out" "$data/config.xml"
  empty "$work/err"
  (umask 027 && "$zelxml" fmt "$work/flat.xml" -o "$work/pretty.xml")
  same "$work/pretty.xml" "$data/config.xml"
  [ "$(stat -c %a "$work/pretty.xml")" = 640 ] || fail "a new file should get the mode the umask gives"
  # Formatting what was formatted changes nothing, its declaration included.
  expect 0 "$zelxml" fmt - < "$data/config.fmt.xml"
  same "$work/out" "$data/config.fmt.xml"
  # The document's own encoding unless another is asked for; UTF-16 output carries its
  # byte-order mark, so it reads back from standard input too.
  expect 0 "$zelxml" fmt "$data/config.xml" --encoding UTF-16 -o "$work/wide.xml"
  expect 0 "$zelxml" fmt - < "$work/wide.xml"
  same "$work/out" "$work/wide.xml"
  expect 0 "$zelxml" fmt "$work/wide.xml" --encoding UTF-8
  same "$work/out" "$data/config.xml"
  # An encoding the writer does not know fails the write, which replaces nothing.
  cp "$data/config.xml" "$work/kept.xml"
  expect 3 "$zelxml" set "$work/kept.xml" "config/server[1]/port" 1 --encoding NO-SUCH-ENCODING
  contains "$work/err" "cannot write $work/kept.xml: unable to create converter for 'NO-SUCH-ENCODING'"
  same "$work/kept.xml" "$data/config.xml"
  expect 3 "$zelxml" fmt "$data/config.xml" -o "$work/no/such/dir/out.xml"
  contains "$work/err" "cannot write $work/no/such/dir/out.xml"
  # Comments, processing instructions, the DOCTYPE, CDATA, entity references and attribute
  # order are kept; element-only content is indented, mixed content left as it is.
  printf '<!DOCTYPE r [<!ENTITY e "E">]><r><!--c--><a z="1" b="2"><![CDATA[x<y]]></a><?p d?><b>&e;</b></r>' > "$work/kinds.xml"
  expect 0 "$zelxml" fmt "$work/kinds.xml"
  printf '%s\n' '<!DOCTYPE r [<!ENTITY e "E">]>' '<r>' '  <!--c-->' '  <a z="1" b="2"><![CDATA[x<y]]></a>' '  <?p d?>' \
    '  <b>&e;</b>' '</r>' > "$work/want"
  same "$work/out" "$work/want"
  expect 0 "$zelxml" fmt "$data/declarations.xml"
  same "$work/out" "$data/declarations.xml"
  empty "$work/err"
  # A reference to an entity only a DTD not read declares is written back as it stood; in
  # another encoding it would be lost, so that is refused unless forced.
  expect 0 "$zelxml" fmt "$data/remote_dtd.xml" -o "$work/remote.xml"
  contains "$work/err" "warning: remote DTD or entity not fetched: http://www.w3.org/"
  contains "$work/remote.xml" "caf&eacute; &amp; more"
  rm "$work/remote.xml"
  expect 1 "$zelxml" fmt "$data/remote_dtd.xml" --encoding ISO-8859-1 -o "$work/remote.xml"
  contains "$work/err" "--force writes anyway"
  [ -e "$work/remote.xml" ] && fail "a refused write left a file"
  expect 0 "$zelxml" fmt --force "$data/remote_dtd.xml" --encoding ISO-8859-1 -o "$work/remote.xml"
  contains "$work/remote.xml" "&amp; more"
  # Writing standard output into a pipe nobody reads stops at SIGTERM; closing the reader
  # ends the test either way.
  awk 'BEGIN { printf "<r>"; for (i = 0; i < 100000; i++) printf "<x>%d</x>", i; printf "</r>" }' > "$work/big.xml"
  mkfifo "$work/slow"
  "$zelxml" fmt "$work/big.xml" > "$work/slow" 2>/dev/null &
  writer=$!
  exec 3< "$work/slow"
  sleep 1
  kill -TERM "$writer" 2>/dev/null
  for i in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$writer" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$writer" 2>/dev/null && fail "fmt writing standard output ignored SIGTERM"
  exec 3<&-
  wait "$writer"
  ;;
get_set)
  gets "$data/config.xml" config/server/port 8080 8081
  gets "$data/config.xml" "/config/server[1]/port" 8080
  gets "$data/config.xml" "config/server[2]/host" backup.example.org
  gets "$data/config.xml" "config/server[@name='backup']/port" 8081
  gets "$data/config.xml" "config/server[host='example.org']/@name" primary
  gets "$data/config.xml" "//user[@role]/@role" admin guest
  gets "$data/config.xml" "config//port" 8080 8081
  gets "$data/config.xml" "config/*[2]/@name" backup
  gets "$data/config.xml" "config/server[1]" "" "    example.org" "    8080" "  "
  gets "$data/config.xml" "config/motd" "Welcome to the new system, café ☕."
  gets "$data/config.xml" "config/motd/text()" "Welcome to the " " system, café ☕."
  # [N] counts same-name siblings under each parent.
  gets "$data/nested.xml" "//b[1]" 1 3 4
  gets "$data/nested.xml" "//a[2]//b" 3 4 5
  gets "$data/nested.xml" "r/a/b[2]" 2
  expect 0 "$zelxml" get - "config/users/user[2]/@role" < "$data/config.xml"
  echo guest > "$work/want"; same "$work/out" "$work/want"
  # Values take CDATA and entity text; text() gives each run between other markup; names are
  # compared whole, past the 31 bytes a record's name holds.
  gets "$data/declarations.xml" doc "hello world <raw>"
  gets "$data/declarations.xml" "doc/text()" "hello world <raw>"
  printf '<r><n234567890123456789012345678901x>1</n234567890123456789012345678901x><n234567890123456789012345678901y>2<!--c-->3</n234567890123456789012345678901y></r>' > "$work/long.xml"
  gets "$work/long.xml" r/n234567890123456789012345678901y 23
  gets "$work/long.xml" "r/n234567890123456789012345678901y/text()" 2 3
  # Entities whose text was not read are named.
  printf '<!DOCTYPE r [<!ENTITY far SYSTEM "http://example.org/far.xml">]>\n<r>a&far;b</r>\n' > "$work/far.xml"
  gets "$work/far.xml" r ab
  contains "$work/err" "values lack the text of entities that was not read: &far;"
  # Any XPath 1.0 expression: numbers print as XPath's string() gives them (integers without a
  # point, the shortest decimal that reads back, NaN, Infinity), node-sets one node a line in
  # document order, whatever order the expression names them in.
  get_table "$data/config.xml" --var r=guest --var sep=- <<'GETS'
count(//user)#2
count(//server) > 1 and not(//motd/b = 'old')#true
//server[2]/port * 1.5#12121.5
sum(//port) div 4#4040.25
0.1 + 0.2#0.30000000000000004
1000000 * 1000000#1000000000000
-1 div 0#-Infinity
number(//host)#NaN
string-length(//user[1])#12
concat(//user[1]/@role, $sep, count(//@*))#admin-5
//port | //host#example.org;8080;backup.example.org;8081
//user[@role=$r]#Grace Hopper
//server[port > 8080]/@name#backup
//*[not(@*) and . = '8080']/../@name#primary
//user[not(@role='admin')]/@role#guest
//port/ancestor::server/@name#primary;backup
/child::config/child::server[last()]/child::host#backup.example.org
//b/following::text()[1]# system, café ☕.
GETS
  printf '<r><dir>d</dir><div>8</div><and>1</and><child>c</child></r>' > "$work/words.xml"
  get_table "$work/words.xml" <<'GETS'
/r/child::dir#d
//div div 2#4
//and and //child#true
/r/child::child#c
GETS
  # Unprefixed names match no namespace; prefixes bound with -N match by URI.
  get_table "$data/namespaces.xml" -N b=urn:books -N q=urn:prices <<'GETS'
//b:book[2]/b:title#Paths
sum(//q:price)#22.5
//q:price/@cur#EUR
count(//book)#0
GETS
  expect 1 "$zelxml" get "$data/namespaces.xml" //book
  expect 2 "$zelxml" get "$data/namespaces.xml" //b:book
  for path in "config/server[3]/host" "other/server" "config/@missing" "//server[@name='none']"; do
    expect 1 "$zelxml" get "$data/config.xml" "$path"
    contains "$work/err" "nothing matches $path"
  done

  cp "$data/config.xml" "$work/edit.xml"
  chmod 640 "$work/edit.xml"
  ln -s edit.xml "$work/link.xml"
  ln "$work/edit.xml" "$work/hard.xml"
  expect 0 "$zelxml" set "$work/link.xml" "config/server[1]/port" 9090
  gets "$work/edit.xml" config/server/port 9090 8081
  [ -L "$work/link.xml" ] || fail "set replaced a symbolic link by a file"
  gets "$work/hard.xml" "config/server[1]/port" 9090
  [ "$(stat -c %a "$work/edit.xml")" = 640 ] || fail "set changed the file's permissions"
  ls -a "$work" | grep -q zel_xml3_ && fail "a temporary file was left behind"
  rm "$work/hard.xml"
  expect 0 "$zelxml" set "$work/edit.xml" config/server/port 1
  gets "$work/edit.xml" config/server/port 1 1
  expect 0 "$zelxml" set "$work/edit.xml" "config/server[@name='backup']/@name" standby
  gets "$work/edit.xml" "config/server[2]/@name" standby
  expect 0 "$zelxml" set "$work/edit.xml" config/server/@zone eu
  gets "$work/edit.xml" "config/server/@zone" eu eu
  expect 0 "$zelxml" set "$work/edit.xml" config/limits/timeout 30 -o "$work/new.xml"
  gets "$work/new.xml" config/limits/timeout 30
  expect 1 "$zelxml" get "$work/edit.xml" config/limits/timeout
  diff "$work/edit.xml" "$work/new.xml" > "$work/diff"
  printf '%s\n' 15a16 '>   <limits><timeout>30</timeout></limits>' > "$work/want"
  same "$work/diff" "$work/want"
  # set writes back only what it changes: the file is the original with the edited line
  # changed, whatever its line ends, quotes, comments, DOCTYPE, byte-order mark or encoding.
  while IFS='|' read -r doc path value edit; do
    printf "$doc" > "$work/before.xml"
    cp "$work/before.xml" "$work/after.xml"
    expect 0 "$zelxml" set "$work/after.xml" "$path" "$value"
    [ "$(diff "$work/before.xml" "$work/after.xml" | grep -c '^[<>]')" -eq 2 ] || fail "set $path changed more than one line"
    sed "$edit" "$work/before.xml" > "$work/want"
    same "$work/after.xml" "$work/want"
  done <<'DOCS'
<?xml version="1.0"?>\r\n<c>\r\n  <port>80</port>\r\n  <!-- port -->\r\n</c>\r\n|c/port|9090|s/>80</>9090</
<?xml version='1.0' encoding='UTF-8'?>\n<c a='1'>\n  <s n='x' m='y'/>\n</c>\n|c/s/@n|z|s/n='x'/n='z'/
<!DOCTYPE c [\n<!ENTITY e "E">\n]>\n<!-- head -->\n<c>\n  <v>&e; old</v>\n  <w><![CDATA[<w>]]></w>\n</c>\n|c/v|new|s/&e; old/new/
\357\273\277<c>\n  <v>old</v>\n</c>\n|c/v|new|s/old/new/
<?xml version="1.0" encoding="ISO-8859-1"?>\n<c>\n  <v k="\351">old</v>\n  <w>\351t\351</w>\n</c>\n|c/v|new|s/old/new/
DOCS
  # Only a plain path creates what is missing.
  expect 1 "$zelxml" set "$work/edit.xml" "//server/weight" 5
  contains "$work/err" "nothing matches //server/weight"
  expect 1 "$zelxml" set "$work/edit.xml" "config/server[1]" x
  contains "$work/err" "server holds elements"
  for path in @id "text()"; do
    expect 1 "$zelxml" set "$work/edit.xml" "$path" 5
    contains "$work/err" "nothing matches $path"
  done
  expect 1 "$zelxml" set "$work/edit.xml" config/server/.. 5
  contains "$work/err" "config holds elements"
  expect 2 "$zelxml" set "$work/edit.xml" "count(//port)" 5
  contains "$work/err" "gives a number, not nodes"
  # String values come from one walk: a deep chain takes moments, not minutes.
  awk 'BEGIN { for (i = 0; i < 50000; i++) printf "<a>"; printf "t"; for (i = 0; i < 50000; i++) printf "</a>" }' > "$work/deep.xml"
  expect 0 timeout 20 "$zelxml" get "$work/deep.xml" "//a[a='t']"
  lines "$work/out" 49999
  expect 2 "$zelxml" set "$work/edit.xml" config/server/port "$(printf 'caf\351')"
  contains "$work/err" "VALUE is not UTF-8 text"
  # A file owned by another user keeps its owner when root rewrites it.
  if [ "$(id -u)" = 0 ]; then
    chown 65534:65534 "$work/edit.xml"
    expect 0 "$zelxml" set "$work/edit.xml" config/server/port 2
    [ "$(stat -c %u:%g "$work/edit.xml")" = 65534:65534 ] || fail "set changed the file's owner"
  fi
  # Permissions: a file the user may not write is refused and stays; in a folder the user may
  # not write, a writable file is rewritten in place.
  if [ -n "$unprivileged" ]; then
    chmod 755 "$work"
    cp "$data/config.xml" "$work/locked.xml"
    chmod 444 "$work/locked.xml"
    [ "$(id -u)" = 0 ] && chown 65534 "$work/locked.xml"
    expect 3 $unprivileged "$zelxml" set "$work/locked.xml" "config/server[1]/port" 1
    contains "$work/err" "cannot write $work/locked.xml"
    same "$work/locked.xml" "$data/config.xml"
    mkdir "$work/shut"
    cp "$data/config.xml" "$work/shut/open.xml"
    chmod 666 "$work/shut/open.xml"
    chmod 555 "$work/shut"
    expect 0 $unprivileged "$zelxml" set "$work/shut/open.xml" "config/server[1]/port" 7
    gets "$work/shut/open.xml" "config/server[1]/port" 7
    chmod 755 "$work/shut"
  fi
  # Interrupted while it writes: the old file or the new one, never a temporary file left.
  mkdir "$work/big"
  awk 'BEGIN { print "<list>"; for (i = 0; i < 300000; i++) print "<item n=\"" i "\">value " i "</item>"; print "</list>" }' \
    > "$work/big/list.xml"
  "$zelxml" set "$work/big/list.xml" "list/item[1]" changed 2>/dev/null &
  writer=$!
  tries=0
  while [ -z "$(ls -A "$work/big" | grep '^\.zel_xml3_')" ] && kill -0 "$writer" 2>/dev/null && [ $tries -lt 3000 ]; do
    sleep 0.005
    tries=$((tries + 1))
  done
  kill -TERM "$writer" 2>/dev/null
  wait "$writer"
  [ "$(ls -A "$work/big")" = list.xml ] || fail "an interrupted set left $(ls -A "$work/big" | tr '\n' ' ')"
  first=$("$zelxml" get "$work/big/list.xml" "list/item[1]")
  [ "$first" = "value 0" ] || [ "$first" = changed ] || fail "an interrupted set left item[1] as '$first'"
  ;;
delete)
  # delete, and the other edits of edit.
  cp "$data/config.xml" "$work/edit.xml"
  expect 0 "$zelxml" delete "$work/edit.xml" "config/server[2]"
  gets "$work/edit.xml" config/server/@name primary
  expect 0 "$zelxml" delete "$work/edit.xml" "config/server/@name" -o "$work/out.xml"
  expect 1 "$zelxml" get "$work/out.xml" "config/server/@name"
  gets "$work/edit.xml" config/server/@name primary
  cp "$work/edit.xml" "$work/before.xml"
  expect 0 "$zelxml" delete "$work/edit.xml" "//user"
  # Elements alone on their lines take the lines along, and nothing else changes.
  diff "$work/before.xml" "$work/edit.xml" > "$work/diff"
  printf '%s\n' 8,9d7 '<     <user role="admin">Ada Lovelace</user>' '<     <user role="guest">Grace Hopper</user>' > "$work/want"
  same "$work/diff" "$work/want"
  expect 0 "$zelxml" delete "$data/nested.xml" "//b" -o "$work/out.xml"
  expect 1 "$zelxml" get "$work/out.xml" "//b"
  expect 0 "$zelxml" show "$work/out.xml"
  printf 'r\n  a\n  a\n    c\n' > "$work/want"; same "$work/out" "$work/want"
  expect 0 "$zelxml" delete "$data/config.xml" "config/motd/text()" -o "$work/out.xml"
  gets "$work/out.xml" config/motd new
  printf '<r><x>1</x>a<y>2</y><x>3</x>b<y>4</y><x>5</x></r>' > "$work/mixed.xml"
  expect 0 "$zelxml" delete "$work/mixed.xml" "r/x" -o "$work/out.xml"
  gets "$work/out.xml" r a2b4
  gets "$work/out.xml" "r/y[2]" 4
  expect 1 "$zelxml" delete "$work/edit.xml" config
  contains "$work/err" "the document element cannot be deleted"
  expect 1 "$zelxml" delete "$work/edit.xml" "config/nothing"
  contains "$work/err" "nothing matches config/nothing"
  # Siblings go, the rest stays byte for byte: line ends, spacing, quotes, comments.
  printf '<list>\r\n  <i n="1"/>\r\n  <i  n = "2" >two</i>\r\n  <!-- keep -->\r\n  <i n="3"></i>\r\n  <j n=\0474\047/>\r\n</list>\r\n' > "$work/crlf.xml"
  expect 0 "$zelxml" delete "$work/crlf.xml" "//i[@n != 2]" -o "$work/out.xml"
  grep -v 'n="[13]"' "$work/crlf.xml" > "$work/want"
  same "$work/out.xml" "$work/want"
  # Each parent's children change in one pass: every other one of 300,000 siblings goes in moments.
  awk 'BEGIN { print "<list>"; for (i = 0; i < 300000; i++) print "  <i" (i % 2 ? " d=\"1\"" : "") ">" i "</i>"; print "</list>" }' > "$work/many.xml"
  expect 0 timeout 60 "$zelxml" delete "$work/many.xml" "//i[@d]" -o "$work/out.xml"
  grep -v 'd=' "$work/many.xml" > "$work/want"
  same "$work/out.xml" "$work/want"

  # edit: one read, the edits in order, each seeing what the ones before did, one write.
  expect 0 "$zelxml" edit "$data/config.xml" -o "$work/edited.xml" \
    --set "//server[@name='primary']/port" 9090 --delete "//user[@role='guest']" \
    --insert /config/users last user --attr role=ops --text "Alan Turing" --set "//user[last()]/@role" admin \
    --rename "//server/@name" id --rename //host hostname --move //motd first /config \
    --insert "//server[2]" after note --text "two servers" --delete //motd/b \
    --move "//server[@id='backup']/port" before "//server[@id='backup']/hostname"
  same "$work/edited.xml" "$data/config.edited.xml"
  # One run each on a small document: the edits, then the document they leave.
  printf '<r>\n  <a x="1" y="2" z="3">1</a>\n  <b/>\n  <!--c-->\n</r>\n' > "$work/small.xml"
  set -f
  while IFS='#' read -r edits after; do
    # shellcheck disable=SC2086
    expect 0 "$zelxml" edit "$work/small.xml" -o - $edits
    printf "$after" > "$work/want"
    same "$work/out" "$work/want"
  done <<'EDITS'
--insert //b before n#<r>\n  <a x="1" y="2" z="3">1</a>\n  <n/>\n  <b/>\n  <!--c-->\n</r>\n
--insert /r first n --attr k=v --insert //b after m#<r>\n  <n k="v"/>\n  <a x="1" y="2" z="3">1</a>\n  <b/>\n  <m/>\n  <!--c-->\n</r>\n
--insert //a first n --text t#<r>\n  <a x="1" y="2" z="3"><n>t</n>1</a>\n  <b/>\n  <!--c-->\n</r>\n
--move //comment() before //a#<r>\n  <!--c-->\n  <a x="1" y="2" z="3">1</a>\n  <b/>\n</r>\n
--move //a after //b#<r>\n  <b/>\n  <a x="1" y="2" z="3">1</a>\n  <!--c-->\n</r>\n
--move //*[.=''] first /r#<r>\n  <b/>\n  <a x="1" y="2" z="3">1</a>\n  <!--c-->\n</r>\n
--move //a/text() first //b#<r>\n  <a x="1" y="2" z="3"/>\n  <b>1</b>\n  <!--c-->\n</r>\n
--rename //@y w --rename //b c#<r>\n  <a x="1" w="2" z="3">1</a>\n  <c/>\n  <!--c-->\n</r>\n
--delete //a --delete //comment()#<r>\n  <b/>\n</r>\n
--set //comment() d --set //a/text() 2 --delete //@x#<r>\n  <a y="2" z="3">2</a>\n  <b/>\n  <!--d-->\n</r>\n
EDITS
  # A run that fails writes nothing.
  cp "$work/small.xml" "$work/kept.xml"
  while IFS='#' read -r edits complaint; do
    # shellcheck disable=SC2086
    expect 1 "$zelxml" edit "$work/kept.xml" $edits
    contains "$work/err" "$complaint"
    same "$work/kept.xml" "$work/small.xml"
  done <<'EDITS'
--delete //b --delete //nothing#nothing matches //nothing
--move //a first //a/text()#needs an element
--move /r/a first //a#lies in what moves
--move /r last //b#the document element cannot be moved
--rename //@x y#already has an attribute y
--delete /r#the document element cannot be deleted
--insert /r after n#nothing goes beside it
--set //a/text() x --set /r y#r holds elements
EDITS
  set +f
  ;;
stats)
  expect 0 "$zelxml" stats "$data/config.xml"
  contains "$work/out" "elements:      12"
  contains "$work/out" "text records:  25"
  contains "$work/out" "other records: 0"
  contains "$work/out" "attributes:    5"
  contains "$work/out" "max depth:     3"
  contains "$work/out" "bytes:         $(wc -c < "$data/config.xml")"
  contains "$work/out" "MB/s"
  empty "$work/err"
  expect 0 "$zelxml" stats - < "$data/config.xml"
  contains "$work/out" "elements:      12"
  contains "$work/out" "bytes:         $(wc -c < "$data/config.xml")"
  ;;
progress)
  expect 0 "$zelxml" stats --progress "$data/config.xml"
  contains "$work/err" "100%"
  expect 0 "$zelxml" check --progress "$data/config.xml"
  contains "$work/err" "] 100%"
  expect 0 "$zelxml" show "$data/config.xml"
  empty "$work/err"
  ;;
*)
  echo "unknown group $group"
  exit 2
  ;;
esac

[ "$failures" -eq 0 ] || { echo "$failures failure(s) in $group"; exit 1; }
echo "ok: $group"
