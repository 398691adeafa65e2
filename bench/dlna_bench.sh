#!/usr/bin/env bash
# The media server's description/SOAP port under control points that poll, in a network namespace
# of its own (root): 20 clients send N requests of each kind (the description, Browse of the root,
# GetSystemUpdateID), first closing their connection after every answer as most TVs do, then
# reusing it where the server lets them. After each run it prints the server's sockets in
# CLOSE-WAIT on that port, its open descriptors and its resident set, against the idle figures.
#
# Usage: bench/dlna_bench.sh [BUILD_DIR]   (N=10000 CLIENTS=20 VIDORIAD=path override)
set -u
BUILD=$(realpath "${1:-build}")
VIDORIAD=$(realpath "${VIDORIAD:-$BUILD/vidoriad}")
CLIENTS_BIN=$BUILD/bench/control_clients
N=${N:-10000}
CLIENTS=${CLIENTS:-20}

if [[ -z ${VIDORIA_IN_NETNS:-} ]]; then
  for tool in unshare ip gssdp-discover ffmpeg ss; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 2; }
  done
  [[ -x $CLIENTS_BIN ]] || { echo "build $CLIENTS_BIN first" >&2; exit 2; }
  VIDORIA_IN_NETNS=1 N=$N CLIENTS=$CLIENTS VIDORIAD=$VIDORIAD exec unshare -n bash "$0" "$BUILD"
fi

veth=vbench0
ip link set lo up
ip link add "$veth" type veth peer name "${veth}p"
ip addr add 127.0.0.2/32 dev "$veth"
ip link set "$veth" up
ip link set "${veth}p" up
sysctl -qw net.ipv4.conf.all.route_localnet=1 "net.ipv4.conf.$veth.route_localnet=1"
ip route add 239.255.255.250/32 dev "$veth"

work=$(mktemp -d "${TMPDIR:-/tmp}/dlna_bench.XXXXXX")
home=$work/home
data=$home/.local/share/Kelvane3
mkdir -p "$data" "$work/media"
source "$(dirname "$0")/../tests/vidoriad_child.sh"
crlf() { printf '%s\r\n' "$@"; }
for name in one two three; do
  ffmpeg -v error -y -f lavfi -i testsrc=duration=2:size=160x120:rate=10 -c:v mpeg4 \
    "$work/media/$name.mp4"
done
crlf 4 3 MOVIE MOVIE TV "$work"/media/{one,two,three}.mp4 one.mp4 two.mp4 three.mp4 \
  0:02 0:02 0:02 >"$data/LIBRARY.kavra"
crlf "Autorun OFF" "Autostart OFF" "Autoscan OFF" 5 qorvu dbeih "login OFF" 0 >"$data/settings.kavra"

spawn_vidoriad
location=
for ((i = 0; i < 20 && ${#location} == 0; i++)); do
  location=$(gssdp-discover -i "$veth" -t urn:schemas-upnp-org:device:MediaServer:1 -n 1 \
    2>/dev/null | awk '/Location:/ {print $2; exit}')
done
[[ -n $location ]] || { echo "the media server was not found" >&2; failures=1; exit 1; }
port=${location#http://127.0.0.2:} port=${port%%/*}

state() {  # LABEL
  local closeWait fds rss
  closeWait=$(ss -Htn state close-wait "( sport = :$port )" | wc -l)
  fds=$(ls "/proc/$child/fd" | wc -l)
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$child/status")
  printf '%-34s close_wait=%-6s fds=%-6s rss_kib=%s\n' "$1" "$closeWait" "$fds" "$rss"
}

echo "vidoriad $VIDORIAD, port $port, N=$N, $CLIENTS clients"
sleep 1
state "idle"
for mode in close keepalive; do
  for kind in description browse updateid; do
    printf '%-10s %-12s ' "$mode" "$kind"
    "$CLIENTS_BIN" 127.0.0.2 "$port" "$kind" "$N" "$CLIENTS" "$mode"
    sleep 1
    state "  after $mode $kind"
  done
done
kill -TERM "$child"
wait "$child"
child=
