// The adb component taken out of a Platform-Tools zip, under Wine: a stand-in
// adb.exe signed with a test certificate (sign-stand-in), trusted for the
// suite in the current user's root store and named as the signer through
// VANTARO_TEST_ADB_SIGNER; every bad zip refused with nothing left behind.

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

#include "base/text.h"
#include "settings/adb_component.h"
#include "settings/update_checker.h"
#include "tests/unit/zip_builder.h"

namespace vantaro {
namespace {

using test::Bytes;
using test::ZipMember;

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + std::strlen(ascii)); }

Bytes ReadFile(const std::wstring& path) {
  Bytes bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size;
  GetFileSizeEx(file, &size);
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty()) ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

void WriteFile(const std::wstring& path, const Bytes& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// The names in a folder, sorted as the system lists them.
std::vector<std::wstring> Listing(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return names;
}

class ComponentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const Bytes der = ReadFile(Wide(TEST_SIGNER_CERTIFICATE));
    ASSERT_FALSE(der.empty());
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    ASSERT_TRUE(root);
    ASSERT_TRUE(CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                                 CERT_STORE_ADD_REPLACE_EXISTING, &trusted_));
    CertCloseStore(root, 0);
  }
  static void TearDownTestSuite() {
    if (trusted_) CertDeleteCertificateFromStore(trusted_);  // frees the context too
    trusted_ = nullptr;
  }
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    static int counter = 0;
    base_ = std::wstring(temp) + L"vantaro-component-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++) + L"\\";
    CreateDirectoryW(base_.c_str(), nullptr);
    folder_ = base_ + L"tools\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
    SetEnvironmentVariableW(L"VANTARO_TEST_ADB_SIGNER", L"Vantaro Test Signer");
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"VANTARO_TEST_ADB_SIGNER", nullptr);
    for (const std::wstring& name : Listing(folder_)) DeleteFileW((folder_ + name).c_str());
    RemoveDirectoryW(folder_.c_str());
    for (const std::wstring& name : Listing(base_)) DeleteFileW((base_ + name).c_str());
    RemoveDirectoryW(base_.c_str());
  }

  std::wstring Zip(const std::vector<ZipMember>& members) { return Save(test::buildZip(members)); }
  std::wstring Save(const Bytes& bytes) {
    static int counter = 0;
    std::wstring path = base_ + L"download-" + std::to_wstring(counter++) + L".zip";
    WriteFile(path, bytes);
    return path;
  }
  static std::vector<ZipMember> Tools(const Bytes& adb) {
    return {{"platform-tools/NOTICE.txt", Bytes(100, 'n')},
            {"platform-tools/adb.exe", adb},
            {"platform-tools/AdbWinApi.dll", Bytes(5000, 'a')},
            {"platform-tools/AdbWinUsbApi.dll", Bytes(3000, 'u')},
            {"platform-tools/fastboot.exe", Bytes(100, 'f')}};
  }

  static PCCERT_CONTEXT trusted_;
  std::wstring base_, folder_;
  const Bytes signed_ = ReadFile(Wide(SIGNED_STAND_IN));
  const Bytes unsigned_ = ReadFile(Wide(UNSIGNED_STAND_IN));
};
PCCERT_CONTEXT ComponentTest::trusted_ = nullptr;

TEST_F(ComponentTest, SignedToolsArePutInPlaceWhole) {
  ASSERT_GT(signed_.size(), unsigned_.size());
  EXPECT_EQ(VerifiedSigner(Wide(SIGNED_STAND_IN)), L"Vantaro Test Signer");
  EXPECT_EQ(VerifiedSigner(Wide(UNSIGNED_STAND_IN)), L"");

  ComponentResult result = InstallAdbComponent(Zip(Tools(signed_)), folder_);
  EXPECT_TRUE(result.installed) << gbkToUtf8(result.message);
  EXPECT_EQ(result.message, "adb 组件已安装");
  EXPECT_EQ(Listing(folder_), (std::vector<std::wstring>{L"adb.exe", L"AdbWinApi.dll", L"AdbWinUsbApi.dll"}));
  EXPECT_EQ(ReadFile(folder_ + L"adb.exe"), signed_);
  EXPECT_EQ(ReadFile(folder_ + L"AdbWinApi.dll"), Bytes(5000, 'a'));

  // Once there, a working adb.exe is never replaced.
  WriteFile(folder_ + L"adb.exe", Bytes(10, 'w'));
  result = InstallAdbComponent(Zip(Tools(signed_)), folder_);
  EXPECT_FALSE(result.installed);
  EXPECT_EQ(result.message, "文件夹里已有 adb.exe，未替换它");
  EXPECT_EQ(ReadFile(folder_ + L"adb.exe"), Bytes(10, 'w'));
  EXPECT_EQ(Listing(folder_).size(), 3u);
}

// Each refusal says why and leaves the folder as it was: empty.
TEST_F(ComponentTest, BadDownloadsAreRefusedAndLeaveNothing) {
  const Bytes good = test::buildZip(Tools(signed_));
  Bytes tampered = signed_;
  tampered[tampered.size() / 3] ^= 0x20;
  std::vector<ZipMember> missing = Tools(signed_);
  missing.erase(missing.begin() + 3);
  std::vector<ZipMember> escaping = Tools(signed_);
  escaping.push_back({"platform-tools/../../adb.exe", signed_});
  std::vector<ZipMember> absolute = Tools(signed_);
  absolute.push_back({"C:/Windows/adb.exe", Bytes(10, 'x')});
  std::vector<ZipMember> dotted = Tools(signed_);
  dotted.push_back({"platform-tools\\.. \\x.dll", Bytes(10, 'x')});
  std::vector<ZipMember> badCrc = Tools(signed_);
  badCrc[3].recordedCrc = 1234;

  const std::string notZip = "下载的文件不是 zip 压缩包，未安装 adb 组件";
  const std::string broken = "下载的压缩包已损坏，未安装 adb 组件";
  const std::string unsafe = "下载的压缩包里有指向其他文件夹的文件名，已拒绝，未安装 adb 组件";
  const std::string unsigned_text = "adb.exe 没有 Google 的有效数字签名，已拒绝，未安装 adb 组件";
  struct Case {
    const char* what;
    std::wstring zip;
    std::string message;
  };
  const Case cases[] = {
      {"not a zip", Save(Bytes(4000, '<')), notZip},
      {"stopped half-way", Save(Bytes(good.begin(), good.begin() + good.size() / 2)), notZip},
      {"without AdbWinUsbApi.dll",
       Zip(missing),
       "下载的压缩包里没有 platform-tools/adb.exe、AdbWinApi.dll 和 AdbWinUsbApi.dll，未安装 adb 组件"},
      {"a name leaving the folder", Zip(escaping), unsafe},
      {"an absolute name", Zip(absolute), unsafe},
      {"a dotted parent", Zip(dotted), unsafe},
      {"a damaged library", Zip(badCrc), broken},
      {"unsigned adb.exe", Zip(Tools(unsigned_)), unsigned_text},
  };
  for (const Case& c : cases) {
    ComponentResult result = InstallAdbComponent(c.zip, folder_);
    EXPECT_FALSE(result.installed) << c.what;
    EXPECT_EQ(result.message, c.message) << c.what << ": " << gbkToUtf8(result.message);
    EXPECT_EQ(Listing(folder_), std::vector<std::wstring>{}) << c.what;
  }

  // Google's signature is what counts without the tests' variable: the
  // test signer is refused.
  SetEnvironmentVariableW(L"VANTARO_TEST_ADB_SIGNER", nullptr);
  ComponentResult result = InstallAdbComponent(Save(good), folder_);
  EXPECT_EQ(result.message, unsigned_text);
  EXPECT_EQ(Listing(folder_), std::vector<std::wstring>{});
  SetEnvironmentVariableW(L"VANTARO_TEST_ADB_SIGNER", L"Vantaro Test Signer");

  // A signed file changed after signing. Wine's WinVerifyTrust checks the
  // certificate chain; whether it also checks the file's digest is what this
  // reports.
  result = InstallAdbComponent(Zip(Tools(tampered)), folder_);
  EXPECT_EQ(result.message, unsigned_text);
  EXPECT_EQ(Listing(folder_), std::vector<std::wstring>{});
}

class Statuses : public UpdateDisplay {
 public:
  void ShowUpdateStatus(const std::string& text) override { statuses.push_back(text); }
  void ShowUpdatePercent(int) override {}
  void DownloadStarting() override {}
  void UpdateEnded() override {}
  bool sawStarting(const std::string& prefix) const {
    for (const std::string& s : statuses)
      if (s.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
  }
  std::vector<std::string> statuses;
};

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024];
  DWORD n = GetEnvironmentVariableW(name, value, 1024);
  return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

// The whole road from the loopback server (with-update-server): the zip
// comes through the update's downloader with progress, the three files land
// in the folder and the zip is removed; a download that is no zip, or that
// is cut off half-way, says so and leaves nothing.
TEST_F(ComponentTest, DownloadedFromTheServer) {
  const std::wstring server = Environment(L"VANTARO_TEST_SERVER");
  const std::wstring served = Environment(L"VANTARO_TEST_SERVE_DIR");
  ASSERT_FALSE(server.empty()) << "run through with-update-server";
  WriteFile(served + L"tools.zip", test::buildZip(Tools(signed_)));
  WriteFile(served + L"page.zip", Bytes(3000, '<'));
  const std::wstring savedTemp = Environment(L"TEMP"), savedTmp = Environment(L"TMP");
  const std::wstring temp = base_ + L"temp\\";
  CreateDirectoryW(temp.c_str(), nullptr);
  SetEnvironmentVariableW(L"TEMP", temp.c_str());
  SetEnvironmentVariableW(L"TMP", temp.c_str());

  struct Case {
    const wchar_t* path;
    std::string last;
    bool installed;
  };
  const Case cases[] = {
      {L"/page.zip", "下载的文件不是 zip 压缩包，未安装 adb 组件", false},
      {L"/cut/tools.zip", "网络错误，错误信息 ", false},
      {L"/tools.zip", "adb 组件已安装", true},
  };
  for (const Case& c : cases) {
    SetEnvironmentVariableW(L"VANTARO_PLATFORM_TOOLS_URL", (server + c.path).c_str());
    Statuses display;
    UpdateChecker checker(display, 30, UpdateSource{});
    ComponentResult result = checker.FetchComponent(folder_);
    const std::string what = gbkToUtf8(std::string(c.path, c.path + std::wcslen(c.path)));
    EXPECT_EQ(result.installed, c.installed) << what;
    ASSERT_FALSE(display.statuses.empty()) << what;
    EXPECT_EQ(display.statuses.back().compare(0, c.last.size(), c.last), 0)
        << what << ": " << gbkToUtf8(display.statuses.back());
    EXPECT_TRUE(display.sawStarting("正在下载 adb 组件")) << what;
    EXPECT_EQ(Listing(temp), std::vector<std::wstring>{}) << what;
    EXPECT_EQ(Listing(folder_).size(), c.installed ? 3u : 0u) << what;
  }
  EXPECT_EQ(ReadFile(folder_ + L"adb.exe"), signed_);
  SetEnvironmentVariableW(L"VANTARO_PLATFORM_TOOLS_URL", nullptr);
  SetEnvironmentVariableW(L"TEMP", savedTemp.c_str());
  SetEnvironmentVariableW(L"TMP", savedTmp.c_str());
  RemoveDirectoryW(temp.c_str());
}

}  // namespace
}  // namespace vantaro
