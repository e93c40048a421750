#pragma once
// Command lines for adb: one string whose first element is the tool's path,
// split the way Windows splits a process's command line.

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vantaro {

// Replaces each "%s" of format, in order, with the next argument; a "%s"
// without an argument left becomes empty text. No other directive is read,
// and nothing is limited in length.
std::string FormatCommand(std::string_view format, std::initializer_list<std::string_view> arguments);

// The path enclosed in double quotes when it contains a space, else unchanged.
std::string QuoteIfSpaced(std::string_view path);

// Splits a command line into arguments by the rules of the Microsoft C
// runtime: white space (space, tab) separates, double quotes group,
// 2n backslashes before a quote give n backslashes and a grouping quote,
// 2n+1 give n backslashes and a literal quote, other backslashes are plain.
//
// The program element is special, as in CreateProcess: when it is not
// quoted and isProgram (if given) rejects it, the element is extended over
// the following white space and words, one at a time, until isProgram
// accepts the longer text; a tool path with spaces thus still starts when it
// is not quoted. When no extension is accepted the first word stands.
std::vector<std::string> SplitCommandLine(std::string_view line,
                                          const std::function<bool(const std::string&)>& isProgram = {});

}  // namespace vantaro
