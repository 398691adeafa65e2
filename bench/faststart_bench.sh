#!/usr/bin/env bash
# Times our fast-start tool against peers in the same run, all rewriting the same ~1 GiB MP4
# (H.264 + AAC, index at the end): cp (a plain copy of the same bytes: the floor), cp followed
# by an fsync of the copy (ours flushes its output before renaming it), Debian's qt-faststart and
# ffmpeg's own "-c copy -movflags +faststart". Every tool runs once to warm the page cache, then
# RUNS times, each after a sync; the median wall time and the largest peak RSS are reported, with
# the ratios.
#
# Usage: bench/faststart_bench.sh
# Environment: RUNS (timed runs per tool, default 3), SIZE_MIB (sample size, default 1024),
# WORK (folder for the sample and the outputs, default /tmp/vidoria-faststart-bench; the sample
# is made once and reused while its size fits).
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."

RUNS="${RUNS:-3}"
SIZE_MIB="${SIZE_MIB:-1024}"
WORK="${WORK:-/tmp/vidoria-faststart-bench}"

# --- Tools --------------------------------------------------------------------------------------
need_packages ffmpeg time

cmake --preset default >/dev/null
cmake --build build --target faststart >/dev/null
FASTSTART="$PWD/build/faststart"

# --- Sample: a 30 s clip at about 17 Mbit/s, looped without re-encoding up to the size ----------
mkdir -p "$WORK"
sample="$WORK/sample.mp4"
target=$((SIZE_MIB * 1024 * 1024))
if [ ! -f "$sample" ] || [ "$(stat -c %s "$sample")" -lt $((target * 9 / 10)) ] ||
  [ "$(stat -c %s "$sample")" -gt $((target * 3 / 2)) ]; then
  echo "Making a ${SIZE_MIB} MiB sample in $WORK (once) ..."
  encoder=libx264
  ffmpeg -hide_banner -encoders 2>/dev/null | grep -q ' libx264 ' || encoder=mpeg4
  ffmpeg -v error -f lavfi -i "testsrc2=size=1280x720:rate=30,noise=alls=12:allf=t" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000" -t 30 \
    -c:v "$encoder" -preset ultrafast -qp 30 -c:a aac -b:a 128k -y "$WORK/clip.mp4"
  clip_size="$(stat -c %s "$WORK/clip.mp4")"
  loops=$(((target + clip_size - 1) / clip_size - 1))
  ffmpeg -v error -stream_loop "$loops" -i "$WORK/clip.mp4" -map 0 -c copy -y "$sample"
  rm -f "$WORK/clip.mp4"
fi
sample_size="$(stat -c %s "$sample")"

# The sample must have its index last, or the tools have nothing to do.
first_boxes() {
  python3 - "$1" <<'EOF'
import struct, sys
with open(sys.argv[1], 'rb') as f:
    f.seek(0, 2); end = f.tell(); pos = 0; types = []
    while pos < end:
        f.seek(pos); size, kind = struct.unpack('>I4s', f.read(8))
        if size == 1: size = struct.unpack('>Q', f.read(8))[0]
        elif size == 0: size = end - pos
        types.append(kind.decode('latin-1')); pos += size
print(' '.join(types))
EOF
}
echo "sample: $sample, $((sample_size / 1048576)) MiB, boxes: $(first_boxes "$sample")"

# --- Runs ---------------------------------------------------------------------------------------
out="$WORK/out.mp4"
declare -A median_s peak_kib

# measure NAME COMMAND...: one warm-up, then RUNS timed runs; removes the output after each.
measure() {
  local name="$1"
  shift
  local times=() peak=0 i
  for ((i = 0; i <= RUNS; i++)); do
    # No run may pay for the previous one's writeback or block freeing.
    rm -f "$out"
    sync
    /usr/bin/time -f "%e %M" -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/err.txt" || {
      echo "$name failed:" >&2
      cat "$WORK/err.txt" >&2
      return 1
    }
    if [ "$i" -gt 0 ]; then
      read -r seconds kib <"$WORK/time.txt"
      times+=("$seconds")
      if [ "$kib" -gt "$peak" ]; then peak="$kib"; fi
    fi
  done
  if [ "$name" = ours ]; then
    # Checked once, on the last output: index first, and ffprobe reads it.
    echo "ours: output boxes: $(first_boxes "$out")"
    ffprobe -v error -show_entries format=duration -of csv=p=0 "$out" >/dev/null
  fi
  rm -f "$out"
  median_s[$name]="$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')"
  peak_kib[$name]="$peak"
  printf '%-14s median %6.2f s   runs: %s   peak RSS %7d KiB\n' \
    "$name" "${median_s[$name]}" "${times[*]}" "$peak"
}

measure cp cp "$sample" "$out"
# shellcheck disable=SC2016  # $1 and $2 are the inner shell's arguments
measure cp+fsync sh -c 'cp "$1" "$2" && sync "$2"' sh "$sample" "$out"
measure ours "$FASTSTART" "$sample" "$out"
if command -v qt-faststart >/dev/null; then
  measure qt-faststart qt-faststart "$sample" "$out"
else
  echo "qt-faststart: not installed, skipped"
fi
measure ffmpeg ffmpeg -v error -i "$sample" -map 0 -c copy -movflags +faststart -y "$out"

# --- Report -------------------------------------------------------------------------------------
echo
echo "faststart on $((sample_size / 1048576)) MiB, $(nproc) cores, median of $RUNS runs after a warm-up:"
echo "  ours / cp           $(ratio "${median_s[ours]}" "${median_s[cp]}")x   (goal <= 1.5x)"
echo "  ours / cp+fsync     $(ratio "${median_s[ours]}" "${median_s[cp+fsync]}")x"
if [ -n "${median_s[qt-faststart]:-}" ]; then
  echo "  ours / qt-faststart $(ratio "${median_s[ours]}" "${median_s[qt-faststart]}")x"
fi
echo "  ours / ffmpeg       $(ratio "${median_s[ours]}" "${median_s[ffmpeg]}")x"
rss="  peak RSS: ours ${peak_kib[ours]} KiB; cp ${peak_kib[cp]} KiB"
if [ -n "${peak_kib[qt-faststart]:-}" ]; then rss+="; qt-faststart ${peak_kib[qt-faststart]} KiB"; fi
echo "$rss; ffmpeg ${peak_kib[ffmpeg]} KiB"
rm -f "$WORK/time.txt" "$WORK/err.txt"
