# Words that a database author need not know, for docs_test.sh (which
# sources this file and defines passed, fail and unreadable): the reference
# says what they mean in FileMaker's and Windows' everyday terms instead.
# Text in backquotes or in code blocks (Windows' own messages, such as "The
# handle is invalid.", key names, calculations) is not prose and may hold
# them.  Each entry is an extended regular expression, matched without
# regard to case.
plain_words_banned=(
  '0x[0-9a-f]'            # byte codes: the page names the letters
  'zero byte'
  'end mark'
  '\<handles?\>'
  '\<status(es)?\>'       # ERRORLEVEL, explained, is the batch file's word
  '\<unsigned\>'
  'standard (error|output|input)'
  'usage error'
  '\<manifests?\>'
  'execution level'
  'interface version'
  '\<buffers?\>'
  '\<arguments?\>'
  '\<pipe\>'
  '\<escape[sd]?\>'
  'line feeds?'
  'code page'
  '\<ANSI\>'
  '\<null\>'
  '\<parse[sd]?\>'
)

# check_plain_words DOCUMENT: the prose of DOCUMENT (fenced blocks,
# `code` and link targets left out) uses none of the words above.
check_plain_words() {
  local document=$1 prose pattern lines found=""
  prose=$(awk '/^ *```/ { code = !code; next }
    !code { gsub(/`[^`]*`/, ""); gsub(/\]\([^)]*\)/, "]"); print FNR ": " $0 }' "$document")
  for pattern in "${plain_words_banned[@]}"; do
    lines=$(printf '%s\n' "$prose" | grep -i -E "^[0-9]+: .*$pattern" | cut -d: -f1 | paste -sd ' ')
    [ -z "$lines" ] || found+="  $pattern: line $lines"$'\n'
  done
  if [ -z "$found" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $document: words for programmers in the prose"
    printf '%s' "$found"
  fi
}
