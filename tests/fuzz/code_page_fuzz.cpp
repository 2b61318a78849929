// The code page conversions, on any bytes: UTF-8 to code page 936 and back. What the
// program writes in code page 936 converts to UTF-8 and back unchanged, and what it shows
// (code page 936 taken to UTF-8) is always valid UTF-8.
#include <cstdint>
#include <string>

#include "common/code_page.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvelin;
  const std::string_view bytes = fuzz::Bytes(data, size);

  const std::string shown = AnsiToUtf8(bytes);
  KORVELIN_FUZZ_CHECK(fuzz::IsValidUtf8(shown));

  const std::string ansi = Utf8ToAnsi(bytes);
  KORVELIN_FUZZ_CHECK(Utf8ToAnsi(AnsiToUtf8(ansi)) == ansi);

  // Valid UTF-8 made only of characters that code page 936 has comes back whole.
  if (fuzz::IsValidUtf8(bytes) && ansi.find('?') == std::string::npos) {
    KORVELIN_FUZZ_CHECK(AnsiToUtf8(ansi) == bytes);
  }
  return 0;
}
