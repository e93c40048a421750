// fake-adb: answers adb command lines from a scenario file and appends every
// command line it receives to a log.
//
// Scenario file (UTF-8; path from FAKE_ADB_SCENARIO, else fake-adb.scenario
// beside the program). Rules are tried in order; the first whose pattern
// matches the command line wins:
//
//   match PATTERN     starts a rule; "*" matches any text, "?" one character.
//                     The command line is the arguments joined by single
//                     spaces, each one that holds a space in double quotes.
//   out TEXT          appends TEXT to the output (escapes \n \r \t \\ \xHH)
//   err TEXT          appends TEXT to the output, written to standard error
//   bytes N C         appends N copies of the character C
//   args              appends each argument, in brackets, a line each:
//                     "[shell]\n[a b]\n"
//   delay MS          waits before answering
//   hang              never answers and never ends (until it is killed)
//   hold MS           first starts a detached process that keeps the output
//                     pipe open for MS milliseconds, as adb's server does
//   endless           writes the output again and again until nobody reads
//   exit CODE         the exit code (default 0)
//
// Lines starting with "#" and empty lines are ignored. A command line no
// rule matches gets a note on standard error and exit code 1.
//
// Files sent to the phone: for "install" and "install-multiple" every
// argument ending with ".apk", for "push" every argument but the options and
// the last (the phone's path), is read as a local file, as adb reads it.
// Each gets a line in the log path with ".files" appended: the command word,
// the file's size, its CRC-32 (8 lowercase hex digits) and its name without
// the folder, one space apart. A file that cannot be read is answered as adb
// answers it ("adb: failed to stat ...", exit code 1), whatever the scenario.
//
// Log (path from FAKE_ADB_LOG, else fake-adb.log beside the program): one
// line per run, the command line as above. Beside it, the log path with
// ".raw" appended gets the whole command line as this process received it,
// program first: on Windows exactly what GetCommandLineW gives (any quotes
// the system added included); on POSIX the arguments written back the way
// the Microsoft C runtime reads them, the program in double quotes. The
// process ids of holders, endless writers and hanging runs go to the log
// path with ".holders" appended, one a line, so that tests can make sure
// they end.

#include <zlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tools/fake-adb/fake_adb.h"

namespace fakeadb {
namespace {

struct Piece {
  int stream;  // 1 or 2; 0 for the arguments (written to 1)
  std::string bytes;
};

struct Rule {
  std::string pattern;
  std::vector<Piece> output;
  unsigned delayMs = 0;
  unsigned holdMs = 0;
  bool endless = false;
  bool hang = false;
  int exitCode = 0;
};

bool GlobMatch(const std::string& pattern, const std::string& text) {
  size_t p = 0, t = 0, star = std::string::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    if (c == 'n') out += '\n';
    else if (c == 'r') out += '\r';
    else if (c == 't') out += '\t';
    else if (c == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else out += c;
  }
  return out;
}

unsigned Number(const std::string& text) { return static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10)); }

std::vector<Rule> ReadScenario(const std::string& path) {
  std::vector<Rule> rules;
  FILE* file = OpenFile(path, "rb");
  if (!file) return rules;
  std::string content;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) content.append(buffer, n);
  std::fclose(file);

  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t space = line.find(' ');
    std::string word = line.substr(0, space);
    std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (word == "match") {
      rules.push_back(Rule{rest, {}, 0, 0, false, false, 0});
      continue;
    }
    if (rules.empty()) continue;
    Rule& rule = rules.back();
    if (word == "out") rule.output.push_back({1, Unescape(rest)});
    else if (word == "err") rule.output.push_back({2, Unescape(rest)});
    else if (word == "bytes") {
      size_t gap = rest.find(' ');
      char c = gap != std::string::npos && gap + 1 < rest.size() ? rest[gap + 1] : 'x';
      rule.output.push_back({1, std::string(Number(rest), c)});
    } else if (word == "delay") rule.delayMs = Number(rest);
    else if (word == "hold") rule.holdMs = Number(rest);
    else if (word == "endless") rule.endless = true;
    else if (word == "hang") rule.hang = true;
    else if (word == "args") rule.output.push_back({0, std::string()});
    else if (word == "exit") rule.exitCode = std::atoi(rest.c_str());
  }
  return rules;
}

std::string CommandText(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) {
    if (!text.empty()) text += ' ';
    if (arg.find(' ') != std::string::npos) text += '"' + arg + '"';
    else text += arg;
  }
  return text;
}

void AppendLine(const std::string& path, const std::string& line) {
  if (FILE* file = OpenFile(path, "ab")) {
    std::string whole = line + "\n";
    std::fwrite(whole.data(), 1, whole.size(), file);
    std::fclose(file);
  }
}

std::string Setting(const char* variable, const char* fileName) {
  std::string value = Environment(variable);
  return value.empty() ? OwnFolder() + fileName : value;
}

bool EndsWithApk(const std::string& arg) {
  if (arg.size() < 4) return false;
  std::string tail = arg.substr(arg.size() - 4);
  for (char& c : tail)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return tail == ".apk";
}

// The local files of an install or push command line (after "-s SERIAL").
std::vector<std::string> LocalFiles(const std::vector<std::string>& args, std::string& verb) {
  size_t at = 0;
  while (at < args.size() && args[at].size() > 1 && args[at][0] == '-') at += args[at] == "-s" ? 2 : 1;
  std::vector<std::string> files;
  if (at >= args.size()) return files;
  verb = args[at];
  if (verb == "install" || verb == "install-multiple") {
    for (size_t i = at + 1; i < args.size(); ++i)
      if (EndsWithApk(args[i])) files.push_back(args[i]);
  } else if (verb == "push") {
    for (size_t i = at + 1; i + 1 < args.size(); ++i)
      if (args[i].empty() || args[i][0] != '-') files.push_back(args[i]);
  }
  return files;
}

// "SIZE CRC" of a file; false when it cannot be read.
bool Describe(const std::string& path, std::string& description) {
  FILE* file = OpenFile(path, "rb");
  if (!file) return false;
  uLong crc = crc32(0, nullptr, 0);
  unsigned long long size = 0;
  unsigned char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    crc = crc32(crc, buffer, static_cast<uInt>(n));
    size += n;
  }
  bool ok = !std::ferror(file);
  std::fclose(file);
  char text[64];
  std::snprintf(text, sizeof text, "%llu %08lx", size, static_cast<unsigned long>(crc));
  description = text;
  return ok;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace
}  // namespace fakeadb

int main(int argc, char** argv) {
  using namespace fakeadb;
  std::vector<std::string> args = Arguments(argc, argv);
  if (args.size() == 2 && args[0] == "--hold") return HolderMain(Number(args[1]));

  std::string command = CommandText(args);
  std::string log = Setting("FAKE_ADB_LOG", "fake-adb.log");
  AppendLine(log, command);
  AppendLine(log + ".raw", RawCommandLine(argc, argv));

  std::string verb;
  for (const std::string& file : LocalFiles(args, verb)) {
    std::string description;
    if (!Describe(file, description)) {
      Write(2, "adb: failed to stat " + file + ": No such file or directory\n");
      return 1;
    }
    AppendLine(log + ".files", verb + " " + description + " " + BaseName(file));
  }

  const Rule* rule = nullptr;
  std::vector<Rule> rules = ReadScenario(Setting("FAKE_ADB_SCENARIO", "fake-adb.scenario"));
  for (const Rule& r : rules) {
    if (GlobMatch(r.pattern, command)) {
      rule = &r;
      break;
    }
  }
  if (!rule) {
    Write(2, "fake-adb: no scenario rule for: " + command + "\n");
    return 1;
  }
  if (rule->holdMs > 0) {
    long pid = StartHolder(rule->holdMs);
    if (pid > 0) AppendLine(log + ".holders", std::to_string(pid));
  }
  if (rule->endless || rule->hang) AppendLine(log + ".holders", std::to_string(OwnProcessId()));
  if (rule->delayMs > 0) SleepMs(rule->delayMs);
  while (rule->hang) SleepMs(60000);
  std::string argumentLines;
  for (const std::string& arg : args) argumentLines += "[" + arg + "]\n";
  do {
    for (const Piece& piece : rule->output) {
      bool written = piece.stream == 0 ? Write(1, argumentLines) : Write(piece.stream, piece.bytes);
      if (!written) return rule->exitCode;
    }
    if (rule->endless) SleepMs(1);
  } while (rule->endless);
  return rule->exitCode;
}
