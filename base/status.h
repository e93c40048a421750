#pragma once

namespace vantaro {

// Colour of a message line: blue while working, red on failure, green on success.
enum class StatusKind { Progress, Error, Success };

}  // namespace vantaro
