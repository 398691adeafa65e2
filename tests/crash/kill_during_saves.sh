#!/usr/bin/env bash
# Kills vidoriad while it saves, over and over, and checks that its stored files survive.
#
# Each round changes the work (files appear in and vanish from the watched folders; the settings
# and folders files are written in a form the program rewrites, so its version differs), starts
# the real vidoriad in a temporary home (its data folder is $HOME/.local/share/Kelvane3, as for a
# user; the rescan switch is on, so it scans the watched folders as it starts and stores the
# library), and kills it with SIGKILL after a random delay: either during that start-up work (now
# and then late enough for the first generation, which stores the library again and drops
# playlist items the library lacks), or a few milliseconds after a SIGTERM, during the saves at
# close (settings, playlists, library, users, folders). Then every stored file must be the
# complete old or a complete new version, nothing may have been set aside as damaged, and a
# temporary file of an interrupted save must never stand in for the real one. The next round's
# start proves that the program starts from the files: it must report no damage, and once it
# serves, what earlier killed runs left behind must be gone. A last start after the rounds waits
# until the program serves and stops it normally. Generated pages are kept in memory only; they
# are no stored files.
#
# Usage: tests/crash/kill_during_saves.sh [path/to/vidoriad]
#   ROUNDS=40 (default); SEED=<number> repeats a run's choices (not its timing); KEEP=1 keeps
#   the work folder, which is always kept after a failure.
# The checks use shell built-ins only: on a busy machine every extra process costs time.
set -u

VIDORIAD=$(realpath "${1:-build/vidoriad}")
ROUNDS=${ROUNDS:-40}
SEED=${SEED:-$(((RANDOM << 15) | RANDOM))}
RANDOM=$SEED
STORED=(settings.kavra PLAYLISTS.kavra LIBRARY.kavra USERS.kavra FOLDERS.kavra)

work=$(mktemp -d "${TMPDIR:-/tmp}/kill_during_saves.XXXXXX")
home=$work/home
data=$home/.local/share/Kelvane3
films=$work/media/Films
shows=$work/media/shows
mkdir -p "$data" "$films" "$shows"

source "$(dirname "$0")/../vidoriad_child.sh"
round=setup

fail() {
  echo "FAIL (round $round, seed $SEED): $*" >&2
  failures=$((failures + 1))
}

crlf() { printf '%s\r\n' "$@"; }

slurp() {  # $1 variable, $2 file: the file's bytes (stored files hold no NUL)
  local -n into=$1
  into=
  [[ -e $2 ]] && { IFS= read -r -d '' into <"$2" || true; }
}

start_vidoriad() {
  : >"$work/out"  # emptied here, not by the child: served() must not read the last run's words
  : >"$work/err"
  spawn_vidoriad
}

served() {  # whether the last start got as far as serving
  local said
  slurp said "$work/out"
  [[ $said == *'serving on port'* ]]
}

# ---- The stored files as a user would have them before the first round.
rot13() { tr 'a-z' 'n-za-m' <<<"$1"; }  # the cipher's shift of 13, for ASCII letters
password=$(rot13 qorvu)
settings_lines() {  # $1 autorun line, $2 autoscan line, $3 interval
  crlf "$1" "Autostart OFF" "$2" "$3" "qorvu" "$password" "login OFF" "0"
}
crlf 2 1 "ann" "$(rot13 secret)" >"$data/USERS.kavra"
crlf "Share OFF" >"$data/sharing.kavra"  # no announcements to the network from this test
crlf 4 2 "Favorites" "Later" "" "" "gone.mp4" "" "" "" >"$data/PLAYLISTS.kavra"
# Names the library must never hold: a link inside a watched folder (a shortcut, not a file of
# the folder) and a name with a line break (no stored file could hold it).
echo x >"$work/media/outside.mp4"
ln -s ../outside.mp4 "$films/shortcut.mp4"
echo x >"$shows/two"$'\n'"lines.mp4"

# ---- Checks.
# Why the bytes are no complete grid file, in `problem` ("" when they are one): every line ends
# in CR LF, two counts, then exactly columns x rows cells. For the library (`$2`) also: no path
# twice, each name the last part of its path, neither the shortcut nor the broken name; its
# paths are left in `paths`.
grid_problem() {  # $1 bytes, $2 "library" or ""
  local text=$1 cells cols rows r path name
  problem= paths=()
  [[ $text == *$'\r\n' ]] || { problem="no CR LF at the end"; return; }
  text=${text//$'\r\n'/$'\x1f'}
  [[ $text == *[$'\r\n']* ]] && { problem="a bare CR or LF"; return; }
  IFS=$'\x1f' read -r -d '' -a cells <<<"$text"
  unset 'cells[-1]'  # the here-string's own line end
  cols=${cells[0]} rows=${cells[1]}
  [[ $cols =~ ^[1-9][0-9]*$ && $rows =~ ^[1-9][0-9]*$ ]] || { problem="no counts"; return; }
  ((${#cells[@]} == 2 + cols * rows)) || { problem="${#cells[@]} lines for $cols x $rows cells"; return; }
  [[ $2 == library ]] || return
  local -A seen=()
  for ((r = 0; r < rows; r++)); do
    path=${cells[2 + rows + r]} name=${cells[2 + 2 * rows + r]}
    paths+=("$path")
    [[ -z $path ]] && continue
    [[ -z ${seen[$path]:-} ]] || { problem="twice: $path"; return; }
    seen[$path]=1
    [[ ${path##*/} == "$name" ]] || { problem="name $name for $path"; return; }
    [[ $name == shortcut.mp4 || $path == */two ]] && { problem="holds $path"; return; }
  done
}

# $1 name, $2 the new version's bytes when they are known; otherwise any complete version.
check_file() {
  local name=$1 now before had=0 old_paths
  [[ -v "old_files[$name]" ]] && had=1 before=${old_files[$name]}
  if [[ ! -e $data/$name ]]; then
    ((had)) && fail "$name is missing"  # else it was not written yet
    return
  fi
  slurp now "$data/$name"
  ((had)) && [[ $now == "$before" ]] && return
  changed=$((changed + 1))
  if (($# > 1)); then
    [[ $now == "$2" ]] || fail "$name is neither the old nor the new version: ${now@Q}"
    return
  fi
  if [[ $name != LIBRARY.kavra ]]; then
    grid_problem "$now" ""
    [[ -z $problem ]] || fail "$name is no complete grid file ($problem)"
    return
  fi
  old_paths=()
  if ((had)); then
    grid_problem "$before" library
    old_paths=("${paths[@]}")
  fi
  grid_problem "$now" library
  [[ -z $problem ]] || { fail "LIBRARY.kavra: $problem"; return; }
  # Rows are only ever added (an empty row, the free slot of an empty library, is filled in
  # place), so every old row keeps its place, unchanged.
  local i
  for i in "${!old_paths[@]}"; do
    [[ -z ${old_paths[i]} || ${paths[i]-} == "${old_paths[i]}" ]] && continue
    fail "LIBRARY.kavra lost or reordered rows: row $((i + 1)) was ${old_paths[i]@Q}, now ${paths[i]-none}"
    return
  done
}

# The temporary files in the data folder that writer $1 did not write, in `stale`.
find_stale() {
  local f pid
  stale=()
  for f in "$data"/*.tmp-*; do
    [[ -e $f ]] || continue
    pid=${f##*.tmp-}
    [[ ${pid%%-*} == "$1" ]] || stale+=("${f##*/}")
  done
}

check_start() {  # $1 what it was
  local said f
  slurp said "$work/err"
  [[ $said == *'could not be read'* || $said == *'Cannot write'* || $said == *'Left out of'* ]] &&
    fail "$1 reported: $said"
  for f in "$data"/*.bad; do
    [[ -e $f ]] || continue
    fail "set aside: $f"
    rm -f "$f"  # one damage is reported once
  done
}

# ---- The rounds.
closes=0 news=0 interrupted=0 verified=0 rounds=0 next_file=0
declare -A old_files
for ((round = 1; round <= ROUNDS && failures <= 10; round++)); do
  rounds=$round
  # New files in the watched folders, and some old ones gone (their rows stay).
  for ((i = RANDOM % 8; i > 0; i--)); do
    next_file=$((next_file + 1))
    folder=$films
    ((RANDOM % 2)) && folder=$shows
    printf -v name 'f%05d take %d.mp4' "$next_file" $((RANDOM % 100))
    echo x >"$folder/$name"
  done
  gone=()
  for f in "$films"/f*.mp4 "$shows"/f*.mp4; do
    [[ -e $f ]] && ((RANDOM % 6 == 0)) && gone+=("$f")
  done
  ((${#gone[@]})) && rm -f "${gone[@]}"
  # Files the program rewrites in its own form, so its version differs from the old one.
  autorun="Autorun OFF" autoscan="Autoscan ON" interval=$((5 + RANDOM % 60))
  ((RANDOM % 2)) && autorun="autorun off"
  ((RANDOM % 2)) && autoscan="autoscan on"
  settings_lines "$autorun" "$autoscan" "$interval" >"$data/settings.kavra"
  settings_lines "Autorun OFF" "Autoscan ON" "$interval" >"$work/settings.new"
  if ((RANDOM % 2)); then crlf "$shows/" "$films/"; else crlf "$films/" "$shows/"; fi >"$data/FOLDERS.kavra"
  crlf "$films/" "$shows/" >"$work/folders.new"  # sorted, as the window lists them
  slurp new_settings "$work/settings.new"
  slurp new_folders "$work/folders.new"
  old_files=()
  for name in "${STORED[@]}"; do
    [[ -e $data/$name ]] && slurp "old_files[$name]" "$data/$name"
  done

  start_vidoriad
  if ((RANDOM % 2)); then
    # Killed during its start-up work; now and then late enough for the first generation.
    delay=$((RANDOM % 400))
    ((RANDOM % 4 == 0)) && delay=$((800 + RANDOM % 500))
    printf -v pause '%d.%03d' $((delay / 1000)) $((delay % 1000))
    sleep "$pause"
  else
    # Killed while it saves at close.
    printf -v pause '0.%03d' $((RANDOM % 400))
    sleep "$pause"
    kill -TERM "$child" 2>/dev/null
    closes=$((closes + 1))
    printf -v pause '0.%03d' $((RANDOM % 30))
    sleep "$pause"
  fi
  kill -KILL "$child" 2>/dev/null
  wait "$child" 2>/dev/null
  pid=$child child=

  # This start loaded the files the previous round left.
  check_start "the start"
  if served; then
    verified=$((verified + 1))
    # Once serving, it has cleared what earlier killed runs left behind.
    find_stale "$pid"
    ((${#stale[@]} == 0)) || fail "temporary files of earlier runs stay: ${stale[*]}"
  fi

  changed=0
  check_file settings.kavra "$new_settings"
  check_file PLAYLISTS.kavra
  check_file LIBRARY.kavra
  check_file USERS.kavra
  check_file FOLDERS.kavra "$new_folders"
  ((changed > 0)) && news=$((news + 1))
  for f in "$data"/*.tmp-"$pid"-*; do
    [[ -e $f ]] && interrupted=$((interrupted + 1)) && break
  done
done

# ---- A last, normal start: it must load everything, serve, and stop cleanly.
round=last
start_vidoriad
for ((i = 0; i < 200; i++)); do
  served && break
  sleep 0.05
done
slurp said "$work/err"
served || fail "the last start does not serve: $said"
kill -TERM "$child"
wait "$child"
status=$? child=
((status == 0)) || fail "the last start exited $status"
check_start "the last start"
slurp library "$data/LIBRARY.kavra"
grid_problem "$library" library
[[ -z $problem ]] || fail "LIBRARY.kavra at the end: $problem"
find_stale none
((${#stale[@]} == 0)) || fail "temporary files stay after a normal start and stop: ${stale[*]}"

echo "kill_during_saves: $rounds rounds, seed $SEED, $failures failures;" \
  "$closes kills during the saves at close; $news rounds left a new version," \
  "$interrupted an interrupted save; $verified restarts got to serving;" \
  "the library ends with ${#paths[@]} rows"
((failures == 0))
