#!/usr/bin/env bash
# vxhost from the command line: exit statuses, parameter and reply codings,
# output shapes, .reg import and export, and the linux registry file.
#
# usage: cli_test.sh linux VXHOST
#        cli_test.sh wine WINE-RUN VXHOST.EXE   (the cheap part, on wine's registry)
set -u
lane=$1
shift
vxhost=("$@")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VANTORIX_REGISTRY="$work/registry.reg"
export LC_ALL=C.UTF-8  # wine reads the command line in the locale's character set

passed=0
failed=0
current=""

# run ARGS... : runs vxhost with no input; sets status, out (exact), err.
run() {
  "${vxhost[@]}" "$@" >"$work/out" 2>"$work/err" </dev/null
  status=$?
  out=$(cat "$work/out"; echo .)
  out=${out%.}
  err=$(cat "$work/err")
}

# run_with_input TEXT ARGS...
run_with_input() {
  local input=$1
  shift
  printf '%s' "$input" | "${vxhost[@]}" "$@" >"$work/out" 2>"$work/err"
  status=$?
  out=$(cat "$work/out"; echo .)
  out=${out%.}
  err=$(cat "$work/err")
}

fail() {
  echo "FAIL [$current] $*"
  echo "  status: $status"
  echo "  stdout: $(printf '%q' "$out")"
  echo "  stderr: $(printf '%q' "$err")"
  failed=$((failed + 1))
}
ok() { passed=$((passed + 1)); }

expect_status() { if [ "$status" -eq "$1" ]; then ok; else fail "expected status $1"; fi; }
expect_out() { if [ "$out" == "$1" ]; then ok; else fail "expected stdout $(printf '%q' "$1")"; fi; }
expect_err() { if [[ "$err" == *"$1"* ]]; then ok; else fail "expected stderr to hold $(printf '%q' "$1")"; fi; }
expect_no_err() { if [ -z "$err" ]; then ok; else fail "expected nothing on stderr"; fi; }

version="Vantorix Plugin 2.0"

case_usage_errors() {
  current="usage errors"
  run --no-such-option
  expect_status 2; expect_err "unknown option --no-such-option"
  run Vantorix-NoSuchFunction ''
  expect_status 2; expect_err "no function Vantorix-NoSuchFunction"
  # Checked before anything runs: the version call prints nothing.  Š is
  # in Windows-1252 but not in Mac OS Roman, in which FileMaker passes it.
  run Vantorix-Version '' Vantorix-SetRegistryKey 'HKEY_CURRENT_USER|Software\Vantorix CLI|x||Škoda'
  expect_status 2; expect_out ""; expect_err "U+0160 'Š'"
  run Vantorix-Version Vantorix-GetRegistryKey 'HKEY_CURRENT_USER|x|y'
  expect_status 2; expect_err "give '' for an empty one"
  run --plugin
  expect_status 2; expect_err "--plugin needs a value"
}

case_load_failure() {
  current="plug-in that cannot be loaded"
  run --plugin "$work/no-such-plugin" Vantorix-Version
  expect_status 4; expect_out ""; expect_err "no-such-plugin"
}

case_replies() {
  current="a reply"
  run Vantorix-Version
  expect_status 0; expect_out "$version"$'\n'; expect_no_err
  run vantorix-VERSION '' 0 'ignored parameter'
  expect_status 0; expect_out "$version"$'\n'"$version"$'\n'

  current="no reply"
  run 1 'HKEY_CURRENT_USER|x'
  expect_status 3; expect_out ""; expect_err "function 1 sent no reply"
  # Every call runs; the first that did not reply sets the status.
  run 0 '' 8 '' 0
  expect_status 3; expect_out "$version"$'\n'"$version"$'\n'; expect_err "function 8 sent no reply"

  current="--raw and --hex"
  run --raw Vantorix-Version
  expect_status 0; expect_out "$version"
  run --hex Vantorix-Version
  expect_status 0
  expect_out "00000000  56 61 6e 74 6f 72 69 78 20 50 6c 75 67 69 6e 20  |Vantorix Plugin |
00000010  32 2e 30                                         |2.0|
(19 bytes)
"
}

case_error_reply() {
  current="<<ERROR>>"
  run Vantorix-GetRegistryKey 'hkey_current_user|Software|x'
  expect_status 1; expect_out "<<ERROR>>"$'\n'; expect_err "answered <<ERROR>>"
  run Vantorix-Version '' Vantorix-ListRegistryKeys 'HKEY_NOWHERE|x' 1 ''
  expect_status 1; expect_out "$version"$'\n'"<<ERROR>>"$'\n'
}

case_interactive_from_input() {
  current="calls read from standard input"
  run_with_input $'# a comment\n\nVantorix-Version\nNoSuchFunction x\n  0   \t trailing words\r\nfunctions\nquit\nVantorix-Version\n'
  expect_status 2
  expect_out "$version"$'\n'"$version"$'\n'"$(printf '0  Vantorix-Version\n2  Vantorix-GetRegistryKey\n3  Vantorix-ListRegistryKeys\n4  Vantorix-ListRegistryValues\n5  Vantorix-SetRegistryKey\n6  Vantorix-DeleteRegistryKey\n7  Vantorix-DeleteRegistryValue')"$'\n'
  expect_err "no function NoSuchFunction"
  run_with_input $'Vantorix-Version\n' --interactive
  expect_status 0; expect_out "$version"$'\n'
}

# A key of the test's own in whichever registry vxhost works on.
test_key='HKEY_CURRENT_USER\Software\VantorixTest\cli'

case_import_export() {
  current="import and export"
  local content
  # In name order, the order in which wine enumerates values (Windows and the
  # stand-in keep the order of creation: docs/windows-behaviour.md, Order of
  # values), so that the export comes out the same on every lane.
  printf -v content 'REGEDIT4\r\n\r\n[%s]\r\n"Caf\xe9"="cr\xe8me \\"br\xfbl\xe9\\""\r\n"E"=hex(2):25,54,45,4d,50,25,00\r\n"N"=dword:0000002a\r\n\r\n[%s\\Sub]\r\n@="x"\r\n' \
    "$test_key" "$test_key"
  printf '%s' "$content" >"$work/in.reg"
  run --import "$work/in.reg"
  expect_status 0; expect_out ""
  run --export - "$test_key" --regedit4
  expect_status 0
  expect_out "$content"$'\r\n'
  # The Unicode export: UTF-16LE with a byte order mark.
  run --export "$work/out.reg" "$test_key"
  expect_status 0
  if [ "$(head -c 2 "$work/out.reg" | od -An -tx1 | tr -d ' ')" == "fffe" ] &&
    iconv -f UTF-16 -t UTF-8 "$work/out.reg" | grep -q '^"Café"="crème \\"brûlé\\""'; then ok; else fail "Unicode export"; fi
  # The same text in UTF-8 on standard output.
  run --export - "$test_key"
  expect_status 0
  content=$(iconv -f UTF-16 -t UTF-8 "$work/out.reg"; echo .)
  expect_out "${content%.}"
  # Deleting on import.
  printf 'Windows Registry Editor Version 5.00\n\n[-%s]\n' "$test_key" >"$work/delete.reg"
  run --import "$work/delete.reg"
  expect_status 0
  run --export - "$test_key"
  expect_status 5; expect_err "cannot open"

  current="import failures"
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\x]\n"a"=hex:0g\n' >"$work/bad.reg"
  run --import "$work/bad.reg"
  expect_status 5; expect_err "bad.reg, line 4:"
  run --import "$work/missing.reg"
  expect_status 5; expect_err "missing.reg"
  run --import "$work"  # a folder
  expect_status 5; expect_err "cannot read"
}

same_file() { cmp -s "$1" "$2"; }

# --- wine: what the registry's 8-bit functions cannot hold ------------------

case_wide_export() {
  current="an export under wine keeps every character"
  local key="$test_key\\Erdős 中文"
  "${vxhost[0]}" reg add "$key" /v "Erdős 中文" /d "Erdős 中文" /f >/dev/null 2>&1 </dev/null
  run --export "$work/wide.reg" "$key"
  expect_status 0; expect_no_err
  if iconv -f UTF-16 -t UTF-8 "$work/wide.reg" | grep -q '^"Erdős 中文"="Erdős 中文"'; then ok; else fail "the export lost characters"; fi
  printf 'Windows Registry Editor Version 5.00\n\n[-%s]\n' "$test_key" >"$work/delete.reg"
  run --import "$work/delete.reg"
  run --import "$work/wide.reg"
  expect_status 0
  run --export "$work/again.reg" "$key"
  if same_file "$work/wide.reg" "$work/again.reg"; then ok; else fail "the import did not bring back the same key"; fi
  run --import "$work/delete.reg"
}

# --- linux: the registry file ------------------------------------------------

case_registry_file() {
  current="registry file"
  rm -f "$VANTORIX_REGISTRY"
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vantorix CLI]\n"Name"="Z\xfcrich"\n' >"$work/seed.reg"
  run --import "$work/seed.reg"
  expect_status 0
  if [ "$(head -c 2 "$VANTORIX_REGISTRY" | od -An -tx1 | tr -d ' ')" == "fffe" ]; then ok; else fail "registry file is not UTF-16LE"; fi
  if iconv -f UTF-16 -t UTF-8 "$VANTORIX_REGISTRY" | grep -q '^"Name"="Zürich"'; then ok; else fail "registry file content"; fi

  current="calls that change nothing leave the file alone"
  run Vantorix-Version
  cp "$VANTORIX_REGISTRY" "$work/before.reg"
  local stamp
  stamp=$(stat -c '%i %y' "$VANTORIX_REGISTRY")
  local cli='HKEY_CURRENT_USER|Software\Vantorix CLI'
  run Vantorix-Version '' 1 '' Vantorix-GetRegistryKey "$cli|Name" Vantorix-ListRegistryKeys 'HKEY_CURRENT_USER|Software' \
    Vantorix-ListRegistryValues "$cli" Vantorix-DeleteRegistryValue "$cli|No such value" \
    Vantorix-DeleteRegistryKey "$cli|No such key"
  run --export "$work/export.reg" 'HKEY_CURRENT_USER\Software'
  expect_status 0
  if [ "$(stat -c '%i %y' "$VANTORIX_REGISTRY")" == "$stamp" ] && same_file "$VANTORIX_REGISTRY" "$work/before.reg"; then ok; else fail "file was rewritten"; fi

  current="--registry and the data folder"
  run --registry "$work/other.reg" --import "$work/seed.reg"
  if [ -f "$work/other.reg" ]; then ok; else fail "--registry FILE not written"; fi
  env -u VANTORIX_REGISTRY XDG_DATA_HOME="$work/data" "${vxhost[@]}" --import "$work/seed.reg" </dev/null
  if [ -f "$work/data/vantorix/registry.reg" ]; then ok; else fail "XDG_DATA_HOME not used"; fi
  env -u VANTORIX_REGISTRY -u XDG_DATA_HOME HOME="$work/home" "${vxhost[@]}" --import "$work/seed.reg" </dev/null
  if [ -f "$work/home/.local/share/vantorix/registry.reg" ]; then ok; else fail "~/.local/share not used"; fi

  current="a registry file that cannot be parsed"
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n"a"="unterminated\n' >"$work/broken.reg"
  cp "$work/broken.reg" "$work/broken-copy.reg"
  run --registry "$work/broken.reg" Vantorix-Version
  expect_status 5; expect_out ""; expect_err "line 4:"; expect_err "nothing was run"
  if same_file "$work/broken.reg" "$work/broken-copy.reg"; then ok; else fail "the broken file was changed"; fi
  # A NUL in a name, which the registry would cut there: "a\0b" would become "a".
  {
    printf '\xff\xfe'
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n"a\0b"="first"\r\n"a"="second"\r\n' |
      iconv -f UTF-8 -t UTF-16LE
  } >"$work/nul.reg"
  cp "$work/nul.reg" "$work/nul-copy.reg"
  run --registry "$work/nul.reg" Vantorix-SetRegistryKey 'HKEY_CURRENT_USER|Software|a||x'
  expect_status 5; expect_out ""; expect_err "nul.reg, line 4:"; expect_err "nothing was run"
  if same_file "$work/nul.reg" "$work/nul-copy.reg"; then ok; else fail "the file with a NUL in a name was changed"; fi

  current="a save that fails keeps the old file"
  # Big enough that its rewrite cannot fit under a 1 KiB file size limit.
  {
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vantorix CLI\\Big]\n"Blob"=hex:'
    for _ in $(seq 1 600); do printf '01,'; done
    printf '02\n'
  } >"$work/big.reg"
  run --import "$work/big.reg"
  expect_status 0
  cp "$VANTORIX_REGISTRY" "$work/before.reg"
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vantorix CLI\\More]\n"x"="y"\n' >"$work/more.reg"
  # The call that sends no reply does not hide the failed save.
  (
    ulimit -f 1
    "${vxhost[@]}" --import "$work/more.reg" 1 'HKEY_CURRENT_USER|x' >"$work/out" 2>"$work/err" </dev/null
  )
  status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
  expect_status 5; expect_err "cannot save"
  if same_file "$VANTORIX_REGISTRY" "$work/before.reg"; then ok; else fail "the old file was changed"; fi
  if [ "$(ls "$work" | grep -v '\.lock$' | grep -c '^registry\.reg')" -eq 1 ]; then ok; else fail "a temporary file was left: $(ls "$work")"; fi
}

# The names of the values v1, v2, ... in the registry file at $1, in order.
stored_names() { iconv -f UTF-16 -t UTF-8 "$1" | grep -o '^"v[0-9]*"' | sort -V | tr -d '"' | tr '\n' ' '; }

case_shared_registry_file() {
  current="runs at the same time lose no write"
  rm -f "$VANTORIX_REGISTRY"
  local i expected=""
  for i in $(seq 1 20); do
    "${vxhost[@]}" Vantorix-SetRegistryKey "HKEY_CURRENT_USER|Software\Vantorix CLI|v$i||$i" >/dev/null 2>&1 </dev/null &
    expected+="v$i "
  done
  wait
  status=0 out="" err=""
  if [ "$(stored_names "$VANTORIX_REGISTRY")" == "$expected" ]; then ok; else fail "kept: $(stored_names "$VANTORIX_REGISTRY")"; fi

  current="a session on standard input keeps what others wrote meanwhile"
  rm -f "$VANTORIX_REGISTRY"
  mkfifo "$work/calls"
  "${vxhost[@]}" -i <"$work/calls" >"$work/session" 2>&1 &
  local session=$!
  exec 3>"$work/calls"
  echo 'Vantorix-SetRegistryKey HKEY_CURRENT_USER|Software\Vantorix CLI|v1||session' >&3
  for _ in $(seq 1 200); do grep -q session "$work/session" && break; sleep 0.05; done
  run Vantorix-SetRegistryKey 'HKEY_CURRENT_USER|Software\Vantorix CLI|v2||other'
  echo 'Vantorix-SetRegistryKey HKEY_CURRENT_USER|Software\Vantorix CLI|v3||session' >&3
  exec 3>&-
  wait "$session"
  status=$? out=$(cat "$work/session") err=""
  expect_status 0
  if [ "$(stored_names "$VANTORIX_REGISTRY")" == "v1 v2 v3 " ]; then ok; else fail "kept: $(stored_names "$VANTORIX_REGISTRY")"; fi

  current="a registry file that may not be written"
  printf 'REGEDIT4\n' >"$work/readonly.reg"
  chmod 0444 "$work/readonly.reg"
  run --registry "$work/readonly.reg" Vantorix-Version
  expect_status 5; expect_out ""; expect_err "read-only (mode 0444)"
  if [ "$(cat "$work/readonly.reg")" == REGEDIT4 ]; then ok; else fail "the read-only file was changed"; fi

  current="a registry file behind a symbolic link"
  mkdir -p "$work/real"
  printf 'REGEDIT4\n' >"$work/real/target.reg"
  chmod 0640 "$work/real/target.reg"
  ln -s real/target.reg "$work/link.reg"
  run --registry "$work/link.reg" Vantorix-SetRegistryKey 'HKEY_CURRENT_USER|Software\Vantorix CLI|v1||x'
  expect_status 0
  if [ -L "$work/link.reg" ] && [ "$(stored_names "$work/real/target.reg")" == "v1 " ] &&
    [ "$(stat -c %a "$work/real/target.reg")" == 640 ]; then ok; else fail "the link's target was not updated in place"; fi

  current="an empty --registry"
  run --registry '' Vantorix-Version
  expect_status 2; expect_err "--registry needs a file name"
}

# Each kind of change that a run can make, in a run of its own, must reach
# the file: a run that changed the registry but did not save would lose the
# user's write.  (No run can empty a key in place, since the plug-in
# refuses an empty subkey name: the stand-in's test of its change count
# covers that change.)
case_changes_are_saved() {
  local k='HKEY_CURRENT_USER|Software\Vantorix CLI' section='[HKEY_CURRENT_USER\Software\Vantorix CLI'
  rm -f "$VANTORIX_REGISTRY"
  printf 'Windows Registry Editor Version 5.00\n\n%s]\n"n"=dword:00000001\n\n%s\\Only\\A]\n\n%s\\Only\\B]\n' \
    "$section" "$section" "$section" >"$work/add.reg"
  printf 'Windows Registry Editor Version 5.00\n\n%s]\n"n"=hex:01,00,00,00\n' "$section" >"$work/type.reg"
  local steps=(
    # what | the file holds this line | and not this one | the run
    "add a value|\"v\"=\"first\"||Vantorix-SetRegistryKey|$k|v||first"
    "replace a value|\"v\"=\"second\"|\"v\"=\"first\"|Vantorix-SetRegistryKey|$k|v||second"
    "import|$section\\Only\\B]||--import|$work/add.reg"
    "change only a type|\"n\"=hex:01,00,00,00|\"n\"=dword:00000001|--import|$work/type.reg"
    "delete a key|$section]|$section\\Only]|Vantorix-DeleteRegistryKey|$k|Only"
    "delete a value|$section]|\"v\"=\"second\"|Vantorix-DeleteRegistryValue|$k|v"
  )
  local step what holds lacks option parameter lines
  for step in "${steps[@]}"; do
    IFS='|' read -r what holds lacks option parameter <<<"$step"
    current="saved: $what"
    run "$option" "$parameter"
    expect_status 0
    lines=$(iconv -f UTF-16 -t UTF-8 "$VANTORIX_REGISTRY" | tr -d '\r')
    if grep -qxF -- "$holds" <<<"$lines"; then ok; else fail "the file lacks $holds"; fi
    if [ -z "$lacks" ] || ! grep -qxF -- "$lacks" <<<"$lines"; then ok; else fail "the file still holds $lacks"; fi
  done
}

case_message_boxes() {
  current="message boxes"
  # Settings key present, its value missing: initialisation reports it in a
  # message box, which vxhost shows on standard error.
  rm -f "$VANTORIX_REGISTRY"
  run Vantorix-Version
  # Every build creates its settings key with "format_string" at start-up.
  if ! iconv -f UTF-16 -t UTF-8 "$VANTORIX_REGISTRY" 2>/dev/null | grep -q '"format_string"'; then
    fail "start-up left no \"format_string\" in the registry file"
    return
  fi
  local settings
  settings=$(iconv -f UTF-16 -t UTF-8 "$VANTORIX_REGISTRY" | grep -o '^\[HKEY_CURRENT_USER\\Software\\FileMaker[^]]*\]' | tail -1)
  printf 'REGEDIT4\n\n%s\n"format_string"=-\n' "$settings" >"$work/unset.reg"
  run --import "$work/unset.reg" Vantorix-Version
  expect_status 0; expect_out "$version"$'\n'
  expect_err 'message box "Vantorix Plugin Error": error 2'
}

case_accents_round_trip() {
  current="accented text as FileMaker passes it"
  local key='HKEY_CURRENT_USER|Software\Vantorix CLI'
  rm -f "$VANTORIX_REGISTRY"
  # ß goes as Mac OS Roman 0xA7, Windows' §, which comes back as §.
  run Vantorix-SetRegistryKey "$key|Street||Straße"
  expect_status 0; expect_out "Straße"$'\n'
  run Vantorix-GetRegistryKey "$key|Street"
  expect_status 0; expect_out "Stra§e"$'\n'
  run --raw Vantorix-GetRegistryKey "$key|Street"
  expect_out $'Stra\xa4e'
  # π: Mac OS Roman has it (0xB9), Windows-1252 does not (there it is ¹).
  run Vantorix-SetRegistryKey "$key|Pi||π" Vantorix-GetRegistryKey "$key|Pi"
  expect_status 0; expect_out "π"$'\n'"π"$'\n'
  run Vantorix-SetRegistryKey "$key|Town||Zürich"
  expect_status 0; expect_out "Zürich"$'\n'

  current="the Windows view of what FileMaker wrote"
  run --export - 'HKEY_CURRENT_USER\Software\Vantorix CLI'
  expect_status 0
  if [[ $out == *$'\n"Street"="Stra§e"\r\n"Pi"="¹"\r\n"Town"="ZŸrich"\r\n'* ]]; then ok; else fail "the export"; fi
  run Vantorix-DeleteRegistryKey 'HKEY_CURRENT_USER|Software|Vantorix CLI'
  expect_status 0
}

case_usage_errors
case_load_failure
case_replies
case_error_reply
case_interactive_from_input
case_import_export
if [ "$lane" == wine ]; then
  case_wide_export
fi
if [ "$lane" == linux ]; then
  case_registry_file
  case_shared_registry_file
  case_changes_are_saved
  case_message_boxes
  case_accents_round_trip
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
