#pragma once
// The computer's side of an install: the temporary folder, its free space,
// and the files the job copies and removes. Paths are GBK.

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

// The local time now (fields as std::localtime fills them).
std::tm LocalTimeNow();

}  // namespace vantaro
