#!/usr/bin/env bash
# The real vidoriad as a TV meets it: inside a network namespace of its own (nothing leaves the
# machine, every address is in the loopback range), a control point from Debian (gssdp-discover)
# finds the media server, curl sends the SOAP requests a TV sends, the DIDL-Lite is checked against
# the library, the playlists and the links the phone pages hold, ffprobe/ffmpeg play an item's
# link with a seek, and the switches are honoured: "Require login" lists nothing, the sharing
# switch off answers no search.
#
# The namespace: lo up, a veth pair with 127.0.0.2/32 on one end (the server announces on every
# interface that is up and is not the loopback device), route_localnet on (without it the kernel
# refuses multicast from a 127.x source), IPv6 off, and the SSDP group routed over the veth.
#
# Usage: tests/upnp/media_server_in_netns.sh [path/to/vidoriad]   (as root; KEEP=1 keeps the
# work folder, which is always kept after a failure). Exits 77 (skipped) where no network
# namespace can be made.
set -u
shopt -u patsub_replacement 2>/dev/null  # a '&' in ${t//x/&...} stays a '&'
SKIP=77
VIDORIAD=$(realpath "${1:-build/vidoriad}")
CLIENTS=$(realpath "${2:-build/bench/control_clients}")

if [[ -z ${VIDORIA_IN_NETNS:-} ]]; then
  for tool in unshare ip sysctl gssdp-discover curl ffmpeg ffprobe ss prlimit; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit $SKIP; }
  done
  if ! why=$(unshare -n true 2>&1); then
    echo "skipped: cannot make a network namespace (root is needed): $why"
    exit $SKIP
  fi
  VIDORIA_IN_NETNS=1 exec unshare -n bash "$0" "$VIDORIAD" "$CLIENTS"
fi

veth=vdlna0
ip link set lo up
ip link add "$veth" type veth peer name "${veth}p" || { echo "skipped: no veth pair"; exit $SKIP; }
ip addr add 127.0.0.2/32 dev "$veth"
ip link set "$veth" up
ip link set "${veth}p" up
sysctl -qw net.ipv4.conf.all.route_localnet=1 "net.ipv4.conf.$veth.route_localnet=1" \
  "net.ipv4.conf.${veth}p.route_localnet=1"
sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1 2>/dev/null
ip route add 239.255.255.250/32 dev "$veth"

work=$(mktemp -d "${TMPDIR:-/tmp}/media_server_in_netns.XXXXXX")
home=$work/home
data=$home/.local/share/Kelvane3
films=$work/media/Films
shows=$work/media/Shows
mkdir -p "$data" "$films" "$shows"
source "$(dirname "$0")/../vidoriad_child.sh"
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
check() {  # DESCRIPTION EXPECTED ACTUAL
  [[ $2 == "$3" ]] || fail "$1: expected ${2@Q}, got ${3@Q}"
}
crlf() { printf '%s\r\n' "$@"; }

# ---- A small library of real MP4 files: markup characters and non-ASCII letters in the names,
# a cover picture beside one, subtitles beside another, a playlist with items and one without.
tom="Tom & Jerry <1>.mp4" amelie="Amélie été.mp4" plain="plain.mp4"
make_video() {  # PATH [CODEC OPTIONS...]
  local path=$1
  shift
  ffmpeg -v error -y -f lavfi -i testsrc=duration=6:size=160x120:rate=10 \
    -f lavfi -i sine=duration=6 "${@:--an}" -c:v "${CODEC:-mpeg4}" -g 10 -movflags +faststart \
    "$path" || fail "ffmpeg could not make $path"
}
make_video "$films/$tom"
make_video "$shows/$amelie"
# What TVs play: H.264 main profile with AAC sound.
CODEC=libx264 make_video "$films/$plain" -pix_fmt yuv420p -profile:v main -c:a aac -ac 2 -ar 44100
ffmpeg -v error -y -f lavfi -i testsrc=size=64x48 -frames:v 1 "$films/cover.jpg"
crlf 1 "00:00:01,000 --> 00:00:03,000" "Hello" "" >"$films/plain.srt"
# Column after column: class, full path, name, duration.
crlf 4 3 MOVIE TV MOVIE "$films/$tom" "$shows/$amelie" "$films/$plain" "$tom" "$amelie" "$plain" \
  0:06 0:06 0:06 >"$data/LIBRARY.kavra"
crlf 4 2 "Kids & <co>" "Empty" "" "" "$tom" "" "$amelie" "" >"$data/PLAYLISTS.kavra"
settings() {  # LOGIN
  crlf "Autorun OFF" "Autostart OFF" "Autoscan OFF" 5 qorvu "$(tr 'a-z' 'n-za-m' <<<qorvu)" \
    "login $1" 0 >"$data/settings.kavra"
}
settings OFF

port=
start_vidoriad() {
  : >"$work/out"
  spawn_vidoriad
  local said
  for ((i = 0; i < 200; i++)); do
    said=$(<"$work/out")
    if [[ $said =~ serving\ on\ port\ ([0-9]+) ]]; then
      port=${BASH_REMATCH[1]}
      return
    fi
    kill -0 "$child" 2>/dev/null || break
    sleep 0.1
  done
  fail "vidoriad did not serve: $(cat "$work/err")"
  exit 1
}
stop_vidoriad() {
  kill -TERM "$child"
  wait "$child"
  check "vidoriad's exit status" 0 $?
  child=
}

# What gssdp-discover hears within SECONDS for TARGET, as "USN Location" lines.
discover() {  # TARGET SECONDS [MESSAGE TYPE]
  gssdp-discover -i "$veth" -t "$1" -n "$2" -m "${3:-available}" 2>/dev/null |
    awk '/USN:/ {usn = $2} /Location:/ {print usn, $2}' | sort -u
}

# Repeats the search until the device answers (it comes up a moment after the server listens).
discover_device() {  # [TARGET]
  local found
  for ((i = 0; i < 10; i++)); do
    found=$(discover "${1:-urn:schemas-upnp-org:device:MediaServer:1}" 1)
    [[ -n $found ]] && { echo "$found"; return; }
  done
}

# ---- SOAP, as a TV sends it.
soap() {  # SERVICE ACTION ARGUMENTS: prints the HTTP status, then the body
  local type="urn:schemas-upnp-org:service:$1:1"
  curl -s -m 10 -w '\n%{http_code}' -H 'Content-Type: text/xml; charset="utf-8"' \
    -H "SOAPAction: \"$type#$2\"" --data-binary \
    "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><u:$2 xmlns:u=\"$type\">$3</u:$2></s:Body></s:Envelope>" \
    "$base/$1/control"
}
browse() {  # OBJECT FLAG [START COUNT]
  soap ContentDirectory Browse "<ObjectID>$1</ObjectID><BrowseFlag>$2</BrowseFlag><Filter>*</Filter><StartingIndex>${3:-0}</StartingIndex><RequestedCount>${4:-0}</RequestedCount><SortCriteria></SortCriteria>"
}
field() {  # NAME TEXT: the element's text
  local text=$2
  [[ $text =~ \<$1\>([^<]*)\</$1\> ]] && echo "${BASH_REMATCH[1]}"
}
unescape() {
  local t=$1
  t=${t//&lt;/<} t=${t//&gt;/>} t=${t//&quot;/\"} t=${t//&apos;/\'} t=${t//&amp;/&}
  printf '%s' "$t"
}
# The DIDL-Lite of a Browse answer, one object per line.
didl() {  # BROWSE ANSWER
  local result
  result=$(field Result "$1")
  unescape "$result" | sed 's/<\(item\|container\) /\n&/g' | grep -E '^<(item|container) '
}
# From DIDL lines: the values of one element or attribute, one per line, unescaped.
values() {  # PATTERN (sed, one group) LINES
  while IFS= read -r line; do
    local v
    v=$(sed -n "s#.*$1.*#\1#p" <<<"$line")
    unescape "$v"
    echo
  done <<<"$2"
}
# The video links of a phone page (the title link of each entry), made absolute.
page_links() {  # PATH
  curl -s -m 10 "http://127.0.0.2:$port$1" |
    grep -o '<td><a href="[^"]*" type="video/mp4">' | sed 's/.*href="\([^"]*\)".*/\1/' |
    while IFS= read -r href; do echo "http://127.0.0.2:$port$(unescape "$href")"; done
}

# ---- Discovery.
start_vidoriad
found=$(discover_device)
[[ -n $found ]] || { fail "no MediaServer found"; exit 1; }
uuid=$(tr -d '\r' <"$data/device.kavra")
[[ $uuid =~ ^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$ ]] ||
  fail "device.kavra holds no UUID: ${uuid@Q}"
location=${found##* }
base=${location%/*}
# The description/SOAP port is the web port + 1, so that a firewall can open two fixed ports.
[[ $location == "http://127.0.0.2:$((port + 1))/"*.xml ]] || fail "location $location (web port $port)"
for target in upnp:rootdevice urn:schemas-upnp-org:device:MediaServer:1 \
  urn:schemas-upnp-org:service:ContentDirectory:1 urn:schemas-upnp-org:service:ConnectionManager:1; do
  grep -qF "uuid:$uuid::$target $location" <<<"$(discover_device "$target")" ||
    fail "no answer for $target"
done
description=$(curl -s -m 10 "$location")
check "friendly name" "Vidoria on $(hostname)" "$(field friendlyName "$description")"
check "UDN" "uuid:$uuid" "$(field UDN "$description")"

# ---- Browsing every container, checked against the library, the playlists and the phone pages.
answer=$(browse 0 BrowseDirectChildren)
check "root's status" 200 "${answer##*$'\n'}"
lines=$(didl "$answer")
check "root's containers" $'library Library\nplaylists Playlists' \
  "$(paste -d' ' <(values 'id="\([^"]*\)"' "$lines") <(values '<dc:title>\([^<]*\)<' "$lines"))"
lines=$(didl "$(browse library BrowseDirectChildren)")
check "library's containers" $'Entire collection\nMovies\nTV Shows' "$(values '<dc:title>\([^<]*\)<' "$lines")"

check_items() {  # OBJECT PAGE TITLES...: the items, their links and sizes
  local id=$1 page=$2 lines
  shift 2
  lines=$(didl "$(browse "$id" BrowseDirectChildren)")
  check "$id: titles" "$(printf '%s\n' "$@")" "$(values '<dc:title>\([^<]*\)<' "$lines")"
  # The video's res comes first; subtitles, where there are any, follow it.
  lines=$(sed 's#</res>.*#</res>#' <<<"$lines")
  check "$id: links as the phone page's" "$(page_links "$page")" "$(values '>\(http[^<]*\)</res>' "$lines")"
  check "$id: classes" "$(printf 'object.item.videoItem\n%.0s' "$@")" "$(values '<upnp:class>\([^<]*\)<' "$lines")"
  check "$id: protocol" "$(printf 'http-get:*:video/mp4:DLNA.ORG_OP=01;DLNA.ORG_CI=0;DLNA.ORG_FLAGS=01700000000000000000000000000000\n%.0s' "$@")" \
    "$(values 'protocolInfo="\([^"]*\)"' "$lines" | sed 's/DLNA.ORG_PN=[A-Z0-9_]*;//')"
  local title sizes=
  for title in "$@"; do
    sizes+=$(stat -c %s "$films/$title.mp4" "$shows/$title.mp4" 2>/dev/null)$'\n'
  done
  check "$id: sizes" "${sizes%$'\n'}" "$(values 'size="\([0-9]*\)"' "$lines")"
}
check_items library/all /list\&library "Amélie été" plain "Tom & Jerry <1>"
check_items library/movies /list\&movies plain "Tom & Jerry <1>"
check_items library/tvshows /list\&tvshows "Amélie été"
lines=$(didl "$(browse playlists BrowseDirectChildren)")
check "playlists with items" "Kids & <co>" "$(values '<dc:title>\([^<]*\)<' "$lines")"
check "playlist's child count" 2 "$(values 'childCount="\([0-9]*\)"' "$lines")"
playlist=$(values 'id="\([^"]*\)"' "$lines")
check_items "$playlist" "/list&Kids%20%26%20%3Cco%3E" "Amélie été" "Tom & Jerry <1>"

# The cover beside the films; none for the show.
lines=$(didl "$(browse library/all BrowseDirectChildren)")
art=$(values '<upnp:albumArtURI dlna:profileID="JPEG_TN">\([^<]*\)<' "$lines" | grep .)
check "album art" $'http://127.0.0.2:'"$port"$'/plain.jpg\nhttp://127.0.0.2:'"$port/Tom%20%26%20Jerry%20%3C1%3E.jpg" "$art"
curl -s -m 10 -o "$work/cover" "$(head -1 <<<"$art")"
cmp -s "$work/cover" "$films/cover.jpg" || fail "the album art is not the cover picture"

# Paging, metadata, errors.
answer=$(browse library/all BrowseDirectChildren 1 1)
check "page: returned" 1 "$(field NumberReturned "$answer")"
check "page: total" 3 "$(field TotalMatches "$answer")"
check "page: item" plain "$(values '<dc:title>\([^<]*\)<' "$(didl "$answer")")"
answer=$(browse library/all BrowseDirectChildren 0 4294967295)
check "huge count: returned" 3 "$(field NumberReturned "$answer")"
mapfile -t item_ids < <(values '<item id="\([^"]*\)"' "$(didl "$(browse library/all BrowseDirectChildren)")")
answer=$(browse "${item_ids[2]}" BrowseMetadata)
check "item metadata" "Tom & Jerry <1>" "$(values '<dc:title>\([^<]*\)<' "$(didl "$answer")")"
answer=$(browse no/such/object BrowseDirectChildren)
check "unknown object: status" 500 "${answer##*$'\n'}"
check "unknown object: error" 701 "$(field errorCode "$answer")"
answer=$(browse 0 BrowseDirectChildren 0 lots)
check "bad count: error" 402 "$(field errorCode "$answer")"
status=$(curl -s -m 10 -o /dev/null -w '%{http_code}' -H 'SOAPAction: "urn:schemas-upnp-org:service:ContentDirectory:1#Browse"' \
  --data-binary '<s:Envelope><s:Body><u:Browse' "$base/ContentDirectory/control")
[[ $status == 4* || $status == 5* ]] || fail "malformed body answered $status"
check "update id" 1 "$(( $(field Id "$(soap ContentDirectory GetSystemUpdateID '')") > 0 ))"
# A TV's search box and the views some TVs build by Search.
search() {  # CONTAINER CRITERIA
  soap ContentDirectory Search "<ContainerID>$1</ContainerID><SearchCriteria>$2</SearchCriteria><Filter>*</Filter><StartingIndex>0</StartingIndex><RequestedCount>0</RequestedCount><SortCriteria></SortCriteria>"
}
videos='upnp:class derivedfrom &quot;object.item.videoItem&quot;'
check "search: every video once" $'Amélie été\nplain\nTom & Jerry <1>' \
  "$(values '<dc:title>\([^<]*\)<' "$(didl "$(search 0 "$videos")")")"
check "search: by title" "Tom & Jerry <1>" \
  "$(values '<dc:title>\([^<]*\)<' "$(didl "$(search 0 "$videos and dc:title contains &quot;JERRY&quot;")")")"
check "search capabilities" "dc:title,upnp:class,@id,@parentID" \
  "$(field SearchCaps "$(soap ContentDirectory GetSearchCapabilities '')")"
check "protocol info" "http-get:*:video/mp4:*" "$(field Source "$(soap ConnectionManager GetProtocolInfo '')")"

# ---- Control connections end when their client is done: a control point that closes after each
# answer (as TVs do) leaves no socket in CLOSE-WAIT and no descriptor behind; one that keeps its
# connection gets every answer on it; a connection that sends nothing is closed after the idle
# time-out.
control_port=${base#http://127.0.0.2:} control_port=${control_port%%/*}
close_waits() { ss -Htn state close-wait "( sport = :$control_port )" | wc -l; }
descriptors() { ls "/proc/$child/fd" | wc -l; }
exchange_and_close() {  # REQUEST: on a connection of its own; prints the answer's head
  local LC_ALL=C fd line head= length=0
  exec {fd}<>"/dev/tcp/127.0.0.2/$control_port"
  printf '%s' "$1" >&"$fd"
  while IFS= read -r -t 5 line <&"$fd"; do
    line=${line%$'\r'}
    [[ -z $line ]] && break
    head+=$line$'\n'
    [[ ${line,,} =~ ^content-length:\ *([0-9]+) ]] && length=${BASH_REMATCH[1]}
  done
  ((length > 0)) && read -r -t 5 -N "$length" line <&"$fd"
  exec {fd}>&-
  printf '%s' "$head"
}
soap_request() {  # ACTION ARGUMENTS
  local type=urn:schemas-upnp-org:service:ContentDirectory:1 body
  body="<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><u:$1 xmlns:u=\"$type\">$2</u:$1></s:Body></s:Envelope>"
  printf 'POST /ContentDirectory/control HTTP/1.1\r\nHost: 127.0.0.2:%s\r\nContent-Type: text/xml; charset="utf-8"\r\nSOAPAction: "%s#%s"\r\nContent-Length: %s\r\n\r\n%s' \
    "$control_port" "$type" "$1" "${#body}" "$body"
}
exec {idle}<>"/dev/tcp/127.0.0.2/$control_port"
idle_since=$SECONDS
descriptors_before=$(descriptors)
requests=("GET /${location##*/} HTTP/1.1"$'\r\n'"Host: 127.0.0.2:$control_port"$'\r\n\r\n'
  "$(soap_request GetSystemUpdateID '')"
  "$(soap_request Browse '<ObjectID>library/all</ObjectID><BrowseFlag>BrowseDirectChildren</BrowseFlag><Filter>*</Filter><StartingIndex>0</StartingIndex><RequestedCount>0</RequestedCount><SortCriteria></SortCriteria>')")
for ((i = 0; i < 100; i++)); do
  for request in "${requests[@]}"; do
    head=$(exchange_and_close "$request")
    [[ $head == "HTTP/1.1 200 "* ]] || { fail "control request $i: ${head%%$'\n'*}"; break 2; }
  done
done
sleep 0.5
check "sockets in CLOSE-WAIT after 300 closed control connections" 0 "$(close_waits)"
growth=$(($(descriptors) - descriptors_before))
((growth <= 2)) || fail "300 closed control connections left $growth more descriptors"
kept=$(curl -s -m 10 -o /dev/null -o /dev/null -o /dev/null -w '%{http_code} %{num_connects}\n' \
  "$location" "${location%/*}/ContentDirectory.xml" "${location%/*}/icon-48.png" | tr '\n' ' ')
check "three requests on one kept connection" "200 1 200 0 200 0 " "$kept"
# Memory: thousands of control points that close after each answer keep nothing (the HTTP stack
# the port once ran on kept about 350 bytes for every connection: 3.5 MB here).
rss() { awk '/^VmRSS:/ {print $2}' "/proc/$child/status"; }
"$CLIENTS" 127.0.0.2 "$control_port" browse 1000 10 close >/dev/null || fail "control clients (warm-up)"
rss_before=$(rss)
for kind in description browse updateid; do
  "$CLIENTS" 127.0.0.2 "$control_port" "$kind" 3400 10 close >/dev/null || fail "control clients: $kind"
done
rss_growth=$(($(rss) - rss_before))
((rss_growth < 1024)) || fail "10,200 closed control connections grew the server by $rss_growth KiB"
check "sockets in CLOSE-WAIT after 10,200 more" 0 "$(close_waits)"
timeout 30 cat <&"$idle" >/dev/null
idle_for=$((SECONDS - idle_since))
((idle_for < 30)) || fail "a control connection that sent nothing was still open after $idle_for s"
exec {idle}>&-

# ---- What a TV is told about a real H.264 + AAC file, against what ffprobe reads from it: the
# res element's attributes, the DLNA profile, and the media answer's DLNA headers.
probe() {  # ENTRY [STREAM]
  if [[ -n ${2:-} ]]; then
    ffprobe -v error -select_streams "$2" -show_entries "stream=$1" -of default=nw=1:nk=1 "$films/$plain"
  else
    ffprobe -v error -show_entries "format=$1" -of default=nw=1:nk=1 "$films/$plain"
  fi
}
res=$(unescape "$(field Result "$(browse "${item_ids[1]}" BrowseMetadata)")" | grep -o '<res [^>]*>' | head -1)
attribute() { sed -n "s/.* $1=\"\([^\"]*\)\".*/\1/p" <<<"$res"; }
check "res size" "$(probe size)" "$(attribute size)"
check "res resolution" "$(probe width v:0)x$(probe height v:0)" "$(attribute resolution)"
check "res channels" "$(probe channels a:0)" "$(attribute nrAudioChannels)"
check "res sample rate" "$(probe sample_rate a:0)" "$(attribute sampleFrequency)"
[[ $(attribute duration) =~ ^0:00:0([0-9])\.([0-9]{3})$ ]] &&
  awk -v a="${BASH_REMATCH[1]}.${BASH_REMATCH[2]}" -v b="$(probe duration)" \
    'BEGIN { d = a - b; exit !(d < 0.05 && d > -0.05) }' ||
  fail "res duration $(attribute duration), ffprobe $(probe duration)"
check "res bit rate" "$(( $(probe size) * 1000 / $(awk -v s="$(probe duration)" 'BEGIN { printf "%d", s * 1000 + 0.5 }') ))" \
  "$(attribute bitrate)"
features="DLNA.ORG_PN=AVC_MP4_MP_SD_AAC_MULT5;DLNA.ORG_OP=01;DLNA.ORG_CI=0;DLNA.ORG_FLAGS=01700000000000000000000000000000"
check "res protocolInfo" "http-get:*:video/mp4:$features" "$(attribute protocolInfo)"
link="http://127.0.0.2:$port/plain.mp4"
heads() { curl -s -m 10 -o /dev/null -D - "$@" | tr -d '\r'; }
asked=$(heads -H 'getcontentFeatures.dlna.org: 1' "$link")
check "contentFeatures" "contentFeatures.dlna.org: $features" "$(grep -i '^contentFeatures.dlna.org:' <<<"$asked")"
check "transferMode" "transferMode.dlna.org: Streaming" "$(grep -i '^transferMode.dlna.org:' <<<"$asked")"
check "headers for a client that does not ask" "" "$(heads "$link" | grep -i 'dlna.org')"
check "time seek" 406 "$(curl -s -m 10 -o /dev/null -w '%{http_code}' -H 'TimeSeekRange.dlna.org: npt=2.0-' "$link")"
subtitles=$(unescape "$(field Result "$(browse "${item_ids[1]}" BrowseMetadata)")" |
  sed -n 's#.*<res protocolInfo="http-get:\*:text/srt:\*">\([^<]*\)</res>.*#\1#p')
check "subtitles link" "http://127.0.0.2:$port/plain.srt" "$subtitles"
check "subtitles as ffprobe reads them" "subrip" \
  "$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$subtitles")"
check "Samsung's subtitles header" "CaptionInfo.sec: http://127.0.0.2:$port/plain.srt" \
  "$(heads -H 'getCaptionInfo.sec: 1' "$link" | grep -i '^CaptionInfo.sec:')"
head_answer=$(curl -s -m 10 -I -H 'getcontentFeatures.dlna.org: 1' "$link" | tr -d '\r')
check "HEAD's status" "HTTP/1.1 200 OK" "$(head -1 <<<"$head_answer")"
check "HEAD's length" "CONTENT-LENGTH: $(probe size)" "$(grep -i '^content-length:' <<<"$head_answer")"
grep -qi '^contentFeatures.dlna.org:' <<<"$head_answer" || fail "HEAD without contentFeatures"

# ---- Playing an item's link, with a seek, through the web server's byte ranges.
video=$(values '>\(http[^<]*\.mp4\)</res>' "$(didl "$(browse "${item_ids[1]}" BrowseMetadata)")")
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$video")
[[ $duration == 6.* || $duration == 5.9* ]] || fail "ffprobe read a duration of ${duration@Q} from $video"
frames=$(ffmpeg -v error -ss 4 -i "$video" -map 0:v -c copy -f null - -progress pipe:1 2>&1 |
  sed -n 's/^frame=//p' | tail -1)
[[ $frames =~ ^[0-9]+$ ]] && ((frames >= 10 && frames < 60)) ||
  fail "after a seek to 4 s, ffmpeg read ${frames@Q} frames"
grep -q "GET /plain.mp4" "$data"/LOG/*.log 2>/dev/null || fail "the web log has no request for the video"

# ---- An M-SEARCH flood is answered within bounds and the server goes on serving.
msearch=$'M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: "ssdp:discover"\r\nMX: 1\r\nST: ssdp:all\r\n\r\n'
rss() { awk '/^VmRSS:/ {print $2}' "/proc/$child/status"; }
before=$(rss)
for ((i = 0; i < 2000; i++)); do printf '%s' "$msearch"; done >/dev/udp/239.255.255.250/1900
after=$(rss)
((after - before < 65536)) || fail "the flood grew the server by $((after - before)) KiB"
check "browse after a flood" 200 "$(browse 0 BrowseMetadata | tail -1)"
[[ -n $(discover_device) ]] || fail "no answer to a search after a flood"

# ---- Stopping says byebye; with "Require login" on nothing is listed; the UUID stays.
# The listener must know the device before it can hear it leave.
gssdp-discover -i "$veth" -t urn:schemas-upnp-org:device:MediaServer:1 -n 4 -m all \
  >"$work/byebye" 2>/dev/null &
listener=$!
for ((i = 0; i < 30; i++)); do
  grep -q "resource available" "$work/byebye" && break
  sleep 0.1
done
stop_vidoriad
wait "$listener"
grep -A1 "resource unavailable" "$work/byebye" | grep -q "uuid:$uuid" ||
  fail "no byebye when the server stopped: $(cat "$work/byebye")"
settings ON
start_vidoriad
found=$(discover_device)
location=${found##* } base=${found##* } base=${base%/*}
for id in 0 library/all playlists; do
  answer=$(browse "$id" BrowseDirectChildren)
  check "login on: $id lists" 0 "$(field NumberReturned "$answer")"
done
check "UUID after a restart" "$uuid" "$(tr -d '\r' <"$data/device.kavra")"
stop_vidoriad

# ---- A connection flood cannot cost a save: with a small descriptor table, connections held
# open on the web port and on the control port stop short of the table's end, and the save at
# close still writes every file.
settings OFF
start_vidoriad
found=$(discover_device)
control_port=${found##*:} control_port=${control_port%%/*}
prlimit --pid "$child" --nofile=160:160 || fail "prlimit could not lower the descriptor limit"
touch -d '2001-01-01' "$data"/*.kavra
# Each connection is held by a process of its own, so that a connect the full server cannot take
# only delays that one.
holders=()
for ((i = 0; i < 200; i++)); do
  for p in "$port" "$control_port"; do
    timeout 60 sleep 60 <>"/dev/tcp/127.0.0.2/$p" 2>/dev/null &
    holders+=($!)
  done
done
sleep 3
open_now=$(descriptors)
((open_now >= 90)) || fail "the flood held only $open_now descriptors: no flood"
((open_now <= 160 - 32)) || fail "the flood took $open_now of 160 descriptors"
stop_vidoriad
kill "${holders[@]}" 2>/dev/null
wait "${holders[@]}" 2>/dev/null
for name in settings LIBRARY PLAYLISTS FOLDERS; do
  [[ $(stat -c %Y "$data/$name.kavra") -gt $(date -d 2002-01-01 +%s) ]] ||
    fail "$name.kavra was not saved at close after a connection flood"
done
grep -h "Cannot write" "$work/out" "$work/err" && fail "a save failed after a connection flood"
check "library after the flood" 3 "$(sed -n 2p "$data/LIBRARY.kavra" | tr -d '\r')"

# ---- The switch off: nothing answers a search.
settings OFF
crlf "Share OFF" >"$data/sharing.kavra"
start_vidoriad
check "searches answered with the switch off" "" "$(discover ssdp:all 3)"
stop_vidoriad

((failures == 0)) && echo "passed"
exit $((failures > 0))
