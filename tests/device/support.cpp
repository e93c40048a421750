#include "support.h"

#include <atomic>
#include <cstdio>

#include "device/runner.h"
#include "install/system.h"

namespace vantaro::test {

TempFolder::TempFolder(const std::string& leaf) {
  static std::atomic<int> counter{0};
  std::string base = TemporaryFolder() + "vantaro-tests" + PathSeparator();
  MakeFolder(base);
  for (;;) {
    path_ = base + leaf + "-" + std::to_string(counter++) + PathSeparator();
    if (MakeFolder(path_)) break;
  }
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void WriteFile(const std::string& path, const std::string& bytes) {
  if (FILE* f = OpenFile(path, "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

std::string ReadFile(const std::string& path) {
  std::string out;
  if (FILE* f = OpenFile(path, "rb")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) out.append(buffer, n);
    std::fclose(f);
  }
  return out;
}

namespace {
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}
}  // namespace

FakeAdb::FakeAdb(const std::string& scenario) : folder_("fake-adb"), log_(folder_.path() + "log") {
  WriteFile(folder_.path() + "scenario", scenario);
  SetEnvironment("FAKE_ADB_SCENARIO", folder_.path() + "scenario");
  SetEnvironment("FAKE_ADB_LOG", log_);
}

FakeAdb::~FakeAdb() {
  for (long pid : Lingering()) {
    for (int i = 0; i < 50 && ProcessAlive(pid); ++i) SleepMs(20);
    if (ProcessAlive(pid)) KillProcess(pid);
  }
}

std::string FakeAdb::path() const { return NativePath(FAKE_ADB_PATH); }

std::vector<std::string> FakeAdb::Log() const { return Lines(ReadFile(log_)); }

std::vector<std::string> FakeAdb::Sent() const { return Lines(ReadFile(log_ + ".files")); }

std::vector<std::string> FakeAdb::RawLog() const { return Lines(ReadFile(log_ + ".raw")); }

std::vector<std::string> FakeAdb::WaitForLog(size_t count, unsigned ms) const {
  for (unsigned waited = 0; Log().size() < count && waited < ms; waited += 20) SleepMs(20);
  return Log();
}

std::vector<long> FakeAdb::Lingering() const {
  std::vector<long> pids;
  for (const std::string& line : Lines(ReadFile(log_ + ".holders"))) pids.push_back(std::atol(line.c_str()));
  return pids;
}

ScopedEnvironment::~ScopedEnvironment() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->wasSet) SetEnvironment(it->name, it->value);
    else UnsetEnvironment(it->name);
  }
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value) {
  Saved saved{name, std::string(), false};
  saved.wasSet = GetEnvironment(name, saved.value);
  saved_.push_back(saved);
  SetEnvironment(name, value);
}

std::string InQuotes(const std::string& text) {
  std::string quoted(1, '"');
  quoted += text;
  quoted += '"';
  return quoted;
}

std::string DeviceListingRule(const std::vector<std::string>& serials) {
  std::string rule = "match devices\nout List of devices attached\\n";
  for (const std::string& s : serials) rule += s + "\\tdevice\\n";
  return rule + "\\n\n";
}

std::tm FixedLocalTime() {
  std::tm t{};
  t.tm_year = 111;
  t.tm_mon = 4;
  t.tm_mday = 3;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 7;
  return t;
}

}  // namespace vantaro::test
