#!/usr/bin/env bash
# Answers kelvarin_bench's memory requests (see bench/kelvarin_bench.cpp):
# for each NAME.request in FOLDER, writes NAME.done with the private memory
# (KiB, from /proc/PID/smaps_rollup) of the host process running Kelvarin.exe.
# Runs until killed.
folder=${1:?folder}
while :; do
  for request in "$folder"/*.request; do
    [ -e "$request" ] || continue
    name=${request%.request}
    pid=$(pgrep -f 'Kelvarin\.exe' | head -n 1)
    kib=0
    if [ -n "$pid" ] && [ -r "/proc/$pid/smaps_rollup" ]; then
      kib=$(awk '/^Private_(Clean|Dirty):/ { sum += $2 } END { print sum + 0 }' "/proc/$pid/smaps_rollup")
    fi
    rm -f "$request"
    echo "$kib" >"$name.done"
  done
  sleep 0.1
done
