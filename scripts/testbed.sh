#!/usr/bin/env bash
# The Wine test bed: a 32-bit Japanese prefix with drives of several types,
# on a private Xvfb display, inside the build tree.
#
#   scripts/testbed.sh BUILD_DIR app
#       Starts Kelvarin.exe in the prefix BUILD_DIR/testbed/app (made from the
#       template once and kept, so changes made in it stay). On the user's
#       display when DISPLAY is set; otherwise on a private one, where a
#       screenshot of the window is saved and its path printed, and the
#       program is ended.
#
#   [KELVARIN_ALL_DRIVES=1] scripts/testbed.sh BUILD_DIR run COMMAND...
#       Makes the template prefix if it is missing, lays a fresh copy of it,
#       starts Xvfb and one wineserver for the whole command, runs COMMAND
#       with WINEPREFIX and DISPLAY set, and shuts both down afterwards, also
#       when the command fails. Exits with the command's status.
#
# With KELVARIN_ALL_DRIVES=1 (the benchmarks) every other letter, A to Y,
# is mapped too, with the types taking turns.
#
# Drives of the test prefix (folders under BUILD_DIR/testbed/run/drives):
#   C: fixed (the prefix's drive_c)   D: CD-ROM     E: removable (floppy)
#   F: network    G: fixed, labelled "データ"    H: RAM disk    Z: the file system root
set -euo pipefail

build_dir=$(cd "${1:?build directory}" && pwd)
shift
action=${1:?action}
shift

bed="$build_dir/testbed"
template="$bed/template"
run="$bed/run"
mkdir -p "$bed"

# A 32-bit prefix where the kernel runs 32-bit programs; elsewhere a 64-bit
# one, with "wine" (and every tool Debian starts through "wine-stable")
# routed to the 64-bit loader, as Debian's wrapper would pick the 32-bit one.
if [ "$(bash "$(dirname "$0")/wine-build.sh")" = mingw-i686 ]; then
  export WINEARCH=win32
else
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  shims="$bed/wine64-bin"
  mkdir -p "$shims"
  for tool in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$shims/$tool"
    chmod +x "$shims/$tool"
  done
  export PATH="$shims:$PATH"
fi
export WINEDEBUG=-all
# No Mono or Gecko installers: they would ask on a display nobody watches.
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

xvfb_pid=""
start_display() {
  local fifo="$bed/display.$$"
  rm -f "$fifo"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  local number
  read -r -t 20 number <"$fifo" || { echo "testbed: Xvfb did not start" >&2; exit 1; }
  rm -f "$fifo"
  export DISPLAY=":$number"
}

stop_all() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" >/dev/null 2>&1 || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}

# Registry settings of the template, as UTF-16 with a byte-order mark: the
# registry editor reads Japanese names reliably only that way.
write_template_registry() {
  local reg="$bed/template.reg"
  sed 's/$/\r/' <<'REG' | iconv -f UTF-8 -t UTF-16LE >"$reg.body"
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS UI Gothic"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1600x1200"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

; Windows opens .txt files with Notepad; a fresh Wine prefix has no such association.
[HKEY_LOCAL_MACHINE\Software\Classes\.txt]
@="txtfile"

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"d:"="cdrom"
"e:"="floppy"
"f:"="network"
"g:"="hd"
"h:"="ramdisk"
REG
  printf '\xff\xfe' >"$reg"
  cat "$reg.body" >>"$reg"
  rm -f "$reg.body"
  echo "$reg"
}

# Raise when the template's contents change, so existing build trees remake it.
template_version="4-$WINEARCH"

make_template() {
  if [ "$(cat "$template/.kelvarin-ready" 2>/dev/null)" = "$template_version" ]; then
    return 0
  fi
  echo "testbed: creating the template prefix (once per build tree)" >&2
  rm -rf "$template"
  mkdir -p "$bed"
  export WINEPREFIX="$template"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  local reg
  reg=$(write_template_registry)
  wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
  mkdir -p "$template/drive_c/windows/Fonts"
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$template/drive_c/windows/Fonts/"
  fi
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  echo "$template_version" >"$template/.kelvarin-ready"
  unset WINEPREFIX
}

# lay_prefix DIR: a copy of the template with the test bed's drives mapped to
# fresh folders inside it.
lay_prefix() {
  local prefix=$1
  if [ -d "$prefix" ]; then
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  fi
  rm -rf "$prefix"
  cp -a "$template" "$prefix"
  local drives="$prefix/drives"
  mkdir -p "$drives"/{cdrom,floppy,network,data,ramdisk}
  printf 'データ\n' >"$drives/data/.windows-label"
  ln -sfn "$drives/cdrom" "$prefix/dosdevices/d:"
  ln -sfn "$drives/floppy" "$prefix/dosdevices/e:"
  ln -sfn "$drives/network" "$prefix/dosdevices/f:"
  ln -sfn "$drives/data" "$prefix/dosdevices/g:"
  ln -sfn "$drives/ramdisk" "$prefix/dosdevices/h:"
  # A folder that is a link to another (a junction, to Windows programs),
  # which the writer must not trust.
  ln -sfn ../windows "$prefix/drive_c/kelvarin-junction"
}

# Maps every free letter from A to Y; Wine reads drive types when its server
# starts, so the server is restarted afterwards.
map_every_letter() {
  local prefix=$1 types=(hd cdrom floppy network ramdisk) n=0 letter
  for letter in a b i j k l m n o p q r s t u v w x y; do
    mkdir -p "$prefix/drives/extra-$letter"
    ln -sfn "$prefix/drives/extra-$letter" "$prefix/dosdevices/$letter:"
    wine reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d "${types[n % 5]}" /f >/dev/null 2>&1
    n=$((n + 1))
  done
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
}

case "$action" in
  app)
    app="$bed/app"
    if [ -n "${DISPLAY:-}" ]; then
      make_template
      [ -d "$app/dosdevices" ] || lay_prefix "$app"
      export WINEPREFIX="$app"
      cd "$build_dir/bin"
      exec wine Kelvarin.exe
    fi
    trap stop_all EXIT
    start_display
    make_template
    [ -d "$app/dosdevices" ] || lay_prefix "$app"
    export WINEPREFIX="$app"
    shot="$build_dir/kelvarin-window.png"
    rm -f "$shot"
    (cd "$build_dir/bin" && wine Kelvarin.exe >/dev/null 2>&1 &)
    # The virtual desktop is one colour until Kelvarin's window is on it;
    # then the window gets a moment to list its drives, and the desktop
    # around it is trimmed away.
    for _ in $(seq 60); do
      sleep 0.5
      import -window root "$shot" 2>/dev/null || continue
      [ "$(convert "$shot" -format '%[fx:standard_deviation>0.01]' info:)" = 1 ] && break
    done
    sleep 2
    import -window root "$shot"
    convert "$shot" -trim +repage "$shot"
    echo "Kelvarin ran on a virtual display; its window: $shot"
    ;;
  run)
    trap stop_all EXIT
    trap 'exit 130' INT TERM
    start_display
    make_template
    lay_prefix "$run"
    export WINEPREFIX="$run"
    export KELVARIN_TESTBED="$run"
    if [ "${KELVARIN_ALL_DRIVES:-}" = 1 ]; then
      map_every_letter "$run"
    fi
    # One server for the whole run: a cold Wine start costs seconds.
    wineserver -p
    wine wineboot >/dev/null 2>&1 || true
    set +e
    "$@"
    status=$?
    set -e
    exit $status
    ;;
  *)
    echo "usage: $0 BUILD_DIR run COMMAND..." >&2
    exit 2
    ;;
esac
