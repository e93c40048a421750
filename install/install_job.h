#pragma once
// The install job: resolve the phone, check the computer's free space, copy
// the package to a temporary file with a digits-only name, run adb's install
// on the copy, show the classified outcome, remove the copy.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "base/status.h"
#include "device/resolve.h"
#include "install/classify.h"

namespace vantaro {

// Where the job's texts go: the message line of the window that runs it.
class MessageLine {
 public:
  virtual void ShowMessage(const std::string& text, StatusKind kind) = 0;

 protected:
  ~MessageLine() = default;
};

// The texts of one install among several, each with the same prefix before
// it ("(2/5) ", a phone's serial); keeps the last text unprefixed, for the
// summary at the end.
class CountedLine : public MessageLine {
 public:
  CountedLine(MessageLine& line, std::string prefix) : line_(line), prefix_(std::move(prefix)) {}
  void ShowMessage(const std::string& text, StatusKind kind) override {
    line_.ShowMessage(prefix_ + text, kind);
    last_ = text;
  }
  // For the texts from now on (the phone is known only once it is chosen).
  void SetPrefix(std::string prefix) { prefix_ = std::move(prefix); }
  const std::string& last() const { return last_; }

 private:
  MessageLine& line_;
  std::string prefix_;
  std::string last_;
};

// "(number/total) ", the counter before the texts of one install of several.
std::string CounterPrefix(size_t number, size_t total);

// What the job needs from the system; tests replace any part of it.
struct InstallServices {
  DeviceBridge bridge;
  DeviceChooser chooser = ChooseNoDevice;
  // Finds the target phone; when empty, ResolveTargetDevice(bridge, chooser).
  std::function<ResolveResult()> resolveDevice;
  std::function<int64_t()> freeMegabytes;      // default FreeMegabytesOnTempDrive
  std::function<std::string()> temporaryFolder;  // default TemporaryFolder
  std::function<std::tm()> localTime;          // default the local time now

  InstallServices();
};

// One package to install, and how this caller's install differs.
struct InstallRequest {
  std::string path;  // the package file, GBK
  int64_t fileSize = 0;
  bool sdCardAllowed = false;
  bool sdBoxTicked = false;  // "优先装到SD卡上"

  bool replace = true;              // "install -r" with the SD option; else plain "install"
  int64_t neededMegabytes = -1;     // more than this must be free; -1: the package's whole MiB
  bool sizeDependentWaitText = true;  // the longer waiting text above 10,000,000 bytes
  std::string noneChosenText = kNoneChosenText;
  std::string successText = kInstallSuccessText;

  // The essentials dialog's install of one companion package.
  static InstallRequest Essentials(const std::string& path);
};

extern const char* const kNoPackageText;       // no usable file to install
extern const char* const kNoSpaceText;
extern const char* const kPackageLostText;
extern const char* const kWaitText;
extern const char* const kLongWaitText;
extern const char* const kTemporaryFolderText;
extern const char* const kToolMissingText;
extern const char* const kInstallTimedOutText;  // adb's install did not end within its time-out

// The main window's install worker: checks the path, then InstallStep.
// True when the job ended with the success text.
bool InstallPackage(const InstallRequest& request, const InstallServices& services, MessageLine& line);

// The job from the device resolution on; every failure shows one Error text.
bool InstallStep(const InstallRequest& request, const InstallServices& services, MessageLine& line);

// "%d%02d%02d%d%02d%02d" of year, month, day, hour, minute, second.
std::string TemporaryCopyName(const std::tm& time);

// Copies source into folder under the digits-only name of time and ".apk",
// creating the copy exclusively; when that name is taken, digits are added
// until a free one is found. Returns the copy's path, empty on failure.
std::string MakeTemporaryCopy(const std::string& source, const std::string& folder, const std::tm& time);

}  // namespace vantaro
