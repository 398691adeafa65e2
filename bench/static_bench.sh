#!/usr/bin/env bash
# The static-file path alone: a 10 KiB style sheet from kavra/, served by vidoriad (one or two
# builds) and by nginx (1 worker) from the same program folder, keep-alive and with a new
# connection per request. Prints requests/s, p99 and server CPU per request (utime + stime of the
# server's processes over the run, divided by the requests wrk counted). The builds and nginx take
# turns going first in every round; medians of the rounds.
#
# Usage: bench/static_bench.sh                  VIDORIAD=a/vidoriad OTHER=b/vidoriad to compare two
# Environment (defaults in brackets):
#   ROUNDS [3]   DURATION [5] seconds of each wrk -t2 -c64 run
#   VIDORIAD [build/vidoriad]   OTHER [none]: a second build, shown as "other"
#   PERF [0]     1: records `perf record $PERF_ARGS` (default -g) of the first build under
#                keep-alive, then new connections, into the work folder (kept), and prints the
#                top of each report
#   OUR_PORT, OTHER_PORT, NGINX_PORT [18110, 18111, 18112]
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."

ROUNDS="${ROUNDS:-3}"
DURATION="${DURATION:-5}"
VIDORIAD="${VIDORIAD:-build/vidoriad}"
OTHER="${OTHER:-}"
PERF="${PERF:-0}"
OUR_PORT="${OUR_PORT:-18110}"
OTHER_PORT="${OTHER_PORT:-18111}"
NGINX_PORT="${NGINX_PORT:-18112}"
SMALL=/kavra/bench-10k.css

need_packages nginx wrk curl
if [ "$VIDORIAD" = build/vidoriad ]; then
  cmake --preset default >/dev/null
  cmake --build build --target vidoriad >/dev/null
fi
cmake --build build --target kavra_assets >/dev/null
raise_open_files
tick="$(getconf CLK_TCK)"

work="$(mktemp -d "${TMPDIR:-/tmp}/vidoria-static-bench.XXXXXX")"
chmod 755 "$work"
our_pid=""
other_pid=""
nginx_pid=""
client_pid=""
stopped_status=0
finish() {
  stop_pid "$other_pid"
  if [ "$PERF" = 1 ]; then KEEP_WORK=1; fi
  stop_everything
}
trap finish EXIT
trap 'exit 130' INT TERM

# One program folder per build (vidoriad serves kavra/ beside its executable), one empty library.
make_program() {  # FOLDER BINARY PORT
  mkdir -p "$1/program/kavra" "$1/home/.local/share/Kelvane3"
  cp "$2" "$1/program/vidoriad"
  cp build/kavra/* "$1/program/kavra/"
  cp "$work/bench-10k.css" "$1/program$SMALL"
  chmod -R a+rX "$1"
  printf '4\r\n0\r\n' >"$1/home/.local/share/Kelvane3/LIBRARY.kavra"
  write_settings "$1/home/.local/share/Kelvane3" "$3"
}
started_pid=""
start_build() {  # FOLDER PORT: leaves the pid in started_pid
  env -i HOME="$1/home" PATH=/usr/bin:/bin "$1/program/vidoriad" >>"$1/vidoriad.out" 2>&1 &
  started_pid=$!
  wait_for_url "http://127.0.0.1:$2$SMALL" vidoriad "$started_pid" || {
    cat "$1/vidoriad.out" >&2
    exit 1
  }
}
head -c 10240 /dev/urandom | base64 -w 100 | head -c 10240 >"$work/bench-10k.css"
make_program "$work/ours" "$VIDORIAD" "$OUR_PORT"
start_build "$work/ours" "$OUR_PORT"
our_pid="$started_pid"
SERVERS=(ours nginx)
if [ -n "$OTHER" ]; then
  make_program "$work/other" "$OTHER" "$OTHER_PORT"
  start_build "$work/other" "$OTHER_PORT"
  other_pid="$started_pid"
  SERVERS=(ours other nginx)
fi
nginx_config "$work/nginx" "$NGINX_PORT" "$work/ours/program" 1 4096 "$nofile"
start_nginx "$work/nginx"
wait_for_url "http://127.0.0.1:$NGINX_PORT$SMALL" nginx "$nginx_pid"

port_of() {
  case "$1" in
    ours) echo "$OUR_PORT" ;;
    other) echo "$OTHER_PORT" ;;
    *) echo "$NGINX_PORT" ;;
  esac
}
ticks_of() {
  if [ "$1" = other ]; then
    sed 's/.*) //' "/proc/$other_pid/stat" | awk '{print $12 + $13}'
  else
    cpu_ticks "$1"
  fi
}
for server in "${SERVERS[@]}"; do
  curl -s "http://127.0.0.1:$(port_of "$server")$SMALL" | cmp - "$work/bench-10k.css"
done

if [ "$PERF" = 1 ]; then
  for mode in keepalive close; do
    say "perf record of vidoriad under $mode"
    wrk_run "$work/perf-wrk-$mode.txt" "http://127.0.0.1:$OUR_PORT$SMALL" "$mode" \
      $((DURATION + 2)) >/dev/null &
    client_pid=$!
    sleep 1
    # shellcheck disable=SC2086
    perf record ${PERF_ARGS:--g} -p "$our_pid" -o "$work/perf-$mode.data" -- sleep "$DURATION" \
      >/dev/null 2>&1
    wait "$client_pid" || true
    client_pid=""
    perf report -i "$work/perf-$mode.data" --no-children --percent-limit 1.5 --stdio \
      -g none 2>/dev/null | grep -v '^#' | awk NF | head -40
  done
fi

declare -A rps p99 cpu
for round in $(seq "$ROUNDS"); do
  shift_by=$(((round - 1) % ${#SERVERS[@]}))
  order=("${SERVERS[@]:shift_by}" "${SERVERS[@]:0:shift_by}")
  for mode in keepalive close; do
    for server in "${order[@]}"; do
      say "round $round, $server: $mode ${DURATION}s"
      out="$work/run-$server-$mode-$round.txt"
      t0="$(ticks_of "$server")"
      read -r r l <<<"$(wrk_run "$out" "http://127.0.0.1:$(port_of "$server")$SMALL" "$mode" \
        "$DURATION")"
      t1="$(ticks_of "$server")"
      requests="$(awk '/requests in/ {print $1}' "$out")"
      rps[$server-$mode]+="$r "
      p99[$server-$mode]+="$l "
      cpu[$server-$mode]+="$(awk -v t=$((t1 - t0)) -v n="${requests:-0}" -v hz="$tick" \
        'BEGIN { if (n == 0) print 0; else printf "%.1f", t / hz / n * 1e6 }') "
      sleep 1
    done
  done
done

printf '\n%-34s' "10 KiB file, medians of $ROUNDS"
for server in "${SERVERS[@]}"; do printf '%12s' "$server"; done
printf '%10s\n' "ours/ngx"
for mode in keepalive close; do
  for figure in "requests/s" "p99 ms" "CPU us per request"; do
    printf '%-34s' "$mode $figure"
    for server in "${SERVERS[@]}"; do
      case "$figure" in
        requests/s) v="$(median %.0f ${rps[$server-$mode]})" ;;
        "p99 ms") v="$(median %.2f ${p99[$server-$mode]})" ;;
        *) v="$(median %.1f ${cpu[$server-$mode]})" ;;
      esac
      printf '%12s' "$v"
      eval "last_$server=\$v"
    done
    printf '%10s\n' "$(ratio "$last_ours" "$last_nginx")"
  done
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
