#!/usr/bin/env bash
# Drives "手机优化" of vantaro.exe from outside with ui-probe, as a user would,
# on a simulated phone (fake-adb) with the stand-in package files beside the
# program: the dialog opens over the main window and lists the phone's
# packages, Enter and Escape leave it open, "立即安装" installs every missing
# utility without replacing, "取消安装" closes it; with two phones and no
# choice the several-devices box closes it. With SHOT given, the dialog is
# photographed after the listing.
# Usage: essentials_probe_test.sh VANTARO.exe UI-PROBE.exe ADB.exe WINE-ENV STANDINS-DIR [SHOT.png]
set -euo pipefail
vantaro_exe="$1" probe_exe="$2" adb_exe="$3" wine_env="$4" standins="$5" shot="${6:-}"

if [ -z "${DISPLAY:-}" ]; then exec "$(dirname "${BASH_SOURCE[0]}")/../gui/with-display" "$0" "$@"; fi

work="$(mktemp -d)"
vantaro_pid=""
cleanup() {
  if [ -n "$vantaro_pid" ]; then kill "$vantaro_pid" 2>/dev/null || true; wait "$vantaro_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The program's folder: vantaro.exe, the simulated phone as adb.exe, and the
# bundle's stand-ins.
cp "$vantaro_exe" "$work/vantaro.exe"
cp "$adb_exe" "$work/adb.exe"
cp "$standins"/*.apk "$work/"
export FAKE_ADB_SCENARIO="Z:$work/scenario" FAKE_ADB_LOG="Z:$work/log"
# shellcheck source=../gui/probe-checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/../gui/probe-checks.sh"
logged() { grep -c -- "$1" "$work/log" 2>/dev/null || true; }
wait_logged() {  # wait_logged PATTERN COUNT
  for _ in $(seq 200); do [ "$(logged "$1")" -ge "$2" ] && return 0; sleep 0.1; done
  return 1
}
# The essentials dialog: the topmost window named "Vantaro 3.0" (the main
# window's name too) that carries the dialog's note.
find_dialog() {  # find_dialog TIMEOUT-S
  local w
  for _ in $(seq $(( $1 * 2 ))); do
    w="$(probe find --title "Vantaro 3.0" --timeout 500 2>/dev/null || true)"
    if [ -n "$w" ] && [ "$(probe text "$w" 1024 2>/dev/null)" == "完全免费、无任何广告" ]; then echo "$w"; return 0; fi
    sleep 0.5
  done
  return 1
}
dialog_gone() { sleep 0.5; ! find_dialog 1 >/dev/null; }

# One phone with the file manager on it already.
cat >"$work/scenario" <<'EOF'
match devices
out List of devices attached\r\nSER1\tdevice\r\n\r\n
match -s SER1 shell pm list package
out package:com.android.phone\r\npackage:com.korvel.FileDesk\r\n
match -s SER1 install *
delay 200
out \tpkg: /data/local/tmp/x.apk\r\nSuccess\r\n
EOF
: >"$work/log"
"$wine_env" wine "$work/vantaro.exe" &
vantaro_pid=$!
probe find --timeout 60000 >/dev/null || { echo "FAIL the main window did not open"; exit 1; }

probe click main 1006
D="$(find_dialog 20 || true)"
[ -n "$D" ] || { echo "FAIL 手机优化 opened no dialog"; exit 1; }
wait_logged "^-s SER1 shell pm list package\$" 1 && sleep 1
check "the dialog lists the phone's packages" "devices|-s SER1 shell pm list package" "$(paste -sd'|' "$work/log")"
check "message line" "就绪" "$(probe text "$D" 1000)"
list="$(probe list "$D")"
check "preset box" "1020	ComboBox	visible	enabled	全部功能" "$(grep '^1020	' <<<"$list")"
check "install button" "1002	Button	visible	enabled	立即安装" "$(grep '^1002	' <<<"$list")"
probe click-at "$D" 700 20 >/dev/null  # the pointer off the buttons
if [ -n "$shot" ]; then
  probe click-at "$D" 300 310 >/dev/null  # select row 1 to show the band
  sleep 1
  probe screenshot "$D" "$shot"
fi
probe key "$D" 1018 13
probe key "$D" 1018 27
sleep 1
check "Enter and Escape leave the dialog open" "Vantaro 3.0" "$(probe text "$D" 0)"

# Everything is ticked on opening: every utility but the file manager goes on.
probe click "$D" 1002
wait_logged "^-s SER1 shell pm list package\$" 2 || true
probe wait-text "$D" 1000 "【安装成功】“Korvel”已经安装到您的手机中" --timeout 20000 >/dev/null &&
  check "the run ends with the essentials success text" ok ok || check "the run ends with the essentials success text" ok "$(probe text "$D" 1000)"
check "eleven packages installed" 11 "$(logged '^-s SER1 install ')"
check "none replaced" 0 "$(logged ' install -r')"
probe click "$D" 1014
dialog_gone && check "取消安装 closes the dialog" ok ok || check "取消安装 closes the dialog" ok open

# Two phones and no choice: the box, then the dialog closes.
cat >"$work/scenario" <<'EOF'
match devices
out List of devices attached\r\nONE1\tdevice\r\nTWO2\tdevice\r\n\r\n
match -s * shell getprop
out [ro.build.version.sdk]: [10]\r\n
EOF
probe click main 1006
chooser="$(probe find --title "Vantaro 3.0 设备管理" --timeout 5000 || true)"
if [ -n "$chooser" ]; then
  sleep 1
  probe click "$chooser" 1014
fi
box="$(probe msgbox --timeout 20000 || true)"
check "several-devices box" "Vantaro	检测到多个Android设备，您尚未选择任何设备，请重试" "$(cut -f2- <<<"$box")"
[ -n "$box" ] && probe msgbox-ok "${box%%	*}"
dialog_gone && check "the box closes the dialog" ok ok || check "the box closes the dialog" ok open

probe click main 1003
wait "$vantaro_pid" 2>/dev/null || true
vantaro_pid=""
echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
