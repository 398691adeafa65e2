#!/bin/sh
# Decodes one picture of kavra/ strictly (checksums, bitstream) and checks its size.
# Usage: check_picture.sh <ffmpeg> <ffprobe> <picture> <width>x<height>
set -eu
ffmpeg="$1" ffprobe="$2" picture="$3" expected="$4"
errors=$("$ffmpeg" -nostdin -v error -err_detect crccheck+bitstream+buffer+explode -xerror \
  -i "$picture" -f null - 2>&1) || { echo "$picture: does not decode: $errors"; exit 1; }
[ -z "$errors" ] || { echo "$picture: decoded with errors: $errors"; exit 1; }
size=$("$ffprobe" -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 \
  "$picture")
[ "$size" = "$expected" ] || { echo "$picture: $size, expected $expected"; exit 1; }
echo "$picture: $size, decodes cleanly"
