#!/usr/bin/env bash
# vantaro-cli devices with Debian's real adb and no phone attached: the
# listing (after adb's daemon start-up lines) holds no device. The adb server
# this starts listens on a port of its own and is stopped again.
set -u
cli="$1"
command -v adb >/dev/null || { echo "adb is not installed"; exit 77; }
export ANDROID_ADB_SERVER_PORT=$((20000 + $$ % 20000))
stop_server() { adb kill-server >/dev/null 2>&1 || true; }
trap stop_server EXIT
output="$("$cli" devices 2>&1)"
status=$?
echo "$output"
expected="【错误】没有找到Android设备，请检查USB连接"
if [ "$status" -ne 1 ] || [[ "$output" != *"$expected"* ]]; then
  echo "expected exit code 1 and the no-device text, got $status"
  exit 1
fi
