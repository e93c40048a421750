// The file association on a scratch registry, and the update against the
// local server that with-update-server starts (update_server.py), under Wine.

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "settings/digest.h"
#include "settings/file_association.h"
#include "settings/update_checker.h"
#include "settings/update_description.h"
#include "tests/settings/test_registry.h"

namespace vantaro {
namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024];
  DWORD n = GetEnvironmentVariableW(name, value, 1024);
  return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

std::string Gbk(const std::wstring& text) {
  return wideToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}
std::wstring Wide(const std::string& gbk) {
  std::u16string text = gbkToWide(gbk);
  return std::wstring(text.begin(), text.end());
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

void WriteText(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

// Runs a program and waits for its exit code (-1 when it did not start).
int RunHost(const std::wstring& program, const std::wstring& arguments) {
  std::wstring line = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  WaitForSingleObject(process.hProcess, 30000);
  DWORD code = static_cast<DWORD>(-1);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

// A fresh folder under the real temporary folder, removed at the end.
class Folder {
 public:
  Folder() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + L"vantaro-settings-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~Folder() {
    std::wstring from = path_ + L'\0';
    SHFILEOPSTRUCTW remove{};
    remove.wFunc = FO_DELETE;
    remove.pFrom = from.c_str();
    remove.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&remove);
  }
  const std::wstring& path() const { return path_; }
  std::wstring sub(const std::wstring& name) const {
    std::wstring folder = path_ + name + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
  }

 private:
  std::wstring path_;
};

// ------------------------------------------------------------------ association

std::wstring RegistryText(HKEY root, const std::wstring& key, const wchar_t* name, DWORD* type = nullptr,
                          DWORD* size = nullptr) {
  wchar_t data[2048] = {};
  DWORD bytes = sizeof data - sizeof(wchar_t), kind = 0;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &kind, data, &bytes) != ERROR_SUCCESS)
    return L"<missing>";
  if (type) *type = kind;
  if (size) *size = bytes;
  return data;
}

class AssociationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    scratch_ = L"Software\\VantaroTests\\settings-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(counter++);
    ASSERT_TRUE(settingstest::MapRegistry(scratch_));
    SetEnvironmentVariableW(settingstest::kRegistryVariable, scratch_.c_str());
  }
  void TearDown() override {
    settingstest::UnmapRegistry();
    SetEnvironmentVariableW(settingstest::kRegistryVariable, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str());
  }
  // A copy of the settings host under folder, named name.
  static std::wstring CopyHost(const std::wstring& folder, const std::wstring& name) {
    std::wstring target = folder + name;
    EXPECT_TRUE(CopyFileW(Wide(SETTINGS_HOST_PATH).c_str(), target.c_str(), FALSE)) << Gbk(target);
    return target;
  }

  std::wstring scratch_;
  FileAssociation association_;
};

// The package and the three split-bundle kinds, each with a ProgID of its
// own; a .zip stays with the archiver.
TEST_F(AssociationTest, RegisterWritesTheEntriesOfEveryPackageTypeAndIsRegistered) {
  EXPECT_FALSE(association_.IsRegistered());
  association_.Register();
  EXPECT_TRUE(association_.IsRegistered());

  const std::wstring program = FileAssociation::ProgramPath();
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L".apk", nullptr, &type, &size), L"Lorimex.apk");
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, sizeof(L"Lorimex.apk"));  // the terminating NUL counted
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L"Lorimex.apk", nullptr), L"Android程序安装包 (.apk)");
  for (const wchar_t* extension : {L".apk", L".xapk", L".apks", L".apkm"}) {
    SCOPED_TRACE(Gbk(extension));
    const std::wstring progId = std::wstring(L"Lorimex") + extension;
    EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, extension, nullptr), progId);
    EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, progId, nullptr), std::wstring(L"Android程序安装包 (") + extension + L")");
    EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, progId + L"\\DefaultIcon", nullptr), program + L",0");
    EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, progId + L"\\shell\\open\\command", nullptr),
              L"\"" + program + L"\" \"%1\"");
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER,
                           std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\") + extension,
                           L"Progid"),
              progId);
  }
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L".zip", nullptr), L"<missing>");
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L"Lorimex.zip", nullptr), L"<missing>");
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.zip",
                         L"Progid"),
            L"<missing>");
  EXPECT_EQ(FileAssociation::CommandFor(L"C:\\Tools\\App.exe"), L"\"C:\\Tools\\App.exe\" \"%1\"");
}

// Any one of the four taken by another program, or its ProgID's command
// gone, makes the whole association not ours; registering mends it.
TEST_F(AssociationTest, AnotherProgramOwningAnyTypeMakesItFalse) {
  association_.Register();
  for (const wchar_t* extension : {L".apk", L".xapk", L".apks", L".apkm"}) {
    SCOPED_TRACE(Gbk(extension));
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, extension, nullptr, REG_SZ, L"Other.file", sizeof(L"Other.file")),
              ERROR_SUCCESS);
    EXPECT_FALSE(association_.IsRegistered());
    const std::wstring progId = std::wstring(L"Lorimex") + extension;
    EXPECT_NE(RegistryText(HKEY_CLASSES_ROOT, progId + L"\\shell\\open\\command", nullptr), L"<missing>");
    association_.Register();
    EXPECT_TRUE(association_.IsRegistered());

    ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, (progId + L"\\shell").c_str()), ERROR_SUCCESS);
    EXPECT_FALSE(association_.IsRegistered());
    association_.Register();
    EXPECT_TRUE(association_.IsRegistered());
  }
  // The archiver's .zip is none of ours to check.
  ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L".zip", nullptr, REG_SZ, L"Archiver.zip", sizeof(L"Archiver.zip")),
            ERROR_SUCCESS);
  EXPECT_TRUE(association_.IsRegistered());
  association_.Register();
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L".zip", nullptr), L"Archiver.zip");
}

// Another program path (a copy elsewhere, another letter case, a path longer
// than a 260-byte command buffer holds) is not registered until it registers.
TEST_F(AssociationTest, OnlyTheRegisteredProgramPathCounts) {
  Folder folder;
  const std::wstring copy = CopyHost(folder.sub(L"elsewhere"), L"settings-host.exe");
  const std::wstring upper = CopyHost(folder.sub(L"elsewhere"), L"SETTINGS-HOST.exe");
  std::wstring deep = folder.path();
  while (deep.size() < 236) deep = folder.sub(deep.substr(folder.path().size()) + L"d123456789");
  const std::wstring longPath = CopyHost(deep, L"settings-host.exe");
  ASSERT_GT(longPath.size(), 252u);
  ASSERT_LT(longPath.size(), static_cast<size_t>(MAX_PATH));

  association_.Register();
  EXPECT_EQ(RunHost(copy, L"is-registered"), 1);
  EXPECT_EQ(RunHost(copy, L"register"), 0);
  EXPECT_EQ(RunHost(copy, L"is-registered"), 0);
  EXPECT_FALSE(association_.IsRegistered());
  EXPECT_EQ(RunHost(upper, L"is-registered"), 1);

  EXPECT_EQ(RunHost(longPath, L"register"), 0);
  EXPECT_EQ(RunHost(longPath, L"is-registered"), 0);
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L"Lorimex.apk\\shell\\open\\command", nullptr),
            L"\"" + longPath + L"\" \"%1\"");
  EXPECT_EQ(RunHost(copy, L"is-registered"), 1);
}

// Where the classes root refuses a key (here: a deleted key stands for it),
// the user's own classes receive it.
TEST_F(AssociationTest, RefusedClassesRootFallsBackToUserClasses) {
  HKEY gone = nullptr;
  const std::wstring goneKey = scratch_ + L"\\Gone";
  settingstest::UnmapRegistry();
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, goneKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &gone, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, goneKey.c_str()), ERROR_SUCCESS);
  ASSERT_TRUE(settingstest::MapRegistry(scratch_));
  ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, gone), ERROR_SUCCESS);
  RegCloseKey(gone);

  association_.Register();
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, L"Software\\Classes\\.apk", nullptr), L"Lorimex.apk");
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, L"Software\\Classes\\.xapk", nullptr), L"Lorimex.xapk");
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, L"Software\\Classes\\Lorimex.apk\\shell\\open\\command", nullptr),
            FileAssociation::CommandFor(FileAssociation::ProgramPath()));
}

// Unregister takes back only what still names this program file: a type
// another program took keeps its extension, a ProgID that names another
// copy stays whole, a value the user added keeps its key.
TEST_F(AssociationTest, UnregisterRemovesOnlyWhatStillNamesThisProgram) {
  const std::wstring fileExts = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
  association_.Register();
  ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L".apkm", nullptr, REG_SZ, L"Other.file", sizeof(L"Other.file")),
            ERROR_SUCCESS);
  const std::wstring elsewhere = FileAssociation::CommandFor(L"C:\\Elsewhere\\vantaro.exe");
  ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L"Lorimex.xapk\\shell\\open\\command", nullptr, REG_SZ,
                            elsewhere.c_str(), static_cast<DWORD>((elsewhere.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L".apk", L"Content Type", REG_SZ, L"x/y", sizeof(L"x/y")),
            ERROR_SUCCESS);
  // The user's own classes hold a registration of this program too.
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Classes\\.apks", nullptr, REG_SZ, L"Lorimex.apks",
                            sizeof(L"Lorimex.apks")),
            ERROR_SUCCESS);
  const std::wstring ours = FileAssociation::CommandFor(FileAssociation::ProgramPath());
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Classes\\Lorimex.apks\\shell\\open\\command", nullptr,
                            REG_SZ, ours.c_str(), static_cast<DWORD>((ours.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);

  association_.Unregister();
  EXPECT_FALSE(association_.IsRegistered());
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L".apk", nullptr), L"<missing>");
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L".apk", L"Content Type"), L"x/y");
  for (const wchar_t* gone : {L"Lorimex.apk", L"Lorimex.apks", L"Lorimex.apkm", L".apks"})
    EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, gone, nullptr), L"<missing>") << Gbk(gone);
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, L".apks", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\Lorimex.apks", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\.apks", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, fileExts + L".apk", L"Progid"), L"<missing>");
  // Not ours any more: left as they are.
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L".apkm", nullptr), L"Other.file");
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L".xapk", nullptr), L"Lorimex.xapk");
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L"Lorimex.xapk\\shell\\open\\command", nullptr), elsewhere);
  EXPECT_EQ(RegistryText(HKEY_CLASSES_ROOT, L"Lorimex.xapk", nullptr), L"Android程序安装包 (.xapk)");
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, fileExts + L".xapk", L"Progid"), L"Lorimex.xapk");
}

// ------------------------------------------------------------------ update, offline

TEST(UpdateText, VersionsNamesAndProgress) {
  EXPECT_EQ(OwnVersionNumber(), 30);  // "FileVersion" "3.0" of the resources
  EXPECT_EQ(VersionNumber("3.0"), 30);
  EXPECT_EQ(VersionNumber("3.1.2"), 312);
  EXPECT_EQ(VersionNumber("beta"), 0);

  EXPECT_EQ(DownloadFileName("https://h/dl/apk-setup.exe?x=1#top"), "apk-setup.exe");
  for (const char* hostile : {"http://h/../../evil.exe", "http://h/a\\..\\..\\evil.exe", "http://h/..%2f..%2fevil.exe",
                              "http://h/C:evil.exe", "http://h/..", "http://h/", "http://h/nul.txt", "http://h/COM1",
                              "http://h/%E6%96%B0.exe"}) {
    std::string name = DownloadFileName(hostile);
    EXPECT_FALSE(name.empty()) << hostile;
    EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-"),
              std::string::npos)
        << hostile << " -> " << name;
    EXPECT_EQ(name.find(".."), std::string::npos) << hostile << " -> " << name;
    EXPECT_NE(name, ".") << hostile;
    EXPECT_FALSE(IsSetupName(name));
  }
  EXPECT_EQ(DownloadFileName("http://h/nul.txt"), "_nul.txt");
  EXPECT_EQ(DownloadFileName("http://h/C:evil.exe"), "Cevil.exe");

  // The first second counts as one: 200 KB received at once is 200 KB/s.
  EXPECT_EQ(DownloadProgressText(200 * 1024, 400 * 1024, 0), "正在下载新版本，已经完成了 50 %, 当前速度为 200 KB/s");
  EXPECT_EQ(DownloadProgressText(300 * 1024, 400 * 1024, 2), "正在下载新版本，已经完成了 75 %, 当前速度为 150 KB/s");
  EXPECT_EQ(DownloadProgressText(300 * 1024, 0, 3), "正在下载新版本，已经接收了 300 KB, 当前速度为 100 KB/s");
  EXPECT_EQ(DownloadPercent(500, 400), 100);  // a server that sends more than it announced
}

TEST(UpdateText, DescriptionAttributes) {
  UpdateOffer offer = ReadUpdateDescription(R"(<root url="https://h/apk-setup.exe" version="31" extra="1"/>)", 30);
  EXPECT_TRUE(offer.readable && offer.versionSeen && offer.newer && offer.urlSeen);
  EXPECT_EQ(offer.url, "https://h/apk-setup.exe");
  EXPECT_FALSE(ReadUpdateDescription(R"(<root version="30"/>)", 30).newer);
  EXPECT_FALSE(ReadUpdateDescription(R"(<root version="3.1"/>)", 30).newer);
  EXPECT_FALSE(ReadUpdateDescription(R"(<root Version="99"/>)", 30).versionSeen);  // names compare exactly
  EXPECT_FALSE(ReadUpdateDescription(R"(<update version="31"/>)", 30).readable);
  EXPECT_FALSE(ReadUpdateDescription("<root version=", 30).readable);

  const std::string digest(64, 'a');
  offer = ReadUpdateDescription("<root size=\"1234\" sha256=\"" + std::string(64, 'A') + "\"/>", 30);
  EXPECT_EQ(offer.size, 1234);
  EXPECT_EQ(offer.sha256, digest);  // hexadecimal in either case, kept in lower case
  for (const char* bad : {"", "-1", "12x", "1e3", " 12", "99999999999999999999999"})
    EXPECT_EQ(ReadUpdateDescription(std::string("<root size=\"") + bad + "\"/>", 30).size, -1) << bad;
  for (const std::string& bad : {digest.substr(1), digest + "a", digest.substr(1) + "g", std::string()})
    EXPECT_EQ(ReadUpdateDescription("<root sha256=\"" + bad + "\"/>", 30).sha256, "") << bad;
  EXPECT_EQ(ReadUpdateDescription("<root/>", 30).size, -1);

  // Known answers (FIPS 180-2), fed in pieces.
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  Sha256 pieces;
  const std::string million(1000000, 'a');
  for (size_t at = 0; at < million.size(); at += 40960)
    pieces.add(million.data() + at, std::min<size_t>(40960, million.size() - at));
  EXPECT_EQ(pieces.hex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");

  EXPECT_TRUE(IsSetupName("vantaro-setup-3.1.exe"));
  EXPECT_TRUE(IsSetupName("APK-Setup.exe"));
  EXPECT_FALSE(IsSetupName("vantaro-setup-.exe"));
  EXPECT_FALSE(IsSetupName("vantaro-setup-3.1.exe.txt"));
}

// ------------------------------------------------------------------ update, against the server

class RecordingDisplay : public UpdateDisplay {
 public:
  void ShowUpdateStatus(const std::string& text) override { add(statuses_, text); }
  void ShowUpdatePercent(int percent) override { add(events_, "percent " + std::to_string(percent)); }
  void DownloadStarting() override { add(events_, "download"); }
  void UpdateEnded() override { add(events_, "ended"); }

  std::vector<std::string> statuses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statuses_;
  }
  std::vector<std::string> events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  std::string lastStatus() const {
    auto all = statuses();
    return all.empty() ? std::string() : all.back();
  }
  bool sawStatusStarting(const std::string& prefix) const {
    for (const auto& s : statuses())
      if (s.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
  }

 private:
  void add(std::vector<std::string>& list, const std::string& item) {
    std::lock_guard<std::mutex> lock(mutex_);
    list.push_back(item);
  }
  mutable std::mutex mutex_;
  std::vector<std::string> statuses_;
  std::vector<std::string> events_;
};

const std::string kNetworkError = "网络错误，错误信息 ";
const std::string kProgress = "正在下载新版本，已经完成了 ";

// The description of the local server, as VANTARO_UPDATE_URL names it: the
// setup may come over plain http.
UpdateSource Local(const std::string& address) { return UpdateSource{address, true}; }

class UpdateTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_FALSE(Environment(L"VANTARO_TEST_SERVER").empty()) << "run through with-update-server";
    const std::wstring served = Environment(L"VANTARO_TEST_SERVE_DIR");
    const std::wstring setup = Wide(TEST_SETUP_PATH);
    ASSERT_TRUE(CopyFileW(setup.c_str(), (served + L"apk-setup.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(setup.c_str(), (served + L"other.bin").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(setup.c_str(), (served + L"evil.exe").c_str(), FALSE));
    WriteText(served + L"big.bin", std::string(2 * 1024 * 1024, 'x'));
  }

  // The temporary folder's name holds a character that GBK lacks.
  void SetUp() override {
    temp_ = folder_.sub(L"J\u00f6rg") + L"b\\";
    CreateDirectoryW(temp_.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", temp_.c_str());
    SetEnvironmentVariableW(L"TEMP", temp_.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TMP", savedTmp_.c_str());
    SetEnvironmentVariableW(L"TEMP", savedTemp_.c_str());
  }

  static std::string Server() { return Gbk(Environment(L"VANTARO_TEST_SERVER")); }
  // Serves a description and returns its address.
  std::string Describe(const std::string& xml) {
    static int counter = 0;
    std::string name = "update-" + std::to_string(counter++) + ".xml";
    WriteText(Environment(L"VANTARO_TEST_SERVE_DIR") + Wide(name), xml);
    return Server() + "/" + name;
  }
  // A description of the served file named by the address's last segment,
  // with that file's size and SHA-256.
  std::string Offer(const std::string& version, const std::string& path) {
    return Describe("<root version=\"" + version + "\" url=\"" + Server() + path + "\"" + Pin(path) + "/>");
  }
  static std::string Pin(const std::string& path) {
    const std::string bytes =
        ReadBytes(Environment(L"VANTARO_TEST_SERVE_DIR") + Wide(path.substr(path.find_last_of('/') + 1)));
    return " size=\"" + std::to_string(bytes.size()) + "\" sha256=\"" + Sha256Hex(bytes) + "\"";
  }
  static bool WaitFor(const std::wstring& path, ULONGLONG milliseconds) {
    for (ULONGLONG end = GetTickCount64() + milliseconds; GetTickCount64() < end; Sleep(50))
      if (Exists(path)) return true;
    return Exists(path);
  }

  const std::wstring savedTmp_ = Environment(L"TMP");
  const std::wstring savedTemp_ = Environment(L"TEMP");
  Folder folder_;
  std::wstring temp_;
  RecordingDisplay display_;
};

TEST_F(UpdateTest, NewerVersionIsDownloadedIntoTheTemporaryFolderAndStarted) {
  UpdateChecker checker(display_, 30, Local(Offer("31", "/apk-setup.exe")));
  EXPECT_EQ(checker.RunUpdate(), 0);

  const auto statuses = display_.statuses();
  ASSERT_GE(statuses.size(), 3u);
  EXPECT_EQ(statuses.front(), "发现新版本,正在下载");
  EXPECT_EQ(statuses[1].compare(0, kProgress.size(), kProgress), 0) << statuses[1];
  EXPECT_EQ(statuses.back(), "新版本已经下载完成");
  const auto events = display_.events();
  EXPECT_EQ(events.front(), "download");
  EXPECT_EQ(events[events.size() - 2], "percent 100");
  EXPECT_EQ(events.back(), "ended");

  EXPECT_EQ(FileSize(temp_ + L"apk-setup.exe"), FileSize(Wide(TEST_SETUP_PATH)));
  EXPECT_TRUE(WaitFor(temp_ + L"apk-setup.exe.ran", 15000)) << "the setup was not started";
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_FALSE(Exists(std::wstring(current) + L"\\apk-setup.exe.ran"));
}

// "url" before "version", and a file under another name than the setup's:
// downloaded, not started.
TEST_F(UpdateTest, UrlFirstWorksAndOnlyTheSetupNameIsStarted) {
  UpdateChecker checker(display_, 30,
                        Local(Describe("<root url=\"" + Server() + "/other.bin\" version=\"31\"" + Pin("/other.bin") + "/>")));
  ASSERT_TRUE(checker.CheckForUpdate());
  EXPECT_EQ(checker.DownloadUpdate(), UpdateChecker::DownloadResult::Saved);
  EXPECT_EQ(display_.lastStatus(), "新版本已经下载完成");
  EXPECT_EQ(FileSize(temp_ + L"other.bin"), FileSize(Wide(TEST_SETUP_PATH)));
  Sleep(1000);
  EXPECT_FALSE(Exists(temp_ + L"other.bin.ran"));
}

TEST_F(UpdateTest, CheckFailuresSayTheNetworkTimedOut) {
  const std::string failures[] = {
      "http://127.0.0.1:1/vantaro-update.xml",      // nobody listens
      Server() + "/missing.xml",                    // 404
      Describe("this is not XML"),                  //
      Describe("<update version=\"31\"/>"),         // no "root"
  };
  for (const std::string& address : failures) {
    RecordingDisplay display;
    UpdateChecker checker(display, 30, Local(address));
    EXPECT_EQ(checker.RunUpdate(), 0);
    EXPECT_EQ(display.statuses(), std::vector<std::string>{"网络连接超时，请稍后再试"}) << address;
    EXPECT_EQ(display.events(), std::vector<std::string>{"ended"}) << address;
  }
}

TEST_F(UpdateTest, DownloadFailuresShowTheNetworkErrorAndStartNothing) {
  // No "url": the empty address fails at once.
  {
    RecordingDisplay display;
    UpdateChecker checker(display, 30, Local(Describe("<root version=\"31\"" + Pin("/apk-setup.exe") + "/>")));
    checker.RunUpdate();
    EXPECT_EQ(display.statuses().size(), 2u);
    EXPECT_TRUE(display.lastStatus().size() > kNetworkError.size() &&
                display.lastStatus().compare(0, kNetworkError.size(), kNetworkError) == 0)
        << display.lastStatus();
  }
  // The body ends before the announced length (which the description
  // gives too).
  {
    RecordingDisplay display;
    const std::string bytes = ReadBytes(Wide(TEST_SETUP_PATH));
    UpdateChecker checker(display, 30,
                          Local(Describe("<root version=\"31\" url=\"" + Server() + "/short/apk-setup.exe\" size=\"" +
                                         std::to_string(bytes.size() + 1000) + "\" sha256=\"" + Sha256Hex(bytes) +
                                         "\"/>")));
    checker.RunUpdate();
    EXPECT_EQ(display.lastStatus(), kNetworkError + "下载的文件不完整");
    EXPECT_FALSE(Exists(temp_ + L"apk-setup.exe"));
  }
  // The local file cannot be created: held open by somebody else.
  {
    RecordingDisplay display;
    HANDLE held = CreateFileW((temp_ + L"apk-setup.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    UpdateChecker checker(display, 30, Local(Offer("31", "/apk-setup.exe")));
    EXPECT_EQ(checker.RunUpdate(), 0);
    CloseHandle(held);
    EXPECT_GT(display.lastStatus().size(), kNetworkError.size());
    EXPECT_EQ(display.lastStatus().compare(0, kNetworkError.size(), kNetworkError), 0) << display.lastStatus();
    EXPECT_EQ(display.events().back(), "ended");
  }
  Sleep(1000);
  EXPECT_FALSE(Exists(temp_ + L"apk-setup.exe.ran"));
}

// Downloads that end badly or are refused leave no file and start nothing:
// cut short without a length (a reset, or chunks without the last one),
// announced or grown beyond the largest download, or a setup offered over
// plain http by a description that is not the tests' own.
TEST_F(UpdateTest, BrokenOversizedAndPlainHttpDownloadsLeaveNoFileAndStartNothing) {
  struct Case {
    const char* what;
    UpdateSource source;
    int64_t limit;
    std::string status;  // the last status, or its beginning when it ends with a space
  };
  const Case cases[] = {
      {"reset, no length", Local(Offer("31", "/cut/apk-setup.exe")), kLargestDownload, kNetworkError},
      {"chunks cut short", Local(Offer("31", "/chunkcut/apk-setup.exe")), kLargestDownload, kNetworkError},
      {"announced 300 MiB", Local(Offer("31", "/huge/apk-setup.exe")), kLargestDownload, kDownloadTooLargeText},
      {"grows past the limit", Local(Offer("31", "/nolength/big.bin")), 1024 * 1024, kDownloadTooLargeText},
      {"plain http", UpdateSource{Offer("31", "/apk-setup.exe"), false}, kLargestDownload, kInsecureDownloadText},
  };
  for (const Case& c : cases) {
    RecordingDisplay display;
    UpdateChecker checker(display, 30, c.source);
    checker.downloadLimit = c.limit;
    EXPECT_EQ(checker.RunUpdate(), 0);
    const std::string last = display.lastStatus();
    if (c.status.back() == ' ') {
      EXPECT_TRUE(last.size() > c.status.size() && last.compare(0, c.status.size(), c.status) == 0)
          << c.what << ": " << gbkToUtf8(last);
    } else {
      EXPECT_EQ(last, c.status) << c.what;
    }
    EXPECT_EQ(display.events().back(), "ended") << c.what;
    EXPECT_FALSE(Exists(temp_ + L"apk-setup.exe")) << c.what;
    EXPECT_FALSE(Exists(temp_ + L"big.bin")) << c.what;
    DeleteFileW((temp_ + L"apk-setup.exe").c_str());  // so that one failure does not hide the next
    DeleteFileW((temp_ + L"big.bin").c_str());
    if (c.status != kNetworkError && c.limit == kLargestDownload) {  // refused before any byte
      EXPECT_FALSE(display.sawStatusStarting("正在下载新版本")) << c.what;
    }
  }
  Sleep(1000);
  EXPECT_FALSE(Exists(temp_ + L"apk-setup.exe.ran"));
}

// Only what the description pins down is started: a setup with one byte
// changed, one of another size, and a description without the size or the
// digest (an older server) each give the plain text, leave no file and start
// nothing.
TEST_F(UpdateTest, OnlyTheDescribedSetupIsStarted) {
  const std::wstring served = Environment(L"VANTARO_TEST_SERVE_DIR");
  const std::string pin = Pin("/apk-setup.exe");
  std::string changed = ReadBytes(Wide(TEST_SETUP_PATH));
  ASSERT_GT(changed.size(), 1000u);
  changed[changed.size() / 2] ^= 1;
  WriteText(served + L"vantaro-setup-3.1.exe", changed);
  const std::string setup = " url=\"" + Server() + "/vantaro-setup-3.1.exe\"";
  const std::string sizeOnly = pin.substr(0, pin.find(" sha256"));
  const std::string digestOnly = pin.substr(pin.find(" sha256"));
  struct Case {
    const char* what;
    std::string attributes;
    std::string status;
    bool fetched;  // whether the file was asked for at all
  };
  const Case cases[] = {
      {"one byte changed", setup + pin, kMismatchText, true},
      {"another size", setup + " size=\"" + std::to_string(changed.size() + 1) + "\"" + digestOnly, kMismatchText, false},
      {"no digest", setup + sizeOnly, kUncheckableOfferText, false},
      {"no size", setup + digestOnly, kUncheckableOfferText, false},
      {"malformed digest", setup + sizeOnly + " sha256=\"" + std::string(64, 'z') + "\"", kUncheckableOfferText, false},
      {"one byte changed, no length", " url=\"" + Server() + "/nolength/vantaro-setup-3.1.exe\"" + pin, kMismatchText, true},
  };
  for (const Case& c : cases) {
    RecordingDisplay display;
    UpdateChecker checker(display, 30, Local(Describe("<root version=\"31\"" + c.attributes + "/>")));
    EXPECT_EQ(checker.RunUpdate(), 0);
    EXPECT_EQ(display.lastStatus(), c.status) << c.what;
    EXPECT_EQ(display.sawStatusStarting("正在下载新版本"), c.fetched) << c.what;
    EXPECT_FALSE(Exists(temp_ + L"vantaro-setup-3.1.exe")) << c.what;
  }
  // The same file, truly described, is started.
  WriteText(served + L"vantaro-setup-3.1.exe", ReadBytes(Wide(TEST_SETUP_PATH)));
  UpdateChecker checker(display_, 30, Local(Offer("31", "/vantaro-setup-3.1.exe")));
  checker.RunUpdate();
  EXPECT_EQ(display_.lastStatus(), "新版本已经下载完成");
  EXPECT_TRUE(WaitFor(temp_ + L"vantaro-setup-3.1.exe.ran", 15000));
}

TEST_F(UpdateTest, NoLengthShowsTheAmountReceivedAndSpeed) {
  UpdateChecker checker(display_, 30, Local(Offer("31", "/nolength/apk-setup.exe")));
  checker.RunUpdate();
  EXPECT_TRUE(display_.sawStatusStarting("正在下载新版本，已经接收了 "));
  EXPECT_FALSE(display_.sawStatusStarting(kProgress));
  for (const std::string& event : display_.events()) EXPECT_EQ(event.find("percent"), std::string::npos);
  EXPECT_EQ(display_.lastStatus(), "新版本已经下载完成");
  EXPECT_TRUE(WaitFor(temp_ + L"apk-setup.exe.ran", 15000));
}

TEST_F(UpdateTest, HostileNameStaysInTheTemporaryFolderAndIsNotStarted) {
  UpdateChecker checker(display_, 30, Local(Offer("31", "/../../evil.exe")));
  checker.RunUpdate();
  EXPECT_EQ(display_.lastStatus(), "新版本已经下载完成");
  EXPECT_TRUE(Exists(temp_ + L"evil.exe"));
  EXPECT_FALSE(Exists(folder_.path() + L"J\u00f6rg\\evil.exe"));
  EXPECT_FALSE(Exists(folder_.path() + L"evil.exe"));
  Sleep(1000);
  EXPECT_FALSE(Exists(temp_ + L"evil.exe.ran"));
}

// A server that never answers holds the check no longer than the receive
// time-out (7 s; on Windows, Stop() closing the handles ends it at once), and
// a stopped check shows nothing.
TEST_F(UpdateTest, StopEndsAStalledCheckWithinTheTimeOut) {
  UpdateChecker checker(display_, 30, Local(Server() + "/stall"));
  const ULONGLONG started = GetTickCount64();
  std::thread worker([&] { checker.RunUpdate(); });
  Sleep(500);
  checker.Stop();
  worker.join();
  EXPECT_LT(GetTickCount64() - started, 9000u);
  EXPECT_TRUE(display_.statuses().empty());
}

}  // namespace
}  // namespace vantaro
