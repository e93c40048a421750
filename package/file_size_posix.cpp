#include <cmath>
#include <cstdio>

#include "package/file_size.h"

namespace vantaro {

std::string formatFileSize(int64_t bytes) {
  char text[64];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%lld 字节", static_cast<long long>(bytes));
    return text;
  }
  // The shell's steps: below ten units two decimals, below a hundred one,
  // below a thousand none; then the next unit.
  struct Step {
    double limit;
    double divisor;
    double normaliser;
    int decimals;
    const char* unit;
  };
  constexpr double KB = 1024.0, MB = KB * 1024, GB = MB * 1024, TB = GB * 1024, PB = TB * 1024, EB = PB * 1024;
  static const Step kSteps[] = {
      {10 * KB, 10.24, 100.0, 2, "KB"},    {100 * KB, 102.4, 10.0, 1, "KB"},    {1000 * KB, 1024.0, 1.0, 0, "KB"},
      {10 * MB, MB / 100, 100.0, 2, "MB"}, {100 * MB, MB / 10, 10.0, 1, "MB"},  {1000 * MB, MB, 1.0, 0, "MB"},
      {10 * GB, GB / 100, 100.0, 2, "GB"}, {100 * GB, GB / 10, 10.0, 1, "GB"},  {1000 * GB, GB, 1.0, 0, "GB"},
      {10 * TB, TB / 100, 100.0, 2, "TB"}, {100 * TB, TB / 10, 10.0, 1, "TB"},  {1000 * TB, TB, 1.0, 0, "TB"},
      {10 * PB, PB / 100, 100.0, 2, "PB"}, {100 * PB, PB / 10, 10.0, 1, "PB"},  {1000 * PB, PB, 1.0, 0, "PB"},
      {10 * EB, EB / 100, 100.0, 2, "EB"},
  };
  auto value = static_cast<double>(bytes);
  const Step* step = &kSteps[sizeof kSteps / sizeof kSteps[0] - 1];
  for (const Step& s : kSteps) {
    if (value < s.limit) {
      step = &s;
      break;
    }
  }
  double shown = std::floor(value / step->divisor) / step->normaliser;
  std::snprintf(text, sizeof text, "%.*f %s", step->decimals, shown, step->unit);
  return text;
}

}  // namespace vantaro
