#!/usr/bin/env bash
# Drives the widget gallery from outside with ui-probe, as a user would:
# texts, clicks, keys, pixels, a screenshot, dragging by the caption band.
# Usage: gallery_probe_test.sh GALLERY.exe UI-PROBE.exe WINE-ENV [SHOT.png]
# Runs on a virtual display of its own when none is set.
set -euo pipefail
gallery="$1" probe_exe="$2" wine_env="$3" shot="${4:-}"

if [ -z "${DISPLAY:-}" ]; then exec "$(dirname "${BASH_SOURCE[0]}")/with-display" "$0" "$@"; fi

gallery_pid=""
cleanup() {
  if [ -n "$gallery_pid" ]; then kill "$gallery_pid" 2>/dev/null || true; wait "$gallery_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# shellcheck source=../gui/probe-checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/probe-checks.sh"

"$wine_env" wine "$gallery" &
gallery_pid=$!
W="$(probe find --title "Vantaro Gallery" --timeout 30000)"
[ -n "$W" ] || { echo "FAIL the gallery did not open"; exit 1; }
probe click-at "$W" 740 430  # park the pointer on an empty spot

list="$(probe list "$W")"
check "install button listed" "2010	Button	visible	enabled	安装" "$(grep '^2010	' <<<"$list")"
check "message line" "提示: 单击任一控件试试" "$(probe text "$W" 2061)"

probe click "$W" 2010
probe wait-text "$W" 2061 "已单击: 安装" >/dev/null && check "button click" ok ok || check "button click" ok no
probe click "$W" 2030
probe wait-text "$W" 2061 "优先装到SD卡上: 未选中" >/dev/null && check "check box clears" ok ok || check "check box clears" ok no
probe click "$W" 2030
probe wait-text "$W" 2061 "优先装到SD卡上: 已选中" >/dev/null && check "check box sets" ok ok || check "check box sets" ok no

probe click "$W" 2014
box="$(probe msgbox --timeout 10000 || true)"
check "message box read" "Vantaro	每个控件都可以单击试试" "$(cut -f2- <<<"$box")"
probe msgbox-ok "${box%%	*}"
probe wait-text "$W" 2061 "已单击: 帮助" >/dev/null && check "message box OK" ok ok || check "message box OK" ok no

probe key "$W" 2011 13
probe key "$W" 2011 27
sleep 1
check "Enter and Escape leave the window open" "Vantaro Gallery" "$(probe text "$W" 0)"

check "percent bar fill" "7CBC2E" "$(probe pixel "$W" 375 360)"
check "percent bar frame" "8F8F8F" "$(probe pixel "$W" 370 360)"

# Dragging: a press at y 46 moves the window, one at y 47 does not.
read -r l0 t0 _ _ <<<"$(probe rect "$W")"
probe drag "$W" 300 46 40 30
read -r l1 t1 _ _ <<<"$(probe rect "$W")"
check "drag from y 46 moves" "$((l0 + 40)) $((t0 + 30))" "$l1 $t1"
probe drag "$W" 300 47 40 30
read -r l2 t2 _ _ <<<"$(probe rect "$W")"
check "drag from y 47 stays" "$l1 $t1" "$l2 $t2"

if [ -n "$shot" ]; then
  probe screenshot "$W" "$shot"
  magenta="$(convert "$shot" -fill black +opaque '#FF00FF' -fill white -opaque '#FF00FF' -format '%[fx:mean*w*h]' info:)"
  check "key colour never visible" 0 "${magenta%.*}"
fi

probe click "$W" 10200
if wait "$gallery_pid"; then check "close button ends the gallery" 0 0; else check "close button ends the gallery" 0 "$?"; fi
gallery_pid=""

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
