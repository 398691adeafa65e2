#!/usr/bin/env bash
# What vidoriad holds per connection and what it gives back after load: resident memory per idle
# connection, per idle keep-alive connection after one answer, through waves of keep-alive
# connections, and the CPU of the first burst of range clients after start against a later one.
# vidoriad serves one large .mp4 of its library, as in bench/files_bench.sh. No peer server: the
# figures are compared with the same script on another build, in the same sitting.
#
# Usage: bench/memory_bench.sh
# Environment (defaults in brackets):
#   FILE_MIB [1024]   size of the served file, shared with files_bench.sh (MEDIA_DIR)
#   IDLE [5000]       connections for the per-connection figures, held HOLD [3] seconds
#   ANSWER [100000]   bytes of the file each keep-alive connection asks for first (two pieces)
#   WAVES [4]         waves of IDLE keep-alive connections, one answer each, then closed
#   QUIET [12]        seconds to wait after the waves before the last reading (vidoriad gives
#                     free memory back after 10 quiet seconds)
#   BURST [16]        range clients of the cold and warm bursts, RANGE_MIB [64] each
#   OUR_PORT [28592]
#   VIDORIAD [build/vidoriad]   the program measured (another build, to compare)
#   GLIBC_TUNABLES      passed on to it, to try allocator settings
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."

FILE_MIB="${FILE_MIB:-1024}"
MEDIA_DIR="${MEDIA_DIR:-/tmp/vidoria-bench-media-${FILE_MIB}MiB}"
IDLE="${IDLE:-5000}"
HOLD="${HOLD:-3}"
ANSWER="${ANSWER:-100000}"
WAVES="${WAVES:-4}"
QUIET="${QUIET:-12}"
BURST="${BURST:-16}"
RANGE_MIB="${RANGE_MIB:-64}"
OUR_PORT="${OUR_PORT:-28592}"
VIDORIAD="${VIDORIAD:-build/vidoriad}"
URL_PATH=/big.mp4
FILE_BYTES=$((FILE_MIB * 1048576))

need_packages curl
cmake --build build --target vidoriad range_clients idle_clients >/dev/null

hard="$(ulimit -Hn)"
if [ "$hard" = unlimited ]; then hard=1048576; fi
ulimit -n "$hard"
tick="$(getconf CLK_TCK)"

big="$MEDIA_DIR/big.mp4"
mkdir -p "$MEDIA_DIR"
if [ "$(stat -c %s "$big" 2>/dev/null || echo 0)" != "$FILE_BYTES" ]; then
  echo "Writing $FILE_MIB MiB of random bytes to $big" >&2
  rm -f "$big"
  head -c "$FILE_BYTES" /dev/urandom >"$big.part"
  mv "$big.part" "$big"
fi
cat "$big" >/dev/null

work="$(mktemp -d "${TMPDIR:-/tmp}/vidoria-memory-bench.XXXXXX")"
our_pid=""
nginx_pid=""
client_pid=""
trap stop_everything EXIT
trap 'exit 130' INT TERM

home="$work/home"
data="$home/.local/share/Kelvane3"
mkdir -p "$data"
write_film_library "$data" "$big"
write_settings "$data" "$OUR_PORT"

start_server() {
  env -i HOME="$home" PATH=/usr/bin:/bin ${GLIBC_TUNABLES:+GLIBC_TUNABLES="$GLIBC_TUNABLES"} "$VIDORIAD" >"$work/vidoriad.out" 2>&1 &
  our_pid=$!
  for _ in $(seq 100); do
    curl -s -o /dev/null --max-time 1 -r 0-0 "http://127.0.0.1:$OUR_PORT$URL_PATH" && return 0
    sleep 0.1
  done
  echo "vidoriad did not answer" >&2
  cat "$work/vidoriad.out" >&2
  exit 1
}
cpu_ticks() { sed 's/.*) //' "/proc/$our_pid/stat" | awk '{print $12 + $13}'; }

# One burst of range clients: prints MiB/s and CPU s per GiB.
burst() {
  local c0 c1 out="$work/burst.txt" bytes speed
  c0="$(cpu_ticks)"
  build/bench/range_clients "$OUR_PORT" "$URL_PATH" "$big" "$BURST" $((RANGE_MIB * 1048576)) 0 \
    120 >"$out" 2>&1 || echo "burst failed: $(paste -sd' ' "$out")" >&2
  c1="$(cpu_ticks)"
  bytes="$(sed -n 's/^result .*bytes=\([0-9]*\).*/\1/p' "$out")"
  speed="$(sed -n 's/^result .*mibps=\([0-9.]*\).*/\1/p' "$out")"
  awk -v s="${speed:-0}" -v t=$((c1 - c0)) -v b="${bytes:-0}" -v hz="$tick" \
    'BEGIN { printf "%.0f MiB/s, %.3f CPU s per GiB", s, (b > 0 ? t / hz / (b / 1073741824) : 0) }'
}

# Connections held by idle_clients: prints KiB per connection.
per_connection() {  # EXTRA-ARGUMENTS...
  local before held out="$work/idle.txt"
  sleep 1
  before="$(rss_kib ours)"
  build/bench/idle_clients "$OUR_PORT" "$IDLE" "$HOLD" "$@" >"$out" 2>&1 &
  client_pid=$!
  while ! grep -q '^connected' "$out" 2>/dev/null; do sleep 0.2; done
  sleep 1
  held="$(rss_kib ours)"
  wait "$client_pid" || echo "idle_clients: $(paste -sd' ' "$out")" >&2
  client_pid=""
  awk -v a="$before" -v b="$held" -v n="$IDLE" 'BEGIN { printf "%.2f", (b - a) * 1024 / n }'
}

start_server
cold="$(burst)"
sleep 2
warm="$(burst)"
sleep 1
curl -s -o /dev/null "http://127.0.0.1:$OUR_PORT/"
sleep 1
base="$(rss_kib ours)"
idle="$(per_connection)"
keep="$(per_connection "$URL_PATH" "$ANSWER")"
sleep 1
warm_base="$(rss_kib ours)"
waves=""
for w in $(seq "$WAVES"); do
  build/bench/idle_clients "$OUR_PORT" "$IDLE" 0 "$URL_PATH" "$ANSWER" >"$work/wave.txt" 2>&1 ||
    echo "wave $w: $(paste -sd' ' "$work/wave.txt")" >&2
  waves+="$(rss_kib ours) "
done
sleep "$QUIET"
quiet="$(rss_kib ours)"

echo
echo "vidoriad memory, $(date -u "+%Y-%m-%d %H:%M UTC"), load average $(cut -d' ' -f1 /proc/loadavg)"
echo "first burst of $BURST range clients:  $cold"
echo "second burst:                        $warm"
echo "RSS KiB after the bursts:            $base"
echo "bytes per idle connection:           $idle"
echo "bytes per keep-alive connection after one answer of $ANSWER bytes: $keep"
echo "RSS KiB before the waves:            $warm_base"
echo "RSS KiB after each wave of $IDLE:    $waves"
echo "RSS KiB ${QUIET}s after the last wave:     $quiet"
