#pragma once
// The computer's side of an install: the temporary folder, its free space,
// and the files the job copies and removes. Paths are GBK.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace vantaro {

// The system's temporary-files folder in its long form, ending with a path
// separator; empty when the system does not say.
std::string TemporaryFolder();

// Free space, in whole MiB, that the calling user may use on the drive
// holding the temporary folder; 0 when the query fails.
int64_t FreeMegabytesOnTempDrive();

// True when path names something that exists and is not a folder.
bool IsExistingFile(const std::string& path);

enum class CopyResult { Copied, NameTaken, Failed };

// Copies from to a new file to, created exclusively: NameTaken when to
// already exists (it is left alone). A failed copy leaves no file behind.
CopyResult CopyToNewFile(const std::string& from, const std::string& to);

void RemoveFile(const std::string& path);

// Creates a folder of our own, exclusively (only the calling user may use it
// on POSIX): NameTaken when something of that name exists (left alone).
CopyResult CreateNewFolder(const std::string& path);

// Removes a folder, when it is empty.
void RemoveFolder(const std::string& path);

// A file created exclusively and written from its start.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile() { close(); }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // NameTaken when path exists already (it is left alone).
  CopyResult create(const std::string& path);
  // Writes all size bytes, or fails.
  bool write(const void* data, size_t size);
  // False when the file could not be finished (a write the system had
  // held back failed).
  bool close();

 private:
  static constexpr intptr_t kInvalid = -1;
  intptr_t handle_ = kInvalid;
};

// The local time now (fields as std::localtime fills them).
std::tm LocalTimeNow();

}  // namespace vantaro
