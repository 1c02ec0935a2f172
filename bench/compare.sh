#!/usr/bin/env bash
# Loads FILE (code page 932, or UTF-8: the file's first megabyte decides, as the program does)
# through the real window and decodes it with iconv in the same run, and prints both
# times and their ratio (the load's time over iconv's); then both twice more, taking turns, and
# the ratio of their medians of three (load_over_iconv_median); and the load's peak memory over
# the file's size (load_peak_over_file). Then two pickups, each against a reference
# command run on the same file: one include-OR kanji phrase on the whole row against
# `grep -F -c`, and a mix of entries in all four lists against the same test written for
# `awk -F,`. The counts must agree; the ratios are the pickup's time over the reference's.
# Then the same two kinds of pickup with the matching switches on (ignoring width, kana and case):
# one phrase against iconv, the mix against the mix with them off.
# Last, the same rows with every field quoted: its load and both pickups in the quoted field mode
# over the plain file's (quoted_*_over_plain), with the same counts.
# Then a pickup that keeps every row, sorted in the code order and in the Japanese order
# ("日本語順"): the Japanese sort's time over the code-order sort's (japanese_over_code, with
# the processor times too, which a busy machine does not stretch), its peak memory growth over
# the file's size, and the longest time the window went without handling events.
# Finally, Save of a pickup that keeps every row, in the file's order, against `cp` of the file and
# `sync`, both into the same folder, three times each, taking turns, each result removed before
# the next run: the medians and their ratio (save_over_cp_sync, time over time as above; and
# save_speed_over_cp_sync, its inverse, Save's speed as a share of cp's). Save syncs its file
# too. The same Save after the sorts (its rows all over the store) is sorted_save_over_cp_sync.
# That whole session (load, the keep-all pickup, both sorts, Save; no Copy) gives the peak memory
# over the file's size: session_peak_over_file, the median of its three runs.
# After that, `vornel --pick` itself end to end, writing its lines to a file: the kanji phrase
# against grep writing its lines, and the mix against the awk program printing its lines
# (pick_phrase_over_grep, pick_mix_over_awk: medians of three runs, time over time).
#
#   bench/compare.sh FILE
# The driver is taken from $VORNEL_PICK_BENCH, or else from build/release/bin.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 FILE" >&2
  exit 2
fi
file=$1
here=$(cd "$(dirname "$0")" && pwd)
driver=${VORNEL_PICK_BENCH:-$here/../build/release/bin/vornel_pick_bench}
if [ ! -x "$driver" ]; then
  echo "$0: no driver at $driver (build vornel_pick_bench, Release, or set VORNEL_PICK_BENCH)" >&2
  exit 1
fi

cat "$file" > /dev/null # warm the page cache for both

# The file's encoding, and the reference decode for it.
sample=$(mktemp)
head -c 1048576 "$file" > "$sample"
# (A sample may end inside a character: only an illegal sequence says it is no UTF-8.)
problem=$(iconv -f UTF-8 -t UTF-8 "$sample" 2>&1 > /dev/null || true)
if LC_ALL=C grep -q -P '[\xE0-\xFF]' "$sample" && [[ "$problem" != *illegal* ]]; then
  encoding=UTF-8
  decode=(iconv -f UTF-8 -t UTF-16LE)
else
  encoding=CP932
  decode=(iconv -f CP932 -t UTF-8)
fi
rm -f "$sample"
echo "encoding=$encoding"

start=$(date +%s.%N)
"${decode[@]}" "$file" > /dev/null
end=$(date +%s.%N)
iconv_s=$(echo "$end - $start" | bc -l)

out=$("$driver" --data "$file")
echo "$out"
load_s=$(echo "$out" | sed -n 's/^load_s=//p')
if [ -z "$load_s" ]; then
  echo "$0: the driver printed no load_s" >&2
  exit 1
fi
printf 'iconv_s=%.3f\n' "$iconv_s"
printf 'load_over_iconv=%.3f\n' "$(echo "$load_s / $iconv_s" | bc -l)"
# Two more loads and decodes, taking turns, for the medians of three (a busy machine is noisy).
load_runs=("$load_s")
iconv_runs=("$iconv_s")
for _ in 2 3; do
  start=$(date +%s.%N)
  "${decode[@]}" "$file" > /dev/null
  end=$(date +%s.%N)
  iconv_runs+=("$(echo "$end - $start" | bc -l)")
  load_runs+=("$("$driver" --data "$file" | sed -n 's/^load_s=//p')")
done
middle() { printf '%s\n' "$@" | sort -g | sed -n 2p; }
printf 'load_runs_s=%s\niconv_runs_s=%s\n' "${load_runs[*]}" "$(printf '%.3f ' "${iconv_runs[@]}")"
printf 'load_over_iconv_median=%.3f\n' \
  "$(echo "$(middle "${load_runs[@]}") / $(middle "${iconv_runs[@]}")" | bc -l)"
file_mb=$(echo "$(stat -c %s "$file") / 1048576" | bc -l)
printf 'load_peak_over_file=%.3f\n' \
  "$(echo "$(sed -n 's/^load_peak_rss_mb=//p' <<< "$out") / $file_mb" | bc -l)"

# ---- pickups ----
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
infile() { printf '%s' "$1" | iconv -f UTF-8 -t "$encoding"; } # a phrase as the file holds it
entry() { printf '"%s","%s"\r\n' "$1" "$(cp932 "$2")"; } # a list-file line (code page 932)

seconds() { # runs a command, prints its wall time; its output goes to $work/out
  local start end
  start=$(date +%s.%N)
  "$@" > "$work/out"
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
key() { sed -n "s/^$1=//p" <<< "$2"; }

# One include-OR entry, a kanji phrase on column 0.
phrase=神奈川
entry 0 "$phrase" > "$work/kanji.lst"
grep_s=$(seconds env LC_ALL=C grep -F -c "$(infile "$phrase")" "$file")
grep_count=$(cat "$work/out")
out=$("$driver" --data "$file" --in-or "$work/kanji.lst")
echo "$out" | sed -n 's/^\(picked\|pickup_s\|pickup_max_gap_ms\|pickup_peak_growth_mb\)=/kanji_\1=/p'
kanji_s=$(key pickup_s "$out")
if [ "$(key picked "$out")" != "$grep_count" ]; then
  echo "$0: kanji: the pickup found $(key picked "$out") rows, grep $grep_count" >&2
  exit 1
fi
printf 'grep_s=%.3f\n' "$grep_s"
printf 'kanji_over_grep=%.3f\n' "$(echo "$kanji_s / $grep_s" | bc -l)"

# A mix: per-column entries in all four lists, two of them patterns with "*" and "#".
{ entry 2 '20##/0#/*'; entry 9 ok; } > "$work/in-and.lst"
{ entry 3 田中; entry 3 山田; entry 5 東京; } > "$work/in-or.lst"
{ entry 6 一般; entry 8 '*#5'; } > "$work/out-and.lst"
{ entry 4 ﾀﾛｳ; entry 7 -Z; } > "$work/out-or.lst"
# The same test in awk: picked = all of AND and one of OR, and not (all of NOT AND and one of
# NOT OR). The phrases go in as the file's bytes; index() compares bytes, no pattern syntax.
awk_s=$(seconds env LC_ALL=C awk -F, -v A="$(infile 田中)" -v B="$(infile 山田)" \
  -v C="$(infile 東京)" -v D="$(infile 一般)" -v E="$(infile ﾀﾛｳ)" '
  !($2 ~ /^20[0-9][0-9]\/0[0-9]\// && index($9, "ok")) { next }
  !(index($3, A) || index($3, B) || index($5, C)) { next }
  (index($6, D) && $8 ~ /[0-9]5$/) && (index($4, E) || index($7, "-Z")) { next }
  { n++ }
  END { print n + 0 }' "$file")
awk_count=$(cat "$work/out")
out=$("$driver" --data "$file" --in-and "$work/in-and.lst" --in-or "$work/in-or.lst" \
  --out-and "$work/out-and.lst" --out-or "$work/out-or.lst" --out "$work/result.txt")
echo "$out" | sed -n 's/^\(picked\|pickup_s\|pickup_max_gap_ms\|pickup_peak_growth_mb\|save_s\)=/mix_\1=/p'
mix_s=$(key pickup_s "$out")
if [ "$(key picked "$out")" != "$awk_count" ]; then
  echo "$0: mix: the pickup found $(key picked "$out") rows, awk $awk_count" >&2
  exit 1
fi
printf 'awk_s=%.3f\n' "$awk_s"
printf 'mix_over_awk=%.3f\n' "$(echo "$mix_s / $awk_s" | bc -l)"

# ---- matching that ignores width, kana and case ----
# One include-OR phrase typed in hiragana, with all three switches on, against the decode above
# (iconv); the file holds the name in half-width katakana, so grep's count of its three pure
# spellings is the count to agree with. Then the mix above with the three switches on over the
# same mix with them off.
switches=(--ignore-width --ignore-kana --ignore-case)
entry 0 たなか > "$work/folded.lst"
LC_ALL=C grep -c -F -e "$(infile ﾀﾅｶ)" -e "$(infile タナカ)" -e "$(infile たなか)" "$file" \
  > "$work/out" || true
folded_count=$(cat "$work/out")
out=$("$driver" --data "$file" --in-or "$work/folded.lst" --no-copy "${switches[@]}")
folded_s=$(key pickup_s "$out")
if [ "$(key picked "$out")" != "$folded_count" ]; then
  echo "$0: folded: the pickup found $(key picked "$out") rows, grep $folded_count" >&2
  exit 1
fi
printf 'folded_picked=%s\nfolded_s=%.3f\n' "$folded_count" "$folded_s"
printf 'folded_over_iconv=%.3f\n' "$(echo "$folded_s / $iconv_s" | bc -l)"
out=$("$driver" --data "$file" --in-and "$work/in-and.lst" --in-or "$work/in-or.lst" \
  --out-and "$work/out-and.lst" --out-or "$work/out-or.lst" --no-copy "${switches[@]}")
folded_mix_s=$(key pickup_s "$out")
printf 'folded_mix_picked=%s\nfolded_mix_s=%.3f\n' "$(key picked "$out")" "$folded_mix_s"
printf 'folded_mix_over_mix=%.3f\n' "$(echo "$folded_mix_s / $mix_s" | bc -l)"

# ---- quoted fields ----
# The same rows with every field quoted (as a spreadsheet writes them), read in the quoted field
# mode (the file's quotes decide it), against the plain file above: the load, and the same two
# pickups, whose counts must agree with the plain file's.
LC_ALL=C sed 's/\r$//; s/,/","/g; s/^/"/; s/$/"\r/' "$file" > "$work/quoted.csv"
cat "$work/quoted.csv" > /dev/null
out=$("$driver" --data "$work/quoted.csv" --no-copy)
quoted_load_s=$(key load_s "$out")
echo "$out" | sed -n 's/^\(load_s\|load_max_gap_ms\|max_gap_ms\)=/quoted_\1=/p'
out=$("$driver" --data "$work/quoted.csv" --in-or "$work/kanji.lst" --no-copy)
quoted_kanji_s=$(key pickup_s "$out")
if [ "$(key picked "$out")" != "$grep_count" ]; then
  echo "$0: quoted kanji: the pickup found $(key picked "$out") rows, plain $grep_count" >&2
  exit 1
fi
out=$("$driver" --data "$work/quoted.csv" --in-and "$work/in-and.lst" --in-or "$work/in-or.lst" \
  --out-and "$work/out-and.lst" --out-or "$work/out-or.lst" --no-copy)
quoted_mix_s=$(key pickup_s "$out")
echo "$out" | sed -n 's/^\(pickup_max_gap_ms\)=/quoted_mix_\1=/p'
if [ "$(key picked "$out")" != "$awk_count" ]; then
  echo "$0: quoted mix: the pickup found $(key picked "$out") rows, plain $awk_count" >&2
  exit 1
fi
printf 'quoted_kanji_s=%.3f\nquoted_mix_s=%.3f\n' "$quoted_kanji_s" "$quoted_mix_s"
printf 'quoted_load_over_plain=%.3f\n' "$(echo "$quoted_load_s / $load_s" | bc -l)"
printf 'quoted_kanji_over_plain=%.3f\n' "$(echo "$quoted_kanji_s / $kanji_s" | bc -l)"
printf 'quoted_mix_over_plain=%.3f\n' "$(echo "$quoted_mix_s / $mix_s" | bc -l)"

# ---- the Japanese order ----
# A NOT OR entry that no row holds keeps every row.
entry 0 zz-never-in-any-row > "$work/keep-all.lst"
out=$("$driver" --data "$file" --out-or "$work/keep-all.lst" --no-copy --japanese)
echo "$out" | sed -n 's/^\(\(code\|japanese\)_sort_\(s\|cpu_s\|max_gap_ms\|peak_growth_mb\)\)=/\1=/p'
if [ "$(key picked "$out")" != "$(key rows "$out")" ]; then
  echo "$0: keep-all: the pickup kept $(key picked "$out") of $(key rows "$out") rows" >&2
  exit 1
fi
printf 'japanese_over_code=%.3f\n' "$(echo "$(key japanese_sort_s "$out") / $(key code_sort_s "$out")" | bc -l)"
printf 'japanese_over_code_cpu=%.3f\n' \
  "$(echo "$(key japanese_sort_cpu_s "$out") / $(key code_sort_cpu_s "$out")" | bc -l)"
printf 'japanese_peak_growth_over_file=%.3f\n' \
  "$(echo "$(key japanese_sort_peak_growth_mb "$out") / $file_mb" | bc -l)"

# ---- Save against cp + sync ----
median3() { printf '%s\n' "$@" | sort -g | sed -n 2p; }
saves=()
sorted_saves=()
session_peaks=() # load + keep-all pickup + both sorts + Save, no Copy
copies=()
saved_size() { # every row: the file's size (its lines end in CR LF); then removed
  if [ "$(stat -c %s "$work/saved.csv")" != "$(stat -c %s "$file")" ]; then
    echo "$0: save: the keep-all result is not the size of the file" >&2
    exit 1
  fi
  rm -f "$work/saved.csv"
  sync
}
for _ in 1 2 3; do
  out=$("$driver" --data "$file" --out-or "$work/keep-all.lst" --no-copy --no-sort \
    --out "$work/saved.csv")
  saves+=("$(key save_s "$out")")
  if ! cmp -s "$file" "$work/saved.csv"; then # every row, in order, each ending in CR LF
    echo "$0: save: the keep-all result in the file's order differs from the file" >&2
    exit 1
  fi
  saved_size
  copies+=("$(seconds sh -c 'cp -- "$1" "$2" && sync' sh "$file" "$work/copied.csv")")
  rm -f "$work/copied.csv"
  sync
  out=$("$driver" --data "$file" --out-or "$work/keep-all.lst" --no-copy --out "$work/saved.csv")
  sorted_saves+=("$(key save_s "$out")")
  session_peaks+=("$(key peak_rss_mb "$out")")
  saved_size
done
save_s=$(median3 "${saves[@]}")
sorted_save_s=$(median3 "${sorted_saves[@]}")
cp_sync_s=$(median3 "${copies[@]}")
printf 'save_runs_s=%s\nsorted_save_runs_s=%s\ncp_sync_runs_s=%s\n' "${saves[*]}" \
  "${sorted_saves[*]}" "$(printf '%.3f ' "${copies[@]}")"
printf 'save_median_s=%.3f\nsorted_save_median_s=%.3f\ncp_sync_median_s=%.3f\n' "$save_s" \
  "$sorted_save_s" "$cp_sync_s"
printf 'save_over_cp_sync=%.3f\n' "$(echo "$save_s / $cp_sync_s" | bc -l)"
printf 'save_speed_over_cp_sync=%.3f\n' "$(echo "$cp_sync_s / $save_s" | bc -l)"
printf 'sorted_save_over_cp_sync=%.3f\n' "$(echo "$sorted_save_s / $cp_sync_s" | bc -l)"
printf 'session_peak_over_file=%.3f\n' \
  "$(echo "$(median3 "${session_peaks[@]}") / $file_mb" | bc -l)"

# ---- vornel --pick, end to end ----
# The command line (streaming: no sort) over the same file, its standard output written to a file
# as the reference's is, three times each, taking turns: the kanji phrase against
# `LC_ALL=C grep -F PHRASE FILE > out` (pick_phrase_over_grep), and the four-list mix against the
# awk program above printing its lines (pick_mix_over_awk). Each result must be the reference's
# bytes (the file's lines end in CR LF, as the pickup writes them). The phrase is also written
# with --output, which puts the file in place whole and syncs it, as Save does
# (pick_phrase_output_over_grep). The program is taken from $VORNEL_PROGRAM, or else from
# build/release/bin.
vornel=${VORNEL_PROGRAM:-$here/../build/release/bin/vornel}
if [ ! -x "$vornel" ]; then
  echo "$0: no program at $vornel (build vornel, Release, in build/release, or set VORNEL_PROGRAM)" >&2
  exit 1
fi
same_lines() { # result, reference, what
  if ! cmp -s "$1" "$2"; then
    echo "$0: $3: vornel --pick wrote $(wc -l < "$1") lines, the reference $(wc -l < "$2")" >&2
    exit 1
  fi
}
pick_phrase_runs=()
pick_output_runs=()
grep_lines_runs=()
pick_mix_runs=()
awk_lines_runs=()
for _ in 1 2 3; do
  grep_lines_runs+=("$(seconds env LC_ALL=C grep -F "$(infile "$phrase")" "$file")")
  mv "$work/out" "$work/grep.txt"
  pick_phrase_runs+=("$(seconds "$vornel" --pick "$file" --or "$work/kanji.lst" --quiet)")
  same_lines "$work/out" "$work/grep.txt" "phrase"
  pick_output_runs+=("$(seconds "$vornel" --pick "$file" --or "$work/kanji.lst" --quiet \
    --output "$work/picked.txt")")
  same_lines "$work/picked.txt" "$work/grep.txt" "phrase, --output"
  rm -f "$work/picked.txt" "$work/grep.txt"
  awk_lines_runs+=("$(seconds env LC_ALL=C awk -F, -v A="$(infile 田中)" -v B="$(infile 山田)" \
    -v C="$(infile 東京)" -v D="$(infile 一般)" -v E="$(infile ﾀﾛｳ)" '
    !($2 ~ /^20[0-9][0-9]\/0[0-9]\// && index($9, "ok")) { next }
    !(index($3, A) || index($3, B) || index($5, C)) { next }
    (index($6, D) && $8 ~ /[0-9]5$/) && (index($4, E) || index($7, "-Z")) { next }
    { print }' "$file")")
  mv "$work/out" "$work/awk.txt"
  pick_mix_runs+=("$(seconds "$vornel" --pick "$file" --and "$work/in-and.lst" \
    --or "$work/in-or.lst" --not-and "$work/out-and.lst" --not-or "$work/out-or.lst" --quiet)")
  same_lines "$work/out" "$work/awk.txt" "mix"
  rm -f "$work/awk.txt"
done
runs() { printf '%.3f ' "$@"; }
printf 'pick_phrase_runs_s=%s\ngrep_lines_runs_s=%s\n' "$(runs "${pick_phrase_runs[@]}")" \
  "$(runs "${grep_lines_runs[@]}")"
printf 'pick_phrase_output_runs_s=%s\n' "$(runs "${pick_output_runs[@]}")"
printf 'pick_mix_runs_s=%s\nawk_lines_runs_s=%s\n' "$(runs "${pick_mix_runs[@]}")" \
  "$(runs "${awk_lines_runs[@]}")"
pick_phrase_s=$(median3 "${pick_phrase_runs[@]}")
grep_lines_s=$(median3 "${grep_lines_runs[@]}")
pick_mix_s=$(median3 "${pick_mix_runs[@]}")
awk_lines_s=$(median3 "${awk_lines_runs[@]}")
printf 'pick_phrase_over_grep=%.3f\n' "$(echo "$pick_phrase_s / $grep_lines_s" | bc -l)"
printf 'pick_phrase_output_over_grep=%.3f\n' \
  "$(echo "$(median3 "${pick_output_runs[@]}") / $grep_lines_s" | bc -l)"
printf 'pick_mix_over_awk=%.3f\n' "$(echo "$pick_mix_s / $awk_lines_s" | bc -l)"
