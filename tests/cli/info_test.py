#!/usr/bin/env python3
"""vantaro-cli info on the fixture packages: exit codes, streams, UTF-8 text
and the JSON document.

Usage: info_test.py VANTARO_CLI FIXTURE_DIR
"""

import hashlib
import json
import os
import shutil
import subprocess
import tempfile
import sys

CLI = sys.argv[1]
APK = os.path.join(sys.argv[2], "apk")
INVALID = "【错误】不是有效的APK文件"
failures = []


def run(*args):
    """Runs the CLI; stdout and stderr as UTF-8 text (decoding fails loudly)."""
    p = subprocess.run([CLI, *args], capture_output=True, timeout=60)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8")


def check(condition, what, *context):
    if not condition:
        failures.append(what + "".join("\n    " + str(c) for c in context))


def check_run(args, code, stdout_has=(), stderr_has=(), stdout_empty=False):
    rc, out, err = run(*args)
    shown = ("args", args, "exit", rc, "stdout", out, "stderr", err)
    check(rc == code, f"exit code {rc}, expected {code}", *shown)
    for text in stdout_has:
        check(text in out, f"stdout lacks {text!r}", *shown)
    for text in stderr_has:
        check(text in err, f"stderr lacks {text!r}", *shown)
    if stdout_empty:
        check(out == "", "stdout should be empty", *shown)
    return out, err


def apk(name):
    return os.path.join(APK, name)


# Text output of an accepted package: the summary column and the tree.
out, err = check_run(["info", apk("demo.apk")], 0,
                     stdout_has=["名称：演示工具", "版本：2.5.1", "开发标识：org.fixture.demo",
                                 "最低固件：Android 2.1", "安装卡上：该应用支持", "请求权限",
                                 "[!] --- 访问互联网,将产生GRPS流量", "友盟统计", "启动入口：.Main"])
check(err == "", "an accepted package writes nothing to stderr", err)
# A Chinese file name given in UTF-8.
check_run(["info", apk("演示 v2.5.1.apk")], 0, stdout_has=["名称：演示工具"])
check_run(["info", apk("Game.APK")], 0, stdout_has=["名称：演示工具"])
check_run(["info", apk("game.apk.zip")], 0, stdout_has=["名称：演示工具"])
# Names GBK cannot spell, and a name that is no UTF-8 at all, open as they are.
with tempfile.TemporaryDirectory() as folder:
    for name in ["Jörg.apk".encode(), "ทดสอบ 😀.apk".encode(), b"\xff-stray.apk"]:
        path = os.path.join(folder.encode(), name)
        shutil.copyfile(apk("demo.apk"), path)
        p = subprocess.run([CLI, "info", "--json", path], capture_output=True, timeout=60)
        doc = json.loads(p.stdout.decode("utf-8")) if p.returncode == 0 else {}
        check(doc.get("label") == "演示工具", f"info on {name!r}", p.returncode, p.stderr.decode("utf-8", "replace"))
        if b"\xff" not in name:
            check(doc.get("path", "").encode() == path, f"path of {name!r}", doc.get("path"))
# The package scripts/run shows by default.
check_run(["info", apk("sample.apk")], 0,
          stdout_has=["名称：样例应用", "[!] --- 发送短信", "[!] --- 开机自动启动", "友盟统计"])

# Rejected packages: exit 1 and the message on stderr.
for name in ["not-a-zip.apk", "demo.apk.txt", "bad-manifest.apk"]:
    check_run(["info", apk(name)], 1, stderr_has=[INVALID], stdout_empty=True)
check_run(["info", apk("missing.apk")], 1, stderr_has=["【错误】无法读取该文件"], stdout_empty=True)
# Incomplete but reported: the tree on stdout, the message on stderr.
check_run(["info", apk("no-resources.apk")], 1, stdout_has=["安装卡上：不支持", "统计信息"],
          stderr_has=[INVALID])

# Usage errors: exit 2 and a usage text naming the command.
for args in [[], ["info"], ["info", "--bogus", apk("demo.apk")], ["inspect", apk("demo.apk")]]:
    check_run(args, 2, stderr_has=["Usage:", "info"], stdout_empty=True)

# JSON.
KEYS = {"label", "versionName", "packageName", "minSdk", "minRelease", "sdCard", "fileSize",
        "fileSizeText", "permissions", "adNetworks", "analytics", "launcherActivity",
        "iconMember", "analysisOk", "message"}


def info_json(name, code):
    rc, out, err = run("info", "--json", apk(name))
    check(rc == code, f"--json {name}: exit {rc}, expected {code}", err)
    try:
        doc = json.loads(out)
    except ValueError as e:
        failures.append(f"--json {name}: not JSON ({e})\n    {out}")
        return {}
    missing = KEYS - doc.keys()
    check(not missing, f"--json {name}: keys missing: {sorted(missing)}")
    return doc


doc = info_json("demo.apk", 0)
expected = {
    "label": "演示工具", "versionName": "2.5.1", "packageName": "org.fixture.demo", "minSdk": 7,
    "minRelease": "Android 2.1", "sdCard": True, "fileSize": os.path.getsize(apk("demo.apk")),
    "adNetworks": [], "analytics": ["友盟统计"], "launcherActivity": ".Main",
    "iconMember": "res/drawable-hdpi-v4/icon.png", "analysisOk": True, "message": "演示工具就绪",
}
for key, value in expected.items():
    check(doc.get(key) == value, f"demo --json {key}: {doc.get(key)!r}, expected {value!r}")
check(isinstance(doc.get("fileSizeText"), str) and doc["fileSizeText"].endswith("KB"),
      f"demo --json fileSizeText: {doc.get('fileSizeText')!r}")
check(doc.get("permissions") == [
    {"name": "android.permission.INTERNET", "description": "[!] --- 访问互联网,将产生GRPS流量"},
    {"name": "android.permission.WRITE_EXTERNAL_STORAGE", "description": "修改SD卡上的文件"},
    {"name": "android.permission.READ_PHONE_STATE", "description": "获取电话状态"},
    {"name": "android.permission.CAMERA", "description": "[!] --- 使用摄像头拍照或扫描条码"},
], "demo --json permissions", doc.get("permissions"))

# Compatibility facts: compat.apk's libraries are ready for 16 KB pages;
# demo.apk has no native code.
rc, out, err = run("info", "--json", apk("compat.apk"))
compat = json.loads(out) if rc == 0 else {}
for key, value in {"targetSdk": 22, "abis": ["arm64-v8a", "armeabi-v7a", "x86_64"], "pageSize16k": True,
                   "features": ["android.hardware.camera", "glEsVersion=3.0"], "debuggable": True,
                   "testOnly": True, "splitRequired": False, "languages": 2}.items():
    check(compat.get(key) == value, f"compat --json {key}: {compat.get(key)!r}, expected {value!r}", err)
check(doc.get("pageSize16k", "absent") is None, "demo --json pageSize16k: null without native code", doc.get("pageSize16k"))

doc = info_json("ads.apk", 0)
check(doc.get("label") == "天气&日历", "ads --json label", doc.get("label"))
check(doc.get("sdCard") is False, "ads --json sdCard", doc.get("sdCard"))
check(doc.get("adNetworks") == ["哇棒广告", "有米广告", "微云广告"],
      "ads --json adNetworks", doc.get("adNetworks"))

doc = info_json("not-a-zip.apk", 1)
check(doc.get("analysisOk") is False and doc.get("message") == INVALID, "not-a-zip --json", doc)

# References that resolve nowhere: empty fields, no digits, and the JSON says which.
doc = info_json("foreign.apk", 0)
check(doc.get("label") == "" and doc.get("versionName") == "" and doc.get("message") == "就绪", "foreign --json", doc)
check(doc.get("unresolved") == [{"field": "label", "reference": "@0x0104000a"},
                                {"field": "versionName", "reference": "@0x01040000"},
                                {"field": "icon", "reference": "@0x01080093"}], "foreign --json unresolved", doc)

# A package no one here wrote: Debian's framework resources (package 0x01).
FRAMEWORK = "/usr/share/android-framework-res/framework-res.apk"
if os.path.exists(FRAMEWORK):
    rc, out, err = run("info", "--json", FRAMEWORK)
    doc = json.loads(out) if rc == 0 else {}
    check(doc.get("label") == "Android 系统" and doc.get("versionName") == "10.0.0"
          and doc.get("iconMember", "").endswith("/ic_launcher_android.png") and doc.get("iconSize", 0) > 0
          and doc.get("message") == "Android 系统就绪", "framework-res --json", rc, err, doc)
else:
    print(f"skipped the framework package: {FRAMEWORK} is not installed (scripts/setup installs it)")

# scan: every package and bundle under a folder, one JSON line each in path
# order, bad files included; a folder named like a package is walked, not read.
BUNDLES = os.path.join(sys.argv[2], "bundles")
with tempfile.TemporaryDirectory() as folder:
    shutil.copyfile(apk("demo.apk"), os.path.join(folder, "a-demo.apk"))
    os.makedirs(os.path.join(folder, "sub", "x.apk"))
    shutil.copyfile(os.path.join(BUNDLES, "sample.xapk"), os.path.join(folder, "sub", "b-sample.xapk"))
    shutil.copyfile(apk("sdk-cn.apk"), os.path.join(folder, "sub", "x.apk", "c-sdk.apk"))
    shutil.copyfile(apk("not-a-zip.apk"), os.path.join(folder, "d-not-a-zip.apk"))
    open(os.path.join(folder, "e-empty.apk"), "wb").close()
    open(os.path.join(folder, "notes.txt"), "w").write("not a package")
    for jobs in ("1", "2"):
        rc, out, err = run("scan", "-j", jobs, folder)
        docs = [json.loads(line) for line in out.splitlines()]
        names = [os.path.relpath(d["path"], folder) for d in docs]
        check(rc == 0 and names == ["a-demo.apk", "d-not-a-zip.apk", "e-empty.apk", "sub/b-sample.xapk",
                                    "sub/x.apk/c-sdk.apk"], f"scan -j {jobs}: lines", rc, names, err)
        check([d["analysisOk"] for d in docs] == [True, False, False, True, True], f"scan -j {jobs}: outcomes", docs)
        check("共 5 个安装包，2 个无法分析" in err and "友盟统计：2" in err and "穿山甲广告：1" in err,
              f"scan -j {jobs}: summary", err)
check_run(["scan", "/no/such/folder"], 1, stderr_has=["找不到"])

# Signatures: the certificate without --verify (and no whole-file hashing),
# the check and the sums with it. Fingerprint as apksigner prints it.
SIGNED = os.path.join(sys.argv[2], "signed")
RSA_SHA256 = "b4ccbe9dfeca574d7b8f8c1d7bd14017fba682b23b2d69c91fbef637dac9944f"
rc, out, err = run("info", "--json", os.path.join(SIGNED, "v1v2.apk"))
doc = json.loads(out) if rc == 0 else {}
sig = doc.get("signature", {})
check(sig.get("schemes") == ["v1", "v2"] and "verified" not in sig and doc.get("checksums") is None,
      "v1v2 --json signature without --verify", doc)
check([s.get("sha256") for s in sig.get("signers", [])] == [RSA_SHA256] and
      sig["signers"][0]["subject"] == "CN=Vantaro Test, O=Vantaro Fixtures" and sig["signers"][0]["key"] == "RSA 2048",
      "v1v2 --json signers", sig)
rc, out, err = run("info", "--json", "--verify", os.path.join(SIGNED, "v1v2-entry.apk"))
doc = json.loads(out) if rc == 0 else {}
sig = doc.get("signature", {})
check(sig.get("verified") is False and sig.get("verification", {}).get("failedStep") == "digest",
      "v1v2-entry --verify: fails at the digest", sig)
sums = doc.get("checksums") or {}
with open(os.path.join(SIGNED, "v1v2-entry.apk"), "rb") as f:
    data = f.read()
check(sums == {"md5": hashlib.md5(data).hexdigest(), "sha1": hashlib.sha1(data).hexdigest(),
               "sha256": hashlib.sha256(data).hexdigest()}, "v1v2-entry --verify checksums", sums)
out, err = check_run(["info", os.path.join(SIGNED, "v2v3-ec.apk")], 0,
                     stdout_has=["签名与校验", "签名方案：v2、v3", "签名者：CN=Android Debug, O=Android", "警告：这是调试证书"])
check("签名校验" not in out and "MD5" not in out, "info without --verify neither checks nor sums", out)
check_run(["info", "--verify", os.path.join(SIGNED, "v2v3-ec.apk")], 0,
          stdout_has=["签名校验：通过（v3）", "SHA-256：" + hashlib.sha256(
              open(os.path.join(SIGNED, "v2v3-ec.apk"), "rb").read()).hexdigest()])
# verify: the check alone, one line per file, 0 only when every file verified.
out, err = check_run(["verify", os.path.join(SIGNED, "v4.apk"), os.path.join(SIGNED, "v1.apk")], 0,
                     stdout_has=["v4.apk：签名校验：通过（v3）；v4 签名（.idsig）：通过", "v1.apk：签名校验：通过（v1）"])
check("MD5" not in out and "签名者" not in out, "verify neither sums nor reports", out)
check_run(["verify", os.path.join(SIGNED, "v1.apk"), os.path.join(SIGNED, "v1v2-signed-data.apk"), apk("demo.apk")], 1,
          stdout_has=["v1v2-signed-data.apk：签名校验：未通过（v2，", "demo.apk：签名校验：未签名"])

if failures:
    print(f"{len(failures)} check(s) failed:")
    for f in failures:
        print(" - " + f)
    sys.exit(1)
print("vantaro-cli info: all checks passed")
