# Sourced by the run and test scripts: starts and tears down everything the program needs
# under Wine: a private 32-bit prefix with a persistent wineserver, a virtual display (unless
# one is given), a PulseAudio null sink, the local service stand-in and, when it is built, the
# real service.
#
#   qv_session_start RUN_DIR [--use-display]   exports WINEPREFIX, DISPLAY, PULSE_SERVER,
#                                              QV_STANDIN_DIR, QV_BROWSER_LOG, QV_RUN_DIR,
#                                              and QV_SERVICE_URL with the real service
#   qv_session_stop                            ends only what qv_session_start started
#
# Settings read by qv_session_start:
#   QV_SERVICE_BIN   the quavella-service to start (default: the native build's); when it is
#                    not built, only the stand-in runs
#   QV_SERVICE_DATA  the service's data folder (default RUN_DIR/service)
#   QV_UPLOADS_TO    "service" routes the program's uploads to the real service; by default
#                    they go to the stand-in, which records them and answers as told
#   QV_BROWSER_OPEN  1: the browser hook also opens each address in the desktop's browser
#                    (addresses on the built-in service host go to the local service)
#   QV_NO_PROXY      1: no proxy at all (a program built for a real service host)

qv_session_pids=()

qv_wait_for_file() {  # file, tenths of a second
  local file=$1 tries=$2
  while [ ! -s "$file" ] && [ "$tries" -gt 0 ]; do sleep 0.1; tries=$((tries - 1)); done
  [ -s "$file" ]
}

qv_wine() {  # wine with a time limit, quiet
  timeout -k 5 "${QV_WINE_TIMEOUT:-120}" wine "$@"
}

qv_reg_add() {  # key, value, type, data
  qv_wine reg add "$1" /v "$2" /t "$3" /d "$4" /f </dev/null >/dev/null 2>&1
}

qv_session_start() {
  local run=$1 use_display=${2:-}
  mkdir -p "$run"
  run=$(cd "$run" && pwd)
  export QV_RUN_DIR=$run
  export WINEARCH=win32 WINEPREFIX=${QV_PREFIX:-$run/prefix} WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="

  # Display: a private Xvfb unless the caller wants the user's display and has one.
  if [ "$use_display" != "--use-display" ] || [ -z "${DISPLAY:-}" ]; then
    rm -f "$run/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$run/display" \
      </dev/null >"$run/xvfb.log" 2>&1 &
    qv_session_pids+=($!)
    qv_wait_for_file "$run/display" 100 || { echo "session: Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n 1 "$run/display")"
  fi

  # Sound: a null sink that plays in real time.
  export PULSE_SERVER="unix:$run/pulse.sock"
  export PULSE_RUNTIME_PATH=$run/pulse-runtime
  mkdir -p "$PULSE_RUNTIME_PATH"
  HOME=$run pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --disallow-exit \
    --load="module-null-sink sink_name=null" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$run/pulse.sock" \
    </dev/null >"$run/pulse.log" 2>&1 &
  qv_session_pids+=($!)

  # The service stand-in.
  export QV_STANDIN_DIR=$run/standin
  mkdir -p "$QV_STANDIN_DIR"
  rm -f "$run/standin.port"
  python3 "$(dirname "${BASH_SOURCE[0]}")/../service_standin.py" --dir "$QV_STANDIN_DIR" \
    --port-file "$run/standin.port" </dev/null >"$run/standin.log" 2>&1 &
  qv_session_pids+=($!)
  qv_wait_for_file "$run/standin.port" 100 || { echo "session: stand-in did not start" >&2; return 1; }
  export QV_STANDIN_PORT=$(cat "$run/standin.port")

  # The real service, on a port of its own; its addresses name that port.
  local top
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  unset QV_SERVICE_URL
  if [ -x "${QV_SERVICE_BIN:-$top/build/native/service/quavella-service}" ]; then
    source "$top/scripts/lib/service.sh"
    QV_SERVICE_LOG=$run/service.log qv_service_start "${QV_SERVICE_DATA:-$run/service}" || return 1
    qv_session_service=1
  elif [ "${QV_UPLOADS_TO:-}" = service ]; then
    echo "session: quavella-service is not built" >&2
    return 1
  fi
  local proxy_port=$QV_STANDIN_PORT
  [ "${QV_UPLOADS_TO:-}" = service ] && proxy_port=${QV_SERVICE_URL##*:}

  # Browser: the addresses the program opens are written to a log and, when asked, opened.
  export QV_BROWSER_LOG=$run/browser.log
  : >"$QV_BROWSER_LOG"
  local host
  host=$(sed -n 's/^QV_SERVICE_HOST:STRING=//p' "$top/build/win/CMakeCache.txt" 2>/dev/null)
  cat >"$run/browser.sh" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$*" >>"$QV_BROWSER_LOG"
[ "${QV_BROWSER_OPEN:-0}" = 1 ] || exit 0
url=\$1
case "\$url" in "http://${host:-quavella.example}/"*) [ -n "${QV_SERVICE_URL:-}" ] && url="${QV_SERVICE_URL:-}/\${url#http://*/}" ;; esac
if command -v xdg-open >/dev/null; then xdg-open "\$url" >/dev/null 2>&1 &
elif command -v chromium >/dev/null; then chromium "\$url" >/dev/null 2>&1 &
fi
SCRIPT
  chmod +x "$run/browser.sh"

  # Wine: a persistent server with stdio on /dev/null, then the prefix.
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1 || true
  qv_wine wineboot -i </dev/null >/dev/null 2>&1 || true
  wineserver -p </dev/null >/dev/null 2>&1 || true
  qv_reg_add 'HKCU\Software\Wine\X11 Driver' Managed REG_SZ N
  qv_reg_add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' ThemeActive REG_SZ 0
  qv_reg_add 'HKCR\DirectSound\CLSID' '' REG_SZ '{47D4D946-62E8-11CF-93BC-444553540000}'
  qv_reg_add 'HKCU\Software\Wine\Drivers' Audio REG_SZ pulse
  qv_reg_add 'HKCU\Software\Wine\WineBrowser' Browsers REG_SZ "$run/browser.sh"
  # WinINet sends every request to the stand-in, unless a real service is wanted.
  if [ -z "${QV_NO_PROXY:-}" ]; then
    qv_reg_add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' ProxyEnable REG_DWORD 1
    qv_reg_add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' ProxyServer REG_SZ "127.0.0.1:$proxy_port"
  else
    qv_reg_add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' ProxyEnable REG_DWORD 0
  fi
}

qv_session_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "${WINEPREFIX:-}" ]; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
  fi
  local pid
  for pid in "${qv_session_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${qv_session_pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  qv_session_pids=()
  if [ -n "${qv_session_service:-}" ]; then
    qv_service_stop
    qv_session_service=
  fi
}
