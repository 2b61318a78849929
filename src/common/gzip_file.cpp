#include "common/gzip_file.h"

#include <zlib.h>

namespace korvelin {

std::optional<std::string> ReadMaybeCompressedFile(const std::string& utf8Path) {
  gzFile file = gzopen(utf8Path.c_str(), "rb");  // reads a plain file unchanged as well
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

}  // namespace korvelin
