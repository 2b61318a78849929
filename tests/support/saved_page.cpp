#include "support/saved_page.h"

#include <cstdio>

#include "common/gzip_file.h"

namespace korvelin::testing {

std::string SavedPage(const std::string& file) {
  const std::optional<std::string> page =
      ReadMaybeCompressedFile(std::string(KORVELIN_SAVED_PAGES_DIR) + "/" + file);
  if (!page) std::fprintf(stderr, "saved page %s cannot be read\n", file.c_str());
  return page.value_or(std::string());
}

}  // namespace korvelin::testing
