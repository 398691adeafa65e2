#!/bin/sh
# Installs the build into a temporary prefix (with a blank in it) and checks the layout.
# Usage: check_install.sh CMAKE BUILD_DIR with-window|without-window
set -eu
cmake="$1" build="$2" mode="$3"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/my apps"
fail() { echo "FAIL: $*"; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log"; fail "cmake --install"; }

dir="$prefix/lib/vidoria"
for program in vidoriad faststart; do
  [ -x "$dir/$program" ] && [ ! -L "$dir/$program" ] || fail "$dir/$program is not a program"
done
[ "$(head -c 5 "$dir/help.pdf")" = "%PDF-" ] || fail "no help.pdf beside the programs"
for asset in kavra.css library.png playlists.png blank.jpg; do
  [ -s "$dir/kavra/$asset" ] || fail "kavra/$asset missing"
done
grep -q "<svg" "$prefix/share/icons/hicolor/scalable/apps/vidoria.svg" || fail "icon missing"

# A launcher reached through a link of its own still starts the program in the program folder:
# without a data folder the program answers with its install message.
mkdir -p "$tmp/home/bin" "$tmp/data"
ln -s "$prefix/bin/vidoriad" "$tmp/home/bin/vidoriad"
status=0
HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" "$tmp/home/bin/vidoriad" >"$tmp/out" 2>&1 || status=$?
[ "$status" -eq 1 ] && grep -q "Please install Kelvane v3 or v4" "$tmp/out" ||
  { cat "$tmp/out"; fail "bin/vidoriad did not start the installed vidoriad (status $status)"; }

entry="$prefix/share/applications/vidoria.desktop"
if [ "$mode" = with-window ]; then
  [ -x "$dir/vidoria" ] && [ -x "$prefix/bin/vidoria" ] || fail "vidoria not installed"
  grep -qx "Exec=\"$dir/vidoria\"" "$entry" || { cat "$entry"; fail "Exec does not name $dir/vidoria"; }
  grep -qx "Icon=vidoria" "$entry" || fail "no icon in the menu entry"
else
  [ ! -e "$entry" ] && [ ! -e "$prefix/bin/vidoria" ] || fail "menu entry without the program"
fi
echo "install layout OK ($mode)"
