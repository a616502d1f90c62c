# Sourced by scripts/test-win and scripts/package-test-win, from the source folder with
# $root set: the Wine environment of the Windows tests.
#
# prepare_wine_prefix  keeps one Wine prefix in build/win/wine-prefix, made once. Its registry
#                      maps COM1..COM9 (HKLM\Software\Wine\Ports) to links in
#                      build/win/wine-ports. Wine's own dosdevices/comN links point at the
#                      machine's real /dev/ttyS*, so no port is ever left unmapped.
# start_sim N OPTS     starts vtq-sim publishing its pseudo-terminal as COM N, with its
#                      truth, frame log and output in $sims/comN; stopped at exit.
win="$root/build/win"
sim="$root/build/release/sim/vtq-sim"
ports="$win/wine-ports"
export WINEPREFIX="$win/wine-prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEARCH=win64

# --- the Wine prefix, made once, with the COM ports mapped --------------------------------
prepare_wine_prefix() {
  mkdir -p "$ports"
  mapping="$ports"  # the prefix is remade when the ports folder moves
  if [ ! -f "$WINEPREFIX/system.reg" ] || [ "$(cat "$WINEPREFIX/.varnel-ports" 2>/dev/null)" != "$mapping" ]; then
    echo "wine: preparing the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    reg="$win/ports.reg"
    {
      printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
      for n in 1 2 3 4 5 6 7 8 9; do printf '"COM%d"="%s/com%d"\r\n' "$n" "$ports" "$n"; done
    } >"$reg"
    wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
    wineserver -k || true
    wineserver -w
    echo "$mapping" >"$WINEPREFIX/.varnel-ports"
  fi
  # Wine re-creates dosdevices/comN for the machine's serial ports at start; the registry
  # entries above override them, and any left over are removed so nothing can reach them.
  rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
}

# --- the simulators ------------------------------------------------------------------------
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

start_sim() {  # port, then vtq-sim options
  local port=$1; shift
  local dir="$sims/com$port"
  mkdir -p "$dir"
  VARNEL_PORTS="$ports" "$sim" --port "$port" --force-link --truth "$dir/truth.json" \
    --frames "$dir/frames.jsonl" "$@" >"$dir/out.txt" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    grep -q ready "$dir/out.txt" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "wine: vtq-sim for COM$port did not start:"; cat "$dir/out.txt"; exit 1
}
