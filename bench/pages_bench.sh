#!/usr/bin/env bash
# A generated list page (/list&movies of a 1,000-item library) from vidoriad against nginx serving
# the same bytes as a static file, both on loopback with wrk, keep-alive.
#   bench/pages_bench.sh            DURATION=3 ITEMS=1000 bench/pages_bench.sh
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."
DURATION="${DURATION:-10}"
ITEMS="${ITEMS:-1000}"
OUR_PORT="${OUR_PORT:-18090}"
NGINX_PORT="${NGINX_PORT:-18091}"

need_packages nginx wrk curl
cmake --preset default >/dev/null
cmake --build build --target vidoriad >/dev/null

work="$(mktemp -d /tmp/vidoria-pages-bench.XXXXXX)"
chmod 755 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A library of ITEMS movies whose files exist (the pages list only files that are there).
data="$work/home/.local/share/Kelvane3"
mkdir -p "$data" "$work/videos"
{
  printf '4\r\n%d\r\n' "$ITEMS"
  for i in $(seq 1 "$ITEMS"); do printf 'MOVIE\r\n'; done
  for i in $(seq 1 "$ITEMS"); do printf '%s\r\n' "$work/videos/Movie $i.mp4"; done
  for i in $(seq 1 "$ITEMS"); do printf 'Movie %s.mp4\r\n' "$i"; done
  for i in $(seq 1 "$ITEMS"); do printf '1:01:40\r\n'; done
} >"$data/LIBRARY.kavra"
for i in $(seq 1 "$ITEMS"); do : >"$work/videos/Movie $i.mp4"; done
write_settings "$data" "$OUR_PORT"
HOME="$work/home" build/vidoriad >"$work/vidoriad.out" 2>&1 &
pids+=($!)
page=""
for _ in $(seq 1 200); do
  page="$(curl -s "http://127.0.0.1:$OUR_PORT/list&movies" || true)"
  [ "$(grep -c 'Movie ' <<<"$page" || true)" -ge "$ITEMS" ] && break
  sleep 0.05
done
mkdir -p "$work/www"
curl -s -o "$work/www/movies.html" "http://127.0.0.1:$OUR_PORT/list&movies"
bytes="$(stat -c %s "$work/www/movies.html")"

nginx_config "$work/nginx" "$NGINX_PORT" "$work/www" "$(nproc)" 4096 "$(ulimit -n)"
start_nginx "$work/nginx"
pids+=("$nginx_pid")
for _ in $(seq 1 100); do curl -sf -o /dev/null "http://127.0.0.1:$NGINX_PORT/movies.html" && break; sleep 0.05; done

rps() {  # URL
  wrk -t2 -c64 -d"${DURATION}s" "$1" | awk '/Requests\/sec/ {print $2}'
}
ours="$(rps "http://127.0.0.1:$OUR_PORT/list&movies")"
theirs="$(rps "http://127.0.0.1:$NGINX_PORT/movies.html")"
printf 'list page of %d items: %d bytes\n' "$ITEMS" "$bytes"
printf '%-28s %12s\n' "vidoriad /list&movies" "$ours req/s"
printf '%-28s %12s\n' "nginx static copy" "$theirs req/s"
awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "ratio vidoriad/nginx        %.2fx (goal: at least 0.8x)\n", a / b }'
