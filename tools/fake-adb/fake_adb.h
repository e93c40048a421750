#pragma once
// fake-adb: a stand-in for adb that answers from a scenario file. The
// platform files supply what differs between Windows and POSIX. Texts are
// UTF-8.

#include <cstdio>
#include <string>
#include <vector>

namespace fakeadb {

// The arguments after the program name.
std::vector<std::string> Arguments(int argc, char** argv);
// The command line as this process received it, program first (see the
// log in fake_adb.cpp).
std::string RawCommandLine(int argc, char** argv);
// The folder of this executable, ending with a path separator.
std::string OwnFolder();
// An environment variable, empty when unset.
std::string Environment(const char* name);
FILE* OpenFile(const std::string& path, const char* mode);
void SleepMs(unsigned ms);
// Writes bytes unchanged to standard output (1) or standard error (2); false
// once nobody reads them any more.
bool Write(int stream, const std::string& bytes);
// Starts a detached process that inherits standard output and error and
// keeps them open for ms milliseconds; its process id, or -1.
long StartHolder(unsigned ms);
long OwnProcessId();
// What a holder started by StartHolder runs, when the platform needs a new
// program for it ("--hold MS" on the command line).
int HolderMain(unsigned ms);

}  // namespace fakeadb
