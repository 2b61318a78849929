// Base64 (RFC 4648, with "=" padding, no line breaks).
#pragma once

#include <string>
#include <string_view>

namespace korvelin {

std::string Base64Encode(std::string_view bytes);

}  // namespace korvelin
