# Sourced by the project's commands: a display, a persistent Wine server and a ready Wine prefix.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine}

if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:99
fi
qe_display=${DISPLAY#:}
qe_display=${qe_display%%.*}
qe_lock=/tmp/.X${qe_display}-lock
qe_xpid=$( [ -f "$qe_lock" ] && tr -d ' ' <"$qe_lock" || true)
# (the lock's process must still be an X server: a reused process number is not)
if ! { [ -n "$qe_xpid" ] && grep -qs '^Xvfb$' "/proc/$qe_xpid/comm"; }; then
  rm -f "$qe_lock" "/tmp/.X11-unix/X${qe_display}"
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${qe_display}" ] && break; sleep 0.1; done
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix in $WINEPREFIX (once)..."
  wineboot -i >/dev/null 2>&1 </dev/null || true
fi
wineserver -p >/dev/null 2>&1 </dev/null || true
# Start Wine's helper processes now, detached from the output of what runs later.
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
