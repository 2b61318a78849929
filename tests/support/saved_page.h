// The saved marketplace pages of tests/fixtures/pages (gzip-compressed).
#pragma once

#include <string>

namespace korvelin::testing {

// The bytes of the saved page `file` (a name in tests/fixtures/pages), inflated; empty (and a
// test failure) when it cannot be read.
std::string SavedPage(const std::string& file);

}  // namespace korvelin::testing
