#!/usr/bin/env bash
# Measures the program, build/vidoriad with a real library in a temporary home, against nginx and
# lighttpd serving the very same files, all on loopback in one run: a 1 GiB video, the server CPU
# per GiB with parallel ranges, the first burst after start, small and larger static files from
# kavra/, the home page, a burst of connects, memory per idle connection and after waves of
# connections. Prints one table with the ratio to nginx and the goals.
#
# Usage: bench/program_bench.sh            QUICK=1 bench/program_bench.sh for a smoke check
# Environment (defaults in brackets; QUICK=1 makes every one of them small):
#   ROUNDS [3]        rounds of the throughput and request runs; the servers take turns going
#                     first; the table shows medians (CPU: summed over the rounds)
#   DURATION [10]     seconds of each wrk run (wrk -t2 -c64 --latency)
#   FILE_MIB [1024]   the video's size, made once from random bytes in MEDIA_DIR
#                     [/tmp/vidoria-bench-media-<FILE_MIB>MiB] (shared with files_bench.sh)
#   CPU_MIB [1024]    bytes all clients of one CPU run fetch together, split into equal ranges
#   COLD_WAIT [60]    seconds between the burst right after vidoriad starts and the later one
#   CONNECTS [10000]  connects in the burst
#   SLOW_CLIENTS [64], SLOW_RATE [4194304]
#                     readers that take SLOW_RATE bytes a second each, in gulps every 50 ms, as
#                     phones on Wi-Fi read; their row is the server's CPU per GiB sent to them
#   IDLE [5000]       idle connections held, and connections in each of the four waves
#   HOLD [5]          seconds idle connections are held
#   QUIET [12]        seconds a server is left alone after the last wave before its last reading
#                     (vidoriad gives free memory back after 10 quiet seconds)
#   ROWS [1000]       library rows besides the video (empty files, listed on the pages)
#   LIMIT [120]       seconds any one load run may take
#   OUR_PORT, NGINX_PORT, LIGHTTPD_PORT [18100, 18101, 18102]
#   KEEP_WORK [0]     1 keeps the temporary folder (homes, configurations, every client's output)
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."

if [ "${QUICK:-0}" = 1 ]; then
  : "${ROUNDS:=1}" "${DURATION:=2}" "${FILE_MIB:=128}" "${CPU_MIB:=128}" "${COLD_WAIT:=5}"
  : "${CONNECTS:=2000}" "${IDLE:=1000}" "${HOLD:=2}" "${ROWS:=100}"
fi
QUIET="${QUIET:-12}"
ROUNDS="${ROUNDS:-3}"
DURATION="${DURATION:-10}"
FILE_MIB="${FILE_MIB:-1024}"
MEDIA_DIR="${MEDIA_DIR:-/tmp/vidoria-bench-media-${FILE_MIB}MiB}"
CPU_MIB="${CPU_MIB:-1024}"
COLD_WAIT="${COLD_WAIT:-60}"
CONNECTS="${CONNECTS:-10000}"
SLOW_CLIENTS="${SLOW_CLIENTS:-64}"
SLOW_RATE="${SLOW_RATE:-4194304}"
IDLE="${IDLE:-5000}"
HOLD="${HOLD:-5}"
ROWS="${ROWS:-1000}"
LIMIT="${LIMIT:-120}"
OUR_PORT="${OUR_PORT:-18100}"
NGINX_PORT="${NGINX_PORT:-18101}"
LIGHTTPD_PORT="${LIGHTTPD_PORT:-18102}"
SERVERS=(ours nginx lighttpd)
SMALL=/kavra/bench-10k.css
LARGE=/kavra/bench-200k.png
VIDEO=/big.mp4
WAVES=4

# --- Tools ----------------------------------------------------------------------------------------
need_packages nginx lighttpd wrk curl iproute2
cmake --preset default >/dev/null
cmake --build build --target vidoriad kavra_assets range_clients idle_clients connect_burst \
  >/dev/null
raise_open_files
if [ "$nofile" -lt $((CONNECTS + 256)) ]; then
  echo "warning: open-file limit $nofile is below $CONNECTS connections + margin" >&2
fi
tick="$(getconf CLK_TCK)"
big="$(media_file "$MEDIA_DIR" "$FILE_MIB")"
file_bytes=$((FILE_MIB * 1048576))

# --- Processes, all ended at exit -----------------------------------------------------------------
work="$(mktemp -d "${TMPDIR:-/tmp}/vidoria-program-bench.XXXXXX")"
chmod 755 "$work"  # nginx workers drop root and must still reach the served files
our_pid=""
nginx_pid=""
lighttpd_pid=""
client_pid=""
stopped_status=0
trap stop_everything EXIT
trap 'exit 130' INT TERM

# --- The program's folder, its library and the files every server serves -------------------------
# vidoriad serves kavra/ from the folder of its executable, so a copy of it runs from a folder
# that also holds the site's assets and the two bench files; nginx and lighttpd serve that same
# folder (the video through a link to the one file, the home page from a copy of vidoriad's).
program="$work/program"
mkdir -p "$program/kavra"
cp build/vidoriad "$program/vidoriad"
cp build/kavra/* "$program/kavra/"
head -c 10240 /dev/urandom | base64 -w 100 | head -c 10240 >"$program$SMALL"
head -c 204800 /dev/urandom >"$program$LARGE"
ln -s "$big" "$program$VIDEO"
chmod -R a+rX "$program"

home="$work/home"
data="$home/.local/share/Kelvane3"
videos="$work/videos"
mkdir -p "$data" "$videos"
for i in $(seq 1 "$ROWS"); do : >"$videos/Film $i.mp4"; done
# The grid file holds its columns one after the other: class, full path, file name, duration.
{
  printf '4\r\n%d\r\n' $((ROWS + 1))
  printf 'MOVIE\r\n'
  for i in $(seq 1 "$ROWS"); do if [ $((i % 3)) = 0 ]; then printf 'TV\r\n'; else printf 'MOVIE\r\n'; fi; done
  printf '%s\r\n' "$big"
  for i in $(seq 1 "$ROWS"); do printf '%s\r\n' "$videos/Film $i.mp4"; done
  printf 'big.mp4\r\n'
  for i in $(seq 1 "$ROWS"); do printf 'Film %s.mp4\r\n' "$i"; done
  for i in $(seq 0 "$ROWS"); do printf '1:01:40\r\n'; done
} >"$data/LIBRARY.kavra"
# The watched folders, each with its trailing slash.
printf '%s/\r\n%s/\r\n' "$MEDIA_DIR" "$videos" >"$data/FOLDERS.kavra"
write_settings "$data" "$OUR_PORT"

start_ours() {
  env -i HOME="$home" PATH=/usr/bin:/bin "$program/vidoriad" >>"$work/vidoriad.out" 2>&1 &
  our_pid=$!
  wait_for_url "http://127.0.0.1:$OUR_PORT$SMALL" vidoriad "$our_pid" || {
    cat "$work/vidoriad.out" >&2
    exit 1
  }
}

port_of() {
  case "$1" in
    ours) echo "$OUR_PORT" ;;
    nginx) echo "$NGINX_PORT" ;;
    *) echo "$LIGHTTPD_PORT" ;;
  esac
}
# The generated home page is "/" on vidoriad; the others serve a copy of it as a file.
home_path() { if [ "$1" = ours ]; then echo /; else echo /index.html; fi; }

# --- Range runs: bytes, seconds and CPU ticks -----------------------------------------------------
# One range_clients run of N clients sharing CPU_MIB; prints "bytes seconds ticks ok".
range_run() {  # NAME N OUT
  local port range c0 c1 bytes seconds ok=1
  port="$(port_of "$1")"
  range=$((CPU_MIB * 1048576 / $2))
  if [ "$range" -ge "$file_bytes" ]; then range=$((file_bytes - 1)); fi
  c0="$(cpu_ticks "$1")"
  timeout $((LIMIT + 10)) build/bench/range_clients "$port" "$VIDEO" "$big" "$2" "$range" 0 \
    "$LIMIT" >"$3" 2>&1 || ok=0
  c1="$(cpu_ticks "$1")"
  bytes="$(sed -n 's/^result .*bytes=\([0-9]*\).*/\1/p' "$3")"
  seconds="$(sed -n 's/^result .*seconds=\([0-9.]*\).*/\1/p' "$3")"
  echo "${bytes:-0} ${seconds:-0} $((c1 - c0)) $ok"
}
# The same with SLOW_CLIENTS clients reading SLOW_RATE bytes a second each in gulps of a twentieth
# of a second, as phones on Wi-Fi read, held DURATION seconds; prints "bytes seconds ticks ok".
slow_run() {  # NAME OUT
  local port range c0 c1 bytes ok=1
  port="$(port_of "$1")"
  range=$((file_bytes - 1))
  c0="$(cpu_ticks "$1")"
  timeout $((LIMIT + DURATION + 70)) build/bench/range_clients "$port" "$VIDEO" "$big" \
    "$SLOW_CLIENTS" "$range" "$SLOW_RATE" "$DURATION" >"$2" 2>&1 || ok=0
  c1="$(cpu_ticks "$1")"
  bytes="$(sed -n 's/^result .*bytes=\([0-9]*\).*/\1/p' "$2")"
  echo "${bytes:-0} $DURATION $((c1 - c0)) $ok"
}
cpu_per_gib() { awk -v t="$1" -v b="$2" -v hz="$tick" \
  'BEGIN { if (b == 0) print "n/a"; else printf "%.3f", t / hz / (b / 1073741824) }'; }
mb_per_s() { awk -v b="$1" -v s="$2" 'BEGIN { if (s == 0) print "n/a"; else printf "%.0f", b / s / 1e6 }'; }

# --- The first burst after start, and the same burst later ----------------------------------------
declare -A cold failures
start_ours
for when in first later; do
  if [ "$when" = later ]; then
    say "waiting ${COLD_WAIT}s before the later burst"
    sleep "$COLD_WAIT"
  fi
  say "vidoriad: 16 range clients, $when burst"
  read -r b s t ok <<<"$(range_run ours 16 "$work/cold-$when.txt")"
  cold[mb-$when]="$(mb_per_s "$b" "$s")"
  cold[cpu-$when]="$(cpu_per_gib "$t" "$b")"
  if [ "$ok" != 1 ]; then failures[cold-$when]="$(paste -sd' ' "$work/cold-$when.txt")"; fi
done

# The home page as vidoriad generated it, for the others to serve as a file.
curl -s -o "$program/index.html" "http://127.0.0.1:$OUR_PORT/"
chmod a+r "$program/index.html"

nginx_config "$work/nginx" "$NGINX_PORT" "$program" 1 $((CONNECTS + 1024)) "$nofile"
lighttpd_config "$work/lighttpd" "$LIGHTTPD_PORT" "$program" $((CONNECTS + 1024)) "$nofile"
start_server() {  # NAME
  case "$1" in
    ours) start_ours ;;
    nginx)
      start_nginx "$work/nginx"
      wait_for_url "http://127.0.0.1:$NGINX_PORT$SMALL" nginx "$nginx_pid" || {
        cat "$work/nginx/nginx.out" "$work/nginx/error.log" >&2 2>/dev/null
        exit 1
      }
      ;;
    lighttpd)
      start_lighttpd "$work/lighttpd"
      wait_for_url "http://127.0.0.1:$LIGHTTPD_PORT$SMALL" lighttpd "$lighttpd_pid" || {
        cat "$work/lighttpd/lighttpd.out" "$work/lighttpd/error.log" >&2 2>/dev/null
        exit 1
      }
      ;;
  esac
}
start_server nginx
start_server lighttpd

# --- Right bytes first ----------------------------------------------------------------------------
check_server() {  # NAME
  local port path file got
  port="$(port_of "$1")"
  for path in "$SMALL" "$LARGE" "$(home_path "$1")"; do
    file="$program$path"
    if [ "$path" = / ]; then file="$program/index.html"; fi
    got="$(curl -s --max-time 10 "http://127.0.0.1:$port$path" | cmp - "$file" 2>&1 && echo same)" ||
      true
    if [ "$got" != same ]; then
      echo "$1: $path differs from $file: $got" >&2
      exit 1
    fi
  done
  if ! curl -sI "http://127.0.0.1:$port$SMALL" | grep -qi '^content-type: text/css'; then
    echo "$1: $SMALL is not announced as text/css" >&2
    exit 1
  fi
  if ! timeout $((LIMIT + 10)) build/bench/range_clients "$port" "$VIDEO" "$big" 16 1048577 0 \
    "$LIMIT" verify >"$work/check-$1.txt" 2>&1; then
    echo "$1: parallel ranges of the video came back wrong:" >&2
    cat "$work/check-$1.txt" >&2
    exit 1
  fi
}
for server in "${SERVERS[@]}"; do check_server "$server"; done

# --- Rounds: video, CPU per GiB, files and the home page ------------------------------------------
declare -A runs cpu_ticks_sum cpu_bytes_sum p99_runs notes
CLIENT_COUNTS=(1 16 64)
WRK_CASES=(small-keepalive small-close large-keepalive home-keepalive home-close)
one_case() {  # NAME CASE ROUND
  local port out="$work/run-$1-$2-$3.txt" line code bytes speed b s t ok rps p99 path mode
  port="$(port_of "$1")"
  case "$2" in
    video)
      say "round $3, $1: one client, whole video"
      line="$(timeout $((LIMIT + 10)) curl -s -o /dev/null --max-time "$LIMIT" \
        -w '%{http_code} %{size_download} %{speed_download}' "http://127.0.0.1:$port$VIDEO" ||
        true)"
      read -r code bytes speed <<<"$line"
      if [ "${code:-}" != 200 ] || [ "${bytes:-0}" != "$file_bytes" ]; then
        failures[$1-video]+="round $3: curl gave '$line'; "
      fi
      runs[$1-video]+="$(awk -v s="${speed:-0}" 'BEGIN {printf "%.0f", s / 1e6}') "
      ;;
    cpu-*)
      say "round $3, $1: ${2#cpu-} range clients"
      read -r b s t ok <<<"$(range_run "$1" "${2#cpu-}" "$out")"
      if [ "$ok" != 1 ]; then failures[$1-$2]+="round $3: $(paste -sd' ' "$out"); "; fi
      cpu_ticks_sum[$1-$2]=$((${cpu_ticks_sum[$1-$2]:-0} + t))
      cpu_bytes_sum[$1-$2]=$((${cpu_bytes_sum[$1-$2]:-0} + b))
      ;;
    slow)
      say "round $3, $1: $SLOW_CLIENTS slow readers at $SLOW_RATE bytes/s for ${DURATION}s"
      read -r b s t ok <<<"$(slow_run "$1" "$out")"
      if [ "$ok" != 1 ]; then failures[$1-$2]+="round $3: $(paste -sd' ' "$out"); "; fi
      cpu_ticks_sum[$1-$2]=$((${cpu_ticks_sum[$1-$2]:-0} + t))
      cpu_bytes_sum[$1-$2]=$((${cpu_bytes_sum[$1-$2]:-0} + b))
      ;;
    *)
      case "$2" in
        small-*) path="$SMALL" ;;
        large-*) path="$LARGE" ;;
        *) path="$(home_path "$1")" ;;
      esac
      mode="${2#*-}"
      say "round $3, $1: wrk $path $mode ${DURATION}s"
      read -r rps p99 <<<"$(wrk_run "$out" "http://127.0.0.1:$port$path" "$mode" "$DURATION")"
      runs[$1-$2]+="$rps "
      p99_runs[$1-$2]+="$p99 "
      notes[$1-$2]+="$(wrk_notes "$out")"
      ;;
  esac
  sleep 1
}

load_before="$(cut -d' ' -f1 /proc/loadavg)"
for round in $(seq "$ROUNDS"); do
  # The servers take turns going first, so that a trend in the machine's other load and any
  # warming up hit them alike.
  shift_by=$(((round - 1) % ${#SERVERS[@]}))
  order=("${SERVERS[@]:shift_by}" "${SERVERS[@]:0:shift_by}")
  for case_ in video "${CLIENT_COUNTS[@]/#/cpu-}" slow "${WRK_CASES[@]}"; do
    for server in "${order[@]}"; do one_case "$server" "$case_" "$round"; done
  done
done

# --- Connections: a burst of connects, idle ones, and waves -------------------------------------
declare -A burst_runs burst_overflows idle_before idle_held idle_per wave_rss
# The kernel's count of connections it dropped because a listen queue was full; a dropped connect
# is tried again a second later, which is what a burst's slow runs show.
listen_overflows() { nstat -az TcpExtListenOverflows | awk '/ListenOverflows/ {print $2}'; }
burst_test() {  # NAME ROUND
  local out="$work/burst-$1-$2.txt" overflows
  say "round $2, $1: $CONNECTS connects at once"
  overflows="$(listen_overflows)"
  timeout $((LIMIT + 10)) build/bench/connect_burst "$(port_of "$1")" "$CONNECTS" "$LIMIT" \
    >"$out" 2>&1 || failures[$1-burst]+="round $2: $(paste -sd' ' "$out"); "
  burst_runs[$1]+="$(sed -n 's/^result .*seconds=\([0-9.]*\).*/\1/p' "$out") "
  burst_overflows[$1]+="$(($(listen_overflows) - overflows)) "
  # The server closes what the client closed before the next test counts its memory.
  sleep 2
}

# Holds IDLE connections (with PATH: each after one answer) and reads the server's RSS before and
# while they are held; bytes per connection into idle_per[NAME-KIND].
idle_test() {  # NAME KIND [PATH]
  local out="$work/idle-$1-$2.txt" connected deadline fds0 key="$1-$2"
  say "$1: $IDLE idle connections ($2) held ${HOLD}s"
  sleep 1
  : >"$out"
  idle_before[$key]="$(rss_kib "$1")"
  fds0="$(fds_of "$1")"
  build/bench/idle_clients "$(port_of "$1")" "$IDLE" "$HOLD" "${@:3}" >"$out" 2>&1 &
  client_pid=$!
  deadline=$((SECONDS + 90))
  while ! grep -q '^connected' "$out" && [ "$SECONDS" -lt "$deadline" ]; do
    kill -0 "$client_pid" 2>/dev/null || break
    sleep 0.2
  done
  connected="$(awk '/^connected/ {print $2}' "$out")"
  connected="${connected:-0}"
  # The last connections may still wait in the accept queue.
  deadline=$((SECONDS + 15))
  while [ "$(fds_of "$1")" -lt $((fds0 + connected)) ] && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 0.2
  done
  idle_held[$key]="$(rss_kib "$1")"
  wait "$client_pid" || failures[$key]+="$(paste -sd' ' "$out"); "
  client_pid=""
  if [ "$connected" -gt 0 ]; then
    idle_per[$key]="$(awk -v a="${idle_before[$key]}" -v b="${idle_held[$key]}" -v n="$connected" \
      'BEGIN {printf "%.0f", (b - a) * 1024 / n}')"
  else
    idle_per[$key]="n/a"
  fi
}

# Four waves of IDLE keep-alive connections, one request each, then closed; RSS after each.
wave_test() {  # NAME
  local w out
  sleep 2
  wave_rss[$1-0]="$(rss_kib "$1")"
  for w in $(seq "$WAVES"); do
    out="$work/wave-$1-$w.txt"
    say "$1: wave $w of $IDLE keep-alive connections"
    timeout $((LIMIT + 30)) build/bench/idle_clients "$(port_of "$1")" "$IDLE" 0 "$SMALL" \
      >"$out" 2>&1 || failures[$1-waves]+="wave $w: $(paste -sd' ' "$out"); "
    sleep 2
    wave_rss[$1-$w]="$(rss_kib "$1")"
  done
  sleep "$QUIET"
  wave_rss[$1-quiet]="$(rss_kib "$1")"
}

# Idle connections first: what earlier connections left behind in a server's memory would be
# reused by the idle ones and hide their cost, and so far no more than 64 were open at once.
for server in "${SERVERS[@]}"; do
  idle_test "$server" idle
  idle_test "$server" keepalive "$SMALL"
done
for round in $(seq "$ROUNDS"); do
  for server in "${SERVERS[@]}"; do burst_test "$server" "$round"; done
done
# The waves start from fresh servers warmed by keep-alive load, so that the base holds nothing
# from the thousands of connections above.
for server in "${SERVERS[@]}"; do
  say "$server: restarted and warmed for the waves"
  case "$server" in
    ours) stop_pid "$our_pid" ;;
    nginx) stop_pid "$nginx_pid" ;;
    lighttpd) stop_pid "$lighttpd_pid" ;;
  esac
  start_server "$server"
  for path in "$SMALL" "$(home_path "$server")"; do
    wrk_run "$work/warm-$server.txt" "http://127.0.0.1:$(port_of "$server")$path" keepalive \
      "$DURATION" >/dev/null
  done
  wave_test "$server"
done

# --- Report ---------------------------------------------------------------------------------------
declare -A fig
for server in "${SERVERS[@]}"; do
  fig[$server-video]="$(median %.0f "${runs[$server-video]:-}")"
  for n in "${CLIENT_COUNTS[@]}"; do
    fig[$server-cpu-$n]="$(cpu_per_gib "${cpu_ticks_sum[$server-cpu-$n]}" \
      "${cpu_bytes_sum[$server-cpu-$n]}")"
  done
  fig[$server-slow]="$(cpu_per_gib "${cpu_ticks_sum[$server-slow]:-0}" "${cpu_bytes_sum[$server-slow]:-0}")"
  for case_ in "${WRK_CASES[@]}"; do
    fig[$server-$case_]="$(median %.0f "${runs[$server-$case_]:-}")"
    fig[$server-$case_-p99]="$(median %.2f "${p99_runs[$server-$case_]:-}")"
  done
  fig[$server-burst]="$(median %.3f "${burst_runs[$server]:-}")"
  fig[$server-idle]="${idle_per[$server-idle]}"
  fig[$server-keepalive]="${idle_per[$server-keepalive]}"
  for w in $(seq 0 "$WAVES"); do fig[$server-wave-$w]="${wave_rss[$server-$w]}"; done
  fig[$server-wave-ratio]="$(ratio "${wave_rss[$server-$WAVES]}" "${wave_rss[$server-0]}")"
  fig[$server-wave-quiet]="${wave_rss[$server-quiet]}"
  fig[$server-quiet-ratio]="$(ratio "${wave_rss[$server-quiet]}" "${wave_rss[$server-0]}")"
done
load_after="$(cut -d' ' -f1 /proc/loadavg)"

row() { printf '%-40s %10s %10s %10s %8s  %-18s %s\n' "$@"; }
# A row of the three servers; the ratio is ours to nginx's, the verdict from it and the goal.
server_row() {  # LABEL KEY OPERATOR GOAL-RATIO
  local r="" v=""
  r="$(ratio "${fig[ours-$2]}" "${fig[nginx-$2]}")"
  if [ -n "${3:-}" ]; then v="$(verdict "$r" "$3" "$4")"; fi
  row "$1" "${fig[ours-$2]}" "${fig[nginx-$2]}" "${fig[lighttpd-$2]}" "$r" \
    "${3:+$3 $4x nginx}" "$v"
}
# A row whose goal is on our own figure.
own_row() {  # LABEL KEY OPERATOR GOAL UNIT
  row "$1" "${fig[ours-$2]}" "${fig[nginx-$2]}" "${fig[lighttpd-$2]}" \
    "$(ratio "${fig[ours-$2]}" "${fig[nginx-$2]}")" "$3 $4 $5" "$(verdict "${fig[ours-$2]}" "$3" "$4")"
}

echo
echo "vidoriad vs nginx $(nginx -v 2>&1 | sed 's|.*/||') (1 worker) and" \
  "$(lighttpd -v 2>/dev/null | head -1 | sed 's| .*||;s|.*/|lighttpd |')," \
  "$(date -u "+%Y-%m-%d %H:%M UTC"), $(nproc) cores, load average $load_before at start," \
  "$load_after at end"
echo "$FILE_MIB MiB video; CPU runs fetch $CPU_MIB MiB in equal ranges; medians of $ROUNDS" \
  "round(s); wrk -t2 -c64 -d${DURATION}s; $CONNECTS connects; $IDLE idle connections and per wave"
row "" vidoriad nginx lighttpd "v/nginx" goal verdict
server_row "video, 1 client, MB/s" video ">=" 1.0
for n in "${CLIENT_COUNTS[@]}"; do server_row "CPU s per GiB, $n client(s) with ranges" "cpu-$n" "<=" 1.0; done
server_row "CPU s per GiB, $SLOW_CLIENTS slow readers" slow "<=" 1.0
cold_mb_ratio="$(ratio "${cold[mb-first]}" "${cold[mb-later]}")"
cold_cpu_ratio="$(ratio "${cold[cpu-first]}" "${cold[cpu-later]}")"
row "cold burst 16 clients MB/s, at start" "${cold[mb-first]}" "" "" "$cold_mb_ratio" \
  ">= 1.0x later" "$(verdict "$cold_mb_ratio" ">=" 1.0)"
row "  the same ${COLD_WAIT}s later" "${cold[mb-later]}" "" "" "" "" ""
row "cold burst CPU s per GiB, at start" "${cold[cpu-first]}" "" "" "$cold_cpu_ratio" \
  "<= 1.0x later" "$(verdict "$cold_cpu_ratio" "<=" 1.0)"
row "  the same ${COLD_WAIT}s later" "${cold[cpu-later]}" "" "" "" "" ""
server_row "10 KiB file keep-alive req/s" small-keepalive ">=" 1.0
server_row "10 KiB file keep-alive p99 ms" small-keepalive-p99 "<=" 1.5
server_row "10 KiB file new connection req/s" small-close ">=" 0.9
server_row "10 KiB file new connection p99 ms" small-close-p99 "<=" 2.0
server_row "200 KiB file keep-alive req/s" large-keepalive
server_row "home page keep-alive req/s" home-keepalive
server_row "home page new connection req/s" home-close
server_row "home page new connection p99 ms" home-close-p99
server_row "$CONNECTS connects, s until all connected" burst "<=" 2.0
own_row "bytes per idle connection" idle "<" 1024 B
own_row "bytes per idle keep-alive conn. (1 answer)" keepalive "<" 2048 B
for w in $(seq 0 "$WAVES"); do
  label="RSS KiB after wave $w of $IDLE keep-alive"
  if [ "$w" = 0 ]; then label="RSS KiB warm (restarted, keep-alive load)"; fi
  row "$label" "${fig[ours-wave-$w]}" "${fig[nginx-wave-$w]}" "${fig[lighttpd-wave-$w]}" "" "" ""
done
row "RSS after wave $WAVES / before" "${fig[ours-wave-ratio]}" "${fig[nginx-wave-ratio]}" \
  "${fig[lighttpd-wave-ratio]}" "" "" ""
row "RSS KiB after wave $WAVES and ${QUIET}s quiet" "${fig[ours-wave-quiet]}" \
  "${fig[nginx-wave-quiet]}" "${fig[lighttpd-wave-quiet]}" "" "" ""
row "the same / before" "${fig[ours-quiet-ratio]}" "${fig[nginx-quiet-ratio]}" \
  "${fig[lighttpd-quiet-ratio]}" "" "<= 1.5x" "$(verdict "${fig[ours-quiet-ratio]}" "<=" 1.5)"
echo
if [ "$ROUNDS" -gt 1 ]; then
  for key in $(echo "${!runs[@]}" | tr ' ' '\n' | sort); do echo "runs $key: ${runs[$key]}"; done
  for server in "${SERVERS[@]}"; do echo "connect bursts $server s: ${burst_runs[$server]}"; done
fi
for server in "${SERVERS[@]}"; do
  echo "listen queue overflows in the bursts, $server: ${burst_overflows[$server]}"
done
for key in $(echo "${!notes[@]}" | tr ' ' '\n' | sort); do
  if [ -n "${notes[$key]}" ]; then echo "wrk $key: ${notes[$key]}"; fi
done
for key in $(echo "${!failures[@]}" | tr ' ' '\n' | sort); do
  echo "FAILED $key: ${failures[$key]}"
done
