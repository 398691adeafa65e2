#!/usr/bin/env bash
# The small requests every page brings: a 10 KiB file from the site's kavra/ folder and the home
# page, from vidoriad against nginx serving the same bytes, both on loopback in the same run. Shows
# requests/s and p99 with keep-alive and with a new connection per request, the context switches
# and CPU per request of vidoriad (from /proc), and the time a burst of BURST connects takes.
#
# Usage: bench/static_bench.sh            ROUNDS=3 DURATION=8 BURST=10000 bench/static_bench.sh
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."
DURATION="${DURATION:-8}"
ROUNDS="${ROUNDS:-3}"
BURST="${BURST:-10000}"
OUR_PORT="${OUR_PORT:-18092}"
NGINX_PORT="${NGINX_PORT:-18093}"
FILE=bench10k.css

need_packages nginx wrk curl
cmake --preset default >/dev/null
cmake --build build --target vidoriad idle_clients kavra_assets >/dev/null

hard="$(ulimit -Hn)"
if [ "$hard" = unlimited ]; then hard=1048576; fi
ulimit -n "$hard"

work="$(mktemp -d /tmp/vidoria-static-bench.XXXXXX)"
chmod 755 "$work"
our_pid=""
nginx_pid=""
cleanup() {
  stop_pid "$our_pid"
  stop_pid "$nginx_pid"
  rm -rf "$work"
  rm -f "build/kavra/$FILE"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The file lives in the kavra/ folder beside the program, where the site's style sheet is.
head -c 10240 /dev/zero | tr '\0' 'k' | fold -w 63 | head -c 10240 >"build/kavra/$FILE"
data="$work/home/.local/share/Kelvane3"
mkdir -p "$data"
printf 'Autorun OFF\r\nAutostart OFF\r\nAutoscan OFF\r\n5\r\nbench\r\n\r\nlogin OFF\r\n%s\r\n' \
  "$OUR_PORT" >"$data/settings.kavra"
env -i HOME="$work/home" PATH=/usr/bin:/bin build/vidoriad >"$work/vidoriad.out" 2>&1 &
our_pid=$!
for _ in $(seq 100); do
  curl -sf -o /dev/null "http://127.0.0.1:$OUR_PORT/kavra/$FILE" && break
  sleep 0.1
done

mkdir -p "$work/www/kavra"
cp "build/kavra/$FILE" "$work/www/kavra/$FILE"
curl -s -o "$work/www/index.html" "http://127.0.0.1:$OUR_PORT/"
chmod -R a+rX "$work/www"
cat >"$work/nginx.conf" <<CONF
worker_processes $(nproc);
worker_rlimit_nofile $(ulimit -n);
pid $work/nginx.pid;
error_log $work/nginx-error.log warn;
events { worker_connections $((BURST + 1024)); }
http {
  types { text/css css; text/html html; }
  access_log $work/nginx-access.log;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 1000000;
  keepalive_timeout 60s;
  client_body_temp_path $work/cb; proxy_temp_path $work/px; fastcgi_temp_path $work/fc;
  uwsgi_temp_path $work/uw; scgi_temp_path $work/sc;
  server { listen 127.0.0.1:$NGINX_PORT backlog=200; root $work/www; }
}
CONF
"$(command -v nginx || echo /usr/sbin/nginx)" -p "$work" -c "$work/nginx.conf" \
  -g 'daemon off;' >"$work/nginx.out" 2>&1 &
nginx_pid=$!
for _ in $(seq 100); do
  curl -sf -o /dev/null "http://127.0.0.1:$NGINX_PORT/kavra/$FILE" && break
  sleep 0.1
done

to_ms() {
  awk -v v="$1" 'BEGIN { n = v + 0
    if (v ~ /us$/) n /= 1000; else if (v ~ /ms$/) n += 0; else if (v ~ /m$/) n *= 60000;
    else if (v ~ /s$/) n *= 1000
    printf "%.2f", n }'
}

# Context switches of all threads and CPU ticks of the process, from /proc (perf stat -p cannot
# attach everywhere).
switches_and_cpu() {  # PID
  local cs
  cs="$(cat /proc/"$1"/task/*/status 2>/dev/null |
    awk '/^(non)?voluntary_ctxt_switches:/ {s += $2} END {print s + 0}')"
  echo "$cs $(awk '{print $14 + $15}' /proc/"$1"/stat)"
}

declare -A rps_runs p99_runs cs_runs cpu_runs
run_wrk() {  # NAME PORT PATH MODE
  local key="$1 $3 $4" out="$work/wrk.txt" header=() cs0=0 cpu0=0
  if [ "$4" = close ]; then header=(-H "Connection: close"); fi
  if [ "$1" = ours ]; then
    read -r cs0 cpu0 < <(switches_and_cpu "$our_pid")
  fi
  timeout $((DURATION + 30)) wrk -t2 -c64 -d"${DURATION}s" --latency "${header[@]}" \
    "http://127.0.0.1:$2$3" >"$out" 2>&1 || true
  local r l
  r="$(awk '/^Requests\/sec:/ {printf "%.0f", $2}' "$out")"
  l="$(awk '$1 == "99%" {print $2}' "$out")"
  rps_runs[$key]+="${r:-0} "
  p99_runs[$key]+="$(to_ms "${l:-0ms}") "
  if [ "$1" = ours ]; then
    local total cs1 cpu1 cs ms
    read -r cs1 cpu1 < <(switches_and_cpu "$our_pid")
    total="$(awk '/requests in/ {print $1}' "$out")"
    cs=$((cs1 - cs0))
    ms=$(((cpu1 - cpu0) * 1000 / $(getconf CLK_TCK)))
    cs_runs[$key]+="$(awk -v c="$cs" -v t="$total" 'BEGIN { printf "%.2f", (t > 0 ? c / t : 0) }') "
    cpu_runs[$key]+="$(awk -v c="$ms" -v t="$total" 'BEGIN { printf "%.1f", (t > 0 ? c * 1000 / t : 0) }') "
  fi
  sleep 1
}

declare -A burst_runs
run_burst() {  # NAME PORT
  local s
  s="$(build/bench/idle_clients "$2" "$BURST" 0 | awk '/^connected/ {print $6}')"
  burst_runs[$1]+="${s:-60} "
  sleep 2  # the server closes the connections and the sockets leave the accept queue
}

for round in $(seq "$ROUNDS"); do
  echo "round $round" >&2
  for target in "/kavra/$FILE keepalive" "/kavra/$FILE close" "/ close"; do
    set -- $target
    run_wrk ours "$OUR_PORT" "$1" "$2"
    run_wrk nginx "$NGINX_PORT" "$1" "$2"
  done
  run_burst ours "$OUR_PORT"
  run_burst nginx "$NGINX_PORT"
done

printf '%-34s %10s %8s %10s %8s %7s %7s %8s %9s\n' case "ours r/s" "p99 ms" "nginx r/s" "p99 ms" \
  "r/s x" "p99 x" "cs/req" "us/req"
for target in "/kavra/$FILE keepalive" "/kavra/$FILE close" "/ close"; do
  set -- $target
  a="$(median %.0f "${rps_runs[ours $1 $2]}")"
  b="$(median %.0f "${rps_runs[nginx $1 $2]}")"
  pa="$(median %.2f "${p99_runs[ours $1 $2]}")"
  pb="$(median %.2f "${p99_runs[nginx $1 $2]}")"
  printf '%-34s %10s %8s %10s %8s %7s %7s %8s %9s\n' "$1 $2" "$a" "$pa" "$b" "$pb" \
    "$(ratio "$a" "$b")" "$(ratio "$pa" "$pb")" "$(median %.2f "${cs_runs[ours $1 $2]}")" \
    "$(median %.1f "${cpu_runs[ours $1 $2]}")"
done
a="$(median %.2f "${burst_runs[ours]}")"
b="$(median %.2f "${burst_runs[nginx]}")"
printf '%-34s %10s s %19s s %7s\n' "burst of $BURST connects" "$a" "$b" "$(ratio "$a" "$b")"
