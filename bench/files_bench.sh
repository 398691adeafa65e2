#!/usr/bin/env bash
# Measures the media-file path of vidoriad against nginx in the same run, both on loopback serving
# the same large .mp4 file: one client downloading it whole, 16 and 64 clients each fetching a
# different byte range at once, the server CPU time per GiB sent in each case, and the resident
# memory with many slow streams open. Prints both servers, the ratios and the goals.
#
# Usage: bench/files_bench.sh
# Environment (defaults in brackets):
#   FILE_MIB [1024]     size of the served file, made once from random bytes and kept in
#                       MEDIA_DIR [/tmp/vidoria-bench-media-<FILE_MIB>MiB]
#   ROUNDS [3]          rounds of the throughput runs, servers alternating; the table shows medians
#   RANGE_MIB [64]      bytes each parallel client fetches; CLIENTS ["16 64"] the client counts
#   STREAMS [1000]      slow streams for the memory figure, each read at STREAM_KIB [100] KiB/s
#                       and held HOLD [10] seconds
#   LIMIT [120]         seconds any one load run may take
#   PERF [0]            1 adds a perf profile of vidoriad under the largest parallel run
#   OUR_PORT, NGINX_PORT [18090, 18091]
#   VIDORIAD [build/vidoriad]   the program measured (another build, to compare)
# A quick check: FILE_MIB=128 RANGE_MIB=8 ROUNDS=1 STREAMS=100 HOLD=3 bench/files_bench.sh
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."

FILE_MIB="${FILE_MIB:-1024}"
MEDIA_DIR="${MEDIA_DIR:-/tmp/vidoria-bench-media-${FILE_MIB}MiB}"
ROUNDS="${ROUNDS:-3}"
RANGE_MIB="${RANGE_MIB:-64}"
CLIENTS="${CLIENTS:-16 64}"
STREAMS="${STREAMS:-1000}"
STREAM_KIB="${STREAM_KIB:-100}"
HOLD="${HOLD:-10}"
LIMIT="${LIMIT:-120}"
PERF="${PERF:-0}"
OUR_PORT="${OUR_PORT:-18090}"
VIDORIAD="${VIDORIAD:-build/vidoriad}"
NGINX_PORT="${NGINX_PORT:-18091}"
URL_PATH=/big.mp4
FILE_BYTES=$((FILE_MIB * 1048576))
RANGE_BYTES=$((RANGE_MIB * 1048576))
# What our server may hold per transfer: one piece of the file (FilesProvider::kSendBlockSize).
PIECE_BYTES=64240

# --- Tools ----------------------------------------------------------------------------------------
wanted=(nginx curl)
if [ "$PERF" = 1 ]; then wanted+=(linux-perf); fi
need_packages "${wanted[@]}"
NGINX_BIN="$(command -v nginx || echo /usr/sbin/nginx)"

cmake --preset default >/dev/null
cmake --build build --target vidoriad range_clients >/dev/null

raise_open_files
if [ "$nofile" -lt $((STREAMS + 256)) ]; then
  echo "warning: open-file limit $nofile is below $STREAMS streams + margin" >&2
fi
cores="$(nproc)"
tick="$(getconf CLK_TCK)"

# --- The served file, made once and kept ----------------------------------------------------------
big="$(media_file "$MEDIA_DIR" "$FILE_MIB")"

# --- Processes, all ended at exit -----------------------------------------------------------------
work="$(mktemp -d "${TMPDIR:-/tmp}/vidoria-files-bench.XXXXXX")"
our_pid=""
nginx_pid=""
client_pid=""
stopped_status=0

trap stop_everything EXIT
trap 'exit 130' INT TERM

# --- Our server: a temporary home whose library lists the one file ------------------------------
home="$work/home"
data="$home/.local/share/Kelvane3"
mkdir -p "$data"
write_film_library "$data" "$big"
write_settings "$data" "$OUR_PORT"
env -i HOME="$home" PATH=/usr/bin:/bin "$VIDORIAD" >"$work/vidoriad.out" 2>&1 &
our_pid=$!
wait_for_url "http://127.0.0.1:$OUR_PORT$URL_PATH" vidoriad "$our_pid" || {
  cat "$work/vidoriad.out" >&2
  exit 1
}

# --- nginx, serving the same file -----------------------------------------------------------------
worker_connections=$((STREAMS + 1024))
if [ "$worker_connections" -gt "$nofile" ]; then worker_connections="$nofile"; fi
nginx_config "$work/nginx" "$NGINX_PORT" "$MEDIA_DIR" "$cores" "$worker_connections" "$nofile"
start_nginx "$work/nginx"
wait_for_url "http://127.0.0.1:$NGINX_PORT$URL_PATH" nginx "$nginx_pid" || {
  cat "$work/nginx/nginx.out" "$work/nginx/error.log" >&2 2>/dev/null
  exit 1
}

port_of() { if [ "$1" = ours ]; then echo "$OUR_PORT"; else echo "$NGINX_PORT"; fi; }
# --- Right bytes first: a whole download, and ranges checked byte for byte -----------------------
check_server() {  # NAME
  local port got
  port="$(port_of "$1")"
  got="$(curl -s -D "$work/head-$1.txt" --max-time "$LIMIT" "http://127.0.0.1:$port$URL_PATH" |
    cmp - "$big" 2>&1 && echo same)" || true
  if [ "$got" != same ]; then
    echo "$1: the whole download differs from the file: $got" >&2
    cat "$work/head-$1.txt" >&2
    exit 1
  fi
  if ! grep -qi '^content-type: video/mp4' "$work/head-$1.txt"; then
    echo "$1: the download is not announced as video/mp4:" >&2
    cat "$work/head-$1.txt" >&2
    exit 1
  fi
  if ! timeout $((LIMIT + 10)) build/bench/range_clients "$port" "$URL_PATH" "$big" 16 \
    $((RANGE_BYTES / 8 + 1)) 0 "$LIMIT" verify >"$work/check-$1.txt" 2>&1; then
    echo "$1: parallel ranges came back wrong:" >&2
    cat "$work/check-$1.txt" >&2
    exit 1
  fi
}
check_server ours
check_server nginx

# --- Throughput and CPU ---------------------------------------------------------------------------

# Per case (single, or a client count) and server: MiB/s of each run, CPU ticks and bytes summed.
declare -A mibps_runs cpu_sum bytes_sum failures
one_run() {  # NAME CASE ROUND
  local port key="$1-$2" out="$work/run-$1-$2-$3.txt" c0 c1 line code bytes speed
  port="$(port_of "$1")"
  c0="$(cpu_ticks "$1")"
  if [ "$2" = single ]; then
    echo "round $3, $1: one client, whole file" >&2
    line="$(timeout $((LIMIT + 10)) curl -s -o /dev/null --max-time "$LIMIT" \
      -w '%{http_code} %{size_download} %{speed_download}' \
      "http://127.0.0.1:$port$URL_PATH" || true)"
    echo "$line" >"$out"
    read -r code bytes speed <<<"$line"
    if [ "${code:-}" != 200 ] || [ "${bytes:-0}" != "$FILE_BYTES" ]; then
      failures[$key]+="round $3: curl gave '$line'; "
    fi
    speed="$(awk -v s="${speed:-0}" 'BEGIN {printf "%.1f", s / 1048576}')"
  else
    echo "round $3, $1: $2 clients, $RANGE_MIB MiB ranges" >&2
    timeout $((LIMIT + 10)) build/bench/range_clients "$port" "$URL_PATH" "$big" "$2" \
      "$RANGE_BYTES" 0 "$LIMIT" >"$out" 2>&1 || failures[$key]+="round $3: $(paste -sd' ' "$out"); "
    bytes="$(sed -n 's/^result .*bytes=\([0-9]*\).*/\1/p' "$out")"
    speed="$(sed -n 's/^result .*mibps=\([0-9.]*\).*/\1/p' "$out")"
  fi
  c1="$(cpu_ticks "$1")"
  mibps_runs[$key]+="${speed:-0} "
  cpu_sum[$key]=$((${cpu_sum[$key]:-0} + c1 - c0))
  bytes_sum[$key]=$((${bytes_sum[$key]:-0} + ${bytes:-0}))
  sleep 1
}

cpu_busy_ticks() { awk '/^cpu / {print $2 + $3 + $4 + $7 + $8 + $9, $5 + $6}' /proc/stat; }
cases=(single $CLIENTS)
load_before="$(cut -d' ' -f1 /proc/loadavg)"
read -r machine_busy0 machine_idle0 <<<"$(cpu_busy_ticks)"
for round in $(seq "$ROUNDS"); do
  # Which server goes first alternates, so that a trend in the machine's other load and any
  # warming up hit both alike.
  if [ $((round % 2)) = 1 ]; then order=(ours nginx); else order=(nginx ours); fi
  for case_ in "${cases[@]}"; do
    for server in "${order[@]}"; do one_run "$server" "$case_" "$round"; done
  done
done
declare -A mibps cpu_per_gib
for key in "${!mibps_runs[@]}"; do
  mibps[$key]="$(median %.0f "${mibps_runs[$key]}")"
  cpu_per_gib[$key]="$(awk -v t="${cpu_sum[$key]}" -v b="${bytes_sum[$key]}" -v hz="$tick" \
    'BEGIN { if (b == 0) print "n/a"; else printf "%.3f", t / hz / (b / 1073741824) }')"
done

# --- Memory with many slow streams ----------------------------------------------------------------
declare -A rss_before rss_peak per_stream stream_note
stream_test() {  # NAME
  local port out="$work/streams-$1.txt" deadline peak=0 now fds0 fds_peak=0 f
  port="$(port_of "$1")"
  echo "$1: $STREAMS streams at $STREAM_KIB KiB/s held ${HOLD}s" >&2
  sleep 1
  rss_before[$1]="$(rss_kib "$1")"
  fds0="$(fds_of "$1")"
  build/bench/range_clients "$port" "$URL_PATH" "$big" "$STREAMS" "$RANGE_BYTES" \
    $((STREAM_KIB * 1024)) "$HOLD" verify >"$out" 2>&1 &
  client_pid=$!
  # range_clients bounds its connecting to 60 s.
  deadline=$((SECONDS + 90))
  while ! grep -q '^streaming' "$out" && [ "$SECONDS" -lt "$deadline" ]; do
    kill -0 "$client_pid" 2>/dev/null || break
    sleep 0.2
  done
  # Sampled while the streams are held; the peak is the figure.
  while kill -0 "$client_pid" 2>/dev/null && grep -q '^streaming' "$out"; do
    now="$(rss_kib "$1")"
    if [ "$now" -gt "$peak" ]; then peak="$now"; fi
    f=$(($(fds_of "$1") - fds0))
    if [ "$f" -gt "$fds_peak" ]; then fds_peak="$f"; fi
    sleep 1
  done
  wait "$client_pid" || true
  client_pid=""
  rss_peak[$1]="$peak"
  stream_note[$1]="$(grep -E '^(streaming|held|result|client)' "$out" | paste -sd';');"
  stream_note[$1]+=" server descriptors up to +$fds_peak"
  if [ "$peak" -gt 0 ]; then
    per_stream[$1]="$(awk -v a="${rss_before[$1]}" -v b="$peak" -v n="$STREAMS" \
      'BEGIN {printf "%.1f", (b - a) / n}')"
  else
    per_stream[$1]="n/a"
  fi
}
stream_test ours
stream_test nginx

# --- Where the time goes, on request -------------------------------------------------------------
# Context switches and sendfile calls of both servers under the largest parallel run, then a
# profile of ours. Ours sends one piece per call by design (the piece is the unit of its events
# and traffic counts); nginx sends whatever the socket takes, up to sendfile_max_chunk (2 MB).
declare -A switches sendfiles
if [ "$PERF" = 1 ]; then
  largest="$(echo "$CLIENTS" | tr ' ' '\n' | sort -n | tail -1)"
  perf_run() {  # NAME PERF-ARGUMENTS...
    local name="$1" port
    shift
    port="$(port_of "$name")"
    echo "perf: $name under $largest clients" >&2
    # perf attaches to the server before it starts the clients, and stops when they end.
    timeout $((LIMIT + 30)) perf "$@" -p "$(pids_of "$name" | paste -sd,)" -- \
      build/bench/range_clients "$port" "$URL_PATH" "$big" "$largest" "$RANGE_BYTES" 0 \
      "$LIMIT" >"$work/perf-run-$name.txt" 2>&1 || true
    sleep 1
  }
  for server in ours nginx; do
    perf_run "$server" stat -x, -e context-switches,task-clock,syscalls:sys_enter_sendfile64 \
      -o "$work/perf-stat-$server.txt"
    per_gib() {  # EVENT: its count over the GiB the clients received
      awk -F, -v e="$1" -v b="$(sed -n 's/^result .*bytes=\([0-9]*\).*/\1/p' \
        "$work/perf-run-$server.txt")" '$3 == e {
          if (b > 0) printf "%.0f", $1 / (b / 1073741824); else print "n/a" }' \
        "$work/perf-stat-$server.txt"
    }
    switches[$server]="$(per_gib context-switches)"
    sendfiles[$server]="$(per_gib syscalls:sys_enter_sendfile64)"
  done
  perf_run ours record -q -e cpu-clock -o "$work/perf.data"
fi

# --- Report ---------------------------------------------------------------------------------------
row() { printf '%-36s %12s %12s %8s\n' "$@"; }
label() { if [ "$1" = single ]; then echo "1 client"; else echo "$1 clients"; fi; }
our_log_lines="$(cat "$data"/LOG/*.log 2>/dev/null | wc -l)"
nginx_log_lines="$(wc -l <"$work/nginx/access.log")"
load_after="$(cut -d' ' -f1 /proc/loadavg)"
read -r machine_busy1 machine_idle1 <<<"$(cpu_busy_ticks)"

echo
echo "Vidoria media files vs nginx $("$NGINX_BIN" -v 2>&1 | sed 's|.*/||')," \
  "$(date -u "+%Y-%m-%d %H:%M UTC"), $cores cores,"
echo "load average $load_before at start, $load_after at end; the cores were" \
  "$(awk -v b=$((machine_busy1 - machine_busy0)) -v i=$((machine_idle1 - machine_idle0)) \
    'BEGIN {printf "%.0f", 100 * b / (b + i)}')% busy over the run (all processes, these included)"
echo "$FILE_MIB MiB file; medians of $ROUNDS round(s); parallel clients fetch $RANGE_MIB MiB" \
  "ranges; $STREAMS streams at $STREAM_KIB KiB/s"
row "" vidoria nginx ratio
for case_ in "${cases[@]}"; do
  row "$(label "$case_") MiB/s" "${mibps[ours-$case_]}" "${mibps[nginx-$case_]}" \
    "$(ratio "${mibps[ours-$case_]}" "${mibps[nginx-$case_]}")"
done
for case_ in "${cases[@]}"; do
  row "$(label "$case_") CPU s per GiB" "${cpu_per_gib[ours-$case_]}" \
    "${cpu_per_gib[nginx-$case_]}" "$(ratio "${cpu_per_gib[ours-$case_]}" \
    "${cpu_per_gib[nginx-$case_]}")"
done
row "RSS KiB before streams" "${rss_before[ours]}" "${rss_before[nginx]}" ""
row "RSS KiB with $STREAMS streams (peak)" "${rss_peak[ours]}" "${rss_peak[nginx]}" ""
row "KiB per stream" "${per_stream[ours]}" "${per_stream[nginx]}" ""
if [ "$PERF" = 1 ]; then
  row "context switches per GiB, $largest cl." "${switches[ours]:-n/a}" "${switches[nginx]:-n/a}" \
    "$(ratio "${switches[ours]:-n/a}" "${switches[nginx]:-n/a}")"
  row "sendfile calls per GiB, $largest cl." "${sendfiles[ours]:-n/a}" "${sendfiles[nginx]:-n/a}" \
    "$(ratio "${sendfiles[ours]:-n/a}" "${sendfiles[nginx]:-n/a}")"
fi
# Ours writes a line when a connection opens and closes, besides the one per request.
row "log lines written" "$our_log_lines" "$nginx_log_lines" ""
echo
goal() { printf "goal: %-44s %8s %-4s %s\n" "$@"; }
for case_ in "${cases[@]}"; do
  r="$(ratio "${mibps[ours-$case_]}" "${mibps[nginx-$case_]}")"
  goal "$(label "$case_") throughput >= 0.8x nginx" "$r" x "$(verdict "$r" ">=" 0.8)"
done
for case_ in "${cases[@]}"; do
  r="$(ratio "${cpu_per_gib[ours-$case_]}" "${cpu_per_gib[nginx-$case_]}")"
  goal "$(label "$case_") CPU per GiB <= 2x nginx" "$r" x "$(verdict "$r" "<=" 2)"
done
# One piece per transfer, plus what an idle connection costs (bench/run.sh: < 10 KiB).
bound="$(awk -v p="$PIECE_BYTES" 'BEGIN {printf "%.1f", p / 1024 + 10}')"
goal "KiB per stream <= one piece + 10 ($bound)" "${per_stream[ours]}" KiB \
  "$(verdict "${per_stream[ours]}" "<=" "$bound")"
echo
for key in $(echo "${!mibps_runs[@]}" | tr ' ' '\n' | sort); do
  if [ "$ROUNDS" -gt 1 ]; then echo "runs $key MiB/s: ${mibps_runs[$key]}"; fi
done
for key in $(echo "${!failures[@]}" | tr ' ' '\n' | sort); do
  echo "FAILED $key: ${failures[$key]}"
done
echo "streams ours: ${stream_note[ours]}"
echo "streams nginx: ${stream_note[nginx]}"
if [ "$PERF" = 1 ]; then
  echo
  echo "perf, vidoriad under $largest clients (cpu-clock, self time, above 0.5%):"
  perf report -i "$work/perf.data" --no-children --sort dso,symbol --stdio \
    --percent-limit 0.5 2>/dev/null | grep -E '^ +[0-9]' | sed 's/[ -]*$//' | cut -c1-100 || true
fi
