#!/usr/bin/env bash
# Runs the examples of a markdown document and compares what they print.
#
# usage: docs_test.sh VXHOST DOCUMENT.md
#
# An example is a ```console block: lines starting with "$ " are commands
# ("> " lines continue them, as in a shell), the lines after a command up to
# the next command are what it prints (standard output and standard error
# together).  The blocks run in their order, in one fresh folder, on one
# fresh registry file, and `vxhost` stands for the program under test.
set -u
vxhost="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
document=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VANTORIX_REGISTRY="$work/registry.reg"
export VXHOST_UNDER_TEST="$vxhost"
export LC_ALL=C.UTF-8

passed=0
failed=0

# Splits the document into blocks of commands and expected output, written
# as files: block-N/cmd-M and block-N/out-M, plus block-N/line-M.
awk -v dir="$work" '
  function flush() { if (cmd != "") { printf "%s", cmd > (prefix "/cmd-" n); printf "%s", out > (prefix "/out-" n); printf "%d", cmdline > (prefix "/line-" n); close(prefix "/cmd-" n); close(prefix "/out-" n); close(prefix "/line-" n) } cmd = ""; out = "" }
  /^```console[ \t]*$/ { inblock = 1; blocks++; prefix = dir "/block-" blocks; system("mkdir -p \"" prefix "\""); n = 0; cmd = ""; out = ""; next }
  inblock && /^```[ \t]*$/ { flush(); inblock = 0; next }
  inblock && /^\$ / { flush(); n++; cmd = substr($0, 3) "\n"; cmdline = NR; continuing = 1; next }
  inblock && continuing && /^>( |$)/ { cmd = cmd substr($0, 3) "\n"; next }
  inblock { continuing = 0; out = out $0 "\n" }
' "$document"

shopt -s nullglob
blocks=("$work"/block-*)
if [ ${#blocks[@]} -eq 0 ]; then
  echo "no examples found in $document"
  exit 1
fi

mkdir -p "$work/run"
for ((b = 1; b <= ${#blocks[@]}; b++)); do
  block="$work/block-$b"
  # One shell per block, so that `echo $?` sees the command before it.
  {
    echo 'vxhost() { "$VXHOST_UNDER_TEST" "$@"; }'
    for ((m = 1; ; m++)); do
      [ -f "$block/cmd-$m" ] || break
      # The marker keeps $? as the command before it left it.
      echo "__status=\$?; printf '\\036%d\\n' $m; (exit \$__status)"
      cat "$block/cmd-$m"
    done
  } >"$block/script"
  (cd "$work/run" && bash "$block/script" >"$block/actual" 2>&1 </dev/null)
  # Cut the output at the markers.
  awk -v prefix="$block/actual-" '/^\036[0-9]+$/ { file = prefix substr($0, 2); printf "" > file; next } { print > file }' "$block/actual"
  for ((m = 1; ; m++)); do
    [ -f "$block/cmd-$m" ] || break
    touch "$block/actual-$m"
    if cmp -s "$block/out-$m" "$block/actual-$m"; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
      echo "FAIL $document:$(cat "$block/line-$m"): $(head -1 "$block/cmd-$m")"
      diff -u --label expected --label actual "$block/out-$m" "$block/actual-$m" | sed 's/^/  /'
    fi
  done
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
