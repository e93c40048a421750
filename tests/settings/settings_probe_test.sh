#!/usr/bin/env bash
# Drives the settings dialog (settings-host) from outside with ui-probe, as a
# user would: the association box and its repair, the reinstall page, the
# update against the local server (with-update-server), the cancel, and every
# way of closing during a download (none leaves a partial file). Uses a scratch registry key and a
# temporary folder of its own.
# Usage: with-update-server settings_probe_test.sh HOST.exe UI-PROBE.exe WINE-ENV SETUP.exe [SHOT.png]
set -euo pipefail
host_exe="$1" probe_exe="$2" wine_env="$3" setup_exe="$4" shot="${5:-}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if [ -z "${DISPLAY:-}" ]; then exec "$here/../gui/with-display" "$0" "$@"; fi
: "${VANTARO_TEST_SERVER:?run through with-update-server}"

work="$(mktemp -d)"
temp="$work/tmp"; mkdir "$temp"
win_temp="Z:${temp//\//\\}"
served="$VANTARO_TEST_SERVE_UNIX"
export VANTARO_TEST_REGISTRY="Software\\VantaroTests\\probe-$$"
export VANTARO_UPDATE_URL="$VANTARO_TEST_SERVER/vantaro-update.xml"
host_pid=""
cleanup() {
  if [ -n "$host_pid" ]; then kill "$host_pid" 2>/dev/null || true; wait "$host_pid" 2>/dev/null || true; fi
  "$wine_env" wine reg delete "HKCU\\$VANTARO_TEST_REGISTRY" /f >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=../gui/probe-checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/../gui/probe-checks.sh"
waits() {  # waits NAME ID TEXT [MS]: the control shows TEXT within MS
  if probe wait-text "$W" "$2" "$3" --timeout "${4:-10000}" >/dev/null; then check "$1" ok ok; else check "$1" "$3" "$(probe text "$W" "$2")"; fi
}
class_default() {  # class_default .EXT: the extension's default value in the scratch classes, or "-"
  local value
  value="$("$wine_env" wine reg query "HKCU\\$VANTARO_TEST_REGISTRY\\Classes\\$1" /ve 2>/dev/null | tr -d '\r' | awk '/REG_SZ/ {print $NF}')"
  echo "${value:--}"
}
describe() {  # describe VERSION PATH: offers the served file PATH names, with its size and SHA-256
  local file="$served/${2##*/}"
  printf '<root version="%s" url="%s%s" size="%s" sha256="%s"/>' "$1" "$VANTARO_TEST_SERVER" "$2" \
    "$(stat -c %s "$file")" "$(sha256sum "$file" | cut -d' ' -f1)" >"$served/vantaro-update.xml"
}
file_goes() {  # file_goes PATH: "gone" once PATH no longer exists (within 5 s), else "left"
  local i
  for i in $(seq 1 50); do [ -e "$1" ] || { echo gone; return; }; sleep 0.1; done
  echo left
}
start_host() {
  "$wine_env" wine "$host_exe" dialog "$win_temp" &
  host_pid=$!
  W="$(probe find --title "Vantaro 3.0" --timeout 30000)"
  [ -n "$W" ] || { echo "FAIL the settings dialog did not open"; exit 1; }
  probe click-at "$W" 520 150  # park the pointer on an empty spot
}
host_ends() {  # host_ends NAME: the host process ends by itself, with exit code 0
  local status=0 i
  for i in $(seq 1 100); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$host_pid" 2>/dev/null; then check "$1" ended running; return; fi
  wait "$host_pid" || status=$?
  host_pid=""
  check "$1" 0 "$status"
}
# The tick of check box 1015 (its box starts at 50, 252): dark when set.
ticked() { local p; p="$(probe pixel "$W" 54 260)"; [ $((16#${p:0:2} + 16#${p:2:2} + 16#${p:4:2})) -lt 400 ] && echo set || echo clear; }
ticked_as() {  # ticked_as WANT: the box's state once it shows WANT, or after 5 s (a busy machine paints late)
  local i state
  for i in $(seq 1 50); do state="$(ticked)"; [ "$state" = "$1" ] && break; sleep 0.1; done
  echo "$state"
}
progress_shown() {  # waits for a progress text in 1030
  local i text
  for i in $(seq 1 100); do
    text="$(probe text "$W" 1030)"
    [[ "$text" == 正在下载新版本，已经完成了* ]] && { echo "$text"; return 0; }
    sleep 0.1
  done
  echo "$text"; return 1
}

cp "$setup_exe" "$served/apk-setup.exe"
head -c 3000000 /dev/zero >"$served/big.bin"

# ---------------------------------------------------------------- association
start_host
check "initial texts" "立即检查|就绪|" "$(probe text "$W" 1013)|$(probe text "$W" 1030)|$(probe text "$W" 1023)"
check "not associated at first" clear "$(ticked)"
probe key "$W" 1013 13
probe key "$W" 1013 27
sleep 1
check "Enter and Escape leave the dialog open" "Vantaro 3.0" "$(probe text "$W" 0)"

probe click "$W" 1018
waits "repair reports" 1023 "修复完成，找个APK文件运行下吧 ！"
# Without adb the repair offers it, with the terms; "否" leaves it at that.
box="$(probe msgbox --timeout 10000 || true)"
check "repair offers the missing adb with its terms" "Vantaro|https://developer.android.com/studio/releases/platform-tools" \
  "$(head -1 <<<"$box" | cut -f2)|$(grep -o 'https://[^ ]*platform-tools' <<<"$box" | head -1)"
[ -n "$box" ] && probe msgbox-press "${box%%	*}" 7
sleep 0.5
check "repair sets the box" set "$(ticked_as set)"
"$wine_env" wine "$host_exe" is-registered && check "repair registers" 0 0 || check "repair registers" 0 1
check "repair registers the split bundles, not .zip" "Lorimex.xapk Lorimex.apks Lorimex.apkm -" \
  "$(class_default .xapk) $(class_default .apks) $(class_default .apkm) $(class_default .zip)"
probe click "$W" 1015
check "clearing the box" clear "$(ticked_as clear)"
"$wine_env" wine "$host_exe" is-registered && check "clearing keeps the association" 0 0 || check "clearing keeps the association" 0 1
# A copy elsewhere takes the association over; setting the box takes it back.
mkdir "$work/copy"; cp "$host_exe" "$work/copy/settings-host.exe"
"$wine_env" wine "$work/copy/settings-host.exe" register
"$wine_env" wine "$host_exe" is-registered && check "another program path" 1 0 || check "another program path" 1 1
probe click "$W" 1015
check "setting the box" set "$(ticked_as set)"
"$wine_env" wine "$host_exe" is-registered && check "setting the box registers" 0 0 || check "setting the box registers" 0 1

probe click "$W" 1019
for i in $(seq 1 50); do [ -e "$temp/reinstall.opened" ] && break; sleep 0.1; done
check "reinstall opens the page" yes "$([ -e "$temp/reinstall.opened" ] && echo yes || echo no)"

# One bundle type taken by another program: the dialog opens with the box
# clear, and the tick takes it back.
probe click "$W" 1017
host_ends "save closes"
"$wine_env" wine reg add "HKCU\\$VANTARO_TEST_REGISTRY\\Classes\\.apkm" /ve /d Other.apkm /f >/dev/null
start_host
check "another program's .apkm clears the box" clear "$(ticked)"
probe click "$W" 1015
sleep 0.5
check "the tick takes .apkm back" Lorimex.apkm "$(class_default .apkm)"

# ---------------------------------------------------------------- update
describe 30 /apk-setup.exe
probe click "$W" 1013
waits "same version" 1030 "没有发现新版本"
waits "button after a check" 1013 "检查更新"

describe 31 /apk-setup.exe
probe click "$W" 1013
waits "newer version downloaded" 1030 "新版本已经下载完成"
waits "button after the download" 1013 "检查更新"
for i in $(seq 1 150); do [ -e "$temp/apk-setup.exe.ran" ] && break; sleep 0.1; done
check "setup saved in the temporary folder and started" yes "$([ -e "$temp/apk-setup.exe.ran" ] && echo yes || echo no)"
check "bar full" 7CBC2E "$(probe pixel "$W" 480 478)"

describe 31 /slow/big.bin
probe click "$W" 1013
waits "downloading: the button cancels" 1013 "取消下载"
text="$(progress_shown)" && check "progress text" ok ok || check "progress text" "正在下载新版本，已经完成了 ..." "$text"
sleep 1.5
[ -n "$shot" ] && probe screenshot "$W" "$shot"
check "bar filling" 7CBC2E "$(probe pixel "$W" 146 478)"
probe click "$W" 1014
box="$(probe msgbox --timeout 10000 || true)"
check "cancel refuses during a download" "Vantaro	正在下载新版本,如果您真的要退出请先单击“取消下载”按钮" "$(cut -f2- <<<"$box")"
[ -n "$box" ] && probe msgbox-ok "${box%%	*}"
sleep 0.5
check "dialog stays open" "Vantaro 3.0" "$(probe text "$W" 0)"
text="$(progress_shown)" && check "download goes on" ok ok || check "download goes on" "正在下载新版本，已经完成了 ..." "$text"
check "partial file while downloading" yes "$([ -e "$temp/big.bin" ] && echo yes || echo no)"

probe click "$W" 1013
waits "cancel text at once" 1030 "您已经取消了下载新版本，单击“检查更新” 可以重新下载新版本" 1000
waits "button back at once" 1013 "检查更新" 1000
check "bar empty" FFFFFF "$(probe pixel "$W" 146 478)"
check "cancelled download removed" gone "$(file_goes "$temp/big.bin")"
probe click "$W" 1014
host_ends "cancel closes once the download is cancelled"

# ---------------------------------------------------------------- closing during a download
for road in save system; do
  rm -f "$temp/big.bin"
  start_host
  probe click "$W" 1013
  waits "$road: downloading" 1013 "取消下载"
  if [ "$road" = save ]; then probe click "$W" 1017; else probe close "$W"; fi
  host_ends "$road: closes during a download and ends cleanly"
  check "$road: no partial file left" gone "$(file_goes "$temp/big.bin")"
done

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
