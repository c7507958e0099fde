# Waits shared by the end-to-end tests of app/ and broken/ (sourced by their
# lib.sh, which set WINE, Q_QDRIVER, DRIVE_C and WORK below it): each waits
# for a condition up to a deadline, never for a fixed time.

# wait_until SECONDS COMMAND...: waits until COMMAND succeeds; false when it
# still fails after SECONDS.
wait_until() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# stopped PID: the process is stopped (state "T"); kill -0 passes as well for
# one that ended or was never stopped.
stopped() { [ "$(sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)" = T ]; }

# watch_windows [boxes] ... no_window_seen: qdriver watches for a setup
# window or a message box (a message box only) from before a program starts
# until after it ended, so that the watch covers the whole run however long
# Wine takes to start it.
watch_windows() {
  rm -f "$WORK/watch.stop" "$WORK/watch.out"
  local stop="C:\\$(tr / '\\' <<<"${WORK#"$DRIVE_C"/}")\\watch.stop"
  "$WINE" "$Q_QDRIVER" watch "$stop" "$@" >"$WORK/watch.out" 2>&1 </dev/null &
  WATCH_PID=$!
  wait_until 60 grep -q '^watching' "$WORK/watch.out"
}
no_window_seen() {
  touch "$WORK/watch.stop"
  wait "$WATCH_PID"
  local rc=$?
  tr -d '\r' <"$WORK/watch.out" | grep -v '^watching'
  return $rc
}

