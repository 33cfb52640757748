#!/usr/bin/env bash
# Answers kelvarin_bench's memory requests (see bench/kelvarin_bench.cpp):
# for each NAME.request in FOLDER, writes NAME.done with the private memory
# (KiB, from /proc/PID/smaps_rollup) of the host process running Kelvarin.exe:
# of the processes whose command line names it, the one Wine runs it in (a
# loader or a shell that names it briefly holds almost nothing), so the
# largest; 0 when there is none. Runs until killed.
folder=${1:?folder}
while :; do
  for request in "$folder"/*.request; do
    [ -e "$request" ] || continue
    name=${request%.request}
    kib=0
    for pid in $(pgrep -f 'Kelvarin\.exe'); do
      [ -r "/proc/$pid/smaps_rollup" ] || continue
      own=$(awk '/^Private_(Clean|Dirty):/ { sum += $2 } END { print sum + 0 }' "/proc/$pid/smaps_rollup")
      [ "$own" -gt "$kib" ] && kib=$own
    done
    rm -f "$request"
    echo "$kib" >"$name.done"
  done
  sleep 0.1
done
