# Shared by the scripts that drive Vantaro's windows with ui-probe: the probe
# through Wine, and a tally of named checks. Source it after setting
# wine_env (scripts/wine-env) and probe_exe (ui-probe.exe).
probe() { "$wine_env" wine "$probe_exe" "$@"; }
failures=0 passes=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok   $1"; passes=$((passes + 1)); else echo "FAIL $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}
