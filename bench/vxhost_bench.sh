#!/usr/bin/env bash
# The user's vxhost (build/tools/vxhost, optimised, no sanitizers) on
# registry files of about 1 MB and 10 MB, as the registry editor writes them
# (UTF-16LE; keys of 50 values of mixed types): the time and peak memory of
# an import, of one call that changes nothing (a Get of an existing value),
# and of one Set; and on one key of 100,000 values, its import and the
# deletion of half its values.  The same data is imported into a wine prefix of the
# benchmark's own, and wine's `reg query` of one value is timed beside it.
# Prints the figures, the ratios and whether each goal is met.
#
# usage: bench/vxhost_bench.sh            (scripts/bench vxhost runs it)
#        bench/vxhost_bench.sh wine FILE  (inside scripts/wine-session)
set -euo pipefail
cd "$(dirname "$0")/.."
work=build/bench-vxhost
key='Software\Vantorix Bench\Group 00\Key 00100'

# now_ns: the time in nanoseconds.
now_ns() { date +%s%N; }

# measure COMMAND...: runs it with no input or output; sets seconds and kb
# (its peak resident memory).
measure() {
  local start end
  start=$(now_ns)
  if ! /usr/bin/time -f %M -o "$work/rss" "$@" </dev/null >/dev/null 2>"$work/stderr"; then
    echo "failed: $*" >&2
    cat "$work/stderr" >&2
    exit 1
  fi
  end=$(now_ns)
  seconds=$(awk -v n=$((end - start)) 'BEGIN { printf "%.4f", n / 1e9 }')
  kb=$(tail -1 "$work/rss")
}

# median_of N COMMAND...: measures it N times; sets seconds to the median
# and kb to the largest peak.
median_of() {
  local runs=$1 i times=() peak=0
  shift
  for ((i = 0; i < runs; i++)); do
    measure "$@"
    times+=("$seconds")
    ((kb > peak)) && peak=$kb
  done
  seconds=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }')
  kb=$peak
}

# generate KEYS FILE: KEYS keys of 50 values each (five strings, two
# dwords, binary data, REG_EXPAND_SZ and REG_MULTI_SZ in the editor's hex
# form with its continuation lines), in UTF-16LE with a byte order mark.
generate() {
  {
    printf '\xff\xfe'
    awk -v keys="$1" '
      # A text of ASCII characters ("|" for a zero) as UTF-16LE hex bytes
      # after the value name, wrapped before 80 columns as the editor does.
      function hex_value(line, text,    i, c, piece) {
        for (i = 1; i <= length(text); i++) {
          c = substr(text, i, 1)
          piece = sprintf("%02x,00", c == "|" ? 0 : code[c])
          if (length(line) + length(piece) + 2 > 78) { print line ",\\"; line = "  " piece }
          else line = line (line ~ /:$/ ? "" : ",") piece
        }
        print line
      }
      BEGIN {
        for (i = 32; i < 127; i++) code[sprintf("%c", i)] = i
        ORS = "\r\n"
        print "Windows Registry Editor Version 5.00"; print ""
        for (k = 0; k < keys; k++) {
          printf "[HKEY_CURRENT_USER\\Software\\Vantorix Bench\\Group %02d\\Key %05d]\r\n", k % 50, k
          for (v = 0; v < 50; v++) {
            name = sprintf("\"Value %03d\"=", v)
            kind = v % 10
            if (kind < 5) printf "%s\"Text %d of %d: Grüße, \\\"a\\\" C:\\\\x\"\r\n", name, v, k
            else if (kind < 7) printf "%sdword:%08x\r\n", name, k * 50 + v
            else if (kind == 7) printf "%shex:%02x,00,ff,10,20,30,40,%02x\r\n", name, v, k % 256
            else if (kind == 8) hex_value(name "hex(2):", sprintf("%%SystemRoot%%\\f%d|", v))
            else hex_value(name "hex(7):", sprintf("one|%d||", k))
          }
          print ""
        }
      }' | iconv -f UTF-8 -t UTF-16LE
  } >"$2"
}

# wide_key VALUES STEP FILE: one key of VALUES text values, in UTF-16LE;
# with STEP, every STEP-th of them deleted ("name"=-) instead.
wide_key() {
  {
    printf '\xff\xfe'
    awk -v values="$1" -v step="$2" 'BEGIN {
      ORS = "\r\n"
      print "Windows Registry Editor Version 5.00"; print ""
      print "[HKEY_CURRENT_USER\\Software\\Vantorix Bench\\Wide]"
      for (v = 0; v < values; v++) {
        if (step == 0) printf "\"Value %06d\"=\"Text %d\"\r\n", v, v
        else if (v % step == 0) printf "\"Value %06d\"=-\r\n", v
      }
    }' | iconv -f UTF-8 -t UTF-16LE
  } >"$3"
}

# The wine side, run inside scripts/wine-session: import FILE with the
# registry editor, then time `reg query` of one value.
if [ "${1:-}" = wine ]; then
  measure wine regedit /S "Z:${2//\//\\}"
  echo "wine_import $seconds"
  wine reg query "HKCU\\$key" /v "Value 025" >/dev/null 2>&1 </dev/null  # started once
  median_of 7 wine reg query "HKCU\\$key" /v "Value 025"
  echo "wine_query $seconds"
  exit 0
fi

for tool in /usr/bin/time iconv awk wine; do
  command -v "$tool" >/dev/null || { echo "vxhost benchmark: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
cmake --preset tools >/dev/null
. scripts/lib/jobs
cmake --build --preset tools -j "$jobs" >/dev/null
vxhost=build/tools/vxhost
mkdir -p "$work"
rm -f "$work"/registry-*

declare -A size import_s import_kb same_s same_kb set_s set_kb
for mb in 1 10; do
  file=$work/data-$mb.reg
  generate $((mb * 180)) "$file"
  size[$mb]=$(stat -c %s "$file")
  registry=$work/registry-$mb.reg
  export VANTORIX_REGISTRY=$registry
  for run in 1 2 3; do
    rm -f "$registry"
    measure "$vxhost" --import "$file"
    times[run]=$seconds
    ((run == 1 || kb > import_kb[$mb])) && import_kb[$mb]=$kb
  done
  import_s[$mb]=$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)
  "$vxhost" Vantorix-Version >/dev/null  # the plug-in's settings key, made once
  median_of 7 "$vxhost" Vantorix-GetRegistryKey "HKEY_CURRENT_USER|$key|Value 025"
  same_s[$mb]=$seconds same_kb[$mb]=$kb
  for run in 1 2 3; do
    # New data each time, so that each Set changes the registry and saves it.
    measure "$vxhost" Vantorix-SetRegistryKey "HKEY_CURRENT_USER|$key|Value 025||changed $run"
    times[run]=$seconds
    ((run == 1 || kb > set_kb[$mb])) && set_kb[$mb]=$kb
  done
  set_s[$mb]=$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)
done

# A key of 100,000 values: imported into an empty registry, then half of
# its values deleted by an import of "name"=- lines.  Each delete must cost
# about the same however large the key.
wide=100000
wide_key "$wide" 0 "$work/wide.reg"
wide_key "$wide" 2 "$work/wide-delete.reg"
export VANTORIX_REGISTRY=$work/registry-wide.reg
for run in 1 2 3; do
  rm -f "$VANTORIX_REGISTRY"
  measure "$vxhost" --import "$work/wide.reg"
  times[run]=$seconds
done
wide_import_s=$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)
cp "$VANTORIX_REGISTRY" "$work/registry-wide-full.reg"
for run in 1 2 3; do
  cp "$work/registry-wide-full.reg" "$VANTORIX_REGISTRY"
  measure "$vxhost" --import "$work/wide-delete.reg"
  times[run]=$seconds
done
wide_delete_s=$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)
if [ "$(iconv -f UTF-16 -t UTF-8 "$VANTORIX_REGISTRY" | grep -c '^"Value ')" -ne $((wide / 2)) ]; then
  echo "vxhost benchmark: the deletes did not leave half of the values" >&2
  exit 1
fi

# Wine on the same 10 MB of data, in a prefix of the benchmark's own.
WINEPREFIX="$PWD/$work/wineprefix" scripts/wine-session "$0" wine "$PWD/$work/data-10.reg" >"$work/wine.txt"
wine_import=$(awk '$1 == "wine_import" { print $2 }' "$work/wine.txt")
wine_query=$(awk '$1 == "wine_query" { print $2 }' "$work/wine.txt")

awk -v s1="${size[1]}" -v s10="${size[10]}" \
  -v i1="${import_s[1]}" -v i10="${import_s[10]}" -v ik1="${import_kb[1]}" -v ik10="${import_kb[10]}" \
  -v n1="${same_s[1]}" -v n10="${same_s[10]}" -v nk1="${same_kb[1]}" -v nk10="${same_kb[10]}" \
  -v t1="${set_s[1]}" -v t10="${set_s[10]}" -v tk1="${set_kb[1]}" -v tk10="${set_kb[10]}" \
  -v wi="$wine_import" -v wq="$wine_query" -v wide="$wide" -v wis="$wide_import_s" -v wds="$wide_delete_s" '
  function mb(bytes) { return sprintf("%.1f MB", bytes / 1e6) }
  function row(what, a, ka, b, kb) {
    printf "| %-23s | %11.3f s | %9.1f MB | %11.3f s | %9.1f MB | %8.1fx |\n", what, a, ka / 1024, b, kb / 1024, kb * 1024 / s10
  }
  function goal(text, met) { printf "%-4s %s\n", met ? "met" : "MISS", text; if (!met) missed = 1 }
  BEGIN {
    printf "vxhost (build/tools/vxhost) on registry files of %s and %s\n\n", mb(s1), mb(s10)
    printf "| %-23s | %13s | %12s | %13s | %12s | %9s |\n", "", mb(s1) ": time", "memory", mb(s10) ": time", "memory", "mem/file"
    print "|-------------------------|---------------|--------------|---------------|--------------|-----------|"
    row("import", i1, ik1, i10, ik10)
    row("a call changing nothing", n1, nk1, n10, nk10)
    row("one Set", t1, tk1, t10, tk10)
    printf "| %-23s | %13s | %12s | %11.3f s | %12s | %9s |\n", "wine: reg query", "", "", wq, "", ""
    printf "| %-23s | %13s | %12s | %11.3f s | %12s | %9s |\n", "wine: regedit import", "", "", wi, "", ""
    growth = s10 / s1
    printf "\nratios on %s: a call changing nothing %.2fx wine'"'"'s reg query; import %.2fx wine'"'"'s regedit\n", mb(s10), n10 / wq, i10 / wi
    printf "growth from %s to %s (the data %.1fx): time %.1fx, %.1fx, %.1fx; memory %.1fx, %.1fx, %.1fx (import, no change, Set)\n\n",
      mb(s1), mb(s10), growth, i10 / i1, n10 / n1, t10 / t1, ik10 / ik1, nk10 / nk1, tk10 / tk1
    printf "a key of %d values: import %.3f s; deleting half of them %.3f s (%.2fx the import)\n\n", wide, wis, wds, wds / wis
    goal(sprintf("a call that changes nothing in at most 2x reg query: %.3f s <= %.3f s", n10, 2 * wq), n10 <= 2 * wq)
    max = ik10; if (nk10 > max) max = nk10; if (tk10 > max) max = tk10
    goal(sprintf("peak memory at most 10x the file: %.1f MB <= %.1f MB", max / 1024, 10 * s10 / 1048576), max * 1024 <= 10 * s10)
    worst = i10 / i1; if (n10 / n1 > worst) worst = n10 / n1; if (t10 / t1 > worst) worst = t10 / t1
    if (ik10 / ik1 > worst) worst = ik10 / ik1; if (nk10 / nk1 > worst) worst = nk10 / nk1; if (tk10 / tk1 > worst) worst = tk10 / tk1
    goal(sprintf("cost growing linearly: every cost grows at most %.1fx for %.1fx the data (at most 1.25x as fast)", worst, growth),
      worst <= 1.25 * growth)
    goal(sprintf("deleting half of a key of %d values in at most 3x its import: %.3f s <= %.3f s", wide, wds, 3 * wis),
      wds <= 3 * wis)
    exit missed
  }'
