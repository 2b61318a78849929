// Saved marketplace pages (tests/fixtures/pages): read whole, gzip-compressed or plain.
#pragma once

#include <optional>
#include <string>

namespace korvelin::testing {

// The file's bytes, inflated when it is gzip-compressed; nullopt when it cannot be read.
std::optional<std::string> ReadSavedPage(const std::string& path);

}  // namespace korvelin::testing
