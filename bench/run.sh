#!/usr/bin/env bash
# Measures the server core against nginx in the same run, both on loopback answering a 10 KiB
# text: wrk throughput and p99 latency with keep-alive and with a new connection per request,
# then resident memory per idle connection. Prints both servers, the ratios and the goals.
#
# Usage: bench/run.sh
# Environment: DURATION (seconds per wrk run, default 10), ROUNDS (wrk rounds, default 1; the
# median of each figure is shown), IDLE (idle connections, default 10000), HOLD (seconds they
# stay open, default 10), OUR_PORT / NGINX_PORT (default 18080 / 18081).
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."

DURATION="${DURATION:-10}"
IDLE="${IDLE:-10000}"
HOLD="${HOLD:-10}"
ROUNDS="${ROUNDS:-1}"
OUR_PORT="${OUR_PORT:-18080}"
NGINX_PORT="${NGINX_PORT:-18081}"
WRK_THREADS=2
WRK_CONNECTIONS=64
BODY_PATH=/bench.txt

# --- Tools ----------------------------------------------------------------------------------------
need_packages nginx wrk curl
NGINX_BIN="$(command -v nginx || echo /usr/sbin/nginx)"

cmake --preset default >/dev/null
cmake --build build --target bench_server idle_clients >/dev/null

# Each idle connection is one descriptor in the server and one in idle_clients; both inherit this.
raise_open_files
if [ "$nofile" -lt $((IDLE + 256)) ]; then
  echo "warning: open-file limit $nofile is below $IDLE idle connections + margin" >&2
fi
cores="$(nproc)"

# --- Processes, all ended at exit -----------------------------------------------------------------
work="$(mktemp -d "${TMPDIR:-/tmp}/vidoria-bench.XXXXXX")"
chmod 755 "$work"  # nginx workers drop root and must still reach the served file
our_pid=""
nginx_pid=""
idle_pid=""

cleanup() {
  stop_pid "$idle_pid"
  stop_pid "$our_pid"
  stop_pid "$nginx_pid"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

check_body() {  # URL NAME
  local got
  got="$(curl -s -o /dev/null --max-time 5 -w '%{http_code} %{size_download}' "$1")"
  if [ "$got" != "200 10240" ]; then
    echo "$2 answered '$got' instead of '200 10240'" >&2
    exit 1
  fi
}

# --- Our server -----------------------------------------------------------------------------------
mkdir -p "$work/log"
build/bench/bench_server "$OUR_PORT" "$work/log" >"$work/bench_server.out" 2>&1 &
our_pid=$!
wait_for_url "http://127.0.0.1:$OUR_PORT$BODY_PATH" bench_server "$our_pid" || {
  cat "$work/bench_server.out" >&2
  exit 1
}

# --- nginx, serving the same bytes from a file ----------------------------------------------------
mkdir -p "$work/www"
head -c 10240 /dev/zero | tr '\0' 'v' | fold -w 63 | head -c 10240 >"$work/www/bench.txt"
chmod 755 "$work/www"
chmod 644 "$work/www/bench.txt"
worker_connections=$((IDLE + 1024))
if [ "$worker_connections" -gt "$nofile" ]; then worker_connections="$nofile"; fi
nginx_config "$work/nginx" "$NGINX_PORT" "$work/www" "$cores" "$worker_connections" "$nofile"
start_nginx "$work/nginx"
wait_for_url "http://127.0.0.1:$NGINX_PORT$BODY_PATH" nginx "$nginx_pid" || {
  cat "$work/nginx/nginx.out" "$work/nginx/error.log" >&2 2>/dev/null
  exit 1
}

check_body "http://127.0.0.1:$OUR_PORT$BODY_PATH" bench_server
check_body "http://127.0.0.1:$NGINX_PORT$BODY_PATH" nginx

# --- Load -----------------------------------------------------------------------------------------
declare -A rps_runs p99_runs rps p99 notes
run_wrk() {  # NAME PORT MODE(keepalive|close) ROUND
  local key="$1-$3" out="$work/wrk-$1-$3-$4.txt" r l
  echo "round $4, wrk $1 $3: -t$WRK_THREADS -c$WRK_CONNECTIONS -d${DURATION}s" >&2
  read -r r l <<<"$(wrk_run "$out" "http://127.0.0.1:$2$BODY_PATH" "$3" "$DURATION")"
  rps_runs[$key]+="$r "
  p99_runs[$key]+="$l "
  notes[$key]+="$(wrk_notes "$out")"
  sleep 1
}

load_before="$(cut -d' ' -f1 /proc/loadavg)"
# Rounds alternate the servers so that a change in the machine's other load hits both alike.
for round in $(seq "$ROUNDS"); do
  for mode in keepalive close; do
    run_wrk ours "$OUR_PORT" "$mode" "$round"
    run_wrk nginx "$NGINX_PORT" "$mode" "$round"
  done
done
for key in "${!rps_runs[@]}"; do
  rps[$key]="$(median %.0f "${rps_runs[$key]}")"
  p99[$key]="$(median %.2f "${p99_runs[$key]}")"
done
our_log_lines="$(cat "$work"/log/*.log 2>/dev/null | wc -l)"
nginx_log_lines="$(wc -l <"$work/nginx/access.log")"

# --- Memory per idle connection -------------------------------------------------------------------

declare -A rss_before rss_held per_conn idle_note connect_s
idle_test() {  # NAME PORT
  local out="$work/idle-$1.txt" fds0 connected=0 deadline
  echo "idle $1: $IDLE connections held ${HOLD}s" >&2
  sleep 1
  rss_before[$1]="$(rss_kib "$1")"
  fds0="$(fds_of "$1")"
  : >"$out"
  build/bench/idle_clients "$2" "$IDLE" "$HOLD" >"$out" 2>&1 &
  idle_pid=$!
  # idle_clients bounds its own connecting to 60 s.
  deadline=$((SECONDS + 90))
  while ! grep -q '^connected' "$out" && [ "$SECONDS" -lt "$deadline" ]; do
    kill -0 "$idle_pid" 2>/dev/null || break
    sleep 0.2
  done
  connected="$(awk '/^connected/ {print $2}' "$out")"
  connected="${connected:-0}"
  connect_s[$1]="$(awk '/^connected/ {print $6}' "$out")"
  # The last connections may still wait in the accept queue; the server holds them once it has
  # a descriptor for each.
  deadline=$((SECONDS + 15))
  while [ "$(fds_of "$1")" -lt $((fds0 + connected)) ] && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 0.2
  done
  sleep 1
  rss_held[$1]="$(rss_kib "$1")"
  local held_fds=$(($(fds_of "$1") - fds0))
  wait "$idle_pid" || true
  idle_pid=""
  idle_note[$1]="$(paste -sd';' "$out"); server descriptors +$held_fds"
  if [ "$connected" -gt 0 ]; then
    per_conn[$1]="$(awk -v a="${rss_before[$1]}" -v b="${rss_held[$1]}" -v n="$connected" \
      'BEGIN {printf "%.2f", (b - a) / n}')"
  else
    per_conn[$1]="n/a"
  fi
}

idle_test ours "$OUR_PORT"
idle_test nginx "$NGINX_PORT"

# --- Report ---------------------------------------------------------------------------------------
row() { printf '%-34s %12s %12s %8s\n' "$@"; }

ka_ratio="$(ratio "${rps[ours-keepalive]}" "${rps[nginx-keepalive]}")"
cl_ratio="$(ratio "${rps[ours-close]}" "${rps[nginx-close]}")"
ka_p99_ratio="$(ratio "${p99[ours-keepalive]}" "${p99[nginx-keepalive]}")"
cl_p99_ratio="$(ratio "${p99[ours-close]}" "${p99[nginx-close]}")"
load_after="$(cut -d' ' -f1 /proc/loadavg)"

echo
echo "Vidoria server core vs nginx $("$NGINX_BIN" -v 2>&1 | sed 's|.*/||')," \
  "$(date -u "+%Y-%m-%d %H:%M UTC"), $cores cores,"
echo "load average $load_before at start, $load_after at end"
echo "wrk -t$WRK_THREADS -c$WRK_CONNECTIONS -d${DURATION}s --latency, median of $ROUNDS round(s)," \
  "10240-byte body, $IDLE idle connections"
row "" vidoria nginx ratio
row "keep-alive requests/s" "${rps[ours-keepalive]}" "${rps[nginx-keepalive]}" "$ka_ratio"
row "keep-alive p99 ms" "${p99[ours-keepalive]}" "${p99[nginx-keepalive]}" "$ka_p99_ratio"
row "new connection requests/s" "${rps[ours-close]}" "${rps[nginx-close]}" "$cl_ratio"
row "new connection p99 ms" "${p99[ours-close]}" "${p99[nginx-close]}" "$cl_p99_ratio"
row "RSS KiB before idle connections" "${rss_before[ours]}" "${rss_before[nginx]}" ""
row "RSS KiB with idle connections" "${rss_held[ours]}" "${rss_held[nginx]}" ""
row "KiB per idle connection" "${per_conn[ours]}" "${per_conn[nginx]}" \
  "$(ratio "${per_conn[ours]}" "${per_conn[nginx]}")"
row "seconds to connect idle clients" "${connect_s[ours]}" "${connect_s[nginx]}" ""
row "log lines written" "$our_log_lines" "$nginx_log_lines" ""
echo
goal() { printf "goal: %-40s %8s %-4s %s\n" "$@"; }
goal "keep-alive requests/s >= 0.8x nginx" "$ka_ratio" x "$(verdict "$ka_ratio" ">=" 0.8)"
goal "keep-alive p99 within 2x nginx" "$ka_p99_ratio" x "$(verdict "$ka_p99_ratio" "<=" 2)"
goal "new-connection p99 within 2x nginx" "$cl_p99_ratio" x "$(verdict "$cl_p99_ratio" "<=" 2)"
goal "< 10 KiB per idle connection" "${per_conn[ours]}" KiB "$(verdict "${per_conn[ours]}" "<" 10)"
echo
for key in ours-keepalive nginx-keepalive ours-close nginx-close; do
  if [ "$ROUNDS" -gt 1 ]; then
    echo "rounds $key: requests/s ${rps_runs[$key]}; p99 ms ${p99_runs[$key]}"
  fi
  if [ -n "${notes[$key]}" ]; then echo "wrk $key: ${notes[$key]}"; fi
done
echo "idle ours: ${idle_note[ours]}"
echo "idle nginx: ${idle_note[nginx]}"
