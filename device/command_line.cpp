#include "device/command_line.h"

namespace vantaro {

std::string FormatCommand(std::string_view format, std::initializer_list<std::string_view> arguments) {
  std::string out;
  auto next = arguments.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
      if (next != arguments.end()) out += *next++;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

std::string QuoteIfSpaced(std::string_view path) {
  if (path.find(' ') == std::string_view::npos) return std::string(path);
  std::string out = "\"";
  out += path;
  out += '"';
  return out;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

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
    arg += c;
    ++pos;
  }
  return arg;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line, const std::function<bool(const std::string&)>& isProgram) {
  std::vector<std::string> args;
  size_t pos = 0;
  while (pos < line.size() && isBlank(line[pos])) ++pos;
  if (pos >= line.size()) return args;

  // The program element: quoted, or plain text up to the white space at
  // which it names a program.
  if (line[pos] == '"') {
    size_t close = line.find('"', pos + 1);
    size_t end = close == std::string_view::npos ? line.size() : close;
    args.emplace_back(line.substr(pos + 1, end - pos - 1));
    pos = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    size_t end = pos;
    while (end < line.size() && !isBlank(line[end])) ++end;
    size_t chosen = end;
    if (isProgram && !isProgram(std::string(line.substr(pos, end - pos)))) {
      size_t candidate = end;
      while (candidate < line.size()) {
        while (candidate < line.size() && isBlank(line[candidate])) ++candidate;
        while (candidate < line.size() && !isBlank(line[candidate])) ++candidate;
        if (isProgram(std::string(line.substr(pos, candidate - pos)))) {
          chosen = candidate;
          break;
        }
      }
    }
    args.emplace_back(line.substr(pos, chosen - pos));
    pos = chosen;
  }

  for (;;) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (pos >= line.size()) break;
    args.push_back(readArgument(line, pos));
  }
  return args;
}

}  // namespace vantaro
