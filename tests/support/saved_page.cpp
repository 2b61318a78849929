#include "support/saved_page.h"

#include <zlib.h>

namespace korvelin::testing {

std::optional<std::string> ReadSavedPage(const std::string& path) {
  gzFile file = gzopen(path.c_str(), "rb");  // reads a plain file unchanged as well
  if (file == nullptr) return std::nullopt;
  std::string bytes;
  char buffer[1 << 16];
  int n = 0;
  while ((n = gzread(file, buffer, sizeof buffer)) > 0)
    bytes.append(buffer, static_cast<std::size_t>(n));
  const bool ok = n == 0;
  gzclose(file);
  if (!ok) return std::nullopt;
  return bytes;
}

}  // namespace korvelin::testing
