#!/usr/bin/env bash
# The setup under Wine, in a Wine prefix of its own (made here, its Wine
# server ended by process id): a silent install of an older version (files,
# shortcuts, the "Apps & features" entry, the association), a package opened
# through the association, the missing adb fetched on first run from the
# loopback server (a zip with a stand-in adb.exe signed by the tests'
# certificate, trusted in this prefix and named by VANTARO_TEST_ADB_SIGNER),
# the current setup over the running older program,
# the older setup refused over the newer, the update road from the loopback
# server (a changed setup never started, the real one installing the newer
# version), and the silent uninstall leaving nothing of ours.
# Usage: with-update-server setup_test.sh SETUP VERSION OLDER-SETUP NEWER-SETUP
#          VANTARO.exe UI-PROBE.exe WINE-ENV PACKAGE.apk SIGNED-ADB.exe
#          SIGNER.der TRUST-SIGNER.exe [SHOT.png]
set -euo pipefail
setup="$1" version="$2" older="$3" newer="$4" program="$5" probe_exe="$6" wine_env="$7" package="$8"
signed_adb="$9" signer="${10}" trust="${11}" shot="${12:-}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if [ -z "${DISPLAY:-}" ]; then exec "$here/../gui/with-display" bash "$0" "$@"; fi
: "${VANTARO_TEST_SERVER:?run through with-update-server}"
served="$VANTARO_TEST_SERVE_UNIX"

work="$(mktemp -d)"
export VANTARO_WINEPREFIX="$work/prefix"
server_pid="" program_pid=""
cleanup() {
  kill $program_pid 2>/dev/null || true
  # Wine's services of this prefix (winedevice.exe, ...) end with its server
  # when it is told to; killing the server's process alone leaves them.
  if [ -n "$server_pid" ]; then "$wine_env" wineserver -k >/dev/null 2>&1 || true; fi
  for pid in $program_pid $server_pid; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=../gui/probe-checks.sh
source "$here/../gui/probe-checks.sh"
w() { "$wine_env" wine "$@"; }
value() {  # value KEY NAME: the registry value's data ("-" when missing); NAME "" is the default value
  local out
  if [ -z "$2" ]; then out="$(w reg query "$1" /ve 2>/dev/null)" || { echo -; return; }
  else out="$(w reg query "$1" /v "$2" 2>/dev/null)" || { echo -; return; }; fi
  out="$(tr -d '\r' <<<"$out" | awk -F '    ' '/REG_/ {print $4; exit}')"
  echo "${out:--}"
}
key() { w reg query "$1" >/dev/null 2>&1 && echo present || echo absent; }
exists() { [ -e "$1" ] && echo present || echo absent; }
gone_within() {  # gone_within SECONDS PATH
  local i
  for i in $(seq 1 $(($1 * 10))); do [ -e "$2" ] || { echo absent; return; }; sleep 0.1; done
  echo present
}

# The prefix and its Wine server, for this test alone.
"$wine_env" true
"$wine_env" wineserver -f -p >/dev/null 2>&1 &
server_pid=$!
w cmd /c exit </dev/null >/dev/null 2>&1 || true

pf="$VANTARO_WINEPREFIX/drive_c/Program Files/Vantaro"
win_pf='C:\Program Files\Vantaro'
menu="$VANTARO_WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vantaro.lnk"
desktop="$VANTARO_WINEPREFIX/drive_c/users/Public/Desktop/Vantaro.lnk"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantaro'
command="\"$win_pf\\vantaro.exe\" \"%1\""

# ---------------------------------------------------------------- silent install
status=0; w "$older" /S || status=$?
check "older setup /S" 0 "$status"
check "installed files" "present present present" \
  "$(exists "$pf/vantaro.exe") $(exists "$pf/vantaro-cli.exe") $(exists "$pf/uninstall.exe")"
check "shortcuts" "present present" "$(exists "$menu") $(exists "$desktop")"
check "entry" "Vantaro|2.9|Vantaro|$win_pf\\vantaro.exe,0|\"$win_pf\\uninstall.exe\"|\"$win_pf\\uninstall.exe\" /S" \
  "$(value "$entry" DisplayName)|$(value "$entry" DisplayVersion)|$(value "$entry" Publisher)|$(value "$entry" DisplayIcon)|$(value "$entry" UninstallString)|$(value "$entry" QuietUninstallString)"
size="$(value "$entry" EstimatedSize)"
check "estimated size in KB" yes "$( (( size > 1000 && size < 100000 )) && echo yes || echo "no ($size)")"
check "association" "Lorimex.apk|$command|Lorimex.xapk" \
  "$(value 'HKCR\.apk' '')|$(value 'HKCR\Lorimex.apk\shell\open\command' '')|$(value 'HKCR\.xapk' '')"

# ---------------------------------------------------------------- the association opens a package; adb fetched
python3 - "$signed_adb" "$served/platform-tools.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED) as z:
    z.write(sys.argv[1], "platform-tools/adb.exe")
    z.writestr("platform-tools/AdbWinApi.dll", b"api" * 1000)
    z.writestr("platform-tools/AdbWinUsbApi.dll", b"usb" * 1000)
    z.writestr("platform-tools/NOTICE.txt", b"notice")
PY
w "$trust" "$signer"
export VANTARO_PLATFORM_TOOLS_URL="$VANTARO_TEST_SERVER/platform-tools.zip"
export VANTARO_TEST_ADB_SIGNER="Vantaro Test Signer"
cp "$package" "$work/样例 包.apk"
w start /unix "$work/样例 包.apk"
box="$(probe msgbox --timeout 20000 || true)"
check "without adb.exe the program offers it" "组件丢失" "$(grep -o 组件丢失 <<<"$box" | head -1)"
[ -n "$box" ] && probe msgbox-press "${box%%	*}" 6
box="$(probe msgbox --timeout 20000 || true)"
check "the terms are shown and agreed to" "https://developer.android.com/studio/releases/platform-tools" \
  "$(grep -o 'https://[^ ]*platform-tools' <<<"$box" | head -1)"
[ -n "$box" ] && probe msgbox-press "${box%%	*}" 6
S="$(probe find --title "Vantaro 3.0" --control 1030 --timeout 10000 || true)"
if probe wait-text "$S" 1030 "adb 组件已安装" --timeout 30000 >/dev/null; then check "adb fetched" ok ok
else check "adb fetched" "adb 组件已安装" "$(probe text "$S" 1030)"; fi
check "adb beside the program" "same present present" \
  "$(cmp -s "$pf/adb.exe" "$signed_adb" && echo same || echo different) $(exists "$pf/AdbWinApi.dll") $(exists "$pf/AdbWinUsbApi.dll")"
[ -n "$S" ] && probe click "$S" 1017
if probe wait-text main 1027 org.fixture.demo --timeout 20000 >/dev/null; then check "opened through the association" ok ok
else check "opened through the association" org.fixture.demo "$(probe text main 1027)"; fi
no_box() {  # no_box NAME: a start with adb.exe in place asks nothing
  check "$1" none "$(probe msgbox --timeout 3000 >/dev/null 2>&1 && echo box || echo none)"
}

# ---------------------------------------------------------------- over the running older version
status=0; w "$setup" /S || status=$?
check "setup /S over the running program" 0 "$status"
check "the running program was closed" none "$(probe find --timeout 1000 >/dev/null 2>&1 && echo running || echo none)"
check "version now" "$version" "$(value "$entry" DisplayVersion)"
check "program replaced" same "$(cmp -s "$pf/vantaro.exe" "$program" && echo same || echo different)"
check "association kept" "$command" "$(value 'HKCR\Lorimex.apk\shell\open\command' '')"

status=0; w "$older" /S || status=$?
check "older setup refuses a newer install" refused "$( [ "$status" != 0 ] && echo refused || echo "installed ($status)")"
check "still the newer program" "$version same" \
  "$(value "$entry" DisplayVersion) $(cmp -s "$pf/vantaro.exe" "$program" && echo same || echo different)"

# ---------------------------------------------------------------- update road
describe() {  # describe PATH-OF-REAL-SETUP: offers it as 3.1, pinned by its size and SHA-256
  printf '<root version="31" url="%s/vantaro-setup-3.1.exe" size="%s" sha256="%s"/>' "$VANTARO_TEST_SERVER" \
    "$(stat -c %s "$1")" "$(sha256sum "$1" | cut -d' ' -f1)" >"$served/vantaro-update.xml"
}
describe "$newer"
cp "$newer" "$served/vantaro-setup-3.1.exe"
printf '\x00' | dd of="$served/vantaro-setup-3.1.exe" bs=1 seek=4096 conv=notrunc status=none
cmp -s "$newer" "$served/vantaro-setup-3.1.exe" && check "one byte changed" changed same

VANTARO_UPDATE_URL="$VANTARO_TEST_SERVER/vantaro-update.xml" "$wine_env" wine "$pf/vantaro.exe" &
program_pid=$!
no_box "the fetched adb is found at the next start"
probe find --timeout 20000 >/dev/null
probe click main 1004
S="$(probe find --title "Vantaro 3.0" --control 1030 --timeout 10000 || true)"
check "settings dialog" "就绪" "$(probe text "$S" 1030)"
probe click "$S" 1013
mismatch="下载的新版本与更新说明不符（大小或 SHA-256 校验值不同），已删除，不会运行"
if probe wait-text "$S" 1030 "$mismatch" --timeout 30000 >/dev/null; then check "changed setup refused" ok ok
else check "changed setup refused" "$mismatch" "$(probe text "$S" 1030)"; fi
check "changed setup never started" none \
  "$(probe find --title "Vantaro 3.1 安装" --timeout 3000 >/dev/null 2>&1 && echo started || echo none)"

cp "$newer" "$served/vantaro-setup-3.1.exe"
probe wait-text "$S" 1013 "检查更新" --timeout 10000 >/dev/null || true
probe click "$S" 1013
if probe wait-text "$S" 1030 "新版本已经下载完成" --timeout 30000 >/dev/null; then check "real setup downloaded" ok ok
else check "real setup downloaded" "新版本已经下载完成" "$(probe text "$S" 1030)"; fi
N="$(probe find --title "Vantaro 3.1 安装" --timeout 30000 || true)"
check "the update starts the setup" yes "$([ -n "$N" ] && echo yes || echo no)"
if [ -n "$N" ]; then
  [ -n "$shot" ] && { sleep 1; probe screenshot "$N" "$shot"; }
  # Welcome, folder, components ("安装"), then the finish page ("完成").
  for page in welcome folder components; do probe click "$N" 1; sleep 1; done
  for i in $(seq 1 60); do
    [ "$(probe text "$N" 1 2>/dev/null)" = "完成(&F)" ] && break
    sleep 0.5
  done
  check "finish page" "完成(&F)" "$(probe text "$N" 1 2>/dev/null)"
  probe click "$N" 1
fi
for i in $(seq 1 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program_pid" 2>/dev/null; then
  check "the setup closed the running program" ended running
  kill "$program_pid" 2>/dev/null || true
fi
wait "$program_pid" 2>/dev/null || true
program_pid=""
check "the update installed the newer version" "3.1" "$(value "$entry" DisplayVersion)"
# The finish page starts the new program; the uninstaller will close it.
probe find --timeout 20000 >/dev/null || true
no_box "the new program finds the adb"

# ---------------------------------------------------------------- uninstall
w "$pf/uninstall.exe" /S || true
check "program folder removed" absent "$(gone_within 60 "$pf")"
check "shortcuts removed" "absent absent" "$(exists "$menu") $(exists "$desktop")"
check "entry removed" absent "$(key "$entry")"
check "association removed" "absent absent absent -" \
  "$(key 'HKCR\.apk') $(key 'HKCR\Lorimex.apk') $(key 'HKCR\Lorimex.apkm') $(value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.apk' Progid)"
check "no program left running" none "$(probe find --timeout 1000 >/dev/null 2>&1 && echo running || echo none)"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
