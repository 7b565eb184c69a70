# The reference's own examples, for docs_test.sh (which sources this file
# and defines document, passed, fail, unreadable and call_vxhost): FileMaker
# calculations and Windows command-prompt sessions, each read and run
# through vxhost.

# --- calculations ------------------------------------------------------------

declare -A fields

# evaluate WHERE EXPRESSION: sets parameter to the text that a parameter
# expression gives: text constants and fields, joined by &.  A constant
# with a backslash or a paragraph mark, and a quotation mark inside one,
# are refused: how FileMaker Pro 5.5 reads them is not what the examples
# show.
evaluate() {
  local where=$1 rest=$2 name
  parameter=""
  while :; do
    rest=${rest#"${rest%%[! ]*}"}
    if [[ $rest =~ ^\"([^\"]*)\"(.*)$ ]]; then
      if [[ ${BASH_REMATCH[1]} == *[\\¶]* ]]; then
        unreadable "$where" "a text constant with a backslash or a paragraph mark"
        return 1
      fi
      parameter+=${BASH_REMATCH[1]}
      rest=${BASH_REMATCH[2]}
    else
      name=${rest%%&*}
      name=${name%"${name##*[! ]}"}
      rest=${rest:${#name}}
      if [ -z "$name" ] || [ -z "${fields[$name]+set}" ]; then
        unreadable "$where" "\"$name\" is neither a text constant nor a field that the example gives"
        return 1
      fi
      parameter+=${fields[$name]}
    fi
    rest=${rest#"${rest%%[! ]*}"}
    [ -z "$rest" ] && return 0
    if [ "${rest:0:1}" != "&" ]; then
      unreadable "$where" "expected & before: $rest"
      return 1
    fi
    rest=${rest:1}
  done
}

# check_calculation WHERE CALCULATION EXPECTED NO_ANSWER: runs the call and
# compares its answer: the text (one paragraph a line) or, when NO_ANSWER
# is 1, no answer at all.
check_calculation() {
  local where=$1 calculation=$2 expected=$3 no_answer=$4 want_status=0
  if ! [[ $calculation =~ ^External\(\"([^\"]*)\",\ (.*)\)$ ]]; then
    unreadable "$where" "not an External call: $calculation"
    return
  fi
  local function=${BASH_REMATCH[1]}
  evaluate "$where" "${BASH_REMATCH[2]}" || return
  call_vxhost "$function" "$parameter"
  local actual="$out(exit status $status)"
  if [ "$no_answer" = 1 ]; then
    want_status=3
    expected="(exit status 3)"
  else
    [ "$expected" = "<<ERROR>>" ] && want_status=1
    expected="$expected"$'\n'"(exit status $want_status)"
    # A call that answers normally says nothing more.
    [ "$status" -eq 0 ] && [ -n "$err" ] && actual+=$'\n'"$err"
  fi
  if [ "$actual" = "$expected" ]; then
    passed=$((passed + 1))
  else
    fail "$where" "$calculation" "$expected" "$actual"
  fi
}

# run_calculations FIRST_LINE: the block in block[].
run_calculations() {
  local first=$1 i=0 line where calculation column text expected no_answer indented
  fields=()
  while ((i < ${#block[@]})); do
    line=${block[i]}
    where="$document:$((first + i))"
    i=$((i + 1))
    if [ -z "$line" ]; then
      continue
    elif [[ $line =~ ^Calculation:\ +(.*)$ ]]; then
      calculation=${BASH_REMATCH[1]}
      if ! [[ ${block[i]-} =~ ^(Result:\ *)(.*)$ ]]; then
        unreadable "$where" "a calculation without a Result line after it"
        continue
      fi
      column=${#BASH_REMATCH[1]}
      expected=${BASH_REMATCH[2]}
      i=$((i + 1))
      while [[ ${block[i]-} == " "* ]]; do
        text=${block[i]}
        indented="^ {$column}[^ ]"
        if [ -z "$expected" ] || ! [[ $text =~ $indented ]]; then
          unreadable "$document:$((first + i))" "a further paragraph not indented to the result's column"
        fi
        expected+=$'\n'${text:column}
        i=$((i + 1))
      done
      no_answer=0
      [ "$expected" = "(no answer)" ] && no_answer=1
      check_calculation "$where" "$calculation" "$expected" "$no_answer"
    elif [[ $line =~ ^(([A-Za-z][A-Za-z0-9_\ ]*):\ +)(.*)$ ]] && [ "${BASH_REMATCH[2]}" != Result ]; then
      # A field of several paragraphs: further lines indented to the
      # contents' column, joined with FileMaker's paragraph mark, a
      # carriage return.
      local name=${BASH_REMATCH[2]} contents=${BASH_REMATCH[3]}
      column=${#BASH_REMATCH[1]}
      indented="^ {$column}[^ ]"
      while [[ ${block[i]-} =~ $indented ]]; do
        contents+=$'\r'${block[i]:column}
        i=$((i + 1))
      done
      fields[$name]=$contents
    else
      unreadable "$where" "neither a field, a calculation nor a result: $line"
    fi
  done
}

# --- command prompt ----------------------------------------------------------

# split_cmd WHERE LINE: sets words to the arguments of a command line as
# vxhost.exe receives them.  cmd reads the line first: a quotation mark
# opens or closes its quoting, whatever comes before it, and what cmd
# itself would act on (| & < > ^ outside its quotes, % anywhere) is
# refused.  The program then splits the line as CommandLineToArgvW does:
# blanks separate words outside quotes; a quotation mark after an even
# number of backslashes (none included) opens or closes quoting, and half
# of those backslashes stay; after an odd number, it is a quotation mark of
# the word, and half of the backslashes before it stay; backslashes before
# anything else stay as they are.  (Wine's shell32 CommandLineToArgvW and
# its conformance test test_commandline2argv, dlls/shell32/tests/shlexec.c,
# which passes on Windows; Microsoft's page for CommandLineToArgvW.)  Two
# quotation marks in a row inside quotes, which Windows versions read
# differently, are refused.
split_cmd() {
  local where=$1 line=$2 word="" in_word=0 quoted=0 cmd_quoted=0 k c backslashes
  words=()
  for ((k = 0; k < ${#line}; k++)); do
    c=${line:k:1}
    if [ "$c" = '"' ]; then
      cmd_quoted=$((1 - cmd_quoted))
    elif [[ $c == % ]] || { [ $cmd_quoted = 0 ] && [[ $c == [\|\&\<\>^] ]]; }; then
      unreadable "$where" "cmd would read $c in: $line"
      return 1
    fi
    if [ "$c" = '\' ]; then
      backslashes=0
      while [ "${line:k:1}" = '\' ]; do
        backslashes=$((backslashes + 1))
        k=$((k + 1))
      done
      if [ "${line:k:1}" != '"' ]; then
        word+=$(printf '%*s' "$backslashes" '' | tr ' ' '\\')
        k=$((k - 1))
      else
        word+=$(printf '%*s' $((backslashes / 2)) '' | tr ' ' '\\')
        cmd_quoted=$((1 - cmd_quoted))
        if ((backslashes % 2)); then
          word+='"'
        else
          quoted=$((1 - quoted))
        fi
      fi
      in_word=1
    elif [ "$c" = '"' ]; then
      if [ $quoted = 1 ] && [ "${line:k+1:1}" = '"' ]; then
        unreadable "$where" "two quotation marks in a row inside quotes in: $line"
        return 1
      fi
      quoted=$((1 - quoted))
      in_word=1
    elif [ "$c" = ' ' ] && [ $quoted = 0 ]; then
      [ $in_word = 1 ] && words+=("$word")
      word=""
      in_word=0
    else
      word+=$c
      in_word=1
    fi
  done
  if [ $cmd_quoted = 1 ]; then
    unreadable "$where" "an unclosed quotation mark in: $line"
    return 1
  fi
  [ $in_word = 1 ] && words+=("$word")
  return 0
}

# run_cmd_command WHERE COMMAND EXPECTED: one command and what it prints,
# blank lines at the end (the prompt's spacing) left out of both.
run_cmd_command() {
  local where=$1 command=$2 expected=$3 actual
  if [ "$command" = "echo %ERRORLEVEL%" ]; then
    actual=$cmd_status
  elif split_cmd "$where" "$command"; then
    if [ "${words[0]-}" != vxhost ] && [ "${words[0]-}" != vxhost.exe ]; then
      unreadable "$where" "neither vxhost nor echo %ERRORLEVEL%: $command"
      return
    fi
    actual=$("$vxhost" "${words[@]:1}" 2>&1 </dev/null)
    cmd_status=$?
    # The console shows a carriage return and line feed (as in an
    # exported registry file) as one line end.
    actual=${actual//$'\r\n'/$'\n'}
    actual=${actual%$'\r'}
    while [[ $actual == *$'\n' ]]; do actual=${actual%$'\n'}; done
  else
    return
  fi
  expected=$(printf '%s' "$expected")
  if [ "$actual" = "$expected" ]; then
    passed=$((passed + 1))
  else
    fail "$where" "$command" "$expected" "$actual"
  fi
}

# run_cmd FIRST_LINE: the block in block[].
run_cmd() {
  local first=$1 i command="" where="" expected="" prompt='^[A-Z]:\\[^>]*>(.*)$'
  cmd_status=0
  for ((i = 0; i < ${#block[@]}; i++)); do
    if [[ ${block[i]} =~ $prompt ]]; then
      [ -n "$where" ] && run_cmd_command "$where" "$command" "$expected"
      command=${BASH_REMATCH[1]}
      where="$document:$((first + i))"
      expected=""
    elif [ -n "$where" ]; then
      expected+=${block[i]}$'\n'
    elif [ -n "${block[i]}" ]; then
      unreadable "$document:$((first + i))" "output before the first prompt"
    fi
  done
  [ -n "$where" ] && run_cmd_command "$where" "$command" "$expected"
}
