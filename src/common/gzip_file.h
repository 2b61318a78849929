// Reading a saved page that may be gzip-compressed (the probe's input, the test pages).
#pragma once

#include <optional>
#include <string>

namespace korvelin {

// The bytes of the file at `utf8Path` (a path as the operating system writes it), inflated
// when the file is gzip-compressed, as they are when it is not; nullopt when it cannot be
// read or its compressed data is broken.
std::optional<std::string> ReadMaybeCompressedFile(const std::string& utf8Path);

}  // namespace korvelin
