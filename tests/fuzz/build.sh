#!/usr/bin/env bash
# Builds the libFuzzer driver of the HTTP reader with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer. The CMake build calls it when clang and its fuzzer runtime are found.
# Usage: tests/fuzz/build.sh [output-folder]   (default build/fuzz; CLANGXX names the compiler)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="${1:-$root/build/fuzz}"
cxx="${CLANGXX:-clang++}"
server="$root/src/server"

# The reader and the records it fills; nothing that needs threads or sockets.
sources=(
  "$root/tests/fuzz/http_reader_fuzz.cpp"
  "$server/http_reader.cpp"
  "$server/http_records.cpp"
  "$server/http_values.cpp"
  "$server/info.cpp"
  "$server/text.cpp"
  "$server/exceptions.cpp"
)

mkdir -p "$out/corpus"
# Linked to a temporary name first, so a failed build never leaves a stale binary looking fresh.
"$cxx" -std=c++20 -O2 -g -fno-omit-frame-pointer -Wall -Wextra \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root/src" "${sources[@]}" -o "$out/http_reader_fuzz.tmp"
mv -f "$out/http_reader_fuzz.tmp" "$out/http_reader_fuzz"
echo "built $out/http_reader_fuzz"
