#!/usr/bin/env bash
# Prints Kelvarin's measured figures, each with its target: start-up speed
# against a bare dialog, footprint, and steady-state memory over long use.
# Runs on the Wine test bed with all 26 drive letters mapped.
#   scripts/benchmark.sh [STARTUP_RUNS] [SWITCHES] [SLOW_RUNS]    (defaults 21, 2000 and 3)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-21}
switches=${2:-2000}
slow_runs=${3:-3}

bash scripts/setup.sh >/dev/null
preset=$(bash scripts/wine-build.sh)
dir=$(bash scripts/build.sh "$preset" 2>/dev/null)

echo "== Footprint"
mkdir -p build/bench
i686-w64-mingw32-strip -o build/bench/Kelvarin.exe build/bin/Kelvarin.exe
size=$(stat -c %s build/bench/Kelvarin.exe)
kib=$(( (size + 1023) / 1024 ))
verdict="NOT MET"; [ "$size" -le $((96 * 1024)) ] && verdict="MET"
echo "stripped Kelvarin.exe: $size bytes ($kib KiB) (target: at most 96 KiB) $verdict"
imports=$(i686-w64-mingw32-objdump -p build/bench/Kelvarin.exe | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort)
echo "imported DLLs: $(echo $imports)"
allowed="KERNEL32.DLL USER32.DLL GDI32.DLL COMCTL32.DLL COMDLG32.DLL ADVAPI32.DLL SHELL32.DLL SHLWAPI.DLL OLE32.DLL MSVCRT.DLL"
others=""
for dll in $imports; do
  case " $allowed " in *" $dll "*) ;; *) others="$others $dll" ;; esac
done
if [ -z "$others" ]; then
  echo "imports: only the system DLLs allowed (target) MET"
else
  echo "imports: also$others (target: only$allowed) NOT MET"
fi

echo
echo "== Start-up and steady state (Wine test bed, 26 drive letters, $preset build)"
probe=build/bench/memory-probe
rm -rf "$probe"
mkdir -p "$probe"
KELVARIN_ALL_DRIVES=1 scripts/testbed.sh "$dir" run bash -c "
  echo '-- where reading the drives spends its time (a fresh process, cold shell)'
  wine $dir/bin/kelvarin_bench.exe profile 2>/dev/null | iconv -f cp932 -t utf-8
  echo
  echo '-- a real start-up, traced: each answering thread, and the floor (fresh processes)'
  wine $dir/bin/kelvarin_bench.exe timeline 2>/dev/null | iconv -f cp932 -t utf-8
  wine $dir/bin/kelvarin_bench.exe timeline floor 2>/dev/null | iconv -f cp932 -t utf-8
  echo
  wine $dir/bin/kelvarin_bench.exe startup $runs 2>/dev/null | iconv -f cp932 -t utf-8
  echo
  scripts/bench-memory-probe.sh $probe &
  watcher=\$!
  KELVARIN_MEMORY_PROBE=\$(winepath -w $probe) wine $dir/bin/kelvarin_bench.exe steady $switches 2>/dev/null | iconv -f cp932 -t utf-8
  kill \$watcher
"

echo
echo "== With one drive answering Kelvarin at once, after 3 s and never, in turns (the test bed's drives and S:)"
if [ -e /dev/fuse ]; then
  scripts/testbed.sh "$dir" run scripts/testbed-slow-drive.sh 3 Kelvarin.exe bash -c "
    wine $dir/bin/kelvarin_bench.exe slow $slow_runs 2>/dev/null | iconv -f cp932 -t utf-8"
else
  echo "not measured: this machine has no /dev/fuse"
fi
