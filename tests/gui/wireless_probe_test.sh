#!/usr/bin/env bash
# Pairing by QR code in vantaro.exe, driven from outside with ui-probe on a
# simulated network (fake-adb as adb.exe): "设备管理" → "无线连接" shows a QR
# code; zbarimg reads it as a phone's camera would; the phone then offers
# the pairing service of that name, and the dialog pairs with the password
# the code carries and connects to the phone's connect service. Back in the
# chooser the phone has its Wi-Fi mark and "断开" disconnects it. With SHOT
# given, the dialog with its code is saved there (docs/wireless.png), and
# the chooser beside it (SHOT without .png, then -chooser.png).
# Usage: wireless_probe_test.sh VANTARO.exe UI-PROBE.exe ADB.exe WINE-ENV PACKAGE [SHOT.png]
set -euo pipefail
vantaro_exe="$1" probe_exe="$2" adb_exe="$3" wine_env="$4" package="$5" shot="${6:-}"

if [ -z "${DISPLAY:-}" ]; then exec "$(dirname "${BASH_SOURCE[0]}")/with-display" "$0" "$@"; fi
command -v zbarimg >/dev/null || { echo "zbarimg is not installed"; exit 77; }

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

# Before the phone has scanned the code the network shows other services only.
devices() {  # devices SERIAL...
  printf 'match devices\nout List of devices attached\\n'
  for serial in "$@"; do printf '%s\\tdevice\\n' "$serial"; done
  printf '\\n\n'
  printf 'match -s * shell getprop\nout [ro.build.version.sdk]: [30]\\n[ro.product.manufacturer]: [samsung]\\n[ro.product.model]: [SM-G991B]\\n\n'
}
{ devices USB0001
  printf 'match mdns services\nout List of discovered mdns services\\nadb-OTHER-Zz\\t_adb-tls-connect._tcp.\\t127.0.0.9:40001\\n\n'
} >"$work/scenario"
: >"$work/log"
mkdir "$work/app"
cp "$vantaro_exe" "$work/app/vantaro.exe"
cp "$adb_exe" "$work/app/adb.exe"
"$wine_env" wine "$work/app/vantaro.exe" "$package" &
app_pid=$!
W="$(probe find --timeout 30000)" || { echo "FAIL the main window did not open"; exit 1; }

probe click "$W" 1017
D="$(probe find --title "Vantaro 3.0 设备管理" --timeout 20000)" || { echo "FAIL no chooser"; exit 1; }
probe wait-text "$D" 1036 "" --timeout 10000 >/dev/null || true
probe click "$D" 1019
P="$(probe find --title "Vantaro 3.0 无线连接" --timeout 20000)" || { echo "FAIL no wireless dialog"; exit 1; }
probe wait-text "$P" 1036 "等待手机扫描二维码..." --timeout 10000 >/dev/null || true
probe move "$P" 5 5
probe screenshot "$P" "$work/dialog.png"
[ -n "$shot" ] && cp "$work/dialog.png" "$shot"
code="$(zbarimg --quiet --raw "$work/dialog.png" 2>/dev/null | tail -n1)"
name="$(sed -n 's/^WIFI:T:ADB;S:\(vantaro-[A-Za-z0-9]\{10\}\);P:[A-Za-z0-9]*;;$/\1/p' <<<"$code")"
password="$(sed -n 's/^WIFI:T:ADB;S:vantaro-[A-Za-z0-9]\{10\};P:\([A-Za-z0-9]\{12\}\);;$/\1/p' <<<"$code")"
check "the QR code invites to pairing with a fresh name and password" "ok" \
  "$([ -n "$name" ] && [ -n "$password" ] && echo ok || echo "[$code]")"
check "nothing paired before the phone scanned" 0 "$(grep -c '^pair' "$work/log" || true)"

# The phone has scanned: its pairing service carries the name.
{ devices USB0001 127.0.0.1:37159
  printf 'match mdns services\nout List of discovered mdns services\\n%s\\t_adb-tls-pairing._tcp.\\t127.0.0.1:41235\\nadb-SIM1-Ab\\t_adb-tls-connect._tcp.\\t127.0.0.1:37159\\n\n' "$name"
  printf 'match pair 127.0.0.1:41235 %s\nout Successfully paired to 127.0.0.1:41235 [guid=adb-SIM1-Ab]\\n\n' "$password"
  printf 'match connect 127.0.0.1:37159\nout connected to 127.0.0.1:37159\\n\n'
  printf 'match disconnect 127.0.0.1:37159\nout disconnected 127.0.0.1:37159\\n\n'
} >"$work/scenario"
if probe wait-text "$P" 1036 "【连接成功】已通过无线网络连接到 127.0.0.1:37159" --timeout 20000 >/dev/null; then
  check "the dialog pairs and connects" ok ok
else
  check "the dialog pairs and connects" ok "$(probe text "$P" 1036)"
fi
check "paired with the address of the named service and the code's password" 1 \
  "$(grep -c "^pair 127.0.0.1:41235 $password\$" "$work/log" || true)"
check "connected to the phone's connect service" 1 "$(grep -c '^connect 127.0.0.1:37159$' "$work/log" || true)"

# Closing the dialog ends the search and lists the phone with its mark.
probe click "$P" 1014
for _ in $(seq 100); do [ "$(grep -c '^-s 127.0.0.1:37159 shell getprop$' "$work/log")" -ge 1 ] && break; sleep 0.1; done
sleep 1
probe move "$D" 5 5
probe screenshot "$D" "$work/chooser.png"
[ -n "$shot" ] && cp "$work/chooser.png" "${shot%.png}-chooser.png"
blue="$(convert "$work/chooser.png" -fill black +opaque '#2882FF' -fill white -opaque '#2882FF' -format '%[fx:mean*w*h]' info:)"
check "a Wi-Fi mark beside one phone's logo" ok "$([ "${blue%.*}" -ge 20 ] && echo ok || echo "$blue pixels")"
searches="$(grep -c '^mdns services$' "$work/log")"
sleep 2.5
check "no search once the phone is connected" "$searches" "$(grep -c '^mdns services$' "$work/log")"

# The first row is the cable phone: "断开" refuses it; the second goes.
probe click "$D" 1020
check "a cable phone is not disconnected" "这台手机不是无线连接的" "$(probe text "$D" 1036)"
probe key "$D" 1016 40
probe click "$D" 1020
for _ in $(seq 50); do grep -q '^disconnect' "$work/log" && break; sleep 0.1; done
check "disconnect sends the wireless serial" 1 "$(grep -c '^disconnect 127.0.0.1:37159$' "$work/log" || true)"
# The chooser lists the phones again; "取消" closes it once the listing is done.
probe wait-text "$D" 1036 "" --timeout 15000 >/dev/null || true
for _ in $(seq 50); do
  probe find --title "Vantaro 3.0 设备管理" --timeout 1 >/dev/null 2>&1 || break
  probe click "$D" 1014 >/dev/null 2>&1 || true
  sleep 0.2
done

probe close "$W"
wait "$app_pid" || true
app_pid=""
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
