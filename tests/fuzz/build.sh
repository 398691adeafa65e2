#!/usr/bin/env bash
# Builds the libFuzzer drivers with clang, AddressSanitizer and UndefinedBehaviorSanitizer. The
# CMake build calls it (one driver at a time) when clang and its fuzzer runtime are found.
# Usage: tests/fuzz/build.sh [output-folder [driver...]]   (default build/fuzz and every driver;
# CLANGXX names the compiler). Drivers: http_reader byte_ranges grid_reader line_reader
# settings_reader faststart search_criteria soap; each becomes <output-folder>/<driver>_fuzz.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="${1:-$root/build/fuzz}"
shift || true
drivers=("$@")
[[ ${#drivers[@]} -gt 0 ]] ||
  drivers=(http_reader byte_ranges grid_reader line_reader settings_reader faststart search_criteria soap)
cxx="${CLANGXX:-clang++}"
src="$root/src"
tools="$root/tools"

# Each driver with the sources it parses and what they call; nothing that needs threads or
# sockets. Asserts stay on: they are expectations too.
platform_files=("$src/platform/atomic_write.cpp" "$src/platform/descriptor_reserve.cpp"
  "$src/platform/file_bytes.cpp"
  "$src/platform/file_names.cpp" "$src/platform/result.cpp" "$src/platform/unique_fd.cpp")
stored_files=("$src/library/stored_files.cpp" "$src/library/line_breaks.cpp"
  "$src/library/table.cpp" "${platform_files[@]}")
sources_of() {
  case "$1" in
    http_reader)
      echo "$src/server/http_reader.cpp" "$src/server/http_records.cpp" \
        "$src/server/http_values.cpp" "$src/server/info.cpp" "$src/server/text.cpp" \
        "$src/server/exceptions.cpp" ;;
    byte_ranges) echo "$src/web/byte_ranges.cpp" "$src/server/text.cpp" ;;
    grid_reader | line_reader) echo "${stored_files[@]}" ;;
    settings_reader)
      echo "$src/library/settings.cpp" "$src/library/settings_numbers.cpp" \
        "$src/library/settings_switches.cpp" "$src/library/cipher.cpp" "${stored_files[@]}" ;;
    faststart)
      echo "$src/mp4/boxes.cpp" "$src/mp4/read_at.cpp" "$src/mp4/media_facts.cpp" \
        "$tools/faststart/layout.cpp" \
        "$tools/faststart/file_io.cpp" "$tools/faststart/faststart.cpp" "${platform_files[@]}" ;;
    search_criteria) echo "$src/upnp/search_criteria.cpp" ;;
    soap) echo "$src/upnp/soap.cpp" "$src/upnp/xml_text.cpp" ;;
    *) echo "build.sh: no driver named $1" >&2; return 1 ;;
  esac
}

mkdir -p "$out/corpus"
for driver in "${drivers[@]}"; do
  files="$(sources_of "$driver")"
  # Linked to a temporary name first, so a failed build never leaves a stale binary looking fresh.
  # shellcheck disable=SC2086 # the file list splits on spaces; the tree has none in its paths
  "$cxx" -std=c++20 -O2 -g -fno-omit-frame-pointer -Wall -Wextra -D_FILE_OFFSET_BITS=64 \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$src" -I"$tools" "$root/tests/fuzz/${driver}_fuzz.cpp" $files \
    -o "$out/${driver}_fuzz.tmp"
  mv -f "$out/${driver}_fuzz.tmp" "$out/${driver}_fuzz"
  mkdir -p "$out/corpus/$driver"
  echo "built $out/${driver}_fuzz"
done
