#!/usr/bin/env bash
# The reference's command-prompt lines that put a backslash before a
# quotation mark, typed into wine's cmd and split by vxhost.exe itself
# (CommandLineToArgvW): each prints what the page says it prints.  The
# docs test runs the same lines with the linux vxhost, splitting them as
# it believes Windows does; this test catches that belief going wrong.
#
# usage: cmd_lines_test.sh WINE-RUN VXHOST.EXE DOCUMENT.md
set -u
runner=$1
exe=$2
document=$3
folder=$(cd "$(dirname "$exe")" && pwd)
batch="vxhost-cmd-lines-$$.bat"
trap 'rm -f "$folder/$batch"' EXIT

passed=0
failed=0

# run_line COMMAND: COMMAND as a line of a batch file in vxhost.exe's
# folder, through cmd; sets actual to what it printed, without carriage
# returns.
run_line() {
  printf '@echo off\r\n%s\r\n' "$1" >"$folder/$batch"
  actual=$(cd "$folder" && "$runner" cmd /c "$batch" 2>&1 </dev/null | tr -d '\r')
}

# The lines, from the document's ```cmd blocks: a prompt, the command, and
# the lines up to the next blank line as what it prints.
command=""
expected=""
where=""
check() {
  [ -n "$command" ] || return 0
  run_line "$command"
  if [ "$actual" = "$(printf '%s' "$expected")" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $where: $command"
    diff -u --label expected --label actual <(printf '%s' "$expected") <(printf '%s\n' "$actual") | sed 's/^/  /'
  fi
  command=""
}
number=0
in_cmd=0
any_prompt='^[A-Z]:\\[^>]*>'
prompt='^[A-Z]:\\[^>]*>(vxhost.*\\".*)$'
while IFS= read -r line || [ -n "$line" ]; do
  number=$((number + 1))
  if [ $in_cmd = 0 ]; then
    [ "$line" = '```cmd' ] && in_cmd=1
    continue
  fi
  if [ "$line" = '```' ] || [ -z "$line" ] || [[ $line =~ $any_prompt ]]; then
    check
  fi
  if [ "$line" = '```' ]; then
    in_cmd=0
  elif [[ $line =~ $prompt ]]; then
    command=${BASH_REMATCH[1]}
    expected=""
    where="$document:$number"
  elif [ -n "$command" ] && [ -n "$line" ]; then
    expected+="$line"$'\n'
  fi
done <"$document"

# The lines write below HKEY_CURRENT_USER\Software\Vantorix Demo.
run_line 'vxhost Vantorix-DeleteRegistryKey "HKEY_CURRENT_USER|Software|Vantorix Demo"'

if [ $((passed + failed)) -eq 0 ]; then
  echo "FAIL $document: no command line with a backslash before a quotation mark"
  exit 1
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
