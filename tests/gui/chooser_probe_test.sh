#!/usr/bin/env bash
# Drives the device chooser from outside with ui-probe, as a user would, in
# vantaro.exe on simulated phones (fake-adb as adb.exe beside it): Install
# with two phones opens the chooser from the install worker, choosing one
# installs there, cancelling reports that none was chosen, ticking both
# installs on each; "设备管理" opens it
# modally, Enter and Escape leave it open, "取消" waits for the listing. With
# SHOT given, three phones are shown, two of them ticked, and photographed
# (docs/device-chooser.png is that picture).
# Usage: chooser_probe_test.sh VANTARO.exe UI-PROBE.exe ADB.exe WINE-ENV PACKAGE [SHOT.png]
set -euo pipefail
vantaro_exe="$1" probe_exe="$2" adb_exe="$3" wine_env="$4" package="$5" shot="${6:-}"

if [ -z "${DISPLAY:-}" ]; then exec "$(dirname "${BASH_SOURCE[0]}")/with-display" "$0" "$@"; fi

work="$(mktemp -d)"
app_pid=""
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

export FAKE_ADB_SCENARIO="Z:$work/scenario" FAKE_ADB_LOG="Z:$work/log"
# shellcheck source=../gui/probe-checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/probe-checks.sh"

phone() {  # phone SERIAL MAKER MODEL SDK: the getprop answer of one phone
  printf 'match -s %s shell getprop\nout [ro.build.version.sdk]: [%s]\\n[ro.product.manufacturer]: [%s]\\n[ro.product.model]: [%s]\\n\n' \
    "$1" "$4" "$2" "$3"
}
scenario() {  # scenario LISTING-DELAY SERIAL... (phones come from phone lines on stdin)
  local delay="$1"; shift
  { printf 'match devices\nout List of devices attached\\n'
    for serial in "$@"; do printf '%s\\tdevice\\n' "$serial"; done
    printf '\\n\ndelay %s\n' "$delay"
    cat
    printf 'match -s * shell getprop ro.build.version.sdk\nout 10\\n\n'
    printf 'match -s * install -r *\nout \\tpkg: /data/local/tmp/x.apk\\nSuccess\\n\n'
  } >"$work/scenario"
}
two_phones() { { phone ONE1 HTC Desire 8; phone TWO2 samsung GT-I9000 10; } | scenario "${1:-0}" ONE1 TWO2; }
title="Vantaro 3.0 设备管理"
expect() {  # expect NAME COMMAND...: passes when the command succeeds
  local name="$1"; shift
  if "$@" >/dev/null 2>&1; then check "$name" ok ok; else check "$name" ok failed; fi
}
chooser() { probe find --title "$title" --timeout 20000 || { echo "FAIL no chooser opened" >&2; exit 1; }; }
chooser_gone() {  # true once the chooser has closed (waits up to about 10 s)
  for _ in $(seq 25); do
    probe find --title "$title" --timeout 1 >/dev/null 2>&1 || return 0
    sleep 0.2
  done
  return 1
}
# Waits until the chooser has asked for the properties of serial n times,
# and a moment more for the row.
wait_rows() {  # wait_rows SERIAL N
  for _ in $(seq 100); do [ "$(grep -c "^-s $1 shell getprop\$" "$work/log")" -ge "$2" ] && break; sleep 0.1; done
  sleep 1
}

two_phones
: >"$work/log"
mkdir "$work/app"
cp "$vantaro_exe" "$work/app/vantaro.exe"
cp "$adb_exe" "$work/app/adb.exe"
"$wine_env" wine "$work/app/vantaro.exe" "$package" &
app_pid=$!
W="$(probe find --timeout 30000)" || { echo "FAIL the main window did not open"; exit 1; }

# Install with two phones: the chooser comes from the install worker.
probe click "$W" 1002
D="$(chooser)"
check "current device emptied before the chooser opens" "" "$(probe text "$D" 1033)"
wait_rows TWO2 1
probe key "$D" 1016 40  # arrow down: the second phone
probe click "$D" 1017
expect "select closes the chooser" chooser_gone
expect "install on the chosen phone succeeds" \
  probe wait-text "$W" 1000 "【安装成功】您可以单击【立即运行】按钮来执行手机上的应用" --timeout 20000
check "install addresses the chosen serial" "1 0" \
  "$(grep -c '^-s TWO2 install -r ' "$work/log") $(grep -c '^-s ONE1 install' "$work/log")"

# The device manager shows the current device; Enter, Escape, and "取消" or
# the close button during the listing leave it open.
probe click "$W" 1017
D="$(chooser)"
check "the chooser shows the current device" "TWO2" "$(probe text "$D" 1033)"
wait_rows TWO2 2
probe key "$D" 1016 13
probe key "$D" 1016 27
two_phones 2500
probe click "$D" 1018
expect "refresh shows its progress note" probe wait-text "$D" 1036 "获取设备信息中,请稍等..." --timeout 3000
probe click "$D" 1014
probe click "$D" 10200
sleep 0.5
check "Enter, Escape, and 取消 or close during the listing leave it open" "$title" "$(probe text "$D" 0)"
probe wait-text "$D" 1036 "" --timeout 10000 >/dev/null || true
probe click "$D" 1014
expect "cancel closes after the listing" chooser_gone

# Install again and cancel the chooser.
two_phones
probe click "$W" 1002
D="$(chooser)"
probe wait-text "$D" 1036 "" --timeout 10000 >/dev/null || true
probe click "$D" 1014
expect "cancelling the chooser ends the install" \
  probe wait-text "$W" 1000 "【错误】没有选择任何设备，单击【设备管理】重新选择" --timeout 10000
check "one install in all" 1 "$(grep -c ' install ' "$work/log")"

# Two phones ticked with the space bar: Install sends the package to each in
# turn, the selected one first, and sums them up.
two_phones
: >"$work/log"
probe click "$W" 1002
D="$(chooser)"
wait_rows TWO2 1
probe key "$D" 1016 32
probe key "$D" 1016 40
probe key "$D" 1016 32
expect "the chooser counts the ticked phones" probe wait-text "$D" 1036 "已勾选 2 台，逐一安装" --timeout 5000
probe click "$D" 1017
expect "both phones installed and summed up" \
  probe wait-text "$W" 1000 "【多台安装结束】2 台成功，详见下方“安装结果”" --timeout 30000
check "one install on each ticked phone, the selected one first" "-s TWO2 -s ONE1" \
  "$(grep -o '^-s [A-Z0-9]* install' "$work/log" | cut -d' ' -f1,2 | paste -sd' ')"

if [ -n "$shot" ]; then
  { phone HT0B5RX01234 HTC "Desire HD" 10; phone 0403A1B2C3D4 motorola Milestone 7; phone M9A1B2C3D4E5 meizu meizu_M9 9; } |
    scenario 0 HT0B5RX01234 0403A1B2C3D4 M9A1B2C3D4E5
  # Choose the second phone in the device manager, then open it again.
  probe click "$W" 1017
  D="$(chooser)"
  wait_rows M9A1B2C3D4E5 1
  probe key "$D" 1016 40
  probe click "$D" 1017
  chooser_gone || true
  probe click "$W" 1017
  D="$(chooser)"
  check "select in the device manager sets the current device" "0403A1B2C3D4" "$(probe text "$D" 1033)"
  wait_rows M9A1B2C3D4E5 2
  # Two phones ticked for an install on both: the selected one and the first.
  probe key "$D" 1016 32
  probe key "$D" 1016 38
  probe key "$D" 1016 32
  expect "the picture's chooser counts two ticked phones" probe wait-text "$D" 1036 "已勾选 2 台，逐一安装" --timeout 5000
  probe move "$D" 5 5  # the pointer away from every control
  probe screenshot "$D" "$shot"
  magenta="$(convert "$shot" -fill black +opaque '#FF00FF' -fill white -opaque '#FF00FF' -format '%[fx:mean*w*h]' info:)"
  check "key colour never visible" 0 "${magenta%.*}"
  probe click "$D" 1014
  chooser_gone || true
fi

probe close "$W"
wait "$app_pid" || true
app_pid=""
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
