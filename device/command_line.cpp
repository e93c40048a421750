#include "device/command_line.h"

#include "base/text.h"

namespace vantaro {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The length of the character at pos: 2 for a GBK lead byte with a trail
// byte (which may be 0x5C, a backslash on its own), else 1.
size_t characterLength(std::string_view text, size_t pos) {
  if (!isGbkLeadByte(static_cast<unsigned char>(text[pos])) || pos + 1 >= text.size()) return 1;
  auto trail = static_cast<unsigned char>(text[pos + 1]);
  return trail >= 0x40 && trail != 0x7F && trail != 0xFF ? 2 : 1;
}

// Reads one argument starting at pos (which is not blank); returns it and
// moves pos past it.
std::string readArgument(std::string_view line, size_t& pos) {
  std::string arg;
  bool quoted = false;
  while (pos < line.size()) {
    char c = line[pos];
    if (!quoted && isBlank(c)) break;
    if (c == '\\') {
      size_t count = 0;
      while (pos < line.size() && line[pos] == '\\') {
        ++count;
        ++pos;
      }
      if (pos < line.size() && line[pos] == '"') {
        arg.append(count / 2, '\\');
        if (count % 2 == 1) {
          arg += '"';
          ++pos;
        }
      } else {
        arg.append(count, '\\');
      }
      continue;
    }
    if (c == '"') {
      // Inside quotes, a doubled quote is one literal quote.
      if (quoted && pos + 1 < line.size() && line[pos + 1] == '"') {
        arg += '"';
        pos += 2;
        continue;
      }
      quoted = !quoted;
      ++pos;
      continue;
    }
    size_t length = characterLength(line, pos);
    arg.append(line.substr(pos, length));
    pos += length;
  }
  return arg;
}

}  // namespace

std::string QuoteArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos) return std::string(argument);
  std::string out = "\"";
  size_t backslashes = 0;
  for (size_t pos = 0; pos < argument.size();) {
    char c = argument[pos];
    if (c == '\\') {
      ++backslashes;
      out += c;
      ++pos;
      continue;
    }
    if (c == '"') {
      out.append(backslashes + 1, '\\');  // doubles those written, escapes the quote
      out += c;
    } else {
      out.append(argument.substr(pos, characterLength(argument, pos)));
    }
    backslashes = 0;
    pos += characterLength(argument, pos);
  }
  out.append(backslashes, '\\');  // the closing quote must not be escaped
  out += '"';
  return out;
}

std::string ToolCommand(std::string_view toolPath, const std::vector<std::string>& arguments) {
  if (toolPath.empty() || toolPath.find('"') != std::string_view::npos) return std::string();
  std::string line = "\"";
  line += toolPath;
  line += '"';
  for (const std::string& argument : arguments) {
    line += ' ';
    line += QuoteArgument(argument);
  }
  return line;
}

std::string ToolCommand(std::string_view toolPath, std::initializer_list<std::string_view> arguments) {
  return ToolCommand(toolPath, std::vector<std::string>(arguments.begin(), arguments.end()));
}

std::string ShellWord(std::string_view value) {
  if (value.empty()) return std::string();
  for (char c : value) {
    auto u = static_cast<unsigned char>(c);
    if (c == '\'' || u < 0x20 || u == 0x7F) return std::string();
  }
  std::string word = "'";
  word += value;
  word += '\'';
  return word;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  size_t pos = 0;
  while (pos < line.size() && isBlank(line[pos])) ++pos;
  if (pos >= line.size()) return args;

  // The program element: quoted up to the next quote, or plain text up to
  // white space; no escapes either way.
  if (line[pos] == '"') {
    size_t close = line.find('"', pos + 1);
    size_t end = close == std::string_view::npos ? line.size() : close;
    args.emplace_back(line.substr(pos + 1, end - pos - 1));
    pos = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    size_t end = pos;
    while (end < line.size() && !isBlank(line[end])) ++end;
    args.emplace_back(line.substr(pos, end - pos));
    pos = end;
  }

  for (;;) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (pos >= line.size()) break;
    args.push_back(readArgument(line, pos));
  }
  return args;
}

}  // namespace vantaro
