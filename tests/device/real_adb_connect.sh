#!/usr/bin/env bash
# vantaro-cli connect and disconnect with Debian's real adb against a
# simulated phone on 127.0.0.1 (simulated_phone.py): connected, listed as a
# ready device, disconnected; a port where nothing listens is a failure. The
# adb server listens on a port of its own and is stopped by kill-server; the
# phone is stopped by its process id.
set -u
cli="$1"
here="$(cd "$(dirname "$0")" && pwd)"
command -v adb >/dev/null || { echo "adb is not installed"; exit 77; }
command -v python3 >/dev/null || { echo "python3 is not installed"; exit 77; }
export ANDROID_ADB_SERVER_PORT=$((20000 + ($$ + 7) % 20000))
work="$(mktemp -d)"
phone_pid=""
finish() {
  adb kill-server >/dev/null 2>&1 || true
  [ -n "$phone_pid" ] && kill "$phone_pid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
fail() { echo "FAILED: $*"; exit 1; }

python3 "$here/simulated_phone.py" >"$work/port" &
phone_pid=$!
for _ in $(seq 200); do [ -s "$work/port" ] && break; sleep 0.1; done
port="$(head -n1 "$work/port")"
[ -n "$port" ] || fail "the simulated phone did not start"
address="127.0.0.1:$port"

output="$("$cli" connect "$address" 2>&1)"; status=$?
echo "$output"
[ "$status" -eq 0 ] && [[ "$output" == *"【连接成功】"*"$address"* ]] || fail "connect: $status"
listed=""
for _ in $(seq 50); do
  listed="$(adb devices)"
  [[ "$listed" == *"$address"$'\t'"device"* ]] && break
  sleep 0.1
done
[[ "$listed" == *"$address"$'\t'"device"* ]] || fail "not listed as a ready device: $listed"

output="$("$cli" connect "$address" 2>&1)"; status=$?
echo "$output"
[ "$status" -eq 0 ] && [[ "$output" == *"【连接成功】已经连接到 $address"* ]] || fail "connect again: $status"

output="$("$cli" disconnect "$address" 2>&1)"; status=$?
echo "$output"
[ "$status" -eq 0 ] && [[ "$output" == *"已断开 $address"* ]] || fail "disconnect: $status"

# The phone is gone: nothing listens on its port any more.
kill "$phone_pid"; wait "$phone_pid" 2>/dev/null; phone_pid=""
output="$("$cli" connect "$address" 2>&1)"; status=$?
echo "$output"
[ "$status" -eq 1 ] && [[ "$output" == *"【连接失败】"* ]] || fail "connect to nothing: $status"

output="$("$cli" connect "127.0.0.1:$port -H x" 2>&1)"; status=$?
echo "$output"
[ "$status" -eq 2 ] || fail "a typed option reached adb: $status"
echo "all passed"
