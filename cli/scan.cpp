// vantaro-cli scan: every package and bundle under some folders, analysed in
// parallel, one JSON line each, in the order of their paths.

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "base/text.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/package_json.h"
#include "package/loader.h"

namespace vantaro::cli {
namespace {

namespace fs = std::filesystem;

// The path in UTF-8 (on Linux: its bytes, whatever they are).
std::string utf8Of(const fs::path& path) {
  std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// Package files under root (root itself when it is one), sorted by path;
// folders that cannot be read are passed by.
void collect(const fs::path& root, std::vector<fs::path>& out, std::vector<std::string>& missing) {
  std::error_code error;
  auto isPackage = [](const fs::path& p) { return hasPackageExtension(argumentPath(utf8Of(p))); };
  fs::file_status status = fs::status(root, error);
  if (error || !fs::exists(status)) {
    missing.push_back(utf8Of(root));
    return;
  }
  if (!fs::is_directory(status)) {
    out.push_back(root);
    return;
  }
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end;
  for (; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError) && isPackage(it->path())) out.push_back(it->path());
  }
}

}  // namespace

int runScan(const ScanOptions& options) {
  std::vector<fs::path> files;
  std::vector<std::string> missing;
  for (const std::string& folder : options.folders) {
    std::u8string name(folder.begin(), folder.end());
    collect(fs::path(name), files, missing);
  }
  for (const std::string& m : missing) writeGbk(stderr, "【错误】找不到：" + argumentPath(m) + "\n");
  std::sort(files.begin(), files.end());

  keepFreedMemoryForReuse();
  const PermissionCatalog catalog;
  std::vector<std::string> lines(files.size());
  std::vector<char> done(files.size(), 0);
  std::map<std::string, size_t> sdkCounts;  // UTF-8 name -> packages
  size_t failures = 0;
  std::mutex mutex;
  std::condition_variable ready;
  std::atomic<size_t> next{0};
  size_t awaited = 0;  // the next line to write

  auto work = [&] {
    for (size_t i; (i = next++) < files.size();) {
      PackageInfo info;
      RecordingDisplay display;
      PackageLoader loader(info, display, catalog);
      loader.setCodeScan(true);
      loader.load(argumentPath(utf8Of(files[i])), false);
      nlohmann::ordered_json doc = packageJson(info, display, catalog);
      doc["path"] = utf8Of(files[i]);  // the name as the file system has it
      std::string line = doc.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
      std::lock_guard<std::mutex> lock(mutex);
      if (!info.analysisOk) ++failures;
      for (const SdkFinding& f : info.sdks) ++sdkCounts[gbkToUtf8(f.name)];
      lines[i] = std::move(line);
      done[i] = 1;
      // Only the line the writer waits for wakes it; it takes the ones
      // finished behind it in the same turn.
      if (i == awaited) ready.notify_one();
    }
  };
  unsigned jobs = options.jobs > 0 ? static_cast<unsigned>(options.jobs) : std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> workers;
  for (unsigned j = 0; j < std::min<size_t>(jobs, std::max<size_t>(files.size(), 1)); ++j) workers.emplace_back(work);

  // Lines leave in path order as soon as each is ready, those ready together
  // in one write.
  bool progress = isTerminal(stderr);
  for (size_t i = 0; i < files.size();) {
    std::string batch;
    {
      std::unique_lock<std::mutex> lock(mutex);
      awaited = i;
      ready.wait(lock, [&] { return done[i] != 0; });
      for (; i < files.size() && done[i]; ++i) {
        batch += lines[i];
        batch += '\n';
        std::string().swap(lines[i]);
      }
    }
    writeUtf8(stdout, batch);
    if (progress) writeGbk(stderr, "\r正在分析 " + std::to_string(i) + "/" + std::to_string(files.size()));
  }
  for (std::thread& t : workers) t.join();
  if (progress) writeUtf8(stderr, "\n");

  std::string summary = "共 " + std::to_string(files.size()) + " 个安装包，" + std::to_string(failures) + " 个无法分析";
  writeGbk(stderr, summary + "\n");
  std::vector<std::pair<std::string, size_t>> counts(sdkCounts.begin(), sdkCounts.end());
  std::stable_sort(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  for (const auto& [name, count] : counts) writeUtf8(stderr, "  " + name + gbkToUtf8("：") + std::to_string(count) + "\n");
  return missing.empty() ? kExitOk : kExitFailed;
}

}  // namespace vantaro::cli
