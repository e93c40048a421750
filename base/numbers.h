#pragma once

#include <cstdint>
#include <string_view>

namespace vantaro {

// The decimal integer at the start of text (after white space, with an
// optional sign); 0 when there are no digits. Clamped to 32 bits.
int32_t ParseLeadingInt(std::string_view text);

}  // namespace vantaro
