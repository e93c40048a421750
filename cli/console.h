#pragma once
// The terminal boundary: arguments arrive as UTF-8, output leaves as UTF-8
// (or as UTF-16 to a Windows console). Everything in between is GBK.

#include <cstdio>
#include <string>
#include <vector>

namespace vantaro::cli {

// The program's arguments in UTF-8, the program name first.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// A path given as an argument, in the program's GBK path form: the name of
// the file as the system spells it, characters GBK lacks (or, on Linux,
// bytes that are no UTF-8) kept as the escapes of wideToGbkPath /
// nativeToGbkPath.
std::string argumentPath(const std::string& argument);

// Writes UTF-8 text to stdout or stderr.
void writeUtf8(FILE* stream, const std::string& text);

// Writes GBK text, converted.
void writeGbk(FILE* stream, const std::string& text);

// Lets the allocator keep memory freed by threads for their next use rather
// than give it back to the system each time (which, with several threads,
// makes every core wait for the others' address-space changes).
void keepFreedMemoryForReuse();

// True when the stream is a terminal (a console on Windows).
bool isTerminal(FILE* stream);

}  // namespace vantaro::cli
