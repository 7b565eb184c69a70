#!/usr/bin/env bash
# Runs the examples of markdown documents and compares what they give.
#
# usage: docs_test.sh VXHOST LETTER_TABLE [--for-authors] DOCUMENT.md...
#
# Every fenced block of a document is an example, run in page order on a
# registry file of the document's own, fresh at its start.  A block of any
# other kind fails: no example goes unchecked.
#
#   ```console      shell sessions: lines starting with "$ " are commands
#                   ("> " lines continue them), the lines up to the next
#                   command what they print (standard output and standard
#                   error together).  `vxhost` is the program under test.
#                   One shell per block, in one folder per document.
#   ```calculation  FileMaker calculations.  "Name:  contents" gives a
#                   field, for the rest of the block; "Calculation:  " an
#                   External call, whose parameter is text constants and
#                   fields joined by &; the "Result:  " after it what the
#                   call answers, further paragraphs on lines indented to
#                   the same column, "(no answer)" for none.
#   ```cmd          Windows command prompt sessions: a prompt "C:\...>"
#                   followed by a vxhost command line, in cmd's double
#                   quotes, or by "echo %ERRORLEVEL%"; then what it prints
#                   (carriage return and line feed as one line end).
#   ```reg          a registry editor file, imported.
#
# In the prose, "`External(...)` answers `text`" is a calculation too; and
# a table headed "| exit status | when |" or "| ERRORLEVEL | when |" must
# list the statuses that `vxhost --help` lists, in its order, each row
# saying only what the help says of that status (the row's clauses, split
# at "; ", are quoted from it).
# The tables that LETTER_TABLE prints (blank lines between them) must each
# stand in a document exactly as printed, found by their heading row.
#
# A document named after --for-authors is written for database authors,
# who are not programmers: its prose (outside code) uses none of the words
# in plain_words.sh.
set -u
vxhost="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
letter_table=$2
shift 2
export VXHOST_UNDER_TEST="$vxhost"
export LC_ALL=C.UTF-8

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0
failed=0

# fail WHERE WHAT EXPECTED ACTUAL: reports a mismatch with its diff.
fail() {
  failed=$((failed + 1))
  echo "FAIL $1: $2"
  diff -u --label expected --label actual <(printf '%s\n' "$3") <(printf '%s\n' "$4") | sed 's/^/  /'
}

# unreadable WHERE WHY: an example that this test cannot run is a failure.
unreadable() {
  failed=$((failed + 1))
  echo "FAIL $1: cannot be checked: $2"
}

# Runs one call; sets status and out (standard output, exact) and err.
call_vxhost() {
  "$vxhost" "$@" >"$work/out" 2>"$work/err" </dev/null
  status=$?
  out=$(cat "$work/out"; echo .)
  out=${out%.}
  err=$(cat "$work/err")
}

# The calculations and command-prompt sessions.
source "$(dirname "${BASH_SOURCE[0]}")/reference_examples.sh"
source "$(dirname "${BASH_SOURCE[0]}")/plain_words.sh"

# --- shell sessions and registry files ---------------------------------------

# run_console FIRST_LINE: the block in block[], in one shell, so that
# `echo $?` sees the command before it.
run_console() {
  local first=$1 i m=0 dir="$work/console" continued='^>( |$)' actual
  local -a commands=() lines=() outputs=()
  rm -rf "$dir" && mkdir -p "$dir"
  for ((i = 0; i < ${#block[@]}; i++)); do
    if [[ ${block[i]} == '$ '* ]]; then
      m=${#commands[@]}
      commands+=("${block[i]:2}"$'\n')
      lines+=($((first + i)))
      outputs+=("")
      while [[ ${block[i + 1]-} =~ $continued ]]; do
        i=$((i + 1))
        commands[m]+="${block[i]:2}"$'\n'
      done
    elif ((${#commands[@]} > 0)); then
      outputs[m]+="${block[i]}"$'\n'
    else
      unreadable "$document:$((first + i))" "output before the first command"
    fi
  done
  {
    echo 'vxhost() { "$VXHOST_UNDER_TEST" "$@"; }'
    for ((m = 0; m < ${#commands[@]}; m++)); do
      # The marker keeps $? as the command before it left it.
      echo "__status=\$?; printf '\\036%d\\n' $m; (exit \$__status)"
      printf '%s' "${commands[m]}"
    done
  } >"$dir/script"
  (cd "$run" && bash "$dir/script" >"$dir/actual" 2>&1 </dev/null)
  awk -v prefix="$dir/actual-" '/^\036[0-9]+$/ { file = prefix substr($0, 2); printf "" > file; next } { print > file }' "$dir/actual"
  for ((m = 0; m < ${#commands[@]}; m++)); do
    touch "$dir/actual-$m"
    actual=$(cat "$dir/actual-$m"; echo .)
    actual=${actual%.}
    if [ "$actual" = "${outputs[m]}" ]; then
      passed=$((passed + 1))
    else
      fail "$document:${lines[m]}" "${commands[m]%%$'\n'*}" "${outputs[m]}" "$actual"
    fi
  done
}

# run_reg FIRST_LINE: imports the block in block[].
run_reg() {
  printf '%s\n' "${block[@]}" >"$work/block.reg"
  call_vxhost --import "$work/block.reg"
  if [ "$status" -eq 0 ] && [ -z "$out$err" ]; then
    passed=$((passed + 1))
  else
    fail "$document:$1" "the registry file does not import" "" "$out$err(exit status $status)"
  fi
}

# --- the prose ---------------------------------------------------------------

# The exit statuses of `vxhost --help`: help_status[N] is the text of N,
# help_numbers their order.
declare -A help_status
help_numbers=""
read_help_statuses() {
  local line number="" inside=0
  while IFS= read -r line; do
    if [ "$line" = "Exit status" ]; then
      inside=1
    elif [ $inside = 1 ] && [[ $line =~ ^\ \ ([0-9]+)\ \ (.*)$ ]]; then
      number=${BASH_REMATCH[1]}
      help_status[$number]=${BASH_REMATCH[2]}
      help_numbers+="$number "
    elif [ $inside = 1 ] && [ -n "$number" ] && [[ $line =~ ^\ {5}([^ ].*)$ ]]; then
      help_status[$number]+=" ${BASH_REMATCH[1]}"
    elif [ $inside = 1 ] && [ -n "$number" ]; then
      inside=0
    fi
  done < <("$vxhost" --help)
}

# check_status_table FIRST_LINE: the table's rows in table[].
check_status_table() {
  local row number text clause numbers="" where="$document:$1" ok=1
  for row in "${table[@]}"; do
    if ! [[ $row =~ ^\|\ *([0-9]+)\ *\|\ *(.*[^ ])\ *\|$ ]]; then
      unreadable "$where" "a row that is not | number | text |: $row"
      return
    fi
    number=${BASH_REMATCH[1]}
    text=${BASH_REMATCH[2]//\`/}
    numbers+="$number "
    while [ -n "$text" ]; do
      clause=${text%%; *}
      text=${text:${#clause}}
      text=${text#; }
      if [[ ${help_status[$number]-} != *"$clause"* ]]; then
        fail "$where" "status $number: the page says what vxhost --help does not" "${help_status[$number]-}" "$clause"
        ok=0
      fi
    done
  done
  if [ "$numbers" != "$help_numbers" ]; then
    fail "$where" "the statuses differ from vxhost --help's" "$help_numbers" "$numbers"
  elif [ $ok = 1 ]; then
    passed=$((passed + 1))
  fi
}

# check_paragraph FIRST_LINE TEXT: the calculations that a paragraph of
# prose states the answer of.
check_paragraph() {
  local rest=$2
  fields=()
  while [[ $rest =~ \`(External\([^\`]*\))\`\ answers\ \`([^\`]*)\`(.*)$ ]]; do
    rest=${BASH_REMATCH[3]}
    check_calculation "$document:$1" "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}" 0
  done
}

# --- generated tables ---------------------------------------------------------

# generated[k] is a table that LETTER_TABLE prints, with a line end after
# each row; found[k] how many times the documents hold it.
generated=()
found=()
read_generated_tables() {
  local line table=""
  while IFS= read -r line; do
    if [ -n "$line" ]; then
      table+="$line"$'\n'
    elif [ -n "$table" ]; then
      generated+=("$table")
      table=""
    fi
  done < <("$letter_table")
  [ -n "$table" ] && generated+=("$table")
  for table in "${generated[@]}"; do found+=(0); done
}

# generated_index LINE: the index of the generated table that LINE heads,
# or -1.
generated_index() {
  local k
  for k in "${!generated[@]}"; do
    if [ "$1" = "${generated[k]%%$'\n'*}" ]; then
      echo "$k"
      return
    fi
  done
  echo -1
}

# check_generated FIRST_LINE: the table in generated_rows, headed by the
# generated table generated_at.
check_generated() {
  found[generated_at]=$((found[generated_at] + 1))
  if [ "$generated_rows" = "${generated[generated_at]}" ]; then
    passed=$((passed + 1))
  else
    fail "$document:$1" "the table is not what the character tables give (print it with $letter_table)" \
      "${generated[generated_at]%$'\n'}" "${generated_rows%$'\n'}"
  fi
}

# --- one document ------------------------------------------------------------

run_document() {
  document=$1
  local number=0 line kind="" first=0 paragraph="" paragraph_line=0 table_line=0 in_table=0 before generated_line=0
  generated_at=-1
  generated_rows=""
  before=$((passed + failed))
  run="$work/run-$((++documents))"
  mkdir -p "$run"
  export VANTORIX_REGISTRY="$run/registry.reg"
  block=()
  table=()
  while IFS= read -r line || [ -n "$line" ]; do
    number=$((number + 1))
    if [ -n "$kind" ]; then
      if [[ $line =~ ^\`\`\`\ *$ ]]; then
        case $kind in
          calculation) run_calculations "$first" ;;
          cmd) run_cmd "$first" ;;
          console) run_console "$first" ;;
          reg) run_reg "$first" ;;
          *) unreadable "$document:$((first - 1))" "a \`\`\`$kind block, which this test does not run" ;;
        esac
        kind=""
        block=()
      else
        block+=("$line")
      fi
      continue
    fi
    if [ "$generated_at" -ge 0 ] && [[ $line == \|* ]]; then
      generated_rows+="$line"$'\n'
    elif [ "$generated_at" -ge 0 ]; then
      check_generated "$generated_line"
      generated_at=-1
    fi
    if [ "$generated_at" -lt 0 ] && [[ $line == \|* ]] && [ -z "$paragraph" ]; then
      generated_at=$(generated_index "$line")
      generated_line=$number
      generated_rows="$line"$'\n'
    fi
    if [ $in_table = 1 ] && [[ $line != \|* ]]; then
      check_status_table "$table_line"
      in_table=0
      table=()
    fi
    if [[ $line =~ ^\ *\`\`\`(.*)$ ]]; then
      [ -n "$paragraph" ] && check_paragraph "$paragraph_line" "$paragraph"
      paragraph=""
      kind=${BASH_REMATCH[1]:-"(plain)"}
      [[ $line == " "* ]] && kind="(indented)"
      first=$((number + 1))
    elif [ -z "$line" ] || [[ $line == \#* ]]; then
      [ -n "$paragraph" ] && check_paragraph "$paragraph_line" "$paragraph"
      paragraph=""
    else
      [ -z "$paragraph" ] && paragraph_line=$number
      paragraph+="$line "
      if [[ $line =~ ^\|\ *(exit\ status|ERRORLEVEL)\ *\|\ *when\ *\|$ ]]; then
        in_table=1
        table_line=$number
      elif [ $in_table = 1 ] && ! [[ $line =~ ^\|[-|\ ]+\|$ ]]; then
        table+=("$line")
      fi
    fi
  done <"$document"
  [ $in_table = 1 ] && check_status_table "$table_line"
  [ "$generated_at" -ge 0 ] && check_generated "$generated_line"
  [ -n "$paragraph" ] && check_paragraph "$paragraph_line" "$paragraph"
  [ -n "$kind" ] && unreadable "$document:$((first - 1))" "a block that does not end"
  if [ $((passed + failed)) -eq "$before" ]; then
    unreadable "$document" "no examples found"
  fi
}

documents=0
read_help_statuses
for_authors=0
read_generated_tables
if [ ${#generated[@]} -eq 0 ]; then
  unreadable "$letter_table" "printed no table"
fi
for document in "$@"; do
  if [ "$document" = --for-authors ]; then
    for_authors=1
    continue
  fi
  run_document "$document"
  [ $for_authors = 1 ] && check_plain_words "$document"
  for_authors=0
done
for k in "${!generated[@]}"; do
  if [ "${found[k]}" -ne 1 ]; then
    document="the documents"
    fail "$document" "hold the generated table headed ${generated[k]%%$'\n'*} ${found[k]} times, not once" "" ""
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
