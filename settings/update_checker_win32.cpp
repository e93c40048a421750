#include "settings/update_checker.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/text.h"
#include "settings/adb_component.h"
#include "settings/digest.h"
#include "settings/file_association.h"
#include "settings/update_description.h"

namespace vantaro {

const char* const kUpdateAddress = "https://update.vantaro.example/vantaro-update.xml";
const char* const kUpdateAddressVariable = "VANTARO_UPDATE_URL";

namespace {

constexpr DWORD kReadSize = 40960;
// What the progress line says is being downloaded.
const char* const kUpdateSubject = "新版本";
const char* const kComponentSubject = " adb 组件";
constexpr size_t kLongestDescription = 64 * 1024;

std::wstring Wide(std::string_view gbk) {
  std::u16string text = gbkToWide(gbk);
  return std::wstring(text.begin(), text.end());
}

std::string Gbk(const wchar_t* text, size_t length) {
  return wideToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

// The system's text for an error code: the internet library's own texts for
// its codes, the system's for the rest; at most 255 characters.
std::string ErrorMessage(DWORD code) {
  wchar_t text[256] = {};
  DWORD length = 0;
  if (code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST)
    length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, GetModuleHandleW(L"wininet.dll"),
                            code, 0, text, 256, nullptr);
  if (length == 0)
    length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 256,
                            nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) --length;
  if (length == 0) {
    char fallback[48];
    std::snprintf(fallback, sizeof fallback, "错误代码 %lu", static_cast<unsigned long>(code));
    return fallback;
  }
  return Gbk(text, length > 255 ? 255 : length);
}

// A header of an HTTP answer as text; empty when there is none.
std::wstring Header(HINTERNET request, DWORD query) {
  wchar_t text[128];
  DWORD size = sizeof text;
  if (!HttpQueryInfoW(request, query, text, &size, nullptr)) return std::wstring();
  return std::wstring(text, size / sizeof(wchar_t));
}

// The answer's status as the reason of a failure, or empty when it is a
// success (or no HTTP answer at all).
std::string HttpFailure(HINTERNET request) {
  DWORD status = 0, size = sizeof status;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return {};
  if (status >= 200 && status < 300) return {};
  char number[24];
  std::snprintf(number, sizeof number, "HTTP %lu ", static_cast<unsigned long>(status));
  std::wstring text = Header(request, HTTP_QUERY_STATUS_TEXT);
  std::string reason = number;
  reason.append(Gbk(text.data(), text.size()));
  while (!reason.empty() && reason.back() == ' ') reason.pop_back();
  return reason;
}

// The announced length of the body; false when the server does not say (or
// says something that is no length). A length too large to count is the
// largest count: it is refused all the same.
bool ContentLength(HINTERNET request, int64_t& length) {
  std::wstring text = Header(request, HTTP_QUERY_CONTENT_LENGTH);
  if (text.empty()) return false;
  length = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    length = length > (INT64_MAX - 9) / 10 ? INT64_MAX : length * 10 + (c - L'0');
  }
  return true;
}

// True when url, as the internet library reads it, asks for plain http.
bool IsPlainHttp(const std::wstring& url) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  return InternetCrackUrlW(url.c_str(), 0, 0, &parts) && parts.nScheme == INTERNET_SCHEME_HTTP;
}

// The system's temporary folder, ending with a separator; its name kept as
// the system gave it (characters GBK lacks included). Empty when unknown.
std::string DownloadFolder() {
  DWORD needed = GetTempPathW(0, nullptr);
  if (needed == 0) return std::string();
  std::vector<wchar_t> buffer(needed + 1);
  DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return std::string();
  return wideToGbkPath(std::u16string_view(reinterpret_cast<const char16_t*>(buffer.data()), length));
}

// The file a download is written to. Unless kept, it is removed when this
// object goes: a cancelled, refused or broken download leaves nothing behind.
class DownloadFile {
 public:
  DownloadFile() = default;
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;
  ~DownloadFile() {
    close();
    if (!path_.empty() && !kept_) DeleteFileW(path_.c_str());
  }

  bool create(const std::wstring& path) {
    file_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return false;
    path_ = path;
    return true;
  }
  bool write(const char* bytes, DWORD count) {
    while (count > 0) {
      DWORD written = 0;
      if (!WriteFile(file_, bytes, count, &written, nullptr) || written == 0) return false;
      bytes += written;
      count -= written;
    }
    return true;
  }
  // Closes the file and keeps it; false with error set when its last bytes
  // could not be written out (it is then removed).
  bool keep(DWORD& error) {
    kept_ = FlushFileBuffers(file_) != FALSE;
    if (!kept_) error = GetLastError();
    close();
    return kept_;
  }

 private:
  void close() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }

  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::wstring path_;
  bool kept_ = false;
};

}  // namespace

UpdateSource UpdateDescriptionSource() {
  const char* replaced = std::getenv(kUpdateAddressVariable);
  if (replaced && *replaced) return UpdateSource{replaced, true};
  return UpdateSource{kUpdateAddress, false};
}

int32_t OwnVersionNumber() {
  const std::wstring path = FileAssociation::ProgramPath();
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return 0;
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return 0;
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof(Translation))
    return 0;
  wchar_t name[64];
  std::swprintf(name, 64, L"\\StringFileInfo\\%04x%04x\\FileVersion", translation->language, translation->codePage);
  wchar_t* text = nullptr;
  if (!VerQueryValueW(data.data(), name, reinterpret_cast<void**>(&text), &length) || !text) return 0;
  size_t chars = 0;
  while (chars < length && text[chars]) ++chars;
  return VersionNumber(Gbk(text, chars));
}

// One request to one address: the library's root handle, the connection
// and the request, known to the checker so that Stop() can close them from
// another thread (which makes a blocked call return).
class UpdateChecker::Transfer {
 public:
  explicit Transfer(UpdateChecker& owner) : owner_(owner) {}
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;
  ~Transfer() { close(); }

  // Sends the request; false with error set when there is no answer.
  bool open(const std::string& address, DWORD& error) {
    std::wstring url = Wide(address);
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;  // point into url
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return failed(error, GetLastError());
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
      return failed(error, ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring object = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                          std::wstring(parts.lpszExtraInfo ? parts.lpszExtraInfo : L"", parts.dwExtraInfoLength);
    if (object.empty()) object = L"/";
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;

    HINTERNET request;
    {
      std::lock_guard<std::mutex> lock(owner_.handlesMutex_);
      if (owner_.stopped_) return failed(error, ERROR_INTERNET_OPERATION_CANCELLED);
      auto& [root, connection, opened] = owner_.handles_;
      root = InternetOpenW(L"Vantaro", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
      if (root) connection = InternetConnectW(root, host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1);
      // HTTP/1.0: the answer's body is counted (a length) or ends with the
      // connection, never in chunks whose cut-off end the library takes for
      // a clean one.
      if (connection)
        opened = HttpOpenRequestW(connection, L"GET", object.c_str(), L"HTTP/1.0", nullptr, nullptr, flags, 1);
      if (!opened) return failed(error, GetLastError());
      // On every level: some versions of the library pass them down, some
      // take them from the request only.
      for (HINTERNET handle : owner_.handles_) setTimeouts(handle);
      request = opened;
    }
    // Blocks until the answer's headers arrive (or a time-out, or Stop()).
    bool sent = HttpSendRequestW(request, nullptr, 0, nullptr, 0);
    DWORD sendError = GetLastError();
    std::lock_guard<std::mutex> lock(owner_.handlesMutex_);
    if (owner_.stopped_) return failed(error, ERROR_INTERNET_OPERATION_CANCELLED);
    if (!sent) return failed(error, sendError);
    request_ = request;
    return true;
  }

  // Reads up to size bytes; false with error set on a failure.
  bool read(char* buffer, DWORD size, DWORD& got, DWORD& error) {
    got = 0;
    if (InternetReadFile(request_, buffer, size, &got)) return true;
    error = GetLastError();
    return false;
  }

  HINTERNET request() const { return request_; }

  // The address the answer came from, after any redirection.
  std::wstring finalAddress() const {
    DWORD size = 0;
    InternetQueryOptionW(request_, INTERNET_OPTION_URL, nullptr, &size);
    if (size == 0) return std::wstring();
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1);
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!InternetQueryOptionW(request_, INTERNET_OPTION_URL, text.data(), &size)) return std::wstring();
    return std::wstring(text.data());
  }

  void close() {
    std::lock_guard<std::mutex> lock(owner_.handlesMutex_);
    owner_.closeHandles();
  }

 private:
  static bool failed(DWORD& error, DWORD code) {
    error = code;
    return false;
  }
  static void setTimeouts(HINTERNET handle) {
    const std::pair<DWORD, DWORD> timeouts[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, 5000},      {INTERNET_OPTION_SEND_TIMEOUT, 1000},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, 7000},      {INTERNET_OPTION_DATA_SEND_TIMEOUT, 1000},
        {INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, 7000},
    };
    for (auto [option, milliseconds] : timeouts) InternetSetOptionW(handle, option, &milliseconds, sizeof milliseconds);
  }

  UpdateChecker& owner_;
  HINTERNET request_ = nullptr;
};

UpdateChecker::UpdateChecker(UpdateDisplay& display, int32_t ownVersion, UpdateSource source)
    : ownVersion(ownVersion), display_(display), source_(std::move(source)) {}

UpdateChecker::~UpdateChecker() { Stop(); }

void UpdateChecker::Reset() {
  std::lock_guard<std::mutex> lock(handlesMutex_);
  stopped_ = false;
  cancelRequested = false;
}

void UpdateChecker::Stop() {
  cancelRequested = true;
  std::lock_guard<std::mutex> lock(handlesMutex_);
  stopped_ = true;
  closeHandles();
}

void UpdateChecker::closeHandles() {
  for (auto handle = handles_.rbegin(); handle != handles_.rend(); ++handle) {
    if (*handle) InternetCloseHandle(*handle);
    *handle = nullptr;
  }
}

int UpdateChecker::RunUpdate() {
  // The shell, which starts the setup, wants COM on the calling thread.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (CheckForUpdate() && !cancelRequested) {
    display_.DownloadStarting();
    DownloadUpdate();
  }
  display_.UpdateEnded();
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

bool UpdateChecker::CheckForUpdate() {
  std::string text;
  bool fetched = false;
  {
    Transfer transfer(*this);
    DWORD error = 0;
    if (transfer.open(source_.address, error) && HttpFailure(transfer.request()).empty()) {
      std::vector<char> buffer(4096);
      DWORD got = 0;
      bool readOk;
      while ((readOk = transfer.read(buffer.data(), static_cast<DWORD>(buffer.size()), got, error)) && got > 0) {
        text.append(buffer.data(), got);
        if (text.size() > kLongestDescription) break;  // no description is this long
      }
      fetched = readOk && got == 0;
    }
  }
  if (cancelRequested) return false;
  UpdateOffer offer = fetched ? ReadUpdateDescription(text, ownVersion) : UpdateOffer{};
  if (!offer.readable) {
    display_.ShowUpdateStatus(kCheckFailedText);
    return false;
  }
  if (offer.urlSeen) downloadAddress = offer.url;
  expectedSize = offer.size;
  expectedSha256 = offer.sha256;
  if (offer.versionSeen) display_.ShowUpdateStatus(offer.newer ? kNewVersionText : kNoNewVersionText);
  return offer.newer;
}

void UpdateChecker::fail(const std::string& reason) { display_.ShowUpdateStatus(NetworkErrorText(reason)); }

UpdateChecker::DownloadResult UpdateChecker::DownloadUpdate() {
  // Whoever answers for the address could send anything: only a file that
  // the description pins down by size and digest may be started.
  if (expectedSize < 0 || expectedSha256.empty()) {
    display_.ShowUpdateStatus(kUncheckableOfferText);
    return DownloadResult::Failed;
  }
  if (expectedSize > downloadLimit) {
    display_.ShowUpdateStatus(kDownloadTooLargeText);
    return DownloadResult::Failed;
  }
  const std::string name = DownloadFileName(downloadAddress);
  std::wstring path;
  DownloadResult result = fetch(downloadAddress, name, source_.plainHttpAllowed, true, kUpdateSubject, path);
  if (result != DownloadResult::Saved) return result;
  display_.ShowUpdateStatus(kDownloadDoneText);
  if (!IsSetupName(name)) return DownloadResult::Saved;
  std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
  ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
  return DownloadResult::Started;
}

ComponentResult UpdateChecker::FetchComponent(const std::wstring& folder) {
  const std::string address = PlatformToolsAddress();
  std::wstring path;
  const bool replaced = address != kPlatformToolsAddress;
  DownloadResult result = fetch(address, "platform-tools-windows.zip", replaced, false, kComponentSubject, path);
  if (result == DownloadResult::Cancelled) return {false, std::string()};
  if (result != DownloadResult::Saved) return {false, std::string()};  // the failure is shown
  ComponentResult installed = InstallAdbComponent(path, folder);
  DeleteFileW(path.c_str());
  display_.ShowUpdateStatus(installed.message);
  if (installed.installed) display_.ShowUpdatePercent(100);
  return installed;
}

int UpdateChecker::RunComponentFetch(const std::wstring& folder) {
  display_.DownloadStarting();
  FetchComponent(folder);
  display_.UpdateEnded();
  return 0;
}

UpdateChecker::DownloadResult UpdateChecker::fetch(const std::string& address, const std::string& name,
                                                   bool plainHttpAllowed, bool pinned, const char* subject,
                                                   std::wstring& savedPath) {
  // A setup that anybody on the way could replace is never started.
  if (!plainHttpAllowed && IsPlainHttp(Wide(address))) {
    display_.ShowUpdateStatus(kInsecureDownloadText);
    return DownloadResult::Failed;
  }
  Transfer transfer(*this);
  DWORD error = 0;
  if (!transfer.open(address, error)) {
    if (cancelRequested) return DownloadResult::Cancelled;
    fail(ErrorMessage(error));
    return DownloadResult::Failed;
  }
  if (!plainHttpAllowed && IsPlainHttp(transfer.finalAddress())) {  // redirected
    display_.ShowUpdateStatus(kInsecureDownloadText);
    return DownloadResult::Failed;
  }
  if (std::string status = HttpFailure(transfer.request()); !status.empty()) {
    fail(status);
    return DownloadResult::Failed;
  }
  int64_t total = 0;
  const bool lengthKnown = ContentLength(transfer.request(), total) && total > 0;
  if (!lengthKnown && !Header(transfer.request(), HTTP_QUERY_TRANSFER_ENCODING).empty()) {
    // Chunks despite HTTP/1.0: where such a body ends cannot be told.
    fail(kUncountedAnswerText);
    return DownloadResult::Failed;
  }
  if (lengthKnown && total > downloadLimit) {
    display_.ShowUpdateStatus(kDownloadTooLargeText);
    return DownloadResult::Failed;
  }
  if (pinned && lengthKnown && total != expectedSize) {
    display_.ShowUpdateStatus(kMismatchText);
    return DownloadResult::Failed;
  }

  const std::string folder = DownloadFolder();
  const std::wstring path = Wide(folder + name);
  DownloadFile file;
  if (folder.empty() || !file.create(path)) {
    fail(ErrorMessage(folder.empty() ? ERROR_PATH_NOT_FOUND : GetLastError()));
    return DownloadResult::Failed;
  }

  const ULONGLONG start = GetTickCount64();
  Sha256 digest;
  std::vector<char> buffer(kReadSize);
  int64_t received = 0;
  for (;;) {
    DWORD got = 0;
    bool readOk = transfer.read(buffer.data(), kReadSize, got, error);
    if (cancelRequested) return DownloadResult::Cancelled;
    // Without a length only a read that ends the body cleanly says the file
    // is whole; a broken connection leaves a piece of unknown size.
    if (!readOk) {
      fail(ErrorMessage(error));
      return DownloadResult::Failed;
    }
    if (got == 0) break;
    if (got > downloadLimit - received) {
      display_.ShowUpdateStatus(kDownloadTooLargeText);
      return DownloadResult::Failed;
    }
    if (pinned && got > expectedSize - received) {  // more than the description said
      display_.ShowUpdateStatus(kMismatchText);
      return DownloadResult::Failed;
    }
    digest.add(buffer.data(), got);
    const int64_t elapsed = static_cast<int64_t>((GetTickCount64() - start) / 1000);
    if (!file.write(buffer.data(), got)) {
      fail(ErrorMessage(GetLastError()));
      return DownloadResult::Failed;
    }
    received += got;
    if (lengthKnown) display_.ShowUpdatePercent(DownloadPercent(received, total));
    display_.ShowUpdateStatus(DownloadProgressText(received, lengthKnown ? total : 0, elapsed, subject));
  }
  if (lengthKnown && received < total) {
    fail(kDownloadIncompleteText);
    return DownloadResult::Failed;
  }
  if (pinned && (received != expectedSize || digest.hex() != expectedSha256)) {
    display_.ShowUpdateStatus(kMismatchText);
    return DownloadResult::Failed;
  }
  if (!file.keep(error)) {
    fail(ErrorMessage(error));
    return DownloadResult::Failed;
  }
  savedPath = path;
  return DownloadResult::Saved;
}

}  // namespace vantaro
