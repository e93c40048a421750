#pragma once
// The update: fetch the update description, and when it offers a newer
// version, download the setup program it names into the temporary folder,
// showing progress and speed, and start it once its size and SHA-256 are
// those the description gave. Runs on a worker thread started
// by the settings dialog; everything it shows goes through UpdateDisplay.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "settings/adb_component.h"

namespace vantaro {

enum class UpdateState : int32_t { Idle = 0, Checking = 1, Downloading = 2 };

// Where the update description lives. The environment variable
// VANTARO_UPDATE_URL, when set, replaces it (tests point it at a local
// server).
extern const char* const kUpdateAddress;
extern const char* const kUpdateAddressVariable;

struct UpdateSource {
  std::string address;             // GBK
  // The address came from VANTARO_UPDATE_URL: the setup may then come over
  // plain http too (a local test server has no certificate).
  bool plainHttpAllowed = false;
};
UpdateSource UpdateDescriptionSource();

// No setup is this large: a download announced or grown beyond it stops.
constexpr int64_t kLargestDownload = 256 * 1024 * 1024;

// The program file's own version: the "FileVersion" text of its version
// resource as VersionNumber() reads it ("3.0" gives 30); 0 when unreadable.
int32_t OwnVersionNumber();

// What the update shows. Called on the worker's thread.
class UpdateDisplay {
 public:
  virtual void ShowUpdateStatus(const std::string& text) = 0;  // GBK
  virtual void ShowUpdatePercent(int percent) = 0;
  // The check button becomes the cancel button.
  virtual void DownloadStarting() = 0;
  // The worker is about to end: the cancel button becomes the check button.
  virtual void UpdateEnded() = 0;

 protected:
  ~UpdateDisplay() = default;
};

class UpdateChecker {
 public:
  enum class DownloadResult { Started, Saved, Failed, Cancelled };

  UpdateChecker(UpdateDisplay& display, int32_t ownVersion, UpdateSource source);
  UpdateChecker(const UpdateChecker&) = delete;
  UpdateChecker& operator=(const UpdateChecker&) = delete;
  ~UpdateChecker();

  // The worker's body: check, then download when a newer version is offered
  // and nobody asked to stop meanwhile. Returns 0.
  int RunUpdate();
  // True when the description offers a version above ownVersion; takes
  // downloadAddress from it.
  bool CheckForUpdate();
  // Downloads downloadAddress into the temporary folder and starts it when
  // it is the setup program. Only a download that ended cleanly with the
  // size and SHA-256 of the description is kept: a failed, refused,
  // mismatched or cancelled one leaves no file behind. A description
  // without both is refused before anything is fetched.
  DownloadResult DownloadUpdate();

  // The adb component: downloads Google's Platform-Tools zip
  // (PlatformToolsAddress(); over https unless the tests' variable replaced
  // it) into the temporary folder the same way, with progress, cancel and
  // limits; takes adb.exe and its two libraries into folder
  // (InstallAdbComponent) and removes the zip. What came of it is shown.
  ComponentResult FetchComponent(const std::wstring& folder);
  // The worker's body for it: the button cancels while it runs.
  int RunComponentFetch(const std::wstring& folder);

  // Before a run, on the dialog's thread.
  void Reset();
  // From any thread: the download ends after its current read.
  void RequestCancel() { cancelRequested = true; }
  // From any thread: as RequestCancel, and the open transfer is cut off so
  // that a blocked connect or read returns at once.
  void Stop();

  std::atomic<bool> cancelRequested{false};
  const int32_t ownVersion;
  std::string downloadAddress;  // GBK; written and read by the worker only
  // What the last description said the download is (UpdateOffer); the
  // worker's only.
  int64_t expectedSize = -1;
  std::string expectedSha256;
  int64_t downloadLimit = kLargestDownload;  // bytes; set before a run

 private:
  class Transfer;

  // Downloads address into the temporary folder under name, with progress
  // naming subject. When pinned, the file must have expectedSize bytes and
  // the SHA-256 expectedSha256. Saved (with savedPath) only for a whole file;
  // otherwise the failure is shown and no file is left.
  DownloadResult fetch(const std::string& address, const std::string& name, bool plainHttpAllowed, bool pinned,
                       const char* subject, std::wstring& savedPath);
  // "网络错误，错误信息 %s" with reason.
  void fail(const std::string& reason);

  UpdateDisplay& display_;
  const UpdateSource source_;
  // Closes the handles of the running transfer; handlesMutex_ held.
  void closeHandles();

  std::mutex handlesMutex_;
  // HINTERNET handles of the running transfer: the library's root, the
  // connection, the request; null where none is open.
  std::array<void*, 3> handles_{};
  bool stopped_ = false;
};

}  // namespace vantaro
