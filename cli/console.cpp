#include "base/text.h"
#include "cli/console.h"

namespace vantaro::cli {

void writeGbk(FILE* stream, const std::string& text) { writeUtf8(stream, gbkToUtf8(text)); }

}  // namespace vantaro::cli
