# Shared by the benchmark scripts: tools, stopping processes, medians and ratios. Sourced.

# Installs the Debian packages among the arguments that are missing (with sudo when not root).
need_packages() {
  local sudo_cmd=() missing=() pkg
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$pkg")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
      "${missing[@]}"
  fi
}

# Stops a process with SIGTERM (SIGKILL after 10 s); its exit status is left in stopped_status.
stop_pid() {
  local pid="$1"
  stopped_status=0
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "warning: process $pid did not stop within 10 s of SIGTERM; killing it" >&2
    kill -KILL "$pid" 2>/dev/null || true
  fi
  stopped_status=0
  wait "$pid" 2>/dev/null || stopped_status=$?
}

say() { echo "[$(date +%T)] $*" >&2; }  # progress, on stderr

median() {  # FORMAT NUMBERS...: the median, printed with the printf FORMAT
  local format="$1"
  shift
  echo "$@" | tr ' ' '\n' | awk NF | sort -g |
    awk -v f="$format\n" '{ v[NR] = $1 } END {
      if (NR == 0) printf f, 0; else if (NR % 2) printf f, v[(NR + 1) / 2];
      else printf f, (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { if (b + 0 == 0 || a == "n/a") print "n/a";
    else printf "%.2f", a / b }'
}

verdict() { awk -v v="$1" -v op="$2" -v g="$3" 'BEGIN {
  if (v == "n/a") { print "n/a"; exit }
  if (op == ">=") ok = v + 0 >= g + 0
  else if (op == "<=") ok = v + 0 <= g + 0
  else ok = v + 0 < g + 0
  print (ok ? "met" : "MISSED") }'; }

# The server processes of a run: the callers set our_pid, nginx_pid and lighttpd_pid.
pids_of() {  # NAME (ours, nginx or lighttpd): the process and, for nginx, its workers
  case "$1" in
    ours) echo "$our_pid" ;;
    lighttpd) echo "$lighttpd_pid" ;;
    *)
      echo "$nginx_pid"
      pgrep -P "$nginx_pid" || true
      ;;
  esac
}
rss_kib() {  # NAME: summed VmRSS in KiB
  local total=0 pid v
  for pid in $(pids_of "$1"); do
    v="$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)"
    total=$((total + ${v:-0}))
  done
  echo "$total"
}
fds_of() {  # NAME: summed open descriptors
  local total=0 pid
  for pid in $(pids_of "$1"); do
    total=$((total + $(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)))
  done
  echo "$total"
}
cpu_ticks() {  # NAME: utime + stime summed over the server's processes, in clock ticks
  local total=0 pid v
  for pid in $(pids_of "$1"); do
    # The command name in field 2 may hold spaces; count the fields after its closing parenthesis.
    v="$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | awk '{print $12 + $13}')"
    total=$((total + ${v:-0}))
  done
  echo "$total"
}

# Raises this shell's open-file limit to the hard limit (servers and clients inherit it) and
# leaves it in `nofile`.
raise_open_files() {
  local hard
  hard="$(ulimit -Hn)"
  if [ "$hard" = unlimited ]; then hard=1048576; fi
  ulimit -n "$hard"
  nofile="$(ulimit -n)"
}

# Waits until URL answers (a one-byte range, so a large file is never fetched whole).
wait_for_url() {  # URL NAME PID
  for _ in $(seq 100); do
    if ! kill -0 "$3" 2>/dev/null; then
      echo "$2 exited while starting" >&2
      return 1
    fi
    curl -s -o /dev/null --max-time 1 -r 0-0 "$1" && return 0
    sleep 0.1
  done
  echo "$2 did not answer within 10 s" >&2
  return 1
}

# The served media file: random bytes (a byte in the wrong place cannot go unnoticed by the
# verifying clients; no server looks inside), made once per size and kept, then read into the
# page cache so that the first server measured does not pay for the disk. Prints its path.
media_file() {  # FOLDER MIB
  local big="$1/big.mp4" bytes=$(($2 * 1048576))
  mkdir -p "$1"
  chmod 755 "$1"  # nginx workers drop root and must still reach the file
  if [ "$(stat -c %s "$big" 2>/dev/null || echo 0)" != "$bytes" ]; then
    echo "Writing $2 MiB of random bytes to $big" >&2
    rm -f "$big"
    head -c "$bytes" /dev/urandom >"$big.part"
    mv "$big.part" "$big"
  fi
  chmod 644 "$big"
  cat "$big" >/dev/null
  echo "$big"
}

write_film_library() {  # DATA FILE: a library table listing FILE as its one film, big.mp4
  # Columns one after the other: type, full path, name, duration.
  printf '4\r\n1\r\nMOVIE\r\n%s\r\nbig.mp4\r\n1:01:40\r\n' "$2" >"$1/LIBRARY.kavra"
}

# Ends what a benchmark started (the callers set client_pid, our_pid, nginx_pid, lighttpd_pid and
# work) and removes its folder unless KEEP_WORK=1. Meant for `trap stop_everything EXIT`.
stop_everything() {
  stop_pid "${client_pid:-}"
  stop_pid "${our_pid:-}"
  # vidoriad saves and exits 0 on SIGTERM; anything else is worth a look.
  if [ "$stopped_status" != 0 ]; then
    echo "warning: vidoriad exited with status $stopped_status after SIGTERM" >&2
    cat "$work/vidoriad.out" >&2 2>/dev/null || true
  fi
  stop_pid "${nginx_pid:-}"
  stop_pid "${lighttpd_pid:-}"
  if [ "${KEEP_WORK:-0}" = 1 ]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}

# vidoriad's settings in DATA (its data folder): no autorun, autostart or autoscan, user "bench"
# without a password, login off, listening on PORT;
# no announcements to the network (TVs would browse the bench's library).
write_settings() {  # DATA PORT
  printf 'Autorun OFF\r\nAutostart OFF\r\nAutoscan OFF\r\n5\r\nbench\r\n\r\nlogin OFF\r\n%s\r\n' \
    "$2" >"$1/settings.kavra"
  printf 'Share OFF\r\n' >"$1/sharing.kavra"
}

# An nginx configuration in PREFIX/nginx.conf, as Debian's has it where it matters here:
# sendfile and tcp_nopush on, access log on. keepalive_requests is raised so that, like our
# server, it keeps a connection for any number of requests.
nginx_config() {  # PREFIX PORT ROOT WORKERS CONNECTIONS NOFILE
  mkdir -p "$1"
  cat >"$1/nginx.conf" <<EOF
worker_processes $4;
worker_rlimit_nofile $6;
pid $1/nginx.pid;
error_log $1/error.log warn;
events {
  worker_connections $5;
}
http {
  types {
    text/html html;
    text/css css;
    text/plain txt;
    image/png png;
    image/jpeg jpg;
    video/mp4 mp4;
  }
  default_type application/octet-stream;
  access_log $1/access.log;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 1000000;
  keepalive_timeout 60s;
  client_body_temp_path $1/client_body;
  proxy_temp_path $1/proxy;
  fastcgi_temp_path $1/fastcgi;
  uwsgi_temp_path $1/uwsgi;
  scgi_temp_path $1/scgi;
  server {
    listen 127.0.0.1:$2;
    root $3;
  }
}
EOF
}

# Starts nginx from PREFIX/nginx.conf, in the foreground of a background job; sets nginx_pid.
start_nginx() {  # PREFIX
  "$(command -v nginx || echo /usr/sbin/nginx)" -p "$1" -c "$1/nginx.conf" -e "$1/error.log" \
    -g 'daemon off;' >"$1/nginx.out" 2>&1 &
  nginx_pid=$!
}

# A lighttpd configuration in PREFIX/lighttpd.conf: one process, access log on, sendfile (its
# default on Linux), keep-alive requests raised as for nginx.
lighttpd_config() {  # PREFIX PORT ROOT CONNECTIONS NOFILE
  mkdir -p "$1"
  cat >"$1/lighttpd.conf" <<EOF
server.document-root = "$3"
server.bind = "127.0.0.1"
server.port = $2
server.pid-file = "$1/lighttpd.pid"
server.errorlog = "$1/error.log"
server.modules = ("mod_accesslog")
accesslog.filename = "$1/access.log"
server.max-fds = $5
server.max-connections = $4
server.max-keep-alive-requests = 1000000
server.max-keep-alive-idle = 60
index-file.names = ("index.html")
mimetype.assign = (
  ".html" => "text/html", ".css" => "text/css", ".txt" => "text/plain", ".png" => "image/png",
  ".jpg" => "image/jpeg", ".mp4" => "video/mp4"
)
EOF
}

# Starts lighttpd from PREFIX/lighttpd.conf, in the foreground of a background job; sets
# lighttpd_pid.
start_lighttpd() {  # PREFIX
  "$(command -v lighttpd || echo /usr/sbin/lighttpd)" -D -f "$1/lighttpd.conf" \
    >"$1/lighttpd.out" 2>&1 &
  lighttpd_pid=$!
}

# wrk prints latencies as 512.00us, 1.20ms, 1.02s or 1.50m; all become milliseconds.
to_ms() {
  awk -v v="$1" 'BEGIN {
    n = v + 0
    if (v ~ /us$/) n /= 1000; else if (v ~ /ms$/) n += 0; else if (v ~ /m$/) n *= 60000;
    else if (v ~ /s$/) n *= 1000
    printf "%.2f", n }'
}

# One wrk run, -t2 -c64 --latency for SECONDS against URL, keep-alive or (MODE close) with a new
# connection per request; wrk's output goes to OUT. Prints "requests/s p99-ms" ("0 0" when wrk
# gave no figures).
wrk_run() {  # OUT URL MODE SECONDS
  local header=() r l
  if [ "$3" = close ]; then header=(-H "Connection: close"); fi
  # wrk stops by itself after -d; timeout only guards against a hung client.
  timeout $(($4 + 30)) wrk -t2 -c64 -d"$4s" --latency "${header[@]}" "$2" >"$1" 2>&1 || true
  r="$(awk '/^Requests\/sec:/ {printf "%.0f", $2}' "$1")"
  l="$(awk '$1 == "99%" {print $2}' "$1")"
  if [ -z "$r" ] || [ -z "$l" ]; then
    echo "wrk gave no result for $2 ($3):" >&2
    cat "$1" >&2
    echo "0 0"
    return
  fi
  echo "$r $(to_ms "$l")"
}
# What went wrong in a wrk run, if anything: socket errors and answers other than 2xx or 3xx.
wrk_notes() {  # OUT
  grep -E 'Socket errors|Non-2xx' "$1" | tr -s ' ' | paste -sd';' || true
}
