# What the scripts that drive the real vidoriad as a child share. Sourced after the caller set
# `work` (its temporary folder), `home` and `VIDORIAD`; keeps `failures` and `child`.

failures=0 child=

# A sanitizer build's options (suppressions, exit codes) survive the clean environment.
sanitizer_options=()
for name in TSAN_OPTIONS ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
  if [[ -n ${!name:-} ]]; then sanitizer_options+=("$name=${!name}"); fi
done

# Starts vidoriad in the background as a user's session would, with only HOME and PATH, from /;
# its output goes to $work/out, its errors are added to $work/err.
spawn_vidoriad() {
  (cd / && exec env -i HOME="$home" PATH=/usr/bin:/bin "${sanitizer_options[@]}" "$VIDORIAD" \
    >"$work/out" 2>>"$work/err") &
  child=$!
}

# Ends a child still running; the work folder goes unless something failed or KEEP is set.
finish() {
  if [[ -n $child ]]; then
    kill -KILL "$child" 2>/dev/null
    wait "$child" 2>/dev/null
  fi
  if ((failures == 0)) && [[ -z ${KEEP:-} ]]; then rm -rf "$work"; else echo "work folder kept: $work"; fi
}
trap finish EXIT
