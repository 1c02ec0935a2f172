#!/usr/bin/env bash
# The large run: generates a file of $SCALE_ROWS rows (default 50,000,000, about 3.9 GB), loads it
# through the real window, runs a four-list pickup that keeps about half the rows, sorts and saves,
# and checks the peak memory (at most 1.4 x the file size) and the longest event-loop gap (at most
# 100 ms).
#
#   bench/scale.sh [WORKDIR]     (default: a temporary folder, removed afterwards)
# The programs are taken from $VORNEL_BENCH_BIN, or else from build/release/bin.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=${VORNEL_BENCH_BIN:-$here/../build/release/bin}
work=${1:-}
if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
list() { printf "$2" | iconv -f UTF-8 -t CP932 > "$work/$1"; }
list in_and.csv '"7","AB-"\r\n"2","20##/*"\r\n'
list in_or.csv '"6","抽選券"\r\n"6","予約済"\r\n"6","一般"\r\n"6","特別会員"\r\n"6","Ａ賞"\r\n'
list out_and.csv '"2","201#/*"\r\n'
list out_or.csv '"9","ok"\r\n"9","送付"\r\n'

rows=${SCALE_ROWS:-50000000}
data=$work/data$rows.csv
[ -f "$data" ] || "$bin/vornel_gen_data" --rows "$rows" --seed 7 --out "$data"
cat "$data" > /dev/null # warm the page cache

out=$("$bin/vornel_pick_bench" --data "$data" --in-and "$work/in_and.csv" \
  --in-or "$work/in_or.csv" --out-and "$work/out_and.csv" --out-or "$work/out_or.csv" \
  --out "$work/result.csv" --no-copy)
echo "$out"
size_mb=$(( $(stat -L -c %s "$data") / 1048576 ))
peak=$(echo "$out" | sed -n 's/^peak_rss_mb=//p')
gap=$(echo "$out" | sed -n 's/^max_gap_ms=//p')
echo "file_mb=$size_mb"
printf 'peak_over_file=%.2f\n' "$(echo "$peak / $size_mb" | bc -l)"
ok=1
if [ "$(echo "$peak > 1.4 * $size_mb" | bc -l)" = 1 ]; then echo "peak memory above 1.4 x the file"; ok=0; fi
if [ "$(echo "$gap > 100" | bc -l)" = 1 ]; then echo "an event-loop gap above 100 ms"; ok=0; fi
[ $ok = 1 ] && echo "scale: ok"
[ $ok = 1 ]
