#!/bin/sh
# The menu entry's Exec names the program as one argument, whatever its path holds.
# Usage: check_desktop_entry.sh CMAKE PACKAGING_SOURCE_DIR
set -eu
cmake="$1" source="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

check() {  # program path, expected Exec line
  "$cmake" -DTEMPLATE="$source/vidoria.desktop.in" -DOUTPUT="$tmp/vidoria.desktop" \
    -DPROGRAM="$1" -P "$source/write_desktop_entry.cmake" >/dev/null
  line=$(grep '^Exec=' "$tmp/vidoria.desktop")
  [ "$line" = "$2" ] || { echo "FAIL: for $1 got $line, want $2"; exit 1; }
  # The desktop's own checker: errors and hints alike (a hint is what menus stumble on).
  if command -v desktop-file-validate >/dev/null; then
    report=$(desktop-file-validate "$tmp/vidoria.desktop" 2>&1) || true
    [ -z "$report" ] || { echo "FAIL: desktop-file-validate: $report"; exit 1; }
  else
    echo "desktop-file-validate not installed: the entry's validity is not checked"
  fi
}

check '/usr/local/lib/vidoria/vidoria' 'Exec="/usr/local/lib/vidoria/vidoria"'
check '/home/ann/my apps/lib/vidoria/vidoria' 'Exec="/home/ann/my apps/lib/vidoria/vidoria"'
check '/opt/a "b" $c %d\e/vidoria' 'Exec="/opt/a \\"b\\" \\$c %%d\\\\e/vidoria"'
grep -qx 'Type=Application' "$tmp/vidoria.desktop"
echo "desktop entry OK"
