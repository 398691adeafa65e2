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

# The server processes of a run: the callers set our_pid and nginx_pid.
pids_of() {  # NAME: the process and, for nginx, its workers
  if [ "$1" = ours ]; then
    echo "$our_pid"
  else
    echo "$nginx_pid"
    pgrep -P "$nginx_pid" || true
  fi
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
