#pragma once
// Command lines for adb: one GBK string, the tool's path first, split the
// way the Microsoft C runtime splits a process's command line. Every device
// command is made by ToolCommand, so no command ever starts with a bare or
// unquoted path.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vantaro {

// One argument written so that the Microsoft C runtime (and SplitCommandLine)
// reads it back unchanged: as it is when it is not empty and holds no space,
// tab or double quote; otherwise in double quotes, each quote inside as \"
// and the backslashes before a quote (or before the closing quote) doubled.
// The two bytes of a GBK character are never taken for a backslash.
std::string QuoteArgument(std::string_view argument);

// The command line that runs the tool at toolPath with the arguments: the
// path always in double quotes, then each argument as QuoteArgument writes
// it, one space apart. Empty text, which no runner starts, when toolPath is
// empty or holds a double quote (a program's element knows no escapes).
std::string ToolCommand(std::string_view toolPath, std::initializer_list<std::string_view> arguments);
std::string ToolCommand(std::string_view toolPath, const std::vector<std::string>& arguments);

// value as one word of the phone's shell, in single quotes, so that nothing
// in it ($, spaces, ;, wildcards) is expanded there. Empty text when the
// value is empty or holds a single quote or a control character: callers
// refuse such a value and send nothing.
std::string ShellWord(std::string_view value);

// Splits a command line into arguments by the rules of the Microsoft C
// runtime: white space (space, tab) separates, double quotes group,
// 2n backslashes before a quote give n backslashes and a grouping quote,
// 2n+1 give n backslashes and a literal quote, other backslashes are plain;
// the program element ends at the next quote when it starts with one, and
// knows no escapes. The line is GBK: a trail byte is never a backslash.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace vantaro
