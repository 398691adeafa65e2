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
printf 'Autorun OFF\r\nAutostart OFF\r\nAutoscan OFF\r\n5\r\nqorvu\r\n~|\x7f\x83\x82\r\nlogin OFF\r\n%s\r\n' \
  "$OUR_PORT" >"$data/settings.kavra"
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

cat >"$work/nginx.conf" <<CONF
worker_processes $(nproc);
pid $work/nginx.pid;
error_log $work/nginx-error.log warn;
events { worker_connections 4096; }
http {
  access_log $work/nginx-access.log;
  keepalive_requests 1000000;
  client_body_temp_path $work/cb; proxy_temp_path $work/px; fastcgi_temp_path $work/fc;
  uwsgi_temp_path $work/uw; scgi_temp_path $work/sc;
  server { listen 127.0.0.1:$NGINX_PORT; root $work/www; default_type text/html; }
}
CONF
"$(command -v nginx || echo /usr/sbin/nginx)" -p "$work" -c "$work/nginx.conf" -g 'daemon off;' &
pids+=($!)
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
